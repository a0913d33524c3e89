// Pictures drawn through the drawing object on the real Direct3D stand-in,
// compared with golden images.
#include <gtest/gtest.h>

#include <SDL.h>

#include "ScreenFixture.h"
#include "framework/core/app/GameWindowWin32.h"
#include "framework/core/object/SmartPtr.h"
#include "framework/graphics/draw/Graphics.h"
#include "framework/graphics/image/Image.h"
#include "framework/graphics/image/ImageManager.h"
#include "framework/graphics/render/RendererD3D.h"
#include "platform/d3d9/Direct3D9Library.h"
#include "platform/d3d9/TestHooks.h"

namespace render_gl_test {

using namespace Qmv2;
using graphicstest::CompareWithGolden;
using graphicstest::Picture;

namespace {

constexpr int kWidth = 160;
constexpr int kHeight = 120;

class RenderGlTest : public graphicstest::ScreenFixture {
protected:
    RenderGlTest() : ScreenFixture("graphics test", kWidth, kHeight) {}

    // A texture of w x h whose pixels come from `pixel(x, y)` (ARGB).
    template <typename Pixel>
    SmartPtr<ImageData> MakeTexture(int w, int h, Pixel pixel, bool alphaOnly = false)
    {
        SmartPtr<ImageData> data(renderer_->CreateTexture(w, h));
        EXPECT_TRUE(data->Lock(false));
        auto* bytes = static_cast<std::uint8_t*>(data->GetBits());
        for (int y = 0; y < h; ++y) {
            auto* row = reinterpret_cast<std::uint32_t*>(bytes + y * data->GetPitch());
            for (int x = 0; x < w; ++x) {
                row[x] = pixel(x, y);
            }
        }
        EXPECT_TRUE(data->Unlock());
        data->SetAlphaOnly(alphaOnly);
        return data;
    }

    // Puts the image frame at (x, y) with the given size into the drawing object.
    static void Place(Graphics* g, ImageFrame* frame, float x, float y, float w, float h)
    {
        g->Reset();
        g->SetImage(frame);
        g->SetBoundsRect({0, 0, w, h});
        g->SetPosition(x, y);
    }

    void Clear(std::uint32_t argb)
    {
        screen_->Reset();
        screen_->SetPackedColor(argb);
        screen_->ClearTarget();
        screen_->Reset();
    }

};

std::uint32_t Gradient(int x, int y)
{
    // Red rising to the right, alpha rising downwards.
    const auto red = static_cast<std::uint32_t>(x * 255 / 15);
    const auto alpha = static_cast<std::uint32_t>(y * 255 / 15);
    return (alpha << 24) | (red << 16) | 0x0040FFu;
}

}  // namespace

TEST_F(RenderGlTest, EachBlendMode)
{
    SmartPtr<ImageData> texture = MakeTexture(16, 16, Gradient);
    SmartPtr<Image> image(new Image(texture.Get(), 1, 1));
    screen_->Begin();
    Clear(0xFF806040u);
    for (int mode = 0; mode <= 6; ++mode) {
        Place(screen_, image->GetFirstFrame(), 4.0f + mode * 22.0f, 20.0f, 20.0f, 80.0f);
        screen_->SetBlendMode(mode);
        screen_->DrawImage();
    }
    ASSERT_TRUE(screen_->End());
    const Picture picture = Capture();
    // Mode 2 adds: the bottom (opaque) right of its column is saturated red.
    EXPECT_EQ(picture.At(4 + 2 * 22 + 18, 96) & 0x00FF0000u, 0x00FF0000u);
    // Mode 4 copies: the top row (alpha 0) still shows the texture's blue.
    EXPECT_EQ(picture.At(4 + 4 * 22 + 2, 21) & 0xFFu, 0xFFu);
    EXPECT_EQ(CompareWithGolden("blend_modes", picture), "");
}

TEST_F(RenderGlTest, AlphaOnlyTextureTakesTheVertexColour)
{
    SmartPtr<ImageData> mask = MakeTexture(16, 16, [](int x, int y) {
        return (x + y) % 2 == 0 || (x > 4 && x < 11) ? 0xFF000000u : 0x00000000u;
    }, true);
    SmartPtr<Image> image(new Image(mask.Get(), 1, 1));
    screen_->Begin();
    Clear(0xFF000000u);
    Place(screen_, image->GetFirstFrame(), 20, 20, 64, 64);
    screen_->SetPackedColor(0xFF20E040u);
    screen_->DrawImage();
    ASSERT_TRUE(screen_->End());
    const Picture picture = Capture();
    EXPECT_EQ(picture.At(52, 52), 0xFF20E040u) << "colour from the vertices, shape from the texture";
    EXPECT_EQ(CompareWithGolden("alpha_only", picture), "");
}

TEST_F(RenderGlTest, UntexturedShapesAndOutlines)
{
    screen_->Begin();
    Clear(0xFFFFFFFFu);
    screen_->SetPackedColor(0xFF2050C0u);
    screen_->DrawRect({10, 10, 60, 40});
    screen_->SetPackedColor(0x80C02020u);
    screen_->SetRotation(0.5f);
    screen_->SetPosition(100, 60);
    screen_->DrawRect({0, 0, 40, 40});
    screen_->Reset();
    screen_->SetPackedColor(0xFF000000u);
    screen_->SetBoundsRect({20, 70, 50, 30});
    screen_->DrawLines();
    screen_->SetSolidFill(true);
    screen_->SetPackedColor(0xFF10A010u);
    screen_->SetBoundsRect({25, 75, 41, 21});
    screen_->DrawImage();
    ASSERT_TRUE(screen_->End());
    const Picture picture = Capture();
    EXPECT_EQ(picture.At(40, 30), 0xFF2050C0u);
    EXPECT_EQ(picture.At(30, 80), 0xFF10A010u);
    EXPECT_EQ(CompareWithGolden("untextured", picture), "");
}

TEST_F(RenderGlTest, CrossingClips)
{
    SmartPtr<ImageData> texture = MakeTexture(16, 16, [](int x, int y) {
        return ((x / 4 + y / 4) % 2 == 0) ? 0xFFF0C020u : 0xFF2020A0u;
    });
    SmartPtr<Image> image(new Image(texture.Get(), 1, 1));
    screen_->Begin();
    Clear(0xFF303030u);
    screen_->PushClip(PolygonF(20, 20, 80, 60));
    PolygonF diamond;
    diamond.AddVertex(PolygonPointF(80, 10));
    diamond.AddVertex(PolygonPointF(140, 60));
    diamond.AddVertex(PolygonPointF(80, 110));
    diamond.AddVertex(PolygonPointF(20, 60));
    screen_->PushClip(diamond);
    Place(screen_, image->GetFirstFrame(), 0, 0, 160, 120);
    screen_->DrawImage();
    screen_->PopClip();
    screen_->PopClip();
    ASSERT_TRUE(screen_->End());
    const Picture picture = Capture();
    EXPECT_EQ(picture.At(22, 22), 0xFF303030u) << "outside the diamond";
    EXPECT_EQ(picture.At(110, 60), 0xFF303030u) << "outside the rectangle";
    EXPECT_NE(picture.At(80, 50), 0xFF303030u);
    EXPECT_EQ(CompareWithGolden("clips", picture), "");
}

TEST_F(RenderGlTest, NestedColourAndMatrixStacks)
{
    SmartPtr<ImageData> texture = MakeTexture(8, 8, [](int, int) { return 0xFFFFFFFFu; });
    SmartPtr<Image> image(new Image(texture.Get(), 1, 1));
    screen_->Begin();
    Clear(0xFF000000u);
    Matrix3x3 move;
    move.m02 = 20;
    move.m12 = 10;
    screen_->PushMatrix(move);
    screen_->PushColor(Color(1.0f, 1.0f, 0.5f, 0.5f));
    Place(screen_, image->GetFirstFrame(), 0, 0, 40, 40);
    screen_->DrawImage();
    Matrix3x3 scale;
    scale.m00 = 0.5f;
    scale.m11 = 0.5f;
    scale.m02 = 100;
    screen_->PushMatrix(scale);
    screen_->PushAlpha(0.5f);
    Place(screen_, image->GetFirstFrame(), 0, 0, 80, 80);
    screen_->DrawImage();
    screen_->PopColor();
    screen_->PopMatrix();
    screen_->PopColor();
    screen_->PopMatrix();
    Place(screen_, image->GetFirstFrame(), 10, 80, 20, 20);
    screen_->DrawImage();
    ASSERT_TRUE(screen_->End());
    const Picture picture = Capture();
    EXPECT_EQ(picture.At(30, 20), 0xFFFF8080u);
    EXPECT_EQ(picture.At(15, 90), 0xFFFFFFFFu) << "popped stacks no longer apply";
    EXPECT_EQ(picture.At(125, 30), 0xFF804040u) << "alpha halves the tint over black";
    EXPECT_EQ(CompareWithGolden("stacks", picture), "");
}

TEST_F(RenderGlTest, RenderToTextureInsideAFrame)
{
    SmartPtr<ImageData> texture = MakeTexture(8, 8, [](int x, int) { return x < 4 ? 0xFFE02020u : 0xFF20E020u; });
    SmartPtr<Image> image(new Image(texture.Get(), 1, 1));
    SmartPtr<Image> target(Image::CreateRenderTarget(50, 30, true));
    ASSERT_EQ(target->GetFrameCount(), 1);
    SmartPtr<Graphics> inner(target->CreateGraphics());

    screen_->Begin();
    Clear(0xFF202060u);
    Place(screen_, image->GetFirstFrame(), 5, 5, 30, 30);
    screen_->DrawImage();
    inner->Begin();
    inner->SetPackedColor(0xFFFFFF00u);
    inner->ClearTarget();
    Place(inner.Get(), image->GetFirstFrame(), 10, 5, 30, 20);
    inner->DrawImage();
    ASSERT_TRUE(inner->End());
    Place(screen_, target->GetFirstFrame(), 60, 50, 50, 30);
    screen_->DrawImage();
    ASSERT_TRUE(screen_->End());
    const Picture picture = Capture();
    EXPECT_EQ(picture.At(10, 10), 0xFFE02020u) << "the screen's earlier slice survived the inner pass";
    EXPECT_EQ(picture.At(62, 52), 0xFFFFFF00u) << "the texture's clear";
    EXPECT_EQ(CompareWithGolden("render_to_texture", picture), "");
}

TEST_F(RenderGlTest, UnloadedDrawableTextureIsDrawnAgain)
{
    SmartPtr<Image> target(Image::CreateRenderTarget(40, 40, true));
    SmartPtr<Graphics> inner(target->CreateGraphics());
    inner->Begin();
    inner->SetPackedColor(0xFF40C0C0u);
    inner->ClearTarget();
    inner->SetPackedColor(0xFFC04040u);
    inner->DrawRect({10, 10, 20, 20});
    ASSERT_TRUE(inner->End());
    ImageData* data = target->GetFirstFrame()->GetImageData();
    data->SetLastUseTime(0);
    ImageManager::GetInstance()->UnloadIdle(10000);
    ASSERT_TRUE(data->IsReleased());

    screen_->Begin();
    Clear(0xFF000000u);
    Place(screen_, target->GetFirstFrame(), 60, 40, 40, 40);
    screen_->DrawImage();
    ASSERT_TRUE(screen_->End());
    EXPECT_FALSE(data->IsReleased());
    const Picture picture = Capture();
    EXPECT_EQ(picture.At(62, 42), 0xFF40C0C0u);
    EXPECT_EQ(picture.At(80, 60), 0xFFC04040u);
    EXPECT_EQ(CompareWithGolden("unloaded_redrawn", picture), "");
}

TEST_F(RenderGlTest, RestoreAfterInjectedDeviceLoss)
{
    SmartPtr<ImageData> texture = MakeTexture(8, 8, [](int, int y) { return y < 4 ? 0xFFFFFFFFu : 0xFF0080FFu; });
    SmartPtr<Image> image(new Image(texture.Get(), 1, 1));
    SmartPtr<Image> target(Image::CreateRenderTarget(32, 32, false));
    SmartPtr<Graphics> inner(target->CreateGraphics());
    inner->Begin();
    inner->SetPackedColor(0xFFFF8000u);
    inner->ClearTarget();
    ASSERT_TRUE(inner->End());

    ASSERT_TRUE(platform::d3d9::SimulateDeviceLoss(renderer_->GetDevice(), 1));
    screen_->Begin();
    Place(screen_, image->GetFirstFrame(), 10, 10, 40, 40);
    screen_->DrawImage();
    EXPECT_FALSE(screen_->End()) << "the frame in which the device is lost is not drawn";
    EXPECT_TRUE(renderer_->IsDeviceLost());
    EXPECT_EQ(renderer_->Restore(), Renderer::kNone);
    EXPECT_FALSE(renderer_->IsDeviceLost());

    screen_->Begin();
    Clear(0xFF101010u);
    Place(screen_, image->GetFirstFrame(), 10, 10, 40, 40);
    screen_->DrawImage();
    Place(screen_, target->GetFirstFrame(), 90, 50, 32, 32);
    screen_->DrawImage();
    ASSERT_TRUE(screen_->End());
    const Picture picture = Capture();
    EXPECT_EQ(picture.At(30, 40), 0xFF0080FFu);
    EXPECT_EQ(picture.At(100, 60), 0xFFFF8000u) << "the drawable texture's content came back";
    EXPECT_EQ(CompareWithGolden("restored", picture), "");
}

}  // namespace render_gl_test
