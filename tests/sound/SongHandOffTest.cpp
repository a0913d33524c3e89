// A song's sounds beside another party's frees: a sample freed under a
// playing song, a song freed while another thread's call still holds it.
// Each test stops one party at the exact step (a pause point) while the
// other mixes, on the non-realtime output, so that the interleaving is made
// on purpose (AddressSanitizer: a use of freed memory; plain: a channel that
// still names the sample or still sounds).
#include "SongTestSupport.h"
#include "TrackerWriterSupport.h"
#include "platform/dmusic/DirectMusic.h"
#include "sound/src/stream/osnd_stream.h"
#include "sound/src/system/system_pause.h"

#include <atomic>
#include <functional>
#include <thread>

namespace song_hand_off_test {

namespace {

// Pause points armed by these tests stop the test's second thread only.
thread_local bool tSecondParty = false;
bool OnSecondParty() { return tSecondParty; }

// A MIDI song of one string note held for two seconds.
const unsigned char kLongNote[] = {'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 0, 0, 1, 0x01, 0xE0, 'M', 'T', 'r', 'k', 0, 0,
                                   0, 16, 0x00, 0xC0, 48, 0x00, 0x90, 60, 100, 0x8F, 0x00, 0x80, 60, 0, 0x00, 0xFF,
                                   0x2F, 0x00};

class SongHandOff : public CapturedSong {
 protected:
  void TearDown() override {
    if (second.joinable()) second.join();
    CapturedSong::TearDown();
  }
  void OnSecond(std::function<void()> part) {
    second = std::thread([part] {
      tSecondParty = true;
      part();
    });
  }
  void PlayMore(size_t frames) { PlayFrames(captured.size() / 2 + frames); }

  std::thread second;
};

// The application frees a sample it found on a song's channel while the song
// plays: the free is stopped after its locked part while the music ticks on,
// a new note each row in one song and a retrigger effect in the other. No
// tick starts the sample again; once the free returns no channel names it.
TEST_F(SongHandOff, ASampleFreedUnderAPlayingSongIsNotStartedAgain) {
  for (const bool retrigger : {false, true}) {
    SCOPED_TRACE(retrigger ? "a retrigger every tick" : "a new note every tick");
    TrackerSong tracker;
    tracker.itSamples = {SineSample(2000, 32, 8000, true)};
    tracker.itInstruments = false;
    tracker.speed = retrigger ? 6 : 1;
    for (int row = 0; row < 64; ++row)
      tracker.At(0, row, 0) = retrigger ? TrackerCell{row == 0 ? 60 : 0, row == 0 ? 1 : 0, 0, 17, 0x01}  // Q01
                                        : TrackerCell{60, 1};
    MusicSong *song = Load(tracker.It());
    ASSERT_NE(song, nullptr) << OSND_GetError();
    ASSERT_TRUE(Music_PlaySong(song));
    PlayMore(2 * kTickFrames);
    OSND_SAMPLE *sample = nullptr;
    for (int i = 0; i < gOsnd.channelCount && !sample; ++i)
      if (OSND_IsPlaying(i)) sample = OSND_GetCurrentSample(i);
    ASSERT_NE(sample, nullptr);
    ASSERT_EQ(sample, song->samples[0]);

    SystemPausePoint stopped("sample.free.stopped", OnSecondParty);
    OnSecond([sample] { OSND_Sample_Free(sample); });
    ASSERT_TRUE(stopped.WaitReached());
    PlayMore(3 * kTickFrames);
    stopped.Release();
    second.join();
    for (int i = 0; i < gOsnd.channelCount + OSND_EXTRA_CHANNELS; ++i)
      EXPECT_NE(gOsnd.channels[i].currentSample, sample) << "channel " << i << " names the freed sample";
    EXPECT_EQ(song->samples[0], nullptr);
    PlayMore(3 * kTickFrames);  // a use of the freed sample, were one left
  }
}

// A playing song, its note looping, is freed while a call on another thread
// holds it: from the free's return nothing of it sounds, though its release
// waits for that call; a MIDI song's synthesizer neither, once the sound its
// stream had buffered before the free (up to 0.8 s) has played.
TEST_F(SongHandOff, AFreedSongStillHeldIsSilentFromTheFreesReturn) {
  const std::vector<uint8_t> tracker = OneNoteIt(), midiFile(kLongNote, kLongNote + sizeof kLongNote);
  for (const bool midi : {false, true}) {
    SCOPED_TRACE(midi ? "a MIDI song" : "a tracker song");
    if (midi && !dmusic::DirectMusicSynth_SoundFont()) GTEST_SKIP() << "no General MIDI sound font installed";
    const std::vector<uint8_t> &bytes = midi ? midiFile : tracker;
    MusicSong *song = Music_CreateSong();
    ASSERT_NE(Music_LoadSong(song, reinterpret_cast<const char *>(bytes.data()),
                             OSND_MODE_MEMORY | OSND_MODE_LOOP_NORMAL, 0, int(bytes.size()), nullptr, 0),
              nullptr);
    ASSERT_TRUE(Music_PlaySong(song));
    PlayMore(kRate / 2);
    SystemPausePoint held("song.call.held", OnSecondParty);
    OnSecond([song] { Music_SetLooping(song, true); });
    ASSERT_TRUE(held.WaitReached());
    Music_FreeSong(song);
    // A MIDI song's synthesizer stops at once, but what its stream had
    // rendered ahead (two stream buffers at most) is still mixed, and then
    // the synthesizer's reverb tail, far below the note, dies away.
    const size_t freed = captured.size() / 2;
    const size_t rendered = midi ? size_t(2 * gOsndStreams.bufferMs) * kRate / 1000 : 0;
    const size_t quiet = freed + rendered + (midi ? kRate / 2 : 0);
    PlayMore(2 * kRate);
    const int note = Peak(freed - kRate / 4, freed);
    EXPECT_GT(note, 500) << "the song did not sound before its free";
    if (midi) {
      EXPECT_LT(Peak(freed + rendered, quiet), note / 10) << "the note sounds past what the stream had rendered";
    }
    EXPECT_LE(Peak(quiet, captured.size() / 2), midi ? 100 : 0) << "the freed song still sounds";
    if (!midi) {
      EXPECT_EQ(OSND_GetChannelsPlaying(), 0);
    }
    held.Release();
    second.join();
  }
}

// A play that held the song when its free began, a third party holding it
// still: the play ends after the free's stop and must not start the song
// again (a MIDI song's synthesizer has no tick that could skip it).
TEST_F(SongHandOff, APlayHeldAcrossTheFreeStartsNothing) {
  if (!dmusic::DirectMusicSynth_SoundFont()) GTEST_SKIP() << "no General MIDI sound font installed";
  MusicSong *song = Music_CreateSong();
  ASSERT_NE(Music_LoadSong(song, reinterpret_cast<const char *>(kLongNote), OSND_MODE_MEMORY, 0, int(sizeof kLongNote),
                           nullptr, 0),
            nullptr);
  OsndLifetime_Hold(&song->life);  // the third party
  SystemPausePoint held("song.call.held", OnSecondParty);
  bool played = true;
  int error = OSND_ERR_NONE;
  OnSecond([&played, &error, song] {
    played = Music_PlaySong(song);
    error = OSND_GetError();
  });
  ASSERT_TRUE(held.WaitReached());
  Music_FreeSong(song);
  const size_t freed = captured.size() / 2;
  held.Release();
  second.join();
  EXPECT_FALSE(played);
  EXPECT_EQ(error, OSND_ERR_INVALID_PARAM);
  PlayMore(kRate);
  EXPECT_LE(Peak(freed, captured.size() / 2), 100) << "the freed song was started again";
  Music_LetGoSong(song);
}

// Between a free's mark and its stop, the music unit ticks on: a song whose
// free has begun is skipped there, with no note mixed and no callback made.
TEST_F(SongHandOff, ASongWhoseFreeHasBegunIsSkippedBeforeItsStop) {
  const std::vector<uint8_t> it = OneNoteIt();
  MusicSong *song = Music_CreateSong();
  ASSERT_NE(Music_LoadSong(song, reinterpret_cast<const char *>(it.data()), OSND_MODE_MEMORY | OSND_MODE_LOOP_NORMAL,
                           0, int(it.size()), nullptr, 0),
            nullptr);
  static std::atomic<int> gRows;
  gRows = 0;
  ASSERT_TRUE(Music_SetCallback(song, MUSIC_CALLBACK_ROW, 0, [](MusicSong *, int) { ++gRows; }, 1));
  ASSERT_TRUE(Music_PlaySong(song));
  PlayMore(kRate / 2);
  ASSERT_GT(gRows.load(), 0);
  SystemPausePoint marked("song.free.marked", OnSecondParty);
  OnSecond([song] { Music_FreeSong(song); });
  ASSERT_TRUE(marked.WaitReached());
  const int rows = gRows;
  const size_t from = captured.size() / 2;
  PlayMore(kRate / 2);  // several rows
  EXPECT_EQ(gRows.load(), rows) << "a row callback of a song whose free had begun";
  EXPECT_EQ(Peak(from, captured.size() / 2), 0) << "a song whose free had begun was mixed";
  marked.Release();
  second.join();
}

}  // namespace

}  // namespace song_hand_off_test
