#include "sound/include/osnd.h"
#include "sound/src/system/system_memory.h"
#include "sound/src/system/system_thread.h"

#include <gtest/gtest.h>

#include <atomic>

namespace system_thread_test {

namespace {

// The thread layer as the engine sets it for a chosen output.
struct OutputTypeScope {
  explicit OutputTypeScope(int type) : saved(SystemThread_NonRealtime()) {
    SystemThread_SetNonRealtime(type == OSND_OUTPUT_NOSOUND_NONREALTIME);
  }
  ~OutputTypeScope() { SystemThread_SetNonRealtime(saved); }
  bool saved;
};

unsigned CountTo(void *parameter) {
  auto *counter = static_cast<std::atomic<int> *>(parameter);
  for (int i = 0; i < 1000; ++i) ++*counter;
  return 0;
}

struct Handshake {
  SystemEventHandle ready;
  std::atomic<bool> woke{false};
};

unsigned WaitThenMark(void *parameter) {
  auto *h = static_cast<Handshake *>(parameter);
  SystemThread_WaitEvent(h->ready);
  h->woke = true;
  return 0;
}

}  // namespace

TEST(SystemThread, PriorityCodesMapToSystemPriorities) {
  int p = 99;
  EXPECT_TRUE(SystemThread_MapPriority(-1, &p));
  EXPECT_EQ(p, -1);
  EXPECT_TRUE(SystemThread_MapPriority(0, &p));
  EXPECT_EQ(p, 1);
  EXPECT_FALSE(SystemThread_MapPriority(1, &p));  // normal: no call
  EXPECT_TRUE(SystemThread_MapPriority(2, &p));
  EXPECT_EQ(p, 2);
  EXPECT_TRUE(SystemThread_MapPriority(3, &p));
  EXPECT_EQ(p, 15);
  EXPECT_FALSE(SystemThread_MapPriority(-2, &p));
  EXPECT_FALSE(SystemThread_MapPriority(4, &p));
}

TEST(SystemThread, ThreadRunsAndCloseWaitsForIt) {
  OutputTypeScope scope(OSND_OUTPUT_NOSOUND);
  std::atomic<int> counter{0};
  SystemThreadHandle t = SystemThread_Create("test thread", CountTo, &counter, 2, 8192);
  ASSERT_NE(t, nullptr);
  EXPECT_EQ(SystemThread_GetPriority(t), 2);
  SystemThread_CloseThread(t);
  EXPECT_EQ(counter.load(), 1000);
}

TEST(SystemThread, AutoResetEventWakesAWaiter) {
  OutputTypeScope scope(OSND_OUTPUT_NOSOUND);
  Handshake h;
  h.ready = SystemThread_CreateEvent();
  ASSERT_NE(h.ready, nullptr);
  SystemThreadHandle t = SystemThread_Create("waiter", WaitThenMark, &h, 1, 0);
  ASSERT_NE(t, nullptr);
  EXPECT_EQ(SystemThread_GetPriority(t), 0);
  SystemThread_SetEvent(h.ready);
  SystemThread_CloseThread(t);
  EXPECT_TRUE(h.woke.load());
  SystemThread_CloseEvent(h.ready);
}

TEST(SystemThread, CriticalSectionsAreRecursive) {
  OutputTypeScope scope(OSND_OUTPUT_NOSOUND);
  SystemCriticalSection cs = SystemThread_CreateCriticalSection();
  ASSERT_NE(cs, nullptr);
  SystemThread_EnterCriticalSection(cs);
  SystemThread_EnterCriticalSection(cs);
  SystemThread_LeaveCriticalSection(cs);
  SystemThread_LeaveCriticalSection(cs);
  SystemThread_DeleteCriticalSection(cs);
}

TEST(SystemThread, NonRealtimeOutputMakesNoLocksOrEvents) {
  OutputTypeScope scope(OSND_OUTPUT_NOSOUND_NONREALTIME);
  const int64_t before = SystemMemory_BytesInUse();
  EXPECT_EQ(SystemThread_CreateCriticalSection(), nullptr);
  EXPECT_EQ(SystemThread_CreateEvent(), nullptr);
  EXPECT_EQ(SystemMemory_BytesInUse(), before);
  // Null objects are accepted everywhere and nothing blocks.
  SystemThread_EnterCriticalSection(nullptr);
  SystemThread_LeaveCriticalSection(nullptr);
  SystemThread_WaitEvent(nullptr);
  SystemThread_SetEvent(nullptr);
  SystemThread_CloseEvent(nullptr);
  SystemThread_CloseThread(nullptr);
  SystemThread_DeleteCriticalSection(nullptr);
}

}  // namespace system_thread_test
