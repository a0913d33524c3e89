// A song call made inside a DSP unit's callback while the song's free is
// under way, and a finished open's callback taken by the callback thread
// while the application closes the stream: each test stops one party at the
// step where the other must find the mark or the hold, so that a guard
// undone fails the plain build at once rather than by a lucky schedule.
#include "SoundTestSupport.h"
#include "TrackerWriterSupport.h"
#include "WaitSupport.h"
#include "sound/src/song/music_core.h"
#include "sound/src/stream/osnd_stream.h"
#include "sound/src/system/system_memory.h"
#include "sound/src/system/system_pause.h"

#include <atomic>
#include <thread>

namespace song_call_hand_off_test {

namespace {

struct UnitCall {
  MusicSong *song = nullptr;
  std::atomic<bool> armed{false}, made{false};
  std::atomic<int> answer{0}, error{OSND_ERR_NONE};
};

void *SetLoopingInUnit(void *, void *buffer, int, void *user) {
  auto &call = *static_cast<UnitCall *>(user);
  if (call.armed.exchange(false)) {
    call.answer = Music_SetLooping(call.song, true);
    call.error = OSND_GetError();
    call.made = true;
  }
  return buffer;
}

class SongCallHandOff : public NonRealtimeEngine {};

// The song's free has marked it and is stopped before it lets go, so the song
// is whole, when a DSP unit's callback (under the mixer's lock, holding no
// hold of its own) calls on it: the call sees the mark, fails and changes
// nothing.
TEST_F(SongCallHandOff, ACallInsideADspUnitOnASongWhoseFreeBeganFails) {
  const std::vector<uint8_t> it = OneNoteIt();
  MusicSong *song = Music_CreateSong();
  ASSERT_NE(Music_LoadSong(song, reinterpret_cast<const char *>(it.data()), OSND_MODE_MEMORY, 0, int(it.size()),
                           nullptr, 0),
            nullptr);
  ASSERT_EQ(Music_SetLooping(song, false), 1);
  UnitCall call;
  call.song = song;
  OSND_DSPUNIT *unit = OSND_DSP_Create(SetLoopingInUnit, 500, &call);
  ASSERT_NE(unit, nullptr);
  OSND_DSP_SetActive(unit, true);
  SystemPausePoint marked("song.free.marked", OnSecondParty);
  std::thread freeing = SecondParty([song] { Music_FreeSong(song); });
  EXPECT_TRUE(marked.WaitReached(kActDeadlineMs));
  call.armed = true;
  OSND_Update();  // this thread mixes the block and runs the chain
  EXPECT_TRUE(call.made.load()) << "the unit's callback was not made";
  EXPECT_EQ(call.answer.load(), -1) << "a call inside a DSP unit went on with a song whose free had begun";
  EXPECT_EQ(call.error.load(), OSND_ERR_INVALID_PARAM);
  EXPECT_EQ(song->looping, 0) << "the refused call changed the song";
  marked.Release();
  freeing.join();
  OSND_DSP_Free(unit);
}

class CompletionHandOff : public RampStreamTest {
 protected:
  CompletionHandOff() : RampStreamTest("completion-hand-off") {}
};

// The callback thread has taken a finished open's completion off the queue
// (the close can no longer drop it) and is stopped before it holds the
// record when the application closes the stream: the close cannot release
// the record until the hold is taken, and once it returns the record stays
// for the callback thread, which makes no callback and frees it as it lets go.
TEST_F(CompletionHandOff, AStreamClosedAsItsOpenCallbackIsTakenStaysForTheCallbackThread) {
  const int64_t baseline = SystemMemory_BytesInUse();
  static std::atomic<int> gCalled;
  gCalled = 0;
  SystemPausePoint taken("callbacks.taken");
  SystemPausePoint held("callbacks.record-held");
  OSND_STREAM *s = OSND_Stream_Open(path.c_str(), OSND_MODE_RAW | OSND_MODE_NONBLOCKING, 0, 0);
  ASSERT_NE(s, nullptr);
  OsndStream_SetOpenCallback(s, [](OSND_STREAM *, void *, int, void *) { return bool(++gCalled); });
  ASSERT_TRUE(taken.WaitReached(kActDeadlineMs));
  std::atomic<pid_t> closer{0};
  std::atomic<bool> closed{false};
  std::thread closing([&] {
    closer = QmvTest::ThisThreadId();
    closed = OSND_Stream_Close(s);
  });
  // The close waits for the queue lock, or it ran to its end.
  QmvTest::WaitUntilBlockedOrFinished(closer, [&] { return closed.load(); });
  EXPECT_GT(SystemMemory_BytesInUse(), baseline) << "the close released the record before it was held";
  taken.Release();
  EXPECT_TRUE(held.WaitReached(kActDeadlineMs));
  {
    Watchdog dog(kHangSeconds, "a stream's close beside its open callback's turn");
    closing.join();
  }
  EXPECT_TRUE(closed.load());
  EXPECT_GT(SystemMemory_BytesInUse(), baseline) << "the record went while the callback thread held it";
  held.Release();
  EXPECT_TRUE(PollUntil([&] { return SystemMemory_BytesInUse() == baseline; }, kActDeadlineMs))
      << "the record stayed after the callback thread let go";
  EXPECT_EQ(gCalled.load(), 0) << "a callback came after its record's close had returned";
}

}  // namespace

}  // namespace song_call_hand_off_test
