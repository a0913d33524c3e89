// Present flips the back buffer once into the window, letterboxed or into the
// rectangle the window layer sets, or shows the window's own back buffer where
// that holds the picture.
#include "DeviceFixture.h"
#include "WindowPixels.h"

#include "platform/d3d9/TestHooks.h"
#include "tests/SkipOutsideCi.h"

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

// Frames that change a few small places are drawn only there, and frames
// that change nothing are not shown again. What the window shows, read back
// from the display, must still be the whole picture after each: the places
// changed in earlier frames, the bars beside a letterboxed picture, and, once
// the window was painted over and uncovered, everything again; a scaled
// picture ends as a whole redraw shows it.
TEST_F(PresentGlTest, TheWindowShowsTheWholePictureAfterFramesDrawnInParts)
{
    struct Case {
        UINT width, height;
        bool oneToOne;  // the window holds the back buffer's pixels as they are
    };
    for (const Case& c : {Case{kWidth, kHeight, true}, Case{kWidth / 2, kHeight, true},
                          Case{kWidth / 2, kHeight / 2, false}}) {
        SCOPED_TRACE(testing::Message() << "back buffer " << c.width << " x " << c.height);
        D3DPRESENT_PARAMETERS p = Parameters();
        p.BackBufferWidth = c.width;
        p.BackBufferHeight = c.height;
        ASSERT_EQ(device_->Reset(&p), D3D_OK);
        const float w = static_cast<float>(c.width);
        const float h = static_cast<float>(c.height);
        // A still square, one that moves right a step a frame, one that
        // changes colour; steps 3 and 4 change nothing.
        const auto frame = [&](int step) {
            const int moved = std::min(step, 2) + std::max(step - 4, 0);
            const bool white = step >= 2 && (step < 5 || step % 2 == 1);
            ASSERT_EQ(device_->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF101820u, 1.0f, 0), D3D_OK);
            Draw(Quad(4, 4, 14, 14, 0xFF0000FFu));
            const float x = 6.0f + 9.0f * static_cast<float>(moved);
            Draw(Quad(x, h / 2, x + 7, h / 2 + 9, 0xFFFF0000u));
            Draw(Quad(w - 16, h - 12, w - 6, h - 4, white ? 0xFFFFFFFFu : 0xFF00FF00u));
            ASSERT_EQ(device_->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
        };
        // The window as it should be: black bars, the back buffer one to one in between.
        const auto expected = [&] {
            IDirect3DSurface9* back = nullptr;
            EXPECT_EQ(device_->GetRenderTarget(0, &back), D3D_OK);
            const std::vector<DWORD> picture = ReadPixels(back, c.width, c.height, D3DFMT_X8R8G8B8);
            back->Release();
            std::vector<std::uint32_t> window(static_cast<size_t>(kWidth) * kHeight, 0xFF000000u);
            const UINT left = (kWidth - c.width) / 2;
            for (UINT y = 0; y < c.height && !picture.empty(); ++y) {
                for (UINT x = 0; x < c.width; ++x) {
                    window[y * kWidth + left + x] = picture[y * c.width + x] | 0xFF000000u;
                }
            }
            return window;
        };
        const platform::d3d9::FrameCounts before = Counts();
        std::vector<std::uint32_t> lastShown;
        for (int step = 0; step < 7; ++step) {
            if (step == 3) {
                // Painted over behind the device's back, then uncovered.
                ASSERT_TRUE(ScribbleOnWindow(s_window, kWidth, kHeight));
                SDL_Event exposed{};
                exposed.type = SDL_WINDOWEVENT;
                exposed.window.event = SDL_WINDOWEVENT_EXPOSED;
                exposed.window.windowID = SDL_GetWindowID(s_window);
                SDL_PushEvent(&exposed);
            }
            frame(step);
            lastShown = ShownPixels(s_window, kWidth, kHeight);
            ASSERT_EQ(lastShown.size(), static_cast<size_t>(kWidth) * kHeight);
            if (c.oneToOne) {
                ASSERT_EQ(lastShown, expected()) << "step " << step;
            }
        }
        SDL_FlushEvent(SDL_WINDOWEVENT);
        const platform::d3d9::FrameCounts after = Counts();
        // Step 4 changed nothing and was not shown; step 3 neither, but the
        // window had been uncovered.
        EXPECT_EQ(after.presents - before.presents, 6u);
        EXPECT_LT(after.backBufferDraws - before.backBufferDraws, 7u * 4u) << "drawn in parts";

        // The same picture drawn and shown whole.
        ASSERT_TRUE(platform::d3d9::SetFullRedraw(device_, true));
        frame(6);
        ASSERT_TRUE(platform::d3d9::SetFullRedraw(device_, false));
        EXPECT_EQ(ShownPixels(s_window, kWidth, kHeight), lastShown);
    }
}

// Where the window shows the back buffer one to one, the window's own back
// buffer holds the picture and is shown as it is; once the window is resized,
// the picture moves out to be shown letterboxed, and back in when the window
// fits again. A frame drawn over the last one without clearing it must find
// that picture wherever it lives.
TEST_F(PresentGlTest, ThePictureFollowsTheWindowOutOfAndBackIntoPlace)
{
    const auto resize = [&](int width) {
        SDL_SetWindowSize(s_window, width, static_cast<int>(kHeight));
        SDL_PumpEvents();
        int w = 0;
        int h = 0;
        SDL_GL_GetDrawableSize(s_window, &w, &h);
        ASSERT_EQ(w, width);
    };
    const auto present = [&] { ASSERT_EQ(device_->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK); };
    const auto clearAndDraw = [&](float x) {
        ASSERT_EQ(device_->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF101820u, 1.0f, 0), D3D_OK);
        Draw(Quad(4, 4, 14, 14, 0xFF0000FFu));
        Draw(Quad(x, 50, x + 7, 59, 0xFFFF0000u));
    };
    const auto inPlace = [&] { return Counts().shownInPlace; };
    const auto windowShowsBackBuffer = [&] {
        const std::vector<DWORD> picture = ReadBackBuffer();
        std::vector<std::uint32_t> window(picture.size());
        for (size_t i = 0; i < picture.size(); ++i) {
            window[i] = picture[i] | 0xFF000000u;
        }
        EXPECT_EQ(ShownPixels(s_window, kWidth, kHeight), window);
    };

    clearAndDraw(10);
    const unsigned long before = inPlace();
    present();
    clearAndDraw(19);
    present();
    if (inPlace() == before) {
        QMV_SKIP_OUTSIDE_CI("this GL cannot keep the picture in the window's back buffer");
    }
    EXPECT_EQ(inPlace(), before + 2);
    windowShowsBackBuffer();

    // Wider: the picture sits between bars and is no longer shown in place.
    resize(static_cast<int>(kWidth) + 40);
    clearAndDraw(28);
    present();
    EXPECT_EQ(inPlace(), before + 2);
    const std::vector<DWORD> letterboxed = ReadBackBuffer();
    ASSERT_TRUE(platform::d3d9::SetFullRedraw(device_, true));
    clearAndDraw(28);
    present();
    ASSERT_TRUE(platform::d3d9::SetFullRedraw(device_, false));
    EXPECT_EQ(ReadBackBuffer(), letterboxed) << "as drawn whole";

    // Back to fitting: a frame that only adds a square finds the picture.
    resize(static_cast<int>(kWidth));
    Draw(Quad(100, 80, 110, 90, 0xFFFFFFFFu));
    present();
    EXPECT_EQ(inPlace(), before + 3);
    windowShowsBackBuffer();
    std::vector<DWORD> expected = letterboxed;
    for (int y = 80; y < 90; ++y) {
        for (int x = 100; x < 110; ++x) {
            expected[static_cast<size_t>(y) * kWidth + x] = 0xFFFFFFFFu;
        }
    }
    const std::vector<DWORD> shown = ReadBackBuffer();
    ASSERT_EQ(shown.size(), expected.size());
    for (size_t i = 0; i < shown.size(); ++i) {
        ASSERT_EQ(shown[i] | 0xFF000000u, expected[i] | 0xFF000000u) << "pixel " << i % kWidth << ", " << i / kWidth;
    }
    SDL_FlushEvent(SDL_WINDOWEVENT);
}

}  // namespace
}  // namespace d3d9test
