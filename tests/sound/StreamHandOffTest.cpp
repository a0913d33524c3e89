// What a stream's parties check before they act: a callback slot the
// streamer read before another thread changed it (the streamer stopped at a
// pause point in between), and the channel a stream is started on again.
#include "SoundTestSupport.h"
#include "WaitSupport.h"
#include "sound/src/stream/osnd_stream.h"
#include "sound/src/system/system_pause.h"

#include <atomic>
#include <chrono>
#include <string>
#include <thread>

namespace stream_hand_off_test {

namespace {

using std::chrono::milliseconds;

class StreamHandOff : public RampStreamTest {
 protected:
  StreamHandOff() : RampStreamTest("stream-hand-off") {}
};

// Lets the streamer take `batches` more batches of passed points (a stream
// with sync points is given one whenever the mixer passes a point, whether a
// callback is set or not): every batch taken before the last has been
// delivered once this returns.
void PassDeliveries(int batches) {
  for (int i = 0; i < batches; ++i) {
    SystemPausePoint taken("stream.callbacks.taken");
    ASSERT_TRUE(taken.WaitReached(kActDeadlineMs)) << "the streamer took no batch of passed points";
  }
}

struct Calls {
  std::atomic<int> begun{0}, ended{0}, afterClear{0};
  std::atomic<bool> clearReturned{false};
};

// A call that takes a while, so that a clear that waited for its beginning
// only has time to return before its end. It paces the fault's window, not
// the verdict: a right clear finds the call ended however long it took.
bool SlowCall(OSND_STREAM *, void *, int, void *user) {
  auto &calls = *static_cast<Calls *>(user);
  if (calls.clearReturned) ++calls.afterClear;
  ++calls.begun;
  std::this_thread::sleep_for(milliseconds(20));
  ++calls.ended;
  return true;
}

// The streamer has read the sync slot and is about to call it when another
// thread clears the slot: the clear waits for that call to end, and no call
// begins once it has returned.
TEST_F(StreamHandOff, AClearWaitsForTheCallTheStreamerAlreadyRead) {
  Calls calls;
  OsndStream_SetSyncCallback(stream, SlowCall, &calls);
  for (unsigned at : {100u, 8000u, 16000u}) ASSERT_NE(OSND_Stream_AddSyncPoint(stream, at, "point"), nullptr);
  SystemPausePoint read("stream.callback.read");
  ASSERT_GE(OSND_Stream_Play(OSND_FREE, stream), 0);
  ASSERT_TRUE(read.WaitReached());
  std::atomic<int> endedAtReturn{-1};
  {
    Watchdog dog(kHangSeconds, "a clear waiting for a sync call");
    EXPECT_TRUE(ActWaits(
        "stream.slot.waiting",
        [&] {
          OsndStream_SetSyncCallback(stream, nullptr, nullptr);
          endedAtReturn = calls.ended.load();
          calls.clearReturned = true;
        },
        [&] { read.Release(); }))
        << "the clear returned before a call it let through began";
  }
  EXPECT_EQ(endedAtReturn.load(), 1) << "the clear returned before the call it let through ended";
  PassDeliveries(3);  // past the later points
  EXPECT_EQ(calls.afterClear.load(), 0) << "a call began after the clear returned";
  EXPECT_EQ(calls.begun.load(), 1);
}

std::atomic<int> gInsideCalls{0};
std::atomic<bool> gInsideCleared{false};

bool ClearFromInside(OSND_STREAM *s, void *, int, void *) {
  ++gInsideCalls;
  OsndStream_SetSyncCallback(s, nullptr, nullptr);
  return gInsideCleared = true;
}

// A clear made inside the call of that slot, on the streamer's own thread,
// returns at once (a wait there would be for itself), and its callback is
// not called again.
TEST_F(StreamHandOff, AClearFromInsideTheCallReturnsAtOnce) {
  gInsideCalls = 0;
  gInsideCleared = false;
  OsndStream_SetSyncCallback(stream, ClearFromInside, nullptr);
  for (unsigned at : {100u, 8000u}) ASSERT_NE(OSND_Stream_AddSyncPoint(stream, at, "point"), nullptr);
  ASSERT_GE(OSND_Stream_Play(OSND_FREE, stream), 0);
  Watchdog dog(kHangSeconds, "a clear made inside its own callback");
  ASSERT_TRUE(PollUntil([] { return gInsideCleared.load(); }, kActDeadlineMs));
  PassDeliveries(3);  // past the later point and round the loop
  EXPECT_EQ(gInsideCalls.load(), 1);
}

std::atomic<int> gClearsReturned{0};
std::atomic<bool> gClosedElsewhereFirst{false};
// What the call saw after its close: 0 while it waits, 1 the clear's return,
// -1 none within the deadline (the clear went on waiting for it).
std::atomic<int> gClearSeen{0};

// A sync callback that closes its stream once a clear of its slot waits for
// it (after another thread's close, or first), then waits for that clear to
// return, as a callback may wait for a thread after a close.
bool CloseThenWaitForTheClear(OSND_STREAM *s, void *, int, void *) {
  const int returned = gClearsReturned;
  PollUntil([s] {
    SystemLockGuard list(gOsndStreams.listLock);
    return s->syncCallback == nullptr;
  });
  if (gClosedElsewhereFirst) std::thread([s] { OSND_Stream_Close(s); }).join();
  OSND_Stream_Close(s);
  const bool seen = PollUntil([returned] { return gClearsReturned > returned; }, kActDeadlineMs / 2);
  gClearSeen = seen ? 1 : -1;
  return seen;
}

// The call a clear waits for closes its own stream: the clear returns then,
// so that the call may wait for it.
TEST_F(StreamHandOff, AClearWaitingForACallThatClosesItsStreamReturns) {
  for (const bool elsewhere : {false, true}) {
    SCOPED_TRACE(elsewhere ? "closed by another thread first" : "closed first by the call");
    OSND_STREAM *s = elsewhere ? Open() : stream;
    ASSERT_NE(s, nullptr);
    gClosedElsewhereFirst = elsewhere;
    gClearSeen = 0;
    OsndStream_SetSyncCallback(s, CloseThenWaitForTheClear, nullptr);
    ASSERT_NE(OSND_Stream_AddSyncPoint(s, 100, "point"), nullptr);
    SystemPausePoint read("stream.callback.read");
    ASSERT_GE(OSND_Stream_Play(OSND_FREE, s), 0);
    ASSERT_TRUE(read.WaitReached());
    read.Release();
    Watchdog dog(kHangSeconds, "a clear waiting for a call that closed its stream");
    OsndStream_SetSyncCallback(s, nullptr, nullptr);
    ++gClearsReturned;
    ASSERT_TRUE(PollUntil([] { return gClearSeen != 0; }, kActDeadlineMs));
    EXPECT_EQ(gClearSeen.load(), 1) << "the clear returned only once the call that closed its stream gave up";
  }
}

// The application stops a stream's channel; the stream still counts as
// playing and a play of it (a sync callback's replay, say) starts it again:
// on its old index while that is free, elsewhere once the application's own
// sound took it.
TEST_F(StreamHandOff, AReplayedStreamLeavesItsOldIndexToTheSoundThatTookIt) {
  OSND_SAMPLE *own = OSND_Sample_Alloc(-1, 4000, OSND_MODE_16BITS | OSND_MODE_LOOP_NORMAL, 44100, 255, 128, 255);
  ASSERT_NE(own, nullptr);
  const int first = OSND_Stream_Play(OSND_FREE, stream);
  ASSERT_GE(first, 0);
  ASSERT_TRUE(OSND_StopSound(first));
  const int again = OSND_Stream_Play(OSND_FREE, stream);
  ASSERT_GE(again, 0);
  EXPECT_EQ(again & 0xFFF, first & 0xFFF) << "a free index of its own was not taken back";
  ASSERT_TRUE(OSND_StopSound(again));
  const int theirs = OSND_PlaySound(again & 0xFFF, own);
  ASSERT_EQ(theirs & 0xFFF, again & 0xFFF);
  const int replayed = OSND_Stream_Play(OSND_FREE, stream);
  ASSERT_GE(replayed, 0);
  EXPECT_NE(replayed & 0xFFF, theirs & 0xFFF);
  EXPECT_EQ(OSND_GetCurrentSample(theirs), own) << "the replay took the application's channel";
  EXPECT_EQ(OSND_GetCurrentSample(replayed), stream->sample);
  OSND_Sample_Free(own);
}

}  // namespace

}  // namespace stream_hand_off_test
