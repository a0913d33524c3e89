// The game's dialogs built from the shipped data and drawn with the shipped
// pictures and fonts, each compared with a golden picture.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "framework/core/files/ResourceManagerWin32.h"
#include "framework/core/object/SmartPtr.h"
#include "framework/core/properties/BasicProperties.h"
#include "framework/core/properties/DataManager.h"
#include "framework/core/util/Random.h"
#include "framework/graphics/ScreenFixture.h"
#include "framework/scene/AnimTree.h"
#include "framework/scene/GameTree.h"
#include "framework/scene/Label.h"
#include "framework/scene/Scene.h"
#include "framework/scene/SceneManager.h"
#include "framework/scene/TaskRender.h"
#include "game/frontend/DialogHighScore.h"
#include "game/frontend/DialogYesNo.h"
#include "game/frontend/FrontendClasses.h"
#include "game/words/GameMode.h"
#include "tests/game/frontend/DialogTestSupport.h"

namespace dialog_gl_test {

using graphicstest::CompareWithGolden;
using graphicstest::Picture;
using namespace Qmv2;
namespace fs = std::filesystem;

namespace {

constexpr std::uint32_t kBackground = 0xFF457B9Du;

class DialogGlTest : public graphicstest::ScreenFixture {
protected:
    DialogGlTest() : ScreenFixture("dialog test", 800, 600) {}

    void SetUp() override
    {
        ScreenFixture::SetUp();
        if (HasFatalFailure()) {
            return;
        }
        previous_ = fs::current_path();
        fs::current_path(QMV_RUN_DIR);
        frontendtest::SetUpShippedDialogWorld();
        frontendtest::StartShippedResources();
        SceneManager::SetInstance(new SceneManager());
        SmartPtr<PropertyNode> empty(new PropertyNode("scene"));
        scene_ = new Scene(empty.Get());
        scene_->SetSize(800.0f, 600.0f);
        scene_->SetVisible(true);
        scene_->SetSuspended(false);
    }
    void TearDown() override
    {
        scene_ = nullptr;
        SceneManager::ReleaseInstance();
        frontendtest::StopShippedResources();
        frontendtest::TearDownShippedDialogWorld();
        fs::current_path(previous_);
        ScreenFixture::TearDown();
    }

    Dialog* Show(Dialog* dialog) { return frontendtest::ShowSettled(scene_.Get(), dialog); }
    Picture Draw()
    {
        frontendtest::DrawScene(*screen_, scene_.Get(), kBackground);
        return Capture();
    }

    fs::path previous_;
    SmartPtr<Scene> scene_;
};

}  // namespace

TEST_F(DialogGlTest, EveryDialogDrawsFromTheShippedData)
{
    struct Case {
        const char* key;
        const char* golden;
    };
    for (const Case c : {Case{"DIALOG_MENU", "dialog_menu"}, Case{"DIALOG_PAUSE", "dialog_pause"},
                         Case{"DIALOG_TUTORIAL", "dialog_tutorial"}, Case{"DIALOG_ENDGAME", "dialog_endgame"},
                         Case{"DIALOG_PASSROUND", "dialog_passround"}, Case{"DIALOG_HELP", "dialog_help"},
                         Case{"DIALOG_CREDITS", "dialog_credits"}, Case{"DIALOG_SETTINGS", "dialog_settings"},
                         Case{"DIALOG_HIGHSCORES", "dialog_highscores"}, Case{"DIALOG_NEXTROUND", "dialog_nextround"}}) {
        Dialog* dialog = Show(scene_->GetDialog(c.key, std::string()));
        ASSERT_NE(dialog, nullptr) << c.key;
        const Picture picture = Draw();
        // The panel stands in the middle of the screen in the panel's cream.
        EXPECT_EQ(picture.At(static_cast<int>(dialog->GetX()) + 12, static_cast<int>(dialog->GetY()) + 12) & 0xFFFFFF,
                  0xFFF8E7u)
            << c.key;
        EXPECT_EQ(CompareWithGolden(c.golden, picture, 8), "") << c.key;
        scene_->CloseDialog(dialog);
        scene_->PurgeTree();
    }
}

TEST_F(DialogGlTest, AQuestionGrowsWithItsMessage)
{
    DialogYesNo* question = DialogYesNo::Open(scene_.Get(), "CTEXT_MENU_STOP", "CTEXT_MENU_STOP_HEADER", nullptr,
                                              nullptr, nullptr, nullptr);
    ASSERT_NE(question, nullptr);
    EXPECT_GT(question->GetHeight(), 170.0f);
    Show(question);
    const Picture picture = Draw();
    EXPECT_EQ(CompareWithGolden("dialog_yesno", picture, 8), "");
    // Every question asks whether to quit, stop, give up, pass or remove:
    // its Yes is coral, its No is not.
    const auto coralShare = [&](const char* name) {
        const GameNode* button = question->FindChild(name, true);
        EXPECT_NE(button, nullptr) << name;
        if (button == nullptr) {
            return 0.0;
        }
        const NodeBounds b = button->GetBounds(button->GetParent()->GetGlobalMatrix(nullptr, true));
        int coral = 0;
        int all = 0;
        for (int y = static_cast<int>(b.top); y < static_cast<int>(b.bottom); ++y) {
            for (int x = static_cast<int>(b.left); x < static_cast<int>(b.right); ++x, ++all) {
                const std::uint32_t c = picture.At(x, y) & 0xFFFFFF;
                coral += c == 0xE63946u ? 1 : 0;
            }
        }
        return all > 0 ? static_cast<double>(coral) / all : 0.0;
    };
    EXPECT_GT(coralShare("BUTTON_YES"), 0.3);
    EXPECT_LT(coralShare("BUTTON_NO"), 0.05);
}

// A dialog opened over another dialog darkens what lies below it, so that the
// lower dialog's panel does not read as part of the upper one: wherever the
// lower panel shows beside the upper one, it is drawn darker than its cream.
TEST_F(DialogGlTest, ADialogOverAnotherDarkensTheOneBelow)
{
    struct Case {
        const char* lower;
        const char* upper;
        bool hangs;   // the upper one is the lower one's child, as the credits are the settings'
    };
    // The pairs a player meets where the lower panel shows beside the upper
    // one: the credits over the settings, the Stop question over the menu.
    for (const Case c : {Case{"DIALOG_SETTINGS", "DIALOG_CREDITS", true}, Case{"DIALOG_MENU", "CTEXT_MENU_STOP", false}}) {
        SCOPED_TRACE(std::string(c.upper) + " over " + c.lower);
        Dialog* lower = Show(scene_->GetDialog(c.lower, std::string()));
        ASSERT_NE(lower, nullptr);
        const Picture alone = Draw();
        Dialog* upper = std::string(c.upper).rfind("DIALOG_", 0) == 0
                            ? scene_->GetDialog(c.upper, std::string())
                            : DialogYesNo::Open(scene_.Get(), c.upper, std::string(c.upper) + "_HEADER", nullptr,
                                                nullptr, nullptr, nullptr);
        ASSERT_NE(upper, nullptr);
        if (c.hangs) {
            lower->AddChild(upper);
            upper->Show();
            for (int i = 0; i < 30; ++i) {
                upper->TickTree(100);
            }
        } else {
            Show(upper);
        }
        const Picture over = Draw();
        // A point of the lower panel's cream that the upper panel leaves free.
        int x = -1;
        int y = -1;
        const auto inside = [](const Dialog& d, int px, int py) {
            return px >= d.GetGlobalX() && px < d.GetGlobalX() + d.GetWidth() && py >= d.GetGlobalY() &&
                   py < d.GetGlobalY() + d.GetHeight();
        };
        for (int py = static_cast<int>(lower->GetGlobalY()) + 8; py < lower->GetGlobalY() + lower->GetHeight() - 8 && x < 0;
             py += 4) {
            for (int px = static_cast<int>(lower->GetGlobalX()) + 8; px < lower->GetGlobalX() + lower->GetWidth() - 8;
                 px += 4) {
                if (!inside(*upper, px, py) && (alone.At(px, py) & 0xFFFFFF) == 0xFFF8E7u) {
                    x = px;
                    y = py;
                    break;
                }
            }
        }
        ASSERT_GE(x, 0) << "some of the lower panel shows beside the upper one";
        // The veil covers the whole window, beyond both panels too.
        EXPECT_LT((over.At(2, 2) >> 8) & 0xFF, (alone.At(2, 2) >> 8) & 0xFF) << "the window's corner is veiled";
        EXPECT_LT((over.At(797, 597) >> 8) & 0xFF, (alone.At(797, 597) >> 8) & 0xFF);
        const std::uint32_t seen = over.At(x, y);
        const int green = static_cast<int>((seen >> 8) & 0xFF);
        EXPECT_LT(green, 0xF8 * 2 / 3) << "the lower panel at (" << x << "," << y << ") is veiled, not cream: " << std::hex
                                       << seen;
        scene_->CloseDialog(upper);
        if (c.hangs) {
            upper->RemoveFromParent();
        }
        scene_->CloseDialog(lower);
        scene_->PurgeTree();
    }
}

}  // namespace dialog_gl_test
