// Streams: the stream record, its sync points, the format reader contract the
// stream opener and the sample loaders share, and the streamer's state.
#pragma once

#include "sound/src/core/osnd_records.h"
#include "sound/src/system/system_file.h"
#include "sound/src/system/system_thread.h"

#include <atomic>
#include <cstdint>

struct OsndTag;

// A named position of a stream in PCM samples.
struct OsndSyncPoint {
  OsndSyncPoint *next;
  OsndSyncPoint *prev;
  uint32_t offset;
  uint32_t id;  // the cue identifier a WAV label refers to
  char name[256];
};

// Sorted circular list between the "head" and "tail" sentinels.
struct OsndSyncList {
  void *userData;
  OsndSyncPoint head;
  OsndSyncPoint tail;
  OsndSyncPoint *cursor;  // the next point to report
};

// Where a stream's data comes from; seeks are done per source.
enum OsndStreamSource {
  OSND_SOURCE_PCM = 0,
  OSND_SOURCE_WAV,
  OSND_SOURCE_OGG,
  OSND_SOURCE_AIFF,
  OSND_SOURCE_OSB,
  OSND_SOURCE_MPEG,
  OSND_SOURCE_NET,
  OSND_SOURCE_ASF,
  OSND_SOURCE_CD,
  OSND_SOURCE_DSHOW  // plays itself on a media channel; the stream has no streamer sample
};

// Read or decode step of a format: fills destination with up to *bytes bytes
// (in: wanted, out: produced) and answers whether more data follows.
typedef bool (*OsndStreamReadProc)(OSND_STREAM *stream, uint8_t *input, int inputSize, uint8_t *destination,
                                   int *bytes);
typedef bool (*OsndStreamFillProc)(OSND_STREAM *stream, void *destination, int bytes, void *userData);

struct OsndStreamCallbacks {
  OsndStreamReadProc read;
  bool (*reset)(void *state);
  bool (*close)(void *state);
  OsndStreamFillProc fill;
};

// What a format reader reports about a file it recognises.
struct OsndFormatInfo {
  SystemFileHandle *file;
  unsigned mode;          // in/out
  int rate;
  int channels;
  uint32_t dataLength;    // encoded bytes in the file (Ogg: the file length)
  uint32_t decodedLength; // PCM bytes (Ogg: PCM samples)
  uint32_t dataOffset;
  void *state;            // the reader's decoding state
  int blockSize;          // source bytes per decode step
  int lengthMs;           // 0 when the reader does not know it
  uint32_t loopStart, loopEnd;
  OsndSyncList *syncPoints;  // null: not wanted
  OsndTag **tags;            // null: not wanted
  int source;                // OsndStreamSource
  // A reader that sets callbacks.read decodes for itself; it may ask for an
  // input buffer and a decode block of these sizes (0: none).
  OsndStreamCallbacks callbacks;
  int inputSize;
  int decodeBlock;
  // The decoded length is an estimate (an MPEG file opened without a frame
  // scan): the stream learns the real one when it reaches the end.
  bool lengthEstimated;
};

struct OsndPositionEntry {
  uint32_t pcm;
  int loop;
};

struct OsndPositionRing {
  int count;
  int block;
  int write;
  OsndPositionEntry *entries;
};

struct OsndQueueNode {
  OsndQueueNode *next;
  OsndQueueNode *prev;
  void *object;
  int kind;  // 0 stream, 1 song
};

// A sync point passed by the mixer, waiting for the streamer to announce it.
struct OsndPendingSync {
  uint32_t offset;
  char name[256];
};
constexpr int OSND_PENDING_SYNCS = 32;

struct OSND_STREAM {
  OsndListNode link;  // the engine's stream list
  OsndListNode dspUnits;
  OsndQueueNode queue;
  OSND_SAMPLE *sample;
  SystemFileHandle *file;
  OsndCpuMeter decodeMeter;
  OsndSyncList sync;
  OSND_STREAMCALLBACK syncCallback;
  OsndPendingSync pendingSyncs[OSND_PENDING_SYNCS];
  int pendingSyncCount;
  OsndStreamCallbacks callbacks;
  void *formatState;
  int source;
  void *netRecord;  // an internet stream's record while its open runs
  OSND_STREAMCALLBACK endCallback;
  void *endUserData;
  OSND_STREAMCALLBACK openCallback;
  OsndTag *tags;
  int nextHalf;
  unsigned mode;
  int channel;
  int extraChannels[16];
  unsigned requestFlags;
  int pendingSubStream;
  int *sentence;  // sub-stream indices played one after another
  int sentenceCount;
  int sentenceCurrent;
  uint8_t *input;
  int inputSize;
  uint8_t *decode;
  int decodeBlock;
  int decodeHeld;
  int decodeOffset;
  int decodeSkip;
  bool sourceEnded;
  int loopCount;
  int loopsLeft;
  float cpuUsage;
  int lengthMs;
  uint32_t lengthPcm;
  // While the lengths above are an estimate: set, and whether the decode has
  // run from the start without a jump, so that its count at the end is the
  // real length.
  bool lengthEstimated;
  bool decodedFromStart;
  int64_t endCountdown;  // milliseconds x 256, -1 when not counting
  uint32_t pcmWritten;
  uint32_t fillPosition;  // streamer-sample frame the decode writes next
  uint32_t loopStart, loopEnd;
  OsndPositionRing ring, latency;
  int loopCounter, lastLoopSeen;
  char name[256];
  const void *memory;
  int offset, length;
  uint32_t dataLength, dataStart;
  int blockAlign;
  int channels;
  void *userData;
  uint8_t playing, ended, ready, seeking, needsRefill, refillOnPlay, prefilling, openFailed, closing;
};

enum { OSND_REQUEST_OPEN = 1, OSND_REQUEST_SUBSTREAM = 2 };

// Engine-wide stream state.
struct OsndStreamSystem {
  OsndListNode streams{nullptr, nullptr};
  SystemThreadHandle thread = nullptr;
  std::atomic<uint64_t> threadId{0};  // set by the thread itself, read by every caller
  std::atomic<int> stopByte{2};  // 0 run, 1 stop requested, 2 stopped
  SystemCriticalSection decodeLock = nullptr;
  SystemCriticalSection listLock = nullptr;
  OSND_DSPUNIT *syncUnit = nullptr;
  float usage = 0.0f;
  int bufferMs = 400;
  float passMs = 10.0f;
  int passSamples = 256;
};
extern OsndStreamSystem gOsndStreams;

inline OSND_STREAM *OsndStream_FromLink(OsndListNode *n) { return reinterpret_cast<OSND_STREAM *>(n); }

// A record opened in the background is filled by the open thread while the
// application polls it: its open state is published last (release) and read
// with acquire, so that a record seen as ready or failed is seen whole.
inline bool OsndStream_IsReady(OSND_STREAM *s) {
  return std::atomic_ref<uint8_t>(s->ready).load(std::memory_order_acquire) != 0;
}
inline bool OsndStream_OpenFailed(OSND_STREAM *s) {
  return std::atomic_ref<uint8_t>(s->openFailed).load(std::memory_order_acquire) != 0;
}
inline void OsndStream_SetOpenState(OSND_STREAM *s, bool ready, bool failed) {
  std::atomic_ref<uint8_t>(s->openFailed).store(failed ? 1 : 0, std::memory_order_release);
  std::atomic_ref<uint8_t>(s->ready).store(ready ? 1 : 0, std::memory_order_release);
}
inline void OsndStream_MarkReady(OSND_STREAM *s) { OsndStream_SetOpenState(s, true, false); }
inline void OsndStream_MarkOpenFailed(OSND_STREAM *s) { OsndStream_SetOpenState(s, false, true); }
// The stream-decode and stream-list locks; evenNonRealtime makes them for the
// non-realtime output too, once a background open thread shares the list.
void OsndStream_CreateLocks(bool evenNonRealtime);
bool OsndStream_OnStreamerThread();

// Conversions between bytes of the stream's data and PCM samples.
int OsndStream_BytesToSamples(const OSND_STREAM *stream, int bytes);
// The read of plain PCM data (raw files, WAV, bank entries) from the stream's
// file, bounded by the end of its data; 16-bit data is read in whole samples.
bool OsndStream_PcmRead(OSND_STREAM *stream, uint8_t *input, int inputSize, uint8_t *destination, int *bytes);
int OsndStream_SamplesToBytes(const OSND_STREAM *stream, int samples);

OSND_STREAM *OsndStream_Open(OSND_STREAM *reuse, const char *nameOrData, unsigned mode, int offset, int length);
// A buffer of -1 bytes makes a record without a streamer sample, for a
// source that plays by itself.
OSND_STREAM *OsndStream_Create(OSND_STREAM *reuse, OsndStreamFillProc fill, int bufferBytes, unsigned mode,
                               int rate, void *userData, int channels);
bool OsndStream_Stop(OSND_STREAM *stream, bool callEndCallback);
bool OsndStream_SetPosition(OSND_STREAM *stream, unsigned position, bool internal, bool noRefill);
// unit: 0 bytes, 1 milliseconds, 2 samples.
bool OsndStream_Seek(OSND_STREAM *stream, int unit, uint32_t value, bool resetSyncCursor);
// Selects a sub-stream (an entry of a sample-bank stream). internal: asked by
// the engine itself (the open, the open thread, the decode); keepPlaying: the
// decode moves on to the next entry of a sentence without stopping.
bool OsndStream_SetSubStreamEx(OSND_STREAM *stream, int index, bool internal, bool keepPlaying);
// At the end of a sub-stream's data, moves to the next entry of the sentence
// list (round again while the stream loops); false when there is none.
bool OsndStream_NextSentenceEntry(OSND_STREAM *stream);
// Releases what an open made (format state, file, buffers, sample, points,
// tags); the record itself stays. Safe to call twice.
void OsndStream_Release(OSND_STREAM *stream);
void OsndStream_Free(OSND_STREAM *stream);
// Links an opened record into the engine's stream list.
void OsndStream_Link(OSND_STREAM *stream);

// Refill and the streamer.
bool OsndStream_Decode(OSND_STREAM *stream, void *destination, int bytes, void *userData);
void OsndStream_FillHalf(OSND_STREAM *stream);
void OsndStream_Prefill(OSND_STREAM *stream);
void OsndStream_RecordPosition(OSND_STREAM *stream, uint32_t samples);
void OsndStream_UpdatePass(float milliseconds);
// (PCM position, loop counter) of what the channel plays; from the latency
// ring when asked and present.
OsndPositionEntry OsndStream_GetPcmPosition(OSND_STREAM *stream, bool fromLatency);

// Sync points.
bool OsndStream_InitSyncPointList(OsndSyncList *list);
OsndSyncPoint *OsndStream_AddSyncPointNode(OsndSyncList *list, uint32_t offset, const char *name);
void OsndStream_FreeSyncPoints(OsndSyncList *list);
// Moves every point of one list to another (emptied first).
void OsndStream_MoveSyncPoints(OsndSyncList *to, OsndSyncList *from);
OsndSyncPoint *OsndStream_GetSyncPoint(OsndSyncList *list, int index);
void OsndStream_ResetSyncCursor(OSND_STREAM *stream, uint32_t offset);
void OsndStream_SyncScan();
// Announces the sync points the mixer found passed (streamer side).
void OsndStream_DeliverSyncs(OSND_STREAM *stream);

// Callbacks and playback settings a stream's owner sets.
void OsndStream_SetEndCallback(OSND_STREAM *stream, OSND_STREAMCALLBACK callback, void *userData);
void OsndStream_SetSyncCallback(OSND_STREAM *stream, OSND_STREAMCALLBACK callback, void *userData);
// May be set while the open runs in the background.
void OsndStream_SetOpenCallback(OSND_STREAM *stream, OSND_STREAMCALLBACK callback);
OSND_STREAMCALLBACK OsndStream_GetOpenCallback(OSND_STREAM *stream);
// -1 endless (with a looping mode), else the number of loops back.
void OsndStream_SetLoopCount(OSND_STREAM *stream, int count);
