#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "framework/core/app/Application.h"
#include "framework/core/app/GameWindow.h"
#include "framework/core/app/InputHandler.h"
#include "framework/core/app/TaskManager.h"
#include "framework/core/files/FileArchive.h"
#include "framework/core/files/FileLoader.h"
#include "framework/core/script/Lua.h"
#include "framework/scene/AnimTree.h"
#include "framework/scene/GameTree.h"

namespace fs = std::filesystem;
using Qmv2::Application;

namespace {

class ApplicationTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        previous = fs::current_path();
        folder = fs::temp_directory_path() / ("qmv_app_" + std::to_string(::getpid()) + "_" +
                                              ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(folder / "properties");
        fs::current_path(folder);
        Application::s_Running = true;
    }
    void TearDown() override
    {
        fs::current_path(previous);
        fs::remove_all(folder);
        Application::s_Running = true;
        Application::s_GameId = "<untitled>";
    }
    void WriteManifest(const std::string& commands)
    {
        std::ofstream(folder / "properties/application.xml")
            << "<Node id=\"application\"><Vector id=\"commands\">" << commands << "</Vector></Node>";
    }

    fs::path previous;
    fs::path folder;
};

}  // namespace

TEST_F(ApplicationTest, CommandsRunInOrderAndShutdownReleasesEverything)
{
    WriteManifest(R"(<Node name="gameid" gameid="AppTest"/>
                     <Node name="gametree"/><Node name="animtree" onlyeditor="true"/>
                     <Node name="animtree" onlyeditor="false"/><Node name="inputhandler"/>
                     <Node name="taskmanager" max_fps="30"/><Node name="nosuchcommand"/>)");
    Application application("properties/application.xml");
    EXPECT_TRUE(application.RunCommands());
    EXPECT_TRUE(Application::s_Running);
    EXPECT_EQ(Application::s_GameId, "AppTest");
    ASSERT_NE(Qmv2::GameTree::GetInstance(), nullptr);
    ASSERT_NE(Qmv2::AnimTree::GetInstance(), nullptr);
    ASSERT_NE(Qmv2::InputHandler::GetInstance(), nullptr);
    ASSERT_NE(Qmv2::TaskManager::GetInstance(), nullptr);
    EXPECT_EQ(Qmv2::TaskManager::GetInstance()->GetTargetFrameTime(), 33);
    // input handler, update and purge, each marked running
    ASSERT_EQ(Qmv2::TaskManager::GetInstance()->GetTasks().GetCount(), 3);
    EXPECT_EQ(Qmv2::TaskManager::GetInstance()->GetTasks()[0].Get(), Qmv2::InputHandler::GetInstance());
    EXPECT_TRUE(Qmv2::TaskManager::GetInstance()->GetTasks()[2]->IsRunning());
    application.Shutdown();
    EXPECT_EQ(Qmv2::GameTree::GetInstance(), nullptr);
    EXPECT_EQ(Qmv2::InputHandler::GetInstance(), nullptr);
    EXPECT_EQ(Qmv2::TaskManager::GetInstance(), nullptr);
}

TEST_F(ApplicationTest, ArchiveAndScriptCommandsCreateTheirSingletons)
{
    WriteManifest(R"(<Node name="filearchive" type="encryptzip"/><Node name="lua"/>)");
    Application application("properties/application.xml");
    EXPECT_TRUE(application.RunCommands());
    ASSERT_NE(Qmv2::FileArchive::GetInstance(), nullptr);
    EXPECT_EQ(Qmv2::s_DefaultLoadFlags, 6u);
    EXPECT_NE(Qmv2::Lua::GetInstance(), nullptr);
    application.Shutdown();
    EXPECT_EQ(Qmv2::FileArchive::GetInstance(), nullptr);
    EXPECT_EQ(Qmv2::s_DefaultLoadFlags, 0u);
}

TEST_F(ApplicationTest, UnknownArchiveTypeMeansPlainFiles)
{
    WriteManifest(R"(<Node name="filearchive" type="tarball"/>)");
    Application application("properties/application.xml");
    EXPECT_TRUE(application.RunCommands());
    EXPECT_EQ(Qmv2::s_DefaultLoadFlags, 0u);
    application.Shutdown();
}

TEST_F(ApplicationTest, FrameRateOfZeroOrBelowMeansSixty)
{
    WriteManifest(R"(<Node name="taskmanager" max_fps="0"/>)");
    Application application("properties/application.xml");
    application.RunCommands();
    ASSERT_NE(Qmv2::TaskManager::GetInstance(), nullptr);
    EXPECT_EQ(Qmv2::TaskManager::GetInstance()->GetTargetFrameTime(), 16);
    application.Shutdown();
    WriteManifest(R"(<Node name="taskmanager" max_fps="-5"/>)");
    application.RunCommands();
    EXPECT_EQ(Qmv2::TaskManager::GetInstance()->GetTargetFrameTime(), 16);
}

TEST_F(ApplicationTest, CommandWithoutItsPrerequisiteIsRefused)
{
    WriteManifest(R"(<Node name="inputhandler"/><Node name="animtree"/>)");
    Application application("properties/application.xml");
    application.RunCommands();
    EXPECT_EQ(Qmv2::InputHandler::GetInstance(), nullptr);
    EXPECT_NE(Qmv2::AnimTree::GetInstance(), nullptr);  // later commands still run
    EXPECT_TRUE(Application::s_Running);
}

TEST_F(ApplicationTest, MissingGameTitleStopsTheStartUp)
{
    std::ofstream(folder / "properties/strings.xml") << "<Node id=\"s\"><String id=\"OTHER\">x</String></Node>";
    WriteManifest(R"(<Node name="basicproperties"/>
                     <Node name="datamanager"><Vector id="files"><Node file="properties/strings.xml"/></Vector></Node>
                     <Node name="gamewindow" width="800" height="600"/><Node name="gametree"/>)");
    Application application("properties/application.xml");
    testing::internal::CaptureStderr();
    application.RunCommands();
    const std::string errors = testing::internal::GetCapturedStderr();
    EXPECT_FALSE(Application::s_Running);
    EXPECT_NE(errors.find("GAME_TITLE"), std::string::npos);
    EXPECT_EQ(Qmv2::GameWindow::GetInstance(), nullptr);
    EXPECT_EQ(Qmv2::GameTree::GetInstance(), nullptr);  // no command after the failure ran
}

TEST_F(ApplicationTest, NoManifestAnywhereStopsBeforeAnyCommand)
{
    fs::remove_all(folder / "properties");
    Application application("properties/missing.xml");
    testing::internal::CaptureStderr();
    application.SetWorkingDirectory();
    const std::string errors = testing::internal::GetCapturedStderr();
    EXPECT_FALSE(Application::s_Running);
    EXPECT_NE(errors.find("Error: Couldn't find application manifest file properties/missing.xml"), std::string::npos);
}
