#include "sound/src/system/system_file.h"

#include "sound/include/osnd.h"
#include "sound/src/system/system_error.h"
#include "sound/src/system/system_memory.h"
#include "sound/src/system/system_pause.h"

#include "sound/src/system/system_thread.h"
#include "sound/src/system/system_time.h"

#include <algorithm>
#include <atomic>
#include <cstring>

namespace {

struct UserCallbacks {
  SystemFileOpenCallback open = nullptr;
  SystemFileCloseCallback close = nullptr;
  SystemFileReadCallback read = nullptr;
  SystemFileSeekCallback seek = nullptr;
  SystemFileTellCallback tell = nullptr;
} gUser;

// The request ring the file thread serves: one producer, one consumer.
constexpr unsigned kRingSlots = 64;

struct FileRequest {
  int type;  // 0 read, 1 seek
  SystemFileHandle *handle;
  uint8_t *destination;
  int elementSize;
  int64_t countOrTarget;
  uint8_t done;
};

struct FileRing {
  FileRequest slots[kRingSlots];
  std::atomic<unsigned> written{0};
  std::atomic<unsigned> served{0};
  SystemEventHandle requestEvent = nullptr;
  SystemEventHandle stopEvent = nullptr;
  std::atomic<bool> running{false};
  SystemThreadHandle thread = nullptr;
} gRing;

int Kind(const SystemFileHandle *h) { return int(h->kind & SYSTEMFILE_KIND_MASK); }

int64_t Clamp(int64_t v, int64_t lo, int64_t hi) { return v < lo ? lo : (v > hi ? hi : v); }

void FillBuffer(SystemFileHandle *h) {
  const size_t got = std::fread(h->data, 1, SYSTEMFILE_BUFFER_SIZE, h->stream);
  if (got < size_t(SYSTEMFILE_BUFFER_SIZE))
    std::memset(h->data + got, 0, SYSTEMFILE_BUFFER_SIZE - got);
  h->refill = 0;
}

int64_t ReadBuffered(uint8_t *dest, int64_t n, SystemFileHandle *h) {
  n = std::min(n, h->length - h->position);
  int64_t total = 0;
  while (total < n) {
    const int64_t remaining = n - total;
    int64_t moved = 0;
    if (remaining >= SYSTEMFILE_BUFFER_SIZE && h->bufferOffset == 0 && h->refill) {
      // Whole 2048-byte units go straight into the destination.
      const int64_t want = remaining / SYSTEMFILE_BUFFER_SIZE * SYSTEMFILE_BUFFER_SIZE;
      moved = int64_t(std::fread(dest + total, 1, size_t(want), h->stream));
      if (std::ferror(h->stream)) return -1;
    } else {
      if (h->refill) FillBuffer(h);
      moved = std::min<int64_t>(remaining, SYSTEMFILE_BUFFER_SIZE - h->bufferOffset);
      std::memcpy(dest + total, h->data + h->bufferOffset, size_t(moved));
      h->bufferOffset += int(moved);
      if (h->bufferOffset >= SYSTEMFILE_BUFFER_SIZE) {
        h->bufferOffset = 0;
        h->refill = 1;
      }
    }
    if (moved <= 0) break;
    total += moved;
  }
  h->position += total;
  return total;
}

int64_t LowLevelRead(uint8_t *dest, int64_t n, SystemFileHandle *h) {
  switch (Kind(h)) {
    case SYSTEMFILE_DISK: {
      const size_t got = std::fread(dest, 1, size_t(n), h->stream);
      h->position += int64_t(got);
      return int64_t(got);
    }
    case SYSTEMFILE_MEMORY:
      n = std::max<int64_t>(0, std::min(n, h->length - h->position));
      std::memcpy(dest, h->data + h->position, size_t(n));
      h->position += n;
      return n;
    case SYSTEMFILE_USER: {
      if (!gUser.read) return -1;
      const int got = gUser.read(dest, int(n), h->userHandle);
      h->position += n;
      return got;
    }
    default:
      return ReadBuffered(dest, n, h);
  }
}

// Seeks to an absolute position of the underlying file.
int64_t LowLevelSeek(SystemFileHandle *h, int64_t target) {
  target = Clamp(target, 0, h->length);
  switch (Kind(h)) {
    case SYSTEMFILE_DISK:
      if (std::fseek(h->stream, long(target), SEEK_SET) != 0) return -1;
      h->position = target;
      return target;
    case SYSTEMFILE_MEMORY:
      h->position = target;
      return target;
    case SYSTEMFILE_USER:
      if (!gUser.seek) return 0;
      gUser.seek(h->userHandle, int(target), SEEK_SET);
      h->position = target;
      return target;
    default: {
      const int64_t moved = target - h->position + h->bufferOffset;
      if (moved >= 0 && moved < SYSTEMFILE_BUFFER_SIZE) {
        h->bufferOffset = int(moved);  // inside the buffered window: no file access
      } else {
        h->refill = 1;
        h->bufferOffset = int(target % SYSTEMFILE_BUFFER_SIZE);
        std::fseek(h->stream, long(target - h->bufferOffset), SEEK_SET);
      }
      h->position = target;
      return target;
    }
  }
}

void SwapElements(uint8_t *p, int64_t bytes, int size) {
  if (size == 2) {
    for (int64_t i = 0; i + 1 < bytes; i += 2) std::swap(p[i], p[i + 1]);
  } else if (size == 4) {
    for (int64_t i = 0; i + 3 < bytes; i += 4) {
      std::swap(p[i], p[i + 3]);
      std::swap(p[i + 1], p[i + 2]);
    }
  }
}

void FinishRead(SystemFileHandle *h, uint8_t *destination, int elementSize, int64_t got) {
  h->error = got < 0;
  if (got > 0 && (h->kind & SYSTEMFILE_BYTESWAP)) SwapElements(destination, got, elementSize);
}

unsigned FileThreadProc(void *) {
  while (gRing.running) {
    while (gRing.served != gRing.written) {
      FileRequest &r = gRing.slots[gRing.served % kRingSlots];
      OSND_PAUSE_POINT("file.request.taken");
      if (r.type == 0)
        FinishRead(r.handle, r.destination, r.elementSize, LowLevelRead(r.destination, r.countOrTarget, r.handle));
      else
        LowLevelSeek(r.handle, r.countOrTarget);
      r.done = 1;
      __atomic_fetch_sub(&r.handle->pending, 1, __ATOMIC_ACQ_REL);
      ++gRing.served;
    }
    SystemThread_WaitEvent(gRing.requestEvent);
  }
  SystemThread_SetEvent(gRing.stopEvent);
  return 0;
}

bool StartFileThread() {
  if (gRing.thread) return true;
  gRing.requestEvent = SystemThread_CreateEvent();
  if (!gRing.requestEvent) return false;
  gRing.running = true;
  gRing.thread = SystemThread_Create("ZIVE file thread", FileThreadProc, nullptr, 2, 0);
  if (!gRing.thread) {
    gRing.running = false;
    SystemThread_CloseEvent(gRing.requestEvent);
    gRing.requestEvent = nullptr;
    return false;
  }
  return true;
}

void Queue(int type, SystemFileHandle *h, uint8_t *destination, int elementSize, int64_t countOrTarget) {
  while (gRing.written - gRing.served >= kRingSlots) SystemTime_Sleep(1);  // the ring is full
  FileRequest &r = gRing.slots[gRing.written % kRingSlots];
  r = FileRequest{type, h, destination, elementSize, countOrTarget, 0};
  __atomic_fetch_add(&h->pending, 1, __ATOMIC_ACQ_REL);
  ++gRing.written;
  OSND_PAUSE_POINT("file.request.written");
  SystemThread_SetEvent(gRing.requestEvent);
}

}  // namespace

bool SystemFile_SetSynchronous(SystemFileHandle *h, bool synchronous) {
  if (!h) return false;
  if (synchronous) {
    SystemFile_WaitPending(h);
    h->synchronous = 1;
    return true;
  }
  if (SystemThread_NonRealtime() || !StartFileThread()) return false;
  h->logicalPosition = h->position;
  h->synchronous = 0;
  return true;
}

void SystemFile_WaitPending(SystemFileHandle *h) {
  if (!h) return;
  if (__atomic_load_n(&h->pending, __ATOMIC_ACQUIRE) > 0) OSND_PAUSE_POINT("file.close.waiting");
  while (__atomic_load_n(&h->pending, __ATOMIC_ACQUIRE) > 0) SystemTime_Sleep(10);
}

void SystemFile_SetUserCallbacks(SystemFileOpenCallback open, SystemFileCloseCallback close,
                                 SystemFileReadCallback read, SystemFileSeekCallback seek,
                                 SystemFileTellCallback tell) {
  gUser = UserCallbacks{open, close, read, seek, tell};
}

bool SystemFile_HasUserCallbacks() {
  return gUser.open && gUser.close && gUser.read && gUser.seek && gUser.tell;
}

int SystemFile_KindForMode(unsigned mode) {
  if (mode & OSND_MODE_MEMORY) return SYSTEMFILE_MEMORY;
  if (SystemFile_HasUserCallbacks()) return SYSTEMFILE_USER;
  return SYSTEMFILE_BUFFERED;
}

SystemFileHandle *SystemFile_Open(const void *nameOrData, int kind, int length) {
  if (!nameOrData) return nullptr;
  auto *h = static_cast<SystemFileHandle *>(OSND_ALLOC(int(sizeof(SystemFileHandle))));
  if (!h) {
    Osnd_SetError(OSND_ERR_MEMORY);
    return nullptr;
  }
  h->kind = unsigned(kind);
  h->synchronous = 1;
  h->endOffset = -1;
  bool ok = false;
  switch (kind) {
    case SYSTEMFILE_DISK:
    case SYSTEMFILE_BUFFERED:
      h->stream = std::fopen(static_cast<const char *>(nameOrData), "rb");
      if (!h->stream) break;
      std::fseek(h->stream, 0, SEEK_END);
      h->length = std::max<long>(0, std::ftell(h->stream));
      std::fseek(h->stream, 0, SEEK_SET);
      if (kind == SYSTEMFILE_BUFFERED) {
        h->data = static_cast<uint8_t *>(OSND_ALLOC(SYSTEMFILE_BUFFER_SIZE));
        if (!h->data) {
          std::fclose(h->stream);
          break;
        }
        h->bufferOffset = 0;
        h->refill = 1;
      }
      ok = true;
      break;
    case SYSTEMFILE_MEMORY:
      if (length <= 0) break;
      h->data = static_cast<uint8_t *>(const_cast<void *>(nameOrData));
      h->length = length;
      ok = true;
      break;
    case SYSTEMFILE_USER:
      if (!SystemFile_HasUserCallbacks()) break;
      h->userHandle = gUser.open(static_cast<const char *>(nameOrData));
      if (!h->userHandle) break;
      gUser.seek(h->userHandle, 0, SEEK_END);
      h->length = std::max(0, gUser.tell(h->userHandle));
      gUser.seek(h->userHandle, 0, SEEK_SET);
      ok = true;
      break;
    default:
      break;
  }
  if (!ok) {
    OSND_FREE_MEM(h);
    return nullptr;
  }
  return h;
}

void SystemFile_Close(SystemFileHandle *h) {
  if (!h) return;
  SystemFile_WaitPending(h);
  switch (Kind(h)) {
    case SYSTEMFILE_DISK:
      std::fclose(h->stream);
      break;
    case SYSTEMFILE_BUFFERED:
      std::fclose(h->stream);
      OSND_FREE_MEM(h->data);
      break;
    case SYSTEMFILE_USER:
      if (gUser.close) gUser.close(h->userHandle);
      break;
    default:
      break;
  }
  OSND_FREE_MEM(h);
}

int SystemFile_Read(void *destination, int elementSize, int count, SystemFileHandle *h) {
  if (!h || !destination) return -1;
  if (elementSize == 0) elementSize = 1;
  if (elementSize < 0 || count < 0) return 0;
  int64_t n = int64_t(elementSize) * count;
  const int64_t p = h->synchronous ? h->position : h->logicalPosition;
  if (h->endOffset >= 0) {
    // Only whole elements up to and including the window's last byte.
    const int64_t available = std::max<int64_t>(0, h->endOffset - p + 1);
    if (n > available) n = available / elementSize * elementSize;
  }
  if (!h->synchronous) {
    // Reported at once; the file thread performs it in order.
    Queue(0, h, static_cast<uint8_t *>(destination), elementSize, n);
    h->logicalPosition += n;
    return int(n);
  }
  SystemFile_WaitPending(h);
  const int64_t got = LowLevelRead(static_cast<uint8_t *>(destination), n, h);
  FinishRead(h, static_cast<uint8_t *>(destination), elementSize, got);
  if (got < 0) return -1;
  h->logicalPosition += got;
  return int(got);
}

int SystemFile_ReadByte(SystemFileHandle *h) {
  uint8_t b = 0;
  SystemFile_Read(&b, 1, 1, h);
  return b;
}

int SystemFile_ReadWord(SystemFileHandle *h) {
  uint8_t b[2] = {0, 0};
  SystemFile_Read(b, 2, 1, h);
  return b[0] | (b[1] << 8);
}

// Every whence resolves to an absolute position inside the window
// [start offset, end offset + 1] before the handle moves.
int64_t SystemFile_Seek(SystemFileHandle *h, int64_t offset, int whence) {
  if (!h) return -1;
  int64_t target;
  const int64_t current = h->synchronous ? h->position : h->logicalPosition;
  switch (whence) {
    case SEEK_SET: target = h->startOffset + offset; break;
    case SEEK_CUR: target = current + offset; break;
    case SEEK_END: target = (h->endOffset >= 0 ? h->endOffset + 1 : h->length) + offset; break;
    default: h->logicalPosition = -1; return -1;
  }
  const int64_t windowEnd = h->endOffset >= 0 ? std::min(h->endOffset + 1, h->length) : h->length;
  target = Clamp(target, std::min(h->startOffset, windowEnd), windowEnd);
  if (!h->synchronous) {
    Queue(1, h, nullptr, 0, target);
    h->logicalPosition = target;
    return target;
  }
  SystemFile_WaitPending(h);
  const int64_t result = LowLevelSeek(h, target);
  h->logicalPosition = result;
  return result;
}

int64_t SystemFile_Tell(SystemFileHandle *h) {
  if (!h) return -1;
  if (!h->synchronous) return h->logicalPosition - h->startOffset;
  int64_t p = h->position;
  if (Kind(h) == SYSTEMFILE_USER) p = gUser.tell ? gUser.tell(h->userHandle) : 0;
  return p - h->startOffset;
}

void SystemFile_SetStartOffset(SystemFileHandle *h, int64_t offset) {
  if (h) h->startOffset = offset;
}

void SystemFile_SetEndOffset(SystemFileHandle *h, int64_t lastByte) {
  if (h) h->endOffset = lastByte;
}

void SystemFile_StopThread() {
  if (!gRing.thread) return;
  gRing.running = false;
  gRing.stopEvent = SystemThread_CreateEvent();
  SystemThread_SetEvent(gRing.requestEvent);
  SystemThread_WaitEvent(gRing.stopEvent);
  SystemThread_CloseThread(gRing.thread);  // joined: it is gone before the events
  SystemThread_CloseEvent(gRing.stopEvent);
  SystemThread_CloseEvent(gRing.requestEvent);
  gRing.thread = nullptr;
  gRing.stopEvent = gRing.requestEvent = nullptr;
}
