// Render-to-texture, reading targets back, copying system memory into targets,
// and managed textures surviving eviction.
#include "DeviceFixture.h"

namespace d3d9test {
namespace {

using RenderTargetGlTest = DeviceFixture;

TEST_F(RenderTargetGlTest, DrawingIntoATextureThenWithItKeepsItsOrientation)
{
    IDirect3DTexture9* target = nullptr;
    IDirect3DSurface9* surface = nullptr;
    MakeTarget(8, 8, &target, &surface);
    ASSERT_NE(surface, nullptr);
    IDirect3DSurface9* back = nullptr;
    ASSERT_EQ(device_->GetRenderTarget(0, &back), D3D_OK);

    ASSERT_EQ(device_->SetRenderTarget(0, surface), D3D_OK);
    ASSERT_EQ(device_->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF0000FFu, 1.0f, 0), D3D_OK);
    Draw(Quad(0, 0, 4, 4, 0xFFFF0000u));  // top-left quarter red
    std::vector<DWORD> drawn = ReadPixels(surface, 8, 8, D3DFMT_A8R8G8B8);
    ASSERT_EQ(drawn.size(), 64u);
    EXPECT_EQ(drawn[0], 0xFFFF0000u);
    EXPECT_EQ(drawn[3 * 8 + 3], 0xFFFF0000u);
    EXPECT_EQ(drawn[4 * 8 + 4], 0xFF0000FFu);
    EXPECT_EQ(drawn[7 * 8 + 0], 0xFF0000FFu);

    ASSERT_EQ(device_->SetRenderTarget(0, back), D3D_OK);
    ASSERT_EQ(device_->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000u, 1.0f, 0), D3D_OK);
    ASSERT_EQ(device_->SetTexture(0, target), D3D_OK);
    Draw(Quad(20, 20, 28, 28, 0xFFFFFFFFu));
    std::vector<DWORD> shown = ReadBackBuffer();
    EXPECT_EQ(shown[20 * kWidth + 20], 0xFFFF0000u);
    EXPECT_EQ(shown[23 * kWidth + 23], 0xFFFF0000u);
    EXPECT_EQ(shown[27 * kWidth + 20], 0xFF0000FFu);
    EXPECT_EQ(shown[27 * kWidth + 27], 0xFF0000FFu);

    device_->SetTexture(0, nullptr);
    back->Release();
    surface->Release();
    EXPECT_EQ(target->Release(), 0u);
}

TEST_F(RenderTargetGlTest, SystemMemoryCopyGoesIntoTheTargetAndComesBackAfterDrawing)
{
    IDirect3DTexture9* target = nullptr;
    IDirect3DSurface9* surface = nullptr;
    MakeTarget(4, 4, &target, &surface);
    ASSERT_NE(surface, nullptr);
    IDirect3DSurface9* copy = nullptr;
    ASSERT_EQ(device_->CreateOffscreenPlainSurface(4, 4, D3DFMT_A8R8G8B8, D3DPOOL_SYSTEMMEM, &copy, nullptr), D3D_OK);
    D3DLOCKED_RECT locked{};
    ASSERT_EQ(copy->LockRect(&locked, nullptr, 0), D3D_OK);
    for (int y = 0; y < 4; ++y) {
        auto* row = reinterpret_cast<DWORD*>(static_cast<BYTE*>(locked.pBits) + y * locked.Pitch);
        for (int x = 0; x < 4; ++x) {
            row[x] = 0x00FFFFFFu;  // transparent white, as new drawable textures start
        }
    }
    ASSERT_EQ(copy->UnlockRect(), D3D_OK);
    ASSERT_EQ(device_->UpdateSurface(copy, nullptr, surface, nullptr), D3D_OK);
    std::vector<DWORD> pixels = ReadPixels(surface, 4, 4, D3DFMT_A8R8G8B8);
    ASSERT_EQ(pixels.size(), 16u);
    EXPECT_EQ(pixels[5], 0x00FFFFFFu);

    ASSERT_EQ(device_->SetRenderTarget(0, surface), D3D_OK);
    Draw(Quad(2, 0, 4, 4, 0xFF00FF00u));
    ASSERT_EQ(device_->GetRenderTargetData(surface, copy), D3D_OK);
    ASSERT_EQ(copy->LockRect(&locked, nullptr, D3DLOCK_READONLY), D3D_OK);
    auto* row = reinterpret_cast<const DWORD*>(static_cast<BYTE*>(locked.pBits) + 2 * locked.Pitch);
    EXPECT_EQ(row[1], 0x00FFFFFFu);
    EXPECT_EQ(row[2], 0xFF00FF00u);
    ASSERT_EQ(copy->UnlockRect(), D3D_OK);

    // Sizes and formats must match; partial copies are not offered.
    IDirect3DSurface9* other = nullptr;
    ASSERT_EQ(device_->CreateOffscreenPlainSurface(4, 4, D3DFMT_X8R8G8B8, D3DPOOL_SYSTEMMEM, &other, nullptr),
              D3D_OK);
    EXPECT_EQ(device_->GetRenderTargetData(surface, other), D3DERR_INVALIDCALL);
    EXPECT_EQ(device_->UpdateSurface(other, nullptr, surface, nullptr), D3DERR_INVALIDCALL);
    RECT part{0, 0, 2, 2};
    EXPECT_EQ(device_->UpdateSurface(copy, &part, surface, nullptr), D3DERR_INVALIDCALL);
    // A render target cannot be locked; a system-memory surface cannot be drawn into.
    EXPECT_EQ(surface->LockRect(&locked, nullptr, 0), D3DERR_INVALIDCALL);
    EXPECT_EQ(device_->SetRenderTarget(0, copy), D3DERR_INVALIDCALL);

    IDirect3DSurface9* back = nullptr;
    ASSERT_EQ(device_->GetRenderTarget(0, &back), D3D_OK);
    back->Release();
    other->Release();
    copy->Release();
    surface->Release();
    target->Release();
}

TEST_F(RenderTargetGlTest, ManagedTexturesDrawTheSameAfterEviction)
{
    IDirect3DTexture9* texture = MakeTexture(1, 1, {0xFF204060u});
    ASSERT_NE(texture, nullptr);
    ASSERT_EQ(device_->SetTexture(0, texture), D3D_OK);
    Draw(Quad(0, 0, 4, 4, 0xFFFFFFFFu));
    EXPECT_EQ(BackBufferPixel(1, 1), 0xFF204060u);
    ASSERT_EQ(device_->EvictManagedResources(), D3D_OK);
    ASSERT_EQ(device_->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000u, 1.0f, 0), D3D_OK);
    Draw(Quad(0, 0, 4, 4, 0xFFFFFFFFu));
    EXPECT_EQ(BackBufferPixel(1, 1), 0xFF204060u);
    device_->SetTexture(0, nullptr);
    texture->Release();
}

TEST_F(RenderTargetGlTest, RelockingAManagedTextureUpdatesWhatIsDrawn)
{
    IDirect3DTexture9* texture = MakeTexture(1, 1, {0xFF204060u});
    ASSERT_NE(texture, nullptr);
    ASSERT_EQ(device_->SetTexture(0, texture), D3D_OK);
    Draw(Quad(0, 0, 4, 4, 0xFFFFFFFFu));
    D3DLOCKED_RECT locked{};
    ASSERT_EQ(texture->LockRect(0, &locked, nullptr, 0), D3D_OK);
    EXPECT_EQ(texture->LockRect(0, &locked, nullptr, 0), D3DERR_INVALIDCALL);  // no nesting
    *static_cast<DWORD*>(locked.pBits) = 0xFF00A0FFu;
    ASSERT_EQ(texture->UnlockRect(0), D3D_OK);
    EXPECT_EQ(texture->UnlockRect(0), D3DERR_INVALIDCALL);
    Draw(Quad(0, 0, 4, 4, 0xFFFFFFFFu));
    EXPECT_EQ(BackBufferPixel(1, 1), 0xFF00A0FFu);
    device_->SetTexture(0, nullptr);
    texture->Release();
}

TEST_F(RenderTargetGlTest, TextureCreationChecksItsArguments)
{
    IDirect3DTexture9* texture = reinterpret_cast<IDirect3DTexture9*>(0x1);
    EXPECT_EQ(device_->CreateTexture(0, 4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture, nullptr),
              D3DERR_INVALIDCALL);
    EXPECT_EQ(texture, nullptr);
    EXPECT_EQ(device_->CreateTexture(4, 4, 1, D3DUSAGE_RENDERTARGET, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture,
                                     nullptr),
              D3DERR_INVALIDCALL);
    EXPECT_EQ(device_->CreateTexture(4, 4, 1, D3DUSAGE_RENDERTARGET, D3DFMT_A8, D3DPOOL_DEFAULT, &texture, nullptr),
              D3DERR_NOTAVAILABLE);
    EXPECT_EQ(device_->CreateTexture(4, 4, 3, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture, nullptr),
              D3DERR_INVALIDCALL);
    EXPECT_EQ(device_->CreateTexture(1u << 20, 4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture, nullptr),
              D3DERR_INVALIDCALL);
    EXPECT_EQ(device_->CreateTexture(4, 4, 1, 0, D3DFMT_D16, D3DPOOL_MANAGED, &texture, nullptr), D3DERR_INVALIDCALL);
    // A lock of a part answers the pixel at that corner, rows a pitch apart
    // (each lock may hand out other memory: the pixels are packed between locks).
    ASSERT_EQ(device_->CreateTexture(5, 3, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture, nullptr), D3D_OK);
    D3DLOCKED_RECT whole{};
    D3DLOCKED_RECT part{};
    ASSERT_EQ(texture->LockRect(0, &whole, nullptr, 0), D3D_OK);
    EXPECT_GE(whole.Pitch, 5 * 4);
    for (int y = 0; y < 3; ++y) {
        auto* row = reinterpret_cast<DWORD*>(static_cast<BYTE*>(whole.pBits) + y * whole.Pitch);
        for (int x = 0; x < 5; ++x) {
            row[x] = static_cast<DWORD>(0xFF000000u | (y << 8) | x);
        }
    }
    ASSERT_EQ(texture->UnlockRect(0), D3D_OK);
    RECT corner{2, 1, 5, 3};
    ASSERT_EQ(texture->LockRect(0, &part, &corner, 0), D3D_OK);
    EXPECT_EQ(part.Pitch, whole.Pitch);
    EXPECT_EQ(*static_cast<DWORD*>(part.pBits), 0xFF000102u);
    EXPECT_EQ(*reinterpret_cast<DWORD*>(static_cast<BYTE*>(part.pBits) + part.Pitch + 2 * 4), 0xFF000204u);
    ASSERT_EQ(texture->UnlockRect(0), D3D_OK);
    RECT outside{2, 1, 6, 3};
    EXPECT_EQ(texture->LockRect(0, &part, &outside, 0), D3DERR_INVALIDCALL);
    texture->Release();
}

}  // namespace
}  // namespace d3d9test
