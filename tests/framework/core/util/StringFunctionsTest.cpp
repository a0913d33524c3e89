#include "framework/core/util/StringFunctions.h"

#include <gtest/gtest.h>

namespace string_functions_test {

namespace {

using Qmv2::ParseColor;

TEST(StringFunctionsTest, ParseColorReadsHexAndDecimal)
{
    EXPECT_EQ(ParseColor(""), 0);
    EXPECT_EQ(ParseColor("#FF8000"), 0xFF8000);
    EXPECT_EQ(ParseColor("0x1f"), 31);
    EXPECT_EQ(ParseColor("0X1F"), 31);
    EXPECT_EQ(ParseColor("-12"), -12);
    EXPECT_EQ(ParseColor("+7"), 7);
    EXPECT_EQ(ParseColor("  42"), 42);
    EXPECT_EQ(ParseColor("12abc"), 12);
    EXPECT_EQ(ParseColor("x12"), 0);
    EXPECT_EQ(ParseColor("#"), 0);
    EXPECT_EQ(ParseColor("#zz"), 0);
    EXPECT_EQ(ParseColor("0x"), 0);
    EXPECT_EQ(ParseColor("0"), 0);
    EXPECT_EQ(ParseColor("#FFFFFFFF"), -1);
    EXPECT_EQ(ParseColor("#80FF0000"), static_cast<std::int32_t>(0x80FF0000u));
}

TEST(StringFunctionsTest, ParseColorSaturatesInsteadOfOverflowing)
{
    EXPECT_EQ(ParseColor("2147483647"), INT32_MAX);
    EXPECT_EQ(ParseColor("-2147483648"), INT32_MIN);
    EXPECT_EQ(ParseColor("99999999999999999999999"), INT32_MAX);
    EXPECT_EQ(ParseColor("-99999999999999999999999"), INT32_MIN);
    EXPECT_EQ(ParseColor("#123456789ABCDEF0123"), -1);
}

TEST(StringFunctionsTest, Formatting)
{
    EXPECT_EQ(Qmv2::IntToString(-305), "-305");
    EXPECT_EQ(Qmv2::IntToString(INT32_MIN), "-2147483648");
    EXPECT_EQ(Qmv2::HexToString(0x4F0), "4F0");
    EXPECT_EQ(Qmv2::HexToString(0), "0");
    EXPECT_EQ(Qmv2::HexToString(0xDEADBEEFu), "DEADBEEF");
    EXPECT_EQ(Qmv2::FloatToString(3.14159f), "3.14");
    EXPECT_EQ(Qmv2::FloatToString(-0.5f), "-0.50");
    EXPECT_EQ(Qmv2::FloatToString(2.0f), "2.00");
    EXPECT_EQ(Qmv2::FloatToString(3.4e38f).substr(0, 3), "339");
    EXPECT_EQ(Qmv2::AddressToString(std::uintptr_t{0x10}), "0x10");
}

TEST(StringFunctionsTest, SplitStringDropsEmptyPieces)
{
    Qmv2::GFVector<std::string> pieces;
    auto list = [&pieces] { return std::vector<std::string>(pieces.begin(), pieces.end()); };
    Qmv2::SplitString("a,,b", ",", pieces);
    ASSERT_EQ(list(), (std::vector<std::string>{"a", "b"}));
    Qmv2::SplitString(",x,", ",", pieces);
    EXPECT_EQ(list(), (std::vector<std::string>{"a", "b", "x"}));   // appended
    pieces.Clear();
    Qmv2::SplitString("one--two----three", "--", pieces);
    EXPECT_EQ(list(), (std::vector<std::string>{"one", "two", "three"}));
    pieces.Clear();
    Qmv2::SplitString("", ",", pieces);
    EXPECT_TRUE(pieces.IsEmpty());
}

TEST(StringFunctionsTest, ReplaceAllRestartsUnlessThatWouldNeverEnd)
{
    std::string path = "a////b//c";
    EXPECT_TRUE(Qmv2::ReplaceAll(path, "//", "/"));
    EXPECT_EQ(path, "a/b/c");

    // A replacement that forms the pattern again with what stands before it.
    std::string swapped = "aab";
    EXPECT_TRUE(Qmv2::ReplaceAll(swapped, "ab", "ba"));
    EXPECT_EQ(swapped, "baa");

    std::string doubled = "abab";
    EXPECT_TRUE(Qmv2::ReplaceAll(doubled, "ab", "xaby"));
    EXPECT_EQ(doubled, "xabyxaby");

    std::string same = "aaa";
    EXPECT_TRUE(Qmv2::ReplaceAll(same, "a", "a"));
    EXPECT_EQ(same, "aaa");

    std::string untouched = "abc";
    EXPECT_FALSE(Qmv2::ReplaceAll(untouched, "x", "y"));
    EXPECT_FALSE(Qmv2::ReplaceAll(untouched, "", "y"));
    EXPECT_EQ(untouched, "abc");
}

} // namespace

}  // namespace string_functions_test
