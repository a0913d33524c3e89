// The seed a test deals its rounds from. The game deals a new player's words
// from the clock, and a test that does the same meets a different deal each
// run: a rare deal that breaks a rule must be dealt again to be mended. So
// the seed is QMV_DEAL_SEED when that is set, else the clock's milliseconds,
// and every failure of a test that holds one names it.
#pragma once

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <string>

#include <gtest/gtest.h>

namespace frontendtest {

// QMV_DEAL_SEED as a 32-bit seed, or the clock's milliseconds when it is not
// set (or not such a number, which fails the test that asked).
inline std::int32_t ChooseDealSeed()
{
    if (const char* fixed = std::getenv("QMV_DEAL_SEED"); fixed != nullptr && *fixed != '\0') {
        char* end = nullptr;
        errno = 0;
        const long long seed = std::strtoll(fixed, &end, 10);
        if (*end == '\0' && errno == 0 && seed >= std::numeric_limits<std::int32_t>::min() &&
            seed <= std::numeric_limits<std::int32_t>::max()) {
            return static_cast<std::int32_t>(seed);
        }
        ADD_FAILURE() << "QMV_DEAL_SEED=" << fixed << " is not a 32-bit whole number; the clock deals instead";
    }
    const auto now = std::chrono::steady_clock::now().time_since_epoch();
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(now).count();
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(ms));  // the clock's low 32 bits, as the game's
}

// A test's deal seed: while it lives, each failure of the test is reported
// with the seed and the variable that deals it again. Made and destroyed on
// the test's own thread (as a fixture's member).
class DealSeed {
public:
    DealSeed() : m_Seed(ChooseDealSeed()), m_Trace(__FILE__, __LINE__, Describe(m_Seed)) {}
    DealSeed(const DealSeed&) = delete;
    DealSeed& operator=(const DealSeed&) = delete;

    std::int32_t Value() const { return m_Seed; }

private:
    static std::string Describe(std::int32_t seed)
    {
        return "dealt from seed " + std::to_string(seed) + " (QMV_DEAL_SEED=" + std::to_string(seed) +
               " deals it again)";
    }

    std::int32_t m_Seed;
    ::testing::ScopedTrace m_Trace;
};

}  // namespace frontendtest
