#include "sound/src/stream/osnd_nonblocking.h"

#include "sound/src/core/osnd_records.h"
#include "sound/src/format/format_osb.h"
#include "sound/src/system/system_error.h"
#include "sound/src/system/system_file.h"
#include "sound/src/system/system_net.h"
#include "sound/src/system/system_pause.h"
#include "sound/src/system/system_time.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <deque>
#include <mutex>

namespace {

// Opens of internet streams wait on servers for seconds. They have a queue of
// their own, served by a thread for each open under way (up to a bound), so
// that a slow server holds up only its own stream: never another station,
// nor the opens of local files, the song loads and the sub-stream selections,
// which one thread does in turn from the other queue.
enum Lane { kLocal, kNetwork, kLanes };
constexpr int kWorkers = 1 + OSND_NONBLOCKING_NET_THREADS;
const char *const kThreadNames[kLanes] = {"ZIVE OSND_NONBLOCKING thread", "ZIVE OSND_NONBLOCKING net thread"};
const char *const kCallbackThreadName = "ZIVE OSND_NONBLOCKING callback thread";

struct Worker {
  SystemThreadHandle thread = nullptr;
  // The record the thread works on; a close of it waits until it is done.
  void *working = nullptr;
  // The work is an opened stream's sub-stream selection (not its open).
  bool selecting = false;
};

// A finished open whose open-complete callback is still to be made.
struct Completion {
  void *object;
  void (*done)(void *object);
  // The callback thread holds the record while its callback runs, so that a
  // close or free made meanwhile by another party releases it only after.
  OsndLifetime *life;
  void (*letGo)(void *object);
};

// The callback thread's life: none; serving the callbacks; or leaving once
// none waits, as a close of the engine asked. A close made by one of its own
// callbacks cannot join it: it is left leaving, and the next start or close
// of the engine on another thread joins it; a callback that starts the engine
// again keeps it serving.
enum class Caller { kNone, kServing, kLeaving };

struct NonBlockingState {
  OsndQueueNode heads[kLanes] = {{&heads[0], &heads[0], nullptr, 0, nullptr, nullptr, nullptr, nullptr, nullptr},
                                 {&heads[1], &heads[1], nullptr, 0, nullptr, nullptr, nullptr, nullptr, nullptr}};
  // workers[0] serves the local queue, the others the network queue.
  Worker workers[kWorkers];
  std::atomic<int> stopByte{2};
  // Callers may count on the open-complete callbacks never running side by
  // side, as when one thread did every open: the callbacks of the opens that
  // finished wait here, in the order they finished, and a thread of their own
  // makes them, so that a slow callback holds up no open.
  std::deque<Completion> completions;
  SystemThreadHandle caller = nullptr;
  Caller callerState = Caller::kNone;
  bool callerJoined = false;  // a thread is joining the leaving one
  // Opens are taken from the engine's start until its close begins; after
  // that one fails at once and starts no thread.
  bool accepting = false;
  // A close or start of the engine is under way (a start closes first and
  // holds this until the engine runs); one thread makes it, see
  // OsndNonBlocking_BeginEngineClose.
  bool closing = false;
  // The application appends while the threads take nodes off.
  std::mutex lock;
  std::condition_variable workDone;
  std::condition_variable completed;
  std::condition_variable closeEnded;
};

NonBlockingState gQueue;
thread_local bool tDelivering = false;  // this thread makes the callbacks
// How deep this thread is in the engine's close or start (the close that a
// start makes first is one level more).
thread_local int tClosingDepth = 0;

Lane LaneOf(const Worker &worker) { return &worker == &gQueue.workers[0] ? kLocal : kNetwork; }

// Takes the first node off a worker's queue (a copy of it into taken); its
// object becomes the one being worked on.
bool TakeFirst(Worker &worker, OsndQueueNode *taken) {
  std::lock_guard<std::mutex> guard(gQueue.lock);
  OsndQueueNode &head = gQueue.heads[LaneOf(worker)];
  OsndQueueNode *node = head.next;
  if (node == &head) return false;
  node->prev->next = node->next;
  node->next->prev = node->prev;
  node->next = node->prev = node;
  *taken = *node;
  node->object = nullptr;
  worker.working = taken->object;
  // Written before the stream was queued and by no one while it is: read here.
  const auto *stream = taken->kind == 0 ? static_cast<const OSND_STREAM *>(taken->object) : nullptr;
  worker.selecting = stream && !(stream->requestFlags & OSND_REQUEST_OPEN);
  return true;
}

void CallOpenCallback(void *object);

// The callback thread: makes the waiting callbacks one after another; the
// queue lock is not held while one runs, so that a callback may close records,
// open others, and close the engine and start it again. A record (stream or
// song) is held while its callback runs, so that a close or free from
// another thread releases it only afterwards, without waiting for the
// callback.
unsigned CallbackThreadProc(void *) {
  tDelivering = true;
  std::unique_lock<std::mutex> guard(gQueue.lock);
  for (;;) {
    gQueue.completed.wait(guard,
                          [] { return !gQueue.completions.empty() || gQueue.callerState == Caller::kLeaving; });
    if (gQueue.completions.empty()) break;
    const Completion next = gQueue.completions.front();
    gQueue.completions.pop_front();
    OSND_PAUSE_POINT("callbacks.taken");
    // Taken under the queue lock, where a close or free that has not yet
    // dropped the waiting callbacks cannot have released the record.
    OsndLifetime_Hold(next.life);
    guard.unlock();
    OSND_PAUSE_POINT("callbacks.record-held");
    next.done(next.object);
    next.letGo(next.object);  // the last hold of a record freed meanwhile releases it
    guard.lock();
    gQueue.workDone.notify_all();
  }
  return 0;
}

// Under the queue lock, which it leaves while it waits: joins a callback
// thread that a callback's close of the engine left leaving.
void JoinLeavingCaller(std::unique_lock<std::mutex> &guard) {
  if (tDelivering) return;
  // The thread stays marked leaving until it has ended; a second thread
  // that comes meanwhile waits for the first one's join.
  while (gQueue.callerState == Caller::kLeaving && gQueue.callerJoined) gQueue.workDone.wait(guard);
  if (gQueue.callerState != Caller::kLeaving) return;
  gQueue.callerJoined = true;
  guard.unlock();
  SystemThread_CloseThread(gQueue.caller);  // joins
  guard.lock();
  gQueue.caller = nullptr;
  gQueue.callerState = Caller::kNone;
  gQueue.callerJoined = false;
  gQueue.workDone.notify_all();
}

// Asks the callback thread to leave once no callback waits, and joins it
// unless it is the calling thread (a callback closing the engine). Such a
// close cannot make the callbacks still waiting, one inside another: they are
// dropped, so that none comes after the close.
void StopCallbackThread() {
  std::unique_lock<std::mutex> guard(gQueue.lock);
  if (tDelivering) gQueue.completions.clear();
  if (gQueue.callerState == Caller::kServing) gQueue.callerState = Caller::kLeaving;
  gQueue.completed.notify_all();
  JoinLeavingCaller(guard);
}

// The worker's record is done with; the callback of the work it finished
// (when there is one) waits its turn behind those of the opens that finished
// before it.
void FinishWork(Worker &worker, const OsndQueueNode *finished) {
  {
    std::lock_guard<std::mutex> guard(gQueue.lock);
    if (finished && finished->done && worker.working)
      gQueue.completions.push_back({worker.working, finished->done, finished->life, finished->letGo});
    worker.working = nullptr;
  }
  gQueue.workDone.notify_all();
  gQueue.completed.notify_all();
}

void LetGoOfStream(void *object) { OsndStream_LetGo(static_cast<OSND_STREAM *>(object)); }

void CallOpenCallback(void *object) {
  auto *s = static_cast<OSND_STREAM *>(object);
  if (OsndStream_Closing(s)) return;  // a close began before its turn
  if (const OSND_STREAMCALLBACK opened = OsndStream_GetOpenCallback(s)) opened(s, nullptr, 0, nullptr);
}

void OpenStream(OSND_STREAM *s) {
  bool failed = false;
  if (s->requestFlags & OSND_REQUEST_OPEN) {
    const char *source = (s->mode & OSND_MODE_MEMORY) ? static_cast<const char *>(s->memory) : s->name;
    // The mode keeps its background bit: the opened stream's sub-stream
    // selections are asked of this thread too.
    failed = OsndStream_Open(s, source, s->mode, s->offset, s->length) == nullptr;
    s->requestFlags &= ~unsigned(OSND_REQUEST_OPEN);
    // A failed record stays the application's to close; in the stream list
    // the engine's close frees it too when the application does not.
    if (failed) OsndStream_Link(s);
  }
  if ((s->requestFlags & OSND_REQUEST_SUBSTREAM) && s->sample) {
    // The stream is in the stream list: the selection seeks and refills it
    // under the stream-decode lock, as the streamer's pass reads it.
    SystemLockGuard decode(gOsndStreams.decodeLock);
    const int index = s->pendingSubStream;
    // A drive's track is selected, and once more below; a bank is set on its
    // current entry first, then on the one asked for.
    if (s->source == OSND_SOURCE_CD)
      OsndStream_SetSubStreamEx(s, index, true, false);
    else if (s->source == OSND_SOURCE_OSB && s->formatState)
      OsndStream_SetSubStreamEx(s, static_cast<OsbBank *>(s->formatState)->current, true, false);
    if (index >= 0) OsndStream_SetSubStreamEx(s, index, true, false);
    s->pendingSubStream = -1;
    s->requestFlags &= ~unsigned(OSND_REQUEST_SUBSTREAM);
    // Selected, the stream not yet ready again: a close waits from here.
    OSND_PAUSE_POINT("queue.selection.selected");
  }
  OsndStream_SetOpenState(s, !failed, failed);
}

unsigned OpenerThreadProc(void *argument) {
  Worker &worker = *static_cast<Worker *>(argument);
  while (gQueue.stopByte == 0) {
    OsndQueueNode taken{};
    while (TakeFirst(worker, &taken)) {
      if (!taken.object) {
        FinishWork(worker, nullptr);
        SystemTime_Sleep(25);
        continue;
      }
      gOsndError.lastError.ClearOwn();
      // Taken and named as worked on, in one step under the queue lock: a
      // close that finds the node gone waits for this thread from here.
      OSND_PAUSE_POINT("queue.work.taken");
      if (taken.kind == 0)
        OpenStream(static_cast<OSND_STREAM *>(taken.object));
      else
        taken.run(taken.object);
      // Done, the record still named as worked on until FinishWork.
      OSND_PAUSE_POINT("queue.work.ended");
      FinishWork(worker, &taken);
      if (gQueue.stopByte != 0) break;
    }
    if (gQueue.stopByte != 0) break;
    SystemTime_Sleep(50);
  }
  return 0;
}

// Internet streams still to be opened go to the network queue; everything
// else (and an opened internet stream's later requests) to the local one.
Lane LaneFor(void *object, int kind) {
  if (kind != 0) return kLocal;
  const auto *s = static_cast<const OSND_STREAM *>(object);
  const bool opening = s->requestFlags & OSND_REQUEST_OPEN;
  return opening && !(s->mode & OSND_MODE_MEMORY) && SystemNet_IsHttpUrl(s->name) ? kNetwork : kLocal;
}

// Under the queue lock: creates the worker's thread when it has none.
bool StartWorker(int index) {
  Worker &worker = gQueue.workers[index];
  if (worker.thread) return true;
  // The open threads link the records they opened into the stream list,
  // which the application walks too: the list needs its locks even when the
  // output makes none of its own.
  OsndStream_CreateLocks(true);
  gQueue.stopByte = 0;
  worker.thread = SystemThread_Create(kThreadNames[LaneOf(worker)], OpenerThreadProc, &worker, 1, 16384);
  return worker.thread != nullptr;
}

// Under the queue lock: one more network thread when the queued opens
// outnumber the network threads free to take them, while the bound allows.
void GrowNetworkWorkers() {
  int queued = 0, free = 0;
  const OsndQueueNode &head = gQueue.heads[kNetwork];
  for (const OsndQueueNode *n = head.next; n != &head; n = n->next) queued += n->object != nullptr;
  for (int i = 1; i < kWorkers; ++i) free += gQueue.workers[i].thread && !gQueue.workers[i].working;
  if (queued <= free) return;
  for (int i = 1; i < kWorkers; ++i) {
    if (!gQueue.workers[i].thread) {
      StartWorker(i);  // when it cannot be made, the open waits for a thread that exists
      return;
    }
  }
}

}  // namespace

void OsndNonBlocking_Init() {
  std::lock_guard<std::mutex> guard(gQueue.lock);
  gQueue.stopByte = 0;
  for (OsndQueueNode &head : gQueue.heads) head.next = head.prev = &head;
  gQueue.completions.clear();
  gQueue.accepting = true;
}

bool OsndNonBlocking_BeginEngineClose(bool start) {
  std::unique_lock<std::mutex> guard(gQueue.lock);
  if (tClosingDepth == 0) {
    // One close or start at a time: two closes would join the same threads,
    // and a start beside a close would run a second engine beside it. A start
    // beside one fails, and so does a close on the callback thread, which the
    // one under way joins (it cannot wait for it). Any other close waits,
    // then closes whatever the one before it left running.
    if (gQueue.closing && (tDelivering || start)) return Osnd_Fail(tDelivering ? OSND_ERR_CALLBACK : OSND_ERR_INIT);
#if QMV_PAUSE_POINTS
    if (gQueue.closing) {
      // Where a test stops a close that found another under way.
      guard.unlock();
      OSND_PAUSE_POINT("engine.close.waiting");
      guard.lock();
    }
#endif
    gQueue.closeEnded.wait(guard, [] { return !gQueue.closing; });
    gQueue.closing = true;
  }
  ++tClosingDepth;
  gQueue.accepting = false;
  JoinLeavingCaller(guard);
  guard.unlock();
  OSND_PAUSE_POINT("engine.close.taken");
  return true;
}

void OsndNonBlocking_EndEngineClose() {
  std::lock_guard<std::mutex> guard(gQueue.lock);
  if (--tClosingDepth > 0) return;
  gQueue.closing = false;
  gQueue.closeEnded.notify_all();
}

bool OsndNonBlocking_StartThread() {
  std::unique_lock<std::mutex> guard(gQueue.lock);
  if (!gQueue.accepting) return Osnd_Fail(OSND_ERR_UNINITIALISED);
  // A callback that closed the engine and started it again keeps its thread.
  if (tDelivering) gQueue.callerState = Caller::kServing;
  JoinLeavingCaller(guard);
  if (gQueue.callerState == Caller::kNone) {
    gQueue.caller = SystemThread_Create(kCallbackThreadName, CallbackThreadProc, nullptr, 1, 16384);
    if (gQueue.caller) gQueue.callerState = Caller::kServing;
  }
  // The local thread and the first network thread; more network threads are
  // made as internet opens are queued.
  const bool started = gQueue.callerState == Caller::kServing && StartWorker(0) && StartWorker(1);
  if (!started) Osnd_SetError(OSND_ERR_MEMORY);
  return started;
}

void OsndNonBlocking_Shutdown() {
  {
    // No thread is made from here on (a callback's open is refused), so the
    // workers' handles are read without the lock below.
    std::lock_guard<std::mutex> guard(gQueue.lock);
    gQueue.accepting = false;
    gQueue.stopByte = 1;
  }
  for (Worker &worker : gQueue.workers) {
    if (worker.thread) {
      SystemThread_CloseThread(worker.thread);  // joins
      worker.thread = nullptr;
    }
  }
  // The callbacks of the opens that finished are made before it leaves.
  StopCallbackThread();
  gQueue.stopByte = 2;
  // What is left in either queue: workers[0] takes from the local one,
  // workers[1] from the network one.
  for (int i = 0; i < 2; ++i) {
    Worker &worker = gQueue.workers[i];
    OsndQueueNode taken{};
    while (TakeFirst(worker, &taken)) {
      if (taken.kind == 0 && taken.object) {
        auto *s = static_cast<OSND_STREAM *>(taken.object);
        OsndStream_MarkOpenFailed(s);
        OsndStream_Link(s);
      }
      if (taken.kind == 1 && taken.object) taken.fail(taken.object);
      FinishWork(worker, nullptr);
    }
  }
}

namespace {

// Appends the node at the tail of its lane. The mark is looked at under the
// queue's lock, which the close's (or free's) Unqueue takes after marking.
bool Append(OsndQueueNode *node, void *object, int kind, const OsndQueueWork &work) {
  const Lane lane = LaneFor(object, kind);
  OsndQueueNode &head = gQueue.heads[lane];
  std::lock_guard<std::mutex> guard(gQueue.lock);
  if (OsndLifetime_Closing(work.life)) return false;
  OSND_PAUSE_POINT("queue.append.checked");
  node->object = object;
  node->kind = kind;
  node->run = work.run;
  node->done = work.done;
  node->fail = work.fail;
  node->life = work.life;
  node->letGo = work.letGo;
  node->prev = head.prev;
  node->next = &head;
  head.prev->next = node;
  head.prev = node;
  if (lane == kNetwork && gQueue.accepting) GrowNetworkWorkers();
  return true;
}

}  // namespace

bool OsndNonBlocking_Queue(OSND_STREAM *stream) {
  // Its open-complete callback is made holding the stream.
  const OsndQueueWork open{nullptr, CallOpenCallback, nullptr, &stream->life, LetGoOfStream};
  return Append(&stream->queue, stream, 0, open);
}

bool OsndNonBlocking_QueueWork(OsndQueueNode *node, void *object, const OsndQueueWork &work) {
  return Append(node, object, 1, work);
}

bool OsndNonBlocking_Unqueue(OsndQueueNode *node) {
  std::lock_guard<std::mutex> guard(gQueue.lock);
  if (!node->next || node->next == node) return false;
  node->prev->next = node->next;
  node->next->prev = node->prev;
  node->next = node->prev = node;
  node->object = nullptr;
  return true;
}

namespace {

// Under the queue lock: whether an open thread works on the record.
const Worker *WorkerOn(const void *object) {
  for (const Worker &worker : gQueue.workers)
    if (worker.working == object) return &worker;
  return nullptr;
}

}  // namespace

void OsndNonBlocking_WaitUntilDone(void *object) {
  std::unique_lock<std::mutex> guard(gQueue.lock);
  for (bool found = false;;) {
    // A callback that has not begun is dropped. One running is not waited
    // for: it may be waiting for this thread.
    std::erase_if(gQueue.completions, [object](const Completion &c) { return c.object == object; });
    if (!WorkerOn(object)) return;
    if (!found) {
      // A worker found on the record: this close waits for it. Looked at
      // again under the lock before the wait, so no wake-up is missed.
      found = true;
      guard.unlock();
      OSND_PAUSE_POINT("queue.done.waiting");
      guard.lock();
      continue;
    }
    gQueue.workDone.wait(guard);
  }
}

bool OsndNonBlocking_TakeBackSelection(OSND_STREAM *stream) {
  std::lock_guard<std::mutex> guard(gQueue.lock);
  // Looked at again: the close's own look may be stale (a selection that
  // ended meanwhile, a close that took it back or marked the stream).
  if (OsndStream_IsReady(stream) || OsndStream_OpenFailed(stream) || OsndStream_Closing(stream)) return true;
  OsndQueueNode *node = &stream->queue;
  if (node->next && node->next != node) {
    // Queued: nothing of it has run, and only this lock's holders touch it.
    if (stream->requestFlags & OSND_REQUEST_OPEN) return false;
    OSND_PAUSE_POINT("queue.selection.found");
    node->prev->next = node->next;
    node->next->prev = node->prev;
    node->next = node->prev = node;
    node->object = nullptr;
    stream->requestFlags &= ~unsigned(OSND_REQUEST_SUBSTREAM);
    stream->pendingSubStream = -1;
    OsndStream_MarkReady(stream);  // on the entry it had, as before the selection
    return true;
  }
  // Taken: the close waits for it once marked. Neither queued nor taken: a
  // selection about to be queued, which the mark keeps out of the queue.
  const Worker *worker = WorkerOn(stream);
  return !worker || worker->selecting;
}

bool OsndNonBlocking_IsCallbackThread() { return tDelivering; }

bool OsndNonBlocking_CompletionWaits(const void *object) {
  std::lock_guard<std::mutex> guard(gQueue.lock);
  return std::any_of(gQueue.completions.begin(), gQueue.completions.end(),
                     [object](const Completion &c) { return c.object == object; });
}

