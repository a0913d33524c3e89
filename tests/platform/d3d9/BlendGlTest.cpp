// The blend states the renderer sets, and alpha-only textures, drawn into a
// render target with an alpha channel so every channel of the result is seen.
#include "DeviceFixture.h"

#include <algorithm>
#include <cmath>

namespace d3d9test {
namespace {

constexpr DWORD kSource = D3DCOLOR_ARGB(0x80, 0xFF, 0x40, 0x00);
constexpr DWORD kDest = D3DCOLOR_ARGB(0xC0, 0x20, 0x80, 0xFF);

class BlendGlTest : public DeviceFixture {
protected:
    void SetUp() override
    {
        DeviceFixture::SetUp();
        MakeTarget(8, 8, &target_, &surface_);
        ASSERT_NE(surface_, nullptr);
        ASSERT_EQ(device_->SetRenderTarget(0, surface_), D3D_OK);
    }
    void TearDown() override
    {
        IDirect3DSurface9* back = nullptr;
        if (device_ != nullptr && device_->GetRenderTarget(0, &back) == D3D_OK) {
            back->Release();
        }
        if (surface_ != nullptr) {
            surface_->Release();
        }
        if (target_ != nullptr) {
            target_->Release();
        }
        DeviceFixture::TearDown();
    }
    // Clears the target to the destination colour, draws the source colour over it, reads one pixel.
    DWORD Blend(DWORD source)
    {
        EXPECT_EQ(device_->Clear(0, nullptr, D3DCLEAR_TARGET, kDest, 1.0f, 0), D3D_OK);
        Draw(Quad(0, 0, 8, 8, source));
        std::vector<DWORD> pixels = ReadPixels(surface_, 8, 8, D3DFMT_A8R8G8B8);
        return pixels.empty() ? 0 : pixels[3 * 8 + 3];
    }

    IDirect3DTexture9* target_ = nullptr;
    IDirect3DSurface9* surface_ = nullptr;
};

enum class Factor { Zero, One, SrcAlpha, InvSrcAlpha, DestColor };

double Weight(Factor f, double sourceAlpha, double destChannel)
{
    switch (f) {
    case Factor::Zero:
        return 0.0;
    case Factor::One:
        return 1.0;
    case Factor::SrcAlpha:
        return sourceAlpha;
    case Factor::InvSrcAlpha:
        return 1.0 - sourceAlpha;
    case Factor::DestColor:
        return destChannel;
    }
    return 0.0;
}

// source x S + dest x D per channel; with maxAlpha the alpha is the larger of the two.
DWORD Expected(Factor s, Factor d, bool maxAlpha)
{
    double sa = ((kSource >> 24) & 0xff) / 255.0;
    DWORD result = 0;
    for (int shift : {24, 16, 8, 0}) {
        double sc = ((kSource >> shift) & 0xff) / 255.0;
        double dc = ((kDest >> shift) & 0xff) / 255.0;
        double value = sc * Weight(s, sa, dc) + dc * Weight(d, sa, dc);
        if (shift == 24 && maxAlpha) {
            value = std::max(sc, dc);
        }
        result |= static_cast<DWORD>(std::lround(std::clamp(value, 0.0, 1.0) * 255.0)) << shift;
    }
    return result;
}

struct BlendCase {
    const char* name;
    D3DBLEND source;
    D3DBLEND dest;
    Factor s;
    Factor d;
    bool separateMaxAlpha;
};

TEST_F(BlendGlTest, EveryRendererBlendModeGivesItsFormula)
{
    const BlendCase cases[] = {
        {"alpha blend", D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA, Factor::SrcAlpha, Factor::InvSrcAlpha, false},
        {"additive with alpha", D3DBLEND_SRCALPHA, D3DBLEND_ONE, Factor::SrcAlpha, Factor::One, false},
        {"additive", D3DBLEND_ONE, D3DBLEND_ONE, Factor::One, Factor::One, false},
        {"multiply", D3DBLEND_DESTCOLOR, D3DBLEND_ZERO, Factor::DestColor, Factor::Zero, false},
        {"copy", D3DBLEND_ONE, D3DBLEND_ZERO, Factor::One, Factor::Zero, false},
        {"alpha blend keeping the larger alpha", D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA, Factor::SrcAlpha,
         Factor::InvSrcAlpha, true},
    };
    ASSERT_EQ(device_->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE), D3D_OK);
    for (const BlendCase& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_EQ(device_->SetRenderState(D3DRS_SRCBLEND, c.source), D3D_OK);
        ASSERT_EQ(device_->SetRenderState(D3DRS_DESTBLEND, c.dest), D3D_OK);
        ASSERT_EQ(device_->SetRenderState(D3DRS_SEPARATEALPHABLENDENABLE, c.separateMaxAlpha), D3D_OK);
        ASSERT_EQ(device_->SetRenderState(D3DRS_BLENDOPALPHA, c.separateMaxAlpha ? D3DBLENDOP_MAX : D3DBLENDOP_ADD),
                  D3D_OK);
        EXPECT_TRUE(ColorNear(Blend(kSource), Expected(c.s, c.d, c.separateMaxAlpha)));
    }
}

TEST_F(BlendGlTest, BlendingOffReplacesTheTargetAndBadFactorsAreRefused)
{
    ASSERT_EQ(device_->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA), D3D_OK);
    EXPECT_EQ(Blend(kSource), kSource);
    EXPECT_EQ(device_->SetRenderState(D3DRS_SRCBLEND, 99), D3DERR_INVALIDCALL);
    EXPECT_EQ(device_->SetRenderState(D3DRS_BLENDOPALPHA, 0), D3DERR_INVALIDCALL);
    DWORD value = 0;
    ASSERT_EQ(device_->GetRenderState(D3DRS_SRCBLEND, &value), D3D_OK);
    EXPECT_EQ(value, static_cast<DWORD>(D3DBLEND_SRCALPHA));
}

TEST_F(BlendGlTest, AlphaOnlyStageTakesColourFromVerticesAndAlphaFromTexture)
{
    IDirect3DTexture9* texture = MakeTexture(1, 1, {0x40FF0000u});
    ASSERT_NE(texture, nullptr);
    ASSERT_EQ(device_->SetTexture(0, texture), D3D_OK);
    // Texture x vertex in both channels: red x green is black.
    ASSERT_EQ(device_->SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_DIFFUSE), D3D_OK);
    ASSERT_EQ(device_->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_MODULATE), D3D_OK);
    ASSERT_EQ(device_->SetTextureStageState(0, D3DTSS_ALPHAARG2, D3DTA_DIFFUSE), D3D_OK);
    EXPECT_TRUE(ColorNear(Blend(0xFF00FF00u), 0x40000000u));
    // The vertex colour with the texture's alpha.
    ASSERT_EQ(device_->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1), D3D_OK);
    ASSERT_EQ(device_->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_DIFFUSE), D3D_OK);
    EXPECT_TRUE(ColorNear(Blend(0xFF00FF00u), 0x4000FF00u));
    EXPECT_TRUE(ColorNear(Blend(0x8000FF00u), 0x2000FF00u));
    // Untextured: colour and alpha of the vertices.
    ASSERT_EQ(device_->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_SELECTARG1), D3D_OK);
    ASSERT_EQ(device_->SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_DIFFUSE), D3D_OK);
    EXPECT_TRUE(ColorNear(Blend(0x8000FF00u), 0x8000FF00u));
    EXPECT_EQ(device_->SetTextureStageState(0, D3DTSS_COLOROP, 0x77), D3DERR_INVALIDCALL);
    device_->SetTexture(0, nullptr);
    texture->Release();
}

TEST_F(BlendGlTest, A8TextureModulatesOnlyAlpha)
{
    IDirect3DTexture9* texture = MakeTexture(2, 1, {0xFF000000u, 0x40000000u}, D3DFMT_A8);
    ASSERT_NE(texture, nullptr);
    ASSERT_EQ(device_->SetTexture(0, texture), D3D_OK);
    ASSERT_EQ(device_->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_MODULATE), D3D_OK);
    ASSERT_EQ(device_->SetTextureStageState(0, D3DTSS_ALPHAARG2, D3DTA_DIFFUSE), D3D_OK);
    EXPECT_EQ(device_->Clear(0, nullptr, D3DCLEAR_TARGET, kDest, 1.0f, 0), D3D_OK);
    Draw(Quad(0, 0, 8, 8, 0x80FF8000u));
    std::vector<DWORD> pixels = ReadPixels(surface_, 8, 8, D3DFMT_A8R8G8B8);
    ASSERT_EQ(pixels.size(), 64u);
    EXPECT_TRUE(ColorNear(pixels[1], 0x80FF8000u));  // left texel, alpha 1
    EXPECT_TRUE(ColorNear(pixels[6], 0x20FF8000u));  // right texel, alpha 0.25
    device_->SetTexture(0, nullptr);
    texture->Release();
}

}  // namespace
}  // namespace d3d9test
