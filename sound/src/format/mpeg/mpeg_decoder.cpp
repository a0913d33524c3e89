#include "sound/src/format/mpeg/mpeg_decoder.h"

#include <algorithm>
#include <cstring>

namespace {

// kbit/s by [lsf][layer - 2][index]; index 0 (free format) and 15 are not frames.
const int kBitrates[2][2][16] = {
    {{0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384, 0},
     {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 0}},
    {{0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0},
     {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0}}};

const int kSampleRates[9] = {44100, 48000, 32000, 22050, 24000, 16000, 11025, 12000, 8000};

}  // namespace

int MpegDecoder_DecodeHeader(MpegDecoder *d, const uint8_t *bytes, int *rate, int *channels, int *frameLength) {
  if (!d || !bytes) return 0;
  const uint32_t h = uint32_t(bytes[0]) << 24 | uint32_t(bytes[1]) << 16 | uint32_t(bytes[2]) << 8 | bytes[3];
  if ((h & 0xFFE00000u) != 0xFFE00000u) return 0;
  int lsf, mpeg25;
  if (h & (1u << 20)) {
    lsf = (h & (1u << 19)) ? 0 : 1;
    mpeg25 = 0;
  } else {
    // Version bits 01 are reserved: such a header is noise, not MPEG-2.5.
    if (h & (1u << 19)) return 0;
    lsf = 1;
    mpeg25 = 1;
  }
  const int layer = 4 - int((h >> 17) & 3);
  if (layer != 2 && layer != 3) return 0;
  if (d->layerLock != 0 && d->layerLock != layer) return 0;
  const int rateCode = int((h >> 10) & 3);
  if (rateCode == 3) return 0;
  const int bitrateIndex = int((h >> 12) & 15);
  const int bitrate = kBitrates[lsf][layer - 2][bitrateIndex];
  if (bitrate == 0) return 0;
  const int freqIndex = mpeg25 ? rateCode + 6 : rateCode + 3 * lsf;
  const int sampleRate = kSampleRates[freqIndex];
  const int padding = int((h >> 9) & 1);
  const int mode = int((h >> 6) & 3);
  const int modeExtension = int((h >> 4) & 3);
  const int channelCount = mode == 3 ? 1 : 2;

  int length;
  const MpegLayer2Table *table = nullptr;
  int sbLimit = 32, bound = 32;
  if (layer == 3) {
    length = bitrate * 144000 / (sampleRate << lsf) + padding - 4;
  } else {
    table = MpegLayer2_SelectTable(lsf, freqIndex, channelCount, bitrate);
    sbLimit = table->sbLimit;
    bound = mode == 1 ? std::min(4 * modeExtension + 4, sbLimit) : sbLimit;
    length = bitrate * 144000 / sampleRate + padding - 4;
  }
  if (length < 16) return 0;

  if (d->layerLock == 0) d->layerLock = layer;
  d->header = h;
  d->lsf = lsf;
  d->mpeg25 = mpeg25;
  d->layer = layer;
  d->crc = (h & (1u << 16)) ? 0 : 1;
  d->bitrateIndex = bitrateIndex;
  d->freqIndex = freqIndex;
  d->padding = padding;
  d->privateBit = int((h >> 8) & 1);
  d->mode = mode;
  d->modeExtension = modeExtension;
  d->copyright = int((h >> 3) & 1);
  d->original = int((h >> 2) & 1);
  d->emphasis = int(h & 3);
  d->channels = channelCount;
  d->allocation = table;
  d->sbLimit = sbLimit;
  d->jsBound = bound;
  d->frameLength = length;
  if (rate) *rate = sampleRate;
  if (channels) *channels = channelCount;
  if (frameLength) *frameLength = length;
  return 1;
}

int MpegDecoder_DecodeFrame(MpegDecoder *d, const uint8_t *frameBytes, int frameSize, uint8_t *output, int *written) {
  if (written) *written = 0;
  if (!d || !frameBytes || !output || frameSize < 4) return 0;
  if (d->frameLength == 0 && !MpegDecoder_DecodeHeader(d, frameBytes, nullptr, nullptr, nullptr)) return 0;
  const int length = d->frameLength;
  d->frameLength = 0;  // the next call decodes its own header
  if (length > MPEG_MAX_BODY || frameSize - 4 < length) return 0;

  d->currentStore ^= 1;
  uint8_t *store = d->store[d->currentStore];
  std::memcpy(store + MPEG_RESERVOIR_BYTES, frameBytes + 4, size_t(length));
  d->bits = store + MPEG_RESERVOIR_BYTES;
  d->bitsEnd = d->bits + length;
  d->bitIndex = 0;
  if (d->crc) MpegDecoder_GetBits(d, 16);

  int bytes = 0;
  const int result =
      d->layer == 2 ? MpegDecoder_DecodeLayer2(d, output, &bytes) : MpegDecoder_DecodeLayer3(d, output, &bytes);
  d->previousLength = length;
  if (written) *written = result ? bytes : 0;
  return result;
}

bool MpegDecoder_Reset(void *state) {
  auto *d = static_cast<MpegDecoder *>(state);
  if (!d) return false;
  std::memset(d->store, 0, sizeof d->store);
  std::memset(d->synth, 0, sizeof d->synth);
  std::memset(d->overlap, 0, sizeof d->overlap);
  d->reservoirBytes[0] = d->reservoirBytes[1] = 0;
  d->mainBytes[0] = d->mainBytes[1] = 0;
  d->previousLength = -1;
  d->frameLength = 0;
  d->bits = d->bitsEnd = nullptr;
  d->bitIndex = 0;
  return true;
}

uint32_t MpegDecoder_GetBits(MpegDecoder *d, int n) {
  if (n <= 0) return 0;
  if (d->bits && d->bitsEnd - d->bits >= 3) {
    // Up to 16 bits from the next three bytes at once.
    const uint32_t window = uint32_t(d->bits[0]) << 16 | uint32_t(d->bits[1]) << 8 | d->bits[2];
    const uint32_t value = (window >> (24 - d->bitIndex - n)) & ((1u << n) - 1);
    d->bitIndex += n;
    d->bits += d->bitIndex >> 3;
    d->bitIndex &= 7;
    return value;
  }
  uint32_t value = 0;
  while (n > 0) {
    if (!d->bits || d->bits >= d->bitsEnd) return value << n;
    const int available = 8 - d->bitIndex;
    const int take = std::min(available, n);
    const uint32_t chunk = (uint32_t(*d->bits) >> (available - take)) & ((1u << take) - 1);
    value = (value << take) | chunk;
    n -= take;
    d->bitIndex += take;
    if (d->bitIndex == 8) {
      d->bitIndex = 0;
      ++d->bits;
    }
  }
  return value;
}
