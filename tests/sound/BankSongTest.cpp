// Sample banks played as songs, and songs loaded through the background open queue.
#include "OsbWriterSupport.h"
#include "SongTestSupport.h"
#include "TrackerWriterSupport.h"
#include "WaitSupport.h"

#include "sound/src/song/music_core.h"
#include "sound/src/system/system_thread.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <iterator>
#include <thread>
#include <vector>

namespace bank_song_test {

namespace {

// A 16-bit entry holding one level: its samples are told apart in the output by it.
Entry Level(int level, int frames) {
  Entry e;
  e.length = uint32_t(frames);
  for (int i = 0; i < frames; ++i) Put16(e.data, uint32_t(uint16_t(int16_t(level))));
  e.frequency = 44100;
  e.volume = 255;
  e.pan = 128;
  return e;
}

using BankSongTest = CapturedSong;

// The levels the output holds steady for a while (volume ramps left out), in
// the order they come, each once per run.
std::vector<int> LevelRuns(const std::vector<int16_t> &captured) {
  std::vector<int> runs;
  size_t held = 0;
  for (size_t f = 2; f + 1 < captured.size(); f += 2) {
    const int level = captured[f];
    held = std::abs(level - captured[f - 2]) <= 2 ? held + 1 : 0;
    if (level == 0 || held != 256) continue;
    if (runs.empty() || std::abs(runs.back() - level) > 50) runs.push_back(level);
  }
  return runs;
}

TEST_F(BankSongTest, PlaysItsSamplesInOrderOnOneChannel) {
  const std::vector<uint8_t> bank = Bank({Level(4000, 3000), Level(8000, 3000), Level(12000, 3000)});
  MusicSong *song = Load(bank, OSND_MODE_LOOP_OFF);
  ASSERT_NE(song, nullptr) << OSND_GetError();
  EXPECT_EQ(song->type, MUSIC_TYPE_SAMPLEBANK);
  EXPECT_STREQ(song->name, "ZIVE Sample Bank");
  EXPECT_EQ(song->defaultSpeed, 100);
  EXPECT_EQ(song->orderCount, 3);
  ASSERT_TRUE(Music_PlaySong(song));
  int most = 0;
  for (int guard = 0; guard < 400 && song->playing; ++guard) {
    Step();
    most = std::max(most, OSND_GetChannelsPlaying());
  }
  EXPECT_EQ(song->playing, 0);  // ended after its last sample
  EXPECT_EQ(most, 1);
  const std::vector<int> runs = LevelRuns(captured);
  ASSERT_EQ(runs.size(), 3u);
  EXPECT_LT(runs[0], runs[1]);
  EXPECT_LT(runs[1], runs[2]);
  EXPECT_NEAR(double(runs[1]) / runs[0], 2.0, 0.05);
}

TEST_F(BankSongTest, SampleListPicksEntriesAndALoopingSongGoesRound) {
  const std::vector<uint8_t> bank = Bank({Level(4000, 2000), Level(8000, 2000), Level(12000, 2000)});
  const int pick[] = {2, 0};
  MusicSong *song = Music_CreateSong();
  songs.push_back(song);
  ASSERT_NE(Music_LoadSong(song, reinterpret_cast<const char *>(bank.data()), OSND_MODE_MEMORY | OSND_MODE_LOOP_NORMAL,
                           0, int(bank.size()), pick, 2),
            nullptr);
  EXPECT_NE(song->samples[0], nullptr);
  EXPECT_EQ(song->samples[1], nullptr);
  EXPECT_NE(song->samples[2], nullptr);
  ASSERT_TRUE(Music_PlaySong(song));
  PlayFrames(44100);
  EXPECT_EQ(song->playing, 1);
  const std::vector<int> runs = LevelRuns(captured);
  // Entry 0, (1 left out), entry 2, then round again: low, high, low, high...
  ASSERT_GE(runs.size(), 4u);
  for (size_t k = 0; k < 4; ++k) EXPECT_EQ(runs[k] == runs[0], k % 2 == 0) << k;
  EXPECT_LT(runs[0], runs[1]);
  // Stopping the song stops its sound.
  ASSERT_TRUE(Music_StopSong(song));
  Step(4);
  EXPECT_EQ(OSND_GetChannelsPlaying(), 0);
}

TEST_F(BankSongTest, TwoBankSongsShareOneChannel) {
  const std::vector<uint8_t> first = Bank({Level(4000, 40000)});
  const std::vector<uint8_t> second = Bank({Level(12000, 40000)});
  MusicSong *a = Load(first);
  MusicSong *b = Load(second);
  ASSERT_NE(a, nullptr);
  ASSERT_NE(b, nullptr);
  ASSERT_TRUE(Music_PlaySong(a));
  PlayFrames(4410);
  ASSERT_TRUE(Music_PlaySong(b));
  PlayFrames(13230);
  EXPECT_EQ(OSND_GetChannelsPlaying(), 1);
  EXPECT_NEAR(Left(captured.size() / 2 - 10), Left(4000) * 3, 300);
}

std::atomic<int> gDone{0};
std::vector<MusicSong *> gDoneOrder;

void LoadDone(MusicSong *song, int) {
  gDoneOrder.push_back(song);
  ++gDone;
}

bool WaitFor(int count) {
  return PollUntil([count] { return gDone >= count; }, kActDeadlineMs);
}

// An XM module of one channel playing one sine note.
std::vector<uint8_t> OneNoteXm() {
  TrackerSong xm;
  xm.channels = 1;
  TrackerInstrument ins;
  ins.samples.push_back(SineSample(256, 32, 100));
  ins.sampleMap.assign(96, 0);
  xm.instruments = {ins};
  xm.At(0, 0, 0) = {49, 1, 0, 0, 0};
  return xm.Xm();
}

TEST_F(BankSongTest, SongsLoadThroughTheBackgroundQueueInOrder) {
  gDone = 0;
  gDoneOrder.clear();
  const std::vector<uint8_t> module = OneNoteXm();
  const std::vector<uint8_t> bank = Bank({Level(4000, 100)});
  std::vector<MusicSong *> queued;
  for (int k = 0; k < 3; ++k) {
    MusicSong *song = Music_CreateSong();
    songs.push_back(song);
    song->loadDone = LoadDone;
    queued.push_back(song);
  }
  const unsigned memory = OSND_MODE_MEMORY | OSND_MODE_NONBLOCKING;
  ASSERT_EQ(Music_LoadSong(queued[0], reinterpret_cast<const char *>(module.data()), memory, 0, int(module.size()),
                           nullptr, 0),
            queued[0]);
  ASSERT_EQ(Music_LoadSong(queued[1], "/nonexistent/song.xm", OSND_MODE_NONBLOCKING, 0, 0, nullptr, 0), queued[1]);
  ASSERT_EQ(Music_LoadSong(queued[2], reinterpret_cast<const char *>(bank.data()), memory, 0, int(bank.size()),
                           nullptr, 0),
            queued[2]);
  // Not playable before its load is done.
  if (!Music_IsLoaded(queued[0])) {
    EXPECT_FALSE(Music_PlaySong(queued[0]));
    EXPECT_EQ(OSND_GetError(), OSND_ERR_INVALID_PARAM);
  }
  ASSERT_TRUE(WaitFor(3));
  EXPECT_EQ(gDoneOrder, queued);
  EXPECT_TRUE(Music_IsLoaded(queued[0]));
  EXPECT_EQ(queued[0]->type, MUSIC_TYPE_XM);
  EXPECT_FALSE(Music_IsLoaded(queued[1]));
  EXPECT_TRUE(Music_LoadFailed(queued[1]));
  EXPECT_TRUE(Music_IsLoaded(queued[2]));
  EXPECT_EQ(queued[2]->type, MUSIC_TYPE_SAMPLEBANK);
  ASSERT_TRUE(Music_PlaySong(queued[0]));
  PlayFrames(4410);
  EXPECT_GT(Peak(1000, 4410), 1000);
}

// The engine's calls on this thread set and clear its error code while the
// background thread loads; a loader there that reads the code to choose the
// next reader must still read its own, and every song load.
TEST_F(BankSongTest, SongsLoadInTheBackgroundWhileThisThreadsCallsFail) {
  gDone = 0;
  gDoneOrder.clear();
  const std::vector<uint8_t> module = OneNoteXm();
  MusicSong *unloaded = Music_CreateSong();
  songs.push_back(unloaded);
  constexpr int kSongs = 200;
  std::vector<MusicSong *> queued;
  for (int k = 0; k < kSongs; ++k) {
    MusicSong *song = Music_CreateSong();
    songs.push_back(song);
    song->loadDone = LoadDone;
    ASSERT_EQ(Music_LoadSong(song, reinterpret_cast<const char *>(module.data()),
                             OSND_MODE_MEMORY | OSND_MODE_NONBLOCKING, 0, int(module.size()), nullptr, 0),
              song);
    queued.push_back(song);
  }
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  while (gDone < kSongs && std::chrono::steady_clock::now() < deadline) {
    EXPECT_FALSE(Music_PlaySong(unloaded));  // clears the code, then sets "invalid parameter"
  }
  ASSERT_EQ(gDone, kSongs);
  int loaded = 0;
  for (MusicSong *song : queued) loaded += Music_IsLoaded(song) && song->type == MUSIC_TYPE_XM;
  EXPECT_EQ(loaded, kSongs);
  // A call of this thread still reports its own failure.
  EXPECT_FALSE(Music_PlaySong(unloaded));
  EXPECT_EQ(OSND_GetError(), OSND_ERR_INVALID_PARAM);
}

// Songs freed while their loads or loaded callbacks wait, each callback
// stamped in one sequence with the frees. A callback runs alone on its
// thread, so the engine takes the next one up only after the one before has
// ended: that end is the earliest stamp of the next one's start (the engine
// starts it before its first line runs).
struct FreedSong {
  MusicSong *song = nullptr;
  std::atomic<int> freed{0};  // stamped once its free has returned
  std::atomic<int> calls{0};
  std::atomic<int> takenUpAfter{0};  // the stamp of the end of the callback before its own
};
constexpr int kFreedSongs = 20;
FreedSong gFreed[kFreedSongs];
std::atomic<int> gStamp{0}, gLastEnd{0}, gStrangers{0};

void StampedLoadDone(MusicSong *song, int) {
  const int previousEnd = gLastEnd.load();
  FreedSong *f =
      std::find_if(std::begin(gFreed), std::end(gFreed), [song](const FreedSong &x) { return x.song == song; });
  if (f == std::end(gFreed)) {
    ++gStrangers;
  } else {
    f->takenUpAfter = previousEnd;
    ++f->calls;
  }
  // Holds the thread, so that the callbacks of the loads done meanwhile wait
  // their turn when the frees come.
  std::this_thread::sleep_for(std::chrono::microseconds(300));
  gLastEnd = ++gStamp;
}

TEST_F(BankSongTest, ASongFreedWhileQueuedLeavesTheQueue) {
  gStamp = gLastEnd = gStrangers = 0;
  const std::vector<uint8_t> bank = Bank({Level(4000, 100)});
  for (FreedSong &f : gFreed) {
    f.freed = f.calls = f.takenUpAfter = 0;
    f.song = Music_CreateSong();
    ASSERT_NE(f.song, nullptr);
    f.song->loadDone = StampedLoadDone;
  }
  for (FreedSong &f : gFreed)
    ASSERT_EQ(Music_LoadSong(f.song, reinterpret_cast<const char *>(bank.data()),
                             OSND_MODE_MEMORY | OSND_MODE_NONBLOCKING, 0, int(bank.size()), nullptr, 0),
              f.song);
  // Freed once the first callback runs: queued, loading, or loaded with its
  // callback waiting or running. None is called back once its free has
  // returned; a free returns without waiting for its song's callback that
  // already runs (the song is freed once it returns), which may end after it.
  ASSERT_TRUE(PollUntil([] { return gFreed[0].calls > 0; }));
  for (FreedSong &f : gFreed) {
    Music_FreeSong(f.song);
    f.freed = ++gStamp;
  }
  // A song loaded after the frees is called back after every callback
  // queued before it: the freed songs' have all been made or dropped then.
  static std::atomic<bool> gLastLoaded;
  gLastLoaded = false;
  MusicSong *last = Music_CreateSong();
  ASSERT_NE(last, nullptr);
  last->loadDone = [](MusicSong *, int) { gLastLoaded = true; };
  ASSERT_EQ(Music_LoadSong(last, reinterpret_cast<const char *>(bank.data()), OSND_MODE_MEMORY | OSND_MODE_NONBLOCKING,
                           0, int(bank.size()), nullptr, 0),
            last);
  ASSERT_TRUE(PollUntil([] { return gLastLoaded.load(); }, kActDeadlineMs)) << "the song loaded last was never loaded";
  Music_FreeSong(last);
  EXPECT_EQ(gStrangers.load(), 0) << "a loaded callback of another song";
  for (int k = 0; k < kFreedSongs; ++k) {
    EXPECT_LE(gFreed[k].calls.load(), 1) << "song " << k;
    if (gFreed[k].calls == 0) continue;
    EXPECT_GT(gFreed[k].freed.load(), gFreed[k].takenUpAfter.load())
        << "song " << k << "'s loaded callback began after its free had returned";
  }
}

}  // namespace

}  // namespace bank_song_test
