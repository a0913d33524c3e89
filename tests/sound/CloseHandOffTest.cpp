// A stream's close or a song's free at the step where another party has
// checked the record, or the close has taken out what the record owns: each
// test stops one party there (a pause point) and looks at what the guard
// keeps true, so that a guard undone fails here in a plain run, whatever the
// load: a lock the stopped party must hold is tried from the test's thread,
// a wait the other party must make is a point it reaches, and a record that
// must outlive a free is still in the engine's memory count.
#include "WaitSupport.h"
#include "OsbWriterSupport.h"
#include "SoundTestSupport.h"

#include "sound/src/core/osnd_records.h"
#include "sound/src/song/music_core.h"
#include "sound/src/stream/osnd_stream.h"
#include "sound/src/system/system_memory.h"
#include "sound/src/system/system_pause.h"
#include "sound/src/system/system_thread.h"

#include <atomic>
#include <cstdlib>
#include <functional>
#include <thread>

namespace close_hand_off_test {

namespace {

// Whether another thread holds the lock now (taken back at once if not).
bool HeldElsewhere(SystemCriticalSection lock) {
  if (!SystemThread_TryEnterCriticalSection(lock)) return true;
  SystemThread_LeaveCriticalSection(lock);
  return false;
}

Entry Tone(int frames, int rate) {
  Entry e = Pcm16(frames);
  e.frequency = rate;
  return e;
}

class CloseHandOff : public NonRealtimeEngine {
 protected:
  void SetUp() override {
    NonRealtimeEngine::SetUp();
    baseline = SystemMemory_BytesInUse();
  }
  void TearDown() override {
    for (std::thread *t : {&second, &third})
      if (t->joinable()) t->join();
    NonRealtimeEngine::TearDown();
  }
  OSND_STREAM *OpenBank(const std::vector<Entry> &entries, unsigned mode = 0) {
    bank = Bank(entries);
    return OSND_Stream_Open(reinterpret_cast<const char *>(bank.data()), OSND_MODE_MEMORY | OSND_MODE_2D | mode, 0,
                            int(bank.size()));
  }

  int64_t baseline = 0;
  std::vector<uint8_t> bank;
  std::thread second, third;
};

// A time read held before its stream's close was marked reads the stream
// under the list lock alone: the close takes out and frees what the record
// owns under that lock (and the decode lock), so the read ends before the
// release or finds nothing. Stopped with the parts taken out, the close
// holds both.
TEST_F(CloseHandOff, AReleaseTakesTheRecordsPartsUnderBothStreamLocks) {
  OSND_STREAM *s = OpenBank({Tone(4000, 44100)});
  ASSERT_NE(s, nullptr) << OSND_GetError();
  SystemPausePoint held("stream.call.held", OnSecondParty);
  std::atomic<int> time{-1};
  second = SecondParty([&] { time = OSND_Stream_GetTime(s); });
  ASSERT_TRUE(held.WaitReached());
  SystemPausePoint taken("stream.release.taken");
  std::atomic<bool> closed{false};
  third = std::thread([&] { closed = OSND_Stream_Close(s); });
  ASSERT_TRUE(taken.WaitReached()) << "the close did not reach its release";
  EXPECT_TRUE(HeldElsewhere(gOsndStreams.listLock)) << "the parts are taken out beside the list's readers";
  EXPECT_TRUE(HeldElsewhere(gOsndStreams.decodeLock)) << "the parts are taken out beside a decode";
  held.Release();
  taken.Release();
  third.join();
  second.join();
  EXPECT_TRUE(closed.load());
  EXPECT_EQ(time.load(), 0) << "a time read from a released stream";
  EXPECT_EQ(SystemMemory_BytesInUse(), baseline) << "the record outlived its last hold";
}

// A new entry's sync points swapped in: the handed-out points of the old
// entry are forgotten and the lists exchanged in one step under the list
// lock that the mixer's scan, an add and a delete walk and edit them under.
TEST_F(CloseHandOff, AnEntrysSyncPointsAreSwappedInUnderTheListLock) {
  Entry first = Tone(3000, 22050), next = Tone(3000, 22050);
  first.sync = {{100, "a"}};
  next.sync = {{200, "b"}};
  OSND_STREAM *s = OpenBank({first, next});
  ASSERT_NE(s, nullptr) << OSND_GetError();
  OSND_SYNCPOINT *added = OSND_Stream_AddSyncPoint(s, 300, "of the first entry");
  ASSERT_NE(added, nullptr) << OSND_GetError();
  SystemPausePoint exchanging("sync.list.exchanging", OnSecondParty);
  std::atomic<bool> chosen{false};
  second = SecondParty([&] { chosen = OSND_Stream_SetSubStream(s, 1); });
  ASSERT_TRUE(exchanging.WaitReached());
  EXPECT_TRUE(HeldElsewhere(gOsndStreams.listLock)) << "the lists are exchanged beside their walkers";
  exchanging.Release();
  second.join();
  EXPECT_TRUE(chosen.load());
  EXPECT_FALSE(OSND_Stream_DeleteSyncPoint(added)) << "a point of the old entry is still handed out";
  EXPECT_TRUE(OSND_Stream_Close(s));
  EXPECT_EQ(SystemMemory_BytesInUse(), baseline);
}

// Of two frees of a song that a third party holds, the second returns at
// once: it takes no hold of its own, so letting one go would release the
// song under the holder. The song stays in memory until the holder lets go.
TEST_F(CloseHandOff, ASecondFreeOfAHeldSongLeavesItToTheFirst) {
  const std::vector<uint8_t> songBank = Bank({Tone(3000, 22050)});
  MusicSong *song = Music_CreateSong();
  ASSERT_NE(song, nullptr);
  ASSERT_EQ(Music_LoadSong(song, reinterpret_cast<const char *>(songBank.data()), OSND_MODE_MEMORY, 0,
                           int(songBank.size()), nullptr, 0),
            song)
      << OSND_GetError();
  const int64_t loaded = SystemMemory_BytesInUse();
  ASSERT_GT(loaded, baseline);
  SystemPausePoint held("song.call.held", OnSecondParty);
  std::atomic<int> looping{-2};
  second = SecondParty([&] { looping = Music_SetLooping(song, true); });
  ASSERT_TRUE(held.WaitReached());
  Music_FreeSong(song);  // the application's
  Music_FreeSong(song);  // its callback's, say: the song is the first one's
  EXPECT_EQ(SystemMemory_BytesInUse(), loaded) << "the song was released under its holder";
  held.Release();
  second.join();
  EXPECT_EQ(SystemMemory_BytesInUse(), baseline) << "the song outlived its last hold";
}

// The open thread has taken a song's background load and named the song as
// the one it works on, in one step under the queue lock, and is stopped just
// after: the free finds the load gone from the queue and must wait for the
// thread, not release the song under it.
TEST_F(CloseHandOff, AFreeWaitsForTheLoadTheOpenThreadTook) {
  const std::vector<uint8_t> songBank = Bank({Tone(3000, 22050)});
  MusicSong *song = Music_CreateSong();
  ASSERT_NE(song, nullptr);
  SystemPausePoint taken("queue.work.taken");
  ASSERT_EQ(Music_LoadSong(song, reinterpret_cast<const char *>(songBank.data()),
                           OSND_MODE_MEMORY | OSND_MODE_NONBLOCKING, 0, int(songBank.size()), nullptr, 0),
            song)
      << OSND_GetError();
  ASSERT_TRUE(taken.WaitReached());
  SystemPausePoint waiting("queue.done.waiting");
  second = std::thread([song] { Music_FreeSong(song); });
  EXPECT_TRUE(waiting.WaitReached()) << "the free did not wait for the load under way";
  waiting.Release();
  taken.Release();
  second.join();
  // The loaded callback's thread may hold the song a moment after the free.
  EXPECT_TRUE(PollUntil([this] { return SystemMemory_BytesInUse() == baseline; }, 60000));
}

// A stream's own background sub-stream selection still queued (the open
// thread busy with another open) when the application closes it, on the same
// thread: the close takes the selection back and closes the stream.
TEST_F(CloseHandOff, ACloseTakesBackItsStreamsQueuedSelection) {
  OSND_STREAM *s = OpenBank({Tone(3000, 22050), Tone(2000, 22050)}, OSND_MODE_NONBLOCKING);
  ASSERT_NE(s, nullptr) << OSND_GetError();
  ASSERT_TRUE(PollUntil([s] { return OsndStream_IsReady(s); }, 60000));
  std::vector<int16_t> pcm(2000, 100);
  SystemPausePoint busy("queue.work.taken");
  OSND_STREAM *other = OSND_Stream_Open(reinterpret_cast<const char *>(pcm.data()),
                                        OSND_MODE_MEMORY | OSND_MODE_RAW | OSND_MODE_16BITS | OSND_MODE_NONBLOCKING,
                                        0, int(pcm.size() * 2));
  ASSERT_NE(other, nullptr);
  ASSERT_TRUE(busy.WaitReached());
  ASSERT_TRUE(OSND_Stream_SetSubStream(s, 1)) << OSND_GetError();
  ASSERT_TRUE(OSND_Stream_Close(s)) << "error " << OSND_GetError();
  busy.Release();
  ASSERT_TRUE(PollUntil([other] { return OsndStream_IsReady(other); }, 60000));
  EXPECT_TRUE(OSND_Stream_Close(other));
  EXPECT_TRUE(PollUntil([this] { return SystemMemory_BytesInUse() == baseline; }, 60000));
}

// The same selection taken by the open thread and stopped there: the close
// waits for it (a party found working on the record), then closes.
TEST_F(CloseHandOff, ACloseWaitsForItsStreamsSelectionUnderWay) {
  OSND_STREAM *s = OpenBank({Tone(3000, 22050), Tone(2000, 22050)}, OSND_MODE_NONBLOCKING);
  ASSERT_NE(s, nullptr) << OSND_GetError();
  ASSERT_TRUE(PollUntil([s] { return OsndStream_IsReady(s); }, 60000));
  SystemPausePoint taken("queue.work.taken");
  ASSERT_TRUE(OSND_Stream_SetSubStream(s, 1)) << OSND_GetError();
  ASSERT_TRUE(taken.WaitReached());
  SystemPausePoint waiting("queue.done.waiting");
  std::atomic<bool> closed{false};
  std::atomic<int> error{-1};
  second = std::thread([&] {
    closed = OSND_Stream_Close(s);
    error = OSND_GetError();
  });
  EXPECT_TRUE(waiting.WaitReached()) << "the close did not wait for the selection under way";
  waiting.Release();
  taken.Release();
  second.join();
  EXPECT_TRUE(closed.load()) << "error " << error.load();
  EXPECT_TRUE(PollUntil([this] { return SystemMemory_BytesInUse() == baseline; }, 60000));
}

}  // namespace

// The handed-out sync points are looked up by a delete or an add made after
// the process's exit handlers ran (a thread of the application still
// deleting its points as the process exits). In a child process the last
// exit handler, registered before any static object is made (so that it runs
// after all of them are destroyed), deletes a point added before the exit.
namespace {

OSND_SYNCPOINT *gPointAtExit = nullptr;

void DeleteThePointAtExit() {
  if (!gPointAtExit) return;
  // The answer is the child's exit status: 0 when the point was found.
  std::_Exit(OSND_Stream_DeleteSyncPoint(gPointAtExit) ? 0 : 4);
}

[[gnu::constructor(101)]] void RegisterDeleteThePointAtExit() { std::atexit(DeleteThePointAtExit); }

TEST_F(CloseHandOff, ASyncPointDeletedAfterTheExitHandlersIsFound) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        OSND_STREAM *s = OpenBank({Tone(4000, 44100)});
        if (!s) std::_Exit(2);
        gPointAtExit = OSND_Stream_AddSyncPoint(s, 10, "at exit");
        if (!gPointAtExit) std::_Exit(3);
        std::exit(1);  // the handler's answer replaces this status
      },
      ::testing::ExitedWithCode(0), "");
}

}  // namespace

}  // namespace close_hand_off_test
