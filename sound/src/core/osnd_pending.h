// Entry points that engine modules offer one another, and the answers of the
// modules not part of this build (songs, some format readers, 3D). Each of those
// answers the way the engine expects from a module with nothing to do, or with
// "not this format" / unsupported, so the core runs without them.
#pragma once

#include "sound/src/core/osnd_records.h"
#include "sound/src/system/system_file.h"

// Streams and the background open queue.
bool OsndStream_StartThread();
// Stops the streamer thread and waits for it to end.
void OsndStream_StopThread();
void OsndStream_CloseAll();
// Stops the streamer thread, frees the sync unit and deletes the stream locks.
void OsndStream_Shutdown();
void OsndStream_UpdatePass(float milliseconds);
void OsndNonBlocking_Init();
void OsndNonBlocking_Shutdown();

// Songs.
void Music_StopAllSongs();
void Music_ReleaseSample(OSND_SAMPLE *sample);
void Music_ReapplyTempo();

// Format readers, tried in this order by OSND_Sample_Load. Each returns the
// loaded sample, or null with the last error set (10: not this format).
typedef OSND_SAMPLE *(*OsndSampleReader)(SystemFileHandle *file, int index, unsigned mode,
                                         const char *name);
OSND_SAMPLE *OsndFormatOsb_LoadSample(SystemFileHandle *, int, unsigned, const char *);
OSND_SAMPLE *OsndFormatAiff_LoadSample(SystemFileHandle *, int, unsigned, const char *);
OSND_SAMPLE *OsndFormatOggVorbis_LoadSample(SystemFileHandle *, int, unsigned, const char *);
OSND_SAMPLE *OsndFormatMpeg_LoadSample(SystemFileHandle *, int, unsigned, const char *);
OSND_SAMPLE *OsndFormatWav_LoadSample(SystemFileHandle *, int, unsigned, const char *);
OSND_SAMPLE *OsndFormatAsf_LoadSample(SystemFileHandle *, int, unsigned, const char *);
// What the readers that decode a whole file into a sample share: the sample
// of `frames` frames in the stream's mode, centred unless stereo (a stereo
// sample the caller forces to mono gives up hardware 3D)...
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

// Stream opening of readers not part of this build (not this format).
struct OsndFormatInfo;
bool OsndFormatOsb_OpenStream(OsndFormatInfo *info);
bool OsndFormatAiff_OpenStream(OsndFormatInfo *info);
bool OsndFormatMpeg_OpenStream(OsndFormatInfo *info);
bool OsndFormatAsf_OpenStream(OsndFormatInfo *info);

// Skips an ID3v2 header at the file's position; false leaves the position alone.
bool OsndTag_SkipId3v2(SystemFileHandle *file);

// Decoders used by sample uploads; false when the data cannot be decoded.
bool OsndTracker_Decompress(void *destination, const void *source, unsigned sourceBytes,
                            unsigned destinationBytes, bool sixteenBit, bool variant2);
bool OsndImaAdpcm_Decode(int16_t *destination, const uint8_t *source, int blocks, int channels);

// Recording core: takes a piece of the output's record ring (offset and
// length in samples) into the recording sample.
void OsndRecord_CopyToSample(int offset, int samples);

// 3D: the software channels' update slot; runs the 3D update while the channel is paused.
bool SoundSoftware_Update3D(OsndChannel *channel);
