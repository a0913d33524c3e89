// A window with a GL context and a device on it, plus helpers that draw
// pretransformed quads and read pixels back through the device itself.
#pragma once

#include "platform/d3d9/IDirect3D9.h"
#include "platform/d3d9/TestHooks.h"

#include <SDL.h>
#include <cstring>
#include <gtest/gtest.h>
#include <cstdint>
#include <vector>

namespace d3d9test {

// The vertex the renderer draws with: position in target pixels, colour, texture coordinates.
struct Vertex {
    float x, y, z, rhw;
    D3DCOLOR color;
    float u, v;
};
inline constexpr DWORD kVertexFvf = D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX1;

// The four corners of the pixel rectangle [left, right) x [top, bottom), offset by
// half a pixel the way the drawing code does, as a triangle fan (clockwise on screen).
std::vector<Vertex> Quad(float left, float top, float right, float bottom, D3DCOLOR color, float u0 = 0.0f,
                         float v0 = 0.0f, float u1 = 1.0f, float v1 = 1.0f);

class DeviceFixture : public ::testing::Test {
public:
    static constexpr UINT kWidth = 160;
    static constexpr UINT kHeight = 120;

protected:

    static void SetUpTestSuite();
    static void TearDownTestSuite();
    void SetUp() override;
    void TearDown() override;

    D3DPRESENT_PARAMETERS Parameters() const;
    // Writes the vertices at the start of the fixture's dynamic vertex buffer.
    void Fill(const std::vector<Vertex>& vertices);
    // Draws the vertices as a fan (or the given type) through a dynamic vertex buffer.
    void Draw(const std::vector<Vertex>& vertices, D3DPRIMITIVETYPE type = D3DPT_TRIANGLEFAN);
    // A managed A8R8G8B8 texture filled row by row with the given ARGB pixels.
    IDirect3DTexture9* MakeTexture(UINT width, UINT height, const std::vector<DWORD>& pixels,
                                   D3DFORMAT format = D3DFMT_A8R8G8B8);
    // An A8R8G8B8 render-target texture and its surface (one reference each).
    void MakeTarget(UINT width, UINT height, IDirect3DTexture9** texture, IDirect3DSurface9** surface);
    // The pixels of a render-target surface, as ARGB, top row first.
    std::vector<DWORD> ReadPixels(IDirect3DSurface9* target, UINT width, UINT height, D3DFORMAT format);
    std::vector<DWORD> ReadBackBuffer();
    DWORD BackBufferPixel(int x, int y);
    // What the device has done so far (see GetFrameCounts).
    platform::d3d9::FrameCounts Counts();

    static SDL_Window* s_window;
    static HWND s_hwnd;
    IDirect3D9* d3d_ = nullptr;
    IDirect3DDevice9* device_ = nullptr;
    IDirect3DVertexBuffer9* vertices_ = nullptr;
};

// Anonymous resident memory of this process, in kB (-1 where it cannot be read).
long ResidentAnonKb();

// Channels of an ARGB value, for tolerant comparisons of blended results.
int Channel(DWORD argb, int shift);
::testing::AssertionResult ColorNear(DWORD actual, DWORD expected, int tolerance = 2);

}  // namespace d3d9test
