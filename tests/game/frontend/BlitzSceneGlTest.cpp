// The Blitz scene built from the shipped layout, pictures and fonts, as the
// player sees it in round 1 with its first word found: the column of words,
// its frame, its marks and its buttons stand inside the window, and the
// clock's minutes and seconds read as one time.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "framework/core/app/MessageData.h"
#include "framework/core/data/PlayerManager.h"
#include "framework/core/object/SmartPtr.h"
#include "framework/graphics/ScreenFixture.h"
#include "framework/scene/AnimTree.h"
#include "framework/scene/Label.h"
#include "framework/scene/SceneManager.h"
#include "game/words/BlitzScene.h"
#include "game/words/ClassicRack.h"
#include "game/words/GameMode.h"
#include "game/words/LetterBox.h"
#include "tests/framework/core/data/DataTestSupport.h"
#include "tests/game/frontend/DialogTestSupport.h"
#include "tests/game/frontend/PlayingSceneTestSupport.h"

using namespace Qmv2;
namespace fs = std::filesystem;

namespace {

class BlitzSceneGlTest : public graphicstest::ScreenFixture {
protected:
    BlitzSceneGlTest() : ScreenFixture("blitz test", 800, 600) {}

    void SetUp() override
    {
        ScreenFixture::SetUp();
        if (HasFatalFailure()) {
            return;
        }
        previous = fs::current_path();
        fs::current_path(QMV_RUN_DIR);
        frontendtest::SetUpShippedDialogWorld();
        DataManager::GetInstance()->AddFileName("properties/scenes.xml");
        DataManager::GetInstance()->Load();
        frontendtest::StartShippedResources();
        SceneManager::SetInstance(new SceneManager());
        scope = std::make_unique<QmvTest::DataFolderScope>("BlitzSceneGlTest");
        frontendtest::StartPlayerAnn();
        GameMode::Set(GameMode::kBlitz);
    }
    void TearDown() override
    {
        SceneManager::ReleaseInstance();
        PlayerManager::ReleaseInstance();
        scope.reset();
        frontendtest::StopShippedResources();
        frontendtest::TearDownShippedDialogWorld();
        if (!previous.empty()) {
            fs::current_path(previous);
        }
        ScreenFixture::TearDown();
    }

    // The node's rectangle on the screen (the scene stands at the origin).
    static NodeBounds OnScreen(const GameNode& node)
    {
        return node.GetBounds(node.GetParent()->GetGlobalMatrix(nullptr, true));
    }

    fs::path previous;
    std::unique_ptr<QmvTest::DataFolderScope> scope;
};

}  // namespace

TEST_F(BlitzSceneGlTest, TheColumnStaysInsideTheWindowAndTheClockReadsAsOneTime)
{
    Scene* made = SceneManager::GetInstance()->CreateScene("SCENE_BLITZ", std::string());
    ASSERT_NE(made, nullptr);
    ASSERT_TRUE(made->IsOfType(&BlitzScene::s_Type));
    auto* scene = static_cast<BlitzScene*>(made);
    scene->Show();
    scene->Activate();
    ASSERT_EQ(scene->GetRacks().size(), 5u);
    AnimTree::UpdateTree(scene->GetAnimations(), 5000u);
    const std::string first = scene->GetRacks()[0]->GetSourceWord().GetString();
    for (char c : first) {
        KeyboardMessageData key(static_cast<unsigned char>(c), 0);
        scene->OnKeyDown(&key);
    }
    KeyboardMessageData enter(0, 5);
    scene->OnKeyDown(&enter);
    ASSERT_TRUE(scene->GetRacks()[0]->solved);
    AnimTree::UpdateTree(scene->GetAnimations(), 5000u);
    scene->Update(0);
    AnimTree::UpdateTree(scene->GetAnimations(), 5000u);
    ASSERT_EQ(scene->GetCurrentIndex(), 1) << "the refill moved on to the next word";
    // One frame lays the labels out.
    frontendtest::DrawScene(*screen_, scene, 0xFF000000u);

    // Everything of the column keeps a margin from the window's edges.
    constexpr float kMargin = 2.0f;
    std::vector<const GameNode*> column;
    for (const char* name : {"PANEL_BG", "PANEL_LEFT", "PANEL_RIGHT", "PANEL_LEFTCORNER", "PANEL_RIGHTCORNER",
                             "PANEL_BOTTOM", "PANEL_SIDE", "BUTTON_PREVWORD", "BUTTON_NEXTWORD"}) {
        if (const GameNode* node = scene->FindChild(name, true)) {
            column.push_back(node);
        } else {
            ADD_FAILURE() << "no " << name;
        }
    }
    for (const auto& rack : scene->GetRacks()) {
        column.push_back(rack->GetRackBox());
    }
    NodeBounds frame{1e9f, 1e9f, -1e9f, -1e9f};
    for (const GameNode* node : column) {
        const NodeBounds b = OnScreen(*node);
        EXPECT_GE(b.left, kMargin) << node->GetName();
        EXPECT_GE(b.top, kMargin) << node->GetName();
        EXPECT_LE(b.right, 800.0f - kMargin) << node->GetName();
        EXPECT_LE(b.bottom, 600.0f - kMargin) << node->GetName();
        if (node->GetName().rfind("PANEL_", 0) == 0) {
            frame = {std::min(frame.left, b.left), std::min(frame.top, b.top), std::max(frame.right, b.right),
                     std::max(frame.bottom, b.bottom)};
        }
    }
    // The small boxes stand between the frame's two sides; the word in the
    // middle is out of the column.
    const GameNode* leftSide = scene->FindChild("PANEL_SIDE", true);
    const GameNode* rightSide = scene->FindChild("PANEL_RIGHT", true);
    ASSERT_NE(rightSide, nullptr);
    const float inner = OnScreen(*rightSide).left;
    const float outer = leftSide != nullptr ? OnScreen(*leftSide).right : frame.left;
    for (std::size_t i = 0; i < scene->GetRacks().size(); ++i) {
        const LetterBox& box = *scene->GetRacks()[i]->GetRackBox();
        const NodeBounds b = OnScreen(box);
        if (i == 1) {
            EXPECT_GT(b.left, inner) << "the word in play is in the middle";
            continue;
        }
        EXPECT_GT(b.left, outer) << "word " << i;
        EXPECT_LE(b.right, inner) << "word " << i << " of " << box.GetSlotCount() << " letters";
        EXPECT_GE(b.top, frame.top) << "word " << i;
        EXPECT_LE(b.bottom, frame.bottom) << "word " << i;
    }
    // The found word is spelled in its small boxes.
    EXPECT_EQ(scene->GetRacks()[0]->GetRackBox()->GetAllText().GetString(), first);

    // "1:19", not "1   :19": drawn with and without the clock, the clock's
    // ink has no gap wider than the space between two of its glyphs.
    auto* minutes = dynamic_cast<Label*>(scene->FindChild("LABEL_TimerMinutes", true));
    auto* seconds = dynamic_cast<Label*>(scene->FindChild("LABEL_TimerSeconds", true));
    ASSERT_NE(minutes, nullptr);
    ASSERT_NE(seconds, nullptr);
    EXPECT_EQ(minutes->GetText().GetString(), "1");
    EXPECT_EQ(seconds->GetText().GetString().substr(0, 1), ":");
    const graphicstest::Picture shown = Capture();
    minutes->SetVisible(false);
    seconds->SetVisible(false);
    frontendtest::DrawScene(*screen_, scene, 0xFF000000u);
    const graphicstest::Picture hidden = Capture();
    const NodeBounds m = OnScreen(*minutes);
    const NodeBounds s = OnScreen(*seconds);
    std::vector<int> ink;
    for (int x = 0; x < 800; ++x) {
        for (int y = static_cast<int>(std::min(m.top, s.top)); y < static_cast<int>(std::max(m.bottom, s.bottom)); ++y) {
            if (shown.At(x, y) != hidden.At(x, y)) {
                ink.push_back(x);
                break;
            }
        }
    }
    ASSERT_FALSE(ink.empty()) << "the clock is drawn";
    int widestGap = 0;
    for (std::size_t i = 1; i < ink.size(); ++i) {
        widestGap = std::max(widestGap, ink[i] - ink[i - 1] - 1);
    }
    EXPECT_LE(widestGap, 12) << "the clock's ink runs from x " << ink.front() << " to " << ink.back();
    EXPECT_LE(ink.back(), 800 - 2);
}
