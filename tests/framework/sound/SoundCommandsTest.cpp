// The "soundmanager" start-up command: the engine starts on the wave output
// (SDL's dummy driver under test), takes the stored volumes, the manager's
// task joins the frame and the shutdown closes the engine.
#include <fstream>

#include "SoundFixture.h"
#include "framework/core/app/Application.h"
#include "framework/core/app/TaskManager.h"
#include "framework/core/data/GameSettings.h"
#include "framework/core/data/SettingsManager.h"
#include "framework/core/object/ObjectFactory.h"
#include "framework/sound/SoundCommands.h"
#include "framework/sound/SoundManager.h"

namespace sound_commands_test {

namespace {

using Qmv2::Application;
using Qmv2::SoundManager;

class SoundCommandsTest : public QmvTest::SoundFixture {
protected:
    void SetUp() override
    {
        SoundFixture::SetUp();
        std::filesystem::create_directories(m_Folder / "properties");
        Application::s_Running = true;
        Qmv2::RegisterSoundCommands();
    }
    void TearDown() override
    {
        Application::s_Running = true;
        SoundFixture::TearDown();
    }
    static void WriteManifest(const std::string& commands)
    {
        std::ofstream("properties/application.xml")
            << "<Node id=\"application\"><Vector id=\"commands\">" << commands << "</Vector></Node>";
    }
};

TEST_F(SoundCommandsTest, StartUpRunsTheManagerWithTheStoredVolumesAndShutdownClosesIt)
{
    EXPECT_TRUE(Qmv2::ObjectFactory::GetInstance()->IsRegistered("Sound"));
    EXPECT_TRUE(Qmv2::ObjectFactory::GetInstance()->IsRegistered("Stream"));
    WriteManifest(R"(<Node name="settingsmanager"/><Node name="soundmanager"/><Node name="taskmanager"/>)");
    Application application("properties/application.xml");
    ASSERT_TRUE(application.RunCommands());
    EXPECT_TRUE(Application::s_Running);
    SoundManager* manager = SoundManager::GetInstance();
    ASSERT_NE(manager, nullptr);
    EXPECT_TRUE(SoundManager::IsSoundUp());
    EXPECT_EQ(OSND_GetOutputRate(), 44100);
    Qmv2::GameSettings* settings = Qmv2::SettingsManager::GetInstance()->GetSettings();
    ASSERT_NE(settings, nullptr);
    EXPECT_FLOAT_EQ(manager->GetMusicVolume(), settings->GetMusicVolume());
    EXPECT_FLOAT_EQ(manager->GetSoundVolume(), settings->GetSoundVolume());
    EXPECT_EQ(gOsnd.sfxMasterVolume, static_cast<int>(settings->GetSoundVolume() * 255.0f));
    bool inFrame = false;
    for (const auto& task : Qmv2::TaskManager::GetInstance()->GetTasks()) {
        inFrame = inFrame || task.Get() == manager;
    }
    EXPECT_TRUE(inFrame);

    application.Shutdown();
    EXPECT_EQ(SoundManager::GetInstance(), nullptr);
    EXPECT_FALSE(SoundManager::IsSoundUp());
    EXPECT_FALSE(gOsnd.initialised);
}

}  // namespace

}  // namespace sound_commands_test
