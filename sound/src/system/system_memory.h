// The engine allocator (16-byte header, usage statistics, source tags).
#pragma once

#include <cstddef>
#include <cstdint>

struct OsndMemoryPool {
  uint8_t *blockMap = nullptr;
  uint8_t *poolBase = nullptr;
  int unused = 0;
  int blockCount = 0;
  int blocksInUse = 0;
  int peakBlocks = 0;
  int64_t bytesInUse = 0;
  int64_t peakBytes = 0;
  int64_t poolBytesAtPeak = 0;
  int64_t slackAtPeak = 0;
  int separateHeaders = 0;
  int blockSize = 0;
  void *(*alloc)(size_t) = nullptr;
  void *(*realloc)(void *, size_t) = nullptr;
  void (*free)(void *) = nullptr;
};

// The engine's own pool; a null pool below means this one.
extern OsndMemoryPool gOsndMemory;

void *SystemMemory_Alloc(OsndMemoryPool *pool, int size, const char *file, int line);
void *SystemMemory_PoolAlloc(OsndMemoryPool *pool, int size);
void SystemMemory_Free(OsndMemoryPool *pool, void *pointer, const char *file, int line);
void *SystemMemory_Realloc(OsndMemoryPool *pool, void *pointer, int size, const char *file, int line);
void SystemMemory_ResetPool(OsndMemoryPool *pool);  // statistics 0, C-runtime callbacks
int64_t SystemMemory_BytesInUse();

#define OSND_ALLOC(size) SystemMemory_Alloc(nullptr, (size), __FILE__, __LINE__)
#define OSND_FREE_MEM(ptr) SystemMemory_Free(nullptr, (ptr), __FILE__, __LINE__)
