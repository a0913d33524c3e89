// What the driver is given to hold for a managed texture. One whose every
// pixel is white (a font's page: its glyphs are coloured as they are drawn)
// is held as its alpha alone, a quarter of the memory, and draws exactly as
// it does held whole; written anew with colours, it is held whole again.
#include "tests/platform/d3d9/DeviceFixture.h"

#include "platform/d3d9/gl/GlTexture9.h"

#include <GL/gl.h>
#include <vector>

namespace d3d9test {
namespace {

using TextureStorageGlTest = DeviceFixture;

constexpr DWORD kWhite = 0xFFFFFFFFu;

// A white pixel whose alpha varies over the texture.
DWORD WhiteWithAlpha(UINT x, UINT y)
{
    return static_cast<DWORD>((x * 37 + y * 11) & 0xffu) << 24 | 0x00FFFFFFu;
}

TEST_F(TextureStorageGlTest, AWhiteTextureTakesAQuarterOfWhatItsPixelsWouldInTheDriver)
{
    constexpr UINT kSide = 2048;
    constexpr long kPixelsKb = kSide * kSide * 4 / 1024;  // 16 MB held whole
    IDirect3DTexture9* texture = nullptr;
    {
        std::vector<DWORD> pixels(static_cast<size_t>(kSide) * kSide);
        for (UINT y = 0; y < kSide; ++y) {
            for (UINT x = 0; x < kSide; ++x) {
                pixels[static_cast<size_t>(y) * kSide + x] = WhiteWithAlpha(x, y);
            }
        }
        texture = MakeTexture(kSide, kSide, pixels);
    }
    ASSERT_NE(texture, nullptr);
    const long before = ResidentAnonKb();
    ASSERT_EQ(device_->SetTexture(0, texture), D3D_OK);
    // Shown, then shown again unchanged: the still picture has the passing
    // buffers of the upload given back, so that what stays is the driver's copy.
    for (int frame = 0; frame < 2; ++frame) {
        ASSERT_EQ(device_->BeginScene(), D3D_OK);
        ASSERT_EQ(device_->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000u, 0.0f, 0), D3D_OK);
        ASSERT_EQ(device_->EndScene(), D3D_OK);
        Draw(Quad(0, 0, 16, 16, kWhite));
        ASSERT_EQ(device_->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
    }
    const long grown = ResidentAnonKb() - before;
    EXPECT_LT(grown, kPixelsKb / 2) << "the driver's copy takes " << grown << " kB";
    ASSERT_EQ(device_->SetTexture(0, nullptr), D3D_OK);
    texture->Release();
}

// Drawn scaled with linear filtering, through each way the stage combines the
// texture with the vertex colour, and blended over a coloured ground.
TEST_F(TextureStorageGlTest, AWhiteTextureHeldAsItsAlphaDrawsLikeOneHeldWhole)
{
    constexpr UINT kSide = 16;
    // The same white pixels twice; the second texture has a red half beside
    // them, which keeps it whole, and only its white half is drawn.
    std::vector<DWORD> white(kSide * kSide);
    std::vector<DWORD> beside(2 * kSide * kSide);
    for (UINT y = 0; y < kSide; ++y) {
        for (UINT x = 0; x < kSide; ++x) {
            white[y * kSide + x] = WhiteWithAlpha(x, y);
            beside[y * 2 * kSide + x] = WhiteWithAlpha(x, y);
            beside[y * 2 * kSide + kSide + x] = 0x80FF0000u;
        }
    }
    IDirect3DTexture9* alone = MakeTexture(kSide, kSide, white);
    IDirect3DTexture9* whole = MakeTexture(2 * kSide, kSide, beside);
    ASSERT_NE(alone, nullptr);
    ASSERT_NE(whole, nullptr);
    ASSERT_EQ(device_->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF2A6C9Bu, 1.0f, 0), D3D_OK);
    ASSERT_EQ(device_->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE), D3D_OK);
    ASSERT_EQ(device_->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA), D3D_OK);
    ASSERT_EQ(device_->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA), D3D_OK);
    ASSERT_EQ(device_->SetSamplerState(0, D3DSAMP_MAGFILTER, D3DTEXF_LINEAR), D3D_OK);
    ASSERT_EQ(device_->SetSamplerState(0, D3DSAMP_MINFILTER, D3DTEXF_LINEAR), D3D_OK);
    // From the first texel's centre to the last's, so that both textures are
    // sampled at the same texels with the same weights.
    const float first = 0.5f / kSide;
    const float last = (kSide - 0.5f) / kSide;
    const DWORD ops[] = {D3DTOP_MODULATE, D3DTOP_SELECTARG1, D3DTOP_ADD};
    for (size_t i = 0; i < std::size(ops); ++i) {
        const float top = 2.0f + 38.0f * static_cast<float>(i);
        ASSERT_EQ(device_->SetTextureStageState(0, D3DTSS_COLOROP, ops[i]), D3D_OK);
        ASSERT_EQ(device_->SetTexture(0, alone), D3D_OK);
        Draw(Quad(2, top, 73, top + 35, 0xC0E08040u, first, 0.0f, last, 1.0f));
        ASSERT_EQ(device_->SetTexture(0, whole), D3D_OK);
        Draw(Quad(82, top, 153, top + 35, 0xC0E08040u, first / 2, 0.0f, last / 2, 1.0f));
    }
    ASSERT_EQ(device_->SetTexture(0, nullptr), D3D_OK);
    const std::vector<DWORD> pixels = ReadBackBuffer();
    ASSERT_EQ(pixels.size(), static_cast<size_t>(kWidth) * kHeight);
    for (UINT y = 0; y < kHeight; ++y) {
        for (UINT x = 0; x < 80; ++x) {
            ASSERT_EQ(pixels[y * kWidth + x], pixels[y * kWidth + x + 80]) << "pixel (" << x << ", " << y << ")";
        }
    }
    EXPECT_NE(pixels[20 * kWidth + 20], 0xFF2A6C9Bu);  // something was drawn
    alone->Release();
    whole->Release();
}

TEST_F(TextureStorageGlTest, AWhiteTextureWrittenWithColoursDrawsThemAndWhiteAgainAfter)
{
    IDirect3DTexture9* texture = MakeTexture(2, 2, std::vector<DWORD>(4, kWhite));
    ASSERT_NE(texture, nullptr);
    ASSERT_EQ(device_->SetTexture(0, texture), D3D_OK);
    const auto fill = [&](DWORD colour) {
        D3DLOCKED_RECT locked{};
        ASSERT_EQ(texture->LockRect(0, &locked, nullptr, 0), D3D_OK);
        for (int y = 0; y < 2; ++y) {
            auto* row = reinterpret_cast<DWORD*>(static_cast<BYTE*>(locked.pBits) + y * locked.Pitch);
            row[0] = row[1] = colour;
        }
        ASSERT_EQ(texture->UnlockRect(0), D3D_OK);
    };
    for (DWORD colour : {kWhite, 0xFF204060u, 0x80FFFFFFu}) {
        fill(colour);
        ASSERT_EQ(device_->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000u, 1.0f, 0), D3D_OK);
        Draw(Quad(0, 0, 4, 4, kWhite));
        // Without blending the texture's own alpha does not show.
        EXPECT_EQ(BackBufferPixel(1, 1), colour | 0xFF000000u) << std::hex << colour;
    }
    ASSERT_EQ(device_->SetTexture(0, nullptr), D3D_OK);
    texture->Release();
}

// The bits of red the driver holds for a texture: none for one held as its alpha alone.
GLint HeldRedBits(IDirect3DTexture9* texture)
{
    glBindTexture(GL_TEXTURE_2D, static_cast<platform::d3d9::GlTexture9*>(texture)->Name());
    GLint bits = -1;
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_RED_SIZE, &bits);
    return bits;
}

// Drawn with clamping, a white texture is held as its alpha alone; sampled
// outside with border addressing, it answers the sampler's border colour, as
// one held whole does (it is then held whole).
TEST_F(TextureStorageGlTest, AWhiteTextureIsHeldAsItsAlphaWhereClampedAndShowsTheBorderColour)
{
    constexpr DWORD kRed = 0xFFFF0000u;
    IDirect3DTexture9* texture = MakeTexture(4, 4, std::vector<DWORD>(16, kWhite));
    ASSERT_NE(texture, nullptr);
    ASSERT_EQ(device_->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000u, 1.0f, 0), D3D_OK);
    ASSERT_EQ(device_->SetSamplerState(0, D3DSAMP_BORDERCOLOR, kRed), D3D_OK);
    ASSERT_EQ(device_->SetTexture(0, texture), D3D_OK);
    // The texture covers the middle third of each quad, the rest lies outside it.
    GLint redBits[2] = {-1, -1};
    for (const DWORD address : {D3DTADDRESS_CLAMP, D3DTADDRESS_BORDER}) {
        const bool border = address == D3DTADDRESS_BORDER;
        ASSERT_EQ(device_->SetSamplerState(0, D3DSAMP_ADDRESSU, address), D3D_OK);
        ASSERT_EQ(device_->SetSamplerState(0, D3DSAMP_ADDRESSV, address), D3D_OK);
        Draw(Quad(border ? 40.0f : 0.0f, 0, border ? 70.0f : 30.0f, 30, kWhite, -1.0f, -1.0f, 2.0f, 2.0f));
        redBits[border] = HeldRedBits(texture);
    }
    ASSERT_EQ(device_->SetTexture(0, nullptr), D3D_OK);
    EXPECT_EQ(redBits[0], 0);
    EXPECT_EQ(redBits[1], 8);
    EXPECT_EQ(BackBufferPixel(3, 3), kWhite) << std::hex << BackBufferPixel(3, 3);
    EXPECT_EQ(BackBufferPixel(43, 3), kRed) << std::hex << BackBufferPixel(43, 3);
    EXPECT_EQ(BackBufferPixel(55, 15), kWhite) << std::hex << BackBufferPixel(55, 15);
    texture->Release();
}

}  // namespace
}  // namespace d3d9test
