// A stream call or a reader of a stream beside the stream's close, at the
// step where one party has taken a stream lock and the other waits for it:
// the test holds that lock from its own thread and stops the waiting party
// at the point where it begins to wait, so that what the waiter did before
// the lock (a look at the close mark, parts of the record taken out) is seen
// at once, however loaded the machine.
#include "SoundTestSupport.h"
#include "WaitSupport.h"

#include "sound/src/stream/osnd_stream.h"
#include "sound/src/system/system_memory.h"
#include "sound/src/system/system_pause.h"
#include "sound/src/system/system_thread.h"

#include <atomic>
#include <optional>
#include <string>
#include <thread>

namespace stream_call_hand_off_test {

namespace {

// Stops the second party where it begins to wait for `lock`, held elsewhere.
std::function<bool()> SecondPartyWaitingFor(SystemCriticalSection lock) {
  return [lock] { return OnSecondParty() && SystemThread_LockWaitedFor() == lock; };
}

class StreamCallHandOff : public NonRealtimeEngine {
 protected:
  void SetUp() override {
    NonRealtimeEngine::SetUp();
    ASSERT_TRUE(WriteRawRamp(path, 4000));
    baseline = SystemMemory_BytesInUse();
  }
  void TearDown() override {
    for (std::thread *t : {&second, &closer})
      if (t->joinable()) t->join();
    NonRealtimeEngine::TearDown();
    RemoveTestFiles("stream-call-hand-off");
  }
  OSND_STREAM *Open() {
    return OSND_Stream_Open(path.c_str(), OSND_MODE_RAW | OSND_MODE_16BITS | OSND_MODE_STEREO, 0, 0);
  }

  const std::string path = TestFile("stream-call-hand-off", "ramp.raw");
  int64_t baseline = 0;
  std::thread second, closer;
  std::atomic<bool> answer{true}, closed{false};
  std::atomic<int> error{-1};
};

// A call that began to wait for the stream-decode lock on an open stream,
// whose close is marked while it waits, looks at the mark once it holds the
// lock: it fails, and acts on nothing the close is about to release.
TEST_F(StreamCallHandOff, ACallWaitingForTheDecodeLockSeesAMarkSetMeanwhile) {
  Watchdog dog(kHangSeconds, "a stream call beside its stream's close");
  OSND_STREAM *s = Open();
  ASSERT_NE(s, nullptr) << OSND_GetError();
  std::optional<SystemLockGuard> decode(std::in_place, gOsndStreams.decodeLock);
  SystemPausePoint waiting("lock.waiting", SecondPartyWaitingFor(gOsndStreams.decodeLock));
  second = SecondParty([&] {
    answer = OSND_Stream_Stop(s);
    error = OSND_GetError();
  });
  ASSERT_TRUE(PollUntil([&] { return waiting.Reached() || error != -1; }, kActDeadlineMs));
  ASSERT_TRUE(waiting.Reached()) << "the call took no decode lock";
  SystemPausePoint marked("stream.close.marked");
  closer = std::thread([&] { closed = OSND_Stream_Close(s); });
  ASSERT_TRUE(marked.WaitReached(kActDeadlineMs));
  waiting.Release();
  decode.reset();  // the close, stopped after its mark, does not contend for it
  second.join();
  EXPECT_FALSE(answer.load()) << "a call went on after its stream's close was marked";
  EXPECT_EQ(error.load(), OSND_ERR_INVALID_PARAM);
  marked.Release();
  closer.join();
  EXPECT_TRUE(closed.load());
  EXPECT_EQ(SystemMemory_BytesInUse(), baseline);
}

// The close's release takes what the record owns out under both stream
// locks: a reader under either one alone (a time read holds the list lock, a
// decode the decode lock) finds the record whole for as long as it holds it,
// the release waiting for the lock before it takes anything out.
TEST_F(StreamCallHandOff, AReleaseTakesNothingOutBesideAReaderUnderEitherLock) {
  Watchdog dog(kHangSeconds, "a stream's release beside a reader");
  for (SystemCriticalSection lock : {gOsndStreams.decodeLock, gOsndStreams.listLock}) {
    SCOPED_TRACE(lock == gOsndStreams.decodeLock ? "decode lock" : "list lock");
    OSND_STREAM *s = Open();
    ASSERT_NE(s, nullptr) << OSND_GetError();
    OsndStream_Hold(s);  // the test's own: the record is looked at after the close
    SystemPausePoint begun("stream.release.begun", OnSecondParty);
    closed = false;
    second = SecondParty([&] { closed = OSND_Stream_Close(s); });
    ASSERT_TRUE(begun.WaitReached(kActDeadlineMs));
    {
      SystemLockGuard reader(lock);
      SystemPausePoint waiting("lock.waiting", SecondPartyWaitingFor(lock));
      begun.Release();
      ASSERT_TRUE(PollUntil([&] { return waiting.Reached() || closed; }, kActDeadlineMs));
      EXPECT_TRUE(waiting.Reached()) << "the release went on without the lock";
      EXPECT_TRUE(s->file && s->sample && s->ring.entries) << "parts taken out beside a reader";
    }
    second.join();
    EXPECT_TRUE(closed.load());
    EXPECT_EQ(s->sample, nullptr);
    OsndStream_LetGo(s);
  }
  EXPECT_EQ(SystemMemory_BytesInUse(), baseline);
}

}  // namespace

}  // namespace stream_call_hand_off_test
