// How fast the round clocks run: QMV_CLOCK_RATE=<n> (a whole number from 1
// to 1000) makes every round's clock, and what counts down with it, run n
// times as fast as real time, so that a test lets a two-minute round run
// out in seconds. Unset (the game as it ships) the clocks keep real time.
#pragma once

#include <cstdint>

class ClockRate {
public:
    // The rate QMV_CLOCK_RATE asks for, read once; 1 when unset or invalid.
    static std::int32_t Rate();
    // `dt` milliseconds of real time as the round clocks count them.
    static std::int32_t Step(std::int32_t dt);
    // The rate a QMV_CLOCK_RATE text asks for (null when unset); 1 when it
    // is not a whole number from 1 to 1000.
    static std::int32_t Parse(const char* text);
};
