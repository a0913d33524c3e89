#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "framework/core/app/Application.h"
#include "framework/core/app/GameWindow.h"
#include "framework/core/app/InputHandler.h"
#include "framework/core/app/TaskManager.h"
#include "framework/core/app/iTask.h"
#include "framework/core/object/SmartPtr.h"
#include "framework/core/properties/PropertyNode.h"
#include "framework/core/files/FileArchive.h"
#include "framework/core/files/FileLoader.h"
#include "framework/core/script/Lua.h"
#include "framework/scene/AnimTree.h"
#include "framework/scene/GameTree.h"
#include "framework/scene/SceneCommands.h"

namespace application_test {

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
        Qmv2::RegisterSceneTrees();
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

namespace {

// A task that only marks its place in the list.
class MarkerTask : public Qmv2::iTask {
public:
    void Execute(std::int32_t) override {}
};

// Registrations last for the process: each test takes its own back.
class ApplicationRegistrationTest : public ApplicationTest {
protected:
    void TearDown() override
    {
        for (const char* name : {"first", "stopper", "gametree"}) {
            Application::RegisterCommand(name, {});
        }
        for (int slot = 0; slot < static_cast<int>(Application::TaskSlot::kCount); ++slot) {
            Application::RegisterTask(static_cast<Application::TaskSlot>(slot), {});
        }
        for (int slot = 0; slot < static_cast<int>(Application::ReleaseSlot::kCount); ++slot) {
            Application::RegisterRelease(static_cast<Application::ReleaseSlot>(slot), {});
        }
        ApplicationTest::TearDown();
    }
};

}  // namespace

TEST_F(ApplicationRegistrationTest, RegisteredCommandsRunWithTheirNodeAndFalseStopsTheStartUp)
{
    std::vector<std::string> ran;
    Application::RegisterCommand("first", [&ran](Qmv2::PropertyNode* command) {
        ran.push_back("first " + command->GetString("width"));
        return true;
    });
    Application::RegisterCommand("stopper", [&ran](Qmv2::PropertyNode*) {
        ran.push_back("stopper");
        return false;
    });
    // A built-in name cannot be taken over.
    Application::RegisterCommand("gametree", [&ran](Qmv2::PropertyNode*) {
        ran.push_back("taken over");
        return true;
    });
    WriteManifest(R"(<Node name="first" width="640"/><Node name="gametree"/><Node name="stopper"/>
                     <Node name="animtree"/>)");
    Application application("properties/application.xml");
    application.RunCommands();
    EXPECT_EQ(ran, (std::vector<std::string>{"first 640", "stopper"}));
    EXPECT_NE(Qmv2::GameTree::GetInstance(), nullptr);
    EXPECT_FALSE(Application::s_Running);
    EXPECT_EQ(Qmv2::AnimTree::GetInstance(), nullptr) << "no command runs after a failed one";
    application.Shutdown();

    // Removed again, the name is unknown and ignored.
    Application::s_Running = true;
    Application::RegisterCommand("stopper", {});
    WriteManifest(R"(<Node name="stopper"/><Node name="animtree"/>)");
    ran.clear();
    application.RunCommands();
    EXPECT_TRUE(ran.empty());
    EXPECT_TRUE(Application::s_Running);
    EXPECT_NE(Qmv2::AnimTree::GetInstance(), nullptr);
    application.Shutdown();
}

TEST_F(ApplicationRegistrationTest, RegisteredTasksTakeTheirPlacesInTheFrame)
{
    Qmv2::SmartPtr<Qmv2::iTask> scene(new MarkerTask);
    Qmv2::SmartPtr<Qmv2::iTask> image(new MarkerTask);
    Qmv2::SmartPtr<Qmv2::iTask> render(new MarkerTask);
    Application::RegisterTask(Application::TaskSlot::Render, [&render] { return render.Get(); });
    Application::RegisterTask(Application::TaskSlot::ImageManager, [&image] { return image.Get(); });
    Application::RegisterTask(Application::TaskSlot::SceneManager, [&scene] { return scene.Get(); });
    // A factory whose singleton does not exist adds nothing.
    Application::RegisterTask(Application::TaskSlot::SoundManager, []() -> Qmv2::iTask* { return nullptr; });
    WriteManifest(R"(<Node name="gametree"/><Node name="inputhandler"/><Node name="taskmanager"/>)");
    Application application("properties/application.xml");
    application.RunCommands();
    ASSERT_NE(Qmv2::TaskManager::GetInstance(), nullptr);
    const auto& tasks = Qmv2::TaskManager::GetInstance()->GetTasks();
    ASSERT_EQ(tasks.GetCount(), 6);
    EXPECT_EQ(tasks[0].Get(), Qmv2::InputHandler::GetInstance());
    EXPECT_EQ(tasks[1].Get(), scene.Get());
    EXPECT_EQ(tasks[2].Get(), image.Get());
    EXPECT_STREQ(tasks[3]->GetType()->GetName(), "TaskTickUpdate");
    EXPECT_STREQ(tasks[4]->GetType()->GetName(), "TaskPurge");
    EXPECT_EQ(tasks[5].Get(), render.Get());
    EXPECT_TRUE(render->IsRunning());
    application.Shutdown();
}

TEST_F(ApplicationRegistrationTest, RegisteredReleasesRunInTheShutdownOrder)
{
    // Each step notes which core singletons still exist when it runs.
    std::vector<std::string> steps;
    auto note = [&steps](const std::string& name) {
        return [&steps, name] {
            steps.push_back(name + (Qmv2::InputHandler::GetInstance() ? " input" : "") +
                            (Qmv2::GameTree::GetInstance() ? " tree" : "") +
                            (Qmv2::TaskManager::GetInstance() ? " tasks" : ""));
        };
    };
    Application::RegisterRelease(Application::ReleaseSlot::Renderer, note("renderer"));
    Application::RegisterRelease(Application::ReleaseSlot::Tooltip, note("tooltip"));
    Application::RegisterRelease(Application::ReleaseSlot::ImageManager, note("image"));
    Application::RegisterRelease(Application::ReleaseSlot::SoundManager, note("sound"));
    Application::RegisterRelease(Application::ReleaseSlot::SceneManager, note("scene"));
    Application::RegisterRelease(Application::ReleaseSlot::ParticleManager, note("particle"));
    WriteManifest(R"(<Node name="gametree"/><Node name="inputhandler"/><Node name="taskmanager"/>)");
    Application application("properties/application.xml");
    application.RunCommands();
    application.Shutdown();
    EXPECT_EQ(steps, (std::vector<std::string>{"particle input tree tasks", "scene tree tasks", "sound tasks",
                                               "image tasks", "tooltip", "renderer"}));
}

}  // namespace application_test
