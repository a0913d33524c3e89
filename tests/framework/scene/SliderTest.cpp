#include <gtest/gtest.h>

#include <string>

#include "WidgetTestSupport.h"
#include "framework/scene/Button.h"
#include "framework/scene/Slider.h"

namespace slider_test {

using Qmv2::Button;
using Qmv2::Slider;
using Qmv2::SmartPtr;
using scenetest::CountCall;
using scenetest::MakeWidget;
using scenetest::WidgetStage;

namespace {

// A 200x20 track at (100, 100); the 20x20 knob runs from x 0 to 180.
const char* const kSlider =
    R"(<Slider name="S" x="100" y="100" width="200" height="20" minx="0" miny="0" maxx="180" maxy="0")"
    R"( minvalue="0" maxvalue="1">)"
    R"(<Button id="button" width="20" height="20"/>)"
    R"(<Button id="incbutton" width="16" height="16"/>)"
    R"(<Button id="decbutton" width="16" height="16"/>)"
    R"(</Slider>)";

class SliderTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        slider = MakeWidget<Slider>(kSlider);
        ASSERT_NE(slider, nullptr);
        ASSERT_NE(slider->GetKnob(), nullptr);
        slider->SetMethod(&changes, &CountCall);
        stage.root->AddChild(slider.Get());
    }
    float KnobX() const { return slider->GetKnobHolder()->GetX(); }

    WidgetStage stage;
    SmartPtr<Slider> slider;
    int changes = 0;
};

TEST_F(SliderTest, DraggingTheKnobFollowsThePointerWithinTheTrack)
{
    // Grab the knob 5 units right of its origin and drag.
    stage.Move(105, 110);
    EXPECT_TRUE(slider->GetKnob()->HasState(Button::kOver));
    stage.Press(105, 110);
    EXPECT_TRUE(slider->GetKnob()->HasState(Button::kPressed));
    EXPECT_FLOAT_EQ(slider->GetValue(), 0.0f) << "the knob keeps its grip";
    stage.Move(195, 130, true);
    EXPECT_FLOAT_EQ(KnobX(), 90.0f);
    EXPECT_FLOAT_EQ(slider->GetValue(), 0.5f);
    stage.Move(600, 110, true);
    EXPECT_FLOAT_EQ(slider->GetValue(), 1.0f) << "past the end";
    EXPECT_FLOAT_EQ(KnobX(), 180.0f);
    stage.Move(0, 110, true);
    EXPECT_FLOAT_EQ(slider->GetValue(), 0.0f) << "before the start";
    stage.Release(0, 110);
    EXPECT_FALSE(slider->GetKnob()->HasState(Button::kPressed));
    EXPECT_EQ(changes, 4) << "the press and every move while held";
    stage.Move(150, 110);
    EXPECT_EQ(changes, 4) << "moves without a drag change nothing";

    // A press on the track away from the knob jumps there and drags.
    stage.Press(235, 105);
    EXPECT_FLOAT_EQ(KnobX(), 135.0f);
    EXPECT_FLOAT_EQ(slider->GetValue(), 0.75f);
    stage.Move(145, 105, true);
    EXPECT_FLOAT_EQ(slider->GetValue(), 0.25f);
    stage.Release(145, 105);

    slider->SetEnabled(false);
    EXPECT_FALSE(slider->GetKnob()->IsEnabled());
    stage.Press(235, 105);
    stage.Release(235, 105);
    EXPECT_FLOAT_EQ(slider->GetValue(), 0.25f) << "a disabled slider takes no input";
}

TEST_F(SliderTest, StepButtonsMoveATenthAndStopAtTheEnds)
{
    Button* up = slider->GetIncrementButton();
    Button* down = slider->GetDecrementButton();
    ASSERT_NE(up, nullptr);
    ASSERT_NE(down, nullptr);
    // Decrement left of the track, increment right of it, both centred on it.
    EXPECT_FLOAT_EQ(up->GetLeft(), 200.0f);
    EXPECT_FLOAT_EQ(up->GetTop(), 2.0f);
    EXPECT_FLOAT_EQ(down->GetLeft(), -16.0f);

    slider->SetValue(0.95f);
    stage.Click(308, 110);
    EXPECT_FLOAT_EQ(slider->GetValue(), 1.0f) << "not 1.05";
    stage.Click(308, 110);
    EXPECT_FLOAT_EQ(slider->GetValue(), 1.0f);
    EXPECT_FLOAT_EQ(KnobX(), 180.0f);
    stage.Click(92, 110);
    EXPECT_NEAR(slider->GetValue(), 0.9f, 1e-6f);
    EXPECT_EQ(changes, 3);
}

TEST(SliderEdgeTest, AnEmptyRangeOrTrackGivesNumbersNotNaN)
{
    WidgetStage stage;
    SmartPtr<Slider> flat = MakeWidget<Slider>(
        R"(<Slider name="F" width="100" height="20" minx="10" maxx="10" minvalue="3" maxvalue="3">)"
        R"(<Button id="button" width="20" height="20"/></Slider>)");
    ASSERT_NE(flat, nullptr);
    stage.root->AddChild(flat.Get());
    stage.Press(50, 10);
    stage.Move(80, 10, true);
    stage.Release(80, 10);
    EXPECT_FLOAT_EQ(flat->GetValue(), 3.0f);
    EXPECT_FLOAT_EQ(flat->GetKnobHolder()->GetX(), 10.0f);
    flat->Increment();
    EXPECT_FLOAT_EQ(flat->GetValue(), 3.0f);

    SmartPtr<Slider> bare = MakeWidget<Slider>(R"(<Slider name="B" width="100" height="20"/>)");
    stage.root->AddChild(bare.Get());
    stage.Press(50, 10);
    EXPECT_FLOAT_EQ(bare->GetValue(), 0.0f) << "without a knob a slider takes no input";
}

}  // namespace

}  // namespace slider_test
