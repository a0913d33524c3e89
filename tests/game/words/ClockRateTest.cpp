#include <gtest/gtest.h>

#include "game/words/ClockRate.h"

namespace clock_rate_test {

// QMV_CLOCK_RATE takes a whole number from 1 to 1000; anything else leaves
// the round clocks on real time rather than stopping or reversing them.
TEST(ClockRate, OnlyAWholeNumberFromOneToAThousandChangesTheRate)
{
    EXPECT_EQ(ClockRate::Parse(nullptr), 1);
    EXPECT_EQ(ClockRate::Parse(""), 1);
    EXPECT_EQ(ClockRate::Parse("6"), 6);
    EXPECT_EQ(ClockRate::Parse("1000"), 1000);
    for (const char* refused : {"0", "-3", "1001", "6x", "2.5", " ", "x"}) {
        EXPECT_EQ(ClockRate::Parse(refused), 1) << refused;
    }
}

}  // namespace clock_rate_test
