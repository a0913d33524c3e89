#include "DeviceFixture.h"

#include "platform/win32/WindowHandle.h"

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>

namespace d3d9test {

SDL_Window* DeviceFixture::s_window = nullptr;
HWND DeviceFixture::s_hwnd = nullptr;

std::vector<Vertex> Quad(float left, float top, float right, float bottom, D3DCOLOR color, float u0, float v0,
                         float u1, float v1)
{
    left -= 0.5f;
    top -= 0.5f;
    right -= 0.5f;
    bottom -= 0.5f;
    return {{left, top, 0.0f, 1.0f, color, u0, v0},
            {right, top, 0.0f, 1.0f, color, u1, v0},
            {right, bottom, 0.0f, 1.0f, color, u1, v1},
            {left, bottom, 0.0f, 1.0f, color, u0, v1}};
}

void DeviceFixture::SetUpTestSuite()
{
    ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_VIDEO), 0) << SDL_GetError();
    s_window = SDL_CreateWindow("d3d9 test", SDL_WINDOWPOS_UNDEFINED, SDL_WINDOWPOS_UNDEFINED,
                                static_cast<int>(kWidth), static_cast<int>(kHeight), SDL_WINDOW_OPENGL);
    ASSERT_NE(s_window, nullptr) << SDL_GetError();
    s_hwnd = platform::RegisterSdlWindow(s_window);
}

void DeviceFixture::TearDownTestSuite()
{
    platform::UnregisterSdlWindow(s_hwnd);
    SDL_DestroyWindow(s_window);
    s_window = nullptr;
}

D3DPRESENT_PARAMETERS DeviceFixture::Parameters() const
{
    D3DPRESENT_PARAMETERS p{};
    p.BackBufferWidth = kWidth;
    p.BackBufferHeight = kHeight;
    p.BackBufferFormat = D3DFMT_X8R8G8B8;
    p.BackBufferCount = 1;
    p.SwapEffect = D3DSWAPEFFECT_DISCARD;
    p.hDeviceWindow = s_hwnd;
    p.Windowed = TRUE;
    p.AutoDepthStencilFormat = D3DFMT_D16;
    p.PresentationInterval = D3DPRESENT_INTERVAL_IMMEDIATE;
    return p;
}

void DeviceFixture::SetUp()
{
    ASSERT_NE(s_window, nullptr);
    d3d_ = Direct3DCreate9(D3D_SDK_VERSION);
    ASSERT_NE(d3d_, nullptr);
    D3DPRESENT_PARAMETERS p = Parameters();
    ASSERT_EQ(d3d_->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, s_hwnd,
                                 D3DCREATE_HARDWARE_VERTEXPROCESSING | D3DCREATE_MULTITHREADED, &p, &device_),
              D3D_OK);
    ASSERT_EQ(device_->CreateVertexBuffer(64 * sizeof(Vertex), D3DUSAGE_DYNAMIC | D3DUSAGE_WRITEONLY, 0,
                                          D3DPOOL_DEFAULT, &vertices_, nullptr),
              D3D_OK);
}

void DeviceFixture::TearDown()
{
    if (vertices_ != nullptr) {
        vertices_->Release();
    }
    if (device_ != nullptr) {
        EXPECT_EQ(device_->Release(), 0u);
    }
    if (d3d_ != nullptr) {
        EXPECT_EQ(d3d_->Release(), 0u);
    }
}

void DeviceFixture::Fill(const std::vector<Vertex>& vertices)
{
    void* data = nullptr;
    ASSERT_EQ(vertices_->Lock(0, 0, &data, D3DLOCK_DISCARD), D3D_OK);
    std::memcpy(data, vertices.data(), vertices.size() * sizeof(Vertex));
    ASSERT_EQ(vertices_->Unlock(), D3D_OK);
}

void DeviceFixture::Draw(const std::vector<Vertex>& vertices, D3DPRIMITIVETYPE type)
{
    Fill(vertices);
    ASSERT_EQ(device_->SetFVF(kVertexFvf), D3D_OK);
    ASSERT_EQ(device_->SetStreamSource(0, vertices_, 0, sizeof(Vertex)), D3D_OK);
    UINT n = static_cast<UINT>(vertices.size());
    UINT primitives = type == D3DPT_TRIANGLELIST ? n / 3 : type == D3DPT_LINELIST ? n / 2
                      : type == D3DPT_LINESTRIP ? n - 1 : n - 2;
    ASSERT_EQ(device_->BeginScene(), D3D_OK);
    EXPECT_EQ(device_->DrawPrimitive(type, 0, primitives), D3D_OK);
    ASSERT_EQ(device_->EndScene(), D3D_OK);
}

IDirect3DTexture9* DeviceFixture::MakeTexture(UINT width, UINT height, const std::vector<DWORD>& pixels,
                                              D3DFORMAT format)
{
    IDirect3DTexture9* texture = nullptr;
    EXPECT_EQ(device_->CreateTexture(width, height, 1, 0, format, D3DPOOL_MANAGED, &texture, nullptr), D3D_OK);
    if (texture == nullptr) {
        return nullptr;
    }
    D3DLOCKED_RECT locked{};
    EXPECT_EQ(texture->LockRect(0, &locked, nullptr, 0), D3D_OK);
    auto* bytes = static_cast<BYTE*>(locked.pBits);
    for (UINT y = 0; y < height; ++y) {
        for (UINT x = 0; x < width; ++x) {
            DWORD argb = pixels[y * width + x];
            if (format == D3DFMT_A8) {
                bytes[y * locked.Pitch + x] = static_cast<BYTE>(argb >> 24);
            } else {
                std::memcpy(bytes + y * locked.Pitch + x * 4, &argb, 4);
            }
        }
    }
    EXPECT_EQ(texture->UnlockRect(0), D3D_OK);
    return texture;
}

void DeviceFixture::MakeTarget(UINT width, UINT height, IDirect3DTexture9** texture, IDirect3DSurface9** surface)
{
    ASSERT_EQ(device_->CreateTexture(width, height, 1, D3DUSAGE_RENDERTARGET, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT,
                                     texture, nullptr),
              D3D_OK);
    ASSERT_EQ((*texture)->GetSurfaceLevel(0, surface), D3D_OK);
}

std::vector<DWORD> DeviceFixture::ReadPixels(IDirect3DSurface9* target, UINT width, UINT height, D3DFORMAT format)
{
    std::vector<DWORD> result;
    IDirect3DSurface9* copy = nullptr;
    EXPECT_EQ(device_->CreateOffscreenPlainSurface(width, height, format, D3DPOOL_SYSTEMMEM, &copy, nullptr), D3D_OK);
    if (copy == nullptr) {
        return result;
    }
    HRESULT read = device_->GetRenderTargetData(target, copy);
    EXPECT_EQ(read, D3D_OK);
    if (read != D3D_OK) {
        copy->Release();
        return result;
    }
    D3DLOCKED_RECT locked{};
    EXPECT_EQ(copy->LockRect(&locked, nullptr, D3DLOCK_READONLY), D3D_OK);
    result.resize(static_cast<size_t>(width) * height);
    for (UINT y = 0; y < height; ++y) {
        std::memcpy(&result[y * width], static_cast<BYTE*>(locked.pBits) + y * locked.Pitch, width * 4);
    }
    copy->UnlockRect();
    copy->Release();
    return result;
}

std::vector<DWORD> DeviceFixture::ReadBackBuffer()
{
    IDirect3DSurface9* back = nullptr;
    EXPECT_EQ(device_->GetRenderTarget(0, &back), D3D_OK);
    std::vector<DWORD> pixels = ReadPixels(back, kWidth, kHeight, D3DFMT_X8R8G8B8);
    back->Release();
    return pixels;
}

DWORD DeviceFixture::BackBufferPixel(int x, int y)
{
    std::vector<DWORD> pixels = ReadBackBuffer();
    return pixels.empty() ? 0 : pixels[static_cast<size_t>(y) * kWidth + x];
}

platform::d3d9::FrameCounts DeviceFixture::Counts()
{
    platform::d3d9::FrameCounts counts;
    EXPECT_TRUE(platform::d3d9::GetFrameCounts(device_, &counts));
    return counts;
}

long ResidentAnonKb()
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("RssAnon:", 0) == 0) {
            return std::stol(line.substr(8));
        }
    }
    return -1;
}

int Channel(DWORD argb, int shift)
{
    return static_cast<int>((argb >> shift) & 0xffu);
}

::testing::AssertionResult ColorNear(DWORD actual, DWORD expected, int tolerance)
{
    for (int shift : {24, 16, 8, 0}) {
        if (std::abs(Channel(actual, shift) - Channel(expected, shift)) > tolerance) {
            return ::testing::AssertionFailure() << std::hex << "0x" << actual << " is not near 0x" << expected;
        }
    }
    return ::testing::AssertionSuccess();
}

}  // namespace d3d9test
