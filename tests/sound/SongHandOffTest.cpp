// A song's sounds beside another party's frees: a sample freed under a
// playing song.
// Each test stops one party at the exact step (a pause point) while the
// other mixes, on the non-realtime output, so that the interleaving is made
// on purpose (AddressSanitizer: a use of freed memory; plain: a channel that
// still names the sample or still sounds).
#include "SongTestSupport.h"
#include "TrackerWriterSupport.h"
#include "sound/src/system/system_pause.h"

#include <functional>
#include <thread>

namespace {

// Pause points armed by these tests stop the test's second thread only.
thread_local bool tSecondParty = false;
bool OnSecondParty() { return tSecondParty; }

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

}  // namespace
