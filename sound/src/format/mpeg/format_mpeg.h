// MPEG audio files (layer 2), plain or inside the "data" chunk of a WAV file
// with format tag 0x50 or 0x55: stream opening, frame scanning, sample loading
// and the stream's frame-by-frame read step.
#pragma once

#include "sound/src/core/osnd_records.h"
#include "sound/src/format/format_reader.h"
#include "sound/src/format/mpeg/mpeg_decoder.h"
#include "sound/src/system/system_file.h"

// Open mode asking for an exact decoded length and frame-exact seeking; the
// open then scans every frame.
constexpr unsigned FORMAT_MPEG_EXACT = 0x00020000u;

// File offsets of the frames, relative to the data offset.
struct MpegFrameTable {
  uint32_t *offsets;
  int count;
  int capacity;
};

// The stream's decoding state: the decoder and, for exact opens, the frames.
struct MpegStreamState {
  MpegDecoder *decoder;
  MpegFrameTable frames;
  bool resync;  // after a reset the next read realigns on a frame
  uint8_t frame[MPEG_STORE_BYTES + 8];
};

void FormatMpeg_InitTables();
MpegDecoder *FormatMpeg_CreateDecoder();
// Stream close callback: frees the state and its decoder.
bool FormatMpeg_Close(void *state);
// Stream reset callback after a seek: forgets the decoder's history.
bool FormatMpeg_Reset(void *state);
// Counts the decoded bytes of every whole frame from the file's position up
// to dataLength bytes on; offsets go to the table when one is given. The file
// position is restored. 0 when no frame was found or memory ran out (code 12).
uint32_t FormatMpeg_ScanFrames(SystemFileHandle *file, uint32_t dataLength, int bytesPerFrame,
                               MpegFrameTable *table);
// Decodes the next frame at the file's position, before dataEnd, into
// destination (room for MPEG_MAX_FRAME_OUTPUT bytes). False when no frame follows.
bool FormatMpeg_Read(void *state, SystemFileHandle *file, int64_t dataStart, int64_t dataEnd,
                     uint8_t *destination, int *bytes);

// The reader's sample load and stream open (the reader contract).
OSND_SAMPLE *OsndFormatMpeg_LoadSample(SystemFileHandle *file, int index, unsigned mode, const char *name);
bool OsndFormatMpeg_OpenStream(OsndFormatInfo *info);
