// Textures made, filled and released on a loader thread, drawn on the window thread.
#include "DeviceFixture.h"

#include <thread>

namespace d3d9test {
namespace {

using ThreadGlTest = DeviceFixture;

TEST_F(ThreadGlTest, TextureFilledOnAnotherThreadIsDrawnOnTheWindowThread)
{
    IDirect3DTexture9* texture = nullptr;
    IDirect3DTexture9* drawable = nullptr;
    HRESULT results[6] = {E_FAIL, E_FAIL, E_FAIL, E_FAIL, E_FAIL, E_FAIL};
    std::thread loader([&] {
        results[0] = device_->CreateTexture(2, 2, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture, nullptr);
        D3DLOCKED_RECT locked{};
        results[1] = texture->LockRect(0, &locked, nullptr, 0);
        for (int y = 0; y < 2; ++y) {
            auto* row = reinterpret_cast<DWORD*>(static_cast<BYTE*>(locked.pBits) + y * locked.Pitch);
            row[0] = row[1] = 0xFFC08040u;
        }
        results[2] = texture->UnlockRect(0);
        // A drawable texture with its system-memory copy, as images made while loading have.
        results[3] = device_->CreateTexture(2, 2, 1, D3DUSAGE_RENDERTARGET, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT,
                                            &drawable, nullptr);
        IDirect3DSurface9* copy = nullptr;
        IDirect3DSurface9* surface = nullptr;
        results[4] = device_->CreateOffscreenPlainSurface(2, 2, D3DFMT_A8R8G8B8, D3DPOOL_SYSTEMMEM, &copy, nullptr);
        copy->LockRect(&locked, nullptr, 0);
        for (int y = 0; y < 2; ++y) {
            auto* row = reinterpret_cast<DWORD*>(static_cast<BYTE*>(locked.pBits) + y * locked.Pitch);
            row[0] = row[1] = 0xFF10E020u;
        }
        copy->UnlockRect();
        drawable->GetSurfaceLevel(0, &surface);
        results[5] = device_->UpdateSurface(copy, nullptr, surface, nullptr);
        surface->Release();
        copy->Release();
    });
    loader.join();
    for (HRESULT r : results) {
        EXPECT_EQ(r, D3D_OK);
    }
    ASSERT_NE(texture, nullptr);
    ASSERT_NE(drawable, nullptr);

    ASSERT_EQ(device_->SetTexture(0, texture), D3D_OK);
    Draw(Quad(0, 0, 4, 4, 0xFFFFFFFFu));
    ASSERT_EQ(device_->SetTexture(0, drawable), D3D_OK);
    Draw(Quad(10, 0, 14, 4, 0xFFFFFFFFu));
    ASSERT_EQ(device_->SetTexture(0, nullptr), D3D_OK);
    std::vector<DWORD> pixels = ReadBackBuffer();
    EXPECT_EQ(pixels[1 * kWidth + 1], 0xFFC08040u);
    EXPECT_EQ(pixels[1 * kWidth + 11], 0xFF10E020u);

    // Released on the loader thread; the GL objects go on the window thread later.
    std::thread releaser([&] {
        texture->Release();
        drawable->Release();
    });
    releaser.join();
    IDirect3DTexture9* again = MakeTexture(1, 1, {0xFF0000FFu});
    ASSERT_EQ(device_->SetTexture(0, again), D3D_OK);
    Draw(Quad(0, 0, 4, 4, 0xFFFFFFFFu));
    EXPECT_EQ(BackBufferPixel(1, 1), 0xFF0000FFu);
    device_->SetTexture(0, nullptr);
    again->Release();
}

TEST_F(ThreadGlTest, DrawingCallsFromAnotherThreadAreRefused)
{
    HRESULT clear = D3D_OK;
    HRESULT read = D3D_OK;
    std::thread other([&] {
        clear = device_->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFFFFFFFFu, 1.0f, 0);
        IDirect3DSurface9* back = nullptr;
        IDirect3DSurface9* copy = nullptr;
        device_->GetRenderTarget(0, &back);
        device_->CreateOffscreenPlainSurface(kWidth, kHeight, D3DFMT_X8R8G8B8, D3DPOOL_SYSTEMMEM, &copy, nullptr);
        read = device_->GetRenderTargetData(back, copy);
        copy->Release();
        back->Release();
    });
    other.join();
    EXPECT_EQ(clear, D3DERR_INVALIDCALL);
    EXPECT_EQ(read, D3DERR_INVALIDCALL);
}

}  // namespace
}  // namespace d3d9test
