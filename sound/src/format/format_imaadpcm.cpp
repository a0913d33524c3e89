#include "sound/src/format/format_imaadpcm.h"

#include "sound/src/core/osnd_records.h"

#include <algorithm>

namespace {

const int16_t kStepTable[89] = {
    7,     8,     9,     10,    11,    12,    13,    14,    16,    17,    19,    21,    23,    25,    28,
    31,    34,    37,    41,    45,    50,    55,    60,    66,    73,    80,    88,    97,    107,   118,
    130,   143,   157,   173,   190,   209,   230,   253,   279,   307,   337,   371,   408,   449,   494,
    544,   598,   658,   724,   796,   876,   963,   1060,  1166,  1282,  1411,  1552,  1707,  1878,  2066,
    2272,  2499,  2749,  3024,  3327,  3660,  4026,  4428,  4871,  5358,  5894,  6484,  7132,  7845,  8630,
    9493,  10442, 11487, 12635, 13899, 15289, 16818, 18500, 20350, 22385, 24623, 27086, 29794, 32767};

const int kIndexTable[16] = {-1, -1, -1, -1, 2, 4, 6, 8, -1, -1, -1, -1, 2, 4, 6, 8};

struct ChannelState {
  int predictor;
  int index;

  int16_t Decode(int code) {
    predictor = ImaAdpcm_Nibble(code, predictor, kStepTable[index]);
    index = std::clamp(index + kIndexTable[code & 15], 0, 88);
    return int16_t(predictor);
  }
};

bool ReadHeader(const uint8_t *h, ChannelState *state) {
  state->predictor = int16_t(uint16_t(h[0] | (h[1] << 8)));
  state->index = h[2];
  return state->index <= 88;
}

}  // namespace

int ImaAdpcm_Nibble(int code, int predictor, int step) {
  int diff = step >> 3;
  if (code & 4) diff += step;
  if (code & 2) diff += step >> 1;
  if (code & 1) diff += step >> 2;
  predictor = (code & 8) ? predictor - diff : predictor + diff;
  return std::clamp(predictor, -32768, 32767);
}

int ImaAdpcm_MinimumBlockAlign(int channels, int samplesPerBlock) {
  return 4 * channels + ((samplesPerBlock - 1) * channels + 1) / 2;
}

bool ImaAdpcm_DecodeMono(const uint8_t *source, int16_t *destination, int blocks, int blockAlign,
                         int samplesPerBlock, int destStep) {
  for (int b = 0; b < blocks; ++b) {
    const uint8_t *block = source + size_t(b) * size_t(blockAlign);
    ChannelState state{};
    if (!ReadHeader(block, &state)) return false;
    *destination = int16_t(state.predictor);
    destination += destStep;
    const uint8_t *codes = block + 4;
    for (int i = 0; i < samplesPerBlock - 1; ++i) {
      const uint8_t byte = codes[i / 2];
      *destination = state.Decode((i & 1) ? byte >> 4 : byte & 15);
      destination += destStep;
    }
  }
  return true;
}

bool ImaAdpcm_DecodeStereo(const uint8_t *source, int16_t *destination, int blocks, int blockAlign,
                           int samplesPerBlock) {
  for (int b = 0; b < blocks; ++b) {
    const uint8_t *block = source + size_t(b) * size_t(blockAlign);
    ChannelState left{}, right{};
    if (!ReadHeader(block, &left) || !ReadHeader(block + 4, &right)) return false;
    *destination++ = int16_t(left.predictor);
    *destination++ = int16_t(right.predictor);
    const uint8_t *group = block + 8;
    for (int done = 0; done < samplesPerBlock - 1; done += 8, group += 8) {
      const int pairs = std::min(8, samplesPerBlock - 1 - done);
      for (int i = 0; i < pairs; ++i) {
        const uint8_t l = group[i / 2], r = group[4 + i / 2];
        *destination++ = left.Decode((i & 1) ? l >> 4 : l & 15);
        *destination++ = right.Decode((i & 1) ? r >> 4 : r & 15);
      }
    }
  }
  return true;
}

// The engine's sample conversion: blocks of 64 samples in 36 bytes per channel.
bool OsndImaAdpcm_Decode(int16_t *destination, const uint8_t *source, int blocks, int channels) {
  if (channels == 2) return ImaAdpcm_DecodeStereo(source, destination, blocks, 72, 64);
  if (channels == 1) return ImaAdpcm_DecodeMono(source, destination, blocks, 36, 64, 1);
  Osnd_SetError(OSND_ERR_FILE_FORMAT);
  return false;
}
