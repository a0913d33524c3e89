// Polyphase synthesis filterbank: 32 subband samples per channel in, 32 PCM
// samples per channel out: matrixing into a 1024-value history, then the
// 512-tap window, 16 taps per output sample.
#include "sound/src/format_mpeg_decoder.h"
#include "sound/src/format_mpeg_tables.h"

#include <algorithm>
#include <cmath>
#include <mutex>
#include <numbers>

namespace {

struct SynthesisTables {
  float matrix[64][32];  // cos((16 + i)(2k + 1) pi / 64)
  float window[512];
};

SynthesisTables gSynthesis;
std::once_flag gSynthesisOnce;

void BuildSynthesisTables() {
  const double pi = std::numbers::pi;
  for (int i = 0; i < 64; ++i)
    for (int k = 0; k < 32; ++k) gSynthesis.matrix[i][k] = float(std::cos((16 + i) * (2 * k + 1) * pi / 64.0));
  // The second half mirrors the first: negated, except at the multiples of 64.
  for (int n = 0; n < 512; ++n) {
    const int m = n <= 256 ? n : 512 - n;
    const int tap = n <= 256 || m % 64 == 0 ? kMpegWindowTaps[m] : -kMpegWindowTaps[m];
    gSynthesis.window[n] = float(tap / 65536.0);
  }
}

const SynthesisTables &Tables() {
  std::call_once(gSynthesisOnce, BuildSynthesisTables);
  return gSynthesis;
}

int16_t ToSample(float value) {
  const float scaled = std::nearbyint(value * 32768.0f);
  return int16_t(std::clamp(scaled, -32768.0f, 32767.0f));
}

}  // namespace

void MpegDecoder_InitTables() {
  Tables();
  MpegLayer2_SelectTable(0, 0, 2, 128);
  MpegLayer3_InitTables();
}

void MpegDecoder_Synthesis(MpegDecoder *d, int16_t *output, const float subbands[2][32], int channels) {
  const SynthesisTables &t = Tables();
  d->synthOffset = (d->synthOffset - 64) & 1023;
  const int offset = d->synthOffset;
  for (int ch = 0; ch < channels; ++ch) {
    float *v = d->synth[ch];
    const float *s = subbands[ch];
    for (int i = 0; i < 64; ++i) {
      float sum = 0.0f;
      for (int k = 0; k < 32; ++k) sum += t.matrix[i][k] * s[k];
      v[(offset + i) & 1023] = sum;
    }
    for (int j = 0; j < 32; ++j) {
      float sum = 0.0f;
      for (int m = 0; m < 8; ++m) {
        sum += v[(offset + 128 * m + j) & 1023] * t.window[64 * m + j];
        sum += v[(offset + 128 * m + 96 + j) & 1023] * t.window[64 * m + 32 + j];
      }
      output[j * channels + ch] = ToSample(sum);
    }
  }
}
