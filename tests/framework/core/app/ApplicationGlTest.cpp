#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "framework/core/app/Application.h"
#include "framework/core/app/GameWindow.h"
#include "framework/core/app/InputHandler.h"
#include "framework/core/app/TaskManager.h"
#include "framework/scene/SceneCommands.h"
#include "platform/d3d9/Direct3D9Library.h"

namespace application_gl_test {

namespace fs = std::filesystem;
using Qmv2::Application;

namespace {

// Runs the shipped manifest in this process. It opens the real window and
// writes settings, so it gets folders of its own for the registry, the saved
// data and the single-instance lock: the end-to-end test may run the real game
// at the same time.
class ShippedManifestTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        previous = fs::current_path();
        folder = fs::temp_directory_path() / ("qmv_shipped_" + std::to_string(::getpid()));
        for (const char* name : {"XDG_RUNTIME_DIR", "XDG_CONFIG_HOME", "XDG_DATA_HOME"}) {
            const char* value = std::getenv(name);
            saved.emplace_back(name, value != nullptr ? value : "");
            const fs::path own = folder / name;
            fs::create_directories(own);
            setenv(name, own.c_str(), 1);
        }
        Application::s_Running = true;
        // As the program does: the graphics library can be loaded by name.
        platform::d3d9::RegisterDirect3D9Library();
        Qmv2::RegisterSceneTrees();
    }
    void TearDown() override
    {
        fs::current_path(previous);
        for (const auto& [name, value] : saved) {
            setenv(name.c_str(), value.c_str(), 1);
        }
        fs::remove_all(folder);
        Application::s_Running = true;
        Application::s_GameId = "<untitled>";
    }

    fs::path previous;
    fs::path folder;
    std::vector<std::pair<std::string, std::string>> saved;
};

}  // namespace

TEST_F(ShippedManifestTest, ShippedManifestStartsTheGame)
{
    fs::current_path(QMV_RUN_DIR);
    Application application("properties/application.xml");
    ASSERT_TRUE(application.RunCommands());
    EXPECT_TRUE(Application::s_Running);
    EXPECT_EQ(Application::s_GameId, "Quorvel");
    ASSERT_NE(Qmv2::GameWindow::GetInstance(), nullptr);
    EXPECT_EQ(Qmv2::GameWindow::GetInstance()->GetTitle(), "Quorvel");
    EXPECT_EQ(Qmv2::GameWindow::GetInstance()->GetWidth(), 800);
    EXPECT_NE(Qmv2::InputHandler::GetInstance(), nullptr);
    EXPECT_NE(Qmv2::TaskManager::GetInstance(), nullptr);
    application.Shutdown();
    EXPECT_EQ(Qmv2::GameWindow::GetInstance(), nullptr);
}

}  // namespace application_gl_test
