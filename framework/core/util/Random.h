#pragma once

#include <cstdint>

#include "framework/core/object/BaseObject.h"
#include "framework/core/object/iInstance.h"

namespace Qmv2 {

// 48-bit linear congruential generator: every draw steps
// state = (state * 0x5DEECE66D + 0xB) mod 2^48 and takes the top bits.
// It has no type record of its own and reports BaseObject's.
class Rand : public BaseObject {
public:
    Rand();
    explicit Rand(std::int64_t seed);
    ~Rand() override = default;

    // state = (seed XOR 0x5DEECE66D) AND (2^48 - 1).
    void Seed(std::int64_t seed);

    // One step; the top `bits` (1 to 32) bits of the new state.
    std::uint32_t Next(int bits);
    // One step; the top 32 bits taken as a signed value.
    std::int32_t NextInt();
    // One step; a 24-bit draw times 2^-24, in [0, 1).
    float NextFloat();

    // One step; low plus the 32-bit draw modulo (high - low) taken with the
    // sign of (high - low): in [low, high) when high > low, in (high, low]
    // when high < low, and low itself when they are equal.
    std::int32_t Range(std::int32_t low, std::int32_t high);

    std::uint64_t GetState() const { return m_State; }

private:
    std::uint64_t m_State;
    std::uint64_t m_Multiplier;
    std::uint64_t m_Mask;
    std::uint64_t m_Addend;
};

// The framework's generator, made by the "random" start-up command.
class Random : public Rand, public iInstance<Random> {
public:
    using Rand::Rand;
};

} // namespace Qmv2
