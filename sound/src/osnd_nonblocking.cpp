#include "sound/src/osnd_nonblocking.h"

#include "sound/src/music_core.h"
#include "sound/src/osnd_pending.h"

#include <atomic>
#include <condition_variable>
#include <mutex>

namespace {

struct NonBlockingState {
  OsndQueueNode head{&head, &head, nullptr, 0};
  SystemThreadHandle thread = nullptr;
  std::atomic<int> stopByte{2};
  // The application appends while the thread takes nodes off.
  std::mutex lock;
  // The record the thread works on; a close of it waits until it is done.
  void *working = nullptr;
  std::condition_variable workDone;
};

NonBlockingState gQueue;
thread_local bool tOnOpenThread = false;

// Takes the first node off the queue; its object becomes the one being worked on.
bool TakeFirst(void **object, int *kind) {
  std::lock_guard<std::mutex> guard(gQueue.lock);
  OsndQueueNode *node = gQueue.head.next;
  if (node == &gQueue.head) return false;
  node->prev->next = node->next;
  node->next->prev = node->prev;
  node->next = node->prev = node;
  *object = node->object;
  *kind = node->kind;
  node->object = nullptr;
  gQueue.working = *object;
  return true;
}

void FinishWork() {
  {
    std::lock_guard<std::mutex> guard(gQueue.lock);
    gQueue.working = nullptr;
  }
  gQueue.workDone.notify_all();
}

void OpenStream(OSND_STREAM *s) {
  bool failed = false;
  if (s->requestFlags & OSND_REQUEST_OPEN) {
    const char *source = (s->mode & OSND_MODE_MEMORY) ? static_cast<const char *>(s->memory) : s->name;
    failed = OsndStream_Open(s, source, s->mode & ~OSND_MODE_NONBLOCKING, s->offset, s->length) == nullptr;
    s->requestFlags &= ~unsigned(OSND_REQUEST_OPEN);
  }
  if ((s->requestFlags & OSND_REQUEST_SUBSTREAM) && s->sample) {
    if (s->pendingSubStream >= 0) OsndStream_SetSubStreamEx(s, s->pendingSubStream, true, false);
    s->pendingSubStream = -1;
    s->requestFlags &= ~unsigned(OSND_REQUEST_SUBSTREAM);
  }
  const OSND_STREAMCALLBACK opened = OsndStream_GetOpenCallback(s);
  OsndStream_SetOpenState(s, !failed, failed);
  if (opened) opened(s, nullptr, 0, nullptr);
}

unsigned ThreadProc(void *) {
  tOnOpenThread = true;
  while (gQueue.stopByte == 0) {
    void *object = nullptr;
    int kind = 0;
    while (TakeFirst(&object, &kind)) {
      if (!object) {
        FinishWork();
        SystemTime_Sleep(25);
        continue;
      }
      if (kind == 0)
        OpenStream(static_cast<OSND_STREAM *>(object));
      else
        Music_LoadQueued(static_cast<MusicSong *>(object));
      FinishWork();
      if (gQueue.stopByte != 0) break;
    }
    if (gQueue.stopByte != 0) break;
    SystemTime_Sleep(50);
  }
  gQueue.stopByte = 2;
  return 0;
}

}  // namespace

void OsndNonBlocking_Init() {
  std::lock_guard<std::mutex> guard(gQueue.lock);
  gQueue.stopByte = 0;
  gQueue.head.next = gQueue.head.prev = &gQueue.head;
}

bool OsndNonBlocking_StartThread() {
  if (!gQueue.thread) {
    // The open thread links the records it opened into the stream list, which
    // the application walks too: the list needs its locks even when the output
    // makes none of its own.
    OsndStream_CreateLocks(true);
    gQueue.stopByte = 0;
    gQueue.thread = SystemThread_Create("ZIVE OSND_NONBLOCKING thread", ThreadProc, nullptr, 1, 16384);
  }
  if (!gQueue.thread) Osnd_SetError(OSND_ERR_MEMORY);
  return gQueue.thread != nullptr;
}

void OsndNonBlocking_Shutdown() {
  gQueue.stopByte = 1;
  if (gQueue.thread) {
    SystemThread_CloseThread(gQueue.thread);  // joins
    gQueue.thread = nullptr;
  }
  gQueue.stopByte = 2;
  void *object = nullptr;
  int kind = 0;
  while (TakeFirst(&object, &kind)) {
    if (kind == 0 && object) OsndStream_MarkOpenFailed(static_cast<OSND_STREAM *>(object));
    if (kind == 1 && object) Music_MarkLoadFailed(static_cast<MusicSong *>(object));
    FinishWork();
  }
}

void OsndNonBlocking_Queue(OsndQueueNode *node, void *object, int kind) {
  std::lock_guard<std::mutex> guard(gQueue.lock);
  node->object = object;
  node->kind = kind;
  node->prev = gQueue.head.prev;
  node->next = &gQueue.head;
  gQueue.head.prev->next = node;
  gQueue.head.prev = node;
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
  if (tOnOpenThread) return;  // a callback of the open itself
  std::unique_lock<std::mutex> guard(gQueue.lock);
  gQueue.workDone.wait(guard, [object] { return gQueue.working != object; });
}
