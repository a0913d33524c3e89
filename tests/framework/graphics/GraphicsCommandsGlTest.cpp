// The "renderer" start-up command on the real Direct3D stand-in: the shipped
// manifest starts a renderer whose frames draw, a failed start stops the
// program with the renderer's message, and the vertex budget is applied.
#include <gtest/gtest.h>

#include <SDL.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "framework/core/app/Application.h"
#include "framework/core/app/GameWindowWin32.h"
#include "framework/core/app/TaskManager.h"
#include "framework/core/object/SmartPtr.h"
#include "StartupCommand.h"
#include "framework/graphics/GraphicsCommands.h"
#include "framework/scene/BackgroundNode.h"
#include "framework/scene/TaskRender.h"
#include "framework/graphics/image/ImageManager.h"
#include "framework/graphics/render/ImageData.h"
#include "framework/graphics/render/Renderer.h"
#include "framework/scene/GameTree.h"
#include "framework/scene/SceneClasses.h"
#include "platform/d3d9/TestHooks.h"

namespace graphics_commands_gl_test {

using namespace Qmv2;
namespace fs = std::filesystem;

namespace {

class GraphicsCommandsGlTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_VIDEO), 0) << SDL_GetError(); }

    void SetUp() override
    {
        Application::s_Running = true;
        RegisterGraphicsCommands();
        RegisterSceneClasses();
        previous_ = fs::current_path();
    }
    void TearDown() override
    {
        application_.Shutdown();
        platform::d3d9::SetCapsFilter({});
        fs::current_path(previous_);
        Application::s_Running = true;
    }
    void Run(const std::string& attributes) { graphicstest::RunStartupCommand(application_, attributes); }
    // The back buffer's pixel at (x, y) as ARGB with full alpha.
    static std::uint32_t BackBufferPixel(int x, int y)
    {
        SmartPtr<ImageData> shot(Renderer::GetInstance()->CaptureBackBuffer());
        if (!shot || !shot->Lock(true)) {
            ADD_FAILURE() << "no capture of the back buffer";
            return 0;
        }
        const auto* row = reinterpret_cast<const std::uint32_t*>(static_cast<std::uint8_t*>(shot->GetBits()) +
                                                                 y * shot->GetPitch());
        const std::uint32_t pixel = row[x] | 0xFF000000u;
        shot->Unlock();
        return pixel;
    }

    Application application_{"properties/application.xml"};
    fs::path previous_;
};

}  // namespace

TEST_F(GraphicsCommandsGlTest, ShippedManifestStartsARendererWhoseFramesDraw)
{
    // A private lock folder: the end-to-end test may run the real game meanwhile.
    const std::string runtime = std::getenv("XDG_RUNTIME_DIR") != nullptr ? std::getenv("XDG_RUNTIME_DIR") : "";
    const fs::path locks = fs::temp_directory_path() / ("qmv_graphics_cmd_" + std::to_string(::getpid()));
    fs::create_directories(locks);
    setenv("XDG_RUNTIME_DIR", locks.c_str(), 1);
    fs::current_path(QMV_RUN_DIR);
    ASSERT_TRUE(application_.RunCommands());
    ASSERT_TRUE(Application::s_Running);
    Renderer* renderer = Renderer::GetInstance();
    ASSERT_NE(renderer, nullptr);
    EXPECT_TRUE(renderer->IsInitialised());
    EXPECT_EQ(renderer->GetScreenWidth(), 800);
    EXPECT_EQ(renderer->GetScreenHeight(), 600);
    ASSERT_NE(ImageManager::GetInstance(), nullptr);
    ASSERT_NE(TaskManager::GetInstance(), nullptr);
    const auto& tasks = TaskManager::GetInstance()->GetTasks();
    ASSERT_GT(tasks.GetCount(), 0);
    EXPECT_TRUE(tasks[tasks.GetCount() - 1]->IsOfType(&TaskRender::s_Type));

    GameTree::GetInstance()->AddChild(new BackgroundNode(Color(0xFF1D3557u)));
    TaskManager::GetInstance()->Tick(16);
    EXPECT_EQ(BackBufferPixel(400, 300), 0xFF1D3557u);
    GameTree::GetInstance()->GetFirstChild()->SetVisible(false);
    GameTree::GetInstance()->AddChild(new BackgroundNode(Color(0xFFFFF8E7u)));
    TaskManager::GetInstance()->Tick(16);
    EXPECT_EQ(BackBufferPixel(10, 590), 0xFFFFF8E7u);

    application_.Shutdown();
    EXPECT_EQ(Renderer::GetInstance(), nullptr);
    EXPECT_EQ(ImageManager::GetInstance(), nullptr);
    EXPECT_EQ(GameWindow::GetInstance(), nullptr);
    setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
    fs::remove_all(locks);
}

TEST_F(GraphicsCommandsGlTest, FailedInitShowsTheCodeAndStopsTheStartUp)
{
    GameWindowWin32::CreateGameWindow("graphics command test", 160, 120, false);
    platform::d3d9::SetCapsFilter([](D3DCAPS9& caps) { caps.MaxTextureWidth = 512; });
    testing::internal::CaptureStderr();
    Run(R"(name="renderer" width="160" height="120")");
    const std::string errors = testing::internal::GetCapturedStderr();
    EXPECT_FALSE(Application::s_Running);
    EXPECT_NE(errors.find("Graphics initialization failed: This video card does not support the minimum "
                          "texture size. [6]."),
              std::string::npos)
        << errors;
    ASSERT_NE(Renderer::GetInstance(), nullptr) << "what was made is left to the shutdown";
    EXPECT_FALSE(Renderer::GetInstance()->IsInitialised());
}

TEST_F(GraphicsCommandsGlTest, VertexBudgetComesFromTheCommandAndIsClamped)
{
    GameWindowWin32::CreateGameWindow("graphics command test", 160, 120, false);
    Run(R"(name="renderer" width="160" height="120" vertices="1200")");
    ASSERT_NE(Renderer::GetInstance(), nullptr);
    EXPECT_TRUE(Application::s_Running);
    EXPECT_EQ(Renderer::GetInstance()->GetVertexBudget(), 1200);
    EXPECT_EQ(Renderer::GetInstance()->GetVertexBuffer()->GetCapacity(), 1200u);
    application_.Shutdown();

    GameWindowWin32::CreateGameWindow("graphics command test", 160, 120, false);
    Run(R"(name="renderer" width="160" height="120" vertices="100000")");
    ASSERT_NE(Renderer::GetInstance(), nullptr);
    EXPECT_EQ(Renderer::GetInstance()->GetVertexBudget(), Renderer::kMaxVertexBudget);
    application_.Shutdown();

    GameWindowWin32::CreateGameWindow("graphics command test", 160, 120, false);
    Run(R"(name="renderer" width="160" height="120")");
    EXPECT_EQ(Renderer::GetInstance()->GetVertexBudget(), Renderer::kDefaultVertexBudget);
}

}  // namespace graphics_commands_gl_test
