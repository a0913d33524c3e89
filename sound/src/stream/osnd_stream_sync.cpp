// Stream sync points: adding and deleting, and the scan that finds the
// points playback has passed (the sorted lists are format_reader.cpp's).
#include "sound/src/stream/osnd_stream.h"
#include "sound/src/system/system_error.h"
#include "sound/src/system/system_pause.h"
#include "sound/src/system/system_string.h"

#include <atomic>
#include <cstring>
#include <new>
#include <unordered_map>

namespace {

bool IsSentinel(const OsndSyncList *list, const OsndSyncPoint *p) { return p == &list->head || p == &list->tail; }

// The points handed to the application (OSND_Stream_AddSyncPoint's answers)
// and their streams, under the stream-list lock: the only points a delete may
// touch, found without walking any stream's list. A point leaves it as it
// leaves its stream's list (deleted, its stream released, or exchanged for
// another entry's), so that a delete of a point freed since is refused
// without reading it. Never destroyed: a thread still adding or deleting a
// point as the process exits finds it after the exit handlers have run.
std::unordered_map<const OsndSyncPoint *, OSND_STREAM *> &gHandedOut =
    *new std::unordered_map<const OsndSyncPoint *, OSND_STREAM *>;

// Takes a point out of its stream's list (the caller holds the list lock).
void Unlink(OSND_STREAM *owner, OsndSyncPoint *point) {
  if (owner->sync.cursor == point) owner->sync.cursor = point->next;
  point->prev->next = point->next;
  point->next->prev = point->prev;
}

}  // namespace

void OsndStream_ExchangeSyncPoints(OSND_STREAM *stream, OsndSyncList *points) {
  if (!gHandedOut.empty())
    for (OsndSyncPoint *p = stream->sync.head.next; p != &stream->sync.tail; p = p->next) gHandedOut.erase(p);
  // The old points no longer handed out, the list not yet swapped: an add,
  // a delete or the mixer's scan waits at the list lock.
  OSND_PAUSE_POINT("sync.list.exchanging");
  OsndStream_SwapSyncPoints(&stream->sync, points);
}

void OsndStream_ReplaceSyncPoints(OSND_STREAM *stream, OsndSyncList *points) {
  // The new points made, the list lock not yet taken: the old points are
  // still the stream's and still handed out.
  OSND_PAUSE_POINT("sync.list.replacing");
  {
    SystemLockGuard guard(gOsndStreams.listLock);
    OsndStream_ExchangeSyncPoints(stream, points);
  }
  OsndStream_FreeSyncPoints(points);
}

void OsndStream_ResetSyncCursor(OSND_STREAM *stream, uint32_t offset) {
  // Under the list lock, which the scan and the sync-point calls hold to
  // walk and edit the list.
  SystemLockGuard guard(gOsndStreams.listLock);
  OsndSyncList &list = stream->sync;
  OsndSyncPoint *p = list.head.next;
  OSND_PAUSE_POINT("sync.cursor.walking");
  while (p != &list.tail && p->offset < offset) p = p->next;
  list.cursor = (list.head.next == &list.tail) ? &list.head : p;
}

void OsndStream_SyncScan() {
  SystemLockGuard guard(gOsndStreams.listLock);
  OsndListNode *head = &gOsndStreams.streams;
  if (!head->next) return;
  for (OsndListNode *n = head->next; n != head;) {
    OsndListNode *next = n->next;
    OSND_STREAM *s = OsndStream_FromLink(n);
    OSND_PAUSE_POINT("sync.scan.stream");  // a stream in hand, none of it read yet
    // Fields a playing stream shares with the scan are written under the list
    // lock (play, stop, prefill); the streamer keeps the processor usage.
    const bool paused = s->channel == -1 || OSND_GetPaused(s->channel);
    if (s->playing && !paused) {
      const OsndPositionEntry now = OsndStream_GetPcmPosition(s, true);
      if (now.loop != s->lastLoopSeen) s->sync.cursor = &s->sync.head;
      s->lastLoopSeen = now.loop;
      OsndSyncList &list = s->sync;
      if (list.head.next != &list.tail) {
        if (list.cursor == &list.head) list.cursor = list.head.next;
        while (!IsSentinel(&list, list.cursor) && now.pcm >= list.cursor->offset) {
          OsndSyncPoint *passed = list.cursor;
          // A passed point in hand, its name not yet copied.
          OSND_PAUSE_POINT("sync.scan.passing");
          list.cursor = passed->next;
          // Announced later by the streamer, outside the mixer's and the list's
          // locks, so that a callback may stop its stream.
          if (s->pendingSyncCount < OSND_PENDING_SYNCS) {
            OsndPendingSync &p = s->pendingSyncs[s->pendingSyncCount++];
            p.offset = passed->offset;
            std::memcpy(p.name, passed->name, sizeof p.name);
          }
        }
      }
      // Only while the stream plays: a stopped, paused or seeking stream has
      // its position ring rewritten by a prefill on another thread.
      if (s->latency.entries && s->latency.count > 0) {
        s->latency.entries[s->latency.write] = OsndStream_GetPcmPosition(s, false);
        s->latency.write = (s->latency.write + 1) % s->latency.count;
      }
    }
    n = next;
  }
}

extern "C" {

// Sync point calls work inside a DSP unit's callback: they read the stream
// under the stream-list lock, taken after the mixer's (the channel is asked
// for its frequency), as its close releases the points and the sample under
// it.
OSND_SYNCPOINT *OSND_Stream_AddSyncPoint(OSND_STREAM *stream, unsigned int pcmOffset, const char *name) {
  Osnd_ResetError();
  OsndStreamCall call(stream);
  if (!call) return nullptr;
  OsndStreamReadLocks locks;  // the streamer writes playing and channel under the list lock too
  if (OsndStream_Closing(stream) || !OsndStream_IsReady(stream) || !stream->sample) {
    Osnd_SetError(OSND_ERR_INVALID_PARAM);
    return nullptr;
  }
  int frequency = stream->sample->defFrequency;
  if (stream->playing && stream->channel != -1) frequency = OSND_GetFrequency(stream->channel);
  // The rate read, the lengths not yet: a close or a new entry waits at the locks.
  OSND_PAUSE_POINT("stream.sync.adding");
  int64_t lengthMs = std::atomic_ref<int>(stream->lengthMs).load(std::memory_order_relaxed);
  if (lengthMs < 0 && frequency > 0) lengthMs = (int64_t(stream->lengthPcm) * 1000 + 999) / frequency;
  const int64_t lengthSamples = lengthMs * frequency / 1000;
  if (int64_t(pcmOffset) >= lengthSamples) {
    Osnd_SetError(OSND_ERR_INVALID_PARAM);
    return nullptr;
  }
  OSND_PAUSE_POINT("stream.sync.checked");  // the lengths checked, the point not yet linked
  OsndSyncPoint *point = OsndStream_AddSyncPointNode(&stream->sync, pcmOffset, name);
  if (!point) return nullptr;
  try {
    gHandedOut.emplace(point, stream);
  } catch (const std::bad_alloc &) {
    // Not handed out, so no delete could free it: it goes now.
    Unlink(stream, point);
    OSND_FREE_MEM(point);
    Osnd_SetError(OSND_ERR_MEMORY);
    return nullptr;
  }
  return point;
}

// Only a point handed out, and still its stream's, is deleted: one never
// handed out, deleted already, or whose stream has been closed or has
// changed entry since is refused, never touched, whichever thread did it.
bool OSND_Stream_DeleteSyncPoint(OSND_SYNCPOINT *point) {
  Osnd_ResetError();
  {
    SystemLockGuard guard(gOsndStreams.listLock);
    const auto found = gHandedOut.find(point);
    if (found == gHandedOut.end()) return Osnd_Fail(OSND_ERR_INVALID_PARAM);
    OSND_STREAM *owner = found->second;
    gHandedOut.erase(found);
    Unlink(owner, point);
  }
  OSND_FREE_MEM(point);
  return true;
}

}  // extern "C"
