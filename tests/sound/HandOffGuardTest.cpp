// Hand-offs at the step where one party has checked a record and is about
// to act on it: each test stops that party there (a pause point, or a timer
// procedure that does not return) while another acts, so that the lock or
// the hold that keeps the check true is proved at once; without it the test
// fails (plain: a wrong answer; AddressSanitizer: freed memory). The last
// needs no second thread: a song's sample on the application's own channel.
#include "OsbWriterSupport.h"
#include "SongTestSupport.h"
#include "WaitSupport.h"

#include "platform/winmm/MultimediaTimer.h"
#include "sound/src/core/osnd_lifetime.h"
#include "sound/src/stream/osnd_stream.h"
#include "sound/src/system/system_memory.h"
#include "sound/src/system/system_pause.h"

#include <atomic>
#include <cstdlib>
#include <functional>
#include <thread>

namespace hand_off_guard_test {

namespace {

// Two closes of one record: the first is stopped after it found the record
// unmarked, before it marks it (where a check and a mark made under two
// takes of the lock would leave the second a gap). The second waits at the
// lock until the mark is set and leaves the record to the first.
TEST(HandOffGuard, OfTwoClosesOfARecordOneWins) {
  OsndLifetime life{};
  SystemPausePoint checked("lifetime.close.checked", OnSecondParty);
  std::atomic<int> wins{0};
  std::thread first = SecondParty([&] { wins += OsndLifetime_BeginClose(&life); });
  ASSERT_TRUE(checked.WaitReached());
  EXPECT_TRUE(ActWaits("lifetime.hold-lock.waiting", [&] { wins += OsndLifetime_BeginClose(&life); },
                       [&] { checked.Release(); }))
      << "a close decided between another's check and mark";
  first.join();
  EXPECT_EQ(wins.load(), 1);
  EXPECT_EQ(life.holds, 1);
}

// A one-shot timer's thread looks the timer table up after its procedure
// returns, which may be after the process's exit handlers ran. In a child
// process the procedure is held until the last exit handler, registered
// before any static object is made (so it runs after all of them are
// destroyed), lets it return and waits for its thread to end.
std::atomic<bool> gHeldTimer{false}, gTimerEntered{false}, gTimerReleased{false}, gTimerThreadEnded{false};

// Made on the timer's thread: it goes as that thread ends, after the look-up.
struct EndOfTimerThread {
  ~EndOfTimerThread() { gTimerThreadEnded = true; }
};

void LetTheTimerEnd() {
  if (!gHeldTimer) return;
  gTimerReleased = true;
  PollUntil([] { return gTimerThreadEnded.load(); }, kActDeadlineMs);
}

[[gnu::constructor(101)]] void RegisterLetTheTimerEnd() { std::atexit(LetTheTimerEnd); }

TEST(HandOffGuard, AOneShotTimerEndingAfterTheExitHandlersFindsItsTable) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        gHeldTimer = true;
        const UINT id = timeSetEvent(
            1, 0,
            [](UINT, UINT, DWORD_PTR, DWORD_PTR, DWORD_PTR) {
              thread_local EndOfTimerThread end;
              (void)end;
              gTimerEntered = true;
              while (!gTimerReleased) std::this_thread::yield();
            },
            0, TIME_ONESHOT);
        if (id == 0 || !PollUntil([] { return gTimerEntered.load(); }, kActDeadlineMs)) std::_Exit(3);
        std::exit(0);
      },
      ::testing::ExitedWithCode(0), "");
}

// The engine on the non-realtime output; stepped through OSND_Update.
class HandOffGuardEngine : public CapturedSong {
 protected:
  void SetUp() override {
    CapturedSong::SetUp();
    baseline = SystemMemory_BytesInUse();
  }
  void TearDown() override {
    if (second.joinable()) second.join();
    CapturedSong::TearDown();
  }
  OSND_STREAM *OpenBank(const std::vector<Entry> &entries) {
    bank = Bank(entries);
    return OSND_Stream_Open(reinterpret_cast<const char *>(bank.data()), OSND_MODE_MEMORY | OSND_MODE_2D, 0,
                            int(bank.size()));
  }
  // Runs `part` on a third thread while the second is stopped at `point`
  // until the third ends or begins to wait for one of the engine's locks,
  // then lets the second go on; both have ended on return. True when the
  // third waited.
  bool Beside(SystemPausePoint &point, const std::function<void()> &part) {
    const bool waited = ActWaits("lock.waiting", part, [&] { point.Release(); });
    second.join();
    return waited;
  }

  int64_t baseline = 0;
  std::vector<uint8_t> bank;
  std::thread second;
};

Entry Tone(int frames, int rate) {
  Entry e = Pcm16(frames);
  e.frequency = rate;
  return e;
}

// A sync point added while its stream is closed: the add reads the stream
// under the locks its close releases the points under, so the point is the
// stream's (and goes with it) or refused; never one the close left behind.
TEST_F(HandOffGuardEngine, ASyncPointAddedBesideTheCloseGoesWithTheStream) {
  OSND_STREAM *s = OpenBank({Tone(4000, 44100)});
  ASSERT_NE(s, nullptr) << OSND_GetError();
  SystemPausePoint adding("stream.sync.adding", OnSecondParty);
  std::atomic<OSND_SYNCPOINT *> point{nullptr};
  second = SecondParty([&] { point = OSND_Stream_AddSyncPoint(s, 10, "beside the close"); });
  ASSERT_TRUE(adding.WaitReached());
  std::atomic<bool> closed{false};
  EXPECT_TRUE(Beside(adding, [&] { closed = OSND_Stream_Close(s); })) << "the close went on beside the add";
  EXPECT_TRUE(closed.load());
  if (point) {
    EXPECT_FALSE(OSND_Stream_DeleteSyncPoint(point)) << "a point outlived its stream's close";
  }
  EXPECT_EQ(SystemMemory_BytesInUse(), baseline);
}

// A sync point added while another entry is chosen: the add reads the rate
// and the lengths of one entry, as the choice writes them under the list
// lock. 20,000 samples lie past the end of both entries, not of the first's
// rate with the second's length.
TEST_F(HandOffGuardEngine, ASyncPointAddedBesideAnEntryChangeMeasuresOneEntry) {
  OSND_STREAM *s = OpenBank({Tone(1000, 44100), Tone(8000, 8000)});
  ASSERT_NE(s, nullptr) << OSND_GetError();
  SystemPausePoint adding("stream.sync.adding", OnSecondParty);
  std::atomic<OSND_SYNCPOINT *> point{nullptr};
  second = SecondParty([&] { point = OSND_Stream_AddSyncPoint(s, 20000, "past both"); });
  ASSERT_TRUE(adding.WaitReached());
  std::atomic<bool> chosen{false};
  EXPECT_TRUE(Beside(adding, [&] { chosen = OSND_Stream_SetSubStream(s, 1); }))
      << "the entry changed beside the add";
  EXPECT_TRUE(chosen.load());
  EXPECT_EQ(point.load(), nullptr) << "a point past the entry's end was taken";
  EXPECT_TRUE(OSND_Stream_Close(s));
}

// A bank song stopped just as the mixer would start its first sample on the
// shared channel: the stop looks at the channel's song under the mixer's
// lock that the tick chooses it under, so nothing sounds once it returns.
TEST_F(HandOffGuardEngine, ABankSongStoppedBesideItsFirstTickIsSilent) {
  MusicSong *song = Load(Bank({Tone(30000, 44100)}), OSND_MODE_LOOP_OFF);
  ASSERT_NE(song, nullptr) << OSND_GetError();
  ASSERT_TRUE(Music_PlaySong(song));
  SystemPausePoint checked("song.stop.bank-checked", OnSecondParty);
  second = SecondParty([&] { Music_StopSong(song); });
  ASSERT_TRUE(checked.WaitReached());
  EXPECT_TRUE(Beside(checked, [&] { Step(); })) << "the tick went on beside the stop";
  Step();
  EXPECT_EQ(OSND_GetChannelsPlaying(), 0) << "a stopped bank song's sample sounds";
}

// A song's sample that the application plays on a channel of its own (as
// found on the song's channel): the song's free frees it as any freed sample
// is, so that no channel keeps naming it.
TEST_F(HandOffGuardEngine, ASongsSamplePlayingElsewhereStopsWithTheSongsFree) {
  MusicSong *song = Load(Bank({Tone(30000, 44100)}), OSND_MODE_LOOP_OFF);
  ASSERT_NE(song, nullptr) << OSND_GetError();
  ASSERT_TRUE(Music_PlaySong(song));
  Step();
  OSND_SAMPLE *found = nullptr;
  for (int c = 0; c < 8 && !found; ++c) found = OSND_GetCurrentSample(c);
  ASSERT_NE(found, nullptr);
  const int own = OSND_PlaySound(OSND_FREE, found);
  ASSERT_GE(own, 0);
  songs.clear();
  Music_FreeSong(song);
  ASSERT_EQ(OSND_GetCurrentSample(own), nullptr) << "a channel names a freed song's sample";
  Step();
  EXPECT_EQ(OSND_GetChannelsPlaying(), 0);
}

}  // namespace

}  // namespace hand_off_guard_test
