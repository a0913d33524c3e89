#include "platform/win32/WinLastError.h"
#include "platform/win32/WinText.h"

#include <gtest/gtest.h>

#include <string>

namespace win_text_test {

namespace {

std::u16string ToWide(UINT codePage, const std::string& bytes, DWORD flags = 0)
{
    int needed = MultiByteToWideChar(codePage, flags, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
    std::u16string out(static_cast<std::size_t>(needed), u'\0');
    if (needed > 0) {
        EXPECT_EQ(needed, MultiByteToWideChar(codePage, flags, bytes.data(), static_cast<int>(bytes.size()),
                                              out.data(), needed));
    }
    return out;
}

std::string ToBytes(UINT codePage, const std::u16string& wide, BOOL* usedDefault = nullptr)
{
    int needed = WideCharToMultiByte(codePage, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0, nullptr,
                                     usedDefault);
    std::string out(static_cast<std::size_t>(needed), '\0');
    if (needed > 0) {
        EXPECT_EQ(needed, WideCharToMultiByte(codePage, 0, wide.data(), static_cast<int>(wide.size()), out.data(),
                                              needed, nullptr, usedDefault));
    }
    return out;
}

TEST(WinText, Utf8RoundTripsThroughUtf16)
{
    const std::string text = "A\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80z";  // A é € 😀 z
    std::u16string wide = ToWide(CP_UTF8, text);
    EXPECT_EQ(wide, (std::u16string{u'A', 0xE9, 0x20AC, 0xD83D, 0xDE00, u'z'}));
    EXPECT_EQ(ToBytes(CP_UTF8, wide), text);
}

TEST(WinText, MinusOneCountsTheTerminator)
{
    char16_t buffer[8];
    EXPECT_EQ(3, MultiByteToWideChar(CP_UTF8, 0, "ab", -1, buffer, 8));
    EXPECT_EQ(buffer[2], 0);
    char bytes[8];
    EXPECT_EQ(3, WideCharToMultiByte(CP_UTF8, 0, u"ab", -1, bytes, 8, nullptr, nullptr));
    EXPECT_STREQ(bytes, "ab");
}

TEST(WinText, InvalidUtf8BecomesReplacementOrFailsWhenAsked)
{
    // A stray continuation byte, an overlong "/", an encoded surrogate and a
    // truncated sequence at the very end.
    const std::string bad = std::string("a\x80") + "\xC0\xAF" + "\xED\xA0\x80" + "b\xE2\x82";
    std::u16string wide = ToWide(CP_UTF8, bad);
    ASSERT_FALSE(wide.empty());
    EXPECT_EQ(wide.front(), u'a');
    EXPECT_EQ(wide.back(), 0xFFFD);
    EXPECT_NE(wide.find(u'b'), std::u16string::npos);
    for (char16_t unit : wide) {
        EXPECT_TRUE(unit == u'a' || unit == u'b' || unit == 0xFFFD) << static_cast<int>(unit);
    }
    SetLastError(0);
    EXPECT_EQ(0, MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, bad.data(), static_cast<int>(bad.size()),
                                     nullptr, 0));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_UNICODE_TRANSLATION));
}

TEST(WinText, TruncatedSequenceNeverReadsPastTheCount)
{
    // The count stops inside the euro sign; the bytes after it must not be used.
    const char text[] = "x\xE2\x82\xAC";
    std::u16string wide(4, u'\0');
    int n = MultiByteToWideChar(CP_UTF8, 0, text, 3, wide.data(), 4);
    ASSERT_EQ(n, 2);
    EXPECT_EQ(wide[0], u'x');
    EXPECT_EQ(wide[1], 0xFFFD);
}

TEST(WinText, UnpairedSurrogateBecomesReplacementOrFailsWhenAsked)
{
    std::u16string lone{u'a', 0xD800, u'b'};
    EXPECT_EQ(ToBytes(CP_UTF8, lone), "a\xEF\xBF\xBD" "b");
    EXPECT_EQ(0, WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, lone.data(), 3, nullptr, 0, nullptr, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_UNICODE_TRANSLATION));
}

TEST(WinText, AnsiIsWindows1252AndEveryByteRoundTrips)
{
    EXPECT_EQ(ToWide(CP_ACP, "\x80\x9F\xE9"), (std::u16string{0x20AC, 0x0178, 0x00E9}));
    std::string all;
    for (int b = 1; b < 256; ++b) {
        all.push_back(static_cast<char>(b));
    }
    BOOL usedDefault = TRUE;
    EXPECT_EQ(ToBytes(CP_ACP, ToWide(CP_ACP, all), &usedDefault), all);
    EXPECT_EQ(usedDefault, FALSE);
}

TEST(WinText, AnsiMarksCharactersItCannotHold)
{
    BOOL usedDefault = FALSE;
    EXPECT_EQ(ToBytes(CP_ACP, u"a\u4E2Db", &usedDefault), "a?b");
    EXPECT_EQ(usedDefault, TRUE);
}

TEST(WinText, RefusesSmallBuffersAndBadArguments)
{
    char16_t small[2];
    SetLastError(0);
    EXPECT_EQ(0, MultiByteToWideChar(CP_UTF8, 0, "abc", 3, small, 2));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
    EXPECT_EQ(0, MultiByteToWideChar(1200, 0, "abc", 3, nullptr, 0));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    BOOL used = FALSE;
    EXPECT_EQ(0, WideCharToMultiByte(CP_UTF8, 0, u"a", 1, nullptr, 0, nullptr, &used));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
}

}  // namespace

}  // namespace win_text_test
