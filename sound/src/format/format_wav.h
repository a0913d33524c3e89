// RIFF/WAVE files: PCM 8 and 16 bits directly, IMA ADPCM through the engine's
// decoder, and other PCM widths, float, A-law and mu-law through the engine's
// own converters (WavConverter).
#pragma once

#include "sound/src/format/format_reader.h"

struct WavFormat {
  int tag;  // effective tag (the sub-format's for extensible files)
  int channels;
  uint32_t rate;
  uint32_t bytesPerSecond;
  int blockAlign;
  int bits;
  int samplesPerBlock;
};

// Walks the chunks; any output may be null. False with error 10 when the
// data is not RIFF or has no "fmt " chunk while one was wanted; false without
// a code change when the "data" chunk is missing.
bool FormatWav_WalkChunks(SystemFileHandle *file, WavFormat *format, int64_t *dataOffset, uint32_t *dataLength,
                          OsndSyncList *syncPoints, uint32_t *loopStart, uint32_t *loopEnd);
bool FormatWav_OpenStream(OsndFormatInfo *info);
bool FormatWav_Close(void *state);
// Decodes compressed source bytes (whole blocks) into 16-bit PCM; *destinationBytes
// is the room on entry and the bytes produced on return.
bool FormatWav_DecodeBlock(void *state, const uint8_t *source, int sourceBytes, uint8_t *destination,
                           int *destinationBytes);

// The reader's sample load (the reader contract).
OSND_SAMPLE *OsndFormatWav_LoadSample(SystemFileHandle *file, int index, unsigned mode, const char *name);
