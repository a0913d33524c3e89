// Polyphase synthesis filterbank: 32 subband samples per channel in, 32 PCM
// samples per channel out. The matrixing is a 32-point DCT (split in halves
// down to single points, about 80 multiplications) whose 32 outputs give
// the 64 history values by symmetry; then the 512-tap window, 16 taps per
// output sample, summed over contiguous runs of the history so that the
// compiler vectorises them.
#include "sound/src/format/mpeg/mpeg_decoder.h"
#include "sound/src/format/mpeg/mpeg_tables.h"

#include <algorithm>
#include <cmath>
#include <mutex>
#include <numbers>

#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>
#elif defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

struct SynthesisTables {
  // 1 / (2 cos((2k + 1) pi / 2N)) for the DCT halves of size N = 32 .. 2,
  // at offsets 0, 16, 24, 28, 30.
  float dctFactors[31];
  alignas(32) float window[512];
};

SynthesisTables gSynthesis;
std::once_flag gSynthesisOnce;

void BuildSynthesisTables() {
  const double pi = std::numbers::pi;
  int at = 0;
  for (int n = 32; n >= 2; n /= 2)
    for (int k = 0; k < n / 2; ++k) gSynthesis.dctFactors[at++] = float(0.5 / std::cos((2 * k + 1) * pi / (2 * n)));
  // The second half mirrors the first: negated, except at the multiples of 64.
  for (int n = 0; n < 512; ++n) {
    const int m = n <= 256 ? n : 512 - n;
    const int tap = n <= 256 || m % 64 == 0 ? kMpegWindowTaps[m] : -kMpegWindowTaps[m];
    gSynthesis.window[n] = float(tap / 65536.0);
  }
}

const SynthesisTables &SynthesisTablesOnce() {
  std::call_once(gSynthesisOnce, BuildSynthesisTables);
  return gSynthesis;
}

constexpr int FactorOffset(int n) { return n == 32 ? 0 : n == 16 ? 16 : n == 8 ? 24 : n == 4 ? 28 : 30; }

// out[n] = sum over k of in[k] cos((2k + 1) n pi / 2N): the sums and
// differences of mirrored inputs give the even and the odd outputs, each a
// DCT of half the size.
#if defined(__GNUC__)
#define MPEG_INLINE [[gnu::always_inline]] inline
#else
#define MPEG_INLINE inline
#endif

#if defined(__SSE2__)
// Four independent values side by side: the DCTs of four rows at once, each
// lane doing exactly the single-row operations.
struct Lanes {
  __m128 v;
};
MPEG_INLINE Lanes operator+(Lanes a, Lanes b) { return {_mm_add_ps(a.v, b.v)}; }
MPEG_INLINE Lanes operator-(Lanes a, Lanes b) { return {_mm_sub_ps(a.v, b.v)}; }
MPEG_INLINE Lanes operator*(Lanes a, float f) { return {_mm_mul_ps(a.v, _mm_set1_ps(f))}; }
#endif

template <int N, typename T>
MPEG_INLINE void Dct(const float *factors, const T *in, T *out) {
  if constexpr (N == 1) {
    out[0] = in[0];
  } else {
    constexpr int H = N / 2;
    T sums[H], differences[H], even[H], odd[H];
    const float *f = factors + FactorOffset(N);
    for (int k = 0; k < H; ++k) {
      sums[k] = in[k] + in[N - 1 - k];
      differences[k] = (in[k] - in[N - 1 - k]) * f[k];
    }
    Dct<H>(factors, sums, even);
    Dct<H>(factors, differences, odd);
    for (int m = 0; m < H - 1; ++m) {
      out[2 * m] = even[m];
      out[2 * m + 1] = odd[m] + odd[m + 1];
    }
    out[N - 2] = even[H - 1];
    out[N - 1] = odd[H - 1];
  }
}

// The DCTs of one channel of `count` (1 to 4) rows into x[row][32].
MPEG_INLINE void RowDcts(const float *factors, const float (*rows)[2][32], int count, int ch, float x[4][32]) {
#if defined(__SSE2__)
  alignas(16) static const float kZeros[32] = {};
  const float *in[4];
  for (int r = 0; r < 4; ++r) in[r] = r < count ? rows[r][ch] : kZeros;
  Lanes lanes[32], results[32];
  for (int k = 0; k < 32; k += 4) {
    __m128 a = _mm_loadu_ps(in[0] + k), b = _mm_loadu_ps(in[1] + k), c = _mm_loadu_ps(in[2] + k),
           e = _mm_loadu_ps(in[3] + k);
    _MM_TRANSPOSE4_PS(a, b, c, e);
    lanes[k] = {a}, lanes[k + 1] = {b}, lanes[k + 2] = {c}, lanes[k + 3] = {e};
  }
  Dct<32>(factors, lanes, results);
  for (int n = 0; n < 32; n += 4) {
    __m128 a = results[n].v, b = results[n + 1].v, c = results[n + 2].v, e = results[n + 3].v;
    _MM_TRANSPOSE4_PS(a, b, c, e);
    _mm_storeu_ps(x[0] + n, a);
    _mm_storeu_ps(x[1] + n, b);
    _mm_storeu_ps(x[2] + n, c);
    _mm_storeu_ps(x[3] + n, e);
  }
#else
  for (int r = 0; r < count; ++r) Dct<32>(factors, rows[r][ch], x[r]);
#endif
}

#if defined(__x86_64__) && defined(__GNUC__)
// Eight independent values side by side: the AVX build's DCTs of eight rows
// at once. Plain vector arithmetic, so the DCT template needs no call that
// only an AVX function may make.
typedef float Lanes8 __attribute__((vector_size(32)));

// Transposes the 8 x 8 block of r[0..7] in place.
[[gnu::target("avx")]] MPEG_INLINE void Transpose8(__m256 r[8]) {
  __m256 t[8], u[8];
  for (int i = 0; i < 8; i += 2) {
    t[i] = _mm256_unpacklo_ps(r[i], r[i + 1]);
    t[i + 1] = _mm256_unpackhi_ps(r[i], r[i + 1]);
  }
  for (int i = 0; i < 8; i += 4) {
    u[i] = _mm256_shuffle_ps(t[i], t[i + 2], 0x44);
    u[i + 1] = _mm256_shuffle_ps(t[i], t[i + 2], 0xEE);
    u[i + 2] = _mm256_shuffle_ps(t[i + 1], t[i + 3], 0x44);
    u[i + 3] = _mm256_shuffle_ps(t[i + 1], t[i + 3], 0xEE);
  }
  for (int i = 0; i < 4; ++i) {
    r[i] = _mm256_permute2f128_ps(u[i], u[i + 4], 0x20);
    r[i + 4] = _mm256_permute2f128_ps(u[i], u[i + 4], 0x31);
  }
}

// The DCTs of one channel of `count` (1 to 8) rows into x[row][32], each
// lane doing exactly the single-row operations.
[[gnu::target("avx")]] void RowDctsAvx(const float *factors, const float (*rows)[2][32], int count, int ch,
                                       float x[8][32]) {
  alignas(32) static const float kZeros[32] = {};
  const float *in[8];
  for (int r = 0; r < 8; ++r) in[r] = r < count ? rows[r][ch] : kZeros;
  Lanes8 lanes[32], results[32];
  for (int k = 0; k < 32; k += 8) {
    __m256 block[8];
    for (int r = 0; r < 8; ++r) block[r] = _mm256_loadu_ps(in[r] + k);
    Transpose8(block);
    for (int i = 0; i < 8; ++i) lanes[k + i] = block[i];
  }
  Dct<32>(factors, lanes, results);
  for (int n = 0; n < 32; n += 8) {
    __m256 block[8];
    for (int i = 0; i < 8; ++i) block[i] = results[n + i];
    Transpose8(block);
    for (int r = 0; r < 8; ++r) _mm256_storeu_ps(x[r] + n, block[r]);
  }
}
#endif

// Writes the 32 sums of each channel as interleaved 16-bit samples, rounded
// to nearest (ties to even, as the library's rint) and clipped.
MPEG_INLINE void WriteSamples(int16_t *output, const float sums[2][32], int channels) {
#if defined(__SSE2__)
  const __m128 scale = _mm_set1_ps(32768.0f), low = _mm_set1_ps(-32768.0f), high = _mm_set1_ps(32767.0f);
  auto convert = [&](const float *p) {
    // Clipping before the conversion keeps large values from wrapping.
    return _mm_cvtps_epi32(_mm_min_ps(_mm_max_ps(_mm_mul_ps(_mm_loadu_ps(p), scale), low), high));
  };
  if (channels == 2) {
    for (int j = 0; j < 32; j += 4) {
      const __m128i left = convert(sums[0] + j), right = convert(sums[1] + j);
      const __m128i pairs = _mm_packs_epi32(_mm_unpacklo_epi32(left, right), _mm_unpackhi_epi32(left, right));
      _mm_storeu_si128(reinterpret_cast<__m128i *>(output + 2 * j), pairs);
    }
  } else {
    for (int j = 0; j < 32; j += 8) {
      const __m128i a = convert(sums[0] + j), b = convert(sums[0] + j + 4);
      _mm_storeu_si128(reinterpret_cast<__m128i *>(output + j), _mm_packs_epi32(a, b));
    }
  }
#else
  for (int ch = 0; ch < channels; ++ch)
    for (int j = 0; j < 32; ++j) {
      const float clipped = std::clamp(sums[ch][j] * 32768.0f, -32768.0f, 32767.0f);
      output[j * channels + ch] = int16_t(std::lrint(clipped));
    }
#endif
}

}  // namespace

void MpegDecoder_InitTables() {
  SynthesisTablesOnce();
  MpegLayer2_SelectTable(0, 0, 2, 128);
  MpegLayer3_InitTables();
}

namespace {

// The window sums of one channel: 16 taps per output sample over eight pairs
// of contiguous runs of the history, all 32 sums kept in registers across the
// runs. Each pair of products is summed and then added, in the same order in
// every build, so every build gives the same samples. Fused multiply-adds
// would gain nothing here (the loads bound the loop) and round some samples
// the other way.
enum class Window { kPlain, kAvx };

MPEG_INLINE const float *RunA(const float *v, int offset, int m) { return v + ((offset + 128 * m) & 1023); }
MPEG_INLINE const float *RunB(const float *v, int offset, int m) { return v + ((offset + 128 * m + 96) & 1023); }

MPEG_INLINE void WindowSumsPlain(const float *v, int offset, const float *window, float *sum) {
#if defined(__SSE2__)
  __m128 acc[8];
  for (__m128 &x : acc) x = _mm_setzero_ps();
  for (int m = 0; m < 8; ++m) {
    const float *a = RunA(v, offset, m), *b = RunB(v, offset, m);
    const float *wa = window + 64 * m, *wb = wa + 32;
    for (int k = 0; k < 8; ++k)
      acc[k] = _mm_add_ps(acc[k], _mm_add_ps(_mm_mul_ps(_mm_loadu_ps(a + 4 * k), _mm_load_ps(wa + 4 * k)),
                                             _mm_mul_ps(_mm_loadu_ps(b + 4 * k), _mm_load_ps(wb + 4 * k))));
  }
  for (int k = 0; k < 8; ++k) _mm_storeu_ps(sum + 4 * k, acc[k]);
#else
  for (int j = 0; j < 32; ++j) sum[j] = 0.0f;
  for (int m = 0; m < 8; ++m) {
    const float *a = RunA(v, offset, m), *b = RunB(v, offset, m);
    const float *wa = window + 64 * m, *wb = wa + 32;
    for (int j = 0; j < 32; ++j) sum[j] += a[j] * wa[j] + b[j] * wb[j];
  }
#endif
}

#if defined(__x86_64__) && defined(__GNUC__)
[[gnu::target("avx")]] void WindowSumsAvx(const float *v, int offset, const float *window, float *sum) {
  __m256 acc[4];
  for (__m256 &x : acc) x = _mm256_setzero_ps();
  for (int m = 0; m < 8; ++m) {
    const float *a = RunA(v, offset, m), *b = RunB(v, offset, m);
    const float *wa = window + 64 * m, *wb = wa + 32;
    for (int k = 0; k < 4; ++k)
      acc[k] = _mm256_add_ps(acc[k],
                             _mm256_add_ps(_mm256_mul_ps(_mm256_loadu_ps(a + 8 * k), _mm256_load_ps(wa + 8 * k)),
                                           _mm256_mul_ps(_mm256_loadu_ps(b + 8 * k), _mm256_load_ps(wb + 8 * k))));
  }
  for (int k = 0; k < 4; ++k) _mm256_storeu_ps(sum + 8 * k, acc[k]);
}
#endif

template <Window Kind>
MPEG_INLINE void WindowSums(const float *v, int offset, const float *window, float *sum) {
#if defined(__x86_64__) && defined(__GNUC__)
  if constexpr (Kind == Window::kAvx) return WindowSumsAvx(v, offset, window, sum);
#endif
  WindowSumsPlain(v, offset, window, sum);
}

// The work for `count` rows of every channel; compiled once for the
// baseline processor and once with AVX (same operations in the same order,
// so both give the same samples).
template <Window Kind>
MPEG_INLINE void Synthesise(MpegDecoder *d, int16_t *output, const float (*rows)[2][32], int count, int channels) {
  const SynthesisTables &t = gSynthesis;
  constexpr int kRows = Kind == Window::kAvx ? 8 : 4;  // rows whose DCTs run side by side
  for (int first = 0; first < count; first += kRows) {
    const int batch = std::min(kRows, count - first);
    alignas(32) float x[2][kRows][32];
    for (int ch = 0; ch < channels; ++ch) {
#if defined(__x86_64__) && defined(__GNUC__)
      if constexpr (Kind == Window::kAvx) {
        RowDctsAvx(t.dctFactors, rows + first, batch, ch, x[ch]);
        continue;
      }
#endif
      RowDcts(t.dctFactors, rows + first, batch, ch, x[ch]);
    }
    for (int r = 0; r < batch; ++r) {
      d->synthOffset = (d->synthOffset - 64) & 1023;
      const int offset = d->synthOffset;  // a multiple of 64: every run below is contiguous
      alignas(32) float sums[2][32];
      for (int ch = 0; ch < channels; ++ch) {
        float *v = d->synth[ch];
        const float *dct = x[ch][r];
        // The 64 history values: cos((16 + i)(2k + 1) pi / 64) folded onto the DCT's.
        float *run = v + offset;
        for (int i = 0; i < 16; ++i) run[i] = dct[16 + i];
        run[16] = 0.0f;
        for (int i = 17; i <= 48; ++i) run[i] = -dct[48 - i];
        for (int i = 49; i < 64; ++i) run[i] = -dct[i - 48];

        WindowSums<Kind>(v, offset, t.window, sums[ch]);
      }
      WriteSamples(output, sums, channels);
      output += 32 * channels;
    }
  }
}

void SynthesisBaseline(MpegDecoder *d, int16_t *output, const float (*rows)[2][32], int count, int channels) {
  Synthesise<Window::kPlain>(d, output, rows, count, channels);
}

#if defined(__x86_64__) && defined(__GNUC__)
[[gnu::target("avx")]] void SynthesisAvx(MpegDecoder *d, int16_t *output, const float (*rows)[2][32], int count,
                                         int channels) {
  Synthesise<Window::kAvx>(d, output, rows, count, channels);
}
#endif

using SynthesisPath = void (*)(MpegDecoder *, int16_t *, const float (*)[2][32], int, int);
SynthesisPath gPath = SynthesisBaseline;
std::once_flag gPathOnce;

void ChoosePath() {
#if defined(__x86_64__) && defined(__GNUC__)
  if (__builtin_cpu_supports("avx")) gPath = SynthesisAvx;
#endif
}

}  // namespace

bool MpegDecoder_UseWideSynthesis(bool wide) {
  std::call_once(gPathOnce, ChoosePath);
#if defined(__x86_64__) && defined(__GNUC__)
  if (wide && __builtin_cpu_supports("avx")) {
    gPath = SynthesisAvx;
    return true;
  }
#endif
  gPath = SynthesisBaseline;
  return !wide;
}

void MpegDecoder_Synthesis(MpegDecoder *d, int16_t *output, const float subbands[2][32], int channels) {
  // The parameter is a pointer to the first channel's row: one row of both.
  MpegDecoder_SynthesisRows(d, output, reinterpret_cast<const float(*)[2][32]>(subbands), 1, channels);
}

void MpegDecoder_SynthesisRows(MpegDecoder *d, int16_t *output, const float (*rows)[2][32], int count,
                               int channels) {
  SynthesisTablesOnce();
  std::call_once(gPathOnce, ChoosePath);
  gPath(d, output, rows, count, channels);
}
