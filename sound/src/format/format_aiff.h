// AIFF files ("FORM" of type "AIFF"): uncompressed 8- and 16-bit big-endian
// samples, mono or stereo; markers become sync points and the instrument's
// sustain loop the loop.
#pragma once

#include "sound/src/format/format_reader.h"

struct AiffInfo {
  unsigned mode;        // in/out: size and channel bits are the file's
  int rate;
  int64_t dataOffset;   // -1 until an "SSND" chunk is found
  uint32_t dataLength;  // cut to what the file holds
  bool dataCut;         // the "SSND" chunk claims more than the file holds
  uint32_t frames;      // sample frames the "COMM" chunk names
  uint32_t loopStart, loopEnd;  // both 0 when the file names no loop
};

// The sample rate an 80-bit IEEE extended value stores (0 for zero and
// infinity/NaN encodings); truncated toward zero.
double FormatAiff_ExtendedToDouble(const uint8_t bytes[10]);
// Walks the chunks; syncPoints may be null. False with error 10 when the file
// is not AIFF, 11 when a header or chunk is short, and without a code change
// when the sample format is not one played here or "SSND" is missing.
bool FormatAiff_WalkChunks(SystemFileHandle *file, AiffInfo *info, OsndSyncList *syncPoints);
bool FormatAiff_OpenStream(OsndFormatInfo *info);
// Stream read: the bounded straight read of the sound data, with every 16-bit
// sample brought to the machine's byte order.
bool FormatAiff_Read(OSND_STREAM *stream, uint8_t *input, int inputSize, uint8_t *destination, int *bytes);

// The reader's sample load and stream open (the reader contract).
OSND_SAMPLE *OsndFormatAiff_LoadSample(SystemFileHandle *file, int index, unsigned mode, const char *name);
bool OsndFormatAiff_OpenStream(OsndFormatInfo *info);
