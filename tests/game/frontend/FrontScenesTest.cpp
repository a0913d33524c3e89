#include <gtest/gtest.h>

#include <ctime>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include <unistd.h>

#include "framework/core/app/MessageData.h"
#include "framework/core/data/PlayerManager.h"
#include "framework/core/data/DataTestSupport.h"
#include "framework/core/object/SmartPtr.h"
#include "framework/core/properties/PropertyNode.h"
#include "framework/scene/AnimTree.h"
#include "framework/scene/Button.h"
#include "framework/scene/SceneManager.h"
#include "game/frontend/DialogNameInput.h"
#include "game/frontend/LoadScene.h"
#include "game/frontend/SceneSplash.h"
#include "game/frontend/SelectionScene.h"
#include "game/words/GameMode.h"
#include "tests/framework/scene/SpriteTestSupport.h"
#include "tests/game/frontend/DialogTestSupport.h"

namespace front_scenes_test {

using namespace Qmv2;

namespace {

std::time_t Utc(int year, int month, int day, int hour, int minute, int second)
{
    std::tm when{};
    when.tm_year = year - 1900;
    when.tm_mon = month - 1;
    when.tm_mday = day;
    when.tm_hour = hour;
    when.tm_min = minute;
    when.tm_sec = second;
    return timegm(&when);
}

TEST(LoadSceneBar, GrowsFromTheFirstProgressSeenAndNeverLeavesTheBar)
{
    EXPECT_FLOAT_EQ(LoadScene::BarWidth(400.0f, 0.2f, 0.2f), 0.0f);
    EXPECT_FLOAT_EQ(LoadScene::BarWidth(400.0f, 0.2f, 0.6f), 200.0f);
    EXPECT_FLOAT_EQ(LoadScene::BarWidth(400.0f, 0.2f, 1.0f), 400.0f);
    // Progress reset below the start, or loading already over when the
    // scene came: no negative width, no division by zero.
    EXPECT_FLOAT_EQ(LoadScene::BarWidth(400.0f, 0.5f, 0.1f), 0.0f);
    EXPECT_FLOAT_EQ(LoadScene::BarWidth(400.0f, 1.0f, 1.0f), 400.0f);
    EXPECT_FLOAT_EQ(LoadScene::BarWidth(400.0f, 0.0f, 1.5f), 400.0f);
}

TEST(SelectionSceneDay, WordOfTheDayCountsWholeUtcDaysFromTheFirstDay)
{
    EXPECT_EQ(SelectionScene::DayIndex(Utc(2008, 9, 3, 0, 0, 0)), 0);
    EXPECT_EQ(SelectionScene::DayIndex(Utc(2008, 9, 3, 23, 59, 59)), 0);
    EXPECT_EQ(SelectionScene::DayIndex(Utc(2008, 9, 4, 0, 0, 0)), 1);
    EXPECT_EQ(SelectionScene::DayIndex(Utc(2026, 1, 1, 12, 0, 0)) - SelectionScene::DayIndex(Utc(2025, 1, 1, 12, 0, 0)),
              365);
}

// Runs in a folder of its own, as the program runs in its data folder.
class SplashPictures : public ::testing::Test {
protected:
    void SetUp() override
    {
        folder = std::filesystem::temp_directory_path() / ("qmv_splash_" + std::to_string(getpid()));
        std::filesystem::create_directories(folder / "splash");
        previous = std::filesystem::current_path();
        std::filesystem::current_path(folder);
    }
    void TearDown() override
    {
        std::filesystem::current_path(previous);
        std::filesystem::remove_all(folder);
    }
    static void Touch(const std::string& name, const std::string& text = "x")
    {
        std::ofstream(name) << text;
    }

    std::filesystem::path folder;
    std::filesystem::path previous;
};

TEST_F(SplashPictures, JpegBeforePngAndTheFirstGapEndsTheNumbering)
{
    Touch("splash/splash1.jpg");
    Touch("splash/splash1.png");
    Touch("splash/splash2.png");
    Touch("splash/splash4.jpg");
    EXPECT_EQ(SceneSplash::PictureFile(1), "splash/splash1.jpg");
    EXPECT_EQ(SceneSplash::PictureFile(2), "splash/splash2.png");
    EXPECT_EQ(SceneSplash::PictureFile(3), "");
}

TEST_F(SplashPictures, BrandingTimingsApplyAndAnUnreadablePictureEndsTheSequence)
{
    Touch("splash/branding.xml", R"(<Node id="branding"><Integer id="SPLASH_FADE_TIME">250</Integer>)"
                                 R"(<Integer id="SPLASH_DISPLAY_TIME">900</Integer>)"
                                 R"(<String id="SHOW_ORVENDALE_ANIMATION">false</String></Node>)");
    Touch("splash/splash1.png", "not a picture");
    SmartPtr<PropertyNode> empty(new PropertyNode("scene"));
    SmartPtr<SceneSplash> splash(new SceneSplash(empty.Get()));
    splash->Load();
    EXPECT_EQ(splash->GetFadeTime(), 250);
    EXPECT_EQ(splash->GetDisplayTime(), 900);
    EXPECT_FALSE(splash->GetShowAnimation());
    EXPECT_EQ(splash->GetImageCount(), 0);
    EXPECT_TRUE(splash->IsFinished()) << "no animation and no readable picture: nothing is left to show";
}

TEST_F(SplashPictures, WithoutBrandingTheAnimationGetsItsTurnFirst)
{
    SmartPtr<PropertyNode> empty(new PropertyNode("scene"));
    SmartPtr<SceneSplash> splash(new SceneSplash(empty.Get()));
    splash->Load();
    EXPECT_EQ(splash->GetFadeTime(), 500);
    EXPECT_EQ(splash->GetDisplayTime(), 1700);
    EXPECT_FALSE(splash->IsFinished()) << "the scene's own content plays before the sequence ends";
    splash->ShowNextImage();
    EXPECT_TRUE(splash->IsFinished());
}

class SelectionModes : public ::testing::Test {
protected:
    void SetUp() override { frontendtest::SetUpDialogWorld(); }
    void TearDown() override
    {
        GameMode::Set(GameMode::kTimed);
        frontendtest::TearDownDialogWorld();
    }
};

// The scene built from its data, as the program builds it: its bar starts
// hidden and its logo spells itself out after half a second.
TEST_F(SelectionModes, TheLoadScenesBarStartsEmptyAndItsLogoSpellsItself)
{
    Scene* made = SceneManager::GetInstance()->CreateScene("SCENE_LOAD", std::string());
    ASSERT_NE(made, nullptr);
    ASSERT_TRUE(made->IsOfType(&LoadScene::s_Type));
    made->Load();
    auto* bar = static_cast<Sprite*>(made->FindChild("PROGRESS_BAR", true));
    auto* logo = static_cast<Sprite*>(made->FindChild("LOGO", true));
    ASSERT_NE(bar, nullptr);
    ASSERT_NE(logo, nullptr);
    ASSERT_NE(bar->GetClipPolygon(), nullptr) << "the bar is clipped from the start";
    EXPECT_FLOAT_EQ(bar->GetClipPolygon()->GetBounds().width, 0.0f);

    SmartPtr<Image> spelled = scenetest::MakeImage(8, 480, 80);
    logo->SetImage(spelled.Get());
    logo->SetFrame(0);
    made->Activate();
    for (int step = 0; step < 4; ++step) {
        AnimTree::UpdateTree(made->GetAnimations(), 100u);
    }
    EXPECT_EQ(logo->GetFrame(), 0) << "the logo waits half a second";
    for (int step = 0; step < 14; ++step) {
        AnimTree::UpdateTree(made->GetAnimations(), 100u);
    }
    EXPECT_EQ(logo->GetFrame(), 7) << "then it steps to its last frame and stays";
    SceneManager::GetInstance()->RemoveScene(made);
}

TEST_F(SelectionModes, AModeSetsTheCurrentModeAndGoesOnlyToASceneThatExists)
{
    SceneManager* scenes = SceneManager::GetInstance();
    Scene* game = scenes->CreateScene("SCENE_GAME", std::string());
    ASSERT_NE(game, nullptr);
    SmartPtr<PropertyNode> empty(new PropertyNode("scene"));
    SmartPtr<SelectionScene> menu(new SelectionScene(empty.Get()));

    menu->StartBlitz();
    EXPECT_EQ(GameMode::Get(), GameMode::kBlitz);
    EXPECT_EQ(scenes->GetPendingScene(), nullptr) << "no Blitz scene: the menu stays";
    EXPECT_EQ(scenes->GetTransition(), nullptr);

    menu->StartWordOfDay();
    EXPECT_EQ(GameMode::Get(), GameMode::kWordOfTheDay);
    EXPECT_EQ(scenes->GetPendingScene(), game);
    EXPECT_NE(scenes->GetTransition(), nullptr);

    menu->StartTrophy();
    EXPECT_EQ(GameMode::Get(), GameMode::kWordOfTheDay) << "the trophy room keeps the mode";
    EXPECT_EQ(scenes->GetPendingScene(), game) << "no trophy room: the earlier request stands";
}

}  // namespace

namespace {

class NameInput : public ::testing::Test {
protected:
    void SetUp() override
    {
        frontendtest::SetUpDialogWorld();
        scope = std::make_unique<QmvTest::DataFolderScope>(
            std::string("FrontendNameInput_") + ::testing::UnitTest::GetInstance()->current_test_info()->name());
        PlayerManager::Create("3")->LoadPlayers();
        SmartPtr<PropertyNode> empty(new PropertyNode("scene"));
        scene = new Scene(empty.Get());
    }
    void TearDown() override
    {
        scene = nullptr;
        PlayerManager::ReleaseInstance();
        scope.reset();
        frontendtest::TearDownDialogWorld();
    }
    DialogNameInput* Open()
    {
        return frontendtest::OpenDialog<DialogNameInput>(*scene, "DIALOG_NEWPLAYER");
    }
    static bool OkEnabled(DialogNameInput* dialog)
    {
        auto* ok = static_cast<Button*>(dialog->FindChild("BUTTON_OK", true));
        return ok != nullptr && ok->IsEnabled();
    }

    std::unique_ptr<QmvTest::DataFolderScope> scope;
    SmartPtr<Scene> scene;
};

TEST_F(NameInput, TheFirstPlayerIsNamedWithoutBlanksAndCannotBeCancelled)
{
    DialogNameInput* dialog = Open();
    ASSERT_NE(dialog, nullptr);
    ASSERT_NE(dialog->GetEntry(), nullptr);
    GameNode* cancel = dialog->FindChild("BUTTON_CANCEL", true);
    EXPECT_TRUE(cancel == nullptr || cancel->IsObsolete()) << "without a player there is nothing to go back to";
    EXPECT_FALSE(OkEnabled(dialog));
    dialog->GetEntry()->SetText(UTF8String(" \t "));
    EXPECT_FALSE(OkEnabled(dialog)) << "blanks are no name";
    dialog->OnCreate();
    EXPECT_EQ(PlayerManager::GetInstance()->GetPlayers().GetCount(), 0);

    // Tab and Escape leave the only field ready for typing.
    dialog->Show();
    for (const std::int32_t key : {LabelInput::kEndTab, LabelInput::kEndEscape}) {
        KeyboardMessageData press(0, key);
        EXPECT_TRUE(dialog->GetEntry()->OnKeyUp(&press));
        EXPECT_TRUE(dialog->GetEntry()->IsFocused()) << key;
    }
    dialog->GetEntry()->SetText(UTF8String("  Ann "));
    EXPECT_TRUE(OkEnabled(dialog));
    dialog->OnCreate();
    ASSERT_EQ(PlayerManager::GetInstance()->GetPlayers().GetCount(), 1);
    ASSERT_NE(PlayerManager::GetInstance()->GetCurrentPlayer(), nullptr);
    EXPECT_EQ(PlayerManager::GetInstance()->GetCurrentPlayer()->GetName(), "Ann");
    EXPECT_TRUE(std::filesystem::exists(PlayerManager::GetInstance()->GetPlayersListFile() + ".!"));
}

TEST_F(NameInput, ATakenNameIsRefusedWithANoticeAndTheDialogStays)
{
    DialogNameInput* first = Open();
    ASSERT_NE(first, nullptr);
    first->GetEntry()->SetText(UTF8String("Ann"));
    first->OnCreate();
    scene->CloseDialog(first);

    DialogNameInput* second = Open();
    ASSERT_NE(second, nullptr);
    GameNode* cancel = second->FindChild("BUTTON_CANCEL", true);
    ASSERT_NE(cancel, nullptr);
    EXPECT_FALSE(cancel->IsObsolete()) << "with a player the dialog may be cancelled";
    second->GetEntry()->SetText(UTF8String("Ann"));
    second->OnCreate();
    EXPECT_EQ(PlayerManager::GetInstance()->GetPlayers().GetCount(), 1);
    EXPECT_NE(scene->FindDialog("CTEXT_PLAYER_EXISTS"), nullptr);
    EXPECT_EQ(scene->FindDialog("DIALOG_NEWPLAYER"), second);
}

}  // namespace

}  // namespace front_scenes_test
