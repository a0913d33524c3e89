// Layer 3 audio: side information, the bit reservoir, scale factors, Huffman
// decoding, requantisation, mid/side and intensity stereo, antialiasing, the
// hybrid filterbank (IMDCT with overlap) and the hand-over to the synthesis.
#include "sound/src/format/mpeg/mpeg_bits.h"
#include "sound/src/format/mpeg/mpeg_decoder.h"
#include "sound/src/format/mpeg/mpeg_tables.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <mutex>
#include <numbers>
#include <vector>

namespace {

// One step of a Huffman lookup: a leaf (value, bits used at this level) or a
// link to a sub-table indexed by the next `childBits` bits.
struct LookupEntry {
  uint16_t value;  // leaf: the decoded value; link: the sub-table's offset
  uint8_t length;  // bits this level consumes
  uint8_t childBits;
};

struct Lookup {
  int first = 0;      // offset of the root table in the shared entries
  int rootBits = 0;   // 0: a table without codes
};

constexpr int kGainOffset = 400;  // gain exponents run from -400 to +63 quarter steps

struct Layer3Tables {
  std::vector<LookupEntry> entries;
  Lookup pairs[32];
  Lookup quads[2];
  float power[8207];           // i^(4/3)
  float gain[kGainOffset + 64];  // 2^(e/4) for e = -400..63
  float cs[8], ca[8];          // antialias butterflies
  // IMDCT cosines cos(pi/72 (2i + 19)(2k + 1)) by [k][u] for the 18 outputs
  // i = 0..8 and 18..26 (u = 0..17; 18 and 19 pad the rows); the others
  // follow: x[17 - i] = -x[i], x[53 - i] = x[i].
  alignas(16) float imdct36[18][20];
  // cos(pi/24 (2i + 7)(2k + 1)) by [k][u] for i = 0..2 and 6..8; likewise
  // x[5 - i] = -x[i], x[17 - i] = x[i].
  float imdct12[6][6];
  float window[4][36];         // block types 0..3 (2: the 12-point window in 0..11)
  float intensity1[7][2];      // MPEG-1 left/right ratios by position
  float intensity2[2][32];     // MPEG-2 factors 2^(-k/4) and 2^(-k/2)
};

#if defined(__GNUC__)
#define MPEG_LAYER3_INLINE [[gnu::always_inline]] inline
#else
#define MPEG_LAYER3_INLINE inline
#endif

Layer3Tables *gTables;
std::once_flag gTablesOnce;

// Fills the table at `base` (2^levelBits entries) for the codes given, whose
// first `consumed` bits are already used.
void Fill(std::vector<LookupEntry> &out, int base, int levelBits, int consumed,
          const std::vector<MpegHuffmanCode> &codes) {
  std::vector<std::vector<MpegHuffmanCode>> groups(size_t(1) << levelBits);
  for (const MpegHuffmanCode &c : codes) {
    const int left = c.length - consumed;
    if (left <= levelBits) {
      const int spare = levelBits - left;
      const int start = (c.code & ((1 << left) - 1)) << spare;
      for (int i = 0; i < (1 << spare); ++i) out[size_t(base + start + i)] = {c.value, uint8_t(left), 0};
    } else {
      groups[size_t((c.code >> (left - levelBits)) & ((1 << levelBits) - 1))].push_back(c);
    }
  }
  for (size_t prefix = 0; prefix < groups.size(); ++prefix) {
    if (groups[prefix].empty()) continue;
    int longest = 0;
    for (const MpegHuffmanCode &c : groups[prefix]) longest = std::max(longest, int(c.length));
    const int childBits = std::min(longest - consumed - levelBits, 8);
    const int child = int(out.size());
    out.resize(out.size() + (size_t(1) << childBits), LookupEntry{0, 1, 0});
    out[size_t(base) + prefix] = {uint16_t(child), uint8_t(levelBits), uint8_t(childBits)};
    Fill(out, child, childBits, consumed + levelBits, groups[prefix]);
  }
}

Lookup Build(std::vector<LookupEntry> &out, const MpegHuffmanTable &table) {
  Lookup lookup;
  if (!table.codes) return lookup;
  std::vector<MpegHuffmanCode> codes(table.codes, table.codes + table.count);
  int longest = 0;
  for (const MpegHuffmanCode &c : codes) longest = std::max(longest, int(c.length));
  lookup.rootBits = std::min(longest, 8);
  lookup.first = int(out.size());
  out.resize(out.size() + (size_t(1) << lookup.rootBits), LookupEntry{0, 1, 0});
  Fill(out, lookup.first, lookup.rootBits, 0, codes);
  return lookup;
}

void BuildTables() {
  auto *t = new Layer3Tables;
  const double pi = std::numbers::pi;
  for (int n = 0; n < 32; ++n) {
    // Tables sharing codes share their lookup.
    const int base = n >= 24 ? 24 : n >= 16 ? 16 : n;
    t->pairs[n] = base == n ? Build(t->entries, kMpegHuffmanPairs[n]) : t->pairs[base];
  }
  for (int n = 0; n < 2; ++n) t->quads[n] = Build(t->entries, kMpegHuffmanQuads[n]);
  for (int i = 0; i < 8207; ++i) t->power[i] = float(std::pow(double(i), 4.0 / 3.0));
  for (int e = -kGainOffset; e < 64; ++e) t->gain[e + kGainOffset] = float(std::exp2(e / 4.0));
  for (int i = 0; i < 8; ++i) {
    const double c = kMpegAntialias[i];
    t->cs[i] = float(1.0 / std::sqrt(1.0 + c * c));
    t->ca[i] = float(c / std::sqrt(1.0 + c * c));
  }
  for (int k = 0; k < 18; ++k)
    for (int u = 0; u < 20; ++u) {
      const int i = u < 9 ? u : u + 9;
      t->imdct36[k][u] = u < 18 ? float(std::cos(pi / 72.0 * (2 * i + 19) * (2 * k + 1))) : 0.0f;
    }
  for (int k = 0; k < 6; ++k)
    for (int u = 0; u < 6; ++u) {
      const int i = u < 3 ? u : u + 3;
      t->imdct12[k][u] = float(std::cos(pi / 24.0 * (2 * i + 7) * (2 * k + 1)));
    }
  for (int i = 0; i < 36; ++i) {
    const float longWindow = float(std::sin(pi / 36.0 * (i + 0.5)));
    t->window[0][i] = longWindow;
    t->window[1][i] = i < 18   ? longWindow
                      : i < 24 ? 1.0f
                      : i < 30 ? float(std::sin(pi / 12.0 * (i - 18 + 0.5)))
                               : 0.0f;
    t->window[3][i] = i < 6    ? 0.0f
                      : i < 12 ? float(std::sin(pi / 12.0 * (i - 6 + 0.5)))
                      : i < 18 ? 1.0f
                               : longWindow;
    t->window[2][i] = i < 12 ? float(std::sin(pi / 12.0 * (i + 0.5))) : 0.0f;
  }
  for (int p = 0; p < 7; ++p) {
    const double ratio = std::tan(p * pi / 12.0);
    t->intensity1[p][0] = float(ratio / (1.0 + ratio));
    t->intensity1[p][1] = float(1.0 / (1.0 + ratio));
  }
  for (int k = 0; k < 32; ++k) {
    t->intensity2[0][k] = float(std::exp2(-k / 4.0));
    t->intensity2[1][k] = float(std::exp2(-k / 2.0));
  }
  gTables = t;
}

const Layer3Tables &Tables() {
  std::call_once(gTablesOnce, BuildTables);
  return *gTables;
}

// One Huffman code word, at the front of the 32 bits `word`, through its
// lookup tables: its value, and its length in *length.
MPEG_LAYER3_INLINE int LookUpCode(const Layer3Tables &t, uint32_t word, const Lookup &lookup, int *length) {
  int width = lookup.rootBits;
  const LookupEntry *e = &t.entries[size_t(lookup.first) + (word >> (32 - width))];
  int used = 0;
  while (e->childBits) {
    used += e->length;
    word <<= e->length;
    width = e->childBits;
    e = &t.entries[size_t(e->value) + (word >> (32 - width))];
  }
  *length = used + e->length;
  return e->value;
}

// Gives v the sign bit at the front of *word when v is not 0 (the bit is
// there only then), and moves *word and *used past it.
MPEG_LAYER3_INLINE int Signed(int v, uint32_t *word, int *used) {
  const int present = v != 0;
  const int negative = int(*word >> 31) & present;
  *word <<= present;
  *used += present;
  return (v ^ -negative) + negative;
}

struct GranuleChannel {
  int part23, bigValues, globalGain, scalefacCompress;
  int windowSwitching, blockType, mixed;
  int table[3], subblockGain[3];
  int region1, region2;  // first line of regions 1 and 2
  int preflag, scalefacScale, count1Table;
};

struct ScaleFactors {
  int l[22];
  int s[13][3];
  int maxL[22];  // MPEG-2 intensity: the value that means "no intensity"
  int maxS[13];
};

struct FrameLayout {
  int channels, granules, lsf, freqIndex;
  bool midSide, intensity;
  int scfsi[2][4];
  GranuleChannel gc[2][2];
};

bool ShortBlock(const GranuleChannel &g) { return g.windowSwitching && g.blockType == 2; }

// Reads the side information; false when a field is out of range.
bool ReadSideInfo(MpegDecoder *d, FrameLayout &f, int *mainDataBegin) {
  const int channels = f.channels;
  if (f.lsf) {
    *mainDataBegin = int(MpegDecoder_GetBits(d, 8));
    MpegDecoder_GetBits(d, channels == 1 ? 1 : 2);
  } else {
    *mainDataBegin = int(MpegDecoder_GetBits(d, 9));
    MpegDecoder_GetBits(d, channels == 1 ? 5 : 3);
    for (int ch = 0; ch < channels; ++ch)
      for (int band = 0; band < 4; ++band) f.scfsi[ch][band] = int(MpegDecoder_GetBits(d, 1));
  }
  const int16_t *longBands = kMpegLongBands[f.freqIndex];
  const int16_t *shortBands = kMpegShortBands[f.freqIndex];
  for (int gr = 0; gr < f.granules; ++gr) {
    for (int ch = 0; ch < channels; ++ch) {
      GranuleChannel &g = f.gc[gr][ch];
      g.part23 = int(MpegDecoder_GetBits(d, 12));
      g.bigValues = int(MpegDecoder_GetBits(d, 9));
      if (g.bigValues > 288) return false;
      g.globalGain = int(MpegDecoder_GetBits(d, 8));
      g.scalefacCompress = int(MpegDecoder_GetBits(d, f.lsf ? 9 : 4));
      g.windowSwitching = int(MpegDecoder_GetBits(d, 1));
      if (g.windowSwitching) {
        g.blockType = int(MpegDecoder_GetBits(d, 2));
        g.mixed = int(MpegDecoder_GetBits(d, 1));
        if (g.blockType == 0) return false;
        g.table[0] = int(MpegDecoder_GetBits(d, 5));
        g.table[1] = int(MpegDecoder_GetBits(d, 5));
        g.table[2] = 0;
        for (int w = 0; w < 3; ++w) g.subblockGain[w] = int(MpegDecoder_GetBits(d, 3));
        // Region 0 holds 8 long bands, or 3 short bands of 3 windows.
        g.region1 = g.blockType == 2 ? 3 * shortBands[3] : longBands[8];
        g.region2 = 576;
      } else {
        g.blockType = g.mixed = 0;
        for (int &table : g.table) table = int(MpegDecoder_GetBits(d, 5));
        g.subblockGain[0] = g.subblockGain[1] = g.subblockGain[2] = 0;
        const int region0 = int(MpegDecoder_GetBits(d, 4));
        const int region1 = int(MpegDecoder_GetBits(d, 3));
        g.region1 = longBands[std::min(region0 + 1, 22)];
        g.region2 = longBands[std::min(region0 + region1 + 2, 22)];
      }
      g.preflag = f.lsf ? 0 : int(MpegDecoder_GetBits(d, 1));
      g.scalefacScale = int(MpegDecoder_GetBits(d, 1));
      g.count1Table = int(MpegDecoder_GetBits(d, 1));
    }
  }
  return true;
}

void ReadScaleFactorsMpeg1(MpegBitReader &bits, const FrameLayout &f, int gr, int ch, ScaleFactors &sf) {
  const GranuleChannel &g = f.gc[gr][ch];
  const int slen1 = kMpegSlen[0][g.scalefacCompress];
  const int slen2 = kMpegSlen[1][g.scalefacCompress];
  if (ShortBlock(g)) {
    int sfb = 0;
    if (g.mixed) {
      for (; sfb < 8; ++sfb) sf.l[sfb] = int(bits.Get(slen1));
      sfb = 3;
    }
    for (; sfb < 12; ++sfb)
      for (int w = 0; w < 3; ++w) sf.s[sfb][w] = int(bits.Get(sfb < 6 ? slen1 : slen2));
    sf.s[12][0] = sf.s[12][1] = sf.s[12][2] = 0;
    return;
  }
  static const int kGroupStart[5] = {0, 6, 11, 16, 21};
  for (int group = 0; group < 4; ++group) {
    // Granule 1 may reuse granule 0's factors group by group; sf still holds them.
    if (gr == 1 && f.scfsi[ch][group]) continue;
    for (int sfb = kGroupStart[group]; sfb < kGroupStart[group + 1]; ++sfb)
      sf.l[sfb] = int(bits.Get(group < 2 ? slen1 : slen2));
  }
  sf.l[21] = 0;
}

void ReadScaleFactorsMpeg2(MpegBitReader &bits, const FrameLayout &f, int ch, GranuleChannel &g, ScaleFactors &sf) {
  int slen[4] = {0, 0, 0, 0};
  int table;
  int c = g.scalefacCompress;
  if (ch == 1 && f.intensity) {
    c >>= 1;
    if (c < 180) {
      slen[0] = c / 36, slen[1] = (c % 36) / 6, slen[2] = c % 6, table = 3;
    } else if (c < 244) {
      c -= 180;
      slen[0] = (c % 64) >> 4, slen[1] = (c % 16) >> 2, slen[2] = c % 4, table = 4;
    } else {
      c -= 244;
      slen[0] = c / 3, slen[1] = c % 3, table = 5;
    }
    g.preflag = 0;
  } else if (c < 400) {
    slen[0] = (c >> 4) / 5, slen[1] = (c >> 4) % 5, slen[2] = (c % 16) >> 2, slen[3] = c % 4, table = 0;
    g.preflag = 0;
  } else if (c < 500) {
    c -= 400;
    slen[0] = (c >> 2) / 5, slen[1] = (c >> 2) % 5, slen[2] = c % 4, table = 1;
    g.preflag = 0;
  } else {
    c -= 500;
    slen[0] = c / 3, slen[1] = c % 3, table = 2;
    g.preflag = 1;
  }
  const int kind = ShortBlock(g) ? (g.mixed ? 2 : 1) : 0;
  const uint8_t *counts = kMpegLsfPartitions[table][kind];
  // The partitions fill the factors in band order: long bands, then the
  // short bands window by window.
  int values[39];
  int maxima[39];
  int n = 0;
  for (int part = 0; part < 4; ++part) {
    for (int i = 0; i < counts[part] && n < 39; ++i, ++n) {
      values[n] = int(bits.Get(slen[part]));
      maxima[n] = (1 << slen[part]) - 1;
    }
  }
  for (; n < 39; ++n) values[n] = 0, maxima[n] = 0;
  int at = 0;
  if (kind == 0) {
    for (int sfb = 0; sfb < 21; ++sfb, ++at) sf.l[sfb] = values[at], sf.maxL[sfb] = maxima[at];
    sf.l[21] = 0;
    sf.maxL[21] = sf.maxL[20];
    return;
  }
  int sfb = 0;
  if (kind == 2) {
    for (; sfb < 6; ++sfb, ++at) sf.l[sfb] = values[at], sf.maxL[sfb] = maxima[at];
    sfb = 3;
  }
  for (; sfb < 12; ++sfb) {
    for (int w = 0; w < 3; ++w, ++at) sf.s[sfb][w] = values[at];
    sf.maxS[sfb] = maxima[at - 1];
  }
  sf.s[12][0] = sf.s[12][1] = sf.s[12][2] = 0;
  sf.maxS[12] = sf.maxS[11];
}

// Huffman decoding of one granule's lines (zeros after the last decoded
// one); returns how many were decoded, or -1 on an overrun of the big-value
// region past part2_3_length.
int DecodeLines(const Layer3Tables &t, MpegBitReader &bits, const GranuleChannel &g, size_t end, int lines[576]) {
  const int bigEnd = g.bigValues * 2;
  int i = 0;
  for (int region = 0; region < 3; ++region) {
    const int stop = std::min(region == 0 ? g.region1 : region == 1 ? g.region2 : 576, bigEnd);
    const MpegHuffmanTable &table = kMpegHuffmanPairs[g.table[region]];
    const Lookup &lookup = t.pairs[g.table[region]];
    if (!lookup.rootBits) {
      for (; i < stop; ++i) lines[i] = 0;
      continue;
    }
    const int linbits = table.linbits;
    for (; i < stop; i += 2) {
      // A code word takes at most 19 bits: with its two sign bits it is
      // within one peek, unless an escape brings extra bits between them.
      uint32_t word = bits.Peek();
      int used = 0;
      const int value = LookUpCode(t, word, lookup, &used);
      int x = value >> 4, y = value & 15;
      if (linbits && (x == 15 || y == 15)) {
        bits.Skip(used);
        if (x == 15) x += int(bits.Get(linbits));
        if (x && bits.Get(1)) x = -x;
        if (y == 15) y += int(bits.Get(linbits));
        if (y && bits.Get(1)) y = -y;
      } else {
        word <<= used;
        x = Signed(x, &word, &used);
        y = Signed(y, &word, &used);
        bits.Skip(used);
      }
      lines[i] = x;
      lines[i + 1] = y;
    }
    i = std::max(i, stop);
  }
  if (bits.Position() > end) return -1;
  const Lookup &quad = t.quads[g.count1Table];
  size_t position = bits.Position();
  while (position < end && i + 4 <= 576) {
    // At most 6 bits of code and 4 sign bits: one peek.
    uint32_t word = bits.Peek();
    int used = 0;
    const int value = LookUpCode(t, word, quad, &used);
    word <<= used;
    int v[4] = {(value >> 3) & 1, (value >> 2) & 1, (value >> 1) & 1, value & 1};
    for (int &x : v) x = Signed(x, &word, &used);
    // A quadruple that runs past the granule's bits is not part of it.
    if (position + size_t(used) > end) break;
    bits.Skip(used);
    position += size_t(used);
    lines[i] = v[0], lines[i + 1] = v[1], lines[i + 2] = v[2], lines[i + 3] = v[3];
    i += 4;
  }
  const int count = i;
  std::fill(lines + i, lines + 576, 0);
  return count;
}

float Gain(const Layer3Tables &t, int exponent) {
  return t.gain[std::clamp(exponent, -kGainOffset, 63) + kGainOffset];
}

// Decoded values are at most 15 + 2^13 - 1 = 8206 in size: always in the table.
float Requantised(const Layer3Tables &t, int line, float gain) {
  const float magnitude = t.power[line < 0 ? -line : line] * gain;
  return line < 0 ? -magnitude : magnitude;
}

// Requantises lines into xr; short bands go to their reordered positions
// (per band, frequency-major with the three windows interleaved).
void Requantise(const Layer3Tables &t, const FrameLayout &f, const GranuleChannel &g, const ScaleFactors &sf,
                const int lines[576], int count, float xr[576]) {
  std::memset(xr, 0, 576 * sizeof(float));
  const int16_t *longBands = kMpegLongBands[f.freqIndex];
  const int16_t *shortBands = kMpegShortBands[f.freqIndex];
  const int base = g.globalGain - 210 - (f.midSide ? 2 : 0);
  const int shift = 2 * (1 + g.scalefacScale);
  int longEnd = 576, longBandCount = 22, shortFirst = 13;
  if (ShortBlock(g)) {
    longEnd = g.mixed ? 3 * shortBands[3] : 0;
    longBandCount = 0;
    while (longBandCount < 22 && longBands[longBandCount] < longEnd) ++longBandCount;
    shortFirst = g.mixed ? 3 : 0;
  }
  for (int sfb = 0; sfb < longBandCount && longBands[sfb] < count; ++sfb) {
    const float gain = Gain(t, base - shift * (sf.l[sfb] + (g.preflag ? kMpegPretab[sfb] : 0)));
    const int stop = std::min<int>(std::min<int>(longBands[sfb + 1], longEnd), count);
    for (int i = longBands[sfb]; i < stop; ++i) xr[i] = Requantised(t, lines[i], gain);
  }
  for (int sfb = shortFirst; sfb < 13; ++sfb) {
    const int start = 3 * shortBands[sfb];
    const int width = shortBands[sfb + 1] - shortBands[sfb];
    if (start >= count) break;
    for (int w = 0; w < 3; ++w) {
      const float gain = Gain(t, base - 8 * g.subblockGain[w] - shift * sf.s[sfb][w]);
      for (int k = 0; k < width; ++k) xr[start + 3 * k + w] = Requantised(t, lines[start + w * width + k], gain);
    }
  }
}

int NonZeroEnd(const float xr[576]) {
  int n = 576;
  while (n > 0 && xr[n - 1] == 0.0f) --n;
  return n;
}

// The position's left and right factors; false where the band keeps its
// own values (no intensity coding there).
bool IntensityFactors(const Layer3Tables &t, const FrameLayout &f, const GranuleChannel &right, int position,
                      int maximum, float *kl, float *kr) {
  if (!f.lsf) {
    // 7 marks a band without intensity; above it (only 4-bit factors reach
    // there) the tangent runs through infinity (position 9), so those bands
    // keep their own values too.
    if (position >= 7) return false;
    *kl = t.intensity1[position][0];
    *kr = t.intensity1[position][1];
  } else {
    if (position >= maximum) return false;
    const float *factors = t.intensity2[right.scalefacCompress & 1];
    *kl = position & 1 ? factors[(position + 1) >> 1] : 1.0f;
    *kr = position & 1 ? 1.0f : factors[position >> 1];
  }
  if (f.midSide) {
    // Both channels carry the mid/side gain of 1/sqrt(2); intensity bands undo it.
    *kl *= std::numbers::sqrt2_v<float>;
    *kr *= std::numbers::sqrt2_v<float>;
  }
  return true;
}

// The band after the one holding line end - 1 (0 when end is 0).
int BandAfter(const int16_t *bands, int count, int end) {
  if (end <= 0) return 0;
  int band = 0;
  while (band < count - 1 && bands[band + 1] < end) ++band;
  return band + 1;
}

void ApplyIntensity(const Layer3Tables &t, const FrameLayout &f, const GranuleChannel &right, int position,
                    int maximum, float xr[2][576], int first, int step, int count) {
  float kl, kr;
  if (!IntensityFactors(t, f, right, position, maximum, &kl, &kr)) return;
  for (int k = 0; k < count; ++k) {
    const int i = first + k * step;
    const float v = xr[0][i];
    xr[0][i] = v * kl;
    xr[1][i] = v * kr;
  }
}

void Stereo(const Layer3Tables &t, const FrameLayout &f, const GranuleChannel &right, const ScaleFactors &sf,
            float xr[2][576], int nonZero[2]) {
  const int16_t *longBands = kMpegLongBands[f.freqIndex];
  const int16_t *shortBands = kMpegShortBands[f.freqIndex];
  // Intensity starts above the right channel's last coded value, found
  // before mid/side processing fills the right channel.
  const bool shortRight = ShortBlock(right);
  const int shortFirst = right.mixed ? 3 : 0;
  int longFirst = BandAfter(longBands, 22, nonZero[1]);
  int windowFirst[3] = {shortFirst, shortFirst, shortFirst};
  bool anyShort = false;
  if (f.intensity && shortRight) {
    for (int w = 0; w < 3; ++w) {
      for (int sfb = 12; sfb >= shortFirst; --sfb) {
        const int start = 3 * shortBands[sfb], width = shortBands[sfb + 1] - shortBands[sfb];
        bool found = false;
        for (int k = 0; k < width && !found; ++k) found = xr[1][start + 3 * k + w] != 0.0f;
        if (found) {
          windowFirst[w] = sfb + 1;
          anyShort = true;
          break;
        }
      }
    }
  }
  if (f.midSide) {
    const int n = std::max(nonZero[0], nonZero[1]);
    for (int i = 0; i < n; ++i) {
      const float m = xr[0][i], s = xr[1][i];
      xr[0][i] = m + s;
      xr[1][i] = m - s;
    }
  }
  if (f.intensity) {
    int longBandsUsed = 22;
    int longEnd = 576;
    if (shortRight) {
      for (int w = 0; w < 3; ++w) {
        for (int sfb = windowFirst[w]; sfb < 13; ++sfb) {
          // The last band has no factor of its own: it takes the one before it.
          const int source = std::min(sfb, 11);
          const int width = shortBands[sfb + 1] - shortBands[sfb];
          ApplyIntensity(t, f, right, sf.s[source][w], sf.maxS[source], xr, 3 * shortBands[sfb] + w, 3, width);
        }
      }
      // Intensity reaches the long bands of a mixed block only when the
      // short part of the right channel is empty.
      longEnd = right.mixed && !anyShort ? 3 * shortBands[3] : 0;
      longBandsUsed = 0;
      while (longBandsUsed < 22 && longBands[longBandsUsed] < longEnd) ++longBandsUsed;
    }
    for (int sfb = longFirst; sfb < longBandsUsed; ++sfb) {
      const int source = std::min(sfb, 20);
      const int stop = std::min<int>(longBands[sfb + 1], longEnd);
      ApplyIntensity(t, f, right, sf.l[source], sf.maxL[source], xr, longBands[sfb], 1, stop - longBands[sfb]);
    }
  }
  if (f.midSide || f.intensity) {
    const int n = std::max(NonZeroEnd(xr[0]), NonZeroEnd(xr[1]));
    nonZero[0] = nonZero[1] = std::max(n, std::max(nonZero[0], nonZero[1]));
  }
}

void Antialias(const Layer3Tables &t, const GranuleChannel &g, float xr[576], int nonZero) {
  if (ShortBlock(g) && !g.mixed) return;
  const int last = ShortBlock(g) ? 1 : std::min(31, (nonZero + 17) / 18);
  for (int sb = 1; sb <= last; ++sb) {
    float *upper = xr + 18 * sb;
    for (int i = 0; i < 8; ++i) {
      const float a = upper[-1 - i], b = upper[i];
      upper[-1 - i] = a * t.cs[i] - b * t.ca[i];
      upper[i] = b * t.cs[i] + a * t.ca[i];
    }
  }
}

// IMDCT of each subband with windowing and overlap-add; the result replaces
// xr, subband by subband (18 time samples each).
void Hybrid(const Layer3Tables &t, const GranuleChannel &g, float xr[576], float overlap[576], int nonZero) {
  // Antialiasing reaches one subband above the last non-zero line.
  const int active = std::min(32, (nonZero + 17) / 18 + 1);
  for (int sb = 0; sb < 32; ++sb) {
    float *x = xr + 18 * sb;
    float *o = overlap + 18 * sb;
    if (sb >= active) {
      for (int i = 0; i < 18; ++i) {
        x[i] = o[i];
        o[i] = 0.0f;
      }
    } else {
      const int type = ShortBlock(g) && g.mixed && sb < 2 ? 0 : g.windowSwitching ? g.blockType : 0;
      float z[36] = {};
      if (type == 2) {
        for (int w = 0; w < 3; ++w) {
          float y[6] = {};
          for (int k = 0; k < 6; ++k)
            for (int u = 0; u < 6; ++u) y[u] += x[3 * k + w] * t.imdct12[k][u];
          float s[12];
          for (int u = 0; u < 3; ++u) {
            s[u] = y[u], s[5 - u] = -y[u];
            s[6 + u] = y[3 + u], s[11 - u] = y[3 + u];
          }
          for (int i = 0; i < 12; ++i) z[6 + 6 * w + i] += s[i] * t.window[2][i];
        }
      } else {
        alignas(16) float y[20] = {};
        for (int k = 0; k < 18; ++k) {
          const float value = x[k];
          const float *row = t.imdct36[k];
          for (int u = 0; u < 20; ++u) y[u] += value * row[u];
        }
        const float *window = t.window[type];
        for (int u = 0; u < 9; ++u) {
          z[u] = y[u] * window[u];
          z[17 - u] = -y[u] * window[17 - u];
          z[18 + u] = y[9 + u] * window[18 + u];
          z[35 - u] = y[9 + u] * window[35 - u];
        }
      }
      for (int i = 0; i < 18; ++i) {
        x[i] = z[i] + o[i];
        o[i] = z[18 + i];
      }
    }
    if (sb & 1)
      for (int i = 1; i < 18; i += 2) x[i] = -x[i];
  }
}

}  // namespace

void MpegLayer3_InitTables() { Tables(); }

int MpegDecoder_DecodeLayer3(MpegDecoder *d, uint8_t *output, int *written) {
  const Layer3Tables &t = Tables();
  FrameLayout f{};
  f.channels = d->channels;
  f.lsf = d->lsf;
  f.granules = d->lsf ? 1 : 2;
  f.freqIndex = d->freqIndex;
  f.midSide = d->mode == 1 && (d->modeExtension & 2);
  f.intensity = d->mode == 1 && (d->modeExtension & 1);
  const int outputBytes = f.granules * 576 * 2 * f.channels;

  // The main data: what follows the side information, moved to the front of
  // the body so that the reservoir in front of it and it are contiguous.
  const int current = d->currentStore;
  uint8_t *store = d->store[current];
  int mainDataBegin = 0;
  const bool sideOk = ReadSideInfo(d, f, &mainDataBegin);
  const int sideEnd = int(d->bits - (store + MPEG_RESERVOIR_BYTES)) + (d->bitIndex ? 1 : 0);
  const int bodyLength = int(d->bitsEnd - (store + MPEG_RESERVOIR_BYTES));
  const int mainLength = std::max(0, bodyLength - sideEnd);
  std::memmove(store + MPEG_RESERVOIR_BYTES, store + MPEG_RESERVOIR_BYTES + sideEnd, size_t(mainLength));
  const int previous = current ^ 1;
  int held = 0;
  if (d->previousLength >= 0) {
    // The last bytes of the stream's main data so far, at most the room.
    held = std::min(MPEG_RESERVOIR_BYTES, d->reservoirBytes[previous] + d->mainBytes[previous]);
    std::memcpy(store + MPEG_RESERVOIR_BYTES - held,
                d->store[previous] + MPEG_RESERVOIR_BYTES + d->mainBytes[previous] - held, size_t(held));
  }
  d->reservoirBytes[current] = held;
  d->mainBytes[current] = mainLength;
  if (!sideOk) return 0;

  *written = outputBytes;
  std::memset(output, 0, size_t(outputBytes));
  // Main data that begins in frames this decoder has not seen (after a seek
  // or a damaged frame) would decode as noise: the frame stays silent.
  if (mainDataBegin > held) return 1;

  MpegBitReader bits(store + MPEG_RESERVOIR_BYTES - mainDataBegin, size_t(mainDataBegin + mainLength));
  ScaleFactors sf[2] = {};
  alignas(16) float xr[2][576];
  int lines[576];
  auto *out = reinterpret_cast<int16_t *>(output);
  for (int gr = 0; gr < f.granules; ++gr) {
    int nonZero[2] = {0, 0};
    for (int ch = 0; ch < f.channels; ++ch) {
      GranuleChannel &g = f.gc[gr][ch];
      const size_t start = bits.Position();
      const size_t end = start + size_t(g.part23);
      if (f.lsf)
        ReadScaleFactorsMpeg2(bits, f, ch, g, sf[ch]);
      else
        ReadScaleFactorsMpeg1(bits, f, gr, ch, sf[ch]);
      // A damaged granule ends the frame's decoding; the rest stays silent.
      const int count = bits.Position() > end ? -1 : DecodeLines(t, bits, g, end, lines);
      if (count < 0) return 1;
      bits.Seek(end);
      Requantise(t, f, g, sf[ch], lines, count, xr[ch]);
      nonZero[ch] = NonZeroEnd(xr[ch]);
    }
    if (f.channels == 2) Stereo(t, f, f.gc[gr][1], sf[1], xr, nonZero);
    for (int ch = 0; ch < f.channels; ++ch) {
      Antialias(t, f.gc[gr][ch], xr[ch], nonZero[ch]);
      Hybrid(t, f.gc[gr][ch], xr[ch], d->overlap[ch], nonZero[ch]);
    }
    float rows[18][2][32];
    for (int ss = 0; ss < 18; ++ss)
      for (int ch = 0; ch < f.channels; ++ch)
        for (int sb = 0; sb < 32; ++sb) rows[ss][ch][sb] = xr[ch][18 * sb + ss];
    MpegDecoder_SynthesisRows(d, out, rows, 18, f.channels);
    out += 18 * 32 * f.channels;
  }
  return 1;
}
