// Sample slot table, record life cycle, ranged upload and the loop guard
// frames, shared by the engine's modules.
#pragma once

#include "sound/src/core/osnd_records.h"

bool OsndSample_InitSlots();
void OsndSample_FreeAllSlots();
// Takes a slot (or makes a record outside the list for -2 and -1000) with the
// normalised mode; the sample's operation slots are filled.
OSND_SAMPLE *OsndSample_AllocSlot(int index, unsigned mode);
OSND_SAMPLE *OsndSample_Create(int index, int length, unsigned mode, int frequency, int volume,
                               int pan, int priority, int channels);
// Gives a sample a new channel layout (the mono, stereo and multichannel mode
// bits and the channel count) for the same number of frames: the output
// prepares its data again, silent. On failure the old layout is prepared
// again and false is answered with the error set.
bool OsndSample_Relayout(OSND_SAMPLE *sample, unsigned channelBits, int channels);
// Releases a record's data and the record itself (and empties its slot).
void OsndSample_Destroy(OSND_SAMPLE *sample);
bool OsndSample_UploadRange(OSND_SAMPLE *sample, const void *data, unsigned offset, unsigned bytes,
                            unsigned sourceMode);
unsigned OsndSample_NormaliseMode(int index, unsigned mode);
// Loop guard: puts back the frame the last update overwrote, then saves and
// rewrites the frame behind the loop that interpolation reads.
void OsndSample_RestoreGuard(OSND_SAMPLE *sample);
void OsndSample_UpdateGuard(OSND_SAMPLE *sample);
// Sets the loop (start and length in frames) and, when loopMode names one of
// the loop kinds, replaces the sample's loop kind; the guard follows.
void OsndSample_SetLoop(OSND_SAMPLE *sample, unsigned start, unsigned length, unsigned loopMode = 0);

// What sample uploads and frees reach in the layers above: the decoders of
// packed upload data (tracker-packed, IMA ADPCM), and the song player, which
// lets go of a sample being freed. The engine fills them at Init; an upload
// of packed data fails while its decoder is missing.
struct OsndSampleHooks {
  bool (*trackerDecompress)(void *destination, const void *source, unsigned sourceBytes, unsigned destinationBytes,
                            bool sixteenBit, bool variant2);
  bool (*imaAdpcmDecode)(int16_t *destination, const uint8_t *source, int blocks, int channels);
  void (*release)(OSND_SAMPLE *sample);
  // Ends a recording into the sample, the record thread done with it.
  void (*stopRecordingInto)(const OSND_SAMPLE *sample);
};
void OsndSample_SetHooks(const OsndSampleHooks &hooks);
// Gives a sample the slot of another index (a converted copy replacing a load).
void OsndSample_MoveToSlot(OSND_SAMPLE *sample, int index);
