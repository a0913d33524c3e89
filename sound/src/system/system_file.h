// One file handle over disk files (direct or through a 2048-byte buffer), memory
// blocks and user callbacks, narrowed by a start offset and an end offset.
#pragma once

#include <cstdint>
#include <cstdio>

enum {
  SYSTEMFILE_DISK = 0,
  SYSTEMFILE_MEMORY = 1,
  SYSTEMFILE_USER = 2,
  SYSTEMFILE_BUFFERED = 3,
  SYSTEMFILE_KIND_MASK = 0x0F,
  SYSTEMFILE_BYTESWAP = 0x10
};

constexpr int SYSTEMFILE_BUFFER_SIZE = 2048;

struct SystemFileHandle {
  unsigned kind;
  FILE *stream;
  uint8_t *data;
  int64_t position;  // from the beginning of the underlying file
  void *userHandle;
  int64_t length;
  int bufferOffset;
  int refill;
  int synchronous;
  int64_t logicalPosition;
  int pending;
  int error;
  int64_t startOffset;
  int64_t endOffset;  // last readable byte, -1 none
};

typedef void *(*SystemFileOpenCallback)(const char *name);
typedef void (*SystemFileCloseCallback)(void *handle);
typedef int (*SystemFileReadCallback)(void *buffer, int bytes, void *handle);
typedef int (*SystemFileSeekCallback)(void *handle, int offset, int whence);
typedef int (*SystemFileTellCallback)(void *handle);

void SystemFile_SetUserCallbacks(SystemFileOpenCallback open, SystemFileCloseCallback close,
                                 SystemFileReadCallback read, SystemFileSeekCallback seek,
                                 SystemFileTellCallback tell);
bool SystemFile_HasUserCallbacks();
// The kind sample, stream and song loading use for a mode.
int SystemFile_KindForMode(unsigned mode);

SystemFileHandle *SystemFile_Open(const void *nameOrData, int kind, int length);
void SystemFile_Close(SystemFileHandle *handle);
int SystemFile_Read(void *destination, int elementSize, int count, SystemFileHandle *handle);
int SystemFile_ReadByte(SystemFileHandle *handle);
int SystemFile_ReadWord(SystemFileHandle *handle);
int64_t SystemFile_Seek(SystemFileHandle *handle, int64_t offset, int whence);
int64_t SystemFile_Tell(SystemFileHandle *handle);
void SystemFile_SetStartOffset(SystemFileHandle *handle, int64_t offset);
void SystemFile_SetEndOffset(SystemFileHandle *handle, int64_t lastByte);
// Switches a handle between synchronous use and requests served in order by
// the file thread (started on first use). Refused with the non-realtime
// output, which runs without threads.
bool SystemFile_SetSynchronous(SystemFileHandle *handle, bool synchronous);
// Waits until the file thread has performed every request of the handle.
void SystemFile_WaitPending(SystemFileHandle *handle);
void SystemFile_StopThread();
