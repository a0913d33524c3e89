// Present flips the back buffer once into the window, letterboxed or into the
// rectangle the window layer sets.
#include "DeviceFixture.h"

#include <GL/gl.h>

namespace d3d9test {
namespace {

using PresentGlTest = DeviceFixture;

// The window's pixel at (x, y), top-left origin, as presented. The software
// rasteriser the tests run on swaps by copying, so the window's back buffer
// still holds the presented picture.
DWORD WindowPixel(int x, int y)
{
    GLubyte rgba[4] = {};
    glReadBuffer(GL_BACK);
    glReadPixels(x, static_cast<GLint>(DeviceFixture::kHeight) - 1 - y, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, rgba);
    return D3DCOLOR_ARGB(0xFF, rgba[0], rgba[1], rgba[2]);
}

TEST_F(PresentGlTest, TopOfTheBackBufferIsTheTopOfTheWindow)
{
    D3DRECT top{0, 0, static_cast<LONG>(kWidth), static_cast<LONG>(kHeight / 2)};
    D3DRECT bottom{0, static_cast<LONG>(kHeight / 2), static_cast<LONG>(kWidth), static_cast<LONG>(kHeight)};
    ASSERT_EQ(device_->Clear(1, &top, D3DCLEAR_TARGET, 0xFFFF0000u, 1.0f, 0), D3D_OK);
    ASSERT_EQ(device_->Clear(1, &bottom, D3DCLEAR_TARGET, 0xFF0000FFu, 1.0f, 0), D3D_OK);
    ASSERT_EQ(device_->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
    EXPECT_EQ(WindowPixel(5, 5), 0xFFFF0000u);
    EXPECT_EQ(WindowPixel(5, kHeight - 5), 0xFF0000FFu);
    RECT part{0, 0, 10, 10};
    EXPECT_EQ(device_->Present(&part, nullptr, nullptr, nullptr), D3DERR_INVALIDCALL);
}

TEST_F(PresentGlTest, ANarrowerBackBufferIsLetterboxedBetweenBlackBars)
{
    // A whole-window picture first, so that bars left uncleared would show it.
    ASSERT_EQ(device_->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFFFF00FFu, 1.0f, 0), D3D_OK);
    ASSERT_EQ(device_->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
    ASSERT_EQ(WindowPixel(5, 5), 0xFFFF00FFu);

    D3DPRESENT_PARAMETERS p = Parameters();
    p.BackBufferWidth = kWidth / 2;
    ASSERT_EQ(device_->Reset(&p), D3D_OK);
    ASSERT_EQ(device_->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF00FF00u, 1.0f, 0), D3D_OK);
    ASSERT_EQ(device_->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
    EXPECT_EQ(WindowPixel(kWidth / 2, kHeight / 2), 0xFF00FF00u);
    EXPECT_EQ(WindowPixel(kWidth / 4 + 2, 5), 0xFF00FF00u);
    EXPECT_EQ(WindowPixel(kWidth / 4 - 2, 5), 0xFF000000u);
    EXPECT_EQ(WindowPixel(kWidth - kWidth / 4 + 2, kHeight - 5), 0xFF000000u);

    // A wider one: bars above and below.
    p = Parameters();
    p.BackBufferHeight = kHeight / 2;
    ASSERT_EQ(device_->Reset(&p), D3D_OK);
    ASSERT_EQ(device_->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF0000FFu, 1.0f, 0), D3D_OK);
    ASSERT_EQ(device_->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
    EXPECT_EQ(WindowPixel(kWidth / 2, kHeight / 2), 0xFF0000FFu);
    EXPECT_EQ(WindowPixel(5, kHeight / 4 + 2), 0xFF0000FFu);
    EXPECT_EQ(WindowPixel(5, kHeight / 4 - 2), 0xFF000000u);
    EXPECT_EQ(WindowPixel(kWidth - 5, kHeight - kHeight / 4 + 2), 0xFF000000u);
}

// The back buffer has no alpha: however it is drawn, reading its alpha gives
// 1, in blending as in the picture the window gets.
TEST_F(PresentGlTest, TheBackBuffersAlphaReadsOneWhateverIsDrawn)
{
    ASSERT_EQ(device_->Clear(0, nullptr, D3DCLEAR_TARGET, D3DCOLOR_ARGB(0x00, 0x20, 0x40, 0x60), 1.0f, 0), D3D_OK);
    ASSERT_EQ(device_->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE), D3D_OK);
    Draw(Quad(0, 0, kWidth / 2, kHeight, D3DCOLOR_ARGB(0x40, 0xFF, 0x00, 0x00)));
    // Source times the target's alpha: all of it when that alpha is 1.
    ASSERT_EQ(device_->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE), D3D_OK);
    ASSERT_EQ(device_->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_DESTALPHA), D3D_OK);
    ASSERT_EQ(device_->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_ZERO), D3D_OK);
    Draw(Quad(0, 0, kWidth, kHeight, D3DCOLOR_ARGB(0xFF, 0x00, 0xFF, 0x00)));
    ASSERT_EQ(device_->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
    for (int x : {5, static_cast<int>(kWidth) - 5}) {
        EXPECT_TRUE(ColorNear(BackBufferPixel(x, 5) | 0xFF000000u, 0xFF00FF00u)) << "x " << x;
        GLubyte rgba[4] = {};
        glReadBuffer(GL_BACK);
        glReadPixels(x, static_cast<GLint>(kHeight) - 6, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, rgba);
        EXPECT_EQ(rgba[1], 0xFF) << "x " << x;
        EXPECT_EQ(rgba[3], 0xFF) << "the window's alpha at x " << x;
    }
}

}  // namespace
}  // namespace d3d9test
