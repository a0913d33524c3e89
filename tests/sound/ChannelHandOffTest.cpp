// Channels, samples and recordings handed between parties: a stream played
// again from another thread beside the application's play, a free of the
// sample being recorded into beside a start into another, and a named slot's
// allocation beside a free. Each test stops one party at the step between its
// look and its act (a named pause point) and lets the other act only once it
// has acted or stands at the lock the first holds (read from the kernel), so
// that no verdict depends on which thread the machine ran first.
#include "SoundTestSupport.h"
#include "WaitSupport.h"
#include "WinMMRecordingSupport.h"
#include "sound/src/source/source_record.h"
#include "sound/src/stream/osnd_stream.h"
#include "sound/src/system/system_pause.h"
#include "sound/src/system/system_thread.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>

namespace channel_hand_off_test {


namespace {

// The lock word of one of the engine's locks, and the thread holding it.
pthread_mutex_t *Word(SystemCriticalSection lock) { return static_cast<std::recursive_mutex *>(lock)->native_handle(); }
pid_t Holder(SystemCriticalSection lock) { return __atomic_load_n(&Word(lock)->__data.__owner, __ATOMIC_RELAXED); }

// Which party the calling thread is: pause points armed here stop one party.
enum Role { kNone, kFirst, kSecond };
thread_local Role tRole = kNone;
bool IsFirst() { return tRole == kFirst; }

// A party on a thread of its own, which knows its kernel id once started.
class Party {
 public:
  template <typename F>
  Party(Role role, F part)
      : m_Thread([this, role, part] {
          tRole = role;
          m_Id = QmvTest::ThisThreadId();
          part();
          m_Done = true;
        }) {}
  ~Party() { Join(); }
  void Join() {
    if (m_Thread.joinable()) m_Thread.join();
  }
  pid_t Id() const { return m_Id; }
  bool Done() const { return m_Done; }

 private:
  std::atomic<pid_t> m_Id{0};
  std::atomic<bool> m_Done{false};
  std::thread m_Thread;
};

class ChannelHandOff : public RampStreamTest {
 protected:
  ChannelHandOff() : RampStreamTest("channel-hand-off") {}
  void SetUp() override {
    RampStreamTest::SetUp();
    if (HasFatalFailure()) return;
    own = OSND_Sample_Alloc(-1, 4000, OSND_MODE_16BITS | OSND_MODE_LOOP_NORMAL, 44100, 255, 128, 255);
    ASSERT_NE(own, nullptr);
  }

  OSND_SAMPLE *own = nullptr;
};

// The application stopped the stream's channel and filled every channel with
// its own sound, which a stream of lower priority may not take: a play of the
// stream finds no channel and says so, rather than answer its old handle,
// which may name the application's sound. Once a channel is free again, a
// play takes it.
TEST_F(ChannelHandOff, AReplayThatFindsNoChannelAnswersNone) {
  ASSERT_TRUE(OSND_Sample_SetDefaultsEx(stream->sample, -1, -1, -1, 0, -1, -1, -1));
  const int first = OSND_Stream_Play(OSND_FREE, stream);
  ASSERT_GE(first, 0);
  ASSERT_TRUE(OSND_StopSound(first));
  int last = -1;
  for (int played = 0; played < 4096; ++played) {
    const int handle = OSND_PlaySound(OSND_FREE, own);
    if (handle < 0) break;
    last = handle;
  }
  ASSERT_GE(last, 0);
  ASSERT_NE(OSND_GetCurrentSample(first & 0xFFF), nullptr) << "the stream's old index was left free";
  EXPECT_EQ(OSND_Stream_Play(OSND_FREE, stream), -1) << "a play with no channel answered a handle";
  EXPECT_EQ(OSND_GetError(), OSND_ERR_CHANNEL_ALLOC);
  EXPECT_EQ(OSND_GetCurrentSample(first & 0xFFF), own);
  ASSERT_TRUE(OSND_StopSound(last));
  const int again = OSND_Stream_Play(OSND_FREE, stream);
  ASSERT_GE(again, 0) << "a play once a channel was free again";
  EXPECT_EQ(again & 0xFFF, last & 0xFFF);
  EXPECT_EQ(OSND_GetCurrentSample(again), stream->sample);
}

// A replay (a callback's, say) has found the stream's old index free and is
// about to start there when the application starts its own sound on that
// index: the look and the play are one step under the mixer's lock, so the
// application's play comes after the replay and keeps the channel it asked
// for. The application is let go on only once it has played or sleeps on the
// mixer's lock that the replay holds.
TEST_F(ChannelHandOff, AReplayStoppedAfterItsLookLeavesTheApplicationItsChannel) {
  const int first = OSND_Stream_Play(OSND_FREE, stream);
  ASSERT_GE(first, 0);
  ASSERT_TRUE(OSND_StopSound(first));
  const int index = first & 0xFFF;
  std::atomic<int> replayed{-2}, theirs{-2};
  SystemPausePoint looked("stream.replay.looked", IsFirst);
  Party replay(kFirst, [&] { replayed = OSND_Stream_Play(OSND_FREE, stream); });
  ASSERT_TRUE(looked.WaitReached()) << "the replay did not look at its old index";
  Party application(kSecond, [&] { theirs = OSND_PlaySound(index, own); });
  const SystemCriticalSection mixer = gOsnd.mixer->lock;
  {
    Watchdog dog(kHangSeconds, "a replay and the application's play");
    EXPECT_TRUE(PollUntil(
        [&] { return application.Done() || (ThreadBlockedOnFutex(application.Id(), Word(mixer)) && Holder(mixer) == replay.Id()); },
        kActDeadlineMs));
    looked.Release();
    replay.Join();
    application.Join();
  }
  ASSERT_GE(theirs.load(), 0);
  EXPECT_EQ(theirs & 0xFFF, index);
  EXPECT_EQ(OSND_GetCurrentSample(theirs), own) << "the replay took the channel the application's sound started on";
  EXPECT_GE(replayed.load(), 0) << "the replay did not start on its free index";
}

class CaptureChannelHandOff : public WinMMRecording {};

// A free of the sample being recorded into has found the recording its own
// and is about to stop it when another thread starts a recording into another
// sample: the look and the stop are one step under the record lock, so the
// start comes after the stop and its recording goes on.
TEST_F(CaptureChannelHandOff, AFreeStoppedAfterItsLookLeavesANewRecordingRunning) {
  OSND_SAMPLE *old = RecordSample(3000);
  OSND_SAMPLE *next = RecordSample(3000);
  ASSERT_NE(old, nullptr);
  ASSERT_NE(next, nullptr);
  ASSERT_TRUE(OSND_Record_StartSample(0, old, true)) << OSND_GetError();
  SystemPausePoint checked("record.stop.checked", IsFirst);
  // The start runs on this thread: the sound library keeps per-thread state
  // for each thread that calls it and frees it only for its own threads, so a
  // start from a thread of the test's would leave that behind. Its wait for the
  // record lock is seen at the point, which lets it pass; a third thread then
  // lets the free go on.
  std::atomic<bool> waited{false}, startDone{false};
  SystemPausePoint waiting("record.lock.waiting", [&] {
    if (tRole == kSecond) waited = true;
    return false;
  });
  Party free(kFirst, [&] { OSND_Sample_Free(old); });
  ASSERT_TRUE(checked.WaitReached()) << "the free did not look at the recording";
  bool started = false;
  {
    Watchdog dog(kHangSeconds, "a free's stop of a recording and a start");
    std::thread releaser([&] {
      EXPECT_TRUE(PollUntil([&] { return startDone.load() || waited.load(); }, kActDeadlineMs));
      checked.Release();
    });
    tRole = kSecond;
    started = OSND_Record_StartSample(0, next, true);
    tRole = kNone;
    startDone = true;
    releaser.join();
    free.Join();
  }
  ASSERT_TRUE(started) << OSND_GetError();
  ASSERT_TRUE(gOsnd.recording.load()) << "the free stopped a recording into another sample";
  const int from = OsndRecord_WritePosition();
  EXPECT_TRUE(PollUntil([from] { return OsndRecord_WritePosition() != from; }, kActDeadlineMs))
      << "nothing more was recorded into the new sample";
  EXPECT_TRUE(OSND_Record_Stop());
  OSND_Sample_Free(next);
}

// The body of the test below, in a child process: a free holds the mixer's
// lock and is about to take the slot table's when a named slot's allocation
// begins; the allocation takes the mixer's lock first, so it waits with
// nothing held and the free ends. Taken the other way round, the two wait for
// each other: the watchdog ends the child.
void NamedSlotBesideAFree() {
  OsndOutputNoSound.mixerThread = 1;
  if (!OSND_SetOutput(OSND_OUTPUT_NOSOUND) || !OSND_Init(44100, 16, 0)) std::_Exit(3);
  constexpr int kSlot = 5;
  OSND_SAMPLE *freed = OSND_Sample_Alloc(-1, 1000, OSND_MODE_16BITS, 44100, 255, 128, 255);
  OSND_SAMPLE *occupant = OSND_Sample_Alloc(kSlot, 1000, OSND_MODE_16BITS, 44100, 255, 128, 255);
  if (!freed || !occupant || gOsnd.samples[kSlot] != occupant) std::_Exit(4);
  const SystemCriticalSection mixer = gOsnd.mixer->lock;
  std::atomic<OSND_SAMPLE *> made{nullptr};
  {
    Watchdog dog(kHangSeconds, "a named slot's allocation beside a free: the two locks taken in two orders");
    SystemPausePoint leaving("sample.free.leaving", IsFirst);
    Party free(kFirst, [&] { OSND_Sample_Free(freed); });
    if (!leaving.WaitReached()) std::_Exit(5);
    Party alloc(kSecond, [&] { made = OSND_Sample_Alloc(kSlot, 1000, OSND_MODE_16BITS, 44100, 255, 128, 255); });
    if (!PollUntil([&] { return alloc.Done() || ThreadBlockedOnFutex(alloc.Id(), Word(mixer)); }, kActDeadlineMs))
      std::_Exit(6);
    leaving.Release();
    free.Join();
    alloc.Join();
  }
  if (!made || gOsnd.samples[kSlot] != made) {
    std::fprintf(stderr, "the allocation did not take its named slot\n");
    std::_Exit(7);
  }
  OSND_Close();
  std::_Exit(0);
}

TEST(ChannelHandOffSlots, ANamedSlotsAllocationBesideAFreeTakesTheMixersLockFirst) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(NamedSlotBesideAFree(), ::testing::ExitedWithCode(0), "");
}

}  // namespace

}  // namespace channel_hand_off_test
