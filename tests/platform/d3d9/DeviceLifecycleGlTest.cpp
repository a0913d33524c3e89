// Device creation, capabilities, reference counts, Reset and simulated loss.
#include "DeviceFixture.h"

#include <malloc.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "platform/d3d9/TestHooks.h"

namespace d3d9test {
namespace {

using DeviceLifecycleGlTest = DeviceFixture;

TEST_F(DeviceLifecycleGlTest, CapabilitiesComeFromTheDriver)
{
    D3DCAPS9 caps{};
    ASSERT_EQ(d3d_->GetDeviceCaps(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, &caps), D3D_OK);
    EXPECT_GE(caps.MaxTextureWidth, 1024u);
    EXPECT_GE(caps.MaxTextureHeight, 1024u);
    EXPECT_EQ(caps.TextureCaps & (D3DPTEXTURECAPS_POW2 | D3DPTEXTURECAPS_SQUAREONLY), 0u);
    EXPECT_NE(caps.PrimitiveMiscCaps & D3DPMISCCAPS_SEPARATEALPHABLEND, 0u);
    EXPECT_NE(caps.DevCaps & D3DDEVCAPS_HWTRANSFORMANDLIGHT, 0u);
    EXPECT_EQ(d3d_->GetDeviceCaps(1, D3DDEVTYPE_HAL, &caps), D3DERR_NOTAVAILABLE);
    EXPECT_EQ(d3d_->GetAdapterCount(), 1u);

    platform::d3d9::SetCapsFilter([](D3DCAPS9& c) {
        c.MaxTextureWidth = 512;
        c.TextureCaps |= D3DPTEXTURECAPS_POW2;
    });
    ASSERT_EQ(d3d_->GetDeviceCaps(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, &caps), D3D_OK);
    EXPECT_EQ(caps.MaxTextureWidth, 512u);
    EXPECT_NE(caps.TextureCaps & D3DPTEXTURECAPS_POW2, 0u);
    platform::d3d9::SetCapsFilter(nullptr);
    ASSERT_EQ(d3d_->GetDeviceCaps(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, &caps), D3D_OK);
    EXPECT_GE(caps.MaxTextureWidth, 1024u);
}

TEST_F(DeviceLifecycleGlTest, DisplayModeIdentifierAndFormats)
{
    D3DDISPLAYMODE mode{};
    ASSERT_EQ(d3d_->GetAdapterDisplayMode(D3DADAPTER_DEFAULT, &mode), D3D_OK);
    EXPECT_GT(mode.Width, 0u);
    EXPECT_GT(mode.Height, 0u);
    EXPECT_EQ(mode.Format, D3DFMT_X8R8G8B8);
    D3DADAPTER_IDENTIFIER9 id{};
    EXPECT_EQ(d3d_->GetAdapterIdentifier(D3DADAPTER_DEFAULT, 0, &id), D3D_OK);
    EXPECT_NE(id.Description[0], '\0');
    EXPECT_EQ(d3d_->CheckDeviceFormat(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, mode.Format, D3DUSAGE_RENDERTARGET,
                                      D3DRTYPE_TEXTURE, D3DFMT_A8R8G8B8),
              D3D_OK);
    EXPECT_EQ(d3d_->CheckDeviceFormat(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, mode.Format, D3DUSAGE_RENDERTARGET,
                                      D3DRTYPE_TEXTURE, D3DFMT_A8),
              D3DERR_NOTAVAILABLE);
    EXPECT_EQ(d3d_->CheckDeviceFormat(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, mode.Format, 0, D3DRTYPE_TEXTURE, D3DFMT_A8),
              D3D_OK);
    EXPECT_EQ(Direct3DCreate9(31), nullptr);
}

TEST_F(DeviceLifecycleGlTest, ReferenceCountsAreSharedBetweenTexturesTheirSurfacesAndTheDevice)
{
    IDirect3DTexture9* texture = nullptr;
    ASSERT_EQ(device_->CreateTexture(4, 4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture, nullptr), D3D_OK);
    IDirect3DSurface9* surface = nullptr;
    ASSERT_EQ(texture->GetSurfaceLevel(0, &surface), D3D_OK);
    EXPECT_EQ(texture->AddRef(), 3u);
    EXPECT_EQ(surface->Release(), 2u);
    EXPECT_EQ(texture->Release(), 1u);

    void* object = nullptr;
    EXPECT_EQ(texture->QueryInterface(IID_IDirect3DBaseTexture9, &object), S_OK);
    EXPECT_EQ(object, static_cast<void*>(texture));
    EXPECT_EQ(texture->QueryInterface(IID_IDirect3DSurface9, &object), E_NOINTERFACE);
    EXPECT_EQ(object, nullptr);
    EXPECT_EQ(texture->Release(), 1u);

    ASSERT_EQ(device_->SetTexture(0, texture), D3D_OK);
    EXPECT_EQ(texture->Release(), 1u);  // the device still holds it
    ASSERT_EQ(device_->SetTexture(0, nullptr), D3D_OK);  // the last reference goes

    IDirect3DSurface9* back1 = nullptr;
    IDirect3DSurface9* back2 = nullptr;
    ASSERT_EQ(device_->GetRenderTarget(0, &back1), D3D_OK);
    ASSERT_EQ(device_->GetRenderTarget(0, &back2), D3D_OK);
    EXPECT_EQ(back1, back2);
    back1->Release();
    back2->Release();
}

TEST_F(DeviceLifecycleGlTest, ResetRestoresDefaultStatesAndTheBackBuffer)
{
    IDirect3DSurface9* back = nullptr;
    ASSERT_EQ(device_->GetRenderTarget(0, &back), D3D_OK);
    IDirect3DTexture9* target = nullptr;
    IDirect3DSurface9* surface = nullptr;
    MakeTarget(8, 8, &target, &surface);
    ASSERT_NE(surface, nullptr);
    IDirect3DTexture9* texture = MakeTexture(1, 1, {0xFF000000u});
    ASSERT_EQ(device_->SetRenderTarget(0, surface), D3D_OK);
    ASSERT_EQ(device_->SetTexture(0, texture), D3D_OK);
    ASSERT_EQ(device_->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE), D3D_OK);
    ASSERT_EQ(device_->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_DESTCOLOR), D3D_OK);
    ASSERT_EQ(device_->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE), D3D_OK);
    ASSERT_EQ(device_->SetRenderState(D3DRS_LIGHTING, FALSE), D3D_OK);
    ASSERT_EQ(device_->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1), D3D_OK);
    ASSERT_EQ(device_->SetSamplerState(0, D3DSAMP_MAGFILTER, D3DTEXF_LINEAR), D3D_OK);
    ASSERT_EQ(device_->SetSamplerState(0, D3DSAMP_ADDRESSU, D3DTADDRESS_CLAMP), D3D_OK);
    D3DMATRIX scale{};
    scale._11 = 2.0f;
    ASSERT_EQ(device_->SetTransform(D3DTS_PROJECTION, &scale), D3D_OK);

    ASSERT_EQ(device_->BeginScene(), D3D_OK);
    D3DPRESENT_PARAMETERS p = Parameters();
    EXPECT_EQ(device_->Reset(&p), D3DERR_INVALIDCALL);  // not inside a scene
    ASSERT_EQ(device_->EndScene(), D3D_OK);
    ASSERT_EQ(device_->Reset(&p), D3D_OK);

    DWORD value = 0;
    device_->GetRenderState(D3DRS_ALPHABLENDENABLE, &value);
    EXPECT_EQ(value, static_cast<DWORD>(FALSE));
    device_->GetRenderState(D3DRS_SRCBLEND, &value);
    EXPECT_EQ(value, static_cast<DWORD>(D3DBLEND_ONE));
    device_->GetRenderState(D3DRS_DESTBLEND, &value);
    EXPECT_EQ(value, static_cast<DWORD>(D3DBLEND_ZERO));
    device_->GetRenderState(D3DRS_CULLMODE, &value);
    EXPECT_EQ(value, static_cast<DWORD>(D3DCULL_CCW));
    device_->GetRenderState(D3DRS_LIGHTING, &value);
    EXPECT_EQ(value, static_cast<DWORD>(TRUE));
    device_->GetTextureStageState(0, D3DTSS_COLOROP, &value);
    EXPECT_EQ(value, static_cast<DWORD>(D3DTOP_MODULATE));
    device_->GetTextureStageState(0, D3DTSS_ALPHAOP, &value);
    EXPECT_EQ(value, static_cast<DWORD>(D3DTOP_SELECTARG1));
    device_->GetTextureStageState(1, D3DTSS_COLOROP, &value);
    EXPECT_EQ(value, static_cast<DWORD>(D3DTOP_DISABLE));
    device_->GetSamplerState(0, D3DSAMP_MAGFILTER, &value);
    EXPECT_EQ(value, static_cast<DWORD>(D3DTEXF_POINT));
    device_->GetSamplerState(0, D3DSAMP_ADDRESSU, &value);
    EXPECT_EQ(value, static_cast<DWORD>(D3DTADDRESS_WRAP));
    D3DMATRIX projection{};
    device_->GetTransform(D3DTS_PROJECTION, &projection);
    EXPECT_EQ(projection._11, 1.0f);

    // The back buffer is the target again and the texture is no longer bound.
    IDirect3DSurface9* current = nullptr;
    ASSERT_EQ(device_->GetRenderTarget(0, &current), D3D_OK);
    EXPECT_EQ(current, back);
    current->Release();
    EXPECT_EQ(texture->Release(), 0u);
    // Untextured, the default stage draws the vertex colour.
    Draw(Quad(0, 0, 4, 4, 0xFF00FF00u));
    EXPECT_EQ(BackBufferPixel(1, 1), 0xFF00FF00u);

    back->Release();
    surface->Release();
    target->Release();
}

TEST_F(DeviceLifecycleGlTest, ResetToAnotherSizeMakesANewBackBuffer)
{
    D3DPRESENT_PARAMETERS p = Parameters();
    p.BackBufferWidth = 40;
    p.BackBufferHeight = 30;
    ASSERT_EQ(device_->Reset(&p), D3D_OK);
    IDirect3DSurface9* back = nullptr;
    ASSERT_EQ(device_->GetRenderTarget(0, &back), D3D_OK);
    ASSERT_EQ(device_->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF808080u, 1.0f, 0), D3D_OK);
    std::vector<DWORD> pixels = ReadPixels(back, 40, 30, D3DFMT_X8R8G8B8);
    ASSERT_EQ(pixels.size(), 1200u);
    EXPECT_EQ(pixels[1199], 0xFF808080u);
    back->Release();
    p.MultiSampleType = static_cast<D3DMULTISAMPLE_TYPE>(4);
    EXPECT_EQ(device_->Reset(&p), D3DERR_INVALIDCALL);
}

TEST_F(DeviceLifecycleGlTest, SimulatedLossReportsLostThenNotResetUntilReset)
{
    EXPECT_EQ(device_->TestCooperativeLevel(), D3D_OK);
    ASSERT_TRUE(platform::d3d9::SimulateDeviceLoss(device_, 2));
    EXPECT_EQ(device_->TestCooperativeLevel(), D3DERR_DEVICELOST);
    EXPECT_EQ(device_->Present(nullptr, nullptr, nullptr, nullptr), D3DERR_DEVICELOST);
    D3DPRESENT_PARAMETERS p = Parameters();
    EXPECT_EQ(device_->Reset(&p), D3DERR_DEVICELOST);
    EXPECT_EQ(device_->TestCooperativeLevel(), D3DERR_DEVICELOST);
    EXPECT_EQ(device_->TestCooperativeLevel(), D3DERR_DEVICENOTRESET);
    EXPECT_EQ(device_->TestCooperativeLevel(), D3DERR_DEVICENOTRESET);
    ASSERT_EQ(device_->Reset(&p), D3D_OK);
    EXPECT_EQ(device_->TestCooperativeLevel(), D3D_OK);
    EXPECT_EQ(device_->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
    EXPECT_FALSE(platform::d3d9::SimulateDeviceLoss(nullptr, 1));
}

TEST_F(DeviceLifecycleGlTest, ManagedTexturesSurviveLossAndReset)
{
    IDirect3DTexture9* texture = MakeTexture(1, 1, {0xFF336699u});
    ASSERT_TRUE(platform::d3d9::SimulateDeviceLoss(device_, 0));
    EXPECT_EQ(device_->TestCooperativeLevel(), D3DERR_DEVICENOTRESET);
    D3DPRESENT_PARAMETERS p = Parameters();
    ASSERT_EQ(device_->Reset(&p), D3D_OK);
    ASSERT_EQ(device_->SetTexture(0, texture), D3D_OK);
    Draw(Quad(0, 0, 4, 4, 0xFFFFFFFFu));
    EXPECT_EQ(BackBufferPixel(2, 2), 0xFF336699u);
    device_->SetTexture(0, nullptr);
    texture->Release();
}

// A managed texture keeps its pixels deflated between locks: 32 filled
// textures of 4 MB each hold far less than their 128 MB, locked to read or
// not. What a lock gives back, and what is drawn after the driver's copy was
// given up, is what was written, noise included.
TEST_F(DeviceLifecycleGlTest, ManagedTexturesKeepTheirPixelsPackedBetweenLocks)
{
    // Small blocks and the large ones that malloc maps on their own.
    const auto heapBytes = [] {
        const struct mallinfo2 info = mallinfo2();
        return static_cast<long long>(info.uordblks + info.hblkhd);
    };
    const long long before = heapBytes();
    std::vector<IDirect3DTexture9*> textures;
    for (int i = 0; i < 32; ++i) {
        IDirect3DTexture9* texture = nullptr;
        ASSERT_EQ(device_->CreateTexture(1024, 1024, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture, nullptr),
                  D3D_OK);
        D3DLOCKED_RECT locked{};
        ASSERT_EQ(texture->LockRect(0, &locked, nullptr, 0), D3D_OK);
        for (int y = 0; y < 1024; ++y) {
            auto* row = reinterpret_cast<DWORD*>(static_cast<BYTE*>(locked.pBits) + y * locked.Pitch);
            std::fill_n(row, 1024, y < 512 ? 0x00FFFFFFu : 0xFF203040u + static_cast<DWORD>(i));
        }
        ASSERT_EQ(texture->UnlockRect(0), D3D_OK);
        textures.push_back(texture);
    }
    EXPECT_LT(heapBytes() - before, 16LL << 20);
    for (size_t i = 0; i < textures.size(); ++i) {
        D3DLOCKED_RECT locked{};
        ASSERT_EQ(textures[i]->LockRect(0, &locked, nullptr, D3DLOCK_READONLY), D3D_OK);
        const auto* pixels = static_cast<const DWORD*>(locked.pBits);
        EXPECT_EQ(pixels[0], 0x00FFFFFFu);
        EXPECT_EQ(pixels[1024 * 1023], 0xFF203040u + static_cast<DWORD>(i));
        ASSERT_EQ(textures[i]->UnlockRect(0), D3D_OK);
    }
    EXPECT_LT(heapBytes() - before, 16LL << 20);
    for (IDirect3DTexture9* texture : textures) {
        texture->Release();
    }

    std::vector<DWORD> noise(64 * 64);
    std::uint32_t state = 20261208u;
    for (DWORD& pixel : noise) {
        state = state * 1664525u + 1013904223u;
        pixel = state | 0xFF000000u;
    }
    IDirect3DTexture9* texture = MakeTexture(64, 64, noise);
    ASSERT_NE(texture, nullptr);
    ASSERT_EQ(device_->SetTexture(0, texture), D3D_OK);
    Draw(Quad(0, 0, 4, 4, 0xFFFFFFFFu));
    ASSERT_EQ(device_->EvictManagedResources(), D3D_OK);
    D3DLOCKED_RECT locked{};
    ASSERT_EQ(texture->LockRect(0, &locked, nullptr, D3DLOCK_READONLY), D3D_OK);
    for (UINT y = 0; y < 64; ++y) {
        ASSERT_EQ(std::memcmp(static_cast<BYTE*>(locked.pBits) + y * locked.Pitch, &noise[y * 64], 64 * 4), 0) << y;
    }
    ASSERT_EQ(texture->UnlockRect(0), D3D_OK);
    ASSERT_EQ(texture->LockRect(0, &locked, nullptr, 0), D3D_OK);
    std::fill_n(static_cast<DWORD*>(locked.pBits), 64 * 64, 0xFF336699u);
    ASSERT_EQ(texture->UnlockRect(0), D3D_OK);
    Draw(Quad(0, 0, 4, 4, 0xFFFFFFFFu));
    EXPECT_EQ(BackBufferPixel(2, 2), 0xFF336699u);
    device_->SetTexture(0, nullptr);
    texture->Release();
}

// The start-up hardware check draws into a 1024 x 1024 target through a device
// made on the desktop window, which has no SDL window behind it.
TEST_F(DeviceLifecycleGlTest, DeviceOnAWindowWithoutSdlWindowRendersOffscreen)
{
    D3DPRESENT_PARAMETERS p{};
    p.BackBufferFormat = D3DFMT_X8R8G8B8;
    p.BackBufferCount = 1;
    p.SwapEffect = D3DSWAPEFFECT_DISCARD;
    p.Windowed = TRUE;
    p.AutoDepthStencilFormat = D3DFMT_D16;
    HWND desktop = reinterpret_cast<HWND>(static_cast<std::uintptr_t>(0x7770));
    IDirect3DDevice9* device = nullptr;
    ASSERT_EQ(d3d_->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, desktop, D3DCREATE_SOFTWARE_VERTEXPROCESSING,
                                 &p, &device),
              D3D_OK);
    EXPECT_GE(p.BackBufferWidth, 1u);
    IDirect3DTexture9* target = nullptr;
    IDirect3DSurface9* surface = nullptr;
    IDirect3DTexture9* system = nullptr;
    IDirect3DTexture9* managed = nullptr;
    IDirect3DVertexBuffer9* vb = nullptr;
    ASSERT_EQ(device->CreateTexture(1024, 1024, 1, D3DUSAGE_RENDERTARGET, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT, &target,
                                    nullptr),
              D3D_OK);
    ASSERT_EQ(target->GetSurfaceLevel(0, &surface), D3D_OK);
    ASSERT_EQ(device->CreateTexture(1024, 1024, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_SYSTEMMEM, &system, nullptr), D3D_OK);
    ASSERT_EQ(device->UpdateTexture(system, target), D3D_OK);
    ASSERT_EQ(device->CreateTexture(1024, 1024, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &managed, nullptr), D3D_OK);
    D3DLOCKED_RECT locked{};
    ASSERT_EQ(managed->LockRect(0, &locked, nullptr, 0), D3D_OK);
    for (int y = 0; y < 1024; ++y) {
        std::memset(static_cast<BYTE*>(locked.pBits) + y * locked.Pitch, 0x80, 1024 * 4);
    }
    ASSERT_EQ(managed->UnlockRect(0), D3D_OK);
    ASSERT_EQ(managed->AddDirtyRect(nullptr), D3D_OK);
    ASSERT_EQ(device->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE), D3D_OK);
    ASSERT_EQ(device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA), D3D_OK);
    ASSERT_EQ(device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA), D3D_OK);
    ASSERT_EQ(device->SetFVF(kVertexFvf), D3D_OK);
    ASSERT_EQ(device->SetRenderTarget(0, surface), D3D_OK);
    ASSERT_EQ(device->CreateVertexBuffer(4 * sizeof(Vertex), D3DUSAGE_DYNAMIC | D3DUSAGE_WRITEONLY, kVertexFvf,
                                         D3DPOOL_DEFAULT, &vb, nullptr),
              D3D_OK);
    std::vector<Vertex> quad = Quad(0, 0, 1024, 1024, 0xAAFFFFFFu);
    std::swap(quad[2], quad[3]);  // strip order
    void* data = nullptr;
    ASSERT_EQ(vb->Lock(0, 0, &data, D3DLOCK_DISCARD), D3D_OK);
    std::memcpy(data, quad.data(), 4 * sizeof(Vertex));
    ASSERT_EQ(vb->Unlock(), D3D_OK);
    ASSERT_EQ(device->BeginScene(), D3D_OK);
    ASSERT_EQ(device->SetTexture(0, managed), D3D_OK);
    ASSERT_EQ(device->SetStreamSource(0, vb, 0, sizeof(Vertex)), D3D_OK);
    ASSERT_EQ(device->DrawPrimitive(D3DPT_TRIANGLESTRIP, 0, 2), D3D_OK);
    ASSERT_EQ(device->EndScene(), D3D_OK);
    IDirect3DSurface9* systemSurface = nullptr;
    ASSERT_EQ(system->GetSurfaceLevel(0, &systemSurface), D3D_OK);
    ASSERT_EQ(device->GetRenderTargetData(surface, systemSurface), D3D_OK);
    ASSERT_EQ(systemSurface->LockRect(&locked, nullptr, D3DLOCK_READONLY), D3D_OK);
    DWORD corner = 0;
    DWORD middle = 0;
    std::memcpy(&corner, locked.pBits, 4);
    std::memcpy(&middle, static_cast<BYTE*>(locked.pBits) + 512 * locked.Pitch + 512 * 4, 4);
    systemSurface->UnlockRect();
    // Grey 0x80 blended by the texture's alpha 0x80 (the default stage takes the
    // texture's alpha, not the vertex's 0xAA) over transparent black.
    EXPECT_NEAR(Channel(middle, 16), 0x40, 1);
    EXPECT_EQ(corner, middle);

    systemSurface->Release();
    device->SetTexture(0, nullptr);
    device->SetStreamSource(0, nullptr, 0, 0);
    vb->Release();
    managed->Release();
    system->Release();
    surface->Release();
    target->Release();
    EXPECT_EQ(device->Release(), 0u);
}

}  // namespace
}  // namespace d3d9test
