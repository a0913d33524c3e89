// Sample loading: the format readers OSND_Sample_Load tries in order, and
// what the readers that decode a whole file into a sample share.
#pragma once

#include "sound/src/core/osnd_records.h"
#include "sound/src/system/system_file.h"

#include <cstdint>

// A format reader's sample load: the loaded sample, or null with the last
// error set (10: not this format).
typedef OSND_SAMPLE *(*OsndSampleReader)(SystemFileHandle *file, int index, unsigned mode,
                                         const char *name);
// Tries the format readers in order from the file's start, going on while a
// reader answers that the data is not its format: the loaded sample, or null
// with the error of the last reader tried. Without banks the bank reader is
// left out (a bank's entries in a source format are read so, and banks
// inside banks are not read, so that a file cannot nest them without end).
OSND_SAMPLE *OsndFormat_TryReaders(bool withBanks, SystemFileHandle *file, int index, unsigned mode,
                                   const char *name);
// The sample of `frames` frames in the stream's mode, centred unless stereo
// (a stereo sample the caller forces to mono gives up hardware 3D)...
OSND_SAMPLE *OsndFormat_AllocSample(int index, int frames, unsigned streamMode, unsigned requestedMode, int rate);
// ...its bytes filled from the reader until the reader ends, silence behind
// (answers the bytes read)...
unsigned OsndFormat_FillSample(uint8_t *out, unsigned bytes, bool (*read)(void *state, uint8_t *out, int *bytes),
                               void *state);
// ...or, for a length the file's header claims but cannot back (a duration),
// made from what the reader decodes, up to the bytes the file's header
// claims: decoded into memory first, so that the sample is as long as what
// decodes and a claim alone never sizes an allocation (a read never asks for
// less than readBytes, the most one read may give); null with code 11 when
// not a frame decodes...
OSND_SAMPLE *OsndFormat_DecodeSample(int index, uint32_t claimedBytes, int frameBytes, int readBytes,
                                     unsigned streamMode, unsigned requestedMode, int rate,
                                     bool (*read)(void *state, uint8_t *out, int *bytes), void *state);
// ...and, once loaded, its name and a clear error (the readers tried before
// left theirs); answers the sample.
OSND_SAMPLE *OsndFormat_LoadedSample(OSND_SAMPLE *sample, const char *name);
