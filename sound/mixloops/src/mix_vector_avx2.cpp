// AVX2 forms of the vector loops, eight frames at a time: the same lane
// arithmetic as the SSE2 loops (and so as the per-frame loops), only twice as
// wide. Every function here carries the avx2 target, so the rest of the
// program stays runnable on processors without it; the selection asks the
// processor before any of them is called.
#include "sound/mixloops/src/mix_vector.h"

#include <cstring>

#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>

#define MIXVECTOR_AVX2 [[gnu::target("avx2")]]

namespace {

MIXVECTOR_AVX2 inline uint32_t Load32(const uint8_t *p) {
  uint32_t v;
  std::memcpy(&v, p, sizeof v);
  return v;
}

// The 32-bit words at the whole parts of the next eight positions (mono
// 16-bit data: the frame and the next one), one lane each.
MIXVECTOR_AVX2 inline __m256i Gather8Mono16(const uint8_t *data, int64_t *pos, int64_t delta) {
  int32_t w[8];
  int64_t p = *pos;
  for (int k = 0; k < 8; ++k, p += delta) w[k] = int32_t(Load32(data + 2 * (p >> 32)));
  *pos = p;
  return _mm256_setr_epi32(w[0], w[1], w[2], w[3], w[4], w[5], w[6], w[7]);
}

// Position fractions (the low 32 bits) of eight frames, and their step over eight.
struct Fractions8 {
  __m256i now, step8;
  MIXVECTOR_AVX2 Fractions8(int64_t pos, int64_t delta) {
    const uint32_t f = uint32_t(pos), d = uint32_t(delta);
    now = _mm256_add_epi32(_mm256_set1_epi32(int(f)), _mm256_mullo_epi32(_mm256_set1_epi32(int(d)),
                                                                        _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7)));
    step8 = _mm256_set1_epi32(int(8 * d));
  }
  MIXVECTOR_AVX2 __m256i Next() {
    const __m256i v = now;
    now = _mm256_add_epi32(now, step8);
    return v;
  }
};

// ---- integer loops (see the SSE2 forms for the arithmetic) ----

MIXVECTOR_AVX2 inline __m256i IntWeights(__m256i fraction) {
  const __m256i w1 = _mm256_srli_epi32(fraction, 17);
  return _mm256_or_si256(_mm256_slli_epi32(w1, 16), _mm256_sub_epi32(_mm256_set1_epi32(32767), w1));
}

MIXVECTOR_AVX2 inline __m256i IntInterpolate(__m256i pairs, __m256i weights) {
  const __m256i s0 = _mm256_srai_epi32(_mm256_slli_epi32(pairs, 16), 16);
  return _mm256_srai_epi32(_mm256_add_epi32(_mm256_madd_epi16(pairs, weights), s0), 15);
}

struct IntVolume8 {
  __m256i words, high;
  MIXVECTOR_AVX2 IntVolume8(int32_t left, int32_t right) {
    words = _mm256_set1_epi32(int((uint32_t(uint16_t(right)) << 16) | uint16_t(left)));
    high = _mm256_srai_epi16(words, 15);
  }
  MIXVECTOR_AVX2 void AddTo(int16_t *out, __m256i v) const {
    const __m256i scaled = _mm256_add_epi16(_mm256_mulhi_epi16(v, words), _mm256_and_si256(v, high));
    __m256i *o = reinterpret_cast<__m256i *>(out);
    _mm256_storeu_si256(o, _mm256_adds_epi16(_mm256_loadu_si256(o), scaled));
  }
};

// Eight values to (v0 v0 v1 v1 ... v7 v7) words: packing and unpacking stay
// within each 128-bit half, which holds four frames in order.
MIXVECTOR_AVX2 inline __m256i MonoToFrames(__m256i v) {
  const __m256i words = _mm256_packs_epi32(v, v);
  return _mm256_unpacklo_epi16(words, words);
}

MIXVECTOR_AVX2 int64_t IntMono16(int16_t *out, const uint8_t *data, int64_t pos, int64_t delta, int frames,
                                 int32_t left, int32_t right) {
  const IntVolume8 volume(left, right);
  Fractions8 fraction(pos, delta);
  for (int i = 0; i + 8 <= frames; i += 8) {
    const __m256i pairs = Gather8Mono16(data, &pos, delta);
    volume.AddTo(out + 2 * i, MonoToFrames(IntInterpolate(pairs, IntWeights(fraction.Next()))));
  }
  return pos;
}

// ---- float loops ----

MIXVECTOR_AVX2 inline __m256 FloatWeights(__m256i fraction) {
  return _mm256_mul_ps(_mm256_cvtepi32_ps(_mm256_srli_epi32(fraction, 1)),
                       _mm256_set1_ps(4.656612873077392578125e-10f));
}

// No fused multiply-add: the target leaves it out, so the rounding stays the
// per-frame loops'.
MIXVECTOR_AVX2 inline __m256 FloatInterpolate(__m256 s0, __m256 s1, __m256 t) {
  return _mm256_add_ps(s0, _mm256_mul_ps(_mm256_sub_ps(s1, s0), t));
}

MIXVECTOR_AVX2 inline void FloatAdd(float *out, __m256 v) {
  _mm256_storeu_ps(out, _mm256_add_ps(_mm256_loadu_ps(out), v));
}

// Eight values, each twice (left and right), times the volume pair.
MIXVECTOR_AVX2 inline void FloatMonoAdd(float *out, __m256 v, __m256 volume) {
  const __m256 low = _mm256_unpacklo_ps(v, v), high = _mm256_unpackhi_ps(v, v);  // frames 0 1 4 5, 2 3 6 7
  FloatAdd(out, _mm256_mul_ps(_mm256_permute2f128_ps(low, high, 0x20), volume));
  FloatAdd(out + 8, _mm256_mul_ps(_mm256_permute2f128_ps(low, high, 0x31), volume));
}

MIXVECTOR_AVX2 int64_t FloatMono16(float *out, const uint8_t *data, int64_t pos, int64_t delta, int frames,
                                   float left, float right, bool surround) {
  const float l = surround ? -left : left;
  const __m256 volume = _mm256_setr_ps(l, right, l, right, l, right, l, right);
  Fractions8 fraction(pos, delta);
  for (int i = 0; i + 8 <= frames; i += 8) {
    const __m256i pairs = Gather8Mono16(data, &pos, delta);
    const __m256 s0 = _mm256_cvtepi32_ps(_mm256_srai_epi32(_mm256_slli_epi32(pairs, 16), 16));
    const __m256 s1 = _mm256_cvtepi32_ps(_mm256_srai_epi32(pairs, 16));
    FloatMonoAdd(out + 2 * i, FloatInterpolate(s0, s1, FloatWeights(fraction.Next())), volume);
  }
  return pos;
}

// Eight frames (sixteen floats) clamped, rounded and packed; the pack works
// per 128-bit half, so the quarters are put back in order after it.
MIXVECTOR_AVX2 void FloatClipCopy(int16_t *destination, const float *buffer, int frames) {
  const __m256 low = _mm256_set1_ps(-32768.0f), high = _mm256_set1_ps(32767.0f);
  for (int i = 0; i + 8 <= frames; i += 8) {
    const __m256 a = _mm256_min_ps(_mm256_max_ps(_mm256_loadu_ps(buffer + 2 * i), low), high);
    const __m256 b = _mm256_min_ps(_mm256_max_ps(_mm256_loadu_ps(buffer + 2 * i + 8), low), high);
    const __m256i packed = _mm256_packs_epi32(_mm256_cvtps_epi32(a), _mm256_cvtps_epi32(b));
    _mm256_storeu_si256(reinterpret_cast<__m256i *>(destination + 2 * i), _mm256_permute4x64_epi64(packed, 0xD8));
  }
}

}  // namespace

MixVectorLoops MixVectorAvx2_Loops(const MixVectorLoops &sse2) {
  MixVectorLoops loops = sse2;
  loops.frames = 8;
  loops.intMono16 = IntMono16;
  loops.floatMono16 = FloatMono16;
  loops.floatClipCopy = FloatClipCopy;
  return loops;
}

#else

MixVectorLoops MixVectorAvx2_Loops(const MixVectorLoops &sse2) { return sse2; }

#endif
