// The music player core without a song format: tables, tempo, callbacks and
// the errors of the song operations.
#include "SoundTestSupport.h"

#include "sound/src/song/music_core.h"
#include "sound/src/system/system_error.h"

#include <utility>
#include <vector>

namespace music_core_test {

namespace {

TEST(MusicTables, PeriodsFinetunesAndFrequencies) {
  for (int n = 1; n + 24 <= MUSIC_NOTES; ++n)
    EXPECT_NEAR(kMusicPeriodTable[n + 24], kMusicPeriodTable[n] / 4.0, 1.0) << n;
  EXPECT_EQ(Music_FinetuneToSpeed(0), 8363);
  EXPECT_EQ(Music_FinetuneToSpeed(7), 8757);
  EXPECT_EQ(Music_FinetuneToSpeed(8), 7895);
  EXPECT_EQ(Music_FinetuneToSpeed(15), 8280);
  EXPECT_EQ(Music_FinetuneToSpeed(16), 8363);
  EXPECT_EQ(Music_FinetuneToSpeed(-1), 8363);
  EXPECT_EQ(Music_NotePeriod(49, 8363), 1712);
  EXPECT_EQ(Music_NotePeriod(49, 7895), int(1712u * 8363u / 7895u));
  EXPECT_EQ(Music_NotePeriod(0, 8363), kMusicPeriodTable[1]);    // clamped into the table
  EXPECT_EQ(Music_NotePeriod(200, 8363), kMusicPeriodTable[132]);
  EXPECT_EQ(Music_PeriodToFrequency(1712), 8362);
  EXPECT_EQ(Music_PeriodToFrequency(0), 14317056);
}

std::vector<int> *gCalls = nullptr;
void Record(MusicSong *, int parameter) { gCalls->push_back(parameter); }

class MusicCoreTest : public CapturedEngine {
 protected:
  void TearDown() override {
    Music_FreeSong(song);
    gCalls = nullptr;
    CapturedEngine::TearDown();
  }
  MusicSong *song = nullptr;
  std::vector<int> calls;
};

TEST_F(MusicCoreTest, TempoGivesSamplesPerTick) {
  ASSERT_TRUE(Start(OSND_MIXER_QUALITY_FPU, 48000));
  song = Music_CreateSong();
  Music_SetTempo(song, 125);
  EXPECT_EQ(song->samplesPerTick, 960);
  Music_SetTempo(song, 0);
  EXPECT_EQ(song->tempo, 1);
  EXPECT_EQ(song->samplesPerTick, 120000);
  song->speedMultiplier = 2.0f;
  Music_SetTempo(song, 150);
  EXPECT_EQ(song->samplesPerTick, 400);
  song->speedMultiplier = 0.0f;
  Music_SetTempo(song, 90);
  EXPECT_EQ(song->tempo, 90);
  EXPECT_EQ(song->samplesPerTick, 400);  // a held song keeps its tick length
}

TEST_F(MusicCoreTest, SongOperationsRefuseMissingOrUnloadedSongs) {
  song = Music_CreateSong();
  EXPECT_EQ(Music_LoadSong(song, "x", 0, 0, 0, nullptr, 0), nullptr);
  EXPECT_EQ(OSND_GetError(), OSND_ERR_UNINITIALISED);
  ASSERT_TRUE(Start());
  EXPECT_FALSE(Music_StopSong(nullptr));
  EXPECT_EQ(OSND_GetError(), OSND_ERR_INVALID_PARAM);
  EXPECT_FALSE(Music_StopSong(song));
  EXPECT_EQ(Music_SetLooping(song, true), -1);
  EXPECT_EQ(OSND_GetError(), OSND_ERR_INVALID_PARAM);
  EXPECT_FALSE(Music_PlaySong(song));
  EXPECT_EQ(Music_LoadSong(song, "/nonexistent/song.mod", 0, 0, 0, nullptr, 0), nullptr);
  EXPECT_EQ(OSND_GetError(), OSND_ERR_FILE_NOT_FOUND);
  const std::vector<char> noise(4000, 'z');
  EXPECT_EQ(Music_LoadSong(song, noise.data(), OSND_MODE_MEMORY, 0, int(noise.size()), nullptr, 0), nullptr);
  EXPECT_EQ(OSND_GetError(), OSND_ERR_FILE_FORMAT);
  EXPECT_EQ(song->loaded, 0);
}

TEST_F(MusicCoreTest, CallbacksAreQueuedUntilHeardAndRingDropsOldest) {
  ASSERT_TRUE(Start());
  song = Music_CreateSong();
  gCalls = &calls;
  ASSERT_TRUE(Music_SetCallback(song, MUSIC_CALLBACK_ROW, 0, Record, 4));
  ASSERT_TRUE(Music_SetCallback(song, MUSIC_CALLBACK_INSTRUMENT, 9, Record, 1));
  // A slot that does not exist is refused with its reason.
  for (const auto &[type, number] : {std::pair<int, int>{MUSIC_CALLBACK_INSTRUMENT, 256}, std::pair<int, int>{7, 0}}) {
    gOsndError.lastError.ClearOwn();
    EXPECT_FALSE(Music_SetCallback(song, type, number, Record, 1));
    EXPECT_EQ(OSND_GetError(), OSND_ERR_INVALID_PARAM);
  }
  song->row = 3;
  Music_QueueCallback(song, MUSIC_CALLBACK_ROW, 3);  // not a multiple of the step
  song->row = 8;
  Music_QueueCallback(song, MUSIC_CALLBACK_ROW, 8);
  Music_QueueCallback(song, MUSIC_CALLBACK_INSTRUMENT, 9);
  Music_QueueCallback(song, MUSIC_CALLBACK_INSTRUMENT, 10);  // no callback for 10
  Music_QueueCallback(song, MUSIC_CALLBACK_ZXX, 1);          // none installed
  EXPECT_TRUE(calls.empty());
  const float due = float(gOsnd.bufferLengthMs) - gOsnd.blockLengthMsF;
  EXPECT_FLOAT_EQ(song->rowCallback->ring[0].due, due);
  EXPECT_EQ(song->rowCallback->ring[0].parameter, 8);
  EXPECT_EQ(song->rowCallback->write, 1);
  EXPECT_EQ(song->instrumentCallbacks[9]->write, 1);

  MusicCallback *ring = song->instrumentCallbacks[9];
  for (int i = 0; i < MUSIC_CALLBACK_RING + 5; ++i) Music_QueueCallback(song, MUSIC_CALLBACK_INSTRUMENT, 9);
  EXPECT_EQ(ring->write, (1 + MUSIC_CALLBACK_RING + 5) % MUSIC_CALLBACK_RING);
  EXPECT_EQ(ring->read, ring->write);  // the oldest entries were overwritten
}

int gRemoving = 0;  // the callback kind the next call removes
void RemoveItself(MusicSong *song, int parameter) {
  gCalls->push_back(parameter);
  Music_SetCallback(song, gRemoving, 5, nullptr, 0);
}
void NoTick(MusicSong *) {}

// A song callback that removes itself while more of its calls are due in the
// same block is not called again (nor read again, which AddressSanitizer
// would report), whatever its kind.
TEST_F(MusicCoreTest, ACallbackThatRemovesItselfIsNotCalledAgain) {
  ASSERT_TRUE(Start());
  song = Music_CreateSong();
  gCalls = &calls;
  song->tickCallback = NoTick;
  song->playing = 1;
  std::vector<int16_t> block(2 * 256);
  for (const int kind : {MUSIC_CALLBACK_ROW, MUSIC_CALLBACK_ORDER, MUSIC_CALLBACK_ZXX, MUSIC_CALLBACK_INSTRUMENT}) {
    SCOPED_TRACE(kind);
    calls.clear();
    gRemoving = kind;
    ASSERT_TRUE(Music_SetCallback(song, kind, 5, RemoveItself, 1));
    for (const int parameter : {5, 5, 5}) Music_QueueCallback(song, kind, parameter);
    song->clock += 10000.0f;  // all three due in the next block
    OsndDsp_MusicUnitProc(nullptr, block.data(), 256, nullptr);
    EXPECT_EQ(calls, std::vector<int>{5});
  }
}

}  // namespace

}  // namespace music_core_test
