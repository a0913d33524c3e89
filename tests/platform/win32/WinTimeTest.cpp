#include "platform/win32/WinTime.h"

#include <gtest/gtest.h>

#include <chrono>
#include <vector>

namespace win_time_test {

namespace {

class WinTimeTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        platform::SetClockHooks({[this] { return now; }, [this](DWORD ms) { slept.push_back(ms), now += ms; }});
    }
    void TearDown() override { platform::SetClockHooks({}); }

    std::uint64_t now = 0;
    std::vector<DWORD> slept;
};

TEST_F(WinTimeTest, The32BitClockWrapsAndDifferencesSurviveIt)
{
    now = 0xFFFFFFF0ull;
    const DWORD before = timeGetTime();
    EXPECT_EQ(before, 0xFFFFFFF0u);
    now += 0x20;
    const DWORD after = timeGetTime();
    EXPECT_EQ(after, 0x10u) << "wrapped like the Windows clock";
    EXPECT_EQ(static_cast<DWORD>(after - before), 0x20u);
    EXPECT_EQ(GetTickCount(), 0x10u);
    EXPECT_EQ(GetTickCount64(), 0x100000010ull) << "the 64-bit view does not wrap";
}

TEST_F(WinTimeTest, PerformanceCounterFollowsTheClock)
{
    LARGE_INTEGER frequency{};
    ASSERT_TRUE(QueryPerformanceFrequency(&frequency));
    EXPECT_EQ(frequency.QuadPart, 1000000000);
    now = 5;
    LARGE_INTEGER count{};
    ASSERT_TRUE(QueryPerformanceCounter(&count));
    EXPECT_EQ(count.QuadPart, 5000000);
    EXPECT_FALSE(QueryPerformanceCounter(nullptr));
}

TEST_F(WinTimeTest, SleepGoesThroughTheHook)
{
    now = 100;
    Sleep(11);
    Sleep(0);
    ASSERT_EQ(slept.size(), 2u);
    EXPECT_EQ(slept[0], 11u);
    EXPECT_EQ(timeGetTime(), 111u);
}

TEST_F(WinTimeTest, PeriodRequestsMustBePaired)
{
    const int open = platform::OpenTimerPeriods();
    EXPECT_EQ(timeBeginPeriod(1), static_cast<MMRESULT>(TIMERR_NOERROR));
    EXPECT_EQ(platform::OpenTimerPeriods(), open + 1);
    EXPECT_EQ(timeEndPeriod(1), static_cast<MMRESULT>(TIMERR_NOERROR));
    EXPECT_EQ(platform::OpenTimerPeriods(), open);
    EXPECT_EQ(timeBeginPeriod(0), static_cast<MMRESULT>(TIMERR_NOCANDO));
    if (open == 0) {
        EXPECT_EQ(timeEndPeriod(1), static_cast<MMRESULT>(TIMERR_NOCANDO));
    }
}

TEST(WinTimeRealClockTest, RealClockAdvancesAndSleepWaits)
{
    const auto wallBefore = std::chrono::steady_clock::now();
    const DWORD start = timeGetTime();
    const auto wallStart = std::chrono::steady_clock::now();
    Sleep(20);
    const auto waited = std::chrono::steady_clock::now() - wallStart;
    EXPECT_GE(waited, std::chrono::milliseconds(20));
    const DWORD elapsed = timeGetTime() - start;
    const auto wallAfter = std::chrono::steady_clock::now();
    EXPECT_GE(elapsed, 19u);
    // No faster than the wall clock read around it (however long a busy
    // machine kept this thread from running), give or take a millisecond.
    const auto around = std::chrono::duration_cast<std::chrono::milliseconds>(wallAfter - wallBefore).count();
    EXPECT_LE(elapsed, static_cast<DWORD>(around) + 1u);
}

}  // namespace

}  // namespace win_time_test
