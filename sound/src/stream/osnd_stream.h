// Streams: opening, playing, seeking and closing, sub-streams, the refill
// and the streamer's state. The stream record and the format reader contract
// are the readers' (format_reader.h).
#pragma once

#include "sound/src/core/osnd_records.h"
#include "sound/src/format/format_reader.h"
#include "sound/src/system/system_file.h"
#include "sound/src/system/system_thread.h"

#include <atomic>
#include <cstdint>
#include <optional>

enum { OSND_REQUEST_OPEN = 1, OSND_REQUEST_SUBSTREAM = 2 };

// Engine-wide stream state.
struct OsndStreamSystem {
  OsndListNode streams{nullptr, nullptr};
  SystemThreadHandle thread = nullptr;
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

// Conversions between bytes of the stream's data and PCM samples.
int OsndStream_BytesToSamples(const OSND_STREAM *stream, int bytes);
int OsndStream_SamplesToBytes(const OSND_STREAM *stream, int samples);

OSND_STREAM *OsndStream_Open(OSND_STREAM *reuse, const char *nameOrData, unsigned mode, int offset, int length);
// A buffer of -1 bytes makes a record without a streamer sample, for a
// source that plays by itself.
OSND_STREAM *OsndStream_Create(OSND_STREAM *reuse, OsndStreamFillProc fill, int bufferBytes, unsigned mode,
                               int rate, void *userData, int channels);
// Stops a playing stream. Its end callback is the streamer's to make, after
// its pass, for a stream that ended by itself.
bool OsndStream_Stop(OSND_STREAM *stream);
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
// tags); the record itself stays. Safe to call twice. What it frees is taken
// out of the record under both stream locks first, so that a call or a scan
// holding either of them sees it whole or not at all.
void OsndStream_Release(OSND_STREAM *stream);
// A stream keeps the engine's one lifetime rule (core/osnd_lifetime.h). A
// thread about to make a callback of the stream holds it, taken while the
// stream can be freed by no one (under the stream-list lock, with the
// stream in the list, or under the open queue's lock before its close sees
// it); it lets go once the callback has returned, which frees the record of
// a stream closed meanwhile.
void OsndStream_Hold(OSND_STREAM *stream);
void OsndStream_LetGo(OSND_STREAM *stream);
// Whether the stream is being or has been closed (it may still be held).
bool OsndStream_Closing(OSND_STREAM *stream);

// The time and sync-point calls read a stream under the stream-list lock,
// which its close takes to release what they read; the mixer's lock comes
// first, in the engine's order, since they ask the stream's channel too.
// Inside a DSP unit's callback both may be taken: these calls work there.
struct OsndStreamReadLocks {
  SystemLockGuard mixing{Osnd_MixerLock()};
  SystemLockGuard list{gOsndStreams.listLock};
};

// The stream-decode lock, as every call that decodes, seeks, plays, stops or
// closes a stream takes it. On a thread inside a DSP unit's callback the
// mixer's lock is held, which comes after this one in the engine's order:
// there it is refused rather than taken (false, OSND_ERR_CALLBACK), so that
// whatever call needs it fails there instead of deadlocking. `wanted` false
// takes nothing.
class OsndDecodeLock {
 public:
  explicit OsndDecodeLock(bool wanted = true);
  ~OsndDecodeLock();
  OsndDecodeLock(const OsndDecodeLock &) = delete;
  OsndDecodeLock &operator=(const OsndDecodeLock &) = delete;
  explicit operator bool() const { return !m_Refused; }

 private:
  bool m_Taken = false, m_Refused = false;
};

// A public call on a stream holds the record for the call's length, so that
// a close made meanwhile by another party (a callback of the stream, or the
// application) frees the record only afterwards. A stream already being
// closed is not held: the call fails (false) with OSND_ERR_INVALID_PARAM.
// What the call reads or changes of the stream beyond the record, it reads
// under the stream-decode lock (LockDecodeIfOpen) or the stream-list lock,
// after checking OsndStream_Closing there: the close releases those parts
// under both.
class OsndStreamCall {
 public:
  explicit OsndStreamCall(OSND_STREAM *stream);
  ~OsndStreamCall();
  OsndStreamCall(const OsndStreamCall &) = delete;
  OsndStreamCall &operator=(const OsndStreamCall &) = delete;
  explicit operator bool() const { return m_Stream != nullptr; }
  // Takes the stream-decode lock for the rest of the call and checks the
  // close mark under it; false (with the error set) when the lock is refused
  // (inside a DSP unit's callback) or the stream's close has begun.
  bool LockDecodeIfOpen();

 private:
  OSND_STREAM *m_Stream;
  std::optional<OsndDecodeLock> m_Decode;
};

// Links an opened record into the engine's stream list.
void OsndStream_Link(OSND_STREAM *stream);

// Refill and the streamer.
bool OsndStream_Decode(OSND_STREAM *stream, void *destination, int bytes, void *userData);
void OsndStream_FillHalf(OSND_STREAM *stream);
void OsndStream_Prefill(OSND_STREAM *stream);
void OsndStream_RecordPosition(OSND_STREAM *stream, uint32_t samples);
void OsndStream_UpdatePass(float milliseconds);
// A title an internet stream's reader found: one found while a stream
// refills (under the stream-decode lock) waits for the end of the
// streamer's pass and goes to the callback its record names at that time;
// one found outside a refill goes to it at once.
void OsndStream_CallTitle(OSND_METADATACALLBACK *callback, void **userData, const char *name, const char *value);
// Frees the titles still waiting (a stream released).
void OsndStream_DropTitles(OSND_STREAM *stream);
// (PCM position, loop counter) of what the channel plays; from the latency
// ring when asked and present.
OsndPositionEntry OsndStream_GetPcmPosition(OSND_STREAM *stream, bool fromLatency);

// Sync points. A stream's list is walked under the stream-list lock (the
// mixer's scan, the sync-point calls) and so edited only under it, on every
// thread: a new list is made aside and exchanged for the stream's.
// Under the stream-list lock: the stream takes the points of `points`, which
// takes the stream's old ones, for the caller to free once the lock is left
// (the application can no longer delete them).
void OsndStream_ExchangeSyncPoints(OSND_STREAM *stream, OsndSyncList *points);
// Takes the lock for the exchange and frees the old points after it.
void OsndStream_ReplaceSyncPoints(OSND_STREAM *stream, OsndSyncList *points);
void OsndStream_ResetSyncCursor(OSND_STREAM *stream, uint32_t offset);
// Finds the points playback has passed; the streamer announces them.
void OsndStream_SyncScan();

// A callback slot's change beside the streamer's call of that slot. Under the
// stream-list lock, just after the change: whether a call of the slot, taken
// before the change, is under way on another thread; if so the stream is held
// and the answer names that call. Then, with no engine lock held (the call may
// need any of them), the change waits for that call to end, as a timer's
// synchronous delete waits for its callback, and lets go of the stream. A
// change made on the calling thread (from inside that callback), inside a DSP
// unit's callback (under the mixer's lock) or during a refill (a fill or file
// callback, under the stream-decode lock), where the call may need the lock
// held, does not wait.
enum OsndSlot { OSND_SLOT_NONE, OSND_SLOT_SYNC, OSND_SLOT_END, OSND_SLOT_TITLE };
struct OsndSlotCall {
  OSND_STREAM *stream = nullptr;
  uint32_t call = 0;
};
OsndSlotCall OsndStream_SlotCallUnderWay(OSND_STREAM *stream, OsndSlot slot);
void OsndStream_WaitForSlotCall(const OsndSlotCall &call);
// Under the stream-list lock, as a close of the stream begins: one made by
// the callback being called, on its own thread (whether or not another close
// came first), ends the waits for that call (the stream gets no callback
// after it), so that the callback may then wait for the thread whose change
// is waiting, as it may after any close.
void OsndStream_CloseInSlotCall(OSND_STREAM *stream);

// Callbacks and playback settings a stream's owner sets.
// The end and sync setters fail (false, OSND_ERR_INVALID_PARAM, nothing
// changed) on a stream whose close has begun. Made outside the callback, a
// change waits for a call of it already under way on the streamer: the
// changing thread must hold no lock that the callback may take, and a
// callback must not wait for a thread that may be changing its slot (closing
// its stream ends the wait).
bool OsndStream_SetEndCallback(OSND_STREAM *stream, OSND_STREAMCALLBACK callback, void *userData);
bool OsndStream_SetSyncCallback(OSND_STREAM *stream, OSND_STREAMCALLBACK callback, void *userData);
// May be set while the open runs in the background.
void OsndStream_SetOpenCallback(OSND_STREAM *stream, OSND_STREAMCALLBACK callback);
OSND_STREAMCALLBACK OsndStream_GetOpenCallback(OSND_STREAM *stream);
// -1 endless (with a looping mode), else the number of loops back; false
// for a stream being closed or inside a DSP unit's callback.
bool OsndStream_SetLoopCount(OSND_STREAM *stream, int count);

// The streamer thread and the stream list, for the engine's Init and Close.
bool OsndStream_StartThread();
// Stops the streamer thread and waits for it to end.
void OsndStream_StopThread();
void OsndStream_CloseAll();
// Stops the streamer thread, frees the sync unit and deletes the stream locks.
void OsndStream_Shutdown();

// The sources a stream may come from besides files and memory, which live in
// the layer above: CD drives ("D:" and so on) and internet streams. The
// engine fills the table at Init.
struct OsndStreamSources {
  // Opens a drive (a drive always opens: what went wrong is told by its
  // tags); the device becomes the format state.
  void (*cdOpen)(const char *name, OsndFormatInfo *info);
  // Moves a drive's stream to a sample of its open track (the bytes reached
  // are a sector's start); a drive that opened no track has only position 0.
  bool (*cdSeek)(void *device, uint64_t samples, uint32_t *reached);
  // The disc's tracks, which are a drive stream's sub-streams.
  int (*cdTrackCount)(void *device);
  // Opens a track (or, for a drive opened for its information only, takes
  // its length): its bytes, 0 when it cannot be opened.
  uint32_t (*cdSelectTrack)(void *device, int track, bool *infoOnly);
  // Opens the internet stream a URL names, filling the format info as a
  // reader does; false with the last error set when no reader took it.
  bool (*netOpen)(OSND_STREAM *stream, const char *url, OsndFormatInfo *info);
  // Asks an internet stream's open to give up.
  bool (*netStop)(OSND_STREAM *stream);
};
void OsndStream_SetSources(const OsndStreamSources &sources);
extern OsndStreamSources gOsndStreamSources;
