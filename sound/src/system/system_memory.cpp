#include "sound/src/system/system_memory.h"

#include <cstdlib>
#include <cstring>
#include <mutex>

OsndMemoryPool gOsndMemory;

namespace {

constexpr size_t kHeader = 16;

// The header in front of every allocation: requested size, pool blocks taken,
// first pool block. Sizes are stored as 64-bit so large requests stay exact.
struct AllocHeader {
  int64_t size;
  int32_t blocks;
  int32_t firstBlock;
};
static_assert(sizeof(AllocHeader) == kHeader);

void *CrtAlloc(size_t n) { return std::malloc(n); }
void *CrtRealloc(void *p, size_t n) { return std::realloc(p, n); }
void CrtFree(void *p) { std::free(p); }

// The statistics are updated from several engine threads; a lock keeps them exact.
std::mutex &StatsLock() {
  static std::mutex lock;
  return lock;
}

OsndMemoryPool *Resolve(OsndMemoryPool *pool) {
  if (pool) return pool;
  OsndMemoryPool *own = &gOsndMemory;
  if (!own->alloc) SystemMemory_ResetPool(own);
  return own;
}

void AddStats(OsndMemoryPool *pool, int64_t size, int blocks) {
  pool->bytesInUse += size;
  if (pool->bytesInUse > pool->peakBytes) pool->peakBytes = pool->bytesInUse;
  pool->blocksInUse += blocks;
  if (pool->blocksInUse > pool->peakBlocks) {
    pool->peakBlocks = pool->blocksInUse;
    pool->poolBytesAtPeak = int64_t(pool->blockSize) * pool->peakBlocks;
    pool->slackAtPeak = pool->poolBytesAtPeak - pool->peakBytes;
  }
}

}  // namespace

void SystemMemory_ResetPool(OsndMemoryPool *pool) {
  *pool = OsndMemoryPool{};
  pool->alloc = CrtAlloc;
  pool->realloc = CrtRealloc;
  pool->free = CrtFree;
}

int64_t SystemMemory_BytesInUse() {
  std::lock_guard<std::mutex> guard(StatsLock());
  return Resolve(nullptr)->bytesInUse;
}

// Only the callback strategy is built: nothing in the engine configures a pool,
// so a pool without an allocation callback cannot hand out memory.
void *SystemMemory_PoolAlloc(OsndMemoryPool *pool, int size) {
  pool = Resolve(pool);
  if (size < 0 || !pool->alloc) return nullptr;
  auto *header = static_cast<AllocHeader *>(pool->alloc(size_t(size) + kHeader));
  if (!header) return nullptr;
  header->size = size;
  header->blocks = 0;
  header->firstBlock = 0;
  {
    std::lock_guard<std::mutex> guard(StatsLock());
    AddStats(pool, size, 0);
  }
  return reinterpret_cast<uint8_t *>(header) + kHeader;
}

void *SystemMemory_Alloc(OsndMemoryPool *pool, int size, const char *, int) {
  void *p = SystemMemory_PoolAlloc(pool, size);
  if (p) std::memset(p, 0, size_t(size));
  return p;
}

void SystemMemory_Free(OsndMemoryPool *pool, void *pointer, const char *, int) {
  if (!pointer) return;
  pool = Resolve(pool);
  auto *header = reinterpret_cast<AllocHeader *>(static_cast<uint8_t *>(pointer) - kHeader);
  {
    std::lock_guard<std::mutex> guard(StatsLock());
    pool->bytesInUse -= header->size;
    pool->blocksInUse -= header->blocks;
  }
  if (pool->free) pool->free(header);
}

void *SystemMemory_Realloc(OsndMemoryPool *pool, void *pointer, int size, const char *, int) {
  if (!pointer) return SystemMemory_PoolAlloc(pool, size);
  pool = Resolve(pool);
  if (size < 0 || !pool->realloc) return nullptr;
  auto *header = reinterpret_cast<AllocHeader *>(static_cast<uint8_t *>(pointer) - kHeader);
  const int64_t oldSize = header->size;
  auto *grown = static_cast<AllocHeader *>(pool->realloc(header, size_t(size) + kHeader));
  std::lock_guard<std::mutex> guard(StatsLock());
  if (!grown) return nullptr;  // the old block stays valid and counted
  pool->bytesInUse -= oldSize;
  grown->size = size;
  grown->blocks = 0;
  AddStats(pool, size, 0);
  return reinterpret_cast<uint8_t *>(grown) + kHeader;
}
