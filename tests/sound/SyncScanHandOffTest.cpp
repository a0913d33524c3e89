// The stream-list lock around the sync points: the mixer's scan and an
// entry's exchange stopped at their steps while a delete or an add of a
// point is made, so that a walk or an edit made outside the lock is seen by
// what the delete answers or by its not waiting, whatever the load.
#include "WaitSupport.h"
#include "OsbWriterSupport.h"
#include "SoundTestSupport.h"

#include "sound/src/stream/osnd_stream.h"
#include "sound/src/system/system_pause.h"
#include "sound/src/system/system_thread.h"

#include <atomic>
#include <cstdlib>
#include <functional>
#include <thread>

namespace sync_scan_hand_off_test {

namespace {

bool WaitsForTheListLock() { return SystemThread_LockWaitedFor() == gOsndStreams.listLock; }

class SyncScanHandOff : public NonRealtimeEngine {
 protected:
  void TearDown() override {
    if (second.joinable()) second.join();
    NonRealtimeEngine::TearDown();
  }
  OSND_STREAM *OpenBank(const std::vector<Entry> &entries) {
    bank = Bank(entries);
    return OSND_Stream_Open(reinterpret_cast<const char *>(bank.data()), OSND_MODE_MEMORY | OSND_MODE_2D, 0,
                            int(bank.size()));
  }

  // Two entries, the bank's points in the first.
  OSND_STREAM *OpenPointedBank() {
    Entry pointed = Pcm16(3000);
    pointed.sync = {{100, "a"}};  // a bank with points gives each entry its own
    return OpenBank({pointed, Pcm16(3000)});
  }
  void BesideAnEntryExchange(OSND_STREAM *s, const std::function<void()> &beside);

  std::vector<uint8_t> bank;
  std::thread second;
  std::atomic<bool> chosen{false}, ended{false};
};

// The scan stopped with a stream in hand, then with a passed point of it in
// hand: a delete of the point waits for the scan at the list lock, rather
// than unlinking and freeing what the scan reads.
TEST_F(SyncScanHandOff, ADeleteWaitsForTheScansWalk) {
  Watchdog hang(2 * kHangSeconds, "a delete or the scan hung");
  for (const char *step : {"sync.scan.stream", "sync.scan.passing"}) {
    SCOPED_TRACE(step);
    OSND_STREAM *s = OpenBank({Pcm16(8000)});
    ASSERT_NE(s, nullptr) << OSND_GetError();
    OSND_SYNCPOINT *point = OSND_Stream_AddSyncPoint(s, 0, "start");
    ASSERT_NE(point, nullptr) << OSND_GetError();
    ASSERT_GE(OSND_Stream_Play(OSND_FREE, s), 0);
    SystemPausePoint scan(step, OnSecondParty);
    second = SecondParty([] { OSND_Update(); });
    ASSERT_TRUE(scan.WaitReached(kActDeadlineMs)) << "the mixer did not scan the stream";
    bool deleted = false;
    EXPECT_TRUE(ActWaits(
        "lock.waiting", [&] { deleted = OSND_Stream_DeleteSyncPoint(point); }, [&] { scan.Release(); },
        WaitsForTheListLock))
        << "the delete did not wait for the scan";
    second.join();
    EXPECT_TRUE(deleted);
    EXPECT_TRUE(OSND_Stream_Close(s));
  }
}

// An entry's exchange of the stream's sync points begun and stopped before
// it takes the list lock; `beside` is made while the test holds that lock
// and the exchange waits for it.
void SyncScanHandOff::BesideAnEntryExchange(OSND_STREAM *s, const std::function<void()> &beside) {
  SystemPausePoint replacing("sync.list.replacing", OnSecondParty);
  second = SecondParty([this, s] {
    chosen = OSND_Stream_SetSubStream(s, 1);
    ended = true;
  });
  ASSERT_TRUE(replacing.WaitReached(kActDeadlineMs));
  {
    SystemLockGuard list(gOsndStreams.listLock);  // recursive: the calls of `beside` take it again
    SystemPausePoint waiting("lock.waiting", [] { return OnSecondParty() && WaitsForTheListLock(); });
    replacing.Release();
    ASSERT_TRUE(PollUntil([this, &waiting] { return ended.load() || waiting.Reached(); }, kActDeadlineMs));
    EXPECT_TRUE(waiting.Reached()) << "the entry change took no list lock";
    beside();
  }
  second.join();
  EXPECT_TRUE(chosen.load());
}

// While the exchange waits for the list lock, the old entry's points are
// still its stream's, and so still handed out: a delete finds them.
TEST_F(SyncScanHandOff, AnEntrysPointsAreForgottenOnlyUnderTheListLock) {
  Watchdog hang(kHangSeconds, "the entry change or a delete hung");
  OSND_STREAM *s = OpenPointedBank();
  ASSERT_NE(s, nullptr) << OSND_GetError();
  OSND_SYNCPOINT *added = OSND_Stream_AddSyncPoint(s, 300, "of the first entry");
  ASSERT_NE(added, nullptr) << OSND_GetError();
  bool deleted = false;
  ASSERT_NO_FATAL_FAILURE(BesideAnEntryExchange(s, [&] { deleted = OSND_Stream_DeleteSyncPoint(added); }));
  EXPECT_TRUE(deleted) << "a point still on its stream's list was no longer handed out";
  EXPECT_TRUE(OSND_Stream_Close(s));
}

// A point added while the exchange waits for the list lock, none handed out
// before, goes with the old entry: a delete after the exchange refuses it
// (it was freed with the old list).
TEST_F(SyncScanHandOff, APointAddedBeforeAnEntrysExchangeGoesWithTheOldEntry) {
  Watchdog hang(kHangSeconds, "the entry change or an add hung");
  OSND_STREAM *s = OpenPointedBank();
  ASSERT_NE(s, nullptr) << OSND_GetError();
  OSND_SYNCPOINT *added = nullptr;
  ASSERT_NO_FATAL_FAILURE(BesideAnEntryExchange(s, [&] { added = OSND_Stream_AddSyncPoint(s, 300, "beside"); }));
  ASSERT_NE(added, nullptr) << OSND_GetError();
  // A delete that found it would unlink and free freed memory: it is made in
  // a child, so that the fault is a failure here rather than a crash.
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(std::_Exit(OSND_Stream_DeleteSyncPoint(added) ? 1 : 0), ::testing::ExitedWithCode(0), "")
      << "a point of the old entry is still handed out";
  EXPECT_TRUE(OSND_Stream_Close(s));
}

}  // namespace

}  // namespace sync_scan_hand_off_test
