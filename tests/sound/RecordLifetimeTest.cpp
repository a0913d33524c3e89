// The lifetime rule streams and songs share, one step at a time: a call that
// holds its stream or song when another thread's close or free begins keeps
// the record whole, and the record goes when the last party lets go. Each
// test stops the call at the exact step (a pause point) while the other
// party acts, so that it fails at once with a hold undone (AddressSanitizer:
// a use of freed memory; plain: a wrong answer or a leak).
#include "SoundTestSupport.h"
#include "TrackerWriterSupport.h"
#include "WaitSupport.h"
#include "sound/src/song/music_core.h"
#include "sound/src/stream/osnd_stream.h"
#include "sound/src/system/system_memory.h"
#include "sound/src/system/system_pause.h"

#include <atomic>
#include <chrono>
#include <string>
#include <thread>

namespace record_lifetime_test {

namespace {

// Pause points armed by these tests stop the test's second thread only.
thread_local bool tSecondParty = false;
bool OnSecondParty() { return tSecondParty; }

class RecordLifetime : public ::testing::Test {
 protected:
  void SetUp() override {
    OsndOutputNoSound.mixerThread = 1;
    ASSERT_TRUE(OSND_SetOutput(OSND_OUTPUT_NOSOUND));
    ASSERT_TRUE(OSND_Init(44100, 16, 0));
    baseline = SystemMemory_BytesInUse();
  }
  void TearDown() override {
    if (second.joinable()) second.join();
    OSND_Close();
    RemoveTestFiles("record-lifetime");
  }
  void OnSecond(std::function<void()> part) {
    second = std::thread([part] {
      tSecondParty = true;
      part();
    });
  }

  int64_t baseline = 0;
  std::thread second;
};

// A stream call stopped between its hold and its lock while the application
// closes the stream: the close returns at once, the record stays for the
// call, the call then fails with OSND_ERR_INVALID_PARAM (it sees the close
// mark under the lock the close took) and frees the record as it lets go.
// Two calls that succeed on a live stream: the loop count and the stop.
TEST_F(RecordLifetime, AStreamCallHeldWhenItsCloseBeginsFailsAndFreesTheRecordLast) {
  const std::string path = TestFile("record-lifetime", "ramp.raw");
  ASSERT_TRUE(WriteRawRamp(path, 4000));
  for (const bool stop : {false, true}) {
    SCOPED_TRACE(stop ? "stop" : "loop count");
    OSND_STREAM *s = OSND_Stream_Open(path.c_str(), OSND_MODE_RAW | OSND_MODE_16BITS | OSND_MODE_STEREO, 0, 0);
    ASSERT_NE(s, nullptr);
    SystemPausePoint held("stream.call.held", OnSecondParty);
    std::atomic<int> error{-1};
    std::atomic<bool> answer{true};
    OnSecond([&] {
      answer = stop ? OSND_Stream_Stop(s) : OsndStream_SetLoopCount(s, 3);
      error = OSND_GetError();
    });
    ASSERT_TRUE(held.WaitReached());
    {
      Watchdog dog(kHangSeconds, "a stream's close beside a call that holds it");
      EXPECT_TRUE(OSND_Stream_Close(s));
    }
    EXPECT_GT(SystemMemory_BytesInUse(), baseline) << "the record went while a call held it";
    held.Release();
    second.join();
    EXPECT_FALSE(answer.load()) << "a call went on with a stream closed under it";
    EXPECT_EQ(error.load(), OSND_ERR_INVALID_PARAM);
    EXPECT_EQ(SystemMemory_BytesInUse(), baseline);
  }
}

// Two closes of one stream: the first has marked it when the second comes.
// The second returns at once and leaves the work to the first: nothing of the
// stream is released until the first goes on, and it is freed once.
TEST_F(RecordLifetime, ASecondCloseLeavesTheStreamToTheFirst) {
  const std::string path = TestFile("record-lifetime", "ramp.raw");
  ASSERT_TRUE(WriteRawRamp(path, 4000));
  OSND_STREAM *s = OSND_Stream_Open(path.c_str(), OSND_MODE_RAW | OSND_MODE_16BITS | OSND_MODE_STEREO, 0, 0);
  ASSERT_NE(s, nullptr);
  SystemPausePoint marked("stream.close.marked", OnSecondParty);
  std::atomic<bool> first{false};
  OnSecond([&] { first = OSND_Stream_Close(s); });
  ASSERT_TRUE(marked.WaitReached());
  const int64_t open = SystemMemory_BytesInUse();
  {
    Watchdog dog(kHangSeconds, "a second close of a stream whose first close has begun");
    EXPECT_TRUE(OSND_Stream_Close(s));
  }
  EXPECT_EQ(SystemMemory_BytesInUse(), open) << "the second close released the stream";
  marked.Release();
  second.join();
  EXPECT_TRUE(first.load());
  EXPECT_EQ(SystemMemory_BytesInUse(), baseline);
}

// A playing song freed while a call on another thread still holds it: from
// the free's return it is silent and makes no callback, though its release
// waits for that call.
TEST_F(RecordLifetime, AFreedSongStillHeldMakesNoMoreCallbacks) {
  const std::vector<uint8_t> it = OneNoteIt();
  MusicSong *song = Music_CreateSong();
  ASSERT_NE(Music_LoadSong(song, reinterpret_cast<const char *>(it.data()), OSND_MODE_MEMORY, 0, int(it.size()),
                           nullptr, 0),
            nullptr);
  static std::atomic<int> gRows;
  gRows = 0;
  ASSERT_TRUE(Music_SetCallback(song, MUSIC_CALLBACK_ROW, 0, [](MusicSong *, int) { ++gRows; }, 1));
  ASSERT_TRUE(Music_PlaySong(song));
  ASSERT_TRUE(PollUntil([] { return gRows.load() > 0; }));
  SystemPausePoint held("song.call.held", OnSecondParty);
  OnSecond([&] { Music_SetLooping(song, true); });
  ASSERT_TRUE(held.WaitReached());
  int rows = 0;
  {
    MixCounter mix;
    ASSERT_TRUE(mix.Made());
    Music_FreeSong(song);
    rows = gRows;
    ASSERT_TRUE(mix.WaitMixed(4 * 5292)) << "the mixer mixed nothing";  // four rows at 125 bpm, speed 6
  }
  EXPECT_EQ(gRows.load(), rows) << "row callbacks of a song whose free had returned";
  held.Release();
  second.join();
  EXPECT_EQ(SystemMemory_BytesInUse(), baseline);
}

// The callback thread has taken a finished open's record (stream or song) and
// is about to make its open-complete or loaded callback when the application
// closes the stream or frees the song: the close returns, the callback is not
// made, and the record goes when the callback thread lets go.
TEST_F(RecordLifetime, AnOpenClosedAsItsCallbackIsAboutToBeMadeGetsNone) {
  const std::string path = TestFile("record-lifetime", "ramp.raw");
  ASSERT_TRUE(WriteRawRamp(path, 4000));
  const std::vector<uint8_t> it = OneNoteIt();
  static std::atomic<int> gCalled;
  gCalled = 0;
  for (const bool song : {false, true}) {
    SCOPED_TRACE(song ? "song" : "stream");
    SystemPausePoint held("callbacks.record-held");
    if (song) {
      MusicSong *loading = Music_CreateSong();
      loading->loadDone = [](MusicSong *, int) { ++gCalled; };
      ASSERT_NE(Music_LoadSong(loading, reinterpret_cast<const char *>(it.data()),
                               OSND_MODE_MEMORY | OSND_MODE_NONBLOCKING, 0, int(it.size()), nullptr, 0),
                nullptr);
      ASSERT_TRUE(held.WaitReached());
      Music_FreeSong(loading);
    } else {
      OSND_STREAM *s = OSND_Stream_Open(path.c_str(), OSND_MODE_RAW | OSND_MODE_NONBLOCKING, 0, 0);
      ASSERT_NE(s, nullptr);
      OsndStream_SetOpenCallback(s, [](OSND_STREAM *, void *, int, void *) { return bool(++gCalled); });
      ASSERT_TRUE(held.WaitReached());
      EXPECT_TRUE(OSND_Stream_Close(s));
    }
    held.Release();
    EXPECT_TRUE(PollUntil([&] { return SystemMemory_BytesInUse() == baseline; }))
        << "the record stayed after the callback thread let go";
    EXPECT_EQ(gCalled.load(), 0) << "a callback came after its record's close had returned";
  }
}

// A song call stopped just after it took its hold while the application
// frees the song: the free returns at once, the call ends on a whole song
// and its let-go releases the song, channels, samples and callbacks. (The
// call sets the loop mark: a play held so would start nothing, the free
// having silenced the song.)
TEST_F(RecordLifetime, ASongCallHeldWhenItsFreeBeginsEndsAndReleasesTheSong) {
  const std::vector<uint8_t> it = OneNoteIt();
  MusicSong *song = Music_CreateSong();
  ASSERT_NE(Music_LoadSong(song, reinterpret_cast<const char *>(it.data()), OSND_MODE_MEMORY, 0, int(it.size()),
                           nullptr, 0),
            nullptr);
  ASSERT_TRUE(Music_SetCallback(song, MUSIC_CALLBACK_ROW, 0, [](MusicSong *, int) {}, 1));
  SystemPausePoint held("song.call.held", OnSecondParty);
  std::atomic<bool> ended{false};
  OnSecond([&] { ended = Music_SetLooping(song, true) == 1; });
  ASSERT_TRUE(held.WaitReached());
  {
    Watchdog dog(kHangSeconds, "a song's free beside a call that holds it");
    Music_FreeSong(song);
  }
  EXPECT_GT(SystemMemory_BytesInUse(), baseline) << "the song went while a call held it";
  held.Release();
  second.join();
  EXPECT_TRUE(ended.load()) << "a call that held the song before its free did not end on it";
  EXPECT_EQ(SystemMemory_BytesInUse(), baseline);
}

}  // namespace

}  // namespace record_lifetime_test
