#include "framework/core/files/Descramble.h"

#include <array>

#include "framework/core/util/Random.h"

namespace Qmv2 {
namespace {

// Changing the seed makes every stored scrambled file unreadable.
constexpr std::int64_t kScrambleSeed = 0x51A7E5EEDLL;

}  // namespace

const unsigned char* GetDescrambleTable()
{
    static const std::array<unsigned char, 256> table = [] {
        std::array<unsigned char, 256> entries{};
        Rand generator(kScrambleSeed);
        for (unsigned char& entry : entries) {
            entry = static_cast<unsigned char>(generator.Next(8));
        }
        return entries;
    }();
    return table.data();
}

void DescrambleBuffer(unsigned char* data, std::size_t count)
{
    const unsigned char* table = GetDescrambleTable();
    for (std::size_t i = 0; i < count; ++i) {
        data[i] ^= table[i % 256];
    }
}

}  // namespace Qmv2
