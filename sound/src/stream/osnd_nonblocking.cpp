#include "sound/src/stream/osnd_nonblocking.h"

#include "sound/src/core/osnd_records.h"
#include "sound/src/format/format_osb.h"
#include "sound/src/system/system_error.h"
#include "sound/src/system/system_file.h"
#include "sound/src/system/system_net.h"
#include "sound/src/system/system_time.h"

#include <atomic>
#include <condition_variable>
#include <mutex>

namespace {

// Opens of internet streams wait on servers for seconds; they have a queue
// and a thread of their own, so that they never hold up the opens of local
// files, the song loads and the sub-stream selections, which share the other.
enum Lane { kLocal, kNetwork, kLanes };
const char *const kThreadNames[kLanes] = {"ZIVE OSND_NONBLOCKING thread", "ZIVE OSND_NONBLOCKING net thread"};

struct LaneState {
  OsndQueueNode head{&head, &head, nullptr, 0, nullptr, nullptr};
  SystemThreadHandle thread = nullptr;
  // The record the lane's thread works on; a close of it waits until it is done.
  void *working = nullptr;
};

struct NonBlockingState {
  LaneState lanes[kLanes];
  std::atomic<int> stopByte{2};
  // The application appends while the threads take nodes off.
  std::mutex lock;
  std::condition_variable workDone;
};

NonBlockingState gQueue;
thread_local LaneState *tLane = nullptr;  // the lane whose thread this is

// Takes the first node off a lane's queue (a copy of it into taken); its
// object becomes the one being worked on.
bool TakeFirst(LaneState &lane, OsndQueueNode *taken) {
  std::lock_guard<std::mutex> guard(gQueue.lock);
  OsndQueueNode *node = lane.head.next;
  if (node == &lane.head) return false;
  node->prev->next = node->next;
  node->next->prev = node->prev;
  node->next = node->prev = node;
  *taken = *node;
  node->object = nullptr;
  lane.working = taken->object;
  return true;
}

void FinishWork(LaneState &lane) {
  {
    std::lock_guard<std::mutex> guard(gQueue.lock);
    lane.working = nullptr;
  }
  gQueue.workDone.notify_all();
}

void OpenStream(OSND_STREAM *s) {
  bool failed = false;
  if (s->requestFlags & OSND_REQUEST_OPEN) {
    const char *source = (s->mode & OSND_MODE_MEMORY) ? static_cast<const char *>(s->memory) : s->name;
    // The mode keeps its background bit: the opened stream's sub-stream
    // selections are asked of this thread too.
    failed = OsndStream_Open(s, source, s->mode, s->offset, s->length) == nullptr;
    s->requestFlags &= ~unsigned(OSND_REQUEST_OPEN);
  }
  if ((s->requestFlags & OSND_REQUEST_SUBSTREAM) && s->sample) {
    const int index = s->pendingSubStream;
    if (s->source == OSND_SOURCE_CD) {
      // A drive's track is selected, and once more once it is.
      OsndStream_SetSubStreamEx(s, index, true, false);
      if (index >= 0) OsndStream_SetSubStreamEx(s, index, true, false);
    } else {
      // A bank is set on its current entry first, then on the one asked for.
      if (s->source == OSND_SOURCE_OSB && s->formatState)
        OsndStream_SetSubStreamEx(s, static_cast<OsbBank *>(s->formatState)->current, true, false);
      if (index >= 0) OsndStream_SetSubStreamEx(s, index, true, false);
    }
    s->pendingSubStream = -1;
    s->requestFlags &= ~unsigned(OSND_REQUEST_SUBSTREAM);
  }
  const OSND_STREAMCALLBACK opened = OsndStream_GetOpenCallback(s);
  OsndStream_SetOpenState(s, !failed, failed);
  if (opened) opened(s, nullptr, 0, nullptr);
}

unsigned ThreadProc(void *argument) {
  LaneState &lane = *static_cast<LaneState *>(argument);
  tLane = &lane;
  while (gQueue.stopByte == 0) {
    OsndQueueNode taken{};
    while (TakeFirst(lane, &taken)) {
      if (!taken.object) {
        FinishWork(lane);
        SystemTime_Sleep(25);
        continue;
      }
      gOsndError.lastError.ClearOwn();
      if (taken.kind == 0)
        OpenStream(static_cast<OSND_STREAM *>(taken.object));
      else
        taken.run(taken.object);
      FinishWork(lane);
      if (gQueue.stopByte != 0) break;
    }
    if (gQueue.stopByte != 0) break;
    SystemTime_Sleep(50);
  }
  return 0;
}

// Internet streams still to be opened go to the network lane; everything
// else (and an opened internet stream's later requests) to the local one.
Lane LaneFor(void *object, int kind) {
  if (kind != 0) return kLocal;
  const auto *s = static_cast<const OSND_STREAM *>(object);
  const bool opening = s->requestFlags & OSND_REQUEST_OPEN;
  return opening && !(s->mode & OSND_MODE_MEMORY) && SystemNet_IsHttpUrl(s->name) ? kNetwork : kLocal;
}

}  // namespace

void OsndNonBlocking_Init() {
  std::lock_guard<std::mutex> guard(gQueue.lock);
  gQueue.stopByte = 0;
  for (LaneState &lane : gQueue.lanes) lane.head.next = lane.head.prev = &lane.head;
}

bool OsndNonBlocking_StartThread() {
  bool started = true;
  for (int i = 0; i < kLanes; ++i) {
    LaneState &lane = gQueue.lanes[i];
    if (!lane.thread) {
      // The open threads link the records they opened into the stream list,
      // which the application walks too: the list needs its locks even when
      // the output makes none of its own.
      OsndStream_CreateLocks(true);
      gQueue.stopByte = 0;
      lane.thread = SystemThread_Create(kThreadNames[i], ThreadProc, &lane, 1, 16384);
    }
    started = started && lane.thread;
  }
  if (!started) Osnd_SetError(OSND_ERR_MEMORY);
  return started;
}

void OsndNonBlocking_Shutdown() {
  gQueue.stopByte = 1;
  for (LaneState &lane : gQueue.lanes) {
    if (lane.thread) {
      SystemThread_CloseThread(lane.thread);  // joins
      lane.thread = nullptr;
    }
  }
  gQueue.stopByte = 2;
  for (LaneState &lane : gQueue.lanes) {
    OsndQueueNode taken{};
    while (TakeFirst(lane, &taken)) {
      if (taken.kind == 0 && taken.object) OsndStream_MarkOpenFailed(static_cast<OSND_STREAM *>(taken.object));
      if (taken.kind == 1 && taken.object) taken.fail(taken.object);
      FinishWork(lane);
    }
  }
}

void OsndNonBlocking_Queue(OsndQueueNode *node, void *object, int kind) {
  LaneState &lane = gQueue.lanes[LaneFor(object, kind)];
  std::lock_guard<std::mutex> guard(gQueue.lock);
  node->object = object;
  node->kind = kind;
  node->prev = lane.head.prev;
  node->next = &lane.head;
  lane.head.prev->next = node;
  lane.head.prev = node;
}

void OsndNonBlocking_QueueWork(OsndQueueNode *node, void *object, void (*run)(void *), void (*fail)(void *)) {
  node->run = run;
  node->fail = fail;
  OsndNonBlocking_Queue(node, object, 1);
}

void OsndNonBlocking_Unqueue(OsndQueueNode *node) {
  std::lock_guard<std::mutex> guard(gQueue.lock);
  if (!node->next || node->next == node) return;
  node->prev->next = node->next;
  node->next->prev = node->prev;
  node->next = node->prev = node;
  node->object = nullptr;
}

void OsndNonBlocking_WaitUntilDone(void *object) {
  std::unique_lock<std::mutex> guard(gQueue.lock);
  // A callback of an open on its own thread does not wait for that open.
  gQueue.workDone.wait(guard, [object] {
    for (const LaneState &lane : gQueue.lanes)
      if (&lane != tLane && lane.working == object) return false;
    return true;
  });
}
