#include "framework/core/util/Random.h"

namespace Qmv2 {

namespace {

constexpr std::uint64_t kMultiplier = 0x5DEECE66Dull;
constexpr std::uint64_t kMask = (1ull << 48) - 1;
constexpr std::uint64_t kAddend = 0xBull;

} // namespace

Rand::Rand()
    : Rand(0)
{
}

Rand::Rand(std::int64_t seed)
    : m_State(0), m_Multiplier(kMultiplier), m_Mask(kMask), m_Addend(kAddend)
{
    Seed(seed);
}

void Rand::Seed(std::int64_t seed)
{
    m_Multiplier = kMultiplier;
    m_Mask = kMask;
    m_Addend = kAddend;
    m_State = (static_cast<std::uint64_t>(seed) ^ kMultiplier) & kMask;
}

std::uint32_t Rand::Next(int bits)
{
    m_State = (m_State * m_Multiplier + m_Addend) & m_Mask;
    if (bits <= 0)
        return 0;
    if (bits > 32)
        bits = 32;
    return static_cast<std::uint32_t>(m_State >> (48 - bits));
}

std::int32_t Rand::NextInt()
{
    return static_cast<std::int32_t>(Next(32));
}

float Rand::NextFloat()
{
    return static_cast<float>(Next(24)) / static_cast<float>(1 << 24);
}

std::int32_t Rand::Range(std::int32_t low, std::int32_t high)
{
    const std::int64_t value = NextInt();
    const std::int64_t n = static_cast<std::int64_t>(high) - low;
    if (n == 0)
        return low;
    std::int64_t r = value % n;
    if (r != 0 && ((r < 0) != (n < 0)))
        r += n;
    return static_cast<std::int32_t>(low + r);
}

} // namespace Qmv2
