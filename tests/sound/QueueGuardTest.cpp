// The background queue's lock around a check of a record and the act it
// allows: each test makes the record's state change while one party waits for
// that lock, so that a check read before the lock (or without it) is seen to
// be stale, and stops a party between its check and its act to see the lock
// still held there.
#include "OsbWriterSupport.h"
#include "SoundTestSupport.h"
#include "WaitSupport.h"

#include "sound/src/stream/osnd_nonblocking.h"
#include "sound/src/stream/osnd_stream.h"
#include "sound/src/system/system_memory.h"
#include "sound/src/system/system_pause.h"

#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include <pthread.h>
#include <sys/syscall.h>

namespace queue_guard_test {

namespace {

using QmvTest::ThisThreadId;
using QmvTest::WaitUntilBlockedOrFinished;

thread_local bool tThirdParty = false;
bool OnThirdParty() { return tThirdParty; }

// The lock word of the futex the thread `id` sleeps on; null while it sleeps
// on none.
const pthread_mutex_t *FutexWaitedOn(pid_t id) {
  if (!QmvTest::ThreadBlockedOnFutex(id)) return nullptr;
  std::ifstream call("/proc/self/task/" + std::to_string(id) + "/syscall");
  long number = -1;
  std::string word;
  if (!(call >> number >> word) || number != SYS_futex) return nullptr;
  return reinterpret_cast<const pthread_mutex_t *>(std::strtoull(word.c_str(), nullptr, 16));
}

// The kernel id of the thread that holds a mutex (0 when none does).
pid_t Holder(const pthread_mutex_t *mutex) { return __atomic_load_n(&mutex->__data.__owner, __ATOMIC_RELAXED); }

// A party on a thread of its own that says its kernel id and when it ended.
struct QueueParty {
  std::atomic<pid_t> id{0};
  std::atomic<bool> ended{false};
  std::thread thread;
  template <class Part>
  void Start(Part part) {
    thread = std::thread([this, part] {
      id = ThisThreadId();
      part();
      ended = true;
    });
  }
  // Waits until it sleeps in the kernel (on a lock) or ends: true when it slept.
  bool Blocks() { return WaitUntilBlockedOrFinished(id, [this] { return ended.load(); }); }
  void Join() {
    if (thread.joinable()) thread.join();
  }
};

class QueueGuard : public NonRealtimeEngine {
 protected:
  void SetUp() override {
    NonRealtimeEngine::SetUp();
    baseline = SystemMemory_BytesInUse();
    bank = Bank({Pcm16(4000), Pcm16(4000, 3)});
    // Until the callback thread has taken the open's completion: it holds the
    // record under the queue lock, which would wait for a close stopped
    // inside the hold lock.
    SystemPausePoint completed("callbacks.record-held");
    s = OSND_Stream_Open(reinterpret_cast<const char *>(bank.data()), OSND_MODE_MEMORY | OSND_MODE_NONBLOCKING, 0,
                         int(bank.size()));
    ASSERT_NE(s, nullptr);
    ASSERT_TRUE(completed.WaitReached(kActDeadlineMs));
    completed.Release();
    ASSERT_TRUE(PollUntil([this] { return OsndStream_IsReady(s); }, kActDeadlineMs));
  }
  void TearDown() override {
    for (QueueParty *p : {&selecting, &closing, &other}) p->Join();
    NonRealtimeEngine::TearDown();
  }
  OSND_STREAM *OpenPcm() {
    static const std::vector<int16_t> pcm(2000, 100);
    return OSND_Stream_Open(reinterpret_cast<const char *>(pcm.data()),
                            OSND_MODE_MEMORY | OSND_MODE_RAW | OSND_MODE_16BITS | OSND_MODE_NONBLOCKING, 0,
                            int(pcm.size() * 2));
  }
  void CloseOnceOpen(OSND_STREAM *opened) {
    ASSERT_NE(opened, nullptr);
    EXPECT_TRUE(PollUntil([opened] { return OsndStream_IsReady(opened); }, kActDeadlineMs));
    EXPECT_TRUE(OSND_Stream_Close(opened));
  }
  void ExpectTheMemoryBack() {
    EXPECT_TRUE(PollUntil([this] { return SystemMemory_BytesInUse() == baseline; }, kActDeadlineMs))
        << SystemMemory_BytesInUse() - baseline << " bytes still in use after the closes";
  }

  int64_t baseline = 0;
  std::vector<uint8_t> bank;
  OSND_STREAM *s = nullptr;
  QueueParty selecting, closing, other;
};

// A callback's selection of the next entry waits for the queue lock (another
// stream's open holds it) while the application's close of the stream marks
// it: the selection reads the mark once it holds the lock, and fails.
TEST_F(QueueGuard, ASelectionWaitingForTheQueueLockSeesTheMarkSetMeanwhile) {
  SystemPausePoint locked("stream.call.locked", OnSecondParty);
  std::atomic<bool> selected{true}, closed{false};
  std::atomic<int> error{-1};
  selecting.Start([&] {
    tSecondParty = true;
    selected = OSND_Stream_SetSubStream(s, 1);
    error = OSND_GetError();
  });
  ASSERT_TRUE(locked.WaitReached());
  // The close has found the stream ready and is about to mark it.
  SystemPausePoint checked("lifetime.close.checked");
  SystemPausePoint marked("stream.close.marked");
  closing.Start([&] { closed = OSND_Stream_Close(s); });
  ASSERT_TRUE(checked.WaitReached());
  SystemPausePoint appending("queue.append.checked", OnThirdParty);
  std::atomic<OSND_STREAM *> opened{nullptr};
  other.Start([&] {
    tThirdParty = true;
    opened = OpenPcm();
  });
  ASSERT_TRUE(appending.WaitReached());
  locked.Release();
  // Until it sleeps: on the queue lock, or (its check made without that
  // lock) at its let-go, on the hold lock that the stopped close holds.
  static_cast<void>(selecting.Blocks());
  checked.Release();
  ASSERT_TRUE(marked.WaitReached());
  appending.Release();
  selecting.Join();
  marked.Release();
  closing.Join();
  other.Join();
  EXPECT_TRUE(closed.load());
  EXPECT_FALSE(selected.load()) << "a selection was queued for a stream whose close had begun";
  EXPECT_EQ(error.load(), OSND_ERR_INVALID_PARAM);
  CloseOnceOpen(opened);
  ExpectTheMemoryBack();
}

// The application closes a stream as its own selection is being queued (the
// open thread busy with another open): the close waits for the queue lock,
// then finds the selection queued and takes it back, holding the lock from
// its look to the unlink so that no other party takes the node meanwhile.
TEST_F(QueueGuard, ACloseTakesBackTheSelectionQueuedMeanwhileUnderTheQueueLock) {
  SystemPausePoint busy("queue.work.taken");
  OSND_STREAM *first = OpenPcm();
  ASSERT_NE(first, nullptr);
  ASSERT_TRUE(busy.WaitReached());
  SystemPausePoint appending("queue.append.checked", OnSecondParty);
  std::atomic<bool> selected{false}, closed{false};
  selecting.Start([&] {
    tSecondParty = true;
    selected = OSND_Stream_SetSubStream(s, 1);
  });
  ASSERT_TRUE(appending.WaitReached());
  SystemPausePoint found("queue.selection.found");
  closing.Start([&] { closed = OSND_Stream_Close(s); });
  EXPECT_TRUE(closing.Blocks()) << "the close looked for the queued selection without the queue lock";
  appending.Release();
  selecting.Join();
  EXPECT_TRUE(selected.load());
  EXPECT_TRUE(PollUntil([&] { return found.Reached() || closing.ended; }, kActDeadlineMs));
  EXPECT_TRUE(found.Reached()) << "the close missed the selection queued while it waited";
  if (found.Reached()) {
    // Stopped between its look and the unlink: a look at the queue waits.
    other.Start([&] { static_cast<void>(OsndNonBlocking_CompletionWaits(s)); });
    EXPECT_TRUE(other.Blocks()) << "the close takes the selection back without holding the queue lock";
  }
  found.Release();
  closing.Join();
  other.Join();
  EXPECT_TRUE(closed.load());
  busy.Release();
  CloseOnceOpen(first);
  if (closed) ExpectTheMemoryBack();
}

// The callback thread has taken a finished open's completion and waits for
// the hold lock (another record's close holds it) to hold the record: it
// waits holding the queue lock, so that a close of that record, which drops
// its completions under that lock, cannot release the record before the hold.
TEST_F(QueueGuard, ACompletionsHoldWaitingForTheHoldLockKeepsTheQueueLock) {
  std::atomic<pid_t> caller{0};
  SystemPausePoint taken("callbacks.taken", [&] {
    caller = ThisThreadId();
    return true;
  });
  OSND_STREAM *opened = OpenPcm();
  ASSERT_NE(opened, nullptr);
  ASSERT_TRUE(taken.WaitReached(kActDeadlineMs));
  // The callback thread stands there holding the queue lock: a look at the
  // queue sleeps on it, and the futex it sleeps on is that lock's word.
  other.Start([&] { static_cast<void>(OsndNonBlocking_CompletionWaits(opened)); });
  const pthread_mutex_t *queueLock = nullptr;
  ASSERT_TRUE(PollUntil(
      [&] {
        queueLock = FutexWaitedOn(other.id);
        return queueLock && Holder(queueLock) == caller;
      },
      kActDeadlineMs))
      << "a look at the queue did not wait for the callback thread";
  SystemPausePoint checked("lifetime.close.checked", OnSecondParty);
  closing.Start([&] {
    tSecondParty = true;
    EXPECT_TRUE(OSND_Stream_Close(s));
  });
  ASSERT_TRUE(checked.WaitReached(kActDeadlineMs));
  SystemPausePoint holding("lifetime.hold-lock.waiting", OsndNonBlocking_IsCallbackThread);
  taken.Release();
  ASSERT_TRUE(holding.WaitReached(kActDeadlineMs)) << "the callback thread did not wait for the hold lock";
  EXPECT_EQ(Holder(queueLock), caller.load()) << "the callback thread let the queue lock go before it held the record";
  holding.Release();
  checked.Release();
  closing.Join();
  other.Join();
  CloseOnceOpen(opened);
  ExpectTheMemoryBack();
}

}  // namespace

}  // namespace queue_guard_test
