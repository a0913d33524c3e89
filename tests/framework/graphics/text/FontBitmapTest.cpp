// Font descriptions, glyph look-up and substitution, both kerning
// notations, and the layout and measuring formulas.
#include <gtest/gtest.h>

#include "TextTestFont.h"
#include "framework/core/properties/PropertyVector.h"

namespace font_bitmap_test {

using namespace Qmv2;
using texttest::MakeFixedFont;
using texttest::MakeGlyph;
using texttest::MakeNode;

namespace {

SmartPtr<FontBitmap> FontFrom(PropertyNode* description)
{
    SmartPtr<PropertyNode> held(description);
    return SmartPtr<FontBitmap>(new FontBitmap(description));
}

PropertyNode* WithChars(PropertyNode* description, std::initializer_list<PropertyNode*> glyphs,
                        const char* key = "chars")
{
    auto* vector = new PropertyVector(key);
    for (PropertyNode* glyph : glyphs) {
        vector->AddItem(glyph);
    }
    description->AddChild(vector);
    return description;
}

TEST(FontBitmapTest, ReadsMetricsAndGlyphsWithTheirCodeNotations)
{
    auto font = FontFrom(WithChars(MakeNode({{"charspacing", "1.5"}, {"lineheight", "20"}, {"baseline", "7"},
                                             {"spacewidth", "6"}}),
                                   {MakeNode({{"c", "#20"}, {"sw", "4"}, {"width", "4"}}),
                                    MakeNode({{"c", "#"}, {"sw", "3"}}), MakeNode({{"c", ""}, {"sw", "9"}}),
                                    MakeGlyph("\xC3\xA9", 7, 12, 8, 1, 3), MakeGlyph("#41", 5, 9, 6),
                                    MakeGlyph("A", 6, 2, 7)}));
    EXPECT_FLOAT_EQ(font->GetCharSpacing(), 1.5f);
    EXPECT_FLOAT_EQ(font->GetLineHeight(), 20.0f);
    EXPECT_FLOAT_EQ(font->GetBaseline(), 7.0f);
    // "#20" overrides what "spacewidth" gave the space; the no-break space keeps it.
    EXPECT_FLOAT_EQ(font->GetGlyph(0x20).sw, 4.0f);
    EXPECT_FLOAT_EQ(font->GetGlyph(0xA0).advance, 6.0f);
    EXPECT_FLOAT_EQ(font->GetGlyph(0x2002).advance, 3.0f);
    // A lone "#" makes a record for code point 0, which look-ups never
    // answer: 0 stands for the default glyph (twice the space, 8).
    EXPECT_EQ(font->GetGlyphCount(), 7);
    EXPECT_FLOAT_EQ(font->GetGlyph(0).sw, 8.0f);
    EXPECT_FLOAT_EQ(font->GetGlyph(0xFFFFFFFFu).sw, 9.0f);   // an empty "c"
    EXPECT_FLOAT_EQ(font->GetGlyph(0xE9).sh, 12.0f);
    // "#41" and "A" name one glyph: the later node wins.
    EXPECT_FLOAT_EQ(font->GetGlyph('A').sw, 6.0f);
    EXPECT_FLOAT_EQ(font->GetGlyph('A').advance, 7.0f);
    // Tallest: sh + by over every node read, 12 + 3.
    EXPECT_FLOAT_EQ(font->GetTallestGlyph(), 15.0f);
    EXPECT_FLOAT_EQ(font->GetCellHeight(), 15.0f);
}

TEST(FontBitmapTest, DefaultGlyphIsTwoSpacesWideWithTheMeanBearing)
{
    auto font = FontFrom(WithChars(MakeNode({{"spacewidth", "5"}}),
                                   {MakeGlyph("a", 8, 10, 10, 2, 0), MakeGlyph("b", 8, 10, 10, 4, 0)}));
    // Records: space, no-break space, en space, a, b; bearings 0, 0, 0, 2, 4.
    EXPECT_FLOAT_EQ(font->GetDefaultGlyph().advance, 10.0f);
    EXPECT_FLOAT_EQ(font->GetDefaultGlyph().sw, 10.0f);
    EXPECT_FLOAT_EQ(font->GetDefaultGlyph().bearing.x, 6.0f / 5.0f);
    EXPECT_FLOAT_EQ(font->GetGlyph(0x4E2D).advance, 10.0f);

    auto bare = FontFrom(WithChars(MakeNode({}), {MakeGlyph("a", 8, 10, 10)}));
    EXPECT_FLOAT_EQ(bare->GetDefaultGlyph().advance, 0.0f);
    EXPECT_FLOAT_EQ(bare->Measure("\xE4\xB8\xAD", 0, 1, 0, Font::kToEnd), 0.0f);
}

TEST(FontBitmapTest, QuotationMarksFallBackToTheirPlainForms)
{
    auto font = FontFrom(WithChars(MakeNode({}), {MakeGlyph("\"", 4, 4, 5), MakeGlyph("'", 2, 4, 3)}));
    EXPECT_EQ(font->FindSubstituteChar(0x201D), 0x22u);
    EXPECT_EQ(font->FindSubstituteChar(0x301E), 0x22u);
    EXPECT_EQ(font->FindSubstituteChar(0x2019), 0x27u);
    EXPECT_EQ(font->FindSubstituteChar(0x60), 0x27u);
    EXPECT_FLOAT_EQ(font->GetGlyph(0x2019).advance, 3.0f);
    EXPECT_TRUE(font->HasChar(0x201C));
    EXPECT_TRUE(font->HasChar(0x3000));   // spaces always count as present
    EXPECT_FALSE(font->HasChar('x'));
    EXPECT_EQ(font->FindSubstituteChar('x'), 0u);

    // The first member of the group that the font has is chosen.
    auto curly = FontFrom(WithChars(MakeNode({}), {MakeGlyph("\xE2\x80\x9C", 4, 4, 5), MakeGlyph("\"", 4, 4, 6)}));
    EXPECT_EQ(curly->FindSubstituteChar(0x2033), 0x201Cu);
}

TEST(FontBitmapTest, GroupedKerningNotation)
{
    SmartPtr<PropertyNode> description(
        WithChars(MakeNode({}), {MakeGlyph("A", 8, 8, 8), MakeGlyph("T", 8, 8, 8), MakeGlyph("V", 8, 8, 8),
                                 MakeGlyph("W", 8, 8, 8)}));
    auto* kerning = new PropertyVector("kerning");
    kerning->AddItem(MakeNode({{"width", "-2"}, {"chars", "\x01#41#56#57"}}));
    // A code 0 starts a new group as the mark does.
    kerning->AddItem(MakeNode({{"width", "-3"}, {"chars", "\x01#54#41#0#56#41"}}));
    description->AddChild(kerning);
    SmartPtr<FontBitmap> font(new FontBitmap(description.Get()));
    EXPECT_FLOAT_EQ(FontBitmap::GetKerning(font->GetGlyph('A'), 'V'), -2.0f);
    EXPECT_FLOAT_EQ(FontBitmap::GetKerning(font->GetGlyph('A'), 'W'), -2.0f);
    EXPECT_FLOAT_EQ(FontBitmap::GetKerning(font->GetGlyph('T'), 'A'), -3.0f);
    EXPECT_FLOAT_EQ(FontBitmap::GetKerning(font->GetGlyph('V'), 'A'), -3.0f);
    EXPECT_FLOAT_EQ(FontBitmap::GetKerning(font->GetGlyph('T'), 'V'), 0.0f);
    EXPECT_FLOAT_EQ(FontBitmap::GetKerning(font->GetGlyph('W'), 'A'), 0.0f);
}

TEST(FontBitmapTest, PairKerningNotationWithEntities)
{
    SmartPtr<PropertyNode> description(WithChars(
        MakeNode({}), {MakeGlyph("A", 8, 8, 8), MakeGlyph("T", 8, 8, 8), MakeGlyph(",", 2, 2, 3),
                       MakeGlyph("V", 8, 8, 8), MakeGlyph("W", 8, 8, 8), MakeGlyph("L", 8, 8, 8)}));
    auto* pairs = new PropertyVector("newkerning");
    pairs->AddItem(MakeNode({{"width", "-1.5"}, {"chars", "AVW,T#2C;,,#ZZ;A,L#ZZ;V"}}));
    description->AddChild(pairs);
    auto* manual = new PropertyVector("manualkerning");
    manual->AddItem(MakeNode({{"width", "-4"}, {"chars", "AW"}}));
    description->AddChild(manual);
    SmartPtr<FontBitmap> font(new FontBitmap(description.Get()));
    EXPECT_FLOAT_EQ(FontBitmap::GetKerning(font->GetGlyph('A'), 'V'), -1.5f);
    EXPECT_FLOAT_EQ(FontBitmap::GetKerning(font->GetGlyph('A'), 'W'), -4.0f);   // the later entry wins
    EXPECT_FLOAT_EQ(FontBitmap::GetKerning(font->GetGlyph('T'), ','), -1.5f);
    // An unreadable left entity drops its piece; an unreadable right one only itself.
    EXPECT_FLOAT_EQ(FontBitmap::GetKerning(font->GetGlyph('L'), 'V'), -1.5f);
    EXPECT_FLOAT_EQ(FontBitmap::GetKerning(font->GetGlyph('L'), 'Z'), 0.0f);
}

TEST(FontBitmapTest, LaysOutOneLetterWithMarginBearingAndSpacing)
{
    auto font = FontFrom(WithChars(MakeNode({{"charspacing", "1"}}),
                                   {MakeGlyph("A", 8, 10, 9, 2, 3), MakeGlyph("V", 7, 10, 8, 1, 3)}));
    font->AddLayer(new FontLayer(2, Color(), nullptr));
    font->AddLayer(new FontLayer(1, Color(), nullptr));
    EXPECT_FLOAT_EQ(font->GetGlyphMargin(), 2.0f);

    FontCharPositions one;
    font->Layout("A", one, 0.5f, 0, Font::kToEnd);
    ASSERT_EQ(one.GetCount(), 1);
    EXPECT_FLOAT_EQ(one[0].x, 2.0f);                       // m
    EXPECT_FLOAT_EQ(one[0].y, 5.0f);                       // by + m
    EXPECT_FLOAT_EQ(one[0].imageRight, 2.0f + 8.0f + 2.0f);
    EXPECT_FLOAT_EQ(one[0].inkRight, one[0].imageRight);
    EXPECT_FLOAT_EQ(one[0].advanceRight, 2.0f - 2.0f + 9.0f + 1.5f);   // m - bx + width + spacing
    EXPECT_FLOAT_EQ(font->Measure("A", 0.5f, 1, 0, Font::kToEnd), 10.5f);
}

TEST(FontBitmapTest, KerningPullsTheNextLetterInAndInkDropsTheMargin)
{
    SmartPtr<PropertyNode> description(
        WithChars(MakeNode({}), {MakeGlyph("A", 8, 10, 9, 2, 3), MakeGlyph("V", 7, 10, 8, 1, 3)}));
    auto* pairs = new PropertyVector("newkerning");
    pairs->AddItem(MakeNode({{"width", "-2"}, {"chars", "AV"}}));
    description->AddChild(pairs);
    SmartPtr<FontBitmap> font(new FontBitmap(description.Get()));
    font->AddLayer(new FontLayer(2, Color(), nullptr));

    FontCharPositions plain;
    font->Layout("AW", plain, 0, 0, Font::kToEnd);   // W is unknown: no kerning from A
    FontCharPositions kerned;
    font->Layout("AV", kerned, 0, 0, Font::kToEnd);
    ASSERT_EQ(kerned.GetCount(), 2);
    // Pen after A: 2 - 2 + 9 = 9; with kerning 7; V's image left = pen + bx.
    EXPECT_FLOAT_EQ(kerned[1].x, 7.0f + 1.0f);
    EXPECT_FLOAT_EQ(kerned[0].inkRight, kerned[0].imageRight - 2.0f);
    EXPECT_FLOAT_EQ(kerned[1].inkRight, kerned[1].imageRight);
    EXPECT_FLOAT_EQ(kerned.advanceRight, 7.0f + 8.0f);
    EXPECT_FLOAT_EQ(plain[0].advanceRight, 9.0f);

    // A range that starts after the first character keeps the look-ahead.
    FontCharPositions tail;
    font->Layout("AV", tail, 0, 1, 1);
    ASSERT_EQ(tail.GetCount(), 1);
    EXPECT_FLOAT_EQ(tail[0].x, 2.0f + 1.0f);   // pen m + bearing, not the first-character rule
}

TEST(FontBitmapTest, SpacesReachBackToThePreviousGlyph)
{
    auto font = MakeFixedFont();
    FontCharPositions positions;
    font->Layout("ab c", positions, 0, 0, Font::kToEnd);
    ASSERT_EQ(positions.GetCount(), 4);
    // The space starts at the pen (20) and its image reaches back to the
    // end of b's image (18): width 5 + 18 - 20.
    EXPECT_FLOAT_EQ(positions[2].x, 20.0f);
    EXPECT_FLOAT_EQ(positions[2].imageRight, 23.0f);
    EXPECT_FLOAT_EQ(positions[3].x, 25.0f);
    EXPECT_FLOAT_EQ(font->Measure("ab c", 0, 0, 0, Font::kToEnd), 33.0f);
}

TEST(FontBitmapTest, RangesAreClampedAndEmptyRangesMeasureZero)
{
    auto font = MakeFixedFont();
    EXPECT_FLOAT_EQ(font->Measure("", 0, 1, 0, Font::kToEnd), 0.0f);
    EXPECT_FLOAT_EQ(font->Measure("abc", 0, 1, 3, Font::kToEnd), 0.0f);
    EXPECT_FLOAT_EQ(font->Measure("abc", 0, 1, 1, 0), 0.0f);
    EXPECT_FLOAT_EQ(font->Measure("abc", 0, 0, -5, -1), 28.0f);
    EXPECT_FLOAT_EQ(font->Measure("abc", 0, 0, 1, 99), 18.0f);   // b from pen 0
    FontCharPositions positions;
    font->Layout("abc", positions, 0, 1, 1);
    EXPECT_EQ(positions.GetCount(), 1);
}

TEST(FontBitmapTest, LineHeightFallsBackToTheCellAndColoursToTheTopLayer)
{
    auto font = FontFrom(WithChars(MakeNode({{"lineheight", "0"}}), {MakeGlyph("a", 8, 10, 10, 0, 2)}));
    EXPECT_FLOAT_EQ(font->GetLineHeight(), 12.0f);
    EXPECT_EQ(font->GetLayerColor(), Color());
    EXPECT_FALSE(font->HasFixedColors());
    font->AddLayer(new FontLayer(3, Color(0xFF102030u), nullptr));
    font->AddLayer(new FontLayer(1, Color(0xFF405060u), nullptr));
    EXPECT_FLOAT_EQ(font->GetLineHeight(), 12.0f + 6.0f);
    EXPECT_EQ(font->GetLayerColor(), Color(0xFF405060u));
    EXPECT_EQ(font->GetLayerCount(), 2);
    // Layers without a sheet bring no colours of their own.
    EXPECT_FALSE(font->HasFixedColors());
}

}  // namespace

}  // namespace font_bitmap_test
