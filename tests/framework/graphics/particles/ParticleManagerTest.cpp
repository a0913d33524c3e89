#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "framework/graphics/RendererFixture.h"
#include "framework/graphics/StartupCommand.h"
#include "framework/core/app/Application.h"
#include "framework/graphics/GraphicsCommands.h"
#include "framework/graphics/draw/Graphics.h"
#include "framework/graphics/particles/ParticleManager.h"
#include "platform/win32/WinLibrary.h"

namespace particle_manager_test {

using namespace Qmv2;
using PyroParticles::IPyroParticleLibrary;
using PyroParticles::PyroGraphics::CBitmap;
using PyroParticles::PyroGraphics::IDevice;
using PyroParticles::PyroGraphics::ITexture;
using PyroParticles::PyroGraphics::IVertexBuffer;
using PyroParticles::PyroGraphics::Vertex;

namespace {

std::vector<std::string> g_events;
std::uint32_t g_version = 0;
bool g_createAnswersNull = false;

// A particle library that, like the real one, asks the device for a texture
// and a buffer of quads when it starts, draws them on request and gives all
// of it back before it goes.
class FakeLibrary final : public IPyroParticleLibrary {
public:
    void Reserved0() override { g_events.push_back("reserved"); }
    void Reserved1() override { g_events.push_back("reserved"); }
    std::int32_t Init(IDevice* device) override
    {
        g_events.push_back("init");
        device_ = device;
        pixels_.assign(16, 0xFF00FF00u);
        CBitmap* bitmap = nullptr;
        device->CreateBitmap(&bitmap, pixels_.data(), 4, 4, 0);
        device->CreateTexture(&texture_, bitmap);
        delete bitmap;
        device->CreateVertexBuffer(&quads_, 4, sizeof(Vertex));
        auto* v = static_cast<Vertex*>(quads_->GetData());
        v[0] = {0, 0, 0, 0, 0xFF0000FFu, 0, 0};
        v[1] = {8, 0, 0, 0, 0xFF0000FFu, 1, 0};
        v[2] = {8, 8, 0, 0, 0xFF0000FFu, 1, 1};
        v[3] = {0, 8, 0, 0, 0xFF0000FFu, 0, 1};
        return 1;
    }
    void Done() override
    {
        g_events.push_back("done");
        delete quads_;
        delete texture_;
        quads_ = nullptr;
        texture_ = nullptr;
    }
    std::int32_t Draw()
    {
        device_->SetBlending(1, 1);
        device_->SetTexture(texture_);
        return device_->DrawQuads(quads_, 0, 1, 0);
    }
    ~FakeLibrary() { g_events.push_back("destroyed"); }

    IDevice* device_ = nullptr;
    ITexture* texture_ = nullptr;
    IVertexBuffer* quads_ = nullptr;
    std::vector<std::uint32_t> pixels_;
};

IPyroParticleLibrary* CreateLibrary(std::uint32_t version)
{
    g_events.push_back("create");
    g_version = version;
    return g_createAnswersNull ? nullptr : new FakeLibrary;
}

void DestroyLibrary(IPyroParticleLibrary* library)
{
    g_events.push_back("destroy");
    delete static_cast<FakeLibrary*>(library);
}

void RegisterFakeLibrary(bool withCreate, bool withDestroy)
{
    std::map<std::string, FARPROC> entryPoints;
    if (withCreate) {
        entryPoints[PyroParticles::kCreateParticleLibraryName] = platform::EntryPoint(&CreateLibrary);
    }
    if (withDestroy) {
        entryPoints[PyroParticles::kDestroyParticleLibraryName] = platform::EntryPoint(&DestroyLibrary);
    }
    platform::RegisterLibrary("pyro.dll", entryPoints);
}

class ParticleManagerTest : public graphicstest::RendererFixture {
protected:
    void SetUp() override
    {
        RendererFixture::SetUp();
        g_events.clear();
        g_version = 0;
        g_createAnswersNull = false;
    }
    void TearDown() override
    {
        ParticleManager::ReleaseInstance();
        platform::UnregisterLibrary("pyro.dll");
        RendererFixture::TearDown();
    }
};

}  // namespace

TEST_F(ParticleManagerTest, WithoutTheLibraryTheManagerRunsWithNone)
{
    platform::UnregisterLibrary("pyro.dll");
    ParticleManager::Create();
    ParticleManager* manager = ParticleManager::GetInstance();
    ASSERT_NE(manager, nullptr);
    EXPECT_EQ(manager->GetLibrary(), nullptr);
    ASSERT_NE(manager->GetDevice(), nullptr);
    SmartPtr<ParticleDevice> device(manager->GetDevice());
    EXPECT_EQ(device->GetRefCount(), 2);
    ParticleManager::ReleaseInstance();
    EXPECT_EQ(device->GetRefCount(), 1) << "the manager gave its reference back";
    EXPECT_TRUE(g_events.empty());
}

TEST_F(ParticleManagerTest, TheLibraryIsCreatedWithTheVersionAndGivenTheDevice)
{
    RegisterFakeLibrary(true, true);
    ParticleManager::Create();
    ParticleManager* manager = ParticleManager::GetInstance();
    EXPECT_EQ(g_version, 0x10109u);
    EXPECT_EQ(g_events, (std::vector<std::string>{"create", "init"}));
    auto* library = static_cast<FakeLibrary*>(manager->GetLibrary());
    ASSERT_NE(library, nullptr);
    EXPECT_EQ(library->device_, static_cast<IDevice*>(manager->GetDevice()));
    ASSERT_NE(library->texture_, nullptr);
    EXPECT_EQ(manager->GetDevice()->GetFrames().GetCount(), 1);

    ParticleManager::ReleaseInstance();
    EXPECT_EQ(g_events, (std::vector<std::string>{"create", "init", "done", "destroy", "destroyed"}));
}

TEST_F(ParticleManagerTest, TheLibraryDrawsThroughTheDeviceIntoTheDrawingObject)
{
    RegisterFakeLibrary(true, true);
    ParticleManager::Create();
    ParticleManager* manager = ParticleManager::GetInstance();
    auto* library = static_cast<FakeLibrary*>(manager->GetLibrary());
    ASSERT_NE(library, nullptr);
    Graphics* graphics = renderer_->GetScreenGraphics();
    EXPECT_EQ(library->Draw(), 0) << "nothing to draw into yet";

    manager->GetDevice()->SetGraphics(graphics);
    graphics->Begin();
    EXPECT_EQ(library->Draw(), 1);
    ASSERT_EQ(graphics->GetSlicesUsed(), 1u);
    const VertexBufferSlice& slice = graphics->GetSlice(0);
    EXPECT_EQ(slice.blendMode, 2) << "factors 1/1 are additive";
    EXPECT_EQ(slice.texture, manager->GetDevice()->GetFrames()[0]->GetImageData());
    EXPECT_EQ(renderer_->GetVertexBuffer()->GetData()[slice.firstVertex + 2].x, 8.0f);
    EXPECT_EQ(renderer_->GetVertexBuffer()->GetData()[slice.firstVertex].color, 0xFFFF0000u);
    graphicstest::Fake().ClearCalls();
    EXPECT_TRUE(graphics->End());
    EXPECT_EQ(graphicstest::Fake().Named("DrawIndexedPrimitive").size(), 1u);
}

TEST_F(ParticleManagerTest, ANullLibraryIsNeitherShutDownNorDestroyed)
{
    RegisterFakeLibrary(true, true);
    g_createAnswersNull = true;
    ParticleManager::Create();
    EXPECT_EQ(ParticleManager::GetInstance()->GetLibrary(), nullptr);
    ParticleManager::ReleaseInstance();
    EXPECT_EQ(g_events, std::vector<std::string>{"create"});
}

TEST_F(ParticleManagerTest, MissingEntryPointsLeaveOutWhatTheyWouldDo)
{
    RegisterFakeLibrary(false, true);
    ParticleManager::Create();
    EXPECT_EQ(ParticleManager::GetInstance()->GetLibrary(), nullptr);
    ParticleManager::ReleaseInstance();
    EXPECT_TRUE(g_events.empty()) << "without the create entry point nothing is created or destroyed";

    RegisterFakeLibrary(true, false);
    ParticleManager::Create();
    IPyroParticleLibrary* library = ParticleManager::GetInstance()->GetLibrary();
    ASSERT_NE(library, nullptr);
    ParticleManager::ReleaseInstance();
    EXPECT_EQ(g_events, (std::vector<std::string>{"create", "init", "done"}));
    delete static_cast<FakeLibrary*>(library);  // nobody else can
}

TEST_F(ParticleManagerTest, AReplacedManagerShutsDownOnlyItsOwnLibrary)
{
    RegisterFakeLibrary(true, true);
    ParticleManager::Create();
    IPyroParticleLibrary* first = ParticleManager::GetInstance()->GetLibrary();
    ParticleManager::Create();
    IPyroParticleLibrary* second = ParticleManager::GetInstance()->GetLibrary();
    ASSERT_NE(second, nullptr);
    EXPECT_NE(first, second);
    EXPECT_EQ(g_events, (std::vector<std::string>{"create", "init", "create", "init", "done", "destroy", "destroyed"}));
    ParticleManager::ReleaseInstance();
    EXPECT_EQ(g_events.size(), 10u);
}

TEST(ParticleManagerCommandTest, TheStartUpCommandMakesTheManagerAndShutdownReleasesIt)
{
    Application::s_Running = true;
    RegisterGraphicsCommands();
    RegisterFakeLibrary(true, true);
    g_events.clear();
    {
        Application application("properties/application.xml");
        graphicstest::RunStartupCommand(application, R"(name="particlemanager")");
        EXPECT_TRUE(Application::s_Running);
        ASSERT_NE(ParticleManager::GetInstance(), nullptr);
        EXPECT_NE(ParticleManager::GetInstance()->GetLibrary(), nullptr);
        application.Shutdown();
        EXPECT_EQ(ParticleManager::GetInstance(), nullptr);
        EXPECT_EQ(g_events, (std::vector<std::string>{"create", "init", "done", "destroy", "destroyed"}));
    }
    platform::UnregisterLibrary("pyro.dll");
}

}  // namespace particle_manager_test
