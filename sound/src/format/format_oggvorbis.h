// Ogg Vorbis files decoded by libvorbisfile over the engine's file layer.
#pragma once

#include "sound/src/format/format_reader.h"

struct OggVorbis_File;

bool FormatOggVorbis_OpenStream(OsndFormatInfo *info);
// One ov_read into the destination (16-bit signed little-endian); holes in
// the data are stepped over. False at the end of the data or on an error.
bool FormatOggVorbis_Read(void *state, uint8_t *destination, int *bytes);
bool FormatOggVorbis_Close(void *state);
// Seeks by PCM sample or raw byte (from the file's start); the lapping
// variants keep the transition smooth.
bool FormatOggVorbis_Seek(void *state, bool bySample, int64_t value, bool lapping, uint32_t *pcmPosition);

// The reader's sample load (the reader contract).
OSND_SAMPLE *OsndFormatOggVorbis_LoadSample(SystemFileHandle *file, int index, unsigned mode, const char *name);
