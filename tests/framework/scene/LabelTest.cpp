#include <algorithm>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "framework/core/object/SmartPtr.h"
#include "framework/core/properties/PropertyNode.h"
#include "framework/core/properties/PropertyValue.h"
#include "framework/scene/Label.h"
#include "framework/scene/LabelLineBreaker.h"
#include "LabelTestSupport.h"

namespace label_test {

using namespace Qmv2;
using scenetest::FixedFont;

namespace {

std::vector<std::string> Lines(const UTF8String& text, std::int32_t style, float width, bool ellipsisGlyph = true)
{
    const LabelLineBreaker breaker([](const UTF8String& t) { return 10.0f * static_cast<float>(t.GetLength()); },
                                   width, ellipsisGlyph ? UTF8String("\xE2\x80\xA6") : UTF8String("..."));
    std::vector<std::string> out;
    for (const UTF8String& line : breaker.Break(text, style)) {
        out.push_back(line.GetString());
    }
    return out;
}

using V = std::vector<std::string>;

}  // namespace

TEST(LabelLineBreakerTest, SplitsAtLineFeedsKeepingInnerEmptyLines)
{
    EXPECT_EQ(Lines("ab\n\ncd", 0, 0), (V{"ab", "", "cd"}));
    EXPECT_EQ(Lines("ab\n", 0, 0), (V{"ab"}));
    EXPECT_EQ(Lines("\nab", 0, 0), (V{"", "ab"}));
    EXPECT_TRUE(Lines("", 0, 0).empty());
    EXPECT_TRUE(Lines("ab", 7, 100).empty());
}

TEST(LabelLineBreakerTest, TruncatesToLongestNonBlankPrefixWithEllipsis)
{
    // 60 wide: five characters plus the one-character ellipsis.
    EXPECT_EQ(Lines("abcdefgh", 2, 60), (V{"abcde\xE2\x80\xA6"}));
    // "ab cdefg": the cut after "ab " moves on to include "c".
    EXPECT_EQ(Lines("ab cdefg", 2, 50), (V{"ab c\xE2\x80\xA6"}));
    // Only "ab" plus the ellipsis fits when the blank would be last.
    EXPECT_EQ(Lines("ab cdefg", 2, 30), (V{"ab\xE2\x80\xA6"}));
    EXPECT_EQ(Lines("abcdefgh", 2, 60, false), (V{"abc..."}));
    EXPECT_EQ(Lines("abcdefgh", 2, 15), (V{""}));
    EXPECT_EQ(Lines("abc", 2, 30), (V{"abc"}));
}

TEST(LabelLineBreakerTest, WrapsAtBlanksAndHyphens)
{
    EXPECT_EQ(Lines("abc def", 1, 50), (V{"abc", "def"}));
    EXPECT_EQ(Lines("well-known", 1, 60), (V{"well-", "known"}));
    // A hyphen before a digit is a minus sign.
    EXPECT_EQ(Lines("ab -5 cd", 1, 50), (V{"ab -5", "cd"}));
    EXPECT_EQ(Lines("abcdefg", 1, 30), (V{"abc", "def", "g"}));
    EXPECT_EQ(Lines("abcdefg", 1, 5), (V{"a", "b", "c", "d", "e", "f", "g"}));
    // U+3000 breaks at its last fitting occurrence but is not a leading
    // blank: the one after the break stays on the next line.
    EXPECT_EQ(Lines("abc\xE3\x80\x80\xE3\x80\x80" "de", 1, 40), (V{"abc\xE3\x80\x80", "\xE3\x80\x80" "de"}));
}

TEST(LabelTest, SetTextTurnsEscapedNewlinesIntoLinesAndEqualTextStaysClean)
{
    SmartPtr<Label> label(new Label(new FixedFont(), 0, 0, 0, 0));
    label->SetText("one\\ntwo");
    label->UpdateLayout();
    ASSERT_EQ(label->GetLines().GetCount(), 2);
    EXPECT_EQ(label->GetLines()[1].text.GetString(), "two");
    EXPECT_FLOAT_EQ(label->GetLines()[1].position.y, 12.0f);
    EXPECT_FALSE(label->IsDirty());
    label->SetText("one\ntwo");
    EXPECT_FALSE(label->IsDirty());
    label->SetFont(label->GetFont());
    EXPECT_TRUE(label->IsDirty());
}

TEST(LabelTest, LayoutSizesAlignsAndClips)
{
    SmartPtr<Label> label(new Label(new FixedFont(), 0, 0, 0, 0));
    label->SetText("abcd\nab");
    label->SetAlignH(Label::kCenter);
    label->UpdateLayout();
    EXPECT_FLOAT_EQ(label->GetLines()[1].position.x, 10.0f);
    EXPECT_FLOAT_EQ(label->GetTextBounds()[2], 40.0f);
    EXPECT_FLOAT_EQ(label->GetTextBounds()[3], 22.0f);
    EXPECT_FLOAT_EQ(label->GetWidth(), 40.0f);
    EXPECT_FLOAT_EQ(label->GetHeight(), 22.0f);

    label->SetAlignH(Label::kRight);
    label->SetAutoFitHeight(false);
    label->SetLabelHeight(15.0f);
    label->UpdateLayout();
    EXPECT_FLOAT_EQ(label->GetLines()[1].position.x, 20.0f);
    EXPECT_FLOAT_EQ(label->GetHeight(), 15.0f);

    label->SetText(UTF8String(std::string(200, 'x')));
    label->UpdateLayout();
    EXPECT_FLOAT_EQ(label->GetWidth(), Label::kMaxRenderedSize);
}

TEST(LabelTest, EmptyTextAndZeroWidthBoxShowNothingAndStayDirty)
{
    SmartPtr<Label> label(new Label(new FixedFont(), 0, 0, 0, 0));
    label->UpdateLayout();
    EXPECT_TRUE(label->GetLines().IsEmpty());
    EXPECT_TRUE(label->IsDirty());

    label->SetText("abc");
    label->SetWrapStyle(Label::kWordWrap);
    label->UpdateLayout();
    EXPECT_TRUE(label->GetLines().IsEmpty());
    label->SetLabelWidth(100.0f);
    label->UpdateLayout();
    EXPECT_EQ(label->GetLines().GetCount(), 1);
    EXPECT_FALSE(label->IsDirty());
}

TEST(LabelTest, PadOffsetMovesTheTransformOutsideTheAnchor)
{
    SmartPtr<PropertyNode> node(new PropertyNode());
    SmartPtr<Label> label(new Label(node.Get()));
    label->SetFont(new FixedFont(true, 2.0f));
    label->SetText("ab");
    label->SetX(50.0f);
    label->UpdateLayout();
    EXPECT_FLOAT_EQ(label->GetDrawX(), 48.0f);
    EXPECT_FLOAT_EQ(label->GetDrawY(), -2.0f);
    EXPECT_FLOAT_EQ(label->GetLocalMatrix().m02, 48.0f) << "the transform carries the pad offset";
    label->SetAnchor(8);
    label->UpdateLayout();
    EXPECT_FLOAT_EQ(label->GetDrawX(), 52.0f);
    label->SetPadStyle(Label::kPadNone);
    label->UpdateLayout();
    EXPECT_FLOAT_EQ(label->GetDrawX(), 50.0f);

    // The node position is what was set: moving by 0 or changing the anchor
    // in place never drifts by the pad.
    label->SetPadStyle(Label::kPadOffset);
    label->SetAnchor(0);
    label->UpdateLayout();
    for (int i = 0; i < 3; ++i) {
        label->SetPosition(label->GetX(), label->GetY());
        label->UpdateLayout();
    }
    EXPECT_FLOAT_EQ(label->GetX(), 50.0f);
    EXPECT_FLOAT_EQ(label->GetY(), 0.0f);
    EXPECT_FLOAT_EQ(label->GetDrawX(), 48.0f);
    label->SetAnchorKeepPosition(8);
    label->SetAnchorKeepPosition(0);
    label->UpdateLayout();
    EXPECT_FLOAT_EQ(label->GetX(), 50.0f);
}

TEST(LabelTest, LoadReadsStylesColoursAndTextFallbacks)
{
    SmartPtr<PropertyNode> node(new PropertyNode());
    node->AddChild(new PropertyValue("wrapstyle", "", "truncate"));
    node->AddChild(new PropertyValue("alignh", "", "middle"));
    node->AddChild(new PropertyValue("color1", "", "#FF00FF00"));
    node->AddChild(new PropertyValue("text", "", ""));
    node->AddChild(new PropertyValue("value", "", "fallback"));
    node->AddChild(new PropertyValue("font", "", "NOFONT"));
    SmartPtr<Label> label(new Label(node.Get()));
    EXPECT_EQ(label->GetWrapStyle(), Label::kTruncate);
    EXPECT_EQ(label->GetAlignH(), -1);
    EXPECT_TRUE(label->GetColors().IsEmpty());
    EXPECT_EQ(label->GetText().GetString(), "fallback");
    EXPECT_EQ(label->GetFont(), nullptr);

    label->SetColor(Color(0xFF00FF00u), 1);
    ASSERT_EQ(label->GetColors().GetCount(), 2);
    EXPECT_FLOAT_EQ(label->GetColors()[0].r, 0.0f);
    EXPECT_FLOAT_EQ(label->GetColors()[1].g, 1.0f);
    EXPECT_NE(label->ToString().find("\"fallback\"; "), std::string::npos);
}

}  // namespace label_test
