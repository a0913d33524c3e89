// Styled text layout with the fixed-metric font (a word of n letters is
// 10n - 2 wide, a space advances 5, lines are 12 apart): words, wrapping,
// truncation, alignment, margins and automatic fitting.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "framework/graphics/text/TextTestFont.h"
#include "framework/scene/LabelStyle.h"

namespace label_style_test {

using namespace Qmv2;

namespace {

struct PlacedWord {
    std::string text;
    float x;
    float y;
    bool operator==(const PlacedWord&) const = default;
};

std::ostream& operator<<(std::ostream& out, const PlacedWord& word)
{
    return out << '"' << word.text << "\" at (" << word.x << ", " << word.y << ")";
}

class LabelStyleTest : public ::testing::Test {
protected:
    // A style of the given width with the fixed font; auto-fit off unless asked.
    SmartPtr<LabelStyle> MakeStyle(float width, std::int32_t wrap, bool autoFit = false, float padding = 0.0f)
    {
        SmartPtr<LabelStyle> style(new LabelStyle(nullptr));
        style->SetFont(texttest::MakeFixedFont(padding).Get());
        style->SetWrapStyle(wrap);
        style->SetAutoFit(autoFit);
        style->SetSize(width, 0.0f);
        return style;
    }

    static std::vector<std::vector<PlacedWord>> Lines(const LabelStyle& style)
    {
        std::vector<std::vector<PlacedWord>> lines;
        for (const SmartPtr<TextLine>& line : style.GetLines()) {
            lines.emplace_back();
            for (const SmartPtr<Label>& word : line->GetWords()) {
                lines.back().push_back({word->GetText().GetString(), word->GetX(), word->GetY()});
            }
        }
        return lines;
    }
};

using Words = std::vector<PlacedWord>;

TEST_F(LabelStyleTest, WordWrapMovesAWordThatDoesNotFitToTheNextLine)
{
    auto style = MakeStyle(40, LabelStyle::kWordWrap);
    style->SetText("abc de");
    const auto lines = Lines(*style);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], (Words{{"abc", 0, 0}}));
    EXPECT_EQ(lines[1], (Words{{"de", 0, 12}}));
    // The pen stands below the last line when the cell height is added.
    EXPECT_FLOAT_EQ(style->GetHeight(), 24.0f + 10.0f);
}

TEST_F(LabelStyleTest, WordWrapBreaksOnlyAtBlanksAndDropsAWordWiderThanTheStyle)
{
    auto style = MakeStyle(60, LabelStyle::kWordWrap);
    style->SetText("ab-cd ef abcdefghijk gh");
    const auto lines = Lines(*style);
    ASSERT_EQ(lines.size(), 2u);
    // "ab-cd" (48) stays whole; "ef" at 53 would end at 71: next line.
    EXPECT_EQ(lines[0], (Words{{"ab-cd", 0, 0}}));
    // The eleven-letter word (108) is wider than the style and vanishes.
    EXPECT_EQ(lines[1], (Words{{"ef", 0, 12}, {"gh", 28, 12}}));
}

TEST_F(LabelStyleTest, TruncationEndsTheLineWithAnEllipsis)
{
    // "ab" ends at 18, the pen stands at 23; "a..." is 38 wide and fits in 70.
    auto style = MakeStyle(70, LabelStyle::kTruncate);
    style->SetText("ab abcdefgh cd");
    EXPECT_EQ(Lines(*style), (std::vector<Words>{{{"ab", 0, 0}, {"a...", 23, 0}}}));
    // Nothing widened the style.
    EXPECT_FLOAT_EQ(style->GetWidth(), 70.0f);
    EXPECT_FLOAT_EQ(style->GetLineRightEnd(), 0.0f);

    // In 60 even "a..." does not fit after "ab": the word vanishes and "ab"
    // is shortened instead.
    auto narrow = MakeStyle(60, LabelStyle::kTruncate);
    narrow->SetText("ab abcdefgh cd");
    EXPECT_EQ(Lines(*narrow), (std::vector<Words>{{{"a...", 0, 0}}}));

    auto longer = MakeStyle(60, LabelStyle::kTruncate);
    longer->SetText("abcde fghijkl");
    // "abcde" (48), pen 53, "f..." would end at 91: "abcde" loses three letters.
    EXPECT_EQ(Lines(*longer), (std::vector<Words>{{{"ab...", 0, 0}}}));

    // A truncated line takes no more words, the next line starts afresh.
    auto twoLines = MakeStyle(70, LabelStyle::kTruncate);
    twoLines->SetText("ab abcdefgh cd\nabcdefghij");
    EXPECT_EQ(Lines(*twoLines), (std::vector<Words>{{{"ab", 0, 0}, {"a...", 23, 0}}, {{"a...", 0, 12}}}));
}

TEST_F(LabelStyleTest, TruncationWithAutoFitDoesNotBlowUpTheWidth)
{
    auto style = MakeStyle(70, LabelStyle::kTruncate, true);
    style->SetText("ab abcdefgh cd");
    EXPECT_FLOAT_EQ(style->GetWidth(), 70.0f);
    EXPECT_EQ(Lines(*style).at(0).size(), 2u);
}

TEST_F(LabelStyleTest, SpacesAdvanceOnlyAfterTheFirstWordOfALine)
{
    auto style = MakeStyle(200, LabelStyle::kAutoWidth);
    style->SetText("  ab  cd\n ef");
    EXPECT_EQ(Lines(*style), (std::vector<Words>{{{"ab", 0, 0}, {"cd", 28, 0}}, {{"ef", 0, 12}}}));
}

TEST_F(LabelStyleTest, GlyphMarginsOverlapBetweenWords)
{
    // With a layer padding of 2, "ab" is 22 wide (margins included) and a
    // space moves the pen by its advance (2 + 5) less both margins.
    auto style = MakeStyle(200, LabelStyle::kAutoWidth, false, 2.0f);
    style->SetText("ab cd");
    EXPECT_EQ(Lines(*style), (std::vector<Words>{{{"ab", 0, 0}, {"cd", 25, 0}}}));
    EXPECT_FLOAT_EQ(style->GetLines()[0]->GetWords()[0]->GetWidth(), 22.0f);
    EXPECT_FLOAT_EQ(style->GetLines()[0]->GetWords()[0]->GetHeight(), 14.0f);
}

TEST_F(LabelStyleTest, AlignmentMovesWholeLinesByTheRoomLeft)
{
    auto centre = MakeStyle(100, LabelStyle::kAutoWidth);
    centre->SetAlignH(LabelStyle::kCenter);
    centre->SetText("abc\nab cd");
    // Room 72 and 100 - 41 = 59: moved by 36 and 29.5 (floored).
    EXPECT_EQ(Lines(*centre), (std::vector<Words>{{{"abc", 36, 0}}, {{"ab", 29, 12}, {"cd", 52, 12}}}));

    auto right = MakeStyle(100, LabelStyle::kAutoWidth);
    right->SetAlignH(LabelStyle::kRight);
    right->SetText("abc");
    EXPECT_EQ(Lines(*right), (std::vector<Words>{{{"abc", 72, 0}}}));

    // An unknown alignment word is left alignment.
    auto other = MakeStyle(100, LabelStyle::kAutoWidth);
    other->SetAlignH(-1);
    other->SetText("abc");
    EXPECT_EQ(Lines(*other), (std::vector<Words>{{{"abc", 0, 0}}}));
}

TEST_F(LabelStyleTest, AutoFitGrowsTheSpriteToTheText)
{
    auto style = MakeStyle(20, LabelStyle::kAutoWidth, true);
    style->SetText("abcdef\nab");
    EXPECT_FLOAT_EQ(style->GetWidth(), 58.0f);
    EXPECT_FLOAT_EQ(style->GetHeight(), 24.0f + 10.0f);

    auto fixed = MakeStyle(20, LabelStyle::kAutoWidth, false);
    fixed->SetText("abcdef\nab");
    EXPECT_FLOAT_EQ(fixed->GetWidth(), 20.0f);
    EXPECT_FLOAT_EQ(fixed->GetHeight(), 24.0f + 10.0f);   // the height follows the text in either case

    SmartPtr<LabelStyle> bare(new LabelStyle(nullptr));
    bare->UpdateText();
    EXPECT_FLOAT_EQ(bare->GetWidth(), 1.0f);
    EXPECT_FLOAT_EQ(bare->GetHeight(), 1.0f);
}

TEST_F(LabelStyleTest, LineBreaksEscapesAndTheSameTextTwice)
{
    auto style = MakeStyle(200, LabelStyle::kAutoWidth);
    style->SetText("ab\r\ncd");
    EXPECT_EQ(Lines(*style), (std::vector<Words>{{{"ab", 0, 0}}, {}, {{"cd", 0, 24}}}));
    EXPECT_EQ(style->GetLayoutCount(), 1);
    style->SetText("ab\r\ncd");
    EXPECT_EQ(style->GetLayoutCount(), 1);

    // A backslash and n written in the text is a line feed.
    style->SetText("ab\\ncd");
    EXPECT_EQ(style->GetText().GetString(), "ab\ncd");
    EXPECT_EQ(Lines(*style).size(), 2u);

    // A backslash before "[" makes it text and leaves the stored text; "]"
    // is not in the font and takes the default glyph's 10.
    style->SetText("x a\\[b] c");
    EXPECT_EQ(style->GetText().GetString(), "x a[b] c");
    EXPECT_EQ(Lines(*style), (std::vector<Words>{{{"x", 0, 0}, {"a[b]", 13, 0}, {"c", 58, 0}}}));
}

TEST_F(LabelStyleTest, WithoutAFontWordsTakeNoRoom)
{
    SmartPtr<LabelStyle> style(new LabelStyle(nullptr));
    style->SetText("ab cd\nef");
    const auto lines = Lines(*style);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], (Words{{"ab", 0, 0}, {"cd", 0, 0}}));
    EXPECT_EQ(lines[1], (Words{{"ef", 0, 0}}));
}

}  // namespace

}  // namespace label_style_test
