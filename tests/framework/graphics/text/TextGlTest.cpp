// The baked button font (an outline layer under a face layer, both loaded
// as alpha-only masks) drawn on the GL device: straight through the font,
// and as styled text whose mark-up recolours the face, compared with
// golden images.
#include <gtest/gtest.h>

#include <SDL.h>

#include "framework/graphics/ScreenFixture.h"
#include "framework/core/app/GameWindowWin32.h"
#include "framework/graphics/draw/Graphics.h"
#include "framework/graphics/image/ImageManager.h"
#include "framework/graphics/render/RendererD3D.h"
#include "framework/scene/LabelStyle.h"
#include "framework/graphics/text/ResourceFont.h"
#include "platform/d3d9/Direct3D9Library.h"

namespace text_gl_test {

using namespace Qmv2;
using graphicstest::CompareWithGolden;
using graphicstest::Picture;

namespace {

constexpr int kTextWidth = 200;
constexpr int kTextHeight = 100;
constexpr std::uint32_t kBackground = 0xFF6A8CAFu;

class TextGlTest : public graphicstest::ScreenFixture {
protected:
    TextGlTest() : ScreenFixture("text test", kTextWidth, kTextHeight) {}

    void SetUp() override
    {
        ScreenFixture::SetUp();
        if (HasFatalFailure()) {
            return;
        }
        // Resource names are relative to the working folder, the build folder here.
        resource_ = new ResourceFont("run/fonts/button.xml");
        resource_->Load();
        ASSERT_EQ(resource_->GetErrorCode(), ResourceObject::kErrorNone) << resource_->ToString();
        font_ = resource_->GetFont();
        ASSERT_NE(font_, nullptr);
    }

    void TearDown() override
    {
        font_ = nullptr;
        resource_.Reset();
        ScreenFixture::TearDown();
    }

    void BeginScreen()
    {
        ASSERT_TRUE(screen_->Begin());
        screen_->Reset();
        screen_->SetPackedColor(kBackground);
        screen_->ClearTarget();
        screen_->Reset();
    }

    static int CountPixels(const Picture& picture, std::uint32_t rgb, int tolerance)
    {
        int count = 0;
        for (std::uint32_t pixel : picture.argb) {
            bool near = true;
            for (int shift : {0, 8, 16}) {
                near = near && std::abs(static_cast<int>((pixel >> shift) & 0xFF) -
                                        static_cast<int>((rgb >> shift) & 0xFF)) <= tolerance;
            }
            count += near ? 1 : 0;
        }
        return count;
    }

    SmartPtr<ResourceFont> resource_;
    FontBitmap* font_ = nullptr;
};

TEST_F(TextGlTest, BakedLayersAreMasksTintedByTheirColours)
{
    EXPECT_EQ(font_->GetLayerCount(), 2);
    EXPECT_FALSE(font_->HasFixedColors());
    EXPECT_EQ(Color(font_->GetLayerColor()), Color(0xFFFFFFFFu));
    EXPECT_GT(font_->GetGlyphMargin(), 0.0f);

    BeginScreen();
    screen_->SetPosition(8.0f, 10.0f);
    FontTextBlock block;
    block.lines.PushBack(FontTextLine{"Quorvel AV", 0.0f, 0.0f});
    block.lines.PushBack(FontTextLine{"\xE2\x80\x9CPlay\xE2\x80\x9D", 0.0f, 40.0f});
    font_->Draw(*screen_, block);
    ASSERT_TRUE(screen_->End());
    const Picture picture = Capture();
    // White face letters on the dark outline colour (#1d3557).
    EXPECT_GT(CountPixels(picture, 0xFFFFFF, 8), 300);
    EXPECT_GT(CountPixels(picture, 0x1D3557, 8), 300);
    EXPECT_EQ(CompareWithGolden("text_button_font", picture), "");
}

TEST_F(TextGlTest, MarkupColoursTheFaceOfStyledText)
{
    SmartPtr<LabelStyle> style(new LabelStyle(nullptr));
    style->SetFont(font_);
    style->SetWrapStyle(LabelStyle::kWordWrap);
    style->SetSize(180.0f, 0.0f);
    style->SetX(10.0f);
    style->SetY(6.0f);
    style->SetText("Plain [color=#e63946,1]red face[/color] and [alignh=right]right");
    ASSERT_GE(style->GetLines().GetCount(), 2);
    ASSERT_NE(style->GetImageSet(), nullptr);
    ASSERT_NE(style->GetImageSet()->GetFirstFrame(), nullptr);

    BeginScreen();
    style->Render(*screen_);
    ASSERT_TRUE(screen_->End());
    const Picture picture = Capture();
    EXPECT_GT(CountPixels(picture, 0xE63946, 12), 100) << "the face of the coloured words";
    EXPECT_GT(CountPixels(picture, 0xFFFFFF, 8), 100) << "the face of the plain words";
    EXPECT_EQ(CompareWithGolden("text_styled_markup", picture), "");
}

}  // namespace

}  // namespace text_gl_test
