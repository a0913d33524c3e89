// The standard's layer 3 figures as written by tools/mpegtables: every
// Huffman table is a complete prefix code over values in range, and the
// scale-factor bands of every rate tile the granule.
#include "sound/src/format/mpeg/mpeg_tables.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <set>

namespace mpeg_tables_test {

namespace {

// Pairs hold x << 4 | y with x, y below the width; quadruples a 4-bit index.
void ExpectCompletePrefixCode(const MpegHuffmanTable &t, bool quadruples) {
  ASSERT_NE(t.codes, nullptr);
  uint64_t kraft = 0;  // in units of 2^-32
  std::set<int> values;
  for (int i = 0; i < t.count; ++i) {
    const MpegHuffmanCode &c = t.codes[i];
    ASSERT_GE(c.length, 1);
    ASSERT_LE(c.length, 19);
    EXPECT_EQ(c.code >> c.length, 0) << "code wider than its length, entry " << i;
    kraft += uint64_t(1) << (32 - c.length);
    if (quadruples) {
      EXPECT_LT(c.value, 16);
    } else {
      EXPECT_LT(c.value >> 4, t.width);
      EXPECT_LT(c.value & 15, t.width);
    }
    values.insert(c.value);
    for (int j = 0; j < t.count; ++j) {
      const MpegHuffmanCode &o = t.codes[j];
      if (j == i || o.length < c.length) continue;
      EXPECT_NE(o.code >> (o.length - c.length), c.code) << "entry " << i << " is a prefix of entry " << j;
    }
  }
  EXPECT_EQ(kraft, uint64_t(1) << 32);
  EXPECT_EQ(int(values.size()), t.count);
}

TEST(MpegTables, EveryHuffmanTableIsACompletePrefixCode) {
  for (int n = 0; n < 32; ++n) {
    SCOPED_TRACE(n);
    const MpegHuffmanTable &t = kMpegHuffmanPairs[n];
    if (n == 0 || n == 4 || n == 14) {
      EXPECT_EQ(t.codes, nullptr);
      continue;
    }
    EXPECT_EQ(t.count, t.width * t.width);
    EXPECT_LE(t.width, 16);
    // Escapes (linbits) exist only in the 16-wide tables from 16 on.
    EXPECT_EQ(t.linbits > 0, n >= 16);
    EXPECT_LE(t.linbits, 13);
    ExpectCompletePrefixCode(t, false);
  }
  for (const MpegHuffmanTable &t : kMpegHuffmanQuads) {
    EXPECT_EQ(t.count, 16);
    ExpectCompletePrefixCode(t, true);
  }
}

TEST(MpegTables, BandsTileTheGranuleAtEveryRate) {
  for (int rate = 0; rate < 9; ++rate) {
    SCOPED_TRACE(rate);
    EXPECT_EQ(kMpegLongBands[rate][0], 0);
    EXPECT_EQ(kMpegLongBands[rate][22], 576);
    EXPECT_EQ(kMpegShortBands[rate][0], 0);
    EXPECT_EQ(kMpegShortBands[rate][13], 192);
    for (int b = 0; b < 22; ++b) EXPECT_LT(kMpegLongBands[rate][b], kMpegLongBands[rate][b + 1]);
    for (int b = 0; b < 13; ++b) EXPECT_LT(kMpegShortBands[rate][b], kMpegShortBands[rate][b + 1]);
    // A mixed block's long part (two subbands) ends on a band edge of both kinds.
    const int mixedEnd = 3 * kMpegShortBands[rate][3];
    bool onLongEdge = false;
    for (int b = 0; b < 23; ++b) onLongEdge |= kMpegLongBands[rate][b] == mixedEnd;
    EXPECT_TRUE(onLongEdge);
  }
  // The MPEG-2 partitions hold exactly the factors of each block kind:
  // 21 long bands, 12 short bands of 3 windows, or 6 long + 9 x 3 short
  // (fewer where the intensity tables leave partitions empty).
  for (int table = 0; table < 6; ++table) {
    int total[3] = {};
    for (int kind = 0; kind < 3; ++kind)
      for (int p = 0; p < 4; ++p) total[kind] += kMpegLsfPartitions[table][kind][p];
    EXPECT_LE(total[0], 21) << table;
    EXPECT_LE(total[1], 36) << table;
    EXPECT_LE(total[2], 33) << table;
  }
}

}  // namespace

}  // namespace mpeg_tables_test
