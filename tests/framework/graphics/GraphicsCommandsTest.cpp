// The graphics layer's start-up commands, frame tasks and releases, run
// through the application over the recording fake device.
#include <gtest/gtest.h>

#include <string>

#include "FakeD3D9.h"
#include "framework/core/app/Application.h"
#include "framework/core/app/TaskManager.h"
#include "framework/core/object/SmartPtr.h"
#include "StartupCommand.h"
#include "framework/graphics/GraphicsCommands.h"
#include "framework/scene/TaskRender.h"
#include "framework/graphics/image/ImageManager.h"
#include "framework/graphics/render/RendererD3D.h"
#include "framework/scene/GameTree.h"
#include "framework/scene/SceneClasses.h"

namespace graphics_commands_test {

using namespace Qmv2;

namespace {

class GraphicsCommandsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        Application::s_Running = true;
        RegisterGraphicsCommands();
        RegisterSceneClasses();
    }
    void TearDown() override
    {
        application_.Shutdown();
        Application::s_Running = true;
    }
    void Run(const std::string& attributes) { graphicstest::RunStartupCommand(application_, attributes); }

    Application application_{"properties/application.xml"};
};

}  // namespace

TEST_F(GraphicsCommandsTest, ImageManagerTaskRunsBeforeTheFrameTasksAndTheRenderTaskLast)
{
    Run(R"(name="gametree")");
    Run(R"(name="imagemanager")");
    ASSERT_NE(ImageManager::GetInstance(), nullptr);
    EXPECT_TRUE(ImageManager::GetInstance()->IsRunning());
    Run(R"(name="taskmanager")");
    ASSERT_NE(TaskManager::GetInstance(), nullptr);
    const auto& tasks = TaskManager::GetInstance()->GetTasks();
    ASSERT_EQ(tasks.GetCount(), 4);
    EXPECT_EQ(tasks[0].Get(), ImageManager::GetInstance());
    ASSERT_TRUE(tasks[3]->IsOfType(&TaskRender::s_Type));
    EXPECT_EQ(static_cast<TaskRender*>(tasks[3].Get())->GetRoot(), GameTree::GetInstance());
    EXPECT_TRUE(tasks[3]->IsRunning());

    application_.Shutdown();
    EXPECT_EQ(ImageManager::GetInstance(), nullptr);
    EXPECT_EQ(TaskManager::GetInstance(), nullptr);
}

TEST_F(GraphicsCommandsTest, WithoutImageManagerTheFrameHasNoImageTask)
{
    Run(R"(name="taskmanager")");
    const auto& tasks = TaskManager::GetInstance()->GetTasks();
    ASSERT_EQ(tasks.GetCount(), 3);
    EXPECT_TRUE(tasks[2]->IsOfType(&TaskRender::s_Type));
    EXPECT_EQ(static_cast<TaskRender*>(tasks[2].Get())->GetRoot(), nullptr);
    tasks[2]->Execute(16);  // no renderer, no tree: nothing happens
}

TEST_F(GraphicsCommandsTest, RendererWithoutGameWindowIsRefused)
{
    testing::internal::CaptureStderr();
    Run(R"(name="renderer" width="800" height="600")");
    const std::string errors = testing::internal::GetCapturedStderr();
    EXPECT_EQ(Renderer::GetInstance(), nullptr);
    EXPECT_TRUE(Application::s_Running);
    EXPECT_NE(errors.find("renderer needs the game window"), std::string::npos) << errors;
}

TEST_F(GraphicsCommandsTest, ShutdownReleasesTheRendererAndItsDeviceLast)
{
    graphicstest::InstallFakeD3D9();
    auto* renderer = new RendererD3D;
    Renderer::SetInstance(renderer);
    ASSERT_EQ(renderer->Init(800, 600), 0);
    Run(R"(name="imagemanager")");
    ASSERT_GT(graphicstest::Fake().liveObjects, 0);
    application_.Shutdown();
    EXPECT_EQ(Renderer::GetInstance(), nullptr);
    EXPECT_EQ(ImageManager::GetInstance(), nullptr);
    EXPECT_EQ(graphicstest::Fake().liveObjects, 0) << "buffers, surfaces and the device are all released";
}

}  // namespace graphics_commands_test
