// Clearing, textured drawing, pixel-centre alignment and culling on the back buffer.
#include "DeviceFixture.h"

namespace d3d9test {
namespace {

using DrawingGlTest = DeviceFixture;

TEST_F(DrawingGlTest, ClearFillsTheWholeTargetAndRectanglesOnlyTheirPixels)
{
    ASSERT_EQ(device_->Clear(0, nullptr, D3DCLEAR_TARGET, 0x00336699u, 1.0f, 0), D3D_OK);
    std::vector<DWORD> pixels = ReadBackBuffer();
    ASSERT_EQ(pixels.size(), kWidth * kHeight);
    // The back buffer has no alpha channel: it reads as opaque.
    EXPECT_EQ(pixels[0], 0xFF336699u);
    EXPECT_EQ(pixels[kWidth * kHeight - 1], 0xFF336699u);

    D3DRECT rect{2, 3, 5, 7};
    ASSERT_EQ(device_->Clear(1, &rect, D3DCLEAR_TARGET, 0xFFFF0000u, 1.0f, 0), D3D_OK);
    pixels = ReadBackBuffer();
    for (UINT y = 0; y < 10; ++y) {
        for (UINT x = 0; x < 10; ++x) {
            bool inside = x >= 2 && x < 5 && y >= 3 && y < 7;
            EXPECT_EQ(pixels[y * kWidth + x], inside ? 0xFFFF0000u : 0xFF336699u) << x << "," << y;
        }
    }
}

TEST_F(DrawingGlTest, ClearRefusesDepthWithoutADepthBufferAndMismatchedRectangles)
{
    EXPECT_EQ(device_->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0, 1.0f, 0), D3DERR_INVALIDCALL);
    EXPECT_EQ(device_->Clear(2, nullptr, D3DCLEAR_TARGET, 0, 1.0f, 0), D3DERR_INVALIDCALL);
}

TEST_F(DrawingGlTest, ManagedTextureIsDrawnTexelForPixelWithTopRowFirst)
{
    std::vector<DWORD> texels(16);
    for (UINT y = 0; y < 4; ++y) {
        for (UINT x = 0; x < 4; ++x) {
            texels[y * 4 + x] = D3DCOLOR_ARGB(0xFF, x * 60, y * 60, 0x10 + x + 4 * y);
        }
    }
    IDirect3DTexture9* texture = MakeTexture(4, 4, texels);
    ASSERT_NE(texture, nullptr);
    ASSERT_EQ(device_->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000u, 1.0f, 0), D3D_OK);
    ASSERT_EQ(device_->SetTexture(0, texture), D3D_OK);
    // Linear filtering samples exactly the texel when pixel centres meet texel centres.
    ASSERT_EQ(device_->SetSamplerState(0, D3DSAMP_MAGFILTER, D3DTEXF_LINEAR), D3D_OK);
    ASSERT_EQ(device_->SetSamplerState(0, D3DSAMP_MINFILTER, D3DTEXF_LINEAR), D3D_OK);
    ASSERT_EQ(device_->SetSamplerState(0, D3DSAMP_ADDRESSU, D3DTADDRESS_CLAMP), D3D_OK);
    ASSERT_EQ(device_->SetSamplerState(0, D3DSAMP_ADDRESSV, D3DTADDRESS_CLAMP), D3D_OK);
    Draw(Quad(10, 20, 14, 24, 0xFFFFFFFFu));
    std::vector<DWORD> pixels = ReadBackBuffer();
    for (UINT y = 0; y < 4; ++y) {
        for (UINT x = 0; x < 4; ++x) {
            EXPECT_TRUE(ColorNear(pixels[(20 + y) * kWidth + 10 + x], texels[y * 4 + x], 1)) << x << "," << y;
        }
    }
    // Exactly the 4 x 4 pixels are covered.
    EXPECT_EQ(pixels[20 * kWidth + 9], 0xFF000000u);
    EXPECT_EQ(pixels[20 * kWidth + 14], 0xFF000000u);
    EXPECT_EQ(pixels[19 * kWidth + 10], 0xFF000000u);
    EXPECT_EQ(pixels[24 * kWidth + 10], 0xFF000000u);
    device_->SetTexture(0, nullptr);
    texture->Release();
}

TEST_F(DrawingGlTest, VertexColourTimesTextureWithTheDefaultStage)
{
    IDirect3DTexture9* texture = MakeTexture(1, 1, {0xFF808080u});
    ASSERT_NE(texture, nullptr);
    ASSERT_EQ(device_->SetTexture(0, texture), D3D_OK);
    Draw(Quad(0, 0, 8, 8, 0xFFFF8000u));
    EXPECT_TRUE(ColorNear(BackBufferPixel(3, 3), 0xFF804000u));
    device_->SetTexture(0, nullptr);
    texture->Release();
}

TEST_F(DrawingGlTest, CounterClockwiseTrianglesAreCulledByDefault)
{
    ASSERT_EQ(device_->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000u, 1.0f, 0), D3D_OK);
    std::vector<Vertex> clockwise = Quad(0, 0, 8, 8, 0xFF00FF00u);
    std::vector<Vertex> counter(clockwise.rbegin(), clockwise.rend());
    for (Vertex& v : counter) {
        v.x += 20;
    }
    Draw(clockwise);
    Draw(counter);
    EXPECT_EQ(BackBufferPixel(4, 4), 0xFF00FF00u);
    EXPECT_EQ(BackBufferPixel(24, 4), 0xFF000000u);

    ASSERT_EQ(device_->SetRenderState(D3DRS_CULLMODE, D3DCULL_CW), D3D_OK);
    ASSERT_EQ(device_->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000u, 1.0f, 0), D3D_OK);
    Draw(clockwise);
    Draw(counter);
    EXPECT_EQ(BackBufferPixel(4, 4), 0xFF000000u);
    EXPECT_EQ(BackBufferPixel(24, 4), 0xFF00FF00u);

    ASSERT_EQ(device_->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE), D3D_OK);
    Draw(clockwise);
    EXPECT_EQ(BackBufferPixel(4, 4), 0xFF00FF00u);
}

TEST_F(DrawingGlTest, LinesAndStripsDrawWithTheirVertexCounts)
{
    ASSERT_EQ(device_->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000u, 1.0f, 0), D3D_OK);
    // A horizontal line along row 5 from x = 2 to x = 30.
    Draw({{2.0f, 5.0f, 0, 1, 0xFFFFFFFFu, 0, 0}, {30.0f, 5.0f, 0, 1, 0xFFFFFFFFu, 0, 0}}, D3DPT_LINESTRIP);
    EXPECT_EQ(BackBufferPixel(16, 5), 0xFFFFFFFFu);
    EXPECT_EQ(BackBufferPixel(16, 8), 0xFF000000u);
    // A strip of two vertices has no triangle.
    ASSERT_EQ(device_->BeginScene(), D3D_OK);
    EXPECT_EQ(device_->DrawPrimitive(D3DPT_TRIANGLESTRIP, 0, 0), D3D_OK);
    ASSERT_EQ(device_->EndScene(), D3D_OK);
}

TEST_F(DrawingGlTest, DrawingOutsideAScenePendingVerticesOrUnknownLayoutsIsRefused)
{
    Draw(Quad(0, 0, 4, 4, 0xFFFFFFFFu));
    EXPECT_EQ(device_->DrawPrimitive(D3DPT_TRIANGLEFAN, 0, 2), D3DERR_INVALIDCALL);  // no scene
    ASSERT_EQ(device_->BeginScene(), D3D_OK);
    EXPECT_EQ(device_->BeginScene(), D3DERR_INVALIDCALL);
    // Past the end of the 64-vertex buffer.
    EXPECT_EQ(device_->DrawPrimitive(D3DPT_TRIANGLELIST, 60, 2), D3DERR_INVALIDCALL);
    // Untransformed positions are not drawn by this layer.
    ASSERT_EQ(device_->SetFVF(D3DFVF_XYZ | D3DFVF_DIFFUSE), D3D_OK);
    EXPECT_EQ(device_->DrawPrimitive(D3DPT_TRIANGLEFAN, 0, 2), D3DERR_INVALIDCALL);
    EXPECT_EQ(device_->SetFVF(0x10 /* normals */), D3DERR_INVALIDCALL);
    ASSERT_EQ(device_->EndScene(), D3D_OK);
    EXPECT_EQ(device_->EndScene(), D3DERR_INVALIDCALL);
}

TEST_F(DrawingGlTest, RendererVertexDeclarationDrawsLikeTheMatchingFvf)
{
    const D3DVERTEXELEMENT9 elements[] = {
        {0, 0, D3DDECLTYPE_FLOAT4, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_POSITIONT, 0},
        {0, 16, D3DDECLTYPE_D3DCOLOR, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_COLOR, 0},
        {0, 20, D3DDECLTYPE_FLOAT2, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_TEXCOORD, 0},
        D3DDECL_END()};
    IDirect3DVertexDeclaration9* declaration = nullptr;
    ASSERT_EQ(device_->CreateVertexDeclaration(elements, &declaration), D3D_OK);
    Fill(Quad(5, 5, 9, 9, 0xFF123456u));
    ASSERT_EQ(device_->SetVertexDeclaration(declaration), D3D_OK);
    ASSERT_EQ(device_->SetStreamSource(0, vertices_, 0, sizeof(Vertex)), D3D_OK);
    ASSERT_EQ(device_->BeginScene(), D3D_OK);
    EXPECT_EQ(device_->DrawPrimitive(D3DPT_TRIANGLEFAN, 0, 2), D3D_OK);
    ASSERT_EQ(device_->EndScene(), D3D_OK);
    EXPECT_EQ(BackBufferPixel(6, 6), 0xFF123456u);
    device_->SetVertexDeclaration(nullptr);
    EXPECT_EQ(declaration->Release(), 0u);
}

}  // namespace
}  // namespace d3d9test
