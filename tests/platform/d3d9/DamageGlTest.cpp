// The back buffer's draws wait until Present, which draws only where the frame
// differs from the one before. A texture changed after a draw showed it, within
// the frame or between frames, and a vertex buffer written again, still show
// what they held when drawn; an unchanged frame draws and shows nothing, and
// lets the driver return what the frames before it drew from and the heap its
// free pages.
#include "tests/platform/d3d9/DeviceFixture.h"

#include "platform/d3d9/TestHooks.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace damage_gl_test {

namespace {

using d3d9test::ColorNear;
using d3d9test::Quad;
using d3d9test::ResidentAnonKb;

constexpr DWORD kBlack = 0xFF000000u;
constexpr DWORD kRed = 0xFFFF0000u;
constexpr DWORD kGreen = 0xFF00FF00u;
constexpr DWORD kBlue = 0xFF0000FFu;
constexpr DWORD kWhite = 0xFFFFFFFFu;

class DamageGlTest : public d3d9test::DeviceFixture {
protected:
    void ClearBackBuffer()
    {
        ASSERT_EQ(device_->BeginScene(), D3D_OK);
        ASSERT_EQ(device_->Clear(0, nullptr, D3DCLEAR_TARGET, kBlack, 0.0f, 0), D3D_OK);
        ASSERT_EQ(device_->EndScene(), D3D_OK);
    }
    void Fill(IDirect3DTexture9* texture, DWORD colour)
    {
        D3DLOCKED_RECT locked{};
        ASSERT_EQ(texture->LockRect(0, &locked, nullptr, 0), D3D_OK);
        for (int y = 0; y < 8; ++y) {
            auto* row = reinterpret_cast<DWORD*>(static_cast<BYTE*>(locked.pBits) + y * locked.Pitch);
            for (int x = 0; x < 8; ++x) {
                row[x] = colour;
            }
        }
        ASSERT_EQ(texture->UnlockRect(0), D3D_OK);
    }
};

TEST_F(DamageGlTest, TexturesChangedAfterTheyWereDrawnShowWhatTheyHeldThen)
{
    // A render target drawn red, then cleared blue and drawn again in the
    // same frame; a managed texture drawn red, then filled green and drawn.
    IDirect3DTexture9* target = nullptr;
    IDirect3DSurface9* surface = nullptr;
    MakeTarget(8, 8, &target, &surface);
    IDirect3DTexture9* managed = MakeTexture(8, 8, std::vector<DWORD>(64, kRed));
    IDirect3DSurface9* back = nullptr;
    ASSERT_EQ(device_->GetRenderTarget(0, &back), D3D_OK);
    ASSERT_EQ(device_->SetRenderTarget(0, surface), D3D_OK);
    ClearBackBuffer();  // the target, red below
    ASSERT_EQ(device_->BeginScene(), D3D_OK);
    ASSERT_EQ(device_->Clear(0, nullptr, D3DCLEAR_TARGET, kRed, 0.0f, 0), D3D_OK);
    ASSERT_EQ(device_->EndScene(), D3D_OK);
    ASSERT_EQ(device_->SetRenderTarget(0, back), D3D_OK);

    for (int frame = 0; frame < 2; ++frame) {
        ClearBackBuffer();
        ASSERT_EQ(device_->SetTexture(0, target), D3D_OK);
        Draw(Quad(0, 0, 8, 8, kWhite));
        ASSERT_EQ(device_->SetRenderTarget(0, surface), D3D_OK);
        ASSERT_EQ(device_->BeginScene(), D3D_OK);
        ASSERT_EQ(device_->Clear(0, nullptr, D3DCLEAR_TARGET, frame == 0 ? kBlue : kRed, 0.0f, 0), D3D_OK);
        ASSERT_EQ(device_->EndScene(), D3D_OK);
        ASSERT_EQ(device_->SetRenderTarget(0, back), D3D_OK);
        Draw(Quad(10, 0, 18, 8, kWhite));

        ASSERT_EQ(device_->SetTexture(0, managed), D3D_OK);
        Fill(managed, kRed);
        Draw(Quad(0, 10, 8, 18, kWhite));
        Fill(managed, kGreen);
        Draw(Quad(10, 10, 18, 18, kWhite));
        ASSERT_EQ(device_->SetTexture(0, nullptr), D3D_OK);
        ASSERT_EQ(device_->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);

        SCOPED_TRACE(frame);
        // The second frame starts from the target blue, the first from red.
        EXPECT_TRUE(ColorNear(BackBufferPixel(4, 4), frame == 0 ? kRed : kBlue));
        EXPECT_TRUE(ColorNear(BackBufferPixel(14, 4), frame == 0 ? kBlue : kRed));
        EXPECT_TRUE(ColorNear(BackBufferPixel(4, 14), kRed));
        EXPECT_TRUE(ColorNear(BackBufferPixel(14, 14), kGreen));
        EXPECT_TRUE(ColorNear(BackBufferPixel(30, 30), kBlack));
    }
    back->Release();
    surface->Release();
    target->Release();
    managed->Release();
}

TEST_F(DamageGlTest, OnlyChangedFramesDrawAndAreShown)
{
    IDirect3DTexture9* managed = MakeTexture(8, 8, std::vector<DWORD>(64, kRed));
    const auto frame = [&](float x) {
        ClearBackBuffer();
        ASSERT_EQ(device_->SetTexture(0, managed), D3D_OK);
        Draw(Quad(x, 20, x + 8, 28, kWhite));
        ASSERT_EQ(device_->SetTexture(0, nullptr), D3D_OK);
        Draw(Quad(60, 60, 70, 70, kBlue));
        ASSERT_EQ(device_->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
    };
    frame(20);
    EXPECT_TRUE(ColorNear(BackBufferPixel(24, 24), kRed));
    const platform::d3d9::FrameCounts shown = Counts();

    // The same frame again: nothing drawn, nothing shown.
    frame(20);
    EXPECT_EQ(Counts().presents, shown.presents);
    EXPECT_EQ(Counts().backBufferDraws, shown.backBufferDraws);
    EXPECT_EQ(Counts().unchanged, shown.unchanged + 1);

    // The texture's pixels changed between frames: drawn again, and only
    // there (the clear and the sprite, not the blue square far away).
    Fill(managed, kGreen);
    frame(20);
    EXPECT_TRUE(ColorNear(BackBufferPixel(24, 24), kGreen));
    EXPECT_EQ(Counts().presents, shown.presents + 1);
    EXPECT_EQ(Counts().backBufferDraws, shown.backBufferDraws + 2);

    // Moved: the old place is cleared, the new one drawn.
    frame(40);
    EXPECT_TRUE(ColorNear(BackBufferPixel(24, 24), kBlack));
    EXPECT_TRUE(ColorNear(BackBufferPixel(44, 24), kGreen));
    EXPECT_TRUE(ColorNear(BackBufferPixel(65, 65), kBlue));

    // Drawn whole when asked, every frame shown.
    ASSERT_TRUE(platform::d3d9::SetFullRedraw(device_, true));
    const platform::d3d9::FrameCounts whole = Counts();
    frame(40);
    frame(40);
    EXPECT_EQ(Counts().presents, whole.presents + 2);
    EXPECT_EQ(Counts().backBufferDraws, whole.backBufferDraws + 6);
    EXPECT_TRUE(ColorNear(BackBufferPixel(44, 24), kGreen));
    managed->Release();
}

// Two sprites of a batch move far apart: each is drawn again in a rectangle of
// its own, and a triangle of the same batch under both, lying across both
// rectangles, must be drawn again in each, though each rectangle is sent only
// the triangles that reach it.
TEST_F(DamageGlTest, ATriangleOfABatchIsDrawnAgainInEveryRectangleItReaches)
{
    const auto frame = [&](float x) {
        std::vector<d3d9test::Vertex> list;
        const auto add = [&list](const std::vector<d3d9test::Vertex>& quad) {
            for (int corner : {0, 1, 2, 0, 2, 3}) {
                list.push_back(quad[static_cast<size_t>(corner)]);
            }
        };
        // The lower left half of the picture: y >= 0.75 x.
        const std::vector<d3d9test::Vertex> half = Quad(0, 0, 160, 120, kGreen);
        for (int corner : {0, 2, 3}) {
            list.push_back(half[static_cast<size_t>(corner)]);
        }
        add(Quad(x, 20, x + 8, 28, kRed));
        add(Quad(60 + x, 100, 68 + x, 108, kBlue));
        add(Quad(120, 20, 128, 28, kWhite));
        ClearBackBuffer();
        Draw(list, D3DPT_TRIANGLELIST);
        ASSERT_EQ(device_->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
    };
    frame(10);
    const platform::d3d9::FrameCounts shown = Counts();
    frame(14);
    // Two rectangles: the clear once over both, and in each the list's
    // triangles that reach it.
    EXPECT_EQ(Counts().backBufferDraws, shown.backBufferDraws + 3);
    EXPECT_TRUE(ColorNear(BackBufferPixel(11, 24), kGreen)) << "the old place of the first sprite";
    EXPECT_TRUE(ColorNear(BackBufferPixel(71, 104), kGreen)) << "the old place of the second";
    EXPECT_TRUE(ColorNear(BackBufferPixel(20, 24), kRed));
    EXPECT_TRUE(ColorNear(BackBufferPixel(80, 104), kBlue));
    EXPECT_TRUE(ColorNear(BackBufferPixel(124, 24), kWhite));
    EXPECT_TRUE(ColorNear(BackBufferPixel(150, 10), kBlack));
}


// Frames drawn only where they changed equal, pixel for pixel, the same frames
// drawn whole: odd clear colours (a whole clear and a clear of a rectangle),
// soft sprites at fractional places, filtered and blended over a sprite that
// stands still, and one-pixel lines, one lying exactly on a row, moving by
// fractions of a pixel.
TEST_F(DamageGlTest, FramesDrawnWhereTheyChangedEqualTheFramesDrawnWhole)
{
    std::vector<DWORD> soft(64);
    for (int y = 0; y < 8; ++y) {
        for (int x = 0; x < 8; ++x) {
            const int edge = std::min(std::min(x, 7 - x), std::min(y, 7 - y));
            const DWORD alpha = static_cast<DWORD>(std::min(255, 40 + 70 * edge));
            soft[static_cast<size_t>(y * 8 + x)] = alpha << 24 | static_cast<DWORD>(30 * x) << 16 |
                                                   static_cast<DWORD>(30 * y) << 8 | 0xC0u;
        }
    }
    IDirect3DTexture9* texture = MakeTexture(8, 8, soft);
    const auto frame = [&](int f) {
        ASSERT_EQ(device_->BeginScene(), D3D_OK);
        ASSERT_EQ(device_->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF7A3D11u, 0.0f, 0), D3D_OK);
        const D3DRECT box{20, 70, 61, 101};
        ASSERT_EQ(device_->Clear(1, &box, D3DCLEAR_TARGET, 0xFF10E0A0u, 0.0f, 0), D3D_OK);
        ASSERT_EQ(device_->EndScene(), D3D_OK);
        std::vector<d3d9test::Vertex> list;
        const auto add = [&list](float left, float top, float side, D3DCOLOR colour) {
            const std::vector<d3d9test::Vertex> quad = Quad(left, top, left + side, top + side, colour);
            for (int corner : {0, 1, 2, 0, 2, 3}) {
                list.push_back(quad[static_cast<size_t>(corner)]);
            }
        };
        const float t = static_cast<float>(f);
        add(30, 30, 16, kWhite);                                 // stands still
        add(24 + 0.75f * t, 28.3f, 12, 0xC0FFFFFFu);              // moves over it
        add(52.4f + 0.5f * t, 90.6f + 0.25f * t, 14, 0xFFFF8040u);  // over the cleared box's edge
        add(130, 10, 10, kWhite);                                // stands still, far away
        ASSERT_EQ(device_->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE), D3D_OK);
        ASSERT_EQ(device_->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA), D3D_OK);
        ASSERT_EQ(device_->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA), D3D_OK);
        ASSERT_EQ(device_->SetSamplerState(0, D3DSAMP_MAGFILTER, D3DTEXF_LINEAR), D3D_OK);
        ASSERT_EQ(device_->SetSamplerState(0, D3DSAMP_MINFILTER, D3DTEXF_LINEAR), D3D_OK);
        ASSERT_EQ(device_->SetTexture(0, texture), D3D_OK);
        Draw(list, D3DPT_TRIANGLELIST);
        ASSERT_EQ(device_->SetTexture(0, nullptr), D3D_OK);
        ASSERT_EQ(device_->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE), D3D_OK);
        const auto vertex = [](float x, float y) { return d3d9test::Vertex{x, y, 0.0f, 1.0f, 0xFFFFFF00u, 0, 0}; };
        Draw({vertex(90.3f + 0.5f * t, 20), vertex(120.3f + 0.5f * t, 20)}, D3DPT_LINELIST);
        Draw({vertex(70 + 0.25f * t, 30.3f), vertex(70 + 0.25f * t, 60.3f)}, D3DPT_LINELIST);
        ASSERT_EQ(device_->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
    };
    constexpr int kFrames = 12;
    std::vector<std::vector<DWORD>> tracked;
    for (int f = 0; f < kFrames; ++f) {
        frame(f);
        tracked.push_back(ReadBackBuffer());
    }
    ASSERT_TRUE(platform::d3d9::SetFullRedraw(device_, true));
    for (int f = 0; f < kFrames; ++f) {
        frame(f);
        const std::vector<DWORD> whole = ReadBackBuffer();
        ASSERT_EQ(whole.size(), static_cast<size_t>(kWidth) * kHeight);
        ASSERT_EQ(tracked[static_cast<size_t>(f)].size(), whole.size());
        for (size_t i = 0; i < whole.size(); ++i) {
            ASSERT_EQ(tracked[static_cast<size_t>(f)][i], whole[i])
                << "frame " << f << ", pixel (" << i % kWidth << ", " << i / kWidth << ")";
        }
    }
    texture->Release();
}

// A large render target drawn in one frame and released: once a frame shows
// without it, the picture may stand still for seconds with nothing drawn, and
// its memory must not stay resident all that time.
TEST_F(DamageGlTest, WhatShownFramesDrewFromIsLetGoWhileThePictureStandsStill)
{
    constexpr UINT kSide = 2048;  // 16 MB of pixels
    constexpr long kPixelsKb = kSide * kSide * 4 / 1024;
    IDirect3DTexture9* target = nullptr;
    IDirect3DSurface9* surface = nullptr;
    MakeTarget(kSide, kSide, &target, &surface);
    IDirect3DSurface9* back = nullptr;
    ASSERT_EQ(device_->GetRenderTarget(0, &back), D3D_OK);
    ASSERT_EQ(device_->SetRenderTarget(0, surface), D3D_OK);
    ASSERT_EQ(device_->BeginScene(), D3D_OK);
    ASSERT_EQ(device_->Clear(0, nullptr, D3DCLEAR_TARGET, kRed, 0.0f, 0), D3D_OK);
    ASSERT_EQ(device_->EndScene(), D3D_OK);
    ASSERT_EQ(device_->SetRenderTarget(0, back), D3D_OK);
    back->Release();

    ClearBackBuffer();
    ASSERT_EQ(device_->SetTexture(0, target), D3D_OK);
    Draw(Quad(0, 0, 64, 64, kWhite));
    ASSERT_EQ(device_->SetTexture(0, nullptr), D3D_OK);
    ASSERT_EQ(device_->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
    const long held = ResidentAnonKb();
    surface->Release();
    target->Release();

    const auto frame = [&]() {
        ClearBackBuffer();
        Draw(Quad(0, 0, 64, 64, kBlue));
        ASSERT_EQ(device_->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
    };
    frame();  // shown without the target
    const platform::d3d9::FrameCounts shown = Counts();
    frame();  // the same again: the picture stands still
    EXPECT_EQ(Counts().presents, shown.presents);
    EXPECT_EQ(Counts().backBufferDraws, shown.backBufferDraws);
    EXPECT_TRUE(ColorNear(BackBufferPixel(10, 10), kBlue));
    EXPECT_LT(ResidentAnonKb(), held - kPixelsKb * 3 / 4) << "resident before: " << held << " kB";
}

// Blocks freed in the middle of the heap stay resident (the allocator trims
// only its top); once the picture stands still they are given back.
TEST_F(DamageGlTest, TheHeapsFreePagesAreGivenBackWhileThePictureStandsStill)
{
    // Below the size the allocator maps on its own, so they come from the heap.
    constexpr size_t kBlock = 96 * 1024;
    constexpr size_t kBlocks = 200;  // about 19 MB
    constexpr long kFreedKb = static_cast<long>(kBlock * kBlocks / 1024);
    const auto frame = [&]() {
        ClearBackBuffer();
        Draw(Quad(0, 0, 64, 64, kBlue));
        ASSERT_EQ(device_->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
    };
    frame();
    std::vector<void*> blocks;
    // One more than are freed: the last, kept, lies above them, so that freeing
    // them leaves a hole below the heap's top.
    for (size_t i = 0; i <= kBlocks; ++i) {
        blocks.push_back(std::malloc(kBlock));
        ASSERT_NE(blocks.back(), nullptr);
        std::memset(blocks.back(), 0x5a, kBlock);
    }
    const long filled = ResidentAnonKb();
    for (size_t i = 0; i < kBlocks; ++i) {
        std::free(blocks[i]);
    }
    const long held = ResidentAnonKb();
    ASSERT_GT(held, filled - kFreedKb / 4) << "freeing them gave them back already";
    frame();  // the same again: the picture stands still
    EXPECT_TRUE(ColorNear(BackBufferPixel(10, 10), kBlue));
    EXPECT_LT(ResidentAnonKb(), held - kFreedKb * 3 / 4) << "resident before: " << held << " kB";
    std::free(blocks.back());
}

}  // namespace

}  // namespace damage_gl_test
