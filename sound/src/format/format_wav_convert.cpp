#include "sound/src/format/format_wav_convert.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

// Reduces a 32-bit sample to 16 bits, rounding to nearest and clipping.
int16_t From32(int32_t v) {
  const int64_t r = (int64_t(v) + 32768) >> 16;
  return int16_t(std::clamp<int64_t>(r, -32768, 32767));
}

// Float to a 32-bit sample, clipping at full scale and rounding to nearest.
int32_t FromFloat(double d) {
  const double scaled = d * 2147483648.0;
  if (!(scaled >= -2147483648.0)) return INT32_MIN;  // also NaN
  if (scaled >= 2147483647.0) return INT32_MAX;
  return int32_t(std::lrint(scaled));
}

int16_t MuLaw(uint8_t u) {
  u = uint8_t(~u);
  int t = ((u & 0x0F) << 3) + 0x84;
  t <<= (u & 0x70) >> 4;
  return int16_t((u & 0x80) ? (0x84 - t) : (t - 0x84));
}

int16_t ALaw(uint8_t a) {
  a ^= 0x55;
  int t = (a & 0x0F) << 4;
  const int segment = (a & 0x70) >> 4;
  if (segment == 0) {
    t += 8;
  } else {
    t += 0x108;
    if (segment > 1) t <<= segment - 1;
  }
  return int16_t((a & 0x80) ? t : -t);
}

int16_t ConvertOne(const WavConverter *c, const uint8_t *p) {
  switch (c->tag) {
    case 6:
      return ALaw(p[0]);
    case 7:
      return MuLaw(p[0]);
    case 3:
      if (c->bits == 32) {
        float f;
        std::memcpy(&f, p, 4);
        return From32(FromFloat(f));
      } else {
        double d;
        std::memcpy(&d, p, 8);
        return From32(FromFloat(d));
      }
    default:
      if (c->bits == 24) return From32(int32_t(uint32_t(p[0]) << 8 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 24));
      return From32(int32_t(uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24));
  }
}

}  // namespace

bool WavConverter_Open(int tag, int bits, int channels, int blockAlign, WavConverter *c) {
  if (channels < 1 || channels > 2) return false;
  const bool ok = (tag == 1 && (bits == 24 || bits == 32)) || (tag == 3 && (bits == 32 || bits == 64)) ||
                  ((tag == 6 || tag == 7) && bits == 8);
  if (!ok || blockAlign != channels * bits / 8) return false;
  *c = WavConverter{tag, bits, channels, blockAlign};
  return true;
}

uint32_t WavConverter_Size(const WavConverter *c, uint32_t sourceBytes) {
  return uint32_t(uint64_t(sourceBytes / uint32_t(c->sourceFrame)) * uint32_t(c->channels) * 2);
}

int WavConverter_Convert(const WavConverter *c, const uint8_t *source, int sourceBytes, int16_t *destination,
                         int destinationBytes) {
  const int width = c->bits / 8;
  const int frames = std::min(sourceBytes / c->sourceFrame, destinationBytes / (2 * c->channels));
  for (int i = 0; i < frames * c->channels; ++i) destination[i] = ConvertOne(c, source + size_t(i) * size_t(width));
  return frames * c->channels * 2;
}
