// Layer 2 audio: bit allocation, scale factors and grouped samples, dequantised
// and handed to the synthesis filterbank 3 x 12 times per frame.
#include "sound/src/format/mpeg/mpeg_bits.h"
#include "sound/src/format/mpeg/mpeg_decoder.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <mutex>

namespace {

// Quantisation steps per allocation code (0: nothing transmitted).
const int kStepsA0[16] = {0, 3, 7, 15, 31, 63, 127, 255, 511, 1023, 2047, 4095, 8191, 16383, 32767, 65535};
const int kStepsA1[16] = {0, 3, 5, 7, 9, 15, 31, 63, 127, 255, 511, 1023, 2047, 4095, 8191, 65535};
const int kStepsA2[8] = {0, 3, 5, 7, 9, 15, 31, 65535};
const int kStepsA3[4] = {0, 3, 5, 65535};
const int kStepsC0[16] = {0, 3, 5, 9, 15, 31, 63, 127, 255, 511, 1023, 2047, 4095, 8191, 16383, 32767};
const int kStepsC1[8] = {0, 3, 5, 9, 15, 31, 63, 127};
const int kStepsL0[16] = {0, 3, 5, 7, 9, 15, 31, 63, 127, 255, 511, 1023, 2047, 4095, 8191, 16383};
const int kStepsL2[4] = {0, 3, 5, 9};

struct Tables {
  MpegLayer2Table highRate27, highRate30, lowRate8, lowRate12, lowSampling;
  float scale[64];  // 2 x 2^(-k/3)
  // Grouped codes of 3, 5 and 9 levels split into their three sample codes.
  uint8_t group3[32][3], group5[128][3], group9[1024][3];
};

Tables gTables;
std::once_flag gTablesOnce;

void Fill(MpegLayer2Table &t, int limit, int from, int to, int nbal, const int *steps) {
  t.sbLimit = limit;
  for (int sb = from; sb < to; ++sb) {
    t.nbal[sb] = nbal;
    t.steps[sb] = steps;
  }
}

void BuildTables() {
  Tables &t = gTables;
  Fill(t.highRate27, 27, 0, 3, 4, kStepsA0);
  Fill(t.highRate27, 27, 3, 11, 4, kStepsA1);
  Fill(t.highRate27, 27, 11, 23, 3, kStepsA2);
  Fill(t.highRate27, 27, 23, 27, 2, kStepsA3);
  t.highRate30 = t.highRate27;
  Fill(t.highRate30, 30, 27, 30, 2, kStepsA3);
  Fill(t.lowRate8, 8, 0, 2, 4, kStepsC0);
  Fill(t.lowRate8, 8, 2, 8, 3, kStepsC1);
  t.lowRate12 = t.lowRate8;
  Fill(t.lowRate12, 12, 8, 12, 3, kStepsC1);
  Fill(t.lowSampling, 30, 0, 4, 4, kStepsL0);
  Fill(t.lowSampling, 30, 4, 11, 3, kStepsC1);
  Fill(t.lowSampling, 30, 11, 30, 2, kStepsL2);
  for (int k = 0; k < 64; ++k) t.scale[k] = float(2.0 * std::pow(2.0, -k / 3.0));
  auto split = [](uint8_t (*table)[3], int codes, unsigned steps) {
    for (int c = 0; c < codes; ++c)
      for (unsigned i = 0, rest = unsigned(c); i < 3; ++i, rest /= steps) table[c][i] = uint8_t(rest % steps);
  };
  split(t.group3, 32, 3);
  split(t.group5, 128, 5);
  split(t.group9, 1024, 9);
}

const Tables &GetTables() {
  std::call_once(gTablesOnce, BuildTables);
  return gTables;
}

// Grouped codes carry three samples of 3, 5 or 9 levels in 5, 7 or 10 bits.
int GroupBits(int steps) { return steps == 3 ? 5 : steps == 5 ? 7 : steps == 9 ? 10 : 0; }

// Ungrouped codes take as many bits as the level count has.
int SampleBits(int steps) { return int(std::bit_width(unsigned(steps))); }


}  // namespace

const MpegLayer2Table *MpegLayer2_SelectTable(int lsf, int freqIndex, int channels, int bitrateKbps) {
  const Tables &t = GetTables();
  if (lsf) return &t.lowSampling;
  const int perChannel = bitrateKbps / (channels == 2 ? 2 : 1);
  if ((perChannel >= 56 && perChannel <= 80) || (freqIndex == 1 && perChannel >= 56)) return &t.highRate27;
  if (freqIndex != 1 && perChannel >= 96) return &t.highRate30;
  if (freqIndex != 2 && perChannel <= 48) return &t.lowRate8;
  return &t.lowRate12;
}

int MpegDecoder_DecodeLayer2(MpegDecoder *d, uint8_t *output, int *written) {
  const MpegLayer2Table *table = d->allocation;
  if (!table) return 0;
  const Tables &t = GetTables();
  const int channels = d->channels;
  const int limit = table->sbLimit;
  const int bound = channels == 2 ? d->jsBound : limit;
  // Per-frame work: on the stack, so frames of different streams (the
  // streamer thread) and samples (the loader thread) decode side by side.
  int allocation[2][32] = {};
  int scfsi[2][32] = {};
  int scaleIndex[2][3][32] = {};
  float rows[36][2][32];  // the frame's 36 rows of subband samples, in time order

  // The body from the decoder's position on, through a cached reader.
  const uint8_t *start = d->bits;
  MpegBitReader bits(start, size_t(d->bitsEnd - start));
  bits.Seek(size_t(d->bitIndex));
  for (int sb = 0; sb < limit; ++sb) {
    if (sb < bound) {
      for (int ch = 0; ch < channels; ++ch) allocation[ch][sb] = int(bits.Get(table->nbal[sb]));
    } else {
      allocation[0][sb] = allocation[1][sb] = int(bits.Get(table->nbal[sb]));
    }
  }
  for (int sb = 0; sb < limit; ++sb)
    for (int ch = 0; ch < channels; ++ch)
      scfsi[ch][sb] = allocation[ch][sb] ? int(bits.Get(2)) : 0;
  for (int sb = 0; sb < limit; ++sb) {
    for (int ch = 0; ch < channels; ++ch) {
      int part[3] = {0, 0, 0};
      if (allocation[ch][sb]) {
        switch (scfsi[ch][sb]) {
          case 0:
            part[0] = int(bits.Get(6));
            part[1] = int(bits.Get(6));
            part[2] = int(bits.Get(6));
            break;
          case 1:
            part[0] = part[1] = int(bits.Get(6));
            part[2] = int(bits.Get(6));
            break;
          case 2:
            part[0] = part[1] = part[2] = int(bits.Get(6));
            break;
          default:
            part[0] = int(bits.Get(6));
            part[1] = part[2] = int(bits.Get(6));
            break;
        }
      }
      for (int i = 0; i < 3; ++i) scaleIndex[ch][i][sb] = part[i];
    }
  }

  // Per subband and channel, once a frame: the level count and the code width.
  int steps[2][32] = {}, width[2][32] = {};
  for (int sb = 0; sb < limit; ++sb)
    for (int ch = 0; ch < channels; ++ch)
      if (const int code = allocation[ch][sb]) {
        steps[ch][sb] = table->steps[sb][code];
        width[ch][sb] = GroupBits(steps[ch][sb]);
        if (!width[ch][sb]) width[ch][sb] = SampleBits(steps[ch][sb]);
      }

  // The coded samples of each group of three rows, in the order they are
  // read: per subband, per channel that reads its own (above the bound the
  // first channel's samples serve both, each with its own scale).
  struct Coded {
    int sb, first, last;        // subband, first and last channel written
    int width;                  // bits of one code (grouped: of the three)
    const uint8_t (*split)[3];  // grouped codes' samples, or null
  };
  Coded coded[64];
  int codedCount = 0;
  // Columns (channel, subband) no code writes: zero in every row.
  int silent[64];
  int silentCount = 0;
  for (int sb = 0; sb < 32; ++sb) {
    const int readChannels = sb < bound ? channels : 1;
    for (int ch = 0; ch < channels; ++ch) {
      const int source = ch < readChannels ? ch : 0;
      const int n = sb < limit ? steps[source][sb] : 0;
      if (!n) {
        silent[silentCount++] = ch * 32 + sb;
        continue;
      }
      if (ch >= readChannels) continue;  // written with the first channel
      Coded &c = coded[codedCount++];
      c.sb = sb;
      c.first = ch;
      c.last = sb < bound ? ch : channels - 1;
      c.width = width[ch][sb];
      c.split = n == 3 ? t.group3 : n == 5 ? t.group5 : n == 9 ? t.group9 : nullptr;
    }
  }

  auto *out = reinterpret_cast<int16_t *>(output);
  // Code c of n levels stands for (2c - (n - 1)) / n, times the scale:
  // c x slope - offset, both per part, subband and channel.
  float slope[2][32] = {}, offset[2][32] = {};
  for (int group = 0; group < 12; ++group) {
    const int part = group / 4;
    if (group % 4 == 0) {
      for (int ch = 0; ch < channels; ++ch)
        for (int sb = 0; sb < limit; ++sb) {
          // Above the bound the second channel's levels are the first one's.
          const int n = steps[sb < bound ? ch : 0][sb];
          if (!n) continue;
          const double scale = t.scale[scaleIndex[ch][part][sb]];
          slope[ch][sb] = float(2.0 * scale / n);
          offset[ch][sb] = float((n - 1) * scale / n);
        }
    }
    float(*groupRows)[2][32] = rows + 3 * group;
    for (int k = 0; k < silentCount; ++k)
      for (int row = 0; row < 3; ++row) (&groupRows[row][0][0])[silent[k]] = 0.0f;
    for (int k = 0; k < codedCount; ++k) {
      const Coded &c = coded[k];
      int codes[3];
      if (c.split) {
        const uint8_t *split = c.split[bits.Get(c.width)];
        codes[0] = split[0], codes[1] = split[1], codes[2] = split[2];
      } else {
        // Three codes of at most 16 bits: one wide peek.
        const uint64_t word = bits.PeekWide();
        const uint64_t mask = (uint64_t(1) << c.width) - 1;
        codes[0] = int(word >> (64 - c.width));
        codes[1] = int(word >> (64 - 2 * c.width) & mask);
        codes[2] = int(word >> (64 - 3 * c.width) & mask);
        bits.Skip(3 * c.width);
      }
      for (int target = c.first; target <= c.last; ++target)
        for (int row = 0; row < 3; ++row)
          groupRows[row][target][c.sb] = float(codes[row]) * slope[target][c.sb] - offset[target][c.sb];
    }
  }
  MpegDecoder_SynthesisRows(d, out, rows, 36, channels);
  // The decoder's own reader continues where this one stopped, never past the end.
  const size_t position = bits.Position();
  const size_t length = size_t(d->bitsEnd - start);
  d->bits = start + std::min(position / 8, length);
  d->bitIndex = position / 8 < length ? int(position % 8) : 0;
  *written = 1152 * 2 * channels;
  return 1;
}
