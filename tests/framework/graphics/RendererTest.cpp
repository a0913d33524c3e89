#include <gtest/gtest.h>

#include "RendererFixture.h"
#include "framework/core/object/SmartPtr.h"
#include "framework/graphics/render/ImageDataBufferD3D.h"

namespace renderer_test {

using namespace Qmv2;
using graphicstest::Fake;
using graphicstest::FakeCall;

namespace {

class RendererInitTest : public graphicstest::RendererFixture {
protected:
    RendererInitTest() { initialise_ = false; }
};

std::vector<std::pair<DWORD, DWORD>> RenderStates()
{
    std::vector<std::pair<DWORD, DWORD>> states;
    for (const FakeCall& call : Fake().Named("SetRenderState")) {
        states.emplace_back(call.a, call.b);
    }
    return states;
}

}  // namespace

TEST(RendererTextTest, ErrorTextsAndStartupMessage)
{
    EXPECT_STREQ(Renderer::GetErrorText(0), "None.");
    EXPECT_STREQ(Renderer::GetErrorText(5),
                 "Failed to read the device capabilities.\nPlease make DirectX is enabled on your computer.");
    EXPECT_STREQ(Renderer::GetErrorText(9), "The DirectX device was NULL.");
    EXPECT_STREQ(Renderer::GetErrorText(10), "Unknown error.");
    EXPECT_STREQ(Renderer::GetErrorText(-1), "Unknown error.");
    EXPECT_EQ(Renderer::GetStartupErrorMessage(8), "Failed to create a DirectX device. [8].");
}

TEST_F(RendererInitTest, TextureSizeRounding)
{
    std::int32_t w = 300;
    std::int32_t h = 200;
    renderer_->AdjustTextureSize(w, h);
    EXPECT_EQ(w, 300);
    EXPECT_EQ(h, 200);

    Fake().config.caps.TextureCaps = D3DPTEXTURECAPS_POW2;
    ASSERT_EQ(renderer_->Init(800, 600), 0);
    w = 300;
    h = 200;
    renderer_->AdjustTextureSize(w, h);
    EXPECT_EQ(w, 512);
    EXPECT_EQ(h, 256);
    w = 0;
    h = 5;
    renderer_->AdjustTextureSize(w, h);
    EXPECT_EQ(w, 1);
    EXPECT_EQ(h, 8);
}

TEST_F(RendererInitTest, SquareTexturesTakeTheLargerSide)
{
    Fake().config.caps.TextureCaps = D3DPTEXTURECAPS_POW2 | D3DPTEXTURECAPS_SQUAREONLY;
    ASSERT_EQ(renderer_->Init(800, 600), 0);
    std::int32_t w = 300;
    std::int32_t h = 200;
    renderer_->AdjustTextureSize(w, h);
    EXPECT_EQ(w, 512);
    EXPECT_EQ(h, 512);
    SmartPtr<ImageData> texture(renderer_->CreateTexture(300, 200));
    ASSERT_NE(texture.Get(), nullptr);
    EXPECT_EQ(texture->GetTextureWidth(), 512);
    EXPECT_EQ(texture->GetTextureHeight(), 512);
    EXPECT_FLOAT_EQ(texture->GetExtentU(), 300.0f / 512.0f);
    EXPECT_FLOAT_EQ(texture->GetExtentV(), 200.0f / 512.0f);
}

TEST_F(RendererInitTest, InitFailureCodes)
{
    platform::UnregisterLibrary("d3d9.dll");
    EXPECT_EQ(renderer_->Init(800, 600), Renderer::kLibraryNotFound);

    graphicstest::InstallFakeD3D9().config.createFails = true;
    RendererD3D second;
    EXPECT_EQ(second.Init(800, 600), Renderer::kNoDirectObject);

    graphicstest::InstallFakeD3D9().config.capsFail = true;
    RendererD3D third;
    EXPECT_EQ(third.Init(800, 600), Renderer::kNoCaps);

    graphicstest::InstallFakeD3D9().config.caps.MaxTextureWidth = 512;
    RendererD3D fourth;
    EXPECT_EQ(fourth.Init(800, 600), Renderer::kTextureSizeTooSmall);
    EXPECT_EQ(Fake().devicesCreated, 0);

    graphicstest::InstallFakeD3D9().config.deviceFails = true;
    RendererD3D fifth;
    EXPECT_EQ(fifth.Init(800, 600), Renderer::kNoDevice);
    EXPECT_EQ(fifth.Restore(), Renderer::kDeviceNull);

    graphicstest::InstallFakeD3D9().config.identifierFails = true;
    RendererD3D sixth;
    EXPECT_EQ(sixth.Init(800, 600), Renderer::kNoAdapterId);
    EXPECT_EQ(Fake().devicesCreated, 1);
    EXPECT_FALSE(sixth.IsInitialised());
}

TEST_F(RendererInitTest, VertexBudgetIsClampedToSixteenBitIndices)
{
    renderer_->SetVertexBudget(100000);
    EXPECT_EQ(renderer_->GetVertexBudget(), 65535);
    ASSERT_EQ(renderer_->Init(800, 600), 0);
    EXPECT_EQ(renderer_->GetVertexBuffer()->GetCapacity(), 65535u);
    EXPECT_EQ(renderer_->GetIndexBuffer()->GetCapacity(), 65535u * 3 / 2);
    auto created = Fake().Named("CreateVertexBuffer");
    ASSERT_FALSE(created.empty());
    EXPECT_EQ(created.back().a, 28u * 65535u);
}

TEST_F(RendererInitTest, DefaultBudgetAndDeviceFlags)
{
    ASSERT_EQ(renderer_->Init(800, 600), 0);
    EXPECT_EQ(renderer_->GetVertexBuffer()->GetCapacity(), 40000u);
    EXPECT_EQ(renderer_->GetIndexBuffer()->GetCapacity(), 60000u);
    auto device = Fake().Named("CreateDevice");
    ASSERT_EQ(device.size(), 1u);
    EXPECT_EQ(device[0].a, D3DCREATE_HARDWARE_VERTEXPROCESSING | D3DCREATE_MULTITHREADED);
    EXPECT_TRUE(renderer_->IsInitialised());
    EXPECT_TRUE(renderer_->IsSeparateAlphaAvailable());
    ASSERT_NE(renderer_->GetScreenTarget(), nullptr);
    EXPECT_EQ(renderer_->GetScreenTarget()->GetTargetWidth(), 800);
    ASSERT_NE(renderer_->GetScreenGraphics(), nullptr);
}

using RendererStateTest = graphicstest::RendererFixture;

TEST_F(RendererStateTest, BlendModesSetFactorsOnlyWhenTheyChange)
{
    Fake().ClearCalls();
    renderer_->SetBlendMode(0);
    EXPECT_TRUE(RenderStates().empty()) << "mode 0 is the default state";

    renderer_->SetBlendMode(2);
    EXPECT_EQ(RenderStates(), (std::vector<std::pair<DWORD, DWORD>>{{D3DRS_SRCBLEND, D3DBLEND_ONE},
                                                                      {D3DRS_DESTBLEND, D3DBLEND_ONE}}));
    Fake().ClearCalls();
    renderer_->SetBlendMode(2);
    EXPECT_TRUE(RenderStates().empty());

    renderer_->SetBlendMode(3);
    EXPECT_EQ(RenderStates(), (std::vector<std::pair<DWORD, DWORD>>{{D3DRS_SRCBLEND, D3DBLEND_DESTCOLOR},
                                                                      {D3DRS_DESTBLEND, D3DBLEND_ZERO}}));
    Fake().ClearCalls();
    renderer_->SetBlendMode(1);
    EXPECT_EQ(RenderStates(), (std::vector<std::pair<DWORD, DWORD>>{{D3DRS_SRCBLEND, D3DBLEND_SRCALPHA},
                                                                      {D3DRS_DESTBLEND, D3DBLEND_ONE}}));
    Fake().ClearCalls();
    renderer_->SetBlendMode(4);
    renderer_->SetBlendMode(5);
    EXPECT_EQ(RenderStates(), (std::vector<std::pair<DWORD, DWORD>>{{D3DRS_SRCBLEND, D3DBLEND_ONE},
                                                                      {D3DRS_DESTBLEND, D3DBLEND_ZERO}}));
}

TEST_F(RendererStateTest, SeparateAlphaMaxForModeSixStaysInTheCache)
{
    Fake().ClearCalls();
    renderer_->SetBlendMode(6);
    EXPECT_EQ(RenderStates(), (std::vector<std::pair<DWORD, DWORD>>{{D3DRS_SEPARATEALPHABLENDENABLE, TRUE},
                                                                      {D3DRS_BLENDOPALPHA, D3DBLENDOP_MAX}}));
    EXPECT_TRUE(renderer_->IsSeparateAlphaEnabled());
    Fake().ClearCalls();
    renderer_->SetBlendMode(0);
    EXPECT_EQ(RenderStates(),
              (std::vector<std::pair<DWORD, DWORD>>{{D3DRS_SEPARATEALPHABLENDENABLE, FALSE}}));
    EXPECT_EQ(renderer_->GetCachedAlphaOperation(), static_cast<DWORD>(D3DBLENDOP_MAX));

    renderer_->SetBlendMode(2);
    Fake().ClearCalls();
    renderer_->SetBlendMode(7);
    EXPECT_TRUE(RenderStates().empty()) << "an unknown mode keeps the factors";
    EXPECT_EQ(renderer_->GetCachedSourceBlend(), static_cast<DWORD>(D3DBLEND_ONE));
}

TEST_F(RendererStateTest, AlphaBlendSwitchIsCached)
{
    Fake().ClearCalls();
    renderer_->EnableAlphaBlend(true);
    EXPECT_TRUE(RenderStates().empty());
    renderer_->EnableAlphaBlend(false);
    renderer_->EnableAlphaBlend(false);
    EXPECT_EQ(RenderStates(), (std::vector<std::pair<DWORD, DWORD>>{{D3DRS_ALPHABLENDENABLE, FALSE}}));
}

TEST_F(RendererStateTest, DrawChoosesStageModeAndPrimitive)
{
    SmartPtr<ImageData> texture(renderer_->CreateTexture(16, 16));
    ASSERT_NE(texture.Get(), nullptr);
    Fake().ClearCalls();

    VertexBufferSlice slice;
    slice.kind = VertexBufferSlice::kTriangles;
    slice.topology = VertexBufferSlice::kList;
    slice.texture = nullptr;
    slice.firstVertex = 4;
    slice.vertexCount = 4;
    slice.firstIndex = 6;
    slice.indexCount = 6;
    renderer_->Draw(slice);
    EXPECT_EQ(renderer_->GetStageMode(), RendererD3D::kStageUntextured);
    auto indexed = Fake().Named("DrawIndexedPrimitive");
    ASSERT_EQ(indexed.size(), 1u);
    EXPECT_EQ(indexed[0].a, static_cast<DWORD>(D3DPT_TRIANGLELIST));
    EXPECT_EQ(indexed[0].b, 4u);
    EXPECT_EQ(indexed[0].c, 2u);

    texture->SetAlphaOnly(true);
    slice.texture = texture.Get();
    Fake().ClearCalls();
    renderer_->Draw(slice);
    EXPECT_EQ(renderer_->GetStageMode(), RendererD3D::kStageAlphaOnly);
    auto stages = Fake().Named("SetTextureStageState");
    ASSERT_EQ(stages.size(), 2u) << "untextured to alpha-only changes only the alpha operation and argument";
    EXPECT_EQ(stages[0].b, static_cast<DWORD>(D3DTSS_ALPHAOP));
    EXPECT_EQ(stages[0].c, static_cast<DWORD>(D3DTOP_MODULATE));
    EXPECT_EQ(Fake().Named("SetTexture").size(), 1u);

    Fake().ClearCalls();
    slice.topology = VertexBufferSlice::kStrip;
    slice.vertexCount = 2;
    renderer_->Draw(slice);
    EXPECT_TRUE(Fake().Named("DrawPrimitive").empty()) << "a strip of 2 vertices has no triangles";
    EXPECT_TRUE(Fake().Named("SetTexture").empty()) << "the texture is already current";

    slice.kind = VertexBufferSlice::kLines;
    slice.topology = VertexBufferSlice::kStrip;
    slice.vertexCount = 5;
    slice.texture = nullptr;
    renderer_->Draw(slice);
    auto lines = Fake().Named("DrawPrimitive");
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].a, static_cast<DWORD>(D3DPT_LINESTRIP));
    EXPECT_EQ(lines[0].c, 4u);

    Fake().ClearCalls();
    slice.kind = VertexBufferSlice::kClear;
    slice.blendMode = 2;
    slice.color = Color(0xFF102030u);
    renderer_->Draw(slice);
    auto clears = Fake().Named("Clear");
    ASSERT_EQ(clears.size(), 1u);
    EXPECT_EQ(clears[0].b, 0xFF102030u);
    EXPECT_TRUE(RenderStates().empty()) << "a clear ignores the blend mode";

    Fake().ClearCalls();
    renderer_->SetDeviceLost();
    slice.kind = VertexBufferSlice::kTriangles;
    renderer_->Draw(slice);
    EXPECT_TRUE(Fake().calls.empty()) << "nothing is drawn while the device is lost";
}

TEST_F(RendererStateTest, TexturesOverTheLimitAreRefused)
{
    EXPECT_EQ(renderer_->CreateTexture(1025, 1), nullptr);
    EXPECT_EQ(renderer_->CreateRenderTexture(1, 1025, true), nullptr);
    SmartPtr<ImageData> texture(renderer_->CreateTexture(3, 2));
    ASSERT_NE(texture.Get(), nullptr);
    ASSERT_TRUE(texture->Lock(true));
    auto* pixels = static_cast<std::uint32_t*>(texture->GetBits());
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(pixels[i], 0x00FFFFFFu) << "new textures start transparent white";
    }
    EXPECT_TRUE(texture->Unlock());
    EXPECT_EQ(ImageManager::GetInstance()->GetTextureCount(), 1);
    texture.Reset();
    EXPECT_EQ(ImageManager::GetInstance()->GetTextureCount(), 0);
}

TEST_F(RendererStateTest, RestoreCodes)
{
    renderer_->SetDeviceLost();
    Fake().config.cooperative = D3DERR_DEVICELOST;
    EXPECT_EQ(renderer_->Restore(), Renderer::kReinitFailed);
    EXPECT_TRUE(renderer_->IsDeviceLost());
    EXPECT_EQ(Fake().resets, 0);
    EXPECT_NE(renderer_->GetVertexBuffer(), nullptr) << "the buffers are rebuilt while waiting";

    Fake().config.cooperative = D3DERR_DEVICENOTRESET;
    Fake().config.reset = D3DERR_INVALIDCALL;
    EXPECT_EQ(renderer_->Restore(), Renderer::kReinitFailed) << "a failed reset is not success";
    EXPECT_TRUE(renderer_->IsDeviceLost());

    Fake().config.reset = D3D_OK;
    EXPECT_EQ(renderer_->Restore(), Renderer::kNone);
    EXPECT_FALSE(renderer_->IsDeviceLost());
    EXPECT_EQ(Fake().resets, 2);
}

TEST_F(RendererStateTest, RestoreReleasesDrawablesAndKeepsTheirPixels)
{
    SmartPtr<ImageData> drawable(renderer_->CreateRenderTexture(4, 4, true));
    ASSERT_NE(drawable.Get(), nullptr);
    ASSERT_TRUE(drawable->Lock(false));
    static_cast<std::uint32_t*>(drawable->GetBits())[5] = 0xFF00FF00u;
    ASSERT_TRUE(drawable->Unlock());
    EXPECT_EQ(ImageManager::GetInstance()->GetDrawableCount(), 1);

    EXPECT_EQ(renderer_->Restore(), Renderer::kNone);
    EXPECT_TRUE(drawable->IsReleased());
    auto* buffer = static_cast<ImageDataBufferD3D*>(drawable.Get());
    EXPECT_EQ(buffer->PeekTexture(), nullptr);
    ASSERT_NE(buffer->GetTexture(), nullptr) << "the next use makes it again";
    EXPECT_FALSE(drawable->IsReleased());
    D3DLOCKED_RECT locked{};
    ASSERT_EQ(buffer->PeekTexture()->LockRect(0, &locked, nullptr, D3DLOCK_READONLY), D3D_OK);
    EXPECT_EQ(static_cast<std::uint32_t*>(locked.pBits)[5], 0xFF00FF00u);
}

TEST_F(RendererStateTest, EndSceneRestoresALostDevice)
{
    Fake().config.cooperative = D3DERR_DEVICENOTRESET;
    EXPECT_FALSE(renderer_->EndScene());
    EXPECT_FALSE(renderer_->IsDeviceLost()) << "the device could be reset at once";
    EXPECT_EQ(Fake().resets, 1);
}

}  // namespace renderer_test
