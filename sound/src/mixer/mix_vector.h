// Vector forms of the mix loops' steady passes (volume constant over the
// pass): the very arithmetic of the per-frame loops, several frames at a
// time, so that the output is the same to the bit. Each loop is given a
// multiple of the table's `frames` and answers the position reached; the
// caller mixes the rest of a pass with the per-frame loop.
#pragma once

#include <cstdint>
#include <cstring>

// Sample data read at any byte, as the vector loops' fetches do.
namespace mixvector {
inline uint16_t Load16(const uint8_t *p) {
  uint16_t v;
  std::memcpy(&v, p, sizeof v);
  return v;
}
inline uint32_t Load32(const uint8_t *p) {
  uint32_t v;
  std::memcpy(&v, p, sizeof v);
  return v;
}
inline int64_t Load64(const uint8_t *p) {
  int64_t v;
  std::memcpy(&v, p, sizeof v);
  return v;
}
}  // namespace mixvector

struct MixVectorLoops {
  int frames;  // frames mixed at a time: 4 in SSE2, 8 where AVX2 pays
  // Saturated 16-bit stereo buffer; volumes are 8.8 words taken as unsigned.
  // 8-bit data is signed, 16-bit data little-endian; stereo data interleaved.
  int64_t (*intMono8)(int16_t *out, const uint8_t *data, int64_t pos, int64_t delta, int frames, int32_t left,
                      int32_t right);
  int64_t (*intMono16)(int16_t *out, const uint8_t *data, int64_t pos, int64_t delta, int frames, int32_t left,
                       int32_t right);
  int64_t (*intStereo8)(int16_t *out, const uint8_t *data, int64_t pos, int64_t delta, int frames, int32_t left,
                        int32_t right);
  int64_t (*intStereo16)(int16_t *out, const uint8_t *data, int64_t pos, int64_t delta, int frames, int32_t left,
                         int32_t right);
  // Float stereo buffer on the 16-bit scale; surround subtracts the left side.
  int64_t (*floatMono8)(float *out, const uint8_t *data, int64_t pos, int64_t delta, int frames, float left,
                        float right, bool surround);
  int64_t (*floatMono16)(float *out, const uint8_t *data, int64_t pos, int64_t delta, int frames, float left,
                         float right, bool surround);
  int64_t (*floatStereo8)(float *out, const uint8_t *data, int64_t pos, int64_t delta, int frames, float left,
                          float right, bool surround);
  int64_t (*floatStereo16)(float *out, const uint8_t *data, int64_t pos, int64_t delta, int frames, float left,
                           float right, bool surround);
  // Clamps the float buffer to 16 bits and rounds to nearest, ties to even;
  // whole multiples of `frames` frames only.
  void (*floatClipCopy)(int16_t *destination, const float *buffer, int frames);
};

// Instruction sets the vector loops are written in, lowest first.
enum class MixVectorLevel { Off, Sse2, Avx2 };

// The vector loops in use, or null where the per-frame loops are all there is
// (or the vector loops were switched off).
const MixVectorLoops *MixVector_Loops();

// The highest level this processor has; the processor is asked once.
MixVectorLevel MixVector_Best();

// Uses the loops of at most `level` (never above the best); the best is the
// default. Tests and benchmarks run the levels side by side with it.
void MixVector_Limit(MixVectorLevel level);

// Loops of the AVX2 level: the SSE2 table with the loops where eight frames
// at a time pay put in. For the selection above only.
MixVectorLoops MixVectorAvx2_Loops(const MixVectorLoops &sse2);
