// Vector forms of the mix loops' passes: the very arithmetic of the per-frame
// loops, several frames at a time, so that the output is the same to the bit.
// Each loop answers the position reached. Where the table's `anyLength` is
// false it is given a multiple of `frames`, and the caller mixes the rest of a
// pass with the per-frame loop.
#pragma once

#include <algorithm>
#include <cmath>
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

// Signed bytes go to the 16-bit float scale as the conversion table has them:
// v * 32767 / 127 from 0 up, v * 256 below. The vector loops take w = 256 v
// (the byte's bits above eight zero bits) and compute w + max(w * kByteExtra,
// 0), one product, where v * 258 + v / 127 took two and masks: below 0 the
// product is clamped to 0 and the sum is w; from 0 up the quotient is w +
// v * (2 + 1/127), and with this factor (the float nearest (2 + 1/127) / 256
// as float arithmetic rounds it) the product's rounding and the sum's give the
// quotient's float for every v from 0 to 127 (the conversion test checks each
// byte).
constexpr float kByteExtra = 0x1.010204p-7f;

// One side of a float volume ramp. The per-frame loop adds the step to the
// volume frame by frame, each sum rounded to float, so frame k's volume is in
// general not volume + k x step. But while the sums stay strictly inside the
// volume's binade, every sum rounds to the same grid, and adding the step is
// adding the step rounded to that grid (a multiple of the grid, so the sums
// are exact): there frame k's volume is volume + k x rounded step, which the
// vector loops compute lane by lane. `linear` counts the frames ahead for
// which that holds; elsewhere (a step that falls half-way between two grid
// points, a volume of 0 or below the normal range, a binade's edge) the
// volumes are added one by one as the per-frame loop does.
struct FloatRampSide {
  float volume, step;
  float gridStep;  // the step rounded to the volume's grid
  int linear;      // frames over which adding step is adding gridStep

  FloatRampSide(float v, float s) : volume(v), step(s) { Plan(); }

  // 2^e for e within double's normal range.
  static double PowerOfTwo(int e) {
    const uint64_t bits = uint64_t(1023 + e) << 52;
    double v;
    std::memcpy(&v, &bits, sizeof v);
    return v;
  }

  void Plan() {
    linear = 0;
    gridStep = 0.0f;
    uint32_t bits;
    std::memcpy(&bits, &volume, sizeof bits);
    const int exponent = int(bits >> 23);  // the sign bit clear: a positive volume
    if (exponent == 0 || exponent >= 255) return;
    // The volume and the step in units of the grid: the volume an integer in
    // [2^23, 2^24), the step scaled by a power of two, exactly.
    const int64_t units = int64_t((bits & 0x7FFFFFu) | 0x800000u);
    const double stepUnits = double(step) * PowerOfTwo(150 - exponent);
    if (!(std::fabs(stepUnits) < 8388608.0)) return;
    // Rounded to nearest by the sum's own rounding, as 2^52 + 2^51 leaves no fraction bits.
    const double rounded = (stepUnits + 6755399441055744.0) - 6755399441055744.0;
    if (std::fabs(stepUnits - rounded) == 0.5) return;
    const int64_t m = int64_t(rounded);
    // Every volume reached must stay strictly inside (2^23, 2^24) units: the
    // exact sum before it is then within half a unit of it, so inside the
    // binade.
    int64_t frames;
    if (m > 0)
      frames = (16777215 - units) / m;
    else if (m < 0)
      frames = (units - 8388609) / -m;
    else  // the volume stays; a step down from the binade's foot may not
      frames = units > 8388608 || step >= 0.0f ? int64_t(1) << 30 : 0;
    linear = int(std::min<int64_t>(frames, int64_t(1) << 30));
    gridStep = float(rounded * PowerOfTwo(exponent - 150));
  }

  // Moves on by n frames of the linear stretch: exact, as the sum is on the grid.
  void Advance(int n) {
    volume += float(n) * gridStep;
    linear -= n;
  }
};

// The volumes of the next n frames of a ramp, left and right interleaved, one
// frame at a time as the per-frame loop adds them; the stretch ahead is then
// planned anew.
inline void FloatRampFrames(FloatRampSide *left, FloatRampSide *right, int n, float *volumes) {
  for (int k = 0; k < n; ++k) {
    volumes[2 * k] = left->volume;
    volumes[2 * k + 1] = right->volume;
    left->volume += left->step;
    right->volume += right->step;
  }
  left->Plan();
  right->Plan();
}
}  // namespace mixvector

struct MixVectorLoops {
  int frames;      // frames mixed at a time: 4 in SSE2, 8 where AVX2 pays
  bool anyLength;  // the loops take passes of any length (AVX2 masks the last block)
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
  // Mono passes under a volume ramp. The integer volume words of frame k are
  // left + k x stepLeft and right + k x stepRight; the float volumes move as
  // FloatRampSide describes. Each leaves the volumes of the frame after its
  // last in left and right.
  int64_t (*intRampMono8)(int16_t *out, const uint8_t *data, int64_t pos, int64_t delta, int frames, int32_t *left,
                          int32_t *right, int32_t stepLeft, int32_t stepRight);
  int64_t (*intRampMono16)(int16_t *out, const uint8_t *data, int64_t pos, int64_t delta, int frames, int32_t *left,
                           int32_t *right, int32_t stepLeft, int32_t stepRight);
  int64_t (*floatRampMono8)(float *out, const uint8_t *data, int64_t pos, int64_t delta, int frames, float *left,
                            float *right, float stepLeft, float stepRight, bool surround);
  int64_t (*floatRampMono16)(float *out, const uint8_t *data, int64_t pos, int64_t delta, int frames, float *left,
                             float *right, float stepLeft, float stepRight, bool surround);
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
