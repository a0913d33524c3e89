// Fixed figures of the MPEG audio standards used by the decoder: the layer 3
// Huffman codes, scale-factor band edges, pre-emphasis, antialias
// coefficients, scale-factor bit counts and the synthesis window. The data
// lives in mpeg_tables.cpp, written by tools/mpegtables/generate.py.
#pragma once

#include <cstdint>

struct MpegHuffmanCode {
  uint16_t code;   // code word, right-aligned
  uint8_t length;  // bits
  uint8_t value;   // x << 4 | y for pairs; 8v + 4w + 2x + y for quadruples
};

struct MpegHuffmanTable {
  const MpegHuffmanCode *codes;  // null: the table has no codes (0, 4, 14)
  int count;
  int width;    // values per row: x and y run from 0 to width - 1
  int linbits;  // extra bits after an escape value 15
};

extern const MpegHuffmanTable kMpegHuffmanPairs[32];
extern const MpegHuffmanTable kMpegHuffmanQuads[2];
// Band edges in lines per sampling-frequency index; short edges per window.
extern const int16_t kMpegLongBands[9][23];
extern const int16_t kMpegShortBands[9][14];
extern const uint8_t kMpegPretab[22];
extern const double kMpegAntialias[8];
extern const uint8_t kMpegSlen[2][16];
// MPEG-2 band counts of the four scale-factor partitions: [table][long, short, mixed][partition].
extern const uint8_t kMpegLsfPartitions[6][3][4];
// Synthesis window taps D[0..256] in units of 2^-16.
extern const int32_t kMpegWindowTaps[257];
