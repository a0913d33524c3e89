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

    Dialog* Show(Dialog* dialog)
    {
        if (dialog == nullptr) {
            return nullptr;
        }
        scene_->AddChild(dialog);
        dialog->Show();
        // Past the fade-in and past the last ball of a burst.
        for (int i = 0; i < 30; ++i) {
            dialog->TickTree(100);
        }
        return dialog;
    }
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
    EXPECT_EQ(CompareWithGolden("dialog_yesno", Draw(), 8), "");
}
