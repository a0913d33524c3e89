#include "sound/src/osnd_nonblocking.h"

#include "sound/src/osnd_pending.h"

#include <atomic>
#include <mutex>

namespace {

struct NonBlockingState {
  OsndQueueNode head{&head, &head, nullptr, 0};
  SystemThreadHandle thread = nullptr;
  std::atomic<int> stopByte{2};
  // The application appends while the thread takes nodes off.
  std::mutex lock;
};

NonBlockingState gQueue;

OsndQueueNode *TakeFirst() {
  std::lock_guard<std::mutex> guard(gQueue.lock);
  OsndQueueNode *node = gQueue.head.next;
  if (node == &gQueue.head) return nullptr;
  node->prev->next = node->next;
  node->next->prev = node->prev;
  node->next = node->prev = node;
  return node;
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
  if (failed)
    s->openFailed = 1;
  else
    s->ready = 1;
  if (s->openCallback) s->openCallback(s, nullptr, 0, nullptr);
}

unsigned ThreadProc(void *) {
  while (gQueue.stopByte == 0) {
    while (OsndQueueNode *node = TakeFirst()) {
      void *object = node->object;
      node->object = nullptr;
      if (!object) {
        SystemTime_Sleep(25);
        continue;
      }
      // Songs are queued by the music player once it is part of the build.
      if (node->kind == 0) OpenStream(static_cast<OSND_STREAM *>(object));
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
  while (OsndQueueNode *node = TakeFirst()) {
    if (node->kind == 0 && node->object) static_cast<OSND_STREAM *>(node->object)->openFailed = 1;
    node->object = nullptr;
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
