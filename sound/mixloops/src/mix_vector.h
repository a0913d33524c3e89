// Vector forms of the mix loops' steady passes (volume constant over the
// pass): the very arithmetic of the per-frame loops, several frames at a
// time, so that the output is the same to the bit. Each loop mixes the
// largest multiple of MixVector_kFrames not above `frames` and answers the
// position reached; the caller mixes the rest with the per-frame loop.
#pragma once

#include <cstdint>

constexpr int MixVector_kFrames = 4;

struct MixVectorLoops {
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
  // whole multiples of MixVector_kFrames frames only.
  void (*floatClipCopy)(int16_t *destination, const float *buffer, int frames);
};

// The vector loops of this processor, or null where the per-frame loops are
// all there is (or the vector loops were switched off).
const MixVectorLoops *MixVector_Loops();

// On by default where the processor has them; tests switch them off to run
// the per-frame loops side by side.
void MixVector_Enable(bool enabled);
