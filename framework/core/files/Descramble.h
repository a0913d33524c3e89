// The scramble of files stored under their name followed by ".!": every byte
// is XORed with a fixed table entry chosen by its position, so the same
// routine scrambles and descrambles.
#pragma once

#include <cstddef>

namespace Qmv2 {

// The 256-entry table, built on the first call (from any thread) and kept.
const unsigned char* GetDescrambleTable();
// XORs the bytes in place; applying it twice restores them.
void DescrambleBuffer(unsigned char* data, std::size_t count);

}  // namespace Qmv2
