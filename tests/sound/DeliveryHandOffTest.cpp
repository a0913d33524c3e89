// The stream list and a stream's callbacks between the streamer's steps: a
// sync point's add between its check and its link, the close's unlink while
// the streamer walks the list, a close while the streamer delivers to the
// stream, and a clear of a slot the streamer is reading. Each party is
// stopped at the step (a pause point) while the other acts, so that the lock
// or the hold that keeps the step whole is proved at once.
#include "SoundTestSupport.h"
#include "WaitSupport.h"
#include "sound/src/stream/osnd_stream.h"
#include "sound/src/system/system_memory.h"
#include "sound/src/system/system_pause.h"
#include "sound/src/system/system_thread.h"

#include <atomic>
#include <thread>

namespace delivery_hand_off_test {

namespace {

class DeliveryHandOff : public RampStreamTest {
 protected:
  DeliveryHandOff() : RampStreamTest("delivery-hand-off") {}
  void TearDown() override {
    if (second.joinable()) second.join();
    RampStreamTest::TearDown();
  }
  std::thread second;
};

bool WaitedForTheListLock() { return SystemThread_LockWaitedFor() == gOsndStreams.listLock; }

// The add has checked the offset against the stream's lengths and not yet
// linked the point: a close beside it waits, so the point is linked before
// the close and goes with the stream, never into a stream already closed.
TEST_F(DeliveryHandOff, ASyncPointCheckedBesideTheCloseIsLinkedBeforeIt) {
  SystemPausePoint checked("stream.sync.checked", OnSecondParty);
  std::atomic<OSND_SYNCPOINT *> point{nullptr};
  second = SecondParty([&] { point = OSND_Stream_AddSyncPoint(stream, 100, "beside the close"); });
  ASSERT_TRUE(checked.WaitReached());
  std::atomic<bool> closed{false};
  EXPECT_TRUE(ActWaits("lock.waiting", [&] { closed = OSND_Stream_Close(stream); }, [&] { checked.Release(); }))
      << "the close went on between the add's check and its link";
  second.join();
  EXPECT_TRUE(closed.load());
  ASSERT_NE(point.load(), nullptr);
  EXPECT_FALSE(OSND_Stream_DeleteSyncPoint(point)) << "a point was linked into a closed stream";
}

// The streamer walks the stream list (marking the streams with callbacks
// due) while the stream is closed: the close's unlink waits for the list
// lock, so the stream is still linked when the close begins to wait.
TEST_F(DeliveryHandOff, AClosesUnlinkWaitsForTheStreamersWalk) {
  Watchdog dog(kHangSeconds, "a close beside the streamer's walk of the stream list");
  SystemPausePoint dequeued("stream.close.dequeued", OnSecondParty);
  SystemPausePoint listWait("lock.waiting", [] { return tSecondParty && WaitedForTheListLock(); });
  std::atomic<bool> closed{false};
  second = SecondParty([&] { closed = OSND_Stream_Close(stream); });
  ASSERT_TRUE(dequeued.WaitReached());
  SystemPausePoint walking("stream.due.marking");
  ASSERT_TRUE(walking.WaitReached(kActDeadlineMs));
  dequeued.Release();
  ASSERT_TRUE(PollUntil([&] { return closed || listWait.Reached(); }, kActDeadlineMs));
  EXPECT_TRUE(listWait.Reached() && stream->link.next != &stream->link)
      << "the close unlinked its stream while the streamer walked the list";
  listWait.Release();
  walking.Release();
  second.join();
  EXPECT_TRUE(closed.load());
}

// The streamer has taken a stream's batch of passed points when the stream
// is closed: the close returns, and the record goes with the streamer's
// let-go after the batch, not before.
TEST_F(DeliveryHandOff, ACloseBesideADeliveryLeavesTheRecordToIt) {
  const int64_t baseline = SystemMemory_BytesInUse();
  OSND_STREAM *s = Open();
  ASSERT_NE(s, nullptr);
  ASSERT_NE(OSND_Stream_AddSyncPoint(s, 100, "point"), nullptr);
  SystemPausePoint taken("stream.callbacks.taken");
  ASSERT_GE(OSND_Stream_Play(OSND_FREE, s), 0);
  ASSERT_TRUE(taken.WaitReached(kActDeadlineMs));
  {
    Watchdog dog(kHangSeconds, "a close beside its stream's delivery");
    ASSERT_TRUE(OSND_Stream_Close(s));
  }
  EXPECT_GT(SystemMemory_BytesInUse(), baseline) << "the close freed the record the streamer delivers to";
  taken.Release();
  PassStreamer(2);
  EXPECT_EQ(SystemMemory_BytesInUse(), baseline);
}

struct SlotCalls {
  std::atomic<int> calls{0}, afterClear{0};
  std::atomic<bool> cleared{false};
};

bool CountCall(OSND_STREAM *, void *, int, void *user) {
  auto &c = *static_cast<SlotCalls *>(user);
  if (c.cleared) ++c.afterClear;
  ++c.calls;
  return true;
}

// The streamer has read the sync slot and not yet marked it in call when
// the slot is cleared: the clear waits for the list lock, then for the call,
// and no call begins once it has returned.
TEST_F(DeliveryHandOff, AClearBesideTheSlotsReadWaitsForItsCall) {
  SlotCalls calls;
  ASSERT_TRUE(OsndStream_SetSyncCallback(stream, CountCall, &calls));
  ASSERT_NE(OSND_Stream_AddSyncPoint(stream, 100, "point"), nullptr);
  SystemPausePoint reading("stream.callback.reading");
  ASSERT_GE(OSND_Stream_Play(OSND_FREE, stream), 0);
  ASSERT_TRUE(reading.WaitReached(kActDeadlineMs));
  Watchdog dog(kHangSeconds, "a clear beside the streamer's read of its slot");
  EXPECT_TRUE(ActWaits(
      "lock.waiting",
      [&] {
        OsndStream_SetSyncCallback(stream, nullptr, nullptr);
        calls.cleared = true;
      },
      [&] { reading.Release(); }, WaitedForTheListLock))
      << "the slot was cleared between the streamer's read and its in-call mark";
  PassStreamer(2);
  EXPECT_EQ(calls.afterClear.load(), 0) << "a call began after the clear returned";
  EXPECT_EQ(calls.calls.load(), 1);
}

}  // namespace

}  // namespace delivery_hand_off_test
