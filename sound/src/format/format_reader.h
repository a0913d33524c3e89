// The format reader contract: what a reader reports about a file it
// recognises, the stream record its read steps work on, the sorted lists of
// sync points it fills, the plain PCM read the readers of raw data share, and
// what the readers that decode a whole file into a sample share.
#pragma once

#include "sound/src/core/osnd_lifetime.h"
#include "sound/src/core/osnd_records.h"
#include "sound/src/system/system_file.h"
#include "sound/src/system/system_time.h"

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

// A record waiting in the background open queue. A stream (kind 0) is opened
// by the queue itself; other work (kind 1, a song load) names what the open
// thread runs for it, what makes its open-complete callback once it has run,
// and what marks it failed when the queue ends first.
struct OsndQueueNode {
  OsndQueueNode *next;
  OsndQueueNode *prev;
  void *object;
  int kind;  // 0 stream, 1 other work
  void (*run)(void *object);
  void (*done)(void *object);
  void (*fail)(void *object);
  // The record's lifetime, which the callback thread holds while done (its
  // open-complete callback) runs, and what lets go of that hold; a stream's
  // are filled in as it is queued.
  OsndLifetime *life;
  void (*letGo)(void *object);
};

// A sync point passed by the mixer, waiting for the streamer to announce it.
struct OsndPendingSync {
  uint32_t offset;
  char name[256];
};
constexpr int OSND_PENDING_SYNCS = 32;

struct OsndQueuedTitle;

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
  // Set by a close of the stream while its open runs: that open gives up.
  std::atomic<bool> netAbort;
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
  uint8_t playing, ended, ready, seeking, needsRefill, refillOnPlay, prefilling, openFailed;
  // The streamer makes a stream's end and title callbacks after its pass,
  // outside the stream locks: the end found in the pass and the titles the
  // refills found wait here (under the stream-list lock).
  uint8_t endDue, dueMark;
  OsndQueuedTitle *titles;
  // The callback slot the streamer is calling (an OsndSlot, none between
  // calls), the thread making that call and the number of calls begun, under
  // the stream-list lock: a change of that slot on another thread waits for
  // the call to end.
  uint8_t slotInCall;
  uint64_t slotCaller;
  uint32_t slotCalls;
  // Held by every call and callback on it; its close marks it, releases what
  // the record owns under both stream locks and lets go: the last hold frees
  // the record.
  OsndLifetime life;
};

// The read of plain PCM data (raw files, WAV, bank entries) from the stream's
// file, bounded by the end of its data; 16-bit data is read in whole samples.
bool OsndStream_PcmRead(OSND_STREAM *stream, uint8_t *input, int inputSize, uint8_t *destination, int *bytes);

// Sync point lists.
bool OsndStream_InitSyncPointList(OsndSyncList *list);
OsndSyncPoint *OsndStream_AddSyncPointNode(OsndSyncList *list, uint32_t offset, const char *name);
void OsndStream_FreeSyncPoints(OsndSyncList *list);
// Exchanges the points of two lists; both cursors go back to the start.
void OsndStream_SwapSyncPoints(OsndSyncList *a, OsndSyncList *b);
OsndSyncPoint *OsndStream_GetSyncPoint(OsndSyncList *list, int index);

// A format reader's sample load: the loaded sample, or null with the last
// error set (10: not this format).
typedef OSND_SAMPLE *(*OsndSampleReader)(SystemFileHandle *file, int index, unsigned mode,
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
