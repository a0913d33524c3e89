#include <gtest/gtest.h>

#include <string>

#include "LabelTestSupport.h"
#include "WidgetTestSupport.h"
#include "framework/scene/Dialog.h"
#include "framework/scene/ToolTipLabel.h"
#include "framework/scene/Tooltip.h"

namespace tooltip_test {

using Qmv2::SmartPtr;
using Qmv2::Sprite;
using Qmv2::ToolTipLabel;
using Qmv2::Tooltip;
using scenetest::MakeWidget;
using scenetest::WidgetStage;

namespace {

class TooltipTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        tooltip = MakeWidget<Tooltip>(
            R"(<Tooltip name="DEFAULT_TOOLTIP"><ToolTipLabel id="renderer" backgroundcolor="#80FFFFE1"/></Tooltip>)");
        ASSERT_NE(tooltip, nullptr);
        label = static_cast<ToolTipLabel*>(tooltip->GetRenderer());
        ASSERT_NE(label, nullptr);
        label->SetFont(new scenetest::FixedFont());
        tooltip->SetRoot(stage.root.Get());
        tooltip->Start();
    }
    void TearDown() override { tooltip = nullptr; }

    // Sprites with tooltips: one near the top left, one filling the bottom
    // right corner.
    SmartPtr<Sprite> AddSprite(float x, float y, float w, float h, const char* text)
    {
        SmartPtr<Sprite> sprite(new Sprite(x, y, w, h));
        sprite->SetTooltip(text);
        stage.root->AddChild(sprite.Get());
        return sprite;
    }
    // The pointer arrives: the frame in which the tooltip finds the sprite.
    void Hover(int x, int y)
    {
        stage.Move(x, y);
        tooltip->Execute(16);
    }
    void Run(int ms)
    {
        for (int t = 0; t < ms; t += 100) {
            tooltip->Execute(100);
        }
    }
    bool Shown() const { return label->IsVisible(); }

    WidgetStage stage;
    SmartPtr<Tooltip> tooltip;
    ToolTipLabel* label = nullptr;
};

TEST_F(TooltipTest, ShowsAfterItsDelayBelowThePointerAndHidesLater)
{
    AddSprite(100, 100, 100, 20, "Hello");
    AddSprite(300, 100, 100, 20, "Other");
    EXPECT_EQ(label->GetParent(), stage.root.Get()) << "the box hangs in the game tree";
    Hover(110, 110);
    Run(900);
    EXPECT_FALSE(Shown());
    Run(100);
    ASSERT_TRUE(Shown()) << "after 1000 ms";
    EXPECT_EQ(label->GetText().GetString(), "Hello");
    EXPECT_FLOAT_EQ(label->GetPosition().x, 110.0f);
    EXPECT_FLOAT_EQ(label->GetPosition().y, 134.0f) << "24 below the pointer";
    Run(9900);
    EXPECT_TRUE(Shown());
    Run(200);
    EXPECT_FALSE(Shown()) << "gone after another 10000 ms";
    Run(2000);
    EXPECT_FALSE(Shown()) << "and stays gone while the pointer stays";

    // Another sprite restarts both delays with its own text.
    Hover(310, 110);
    Run(1000);
    EXPECT_TRUE(Shown());
    EXPECT_EQ(label->GetText().GetString(), "Other");
    stage.Move(250, 110);
    Run(100);
    EXPECT_FALSE(Shown()) << "leaving the sprite hides it";
}

TEST_F(TooltipTest, TheBoxStaysOffTheBottomAndRightEdges)
{
    SmartPtr<Sprite> edge = AddSprite(0, 0, 800, 600, "Edge");
    label->SetTooltip("Edge");
    label->UpdateLayout();
    // The box's size plus the margin kept from the edges.
    const float w = label->GetWidth() + 3.0f;
    const float h = label->GetHeight() + 3.0f;
    ASSERT_FLOAT_EQ(w, 43.0f);

    Hover(400, 590);
    Run(1000);
    EXPECT_FLOAT_EQ(label->GetPosition().x, 416.0f) << "moved 16 right near the bottom";
    EXPECT_FLOAT_EQ(label->GetPosition().y, 600.0f - h);

    // The pointer leaves the sprite (hidden for a frame) and comes back elsewhere.
    edge->SetVisible(false);
    Run(100);
    EXPECT_FALSE(Shown());
    edge->SetVisible(true);
    Hover(790, 100);
    Run(1000);
    EXPECT_FLOAT_EQ(label->GetPosition().x, 800.0f - w) << "against the right edge";
    EXPECT_FLOAT_EQ(label->GetPosition().y, 124.0f);

    edge->SetVisible(false);
    Run(100);
    edge->SetVisible(true);
    Hover(790, 590);
    Run(1000);
    EXPECT_FLOAT_EQ(label->GetPosition().x, 790.0f - w - 2.0f) << "left of the pointer in the corner";
    EXPECT_FLOAT_EQ(label->GetPosition().y, 600.0f - h);
}

TEST_F(TooltipTest, AVisibleDialogHidesTooltipsDrawnBeforeIt)
{
    AddSprite(100, 100, 100, 20, "Below");
    SmartPtr<Qmv2::Dialog> dialog = MakeWidget<Qmv2::Dialog>(R"(<Dialog name="D" x="400" y="400" width="100" height="100"/>)");
    stage.root->AddChild(dialog.Get());
    SmartPtr<Sprite> inside(new Sprite(10, 10, 50, 20));
    inside->SetTooltip("Inside");
    dialog->AddComponent(inside.Get(), true);
    Hover(110, 110);
    Run(2000);
    EXPECT_FALSE(Shown()) << "the dialog is not under the pointer, yet it hides the tooltip";
    Hover(420, 420);
    Run(1000);
    EXPECT_TRUE(Shown());
    EXPECT_EQ(label->GetText().GetString(), "Inside");

    // A zero delay shows the box at once, placed beside the pointer.
    SmartPtr<Tooltip> quick = MakeWidget<Tooltip>(R"(<Tooltip showdelay="0" removedelay="#10"/>)");
    ASSERT_NE(quick, nullptr);
    EXPECT_EQ(quick->GetRemoveDelay(), 16);
    quick->SetRenderer(new ToolTipLabel(nullptr));
    quick->SetRoot(stage.root.Get());
    quick->Start();
    stage.Move(420, 420);
    quick->Execute(16);
    EXPECT_TRUE(quick->GetRenderer()->IsVisible());
    EXPECT_FLOAT_EQ(quick->GetRenderer()->GetPosition().y, 444.0f);
    quick->Execute(16);
    EXPECT_FALSE(quick->GetRenderer()->IsVisible());
}

TEST_F(TooltipTest, ALongTextWrapsAtTheMaximumWidthAndTheBoxHugsIt)
{
    SmartPtr<ToolTipLabel> wrapped = MakeWidget<ToolTipLabel>(R"(<ToolTipLabel maxwidth="200"/>)");
    ASSERT_NE(wrapped, nullptr);
    wrapped->SetFont(new scenetest::FixedFont());
    wrapped->SetTooltip("aaaaaaaaaa bbbbbbbbbbbbbbb ccc");
    wrapped->UpdateLayout();
    EXPECT_EQ(wrapped->GetLines().GetCount(), 2);
    EXPECT_FLOAT_EQ(wrapped->GetWidth(), 190.0f) << "the widest wrapped line";
    EXPECT_EQ(wrapped->GetTooltip(), nullptr) << "the text is shown, not kept as the label's own tooltip";
}

}  // namespace

}  // namespace tooltip_test
