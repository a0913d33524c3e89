#include "sound/src/core/osnd_records.h"
#include "sound/src/system/system_memory.h"
#include "sound/src/system/system_time.h"

#include <gtest/gtest.h>

#include <cstring>

namespace system_memory_test {

TEST(SystemMemory, ZeroByteAllocationsAreDistinctAndCounted) {
  const int64_t before = SystemMemory_BytesInUse();
  void *a = OSND_ALLOC(0);
  void *b = OSND_ALLOC(0);
  ASSERT_NE(a, nullptr);
  ASSERT_NE(b, nullptr);
  EXPECT_NE(a, b);
  EXPECT_EQ(SystemMemory_BytesInUse(), before);
  OSND_FREE_MEM(a);
  OSND_FREE_MEM(b);
}

TEST(SystemMemory, AllocClearsAndStatisticsFollowEveryCall) {
  const int64_t before = SystemMemory_BytesInUse();
  auto *p = static_cast<uint8_t *>(SystemMemory_PoolAlloc(nullptr, 64));
  ASSERT_NE(p, nullptr);
  std::memset(p, 0xAB, 64);
  OSND_FREE_MEM(p);
  auto *q = static_cast<uint8_t *>(OSND_ALLOC(64));
  ASSERT_NE(q, nullptr);
  for (int i = 0; i < 64; ++i) ASSERT_EQ(q[i], 0) << i;
  EXPECT_EQ(SystemMemory_BytesInUse(), before + 64);
  EXPECT_GE(gOsndMemory.peakBytes, before + 64);

  q[0] = 7;
  q = static_cast<uint8_t *>(SystemMemory_Realloc(nullptr, q, 1000, __FILE__, __LINE__));
  ASSERT_NE(q, nullptr);
  EXPECT_EQ(q[0], 7);  // content kept
  EXPECT_EQ(SystemMemory_BytesInUse(), before + 1000);
  OSND_FREE_MEM(q);
  EXPECT_EQ(SystemMemory_BytesInUse(), before);
}

TEST(SystemMemory, ReallocOfNullAllocates) {
  const int64_t before = SystemMemory_BytesInUse();
  void *p = SystemMemory_Realloc(nullptr, nullptr, 32, __FILE__, __LINE__);
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(SystemMemory_BytesInUse(), before + 32);
  OSND_FREE_MEM(p);
  EXPECT_EQ(SystemMemory_BytesInUse(), before);
}

TEST(SystemTime, BusyMeterSettlesAtTheBusyShare) {
  OsndCpuMeter meter{};
  uint32_t now = 1000000;
  float usage = 0;
  for (int i = 0; i < 400; ++i) {
    meter.start = now;  // the task takes 2 ms of every 10 ms
    usage = SystemTime_EndMeasureAt(&meter, 80, now + 2000);
    now += 10000;
  }
  EXPECT_NEAR(usage, 20.0f, 0.05f);
}

TEST(SystemTime, MillisecondsFollowMicroseconds) {
  const uint32_t us = SystemTime_GetMicroseconds();
  const uint32_t ms = SystemTime_GetMilliseconds();
  EXPECT_LE(uint32_t(ms - us / 1000), 5u);
}

}  // namespace system_memory_test
