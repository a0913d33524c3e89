#include "sound/src/mixer/mix_vector.h"

#include <algorithm>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

MixVectorLevel gLimit = MixVectorLevel::Avx2;

#if defined(__SSE2__)

// SSE2 is part of every x86-64 processor, so these loops need no run-time test.

using mixvector::Load16;
using mixvector::Load32;
using mixvector::Load64;

// The next four positions' whole parts through fetch, one 32-bit lane each.
template <typename Fetch>
__m128i Gather4(const uint8_t *data, int64_t *pos, int64_t delta, Fetch fetch) {
  const uint32_t a = fetch(data, *pos >> 32);
  const uint32_t b = fetch(data, (*pos + delta) >> 32);
  const uint32_t c = fetch(data, (*pos + 2 * delta) >> 32);
  const uint32_t d = fetch(data, (*pos + 3 * delta) >> 32);
  *pos += 4 * delta;
  return _mm_setr_epi32(int(a), int(b), int(c), int(d));
}

// The next four positions' data through fetch, one vector each (stereo frames).
template <typename Fetch>
void Fetch4(__m128i *x, const uint8_t *data, int64_t *pos, int64_t delta, Fetch fetch) {
  for (int k = 0; k < 4; ++k) {
    x[k] = fetch(data, *pos >> 32);
    *pos += delta;
  }
}
__m128i Stereo16Frames(const uint8_t *data, int64_t whole) { return _mm_cvtsi64_si128(Load64(data + 4 * whole)); }
__m128i Stereo8Frames(const uint8_t *data, int64_t whole) {
  return _mm_cvtsi32_si128(int(Load32(data + 2 * whole)));
}

// Position fractions (the low 32 bits) of four frames, and their step over four.
struct Fractions {
  __m128i now, step4;
  Fractions(int64_t pos, int64_t delta) {
    const uint32_t f = uint32_t(pos), d = uint32_t(delta);
    now = _mm_setr_epi32(int(f), int(f + d), int(f + 2 * d), int(f + 3 * d));
    step4 = _mm_set1_epi32(int(4 * d));
  }
  __m128i Next() {
    const __m128i v = now;
    now = _mm_add_epi32(now, step4);
    return v;
  }
};

// ---- integer loops ----

// Per lane the weight pair (32767 - w1, w1) with w1 the top 15 fraction bits:
// s0 * (32768 - w1) + s1 * w1 is then madd(pair, weights) + s0, which no
// 16-bit factor of 32768 could give.
__m128i IntWeights(__m128i fraction) {
  const __m128i w1 = _mm_srli_epi32(fraction, 17);
  return _mm_or_si128(_mm_slli_epi32(w1, 16), _mm_sub_epi32(_mm_set1_epi32(32767), w1));
}

// Lanes of (s0, s1) word pairs to (s0 * w0 + s1 * w1) >> 15 in 32 bits; a
// weighted mean of two 16-bit values, so it needs no saturation.
__m128i IntInterpolate(__m128i pairs, __m128i weights) {
  const __m128i s0 = _mm_srai_epi32(_mm_slli_epi32(pairs, 16), 16);
  return _mm_srai_epi32(_mm_add_epi32(_mm_madd_epi16(pairs, weights), s0), 15);
}

// out + ((v * unsigned word) >> 16), saturated: the signed high product is
// short by v where the word's top bit is set.
void IntAdd(int16_t *out, __m128i v, __m128i words) {
  const __m128i scaled = _mm_add_epi16(_mm_mulhi_epi16(v, words), _mm_and_si128(v, _mm_srai_epi16(words, 15)));
  __m128i *o = reinterpret_cast<__m128i *>(out);
  _mm_storeu_si128(o, _mm_adds_epi16(_mm_loadu_si128(o), scaled));
}

__m128i VolumeWords(int32_t left, int32_t right) {
  return _mm_set1_epi32(int((uint32_t(uint16_t(right)) << 16) | uint16_t(left)));
}

// Volume words (left, right) x 4 frames, the same for every frame.
struct IntVolume {
  __m128i words;
  IntVolume(int32_t left, int32_t right) : words(VolumeWords(left, right)) {}
  void AddTo(int16_t *out, __m128i v) const { IntAdd(out, v, words); }
  __m128i Next() { return words; }
};

// Volume words of a ramp: frame k's are left + k x stepLeft and right + k x
// stepRight, whose low 16 bits 16-bit lanes add exactly.
struct IntRamp {
  __m128i words, step4;
  IntRamp(int32_t left, int32_t right, int32_t stepLeft, int32_t stepRight)
      : words(_mm_add_epi16(VolumeWords(left, right),
                            _mm_mullo_epi16(VolumeWords(stepLeft, stepRight), _mm_setr_epi16(0, 0, 1, 1, 2, 2, 3, 3)))),
        step4(VolumeWords(4 * stepLeft, 4 * stepRight)) {}
  __m128i Next() {
    const __m128i v = words;
    words = _mm_add_epi16(words, step4);
    return v;
  }
};

// Mono: four values to (v0 v0 v1 v1 v2 v2 v3 v3) words.
__m128i MonoToFrames(__m128i v) {
  const __m128i words = _mm_packs_epi32(v, v);
  return _mm_unpacklo_epi16(words, words);
}

// What one mono frame's position fetches, as a word pair (s0, s1) in a lane.
__m128i Mono16Pairs(const uint8_t *data, int64_t *pos, int64_t delta) {
  return Gather4(data, pos, delta, [](const uint8_t *d, int64_t w) { return Load32(d + 2 * w); });
}

__m128i Mono8Pairs(const uint8_t *data, int64_t *pos, int64_t delta) {
  const __m128i bytes = Gather4(data, pos, delta, [](const uint8_t *d, int64_t w) { return uint32_t(Load16(d + w)); });
  // (b0, b1) to the word pair (b0 << 8, b1 << 8).
  return _mm_or_si128(_mm_and_si128(_mm_slli_epi32(bytes, 8), _mm_set1_epi32(0x0000FF00)),
                      _mm_and_si128(_mm_slli_epi32(bytes, 16), _mm_set1_epi32(int(0xFF000000u))));
}

template <__m128i (*Pairs)(const uint8_t *, int64_t *, int64_t), typename Volume>
int64_t IntMono(int16_t *out, const uint8_t *data, int64_t pos, int64_t delta, int frames, Volume volume) {
  Fractions fraction(pos, delta);
  for (int i = 0; i + 4 <= frames; i += 4) {
    const __m128i pairs = Pairs(data, &pos, delta);
    IntAdd(out + 2 * i, MonoToFrames(IntInterpolate(pairs, IntWeights(fraction.Next()))), volume.Next());
  }
  return pos;
}

template <__m128i (*Pairs)(const uint8_t *, int64_t *, int64_t)>
int64_t IntSteadyMono(int16_t *out, const uint8_t *data, int64_t pos, int64_t delta, int frames, int32_t left,
                      int32_t right) {
  return IntMono<Pairs>(out, data, pos, delta, frames, IntVolume(left, right));
}

template <__m128i (*Pairs)(const uint8_t *, int64_t *, int64_t)>
int64_t IntRampMono(int16_t *out, const uint8_t *data, int64_t pos, int64_t delta, int frames, int32_t *left,
                    int32_t *right, int32_t stepLeft, int32_t stepRight) {
  pos = IntMono<Pairs>(out, data, pos, delta, frames, IntRamp(*left, *right, stepLeft, stepRight));
  const int done = frames / 4 * 4;
  *left += done * stepLeft;
  *right += done * stepRight;
  return pos;
}

// Two frames' words (L0 R0 L1 R1 | L0 R0 L1 R1) to the pairs (L0 L1 R0 R1 | ...).
__m128i StereoPairs(__m128i frames) {
  constexpr int kSwapMiddle = (3 << 6) | (1 << 4) | (2 << 2) | 0;
  return _mm_shufflehi_epi16(_mm_shufflelo_epi16(frames, kSwapMiddle), kSwapMiddle);
}

// Four frames of stereo pairs (two vectors, two frames each) mixed in.
void IntStereoAdd(int16_t *out, __m128i ab, __m128i cd, __m128i fraction, const IntVolume &volume) {
  const __m128i weights = IntWeights(fraction);
  const __m128i vab = IntInterpolate(ab, _mm_unpacklo_epi32(weights, weights));
  const __m128i vcd = IntInterpolate(cd, _mm_unpackhi_epi32(weights, weights));
  volume.AddTo(out, _mm_packs_epi32(vab, vcd));
}

int64_t IntStereo16(int16_t *out, const uint8_t *data, int64_t pos, int64_t delta, int frames, int32_t left,
                    int32_t right) {
  const IntVolume volume(left, right);
  Fractions fraction(pos, delta);
  for (int i = 0; i + 4 <= frames; i += 4) {
    __m128i x[4];
    Fetch4(x, data, &pos, delta, Stereo16Frames);
    IntStereoAdd(out + 2 * i, StereoPairs(_mm_unpacklo_epi64(x[0], x[1])),
                 StereoPairs(_mm_unpacklo_epi64(x[2], x[3])), fraction.Next(), volume);
  }
  return pos;
}

int64_t IntStereo8(int16_t *out, const uint8_t *data, int64_t pos, int64_t delta, int frames, int32_t left,
                   int32_t right) {
  const IntVolume volume(left, right);
  Fractions fraction(pos, delta);
  const __m128i zero = _mm_setzero_si128();
  for (int i = 0; i + 4 <= frames; i += 4) {
    __m128i x[4];
    Fetch4(x, data, &pos, delta, Stereo8Frames);
    // Bytes to words of byte << 8, then as the 16-bit data.
    const __m128i ab = _mm_unpacklo_epi8(zero, _mm_unpacklo_epi32(x[0], x[1]));
    const __m128i cd = _mm_unpacklo_epi8(zero, _mm_unpacklo_epi32(x[2], x[3]));
    IntStereoAdd(out + 2 * i, StereoPairs(ab), StereoPairs(cd), fraction.Next(), volume);
  }
  return pos;
}

// ---- float loops ----

__m128 FloatWeights(__m128i fraction) {
  return _mm_mul_ps(_mm_cvtepi32_ps(_mm_srli_epi32(fraction, 1)), _mm_set1_ps(4.656612873077392578125e-10f));
}

__m128 FloatInterpolate(__m128 s0, __m128 s1, __m128 t) { return _mm_add_ps(s0, _mm_mul_ps(_mm_sub_ps(s1, s0), t)); }

// Bytes times 256 (sign-extended in 32-bit lanes) on the 16-bit scale; see kByteExtra.
__m128 FloatFromByteWords(__m128i w) {
  const __m128 f = _mm_cvtepi32_ps(w);
  const __m128 extra = _mm_mul_ps(f, _mm_set1_ps(mixvector::kByteExtra));
  return _mm_add_ps(f, _mm_max_ps(extra, _mm_setzero_ps()));
}

// Adding v * -left is subtracting v * left, to the bit; the left volumes of
// surround are negated by their sign bit.
__m128 SurroundSign(bool surround) {
  const int bit = surround ? int(0x80000000u) : 0;
  return _mm_castsi128_ps(_mm_setr_epi32(bit, 0, bit, 0));
}

__m128 FloatVolume(float left, float right, bool surround) {
  return _mm_xor_ps(_mm_setr_ps(left, right, left, right), SurroundSign(surround));
}

void FloatAdd(float *out, __m128 v) { _mm_storeu_ps(out, _mm_add_ps(_mm_loadu_ps(out), v)); }

// The volume pairs of four frames, (L0 R0 L1 R1) and (L2 R2 L3 R3).
struct FloatSteady {
  __m128 volume;
  FloatSteady(float left, float right, bool surround) : volume(FloatVolume(left, right, surround)) {}
  void Next(__m128 *v01, __m128 *v23) { *v01 = *v23 = volume; }
};

struct FloatRamp {
  mixvector::FloatRampSide left, right;
  __m128 sign;
  FloatRamp(float l, float r, float stepLeft, float stepRight, bool surround)
      : left(l, stepLeft), right(r, stepRight), sign(SurroundSign(surround)) {}
  void Next(__m128 *v01, __m128 *v23) {
    if (left.linear >= 4 && right.linear >= 4) {
      const __m128 start = _mm_setr_ps(left.volume, right.volume, left.volume, right.volume);
      const __m128 step = _mm_setr_ps(left.gridStep, right.gridStep, left.gridStep, right.gridStep);
      *v01 = _mm_add_ps(start, _mm_mul_ps(step, _mm_setr_ps(0, 0, 1, 1)));
      *v23 = _mm_add_ps(start, _mm_mul_ps(step, _mm_setr_ps(2, 2, 3, 3)));
      left.Advance(4);
      right.Advance(4);
    } else {
      float volumes[8];
      mixvector::FloatRampFrames(&left, &right, 4, volumes);
      *v01 = _mm_loadu_ps(volumes);
      *v23 = _mm_loadu_ps(volumes + 4);
    }
    *v01 = _mm_xor_ps(*v01, sign);
    *v23 = _mm_xor_ps(*v23, sign);
  }
};

void FloatMonoAdd(float *out, __m128 v, __m128 v01, __m128 v23) {
  FloatAdd(out, _mm_mul_ps(_mm_unpacklo_ps(v, v), v01));
  FloatAdd(out + 4, _mm_mul_ps(_mm_unpackhi_ps(v, v), v23));
}

// Four mono frames' fetches to the floats of each frame and of the next one.
void FloatMono16Samples(const uint8_t *data, int64_t *pos, int64_t delta, __m128 *s0, __m128 *s1) {
  const __m128i pairs = Gather4(data, pos, delta, [](const uint8_t *d, int64_t w) { return Load32(d + 2 * w); });
  *s0 = _mm_cvtepi32_ps(_mm_srai_epi32(_mm_slli_epi32(pairs, 16), 16));
  *s1 = _mm_cvtepi32_ps(_mm_srai_epi32(pairs, 16));
}

void FloatMono8Samples(const uint8_t *data, int64_t *pos, int64_t delta, __m128 *s0, __m128 *s1) {
  const __m128i bytes = Gather4(data, pos, delta, [](const uint8_t *d, int64_t w) { return uint32_t(Load16(d + w)); });
  *s0 = FloatFromByteWords(_mm_srai_epi32(_mm_slli_epi32(bytes, 24), 16));
  *s1 = FloatFromByteWords(_mm_slli_epi32(_mm_srai_epi32(_mm_slli_epi32(bytes, 16), 24), 8));
}

using FloatSamples = void (*)(const uint8_t *, int64_t *, int64_t, __m128 *, __m128 *);

template <FloatSamples Samples, typename Volume>
int64_t FloatMono(float *out, const uint8_t *data, int64_t pos, int64_t delta, int frames, Volume *volume) {
  Fractions fraction(pos, delta);
  for (int i = 0; i + 4 <= frames; i += 4) {
    __m128 s0, s1, v01, v23;
    Samples(data, &pos, delta, &s0, &s1);
    volume->Next(&v01, &v23);
    FloatMonoAdd(out + 2 * i, FloatInterpolate(s0, s1, FloatWeights(fraction.Next())), v01, v23);
  }
  return pos;
}

template <FloatSamples Samples>
int64_t FloatSteadyMono(float *out, const uint8_t *data, int64_t pos, int64_t delta, int frames, float left,
                        float right, bool surround) {
  FloatSteady volume(left, right, surround);
  return FloatMono<Samples>(out, data, pos, delta, frames, &volume);
}

template <FloatSamples Samples>
int64_t FloatRampMono(float *out, const uint8_t *data, int64_t pos, int64_t delta, int frames, float *left,
                      float *right, float stepLeft, float stepRight, bool surround) {
  FloatRamp volume(*left, *right, stepLeft, stepRight, surround);
  pos = FloatMono<Samples>(out, data, pos, delta, frames, &volume);
  *left = volume.left.volume;
  *right = volume.right.volume;
  return pos;
}

// Four frames given as (L0 R0) and (L1 R1) of frames a b, then of c d.
void FloatStereoAdd(float *out, __m128 s0ab, __m128 s1ab, __m128 s0cd, __m128 s1cd, __m128 t, __m128 volume) {
  FloatAdd(out, _mm_mul_ps(FloatInterpolate(s0ab, s1ab, _mm_unpacklo_ps(t, t)), volume));
  FloatAdd(out + 4, _mm_mul_ps(FloatInterpolate(s0cd, s1cd, _mm_unpackhi_ps(t, t)), volume));
}

// Two stereo frames a and b of 16-bit data to (L0a R0a L0b R0b) and (L1a R1a L1b R1b).
struct FloatStereoData16 {
  static __m128i Fetch(const uint8_t *data, int64_t whole) { return Stereo16Frames(data, whole); }
  static void Split(__m128i a, __m128i b, __m128 *s0, __m128 *s1) {
    const __m128i words = _mm_unpacklo_epi32(a, b);
    *s0 = _mm_cvtepi32_ps(_mm_srai_epi32(_mm_unpacklo_epi16(words, words), 16));
    *s1 = _mm_cvtepi32_ps(_mm_srai_epi32(_mm_unpackhi_epi16(words, words), 16));
  }
};

// The same of 8-bit data: each byte times 256 spread over a lane, sign-extended
// from the lane's upper word.
struct FloatStereoData8 {
  static __m128i Fetch(const uint8_t *data, int64_t whole) { return Stereo8Frames(data, whole); }
  static void Split(__m128i a, __m128i b, __m128 *s0, __m128 *s1) {
    const __m128i bytes = _mm_unpacklo_epi16(a, b);
    const __m128i words = _mm_unpacklo_epi8(_mm_setzero_si128(), bytes);
    *s0 = FloatFromByteWords(_mm_srai_epi32(_mm_unpacklo_epi16(words, words), 16));
    *s1 = FloatFromByteWords(_mm_srai_epi32(_mm_unpackhi_epi16(words, words), 16));
  }
};

template <typename Data>
int64_t FloatStereo(float *out, const uint8_t *data, int64_t pos, int64_t delta, int frames, float left, float right,
                    bool surround) {
  const __m128 volume = FloatVolume(left, right, surround);
  Fractions fraction(pos, delta);
  for (int i = 0; i + 4 <= frames; i += 4) {
    __m128i x[4];
    Fetch4(x, data, &pos, delta, Data::Fetch);
    __m128 s0ab, s1ab, s0cd, s1cd;
    Data::Split(x[0], x[1], &s0ab, &s1ab);
    Data::Split(x[2], x[3], &s0cd, &s1cd);
    FloatStereoAdd(out + 2 * i, s0ab, s1ab, s0cd, s1cd, FloatWeights(fraction.Next()), volume);
  }
  return pos;
}

// max answers its second operand for a NaN, which clamps it to -32768 as the
// per-sample clamp does; the conversion rounds to nearest, ties to even.
void FloatClipCopy(int16_t *destination, const float *buffer, int frames) {
  const __m128 low = _mm_set1_ps(-32768.0f), high = _mm_set1_ps(32767.0f);
  for (int i = 0; i + 4 <= frames; i += 4) {
    const __m128 a = _mm_min_ps(_mm_max_ps(_mm_loadu_ps(buffer + 2 * i), low), high);
    const __m128 b = _mm_min_ps(_mm_max_ps(_mm_loadu_ps(buffer + 2 * i + 4), low), high);
    _mm_storeu_si128(reinterpret_cast<__m128i *>(destination + 2 * i),
                     _mm_packs_epi32(_mm_cvtps_epi32(a), _mm_cvtps_epi32(b)));
  }
}

constexpr MixVectorLoops kSse2 = {4,
                                  false,
                                  IntSteadyMono<Mono8Pairs>,
                                  IntSteadyMono<Mono16Pairs>,
                                  IntStereo8,
                                  IntStereo16,
                                  FloatSteadyMono<FloatMono8Samples>,
                                  FloatSteadyMono<FloatMono16Samples>,
                                  FloatStereo<FloatStereoData8>,
                                  FloatStereo<FloatStereoData16>,
                                  IntRampMono<Mono8Pairs>,
                                  IntRampMono<Mono16Pairs>,
                                  FloatRampMono<FloatMono8Samples>,
                                  FloatRampMono<FloatMono16Samples>,
                                  FloatClipCopy};

#endif

}  // namespace

MixVectorLevel MixVector_Best() {
#if defined(__SSE2__)
#if defined(__x86_64__) || defined(__i386__)
  static const bool avx2 = [] {
    __builtin_cpu_init();  // may run before the constructors that would do it
    return __builtin_cpu_supports("avx2") != 0;
  }();
  if (avx2) return MixVectorLevel::Avx2;
#endif
  return MixVectorLevel::Sse2;
#else
  return MixVectorLevel::Off;
#endif
}

void MixVector_Limit(MixVectorLevel level) { gLimit = level; }

const MixVectorLoops *MixVector_Loops() {
  const MixVectorLevel level = std::min(gLimit, MixVector_Best());
#if defined(__SSE2__)
  if (level == MixVectorLevel::Avx2) {
    static const MixVectorLoops avx2 = MixVectorAvx2_Loops(kSse2);
    return &avx2;
  }
  if (level == MixVectorLevel::Sse2) return &kSse2;
#endif
  return nullptr;
}
