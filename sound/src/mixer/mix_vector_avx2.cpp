// AVX2 forms of the vector loops, eight frames at a time: the same lane
// arithmetic as the SSE2 loops (and so as the per-frame loops), only twice as
// wide. They take passes of any length: the frames past the last whole block
// are mixed as one more block whose loads and stores leave out the lanes past
// the end, so the per-frame loops have nothing left to do. Every function here carries the avx2 target, so the rest of the
// program stays runnable on processors without it; the selection asks the
// processor before any of them is called.
#include "sound/src/mixer/mix_vector.h"

#include <cstring>

#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>

#define MIXVECTOR_AVX2 [[gnu::target("avx2")]]

namespace {

using mixvector::Load16;
using mixvector::Load32;
using mixvector::Load64;

// What one frame's position fetches: the frame and the next one.
int32_t Mono16Pair(const uint8_t *data, int64_t whole) { return int32_t(Load32(data + 2 * whole)); }
int32_t Mono8Pair(const uint8_t *data, int64_t whole) { return int32_t(Load16(data + whole)); }
int32_t Stereo8Frames(const uint8_t *data, int64_t whole) { return int32_t(Load32(data + 2 * whole)); }
int64_t Stereo16Frames(const uint8_t *data, int64_t whole) { return Load64(data + 4 * whole); }

// The next eight positions' fetches; the position moves on by eight steps.
template <typename T>
void Fetch8(T *x, const uint8_t *data, int64_t *pos, int64_t delta, T (*fetch)(const uint8_t *, int64_t)) {
  int64_t p = *pos;
  for (int k = 0; k < 8; ++k, p += delta) x[k] = fetch(data, p >> 32);
  *pos = p;
}

// The first `count` of them; the lanes past those fetch the first position
// again, which is inside the data, and the position moves on by `count` steps.
template <typename T>
void FetchFirst(T *x, const uint8_t *data, int64_t *pos, int64_t delta, T (*fetch)(const uint8_t *, int64_t),
                int count) {
  const int64_t p = *pos;
  for (int k = 0; k < 8; ++k) x[k] = fetch(data, (k < count ? p + k * delta : p) >> 32);
  *pos = p + count * delta;
}

// The same, one 32-bit lane each.
template <bool Whole>
MIXVECTOR_AVX2 inline __m256i Gather8(const uint8_t *data, int64_t *pos, int64_t delta,
                                      int32_t (*fetch)(const uint8_t *, int64_t), int count) {
  int32_t w[8];
  if (Whole)
    Fetch8(w, data, pos, delta, fetch);
  else
    FetchFirst(w, data, pos, delta, fetch, count);
  return _mm256_setr_epi32(w[0], w[1], w[2], w[3], w[4], w[5], w[6], w[7]);
}

// Where a block's frames go: all eight of them to the buffer ...
struct AllFrames {
  static constexpr bool kWhole = true;
  int count = 8;
  MIXVECTOR_AVX2 __m256i Load(const int16_t *out) const {
    return _mm256_loadu_si256(reinterpret_cast<const __m256i *>(out));
  }
  MIXVECTOR_AVX2 void Store(int16_t *out, __m256i v) const {
    _mm256_storeu_si256(reinterpret_cast<__m256i *>(out), v);
  }
  // Float frames: four to a half.
  MIXVECTOR_AVX2 __m256 Load(const float *out, int) const { return _mm256_loadu_ps(out); }
  MIXVECTOR_AVX2 void Store(float *out, int, __m256 v) const { _mm256_storeu_ps(out, v); }
};

// ... or the first `count` (1 to 7): the buffer past them is neither read nor written.
struct FirstFrames {
  static constexpr bool kWhole = false;
  int count;
  __m256i frames, halves[2];  // lanes of the frames kept: 16-bit pairs, float pairs of each half
  MIXVECTOR_AVX2 explicit FirstFrames(int n) : count(n) {
    const __m256i limit = _mm256_set1_epi32(n);
    frames = _mm256_cmpgt_epi32(limit, _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7));
    halves[0] = _mm256_cmpgt_epi32(limit, _mm256_setr_epi32(0, 0, 1, 1, 2, 2, 3, 3));
    halves[1] = _mm256_cmpgt_epi32(limit, _mm256_setr_epi32(4, 4, 5, 5, 6, 6, 7, 7));
  }
  MIXVECTOR_AVX2 __m256i Load(const int16_t *out) const {
    return _mm256_maskload_epi32(reinterpret_cast<const int *>(out), frames);
  }
  MIXVECTOR_AVX2 void Store(int16_t *out, __m256i v) const {
    _mm256_maskstore_epi32(reinterpret_cast<int *>(out), frames, v);
  }
  MIXVECTOR_AVX2 __m256 Load(const float *out, int half) const { return _mm256_maskload_ps(out, halves[half]); }
  MIXVECTOR_AVX2 void Store(float *out, int half, __m256 v) const { _mm256_maskstore_ps(out, halves[half], v); }
};

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

template <typename Out>
MIXVECTOR_AVX2 inline void IntAdd(int16_t *out, __m256i v, __m256i words, const Out &to) {
  const __m256i scaled =
      _mm256_add_epi16(_mm256_mulhi_epi16(v, words), _mm256_and_si256(v, _mm256_srai_epi16(words, 15)));
  to.Store(out, _mm256_adds_epi16(to.Load(out), scaled));
}

MIXVECTOR_AVX2 inline __m256i VolumeWords(int32_t left, int32_t right) {
  return _mm256_set1_epi32(int((uint32_t(uint16_t(right)) << 16) | uint16_t(left)));
}

struct IntVolume8 {
  __m256i words;
  MIXVECTOR_AVX2 IntVolume8(int32_t left, int32_t right) : words(VolumeWords(left, right)) {}
  MIXVECTOR_AVX2 __m256i Next() { return words; }
};

// Volume words of a ramp: frame k's are left + k x stepLeft and right + k x
// stepRight, whose low 16 bits 16-bit lanes add exactly.
struct IntRamp8 {
  __m256i words, step8;
  MIXVECTOR_AVX2 IntRamp8(int32_t left, int32_t right, int32_t stepLeft, int32_t stepRight)
      : words(_mm256_add_epi16(VolumeWords(left, right),
                               _mm256_mullo_epi16(VolumeWords(stepLeft, stepRight),
                                                  _mm256_setr_epi16(0, 0, 1, 1, 2, 2, 3, 3, 4, 4, 5, 5, 6, 6, 7, 7)))),
        step8(VolumeWords(8 * stepLeft, 8 * stepRight)) {}
  MIXVECTOR_AVX2 __m256i Next() {
    const __m256i v = words;
    words = _mm256_add_epi16(words, step8);
    return v;
  }
};

// Eight values to (v0 v0 v1 v1 ... v7 v7) words: packing and unpacking stay
// within each 128-bit half, which holds four frames in order.
MIXVECTOR_AVX2 inline __m256i MonoToFrames(__m256i v) {
  const __m256i words = _mm256_packs_epi32(v, v);
  return _mm256_unpacklo_epi16(words, words);
}

// Eight mono frames' fetches as word pairs (s0, s1), one 32-bit lane each.
struct IntMonoData16 {
  template <bool Whole>
  MIXVECTOR_AVX2 static __m256i Pairs(const uint8_t *data, int64_t *pos, int64_t delta, int count) {
    return Gather8<Whole>(data, pos, delta, Mono16Pair, count);
  }
};

struct IntMonoData8 {
  template <bool Whole>
  MIXVECTOR_AVX2 static __m256i Pairs(const uint8_t *data, int64_t *pos, int64_t delta, int count) {
    // (b0, b1) to the word pair (b0 << 8, b1 << 8) with one byte shuffle.
    const __m256i bytes = Gather8<Whole>(data, pos, delta, Mono8Pair, count);
    return _mm256_shuffle_epi8(bytes, _mm256_setr_epi8(-1, 0, -1, 1, -1, 4, -1, 5, -1, 8, -1, 9, -1, 12, -1, 13, -1, 0,
                                                       -1, 1, -1, 4, -1, 5, -1, 8, -1, 9, -1, 12, -1, 13));
  }
};

template <typename Data, typename Volume, typename Out>
MIXVECTOR_AVX2 inline void IntMonoBlock(int16_t *out, const uint8_t *data, int64_t *pos, int64_t delta,
                                        Fractions8 *fraction, Volume *volume, const Out &to) {
  const __m256i pairs = Data::template Pairs<Out::kWhole>(data, pos, delta, to.count);
  IntAdd(out, MonoToFrames(IntInterpolate(pairs, IntWeights(fraction->Next()))), volume->Next(), to);
}

template <typename Data, typename Volume>
MIXVECTOR_AVX2 inline int64_t IntMono(int16_t *out, const uint8_t *data, int64_t pos, int64_t delta, int frames,
                                      Volume volume) {
  Fractions8 fraction(pos, delta);
  // Whole blocks, then the frames left as one block of fewer (the same in
  // each loop below; written out, as a shared lambda compiled slower here).
  int i = 0;
  for (; i + 8 <= frames; i += 8) IntMonoBlock<Data>(out + 2 * i, data, &pos, delta, &fraction, &volume, AllFrames());
  if (i < frames) IntMonoBlock<Data>(out + 2 * i, data, &pos, delta, &fraction, &volume, FirstFrames(frames - i));
  return pos;
}

template <typename Data>
MIXVECTOR_AVX2 int64_t IntSteadyMono(int16_t *out, const uint8_t *data, int64_t pos, int64_t delta, int frames,
                                     int32_t left, int32_t right) {
  return IntMono<Data>(out, data, pos, delta, frames, IntVolume8(left, right));
}

template <typename Data>
MIXVECTOR_AVX2 int64_t IntRampMono(int16_t *out, const uint8_t *data, int64_t pos, int64_t delta, int frames,
                                   int32_t *left, int32_t *right, int32_t stepLeft, int32_t stepRight) {
  pos = IntMono<Data>(out, data, pos, delta, frames, IntRamp8(*left, *right, stepLeft, stepRight));
  *left += frames * stepLeft;
  *right += frames * stepRight;
  return pos;
}

MIXVECTOR_AVX2 inline __m256i StereoPairs(__m256i frames) {
  constexpr int kSwapMiddle = (3 << 6) | (1 << 4) | (2 << 2) | 0;
  return _mm256_shufflehi_epi16(_mm256_shufflelo_epi16(frames, kSwapMiddle), kSwapMiddle);
}

// Eight frames of stereo pairs: frames 0 1 | 4 5 in one vector, 2 3 | 6 7 in
// the other, as the per-half unpacking of the weights lays them out; the pack
// puts the frames back in order.
template <typename Out>
MIXVECTOR_AVX2 inline void IntStereoAdd(int16_t *out, __m256i ab, __m256i cd, __m256i fraction,
                                        const IntVolume8 &volume, const Out &to) {
  const __m256i weights = IntWeights(fraction);
  const __m256i vab = IntInterpolate(StereoPairs(ab), _mm256_unpacklo_epi32(weights, weights));
  const __m256i vcd = IntInterpolate(StereoPairs(cd), _mm256_unpackhi_epi32(weights, weights));
  IntAdd(out, _mm256_packs_epi32(vab, vcd), volume.words, to);
}

// The next eight (or fewer) positions' fetches.
template <typename T, typename Out>
MIXVECTOR_AVX2 inline void FetchBlock(T *x, const uint8_t *data, int64_t *pos, int64_t delta,
                                      T (*fetch)(const uint8_t *, int64_t), const Out &to) {
  if constexpr (Out::kWhole)
    Fetch8(x, data, pos, delta, fetch);
  else
    FetchFirst(x, data, pos, delta, fetch, to.count);
}

template <typename Out>
MIXVECTOR_AVX2 inline void IntStereo16Block(int16_t *out, const uint8_t *data, int64_t *pos, int64_t delta,
                                            Fractions8 *fraction, const IntVolume8 &volume, const Out &to) {
  int64_t x[8];
  FetchBlock(x, data, pos, delta, Stereo16Frames, to);
  IntStereoAdd(out, _mm256_setr_epi64x(x[0], x[1], x[4], x[5]), _mm256_setr_epi64x(x[2], x[3], x[6], x[7]),
               fraction->Next(), volume, to);
}

MIXVECTOR_AVX2 int64_t IntStereo16(int16_t *out, const uint8_t *data, int64_t pos, int64_t delta, int frames,
                                   int32_t left, int32_t right) {
  const IntVolume8 volume(left, right);
  Fractions8 fraction(pos, delta);
  int i = 0;
  for (; i + 8 <= frames; i += 8) IntStereo16Block(out + 2 * i, data, &pos, delta, &fraction, volume, AllFrames());
  if (i < frames) IntStereo16Block(out + 2 * i, data, &pos, delta, &fraction, volume, FirstFrames(frames - i));
  return pos;
}

template <typename Out>
MIXVECTOR_AVX2 inline void IntStereo8Block(int16_t *out, const uint8_t *data, int64_t *pos, int64_t delta,
                                           Fractions8 *fraction, const IntVolume8 &volume, const Out &to) {
  // Bytes to words of byte << 8: the low halves' frames 0 1 | 4 5, the high halves' 2 3 | 6 7.
  const __m256i zero = _mm256_setzero_si256();
  const __m256i x = Gather8<Out::kWhole>(data, pos, delta, Stereo8Frames, to.count);
  IntStereoAdd(out, _mm256_unpacklo_epi8(zero, x), _mm256_unpackhi_epi8(zero, x), fraction->Next(), volume, to);
}

MIXVECTOR_AVX2 int64_t IntStereo8(int16_t *out, const uint8_t *data, int64_t pos, int64_t delta, int frames,
                                  int32_t left, int32_t right) {
  const IntVolume8 volume(left, right);
  Fractions8 fraction(pos, delta);
  int i = 0;
  for (; i + 8 <= frames; i += 8) IntStereo8Block(out + 2 * i, data, &pos, delta, &fraction, volume, AllFrames());
  if (i < frames) IntStereo8Block(out + 2 * i, data, &pos, delta, &fraction, volume, FirstFrames(frames - i));
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

// Adds eight floats, the half `half` of a block's sixteen.
template <typename Out>
MIXVECTOR_AVX2 inline void FloatAdd(float *out, int half, __m256 v, const Out &to) {
  to.Store(out + 8 * half, half, _mm256_add_ps(to.Load(out + 8 * half, half), v));
}

// Bytes times 256 (sign-extended in 32-bit lanes) on the 16-bit scale; see kByteExtra.
MIXVECTOR_AVX2 inline __m256 FloatFromByteWords(__m256i w) {
  const __m256 f = _mm256_cvtepi32_ps(w);
  const __m256 extra = _mm256_mul_ps(f, _mm256_set1_ps(mixvector::kByteExtra));
  return _mm256_add_ps(f, _mm256_max_ps(extra, _mm256_setzero_ps()));
}

// Adding v * -left is subtracting v * left, to the bit; the left volumes of
// surround are negated by their sign bit.
MIXVECTOR_AVX2 inline __m256 SurroundSign(bool surround) {
  const int bit = surround ? int(0x80000000u) : 0;
  return _mm256_castsi256_ps(_mm256_setr_epi32(bit, 0, bit, 0, bit, 0, bit, 0));
}

MIXVECTOR_AVX2 inline __m256 VolumePairs(float left, float right, bool surround) {
  return _mm256_xor_ps(_mm256_setr_ps(left, right, left, right, left, right, left, right), SurroundSign(surround));
}

// The volume pairs of eight frames: frames 0 to 3, then 4 to 7.
struct FloatSteady8 {
  __m256 volume;
  MIXVECTOR_AVX2 FloatSteady8(float left, float right, bool surround) : volume(VolumePairs(left, right, surround)) {}
  MIXVECTOR_AVX2 void Next(__m256 *v0123, __m256 *v4567, int) { *v0123 = *v4567 = volume; }
};

struct FloatRamp8 {
  mixvector::FloatRampSide left, right;
  __m256 sign;
  MIXVECTOR_AVX2 FloatRamp8(float l, float r, float stepLeft, float stepRight, bool surround)
      : left(l, stepLeft), right(r, stepRight), sign(SurroundSign(surround)) {}
  // The volumes of the next eight frames, or of the first `count` where
  // fewer: the ramp moves on by those.
  MIXVECTOR_AVX2 void Next(__m256 *v0123, __m256 *v4567, int count) {
    if (count == 8 && left.linear >= 8 && right.linear >= 8) {
      const float l = left.volume, r = right.volume, dl = left.gridStep, dr = right.gridStep;
      const __m256 start = _mm256_setr_ps(l, r, l, r, l, r, l, r);
      const __m256 step = _mm256_setr_ps(dl, dr, dl, dr, dl, dr, dl, dr);
      *v0123 = _mm256_add_ps(start, _mm256_mul_ps(step, _mm256_setr_ps(0, 0, 1, 1, 2, 2, 3, 3)));
      *v4567 = _mm256_add_ps(start, _mm256_mul_ps(step, _mm256_setr_ps(4, 4, 5, 5, 6, 6, 7, 7)));
      left.Advance(8);
      right.Advance(8);
    } else {
      float volumes[16] = {};
      mixvector::FloatRampFrames(&left, &right, count, volumes);
      *v0123 = _mm256_loadu_ps(volumes);
      *v4567 = _mm256_loadu_ps(volumes + 8);
    }
    *v0123 = _mm256_xor_ps(*v0123, sign);
    *v4567 = _mm256_xor_ps(*v4567, sign);
  }
};

// Eight values, each twice (left and right), times the volume pairs.
template <typename Out>
MIXVECTOR_AVX2 inline void FloatMonoAdd(float *out, __m256 v, __m256 v0123, __m256 v4567, const Out &to) {
  // One lane-crossing permutation for each half: fewer shuffles, which share
  // the float pipes with the arithmetic.
  const __m256 first = _mm256_permutevar8x32_ps(v, _mm256_setr_epi32(0, 0, 1, 1, 2, 2, 3, 3));
  const __m256 second = _mm256_permutevar8x32_ps(v, _mm256_setr_epi32(4, 4, 5, 5, 6, 6, 7, 7));
  FloatAdd(out, 0, _mm256_mul_ps(first, v0123), to);
  FloatAdd(out, 1, _mm256_mul_ps(second, v4567), to);
}

// Eight mono frames' fetched pairs to the floats of the frame and of the next one.
struct FloatMonoData16 {
  static constexpr auto Fetch = Mono16Pair;
  MIXVECTOR_AVX2 static void Split(__m256i pairs, __m256 *s0, __m256 *s1) {
    *s0 = _mm256_cvtepi32_ps(_mm256_srai_epi32(_mm256_slli_epi32(pairs, 16), 16));
    *s1 = _mm256_cvtepi32_ps(_mm256_srai_epi32(pairs, 16));
  }
};

struct FloatMonoData8 {
  static constexpr auto Fetch = Mono8Pair;
  MIXVECTOR_AVX2 static void Split(__m256i bytes, __m256 *s0, __m256 *s1) {
    // Each lane's second byte moved to the top with one byte shuffle.
    const __m256i second =
        _mm256_shuffle_epi8(bytes, _mm256_setr_epi8(-1, -1, -1, 1, -1, -1, -1, 5, -1, -1, -1, 9, -1, -1, -1, 13, -1, -1,
                                                    -1, 1, -1, -1, -1, 5, -1, -1, -1, 9, -1, -1, -1, 13));
    *s0 = FloatFromByteWords(_mm256_srai_epi32(_mm256_slli_epi32(bytes, 24), 16));
    *s1 = FloatFromByteWords(_mm256_srai_epi32(second, 16));
  }
};

template <typename Data, typename Volume, typename Out>
MIXVECTOR_AVX2 inline void FloatMonoBlock(float *out, const uint8_t *data, int64_t *pos, int64_t delta,
                                          Fractions8 *fraction, Volume *volume, const Out &to) {
  __m256 s0, s1, v0123, v4567;
  Data::Split(Gather8<Out::kWhole>(data, pos, delta, Data::Fetch, to.count), &s0, &s1);
  volume->Next(&v0123, &v4567, to.count);
  FloatMonoAdd(out, FloatInterpolate(s0, s1, FloatWeights(fraction->Next())), v0123, v4567, to);
}

template <typename Data, typename Volume>
MIXVECTOR_AVX2 inline int64_t FloatMono(float *out, const uint8_t *data, int64_t pos, int64_t delta, int frames,
                                        Volume *volume) {
  Fractions8 fraction(pos, delta);
  int i = 0;
  for (; i + 8 <= frames; i += 8) FloatMonoBlock<Data>(out + 2 * i, data, &pos, delta, &fraction, volume, AllFrames());
  if (i < frames) FloatMonoBlock<Data>(out + 2 * i, data, &pos, delta, &fraction, volume, FirstFrames(frames - i));
  return pos;
}

template <typename Data>
MIXVECTOR_AVX2 int64_t FloatSteadyMono(float *out, const uint8_t *data, int64_t pos, int64_t delta, int frames,
                                       float left, float right, bool surround) {
  FloatSteady8 volume(left, right, surround);
  return FloatMono<Data>(out, data, pos, delta, frames, &volume);
}

template <typename Data>
MIXVECTOR_AVX2 int64_t FloatRampMono(float *out, const uint8_t *data, int64_t pos, int64_t delta, int frames,
                                     float *left, float *right, float stepLeft, float stepRight, bool surround) {
  FloatRamp8 volume(*left, *right, stepLeft, stepRight, surround);
  pos = FloatMono<Data>(out, data, pos, delta, frames, &volume);
  *left = volume.left.volume;
  *right = volume.right.volume;
  return pos;
}

// Four stereo frames of 16-bit data to (L0 R0) of each in order, then (L1 R1) of each.
struct FloatStereoData16 {
  using Frame = int64_t;
  static constexpr auto Fetch = Stereo16Frames;
  MIXVECTOR_AVX2 static void Split(const int64_t *x, __m256 *s0, __m256 *s1) {
    const __m128i ab = _mm_shuffle_epi32(_mm_set_epi64x(x[1], x[0]), 0xD8);  // L0a R0a L0b R0b L1a R1a L1b R1b
    const __m128i cd = _mm_shuffle_epi32(_mm_set_epi64x(x[3], x[2]), 0xD8);
    *s0 = _mm256_cvtepi32_ps(_mm256_cvtepi16_epi32(_mm_unpacklo_epi64(ab, cd)));
    *s1 = _mm256_cvtepi32_ps(_mm256_cvtepi16_epi32(_mm_unpackhi_epi64(ab, cd)));
  }
};

// The same of 8-bit data, on the 16-bit scale.
struct FloatStereoData8 {
  using Frame = int32_t;
  static constexpr auto Fetch = Stereo8Frames;
  MIXVECTOR_AVX2 static void Split(const int32_t *x, __m256 *s0, __m256 *s1) {
    const __m128i order = _mm_setr_epi8(0, 1, 4, 5, 8, 9, 12, 13, 2, 3, 6, 7, 10, 11, 14, 15);
    const __m128i bytes = _mm_shuffle_epi8(_mm_setr_epi32(x[0], x[1], x[2], x[3]), order);
    *s0 = FloatFromByteWords(_mm256_cvtepi16_epi32(_mm_unpacklo_epi8(_mm_setzero_si128(), bytes)));
    *s1 = FloatFromByteWords(_mm256_cvtepi16_epi32(_mm_unpackhi_epi8(_mm_setzero_si128(), bytes)));
  }
};

template <typename Data, typename Out>
MIXVECTOR_AVX2 inline void FloatStereoBlock(float *out, const uint8_t *data, int64_t *pos, int64_t delta,
                                            Fractions8 *fraction, __m256 volume, const Out &to) {
  typename Data::Frame x[8];
  FetchBlock(x, data, pos, delta, Data::Fetch, to);
  const __m256 t = FloatWeights(fraction->Next());
  const __m256 low = _mm256_unpacklo_ps(t, t), high = _mm256_unpackhi_ps(t, t);  // frames 0 1 4 5, 2 3 6 7
  __m256 s0, s1;
  Data::Split(x, &s0, &s1);
  FloatAdd(out, 0, _mm256_mul_ps(FloatInterpolate(s0, s1, _mm256_permute2f128_ps(low, high, 0x20)), volume), to);
  Data::Split(x + 4, &s0, &s1);
  FloatAdd(out, 1, _mm256_mul_ps(FloatInterpolate(s0, s1, _mm256_permute2f128_ps(low, high, 0x31)), volume), to);
}

template <typename Data>
MIXVECTOR_AVX2 int64_t FloatStereo(float *out, const uint8_t *data, int64_t pos, int64_t delta, int frames,
                                   float left, float right, bool surround) {
  const __m256 volume = VolumePairs(left, right, surround);
  Fractions8 fraction(pos, delta);
  int i = 0;
  for (; i + 8 <= frames; i += 8)
    FloatStereoBlock<Data>(out + 2 * i, data, &pos, delta, &fraction, volume, AllFrames());
  if (i < frames) FloatStereoBlock<Data>(out + 2 * i, data, &pos, delta, &fraction, volume, FirstFrames(frames - i));
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
  loops.anyLength = true;
  loops.intMono8 = IntSteadyMono<IntMonoData8>;
  loops.intMono16 = IntSteadyMono<IntMonoData16>;
  loops.intStereo8 = IntStereo8;
  loops.intStereo16 = IntStereo16;
  loops.floatMono8 = FloatSteadyMono<FloatMonoData8>;
  loops.floatMono16 = FloatSteadyMono<FloatMonoData16>;
  loops.floatStereo8 = FloatStereo<FloatStereoData8>;
  loops.floatStereo16 = FloatStereo<FloatStereoData16>;
  loops.intRampMono8 = IntRampMono<IntMonoData8>;
  loops.intRampMono16 = IntRampMono<IntMonoData16>;
  loops.floatRampMono8 = FloatRampMono<FloatMonoData8>;
  loops.floatRampMono16 = FloatRampMono<FloatMonoData16>;
  loops.floatClipCopy = FloatClipCopy;
  return loops;
}

#else

MixVectorLoops MixVectorAvx2_Loops(const MixVectorLoops &sse2) { return sse2; }

#endif
