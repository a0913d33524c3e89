#include "game/words/ClockRate.h"

#include <cstdlib>
#include <string_view>

#include "framework/core/util/Platform.h"

std::int32_t ClockRate::Parse(const char* text)
{
    if (text == nullptr || *text == '\0') {
        return 1;
    }
    char* end = nullptr;
    const long rate = std::strtol(text, &end, 10);
    if (*end != '\0' || rate < 1 || rate > 1000) {
        return 1;
    }
    return static_cast<std::int32_t>(rate);
}

std::int32_t ClockRate::Rate()
{
    static const std::int32_t rate = [] {
        const char* text = std::getenv("QMV_CLOCK_RATE");
        const std::int32_t parsed = Parse(text);
        if (text != nullptr && *text != '\0') {
            if (parsed == 1 && std::string_view(text) != "1") {
                Qmv2::Platform::Log("QMV_CLOCK_RATE=%s is not a whole number from 1 to 1000: the round clocks keep real time\n", text);
            } else {
                Qmv2::Platform::Log("The round clocks run %d times as fast as real time (QMV_CLOCK_RATE)\n", parsed);
            }
        }
        return parsed;
    }();
    return rate;
}

std::int32_t ClockRate::Step(std::int32_t dt)
{
    return dt * Rate();
}
