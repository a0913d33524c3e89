// The mark-up tags of styled text, each through the layout or its handler.
#include <gtest/gtest.h>

#include "framework/graphics/text/TextTestFont.h"
#include "framework/scene/LabelStyle.h"
#include "framework/scene/StyleParser.h"

namespace style_parser_test {

using namespace Qmv2;

namespace {

class StyleParserTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        style_ = new LabelStyle(nullptr);
        style_->SetFont(texttest::MakeFixedFont().Get());
        style_->SetAutoFit(false);
        style_->SetSize(200, 0);
    }

    Label& Word(std::int32_t line, std::int32_t index) { return *style_->GetLines()[line]->GetWords()[index]; }
    std::int32_t LineCount() const { return style_->GetLines().GetCount(); }
    std::int32_t WordCount(std::int32_t line) const { return style_->GetLines()[line]->GetWords().GetCount(); }

    SmartPtr<LabelStyle> style_;
    SmartPtr<StyleParser> parser_{new StyleParser};
};

TEST_F(StyleParserTest, BreakTagIsCaseSensitiveAndUnknownTagsVanish)
{
    style_->SetText("ab[br]cd[BR]ef[zz=1]gh");
    ASSERT_EQ(LineCount(), 2);
    EXPECT_EQ(Word(0, 0).GetText().GetString(), "ab");
    // Unknown tags leave the words side by side with no gap.
    ASSERT_EQ(WordCount(1), 3);
    EXPECT_FLOAT_EQ(Word(1, 0).GetY(), 12.0f);
    EXPECT_FLOAT_EQ(Word(1, 1).GetX(), 18.0f);
    EXPECT_FLOAT_EQ(Word(1, 2).GetX(), 36.0f);
    EXPECT_EQ(parser_->Apply("Br", "", *style_), 0);
    EXPECT_EQ(parser_->Apply("tab", "", *style_), 1);
}

TEST_F(StyleParserTest, ColourTagsInEveryNotationAndTheirSlots)
{
    style_->SetText("[color=#FF0000]a [color=0xff0000]b [color=ff0000]c [color=00ff00,1]d [color=]e [color=zz]f");
    ASSERT_EQ(WordCount(0), 6);
    for (int i = 0; i < 3; ++i) {
        ASSERT_EQ(Word(0, i).GetColors().GetCount(), 1);
        const Color& red = Word(0, i).GetColors()[0];
        EXPECT_FLOAT_EQ(red.r, 1.0f);
        EXPECT_FLOAT_EQ(red.g, 0.0f);
        EXPECT_FLOAT_EQ(red.b, 0.0f);
    }
    // Slot 1: slot 0 is filled with opaque black.
    ASSERT_EQ(Word(0, 3).GetColors().GetCount(), 2);
    EXPECT_FLOAT_EQ(Word(0, 3).GetColors()[0].g, 0.0f);
    EXPECT_FLOAT_EQ(Word(0, 3).GetColors()[1].g, 1.0f);
    for (int i = 4; i < 6; ++i) {
        const Color& black = Word(0, i).GetColors()[0];
        EXPECT_FLOAT_EQ(black.r + black.g + black.b, 0.0f);
    }
    EXPECT_EQ(style_->GetColorStack().GetCount(), 6);
}

TEST_F(StyleParserTest, ClosingColourRestoresAndAnEmptyStackIsHarmless)
{
    style_->SetText("[/color]a [color=0000ff]b [/color]c");
    EXPECT_TRUE(Word(0, 0).GetColors().IsEmpty());
    EXPECT_FLOAT_EQ(Word(0, 1).GetColors()[0].b, 1.0f);
    EXPECT_TRUE(Word(0, 2).GetColors().IsEmpty());
    EXPECT_TRUE(style_->GetColorStack().IsEmpty());
}

TEST_F(StyleParserTest, TabStops)
{
    parser_->Apply("tabs", "100,200", *style_);
    ASSERT_EQ(style_->GetTabStops().GetCount(), 2);
    const auto tabFrom = [&](float pen, const std::string& argument) {
        style_->SetPenX(pen);
        parser_->Apply("tab", argument, *style_);
        return style_->GetPenX();
    };
    EXPECT_FLOAT_EQ(tabFrom(50, ""), 100.0f);
    EXPECT_FLOAT_EQ(tabFrom(100, ""), 100.0f);
    EXPECT_FLOAT_EQ(tabFrom(250, ""), 250.0f);
    EXPECT_FLOAT_EQ(tabFrom(250, "2"), 200.0f);
    EXPECT_FLOAT_EQ(tabFrom(50, "3"), 50.0f);
    EXPECT_FLOAT_EQ(tabFrom(50, "0"), 50.0f);
    EXPECT_FLOAT_EQ(tabFrom(50, "0x1"), 100.0f);
    // Fields that do not read as numbers are skipped.
    parser_->Apply("tabs", "x,60", *style_);
    ASSERT_EQ(style_->GetTabStops().GetCount(), 1);
    EXPECT_EQ(style_->GetTabStops()[0], 60);

    style_->SetText("[tabs=100,200]ab[tab]cd[tab=2]ef");
    EXPECT_FLOAT_EQ(Word(0, 1).GetX(), 100.0f);
    EXPECT_FLOAT_EQ(Word(0, 2).GetX(), 200.0f);
}

TEST_F(StyleParserTest, StackedSettingsAndWordsOutsideTheirLists)
{
    parser_->Apply("wrapstyle", "truncate", *style_);
    EXPECT_EQ(style_->GetWrapStyle(), LabelStyle::kTruncate);
    parser_->Apply("wrapstyle", "squeeze", *style_);
    EXPECT_EQ(style_->GetWrapStyle(), LabelStyle::kTruncate);
    EXPECT_EQ(style_->GetWrapStyleStack().GetCount(), 2);
    parser_->Apply("/wrapstyle", "", *style_);
    EXPECT_EQ(style_->GetWrapStyle(), LabelStyle::kTruncate);
    parser_->Apply("/wrapstyle", "", *style_);
    EXPECT_EQ(style_->GetWrapStyle(), LabelStyle::kAutoWidth);
    parser_->Apply("/wrapstyle", "", *style_);
    EXPECT_EQ(style_->GetWrapStyle(), LabelStyle::kAutoWidth);

    parser_->Apply("alignv", "bottom", *style_);
    EXPECT_EQ(style_->GetAlignV(), LabelStyle::kBottom);
    parser_->Apply("/alignv", "", *style_);
    EXPECT_EQ(style_->GetAlignV(), LabelStyle::kTop);
    parser_->Apply("alignh", "Right", *style_);
    EXPECT_EQ(style_->GetAlignH(), LabelStyle::kLeft);
}

TEST_F(StyleParserTest, TheLastHorizontalAlignmentOfALineDecides)
{
    style_->SetText("[alignh=center]ab [alignh=right]cd[br]ef[/alignh]");
    // Line 1: 41 wide, room 159, right aligned.
    EXPECT_FLOAT_EQ(Word(0, 0).GetX(), 159.0f);
    EXPECT_FLOAT_EQ(Word(0, 1).GetX(), 182.0f);
    // Line 2 ends after "/alignh" took it back to centre: room 182.
    EXPECT_FLOAT_EQ(Word(1, 0).GetX(), 91.0f);
    // Not closed before the end: stays in force for the next layout.
    EXPECT_EQ(style_->GetAlignH(), LabelStyle::kCenter);
}

TEST_F(StyleParserTest, WidthAndWrapTagsTakeEffectForLaterWords)
{
    style_->SetText("[wrapstyle=wordwrap][width=30]ab cd [width=x]ef");
    EXPECT_FLOAT_EQ(style_->GetWidth(), 30.0f);
    ASSERT_EQ(LineCount(), 3);
    EXPECT_FLOAT_EQ(Word(1, 0).GetY(), 12.0f);
    EXPECT_FLOAT_EQ(Word(2, 0).GetY(), 24.0f);
}

TEST_F(StyleParserTest, FontTagsWithoutAResourceLeaveNoFontUntilClosed)
{
    style_->SetText("ab [font=missing]cd [/font]ef");
    ASSERT_EQ(WordCount(0), 3);
    EXPECT_EQ(Word(0, 1).GetFont(), nullptr);
    EXPECT_FLOAT_EQ(Word(0, 1).GetWidth(), 0.0f);
    // No font, no space advance: "ef" starts where "cd" (nothing) ended.
    EXPECT_FLOAT_EQ(Word(0, 2).GetX(), 23.0f);
    EXPECT_NE(Word(0, 2).GetFont(), nullptr);
    EXPECT_TRUE(style_->GetFontStack().IsEmpty());
}

TEST_F(StyleParserTest, ImageWithoutFlowEndsTheLineAndTextContinuesBelow)
{
    style_->SetText("ab [image=missing,section,right,none]cd");
    ASSERT_EQ(LineCount(), 2);
    ASSERT_EQ(style_->GetImages().GetCount(), 1);
    const Sprite& image = *style_->GetImages()[0];
    EXPECT_EQ(image.GetImageSet(), nullptr);
    EXPECT_FLOAT_EQ(image.GetX(), 200.0f);
    EXPECT_FLOAT_EQ(image.GetY(), 12.0f);
    EXPECT_FLOAT_EQ(Word(1, 0).GetX(), 0.0f);
    EXPECT_FLOAT_EQ(Word(1, 0).GetY(), 12.0f);
    // Setting a text empties the image list before the layout.
    style_->SetText("plain");
    EXPECT_TRUE(style_->GetImages().IsEmpty());
}

TEST_F(StyleParserTest, UnclosedTagSwallowsTheRest)
{
    style_->SetText("ab [color=ff0000 cd ef");
    ASSERT_EQ(LineCount(), 1);
    EXPECT_EQ(WordCount(0), 1);
    EXPECT_EQ(style_->GetColorStack().GetCount(), 1);
}

}  // namespace

}  // namespace style_parser_test
