#include "platform/win32/WinDateTime.h"
#include "platform/win32/WinLastError.h"

#include <gtest/gtest.h>

#include <ctime>

namespace win_date_time_test {

namespace {

TEST(WinDateTime, FormatsPicturesWithQuotedText)
{
    SYSTEMTIME time{2026, 12, 0, 6, 9, 31, 5, 0};
    char buffer[40];
    EXPECT_EQ(11, GetDateFormatA(LOCALE_SYSTEM_DEFAULT, 0, &time, "yyyy'-'MM'-'dd", buffer, 40));
    EXPECT_STREQ(buffer, "2026-12-06");
    EXPECT_EQ(9, GetTimeFormatA(LOCALE_SYSTEM_DEFAULT, 0, &time, "HH'-'mm'-'ss", buffer, 40));
    EXPECT_STREQ(buffer, "09-31-05");
    GetDateFormatA(0, 0, &time, "d MMM yy 'o''clock' dddd", buffer, 40);
    EXPECT_STREQ(buffer, "6 Dec 26 o'clock Sunday");
    GetTimeFormatA(0, 0, &time, "h:mm tt", buffer, 40);
    EXPECT_STREQ(buffer, "9:31 AM");
}

TEST(WinDateTime, SizeQueryAndSmallBuffer)
{
    SYSTEMTIME time{2026, 1, 4, 1, 0, 0, 0, 0};
    EXPECT_EQ(11, GetDateFormatA(0, 0, &time, "yyyy-MM-dd", nullptr, 0));
    char small[5];
    EXPECT_EQ(0, GetDateFormatA(0, 0, &time, "yyyy-MM-dd", small, 5));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
}

TEST(WinDateTime, SystemTimeIsUtcNow)
{
    std::time_t before = std::time(nullptr);
    SYSTEMTIME now{};
    GetSystemTime(&now);
    std::tm utc{};
    gmtime_r(&before, &utc);
    EXPECT_EQ(now.wYear, utc.tm_year + 1900);
    EXPECT_EQ(now.wMonth, utc.tm_mon + 1);
    EXPECT_EQ(now.wHour, utc.tm_hour) << "may fail only across an hour boundary";
}

}  // namespace

}  // namespace win_date_time_test
