#include "framework/core/util/UTF8String.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace utf8_string_test {

namespace {

using Qmv2::UTF8String;

std::string Bytes(std::initializer_list<unsigned> values)
{
    std::string s;
    for (unsigned v : values)
        s += static_cast<char>(v);
    return s;
}

TEST(UTF8StringTest, EncodesAndDecodesEveryCodePoint)
{
    for (std::uint32_t cp = 1; cp < 0x110000; ++cp) {
        const UTF8String s = UTF8String::FromCodePoint(cp);
        const int expectedBytes = cp < 0x80 ? 1 : cp < 0x800 ? 2 : cp < 0x10000 ? 3 : 4;
        ASSERT_EQ(s.GetByteLength(), expectedBytes) << std::hex << cp;
        ASSERT_EQ(s.GetLength(), 1) << std::hex << cp;
        ASSERT_EQ(s.GetCodePointAt(0), cp) << std::hex << cp;
        ASSERT_EQ(Qmv2::Utf8SequenceLength(static_cast<unsigned char>(s.c_str()[0])), expectedBytes);
    }
    EXPECT_EQ(UTF8String::FromCodePoint(0x1F600).GetString(), Bytes({0xF0, 0x9F, 0x98, 0x80}));
    EXPECT_EQ(UTF8String::FromCodePoint(0x1FFFFF).GetString(), Bytes({0xF7, 0xBF, 0xBF, 0xBF}));
    EXPECT_TRUE(UTF8String::FromCodePoint(0x200000).IsEmpty());
    EXPECT_TRUE(UTF8String::FromCodePoint(0xFFFFFFFF).IsEmpty());
}

TEST(UTF8StringTest, SequenceLengthsOfLeadBytes)
{
    EXPECT_EQ(Qmv2::Utf8SequenceLength(0x41), 1);
    EXPECT_EQ(Qmv2::Utf8SequenceLength(0x80), 1);
    EXPECT_EQ(Qmv2::Utf8SequenceLength(0xC0), 1);
    EXPECT_EQ(Qmv2::Utf8SequenceLength(0xC1), 1);
    EXPECT_EQ(Qmv2::Utf8SequenceLength(0xC2), 2);
    EXPECT_EQ(Qmv2::Utf8SequenceLength(0xDF), 2);
    EXPECT_EQ(Qmv2::Utf8SequenceLength(0xE0), 3);
    EXPECT_EQ(Qmv2::Utf8SequenceLength(0xEF), 3);
    EXPECT_EQ(Qmv2::Utf8SequenceLength(0xF4), 4);
    EXPECT_EQ(Qmv2::Utf8SequenceLength(0xF5), 1);
    EXPECT_EQ(Qmv2::Utf8SequenceLength(0xFF), 1);
}

TEST(UTF8StringTest, CountsLeadBytesAndCachesTheCount)
{
    UTF8String s(Bytes({0xC3, 0xA9, 0x41}));
    EXPECT_EQ(s.GetLength(), 2);
    UTF8String stray(Bytes({0x80}));
    EXPECT_EQ(stray.GetLength(), 0);
    EXPECT_EQ(stray.GetCodePointAt(0), 0x80u);

    UTF8String grown("ab");
    EXPECT_EQ(grown.GetLength(), 2);
    grown.AppendChar(0x20AC);
    EXPECT_EQ(grown.GetLength(), 3);
    grown.Erase(0, 1);
    EXPECT_EQ(grown.GetLength(), 2);
    UTF8String copy(grown);
    EXPECT_EQ(copy.GetLength(), 2);
    EXPECT_EQ((copy + "xyz").GetLength(), 5);
    EXPECT_EQ(UTF8String(static_cast<const char*>(nullptr)).GetLength(), 0);
}

TEST(UTF8StringTest, TruncatedSequencesStayInsideTheText)
{
    // Each lead announces more bytes than the text holds.
    const std::vector<std::string> cases = {
        Bytes({0xF0}), Bytes({0xF0, 0x9F}), Bytes({0xF0, 0x9F, 0x98}), Bytes({0xE2, 0x82}), Bytes({0xC3}),
        Bytes({0x41, 0xE2}),
    };
    for (const std::string& bytes : cases) {
        // A copy in a buffer of exactly its size lets a sanitizer see any over-read.
        const UTF8String s(bytes);
        const std::int32_t last = s.GetPreviousLead(s.GetByteLength());
        ASSERT_GE(last, 0);
        EXPECT_EQ(s.GetCodePointAt(last), static_cast<unsigned char>(bytes[last]));
        Qmv2::Utf8Iterator it(s);
        Qmv2::Utf8Advance(it, 10);
        EXPECT_EQ(it.byteOffset, s.GetByteLength());
        EXPECT_EQ(it.codePoint, 0u);
        EXPECT_EQ(s.ToLower().GetString(), bytes[0] == 0x41 ? "a" + bytes.substr(1) : bytes);
        EXPECT_EQ(s.SubString(0, 100).GetString(), bytes);
    }
}

TEST(UTF8StringTest, OffsetsAndIndexes)
{
    const UTF8String s(Bytes({'a', 0xC3, 0xA9, 0xE2, 0x82, 0xAC, 'z'}));   // a é € z
    EXPECT_EQ(s.GetByteOffset(0), 0);
    EXPECT_EQ(s.GetByteOffset(1), 1);
    EXPECT_EQ(s.GetByteOffset(2), 3);
    EXPECT_EQ(s.GetByteOffset(3), 6);
    EXPECT_EQ(s.GetByteOffset(4), 7);
    EXPECT_EQ(s.GetByteOffset(99), 7);
    EXPECT_EQ(s.GetCodePointIndex(-1), -1);
    EXPECT_EQ(s.GetCodePointIndex(0), 0);
    EXPECT_EQ(s.GetCodePointIndex(2), 2);    // inside é: a and é start before it
    EXPECT_EQ(s.GetCodePointIndex(6), 3);
    EXPECT_EQ(s.GetCodePointIndex(500), 4);
    EXPECT_EQ(s.GetPreviousLead(0), -1);
    EXPECT_EQ(s.GetPreviousLead(3), 1);
    EXPECT_EQ(s.GetPreviousLead(6), 3);
    EXPECT_EQ(s.GetPreviousLead(100), 6);
    EXPECT_EQ(s.GetCodePointAt(1), 0xE9u);
    EXPECT_EQ(s.GetCodePointAt(3), 0x20ACu);
    EXPECT_EQ(s.GetCodePointAt(7), 0u);

    Qmv2::Utf8Iterator it(s);
    EXPECT_EQ(it.codePoint, 'a');
    Qmv2::Utf8Advance(it, 2);
    EXPECT_EQ(it.index, 2);
    EXPECT_EQ(it.byteOffset, 3);
    EXPECT_EQ(it.codePoint, 0x20ACu);
}

TEST(UTF8StringTest, FindByCodePoint)
{
    const UTF8String s(Bytes({'a', 0xC3, 0xA9, 'b', 0xC3, 0xA9, 'c'}));
    EXPECT_EQ(s.Find(0xE9), 1);
    EXPECT_EQ(s.Find('c'), 4);
    EXPECT_EQ(s.Find('q'), -1);
    const UTF8String set(Bytes({'c', 0xC3, 0xA9}));
    EXPECT_EQ(s.FindFirstOf(set), 1);
    EXPECT_EQ(s.FindFirstOf(set, 2), 3);
    EXPECT_EQ(s.FindFirstOf(set, 5), -1);
    EXPECT_EQ(s.FindLastOf(set), 4);
    EXPECT_EQ(s.FindLastOf(set, 2), 1);
    EXPECT_EQ(s.FindLastOf("a", 0), 0);
    EXPECT_EQ(s.FindLastOf("x"), -1);
}

TEST(UTF8StringTest, SubStringAndEraseClampTheirRange)
{
    const UTF8String s(Bytes({'a', 0xC3, 0xA9, 0xE2, 0x82, 0xAC, 'z'}));
    EXPECT_EQ(s.SubString(1, 2).GetString(), Bytes({0xC3, 0xA9, 0xE2, 0x82, 0xAC}));
    EXPECT_EQ(s.SubString(2, 100).GetString(), Bytes({0xE2, 0x82, 0xAC, 'z'}));
    EXPECT_TRUE(s.SubString(9, 1).IsEmpty());
    EXPECT_TRUE(s.SubString(1, 0).IsEmpty());
    EXPECT_EQ(s.SubString(1, 2).GetLength(), 2);

    UTF8String e = s;
    e.Erase(1, 2);
    EXPECT_EQ(e.GetString(), "az");
    EXPECT_EQ(e.GetLength(), 2);
    e.Erase(1, 50);
    EXPECT_EQ(e.GetString(), "a");
    e.Erase(3, 1);
    EXPECT_EQ(e.GetString(), "a");
}

TEST(UTF8StringTest, TrimRemovesSetMembersAtTheEnds)
{
    UTF8String s(Bytes({' ', 0xC2, 0xA0, '\t', 'h', 'i', ' ', 0xE2, 0x80, 0x82}));
    UTF8String front = s;
    front.TrimWhitespace(false);
    EXPECT_EQ(front.GetString(), Bytes({'h', 'i', ' ', 0xE2, 0x80, 0x82}));
    s.TrimWhitespace(true);
    EXPECT_EQ(s.GetString(), "hi");
    EXPECT_EQ(s.GetLength(), 2);

    UTF8String blank("  \t ");
    blank.TrimWhitespace(true);
    EXPECT_TRUE(blank.IsEmpty());
    EXPECT_EQ(blank.GetLength(), 0);

    UTF8String inner("xaxbx");
    inner.Trim("x", true);
    EXPECT_EQ(inner.GetString(), "axb");
    UTF8String untouched("abc");
    untouched.Trim("x", true);
    EXPECT_EQ(untouched.GetString(), "abc");
}

TEST(UTF8StringTest, SplitKeepsOrDropsEmptyPieces)
{
    Qmv2::GFVector<UTF8String> pieces;
    UTF8String("a,,b").Split(",", pieces, false);
    ASSERT_EQ(pieces.GetCount(), 2);
    EXPECT_EQ(pieces[0].GetString(), "a");
    EXPECT_EQ(pieces[1].GetString(), "b");

    pieces.Clear();
    UTF8String("a,,b").Split(",", pieces, true);
    ASSERT_EQ(pieces.GetCount(), 3);
    EXPECT_EQ(pieces[0].GetString(), "a");
    EXPECT_TRUE(pieces[1].IsEmpty());
    EXPECT_EQ(pieces[2].GetString(), "b");

    pieces.Clear();
    UTF8String(Bytes({0xC3, 0xA9, ':', ':', 'x', ':', ':'})).Split("::", pieces, true);
    ASSERT_EQ(pieces.GetCount(), 2);   // nothing after the last separator
    EXPECT_EQ(pieces[0].GetLength(), 1);
    EXPECT_EQ(pieces[1].GetString(), "x");

    pieces.Clear();
    UTF8String("abc").Split("", pieces, true);
    ASSERT_EQ(pieces.GetCount(), 1);
    EXPECT_EQ(pieces[0].GetString(), "abc");
}

TEST(UTF8StringTest, ReplaceAllCollapsesAndTerminates)
{
    UTF8String path("a////b");
    EXPECT_TRUE(path.ReplaceAll("//", "/"));
    EXPECT_EQ(path.GetString(), "a/b");
    EXPECT_EQ(path.GetLength(), 3);

    UTF8String grows("xax");
    EXPECT_TRUE(grows.ReplaceAll("a", "aa"));   // holds the pattern: one pass
    EXPECT_EQ(grows.GetString(), "xaax");
    EXPECT_FALSE(grows.ReplaceAll("q", "r"));
    EXPECT_FALSE(grows.ReplaceAll("", "r"));
    EXPECT_EQ(grows.GetString(), "xaax");
}

TEST(UTF8StringTest, ToLowerMapsEveryCodePoint)
{
    const UTF8String s(Bytes({'A', 'b', 0xC3, 0x89, 0xC4, 0xB0, 0xCE, 0xA3, '1'}));   // A b É İ Σ 1
    EXPECT_EQ(s.ToLower().GetString(), Bytes({'a', 'b', 0xC3, 0xA9, 'i', 0xCC, 0x87, 0xCF, 0x83, '1'}));
    EXPECT_EQ(s.ToLower().GetLength(), 7);
    EXPECT_EQ(Qmv2::CodePointToLower(0x130), Bytes({'i', 0xCC, 0x87}));
    EXPECT_EQ(Qmv2::CodePointToLower('A'), "a");
    EXPECT_EQ(Qmv2::CodePointToLower('a'), "a");
    EXPECT_EQ(Qmv2::CodePointToLower(0), "");
    EXPECT_EQ(Qmv2::CodePointToLower(0x10400), Bytes({0xF0, 0x90, 0x90, 0xA8}));
}

} // namespace

}  // namespace utf8_string_test
