// A stream's close beside its own background sub-stream selection, with the
// selection stopped in each of its states: asked for but not yet queued,
// queued (the open thread busy with another open), taken by the open thread,
// selected (the stream not yet ready again), and ended (the open thread
// still naming the stream). Whatever the state, and however stale the
// close's own look at it, the close answers true and a second close returns
// at once, true.
#include "OsbWriterSupport.h"
#include "SoundTestSupport.h"
#include "WaitSupport.h"

#include "sound/src/stream/osnd_stream.h"
#include "sound/src/system/system_memory.h"
#include "sound/src/system/system_pause.h"
#include "sound/src/system/system_thread.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <optional>
#include <random>
#include <thread>
#include <vector>

namespace select_close_test {

namespace {

enum class Stage { kBeforeQueueing, kQueued, kTaken, kSelected, kEnded };
constexpr Stage kStages[] = {Stage::kBeforeQueueing, Stage::kQueued, Stage::kTaken, Stage::kSelected, Stage::kEnded};
const char *const kStageNames[] = {"before queueing", "queued", "taken", "selected", "ended"};
// Where each state is held: the selecting call, or the open thread (for
// `queued`, in another stream's open, taken first).
const char *const kStops[] = {"stream.selection.queueing", "queue.work.taken", "queue.work.taken",
                              "queue.selection.selected", "queue.work.ended"};

// The open-complete callbacks of the streams under test: one comes for each
// open and each selection, once the open thread has let go of the stream.
std::atomic<int> gDone{0};
bool CountDone(OSND_STREAM *, void *, int, void *) {
  ++gDone;
  return true;
}

thread_local bool tFirstClose = false;

class SelectClose : public NonRealtimeEngine {
 protected:
  void SetUp() override {
    NonRealtimeEngine::SetUp();
    baseline = SystemMemory_BytesInUse();
    bank = Bank({Pcm16(4000), Pcm16(4000, 3)});
  }
  void TearDown() override {
    stop.reset();
    for (std::thread *t : {&selector, &closing, &second})
      if (t->joinable()) t->join();
    NonRealtimeEngine::TearDown();
  }
  OSND_STREAM *OpenBank() {
    return OSND_Stream_Open(reinterpret_cast<const char *>(bank.data()), OSND_MODE_MEMORY | OSND_MODE_NONBLOCKING, 0,
                            int(bank.size()));
  }
  // A bank stream opened in the background, its open-complete callback made.
  OSND_STREAM *OpenReady() {
    const int before = gDone;
    OSND_STREAM *s = OpenWithCallback([this] { return OpenBank(); }, CountDone);
    EXPECT_TRUE(s && PollUntil([before] { return gDone > before; }, kActDeadlineMs));
    return s;
  }
  // Asks for the stream's entry 1 in the background and holds the selection
  // at `stage` until LetTheSelectionGo.
  void StopTheSelection(OSND_STREAM *s, Stage stage) {
    stop.emplace(kStops[int(stage)]);
    if (stage == Stage::kQueued) {
      static const std::vector<int16_t> pcm(2000, 100);
      busy = OSND_Stream_Open(reinterpret_cast<const char *>(pcm.data()),
                              OSND_MODE_MEMORY | OSND_MODE_RAW | OSND_MODE_16BITS | OSND_MODE_NONBLOCKING, 0,
                              int(pcm.size() * 2));
      ASSERT_NE(busy, nullptr);
      ASSERT_TRUE(stop->WaitReached(kActDeadlineMs));
    }
    selector = std::thread([this, s] {
      selected = OSND_Stream_SetSubStream(s, 1);
      selectError = OSND_GetError();
    });
    if (stage != Stage::kBeforeQueueing) {
      selector.join();
      ASSERT_TRUE(selected.load()) << "error " << selectError.load();
    }
    ASSERT_TRUE(stop->WaitReached(kActDeadlineMs));
  }
  void LetTheSelectionGo() {
    stop.reset();
    if (selector.joinable()) selector.join();
  }
  void EndTheRound() {
    LetTheSelectionGo();
    if (busy) {
      EXPECT_TRUE(PollUntil([this] { return OsndStream_IsReady(busy); }, kActDeadlineMs));
      EXPECT_TRUE(OSND_Stream_Close(busy));
      busy = nullptr;
    }
    EXPECT_TRUE(PollUntil([this] { return SystemMemory_BytesInUse() == baseline; }, kActDeadlineMs))
        << SystemMemory_BytesInUse() - baseline << " bytes still in use after the closes";
  }

  int64_t baseline = 0;
  std::vector<uint8_t> bank;
  std::optional<SystemPausePoint> stop;
  OSND_STREAM *busy = nullptr;
  std::thread selector, closing, second;
  std::atomic<bool> selected{false};
  std::atomic<int> selectError{-1};
};

struct Answer {
  std::atomic<bool> closed{false};
  std::atomic<int> error{-1};
  void Close(OSND_STREAM *s) {
    closed = OSND_Stream_Close(s);
    error = OSND_GetError();
  }
};

// The close looked at the stream while the selection was in a state, and is
// held there while the selection runs to its end: its look is stale by then,
// and the stream is an opened one to close, never one still opening.
TEST_F(SelectClose, ACloseWhoseLookWentStaleAsTheSelectionEndedSucceeds) {
  for (const Stage stage : kStages) {
    SCOPED_TRACE(kStageNames[int(stage)]);
    OSND_STREAM *s = OpenReady();
    ASSERT_NE(s, nullptr);
    ASSERT_NO_FATAL_FAILURE(StopTheSelection(s, stage));
    SystemPausePoint read("stream.close.read");
    Answer close;
    closing = std::thread([&] { close.Close(s); });
    ASSERT_TRUE(read.WaitReached(kActDeadlineMs));
    const int done = gDone;
    LetTheSelectionGo();
    EXPECT_TRUE(PollUntil([done] { return gDone > done; }, kActDeadlineMs)) << "the selection did not end";
    read.Release();
    closing.join();
    EXPECT_TRUE(close.closed.load()) << "error " << close.error.load();
    if (!close.closed) OSND_Stream_Close(s);  // left open: the next round starts clean
    EndTheRound();
  }
}

// A close made while the selection is held in a state takes back one still
// queued, and otherwise marks the stream and waits: for the open thread, or
// for the decode lock that a selection being queued holds (which the mark
// then keeps out of the queue). A second close made meanwhile returns at
// once, true. The test holds the stream, so that the second close may come
// after the first has returned.
TEST_F(SelectClose, ACloseBesideTheSelectionInEachStateSucceedsAndASecondReturnsAtOnce) {
  for (const Stage stage : kStages) {
    SCOPED_TRACE(kStageNames[int(stage)]);
    OSND_STREAM *s = OpenReady();
    ASSERT_NE(s, nullptr);
    OsndStream_Hold(s);
    ASSERT_NO_FATAL_FAILURE(StopTheSelection(s, stage));
    std::optional<SystemPausePoint> waiting;
    if (stage == Stage::kBeforeQueueing)
      waiting.emplace("lock.waiting",
                      [] { return tFirstClose && SystemThread_LockWaitedFor() == gOsndStreams.decodeLock; });
    else if (stage != Stage::kQueued)
      waiting.emplace("queue.done.waiting", [] { return tFirstClose; });
    Answer first, again;
    std::atomic<bool> firstEnded{false};
    closing = std::thread([&] {
      tFirstClose = true;
      first.Close(s);
      firstEnded = true;
    });
    ASSERT_TRUE(PollUntil([&] { return firstEnded || (waiting && waiting->Reached()); }, kActDeadlineMs));
    EXPECT_FALSE(ActWaits("queue.done.waiting", [&] { again.Close(s); },
                          [&] {
                            waiting.reset();
                            LetTheSelectionGo();
                          }))
        << "a second close waited for the selection";
    closing.join();
    EXPECT_TRUE(first.closed.load()) << "error " << first.error.load();
    EXPECT_TRUE(again.closed.load()) << "error " << again.error.load();
    if (stage == Stage::kBeforeQueueing) {
      EXPECT_FALSE(selected.load()) << "a selection was queued for a stream being closed";
      EXPECT_EQ(selectError.load(), OSND_ERR_INVALID_PARAM);
    }
    if (!first.closed && !again.closed && PollUntil([s] { return OsndStream_IsReady(s); }, kActDeadlineMs))
      OSND_Stream_Close(s);  // left open: the next round starts clean
    OsndStream_LetGo(s);
    EndTheRound();
  }
}

// Of two closes of a stream whose selection is queued, the second looked at
// the stream before the first took the selection back, and looks again while
// the first is held between its take-back and its mark. The test holds the
// stream: the second close ends only after the first has marked it.
TEST_F(SelectClose, ASecondCloseThatLookedBeforeTheFirstTookTheSelectionBackSucceeds) {
  OSND_STREAM *s = OpenReady();
  ASSERT_NE(s, nullptr);
  OsndStream_Hold(s);
  ASSERT_NO_FATAL_FAILURE(StopTheSelection(s, Stage::kQueued));
  SystemPausePoint read("stream.close.read", OnSecondParty);
  Answer first, later;
  std::atomic<bool> laterEnded{false};
  second = SecondParty([&] {
    later.Close(s);
    laterEnded = true;
  });
  ASSERT_TRUE(read.WaitReached(kActDeadlineMs));
  SystemPausePoint checked("lifetime.close.checked");
  closing = std::thread([&] { first.Close(s); });
  ASSERT_TRUE(checked.WaitReached(kActDeadlineMs));
  {
    // Until the second ends, or waits for the mark the first is about to set.
    SystemPausePoint waiting("lifetime.hold-lock.waiting", OnSecondParty);
    read.Release();
    EXPECT_TRUE(PollUntil([&] { return laterEnded || waiting.Reached(); }, kActDeadlineMs));
  }
  checked.Release();
  second.join();
  closing.join();
  EXPECT_TRUE(first.closed.load()) << "error " << first.error.load();
  EXPECT_TRUE(later.closed.load()) << "error " << later.error.load();
  OsndStream_LetGo(s);
  EndTheRound();
}

// The safety net: selections and closes at random moments, on one thread (a
// close up to 6 ms after the selection) and on two (selections asked for over
// and over beside the close until it has begun, then a close of their own,
// the second). QMV_SELECT_CLOSE_SEED repeats a run's picks.
TEST_F(SelectClose, RandomSelectionsAndClosesNeverSeeACloseFail) {
  const char *given = std::getenv("QMV_SELECT_CLOSE_SEED");
  const unsigned seed = given ? unsigned(std::strtoul(given, nullptr, 10)) : std::random_device{}();
  std::printf("[ select-close ] seed %u (QMV_SELECT_CLOSE_SEED repeats it)\n", seed);
  SCOPED_TRACE("QMV_SELECT_CLOSE_SEED=" + std::to_string(seed));
  std::mt19937 random(seed);
  std::uniform_int_distribution<int> delayUs(0, 6000);
  constexpr int kBatch = 50, kBatches = 10;  // the even batches on one thread, the odd ones on two
  int failed = 0;
  for (int batch = 0; batch < kBatches; ++batch) {
    std::vector<OSND_STREAM *> streams;
    for (int i = 0; i < kBatch; ++i) streams.push_back(OpenBank());
    for (OSND_STREAM *s : streams) {
      ASSERT_NE(s, nullptr);
      ASSERT_TRUE(PollUntil([s] { return OsndStream_IsReady(s); }, kActDeadlineMs));
    }
    for (OSND_STREAM *s : streams) {
      const auto delay = std::chrono::microseconds(delayUs(random));
      const int entry = int(random() % 2);
      if (batch % 2 == 0) {
        EXPECT_TRUE(OSND_Stream_SetSubStream(s, entry)) << "error " << OSND_GetError();
        std::this_thread::sleep_for(delay);
        failed += !OSND_Stream_Close(s);
        continue;
      }
      OsndStream_Hold(s);
      std::atomic<bool> closedAgain{false}, returned{false};
      second = std::thread([&] {
        for (int k = entry; !returned && !OsndStream_Closing(s); k ^= 1) {
          static_cast<void>(OSND_Stream_SetSubStream(s, k));
          std::this_thread::sleep_for(std::chrono::microseconds(100));
        }
        closedAgain = OSND_Stream_Close(s);
      });
      std::this_thread::sleep_for(delay);
      failed += !OSND_Stream_Close(s);
      returned = true;
      second.join();
      failed += !closedAgain;
      OsndStream_LetGo(s);
    }
  }
  EXPECT_EQ(failed, 0) << "closes failed";
  EndTheRound();
}

}  // namespace

}  // namespace select_close_test
