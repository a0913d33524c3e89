// A song's and a sample's frees, and a song's play, beside the mixer: each
// takes the mixer's lock before it acts on what the music unit's walk reads
// (the song list, the songs' samples, the channels, the free mark). The test
// holds that lock as the mixer does for a block and mixes on under it (it is
// recursive) while the other party is stopped where it begins to wait.
#include "SongTestSupport.h"
#include "TrackerWriterSupport.h"
#include "WaitSupport.h"

#include <atomic>
#include <functional>
#include <thread>

namespace song_release_hand_off_test {

namespace {

bool WaitsForTheMixer() { return OnSecondParty() && SystemThread_LockWaitedFor() == gOsnd.mixer->lock; }

// Holds the mixer's lock on the test's thread while a second party makes
// `part`, and waits until that part has begun to wait for the lock or ended.
class BesideTheMixer {
 public:
  explicit BesideTheMixer(std::function<void()> part) : m_Waiting("lock.waiting", WaitsForTheMixer) {
    SystemThread_EnterCriticalSection(gOsnd.mixer->lock);
    m_Party = SecondParty([this, part] {
      part();
      m_Ended = true;
    });
    if (!PollUntil([this] { return m_Ended || m_Waiting.Reached(); }, kActDeadlineMs))
      ADD_FAILURE() << "the second party neither ended nor began to wait for the mixer";
  }
  ~BesideTheMixer() { Finish(); }
  BesideTheMixer(const BesideTheMixer &) = delete;
  BesideTheMixer &operator=(const BesideTheMixer &) = delete;
  // Whether the part began to wait for the mixer's lock rather than end.
  bool Waited() const { return m_Waiting.Reached(); }
  // Lets the mixer's lock go and the part end.
  void Finish() {
    if (!m_Party.joinable()) return;
    m_Waiting.Release();
    SystemThread_LeaveCriticalSection(gOsnd.mixer->lock);
    m_Party.join();
  }

 private:
  SystemPausePoint m_Waiting;
  std::thread m_Party;
  std::atomic<bool> m_Ended{false};
};

class SongReleaseHandOff : public CapturedSong {
 protected:
  void PlayMore(size_t frames) { PlayFrames(captured.size() / 2 + frames); }
  MusicSong *LoadOneNote() {
    const std::vector<uint8_t> it = OneNoteIt();
    MusicSong *song = Music_CreateSong();
    return Music_LoadSong(song, reinterpret_cast<const char *>(it.data()), OSND_MODE_MEMORY, 0, int(it.size()),
                          nullptr, 0);
  }
};

// A song never loaded is freed while the mixer walks the song list: it stays
// in the list until the walk lets go, and its memory with it.
TEST_F(SongReleaseHandOff, ASongsUnlinkWaitsForTheMusicUnitsWalk) {
  MusicSong *song = Music_CreateSong();
  ASSERT_NE(song, nullptr);
  BesideTheMixer free([song] { Music_FreeSong(song); });
  ASSERT_TRUE(free.Waited()) << "the song was released beside the walk";
  EXPECT_NE(song->link.next, &song->link) << "the song left the list beside the walk";
  PlayMore(kTickFrames);
}

// A play that held the song before its free began is stopped as it begins to
// wait for the mixer; the free is made then. The play looks at the mark once
// it has the lock, and starts nothing.
TEST_F(SongReleaseHandOff, APlayWaitingForTheMixerAcrossTheFreeStartsNothing) {
  MusicSong *song = LoadOneNote();
  ASSERT_NE(song, nullptr) << OSND_GetError();
  std::atomic<bool> played{true};
  {
    BesideTheMixer play([song, &played] { played = Music_PlaySong(song); });
    ASSERT_TRUE(play.Waited()) << "the play did not wait for the mixer";
    Music_FreeSong(song);
  }
  EXPECT_FALSE(played) << "a play that held the song across its free started it";
}

// How many channels name `sample`, stopped ones included.
int Naming(const OSND_SAMPLE *sample) {
  int n = 0;
  for (int i = 0; i < gOsnd.channelCount + OSND_EXTRA_CHANNELS; ++i) n += gOsnd.channels[i].currentSample == sample;
  return n;
}

// The application frees a song's sample as the song starts, a new note of it
// every tick: the free waits for the mixer before it looks for a channel to
// stop, so that no tick between its stops and the songs' forgetting starts
// the sample again.
TEST_F(SongReleaseHandOff, ASampleFreeStopsItsChannelsAndTheSongsUseInOneSection) {
  TrackerSong tracker;
  tracker.itSamples = {SineSample(2000, 32, 8000, true)};
  tracker.itInstruments = false;
  tracker.speed = 1;
  for (int row = 0; row < 64; ++row) tracker.At(0, row, 0) = TrackerCell{60, 1};
  MusicSong *song = Load(tracker.It());
  ASSERT_NE(song, nullptr) << OSND_GetError();
  OSND_SAMPLE *sample = song->samples[0];
  ASSERT_TRUE(Music_PlaySong(song));
  ASSERT_EQ(Naming(sample), 0);  // nothing yet for a stop to take the lock for
  {
    BesideTheMixer free([sample] { OSND_Sample_Free(sample); });
    ASSERT_TRUE(free.Waited()) << "the free went on beside the mixer";
    PlayMore(3 * kTickFrames);  // notes of it while the free waits
    ASSERT_GT(Naming(sample), 0);
  }
  EXPECT_EQ(Naming(sample), 0) << "a channel names the freed sample";
  EXPECT_EQ(song->samples[0], nullptr);
}

}  // namespace

}  // namespace song_release_hand_off_test
