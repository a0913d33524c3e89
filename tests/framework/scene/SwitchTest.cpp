#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "WidgetTestSupport.h"
#include "framework/scene/Switch.h"

namespace switch_test {

using Qmv2::SmartPtr;
using Qmv2::Switch;
using scenetest::CountCall;
using scenetest::MakeWidget;
using scenetest::WidgetStage;

namespace {

class SwitchTest : public ::testing::Test {
protected:
    // A 20x20 switch at (x, 100).
    SmartPtr<Switch> Place(int x, const std::string& keys, int frames = 8)
    {
        SmartPtr<Switch> made = MakeWidget<Switch>("<Switch name=\"S" + std::to_string(x) + "\" x=\"" +
                                                   std::to_string(x) + "\" y=\"100\" " + keys + "/>");
        if (made != nullptr) {
            made->SetImage(scenetest::MakePixelImage(frames, 20, 20, [](int, int) { return 255; }).Get());
            made->SetMethod(&fired, &CountCall);
            stage.root->AddChild(made.Get());
        }
        return made;
    }
    std::vector<bool> Checked(const std::vector<SmartPtr<Switch>>& switches) const
    {
        std::vector<bool> states;
        for (const auto& s : switches) {
            states.push_back(s->IsChecked());
        }
        return states;
    }

    WidgetStage stage;
    int fired = 0;
};

TEST_F(SwitchTest, ARadioGroupKeepsOneCheckedAcrossAllSwitches)
{
    std::vector<SmartPtr<Switch>> group = {Place(100, R"(groupid="1" checked="true")"),
                                           Place(200, R"(groupid="1" checked="true")"),
                                           Place(300, R"(groupid="#1" checked="true")")};
    SmartPtr<Switch> other = Place(400, R"(groupid="2" checked="true")");
    EXPECT_EQ(Checked(group), (std::vector<bool>{false, false, true})) << "the last one loaded stays checked";
    EXPECT_TRUE(other->IsChecked()) << "another group is left alone";

    stage.Click(110, 110);
    EXPECT_EQ(Checked(group), (std::vector<bool>{true, false, false}));
    EXPECT_EQ(fired, 1);
    EXPECT_EQ(group[0]->GetFrame(), 4) << "normal frame of the checked half (after the release the pointer is not over)";
    stage.Move(110, 110);
    EXPECT_EQ(group[0]->GetFrame(), 5) << "over, checked";

    stage.Click(110, 110);
    EXPECT_EQ(Checked(group), (std::vector<bool>{true, false, false})) << "clicking the checked one changes nothing";
    EXPECT_EQ(fired, 1) << "and does not fire";

    // A switch that goes away leaves the group.
    group[1]->SetObsolete(true);
    stage.root->PurgeTree();
    group[1] = nullptr;
    stage.Click(310, 110);
    EXPECT_FALSE(group[0]->IsChecked());
    EXPECT_TRUE(group[2]->IsChecked());
    EXPECT_EQ(Switch::GetAll().size(), 3u);
}

TEST_F(SwitchTest, ALoneSwitchTogglesAndItsLinkedNodeCounts)
{
    SmartPtr<Switch> lone = Place(100, "", 6);
    SmartPtr<Qmv2::Sprite> text(new Qmv2::Sprite(130.0f, 100.0f, 100.0f, 20.0f));
    stage.root->AddChild(text.Get());
    lone->SetLinkedNode(text.Get());

    stage.Click(110, 110);
    EXPECT_TRUE(lone->IsChecked());
    EXPECT_EQ(lone->GetFrame(), 3) << "six frames: the checked half starts at 3";
    stage.Click(200, 110);
    EXPECT_FALSE(lone->IsChecked()) << "a click on the linked text toggles too";
    EXPECT_EQ(fired, 2);

    lone->SetEnabled(false);
    stage.Click(110, 110);
    EXPECT_FALSE(lone->IsChecked());
    EXPECT_EQ(fired, 2);
    lone->SetChecked(true);
    EXPECT_EQ(lone->GetFrame(), 5) << "disabled and checked stays on a frame the image has";
}

}  // namespace

}  // namespace switch_test
