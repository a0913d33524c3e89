#include <gtest/gtest.h>

#include <ctime>
#include <filesystem>
#include <fstream>
#include <string>

#include <unistd.h>

#include "framework/core/object/SmartPtr.h"
#include "framework/core/properties/PropertyNode.h"
#include "framework/scene/SceneManager.h"
#include "game/frontend/LoadScene.h"
#include "game/frontend/SceneSplash.h"
#include "game/frontend/SelectionScene.h"
#include "game/words/GameMode.h"
#include "tests/game/frontend/DialogTestSupport.h"

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
