// The MPEG decoder's cached bit reader against a plain bit-by-bit reading of
// the same bytes: reads of every width, peeks of 32 and 48 bits with partial
// skips, and seeks,
// over ranges of every length up to past the point where whole 8-byte loads
// stop, and the zeros that follow a range's end.
#include "sound/src/format/mpeg/mpeg_bits.h"

#include <gtest/gtest.h>

#include <vector>

namespace mpeg_bits_test {

namespace {

// Bit `position` of the range, 0 past its end.
uint32_t Bit(const std::vector<uint8_t> &bytes, size_t position) {
  const size_t byte = position / 8;
  return byte < bytes.size() ? (bytes[byte] >> (7 - position % 8)) & 1u : 0u;
}

uint32_t Bits(const std::vector<uint8_t> &bytes, size_t position, int n) {
  uint32_t value = 0;
  for (int i = 0; i < n; ++i) value = value << 1 | Bit(bytes, position + size_t(i));
  return value;
}

}  // namespace

TEST(MpegBitReader, ReadsWhatABitByBitReadingReads) {
  uint32_t seed = 12345;
  auto next = [&seed] {
    seed = seed * 1103515245u + 12345u;
    return seed >> 8;
  };
  for (size_t length = 0; length <= 40; ++length) {
    std::vector<uint8_t> bytes(length);
    for (uint8_t &b : bytes) b = uint8_t(next());
    for (int run = 0; run < 20; ++run) {
      SCOPED_TRACE(testing::Message() << "length " << length << " run " << run);
      MpegBitReader reader(bytes.data(), bytes.size());
      size_t position = 0;
      if (run % 4 == 3) {
        position = next() % (8 * length + 9);
        reader.Seek(position);
      }
      while (position < 8 * length + 70) {
        ASSERT_EQ(reader.Position(), position);
        int n = int(next() % 33);
        const uint32_t kind = next() % 3;
        if (kind == 0) {
          ASSERT_EQ(reader.Get(n), n ? Bits(bytes, position, n) : 0u) << "at " << position << ", " << n << " bits";
        } else if (kind == 1) {
          ASSERT_EQ(reader.Peek(), Bits(bytes, position, 32)) << "at " << position;
          reader.Skip(n);
        } else {
          const uint64_t wide = reader.PeekWide() >> 16;
          ASSERT_EQ(wide >> 24, Bits(bytes, position, 24)) << "at " << position;
          ASSERT_EQ(wide & 0xFFFFFF, Bits(bytes, position + 24, 24)) << "at " << position;
          n = int(next() % 49);
          reader.Skip(n);
        }
        position += size_t(n);
        if (next() % 16 == 0) {
          // Back or ahead, to any bit.
          position = next() % (8 * length + 9);
          reader.Seek(position);
        }
      }
    }
  }
}

}  // namespace mpeg_bits_test
