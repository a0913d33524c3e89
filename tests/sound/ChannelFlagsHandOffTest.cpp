// Flags that a play reads and marks under the mixer's lock change under that
// lock on every path: a change beside a play waits for it, and none is lost.
#include "SoundTestSupport.h"
#include "WaitSupport.h"
#include "sound/src/format/format_dshow.h"
#include "sound/src/system/system_pause.h"
#include "sound/src/system/system_thread.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <thread>

namespace channel_flags_hand_off_test {

namespace {

thread_local bool tPlayer = false;

class ChannelFlagsHandOff : public NonRealtimeEngine {
 protected:
  void SetUp() override {
    NonRealtimeEngine::SetUp();
    sample = OSND_Sample_Alloc(-1, 4000, OSND_MODE_16BITS | OSND_MODE_LOOP_NORMAL, 44100, 255, 128, 255);
  }
  // Whether `act` waits for a play stopped where it has chosen its channel.
  bool ActWaitsForAPlay(const std::function<void()> &act) {
    SystemPausePoint chosen("channel.take.chosen", [] { return tPlayer; });
    std::thread player([this] {
      tPlayer = true;
      EXPECT_GE(OSND_PlaySound(OSND_FREE, sample), 0);
    });
    const bool waits = chosen.WaitReached(kActDeadlineMs) &&
                       ActWaits("lock.waiting", act, [&] { chosen.Release(); },
                                [] { return SystemThread_LockWaitedFor() == gOsnd.mixer->lock; });
    chosen.Release();
    player.join();
    return waits;
  }
  static bool Has(int channel, uint32_t flag) {
    SystemLockGuard guard(gOsnd.mixer->lock);
    return (gOsnd.channels[channel].flags & flag) != 0;
  }
  OSND_SAMPLE *sample = nullptr;
};

}  // namespace

TEST_F(ChannelFlagsHandOff, AReservationWaitsForAPlay) {
  EXPECT_TRUE(ActWaitsForAPlay([] { OSND_SetReserved(OSND_ALL, true); }));
  EXPECT_TRUE(Has(0, OSND_CHANFLAG_RESERVED) && Has(7, OSND_CHANFLAG_RESERVED));
}

// The master volume's walk reads each channel's sample and flags.
TEST_F(ChannelFlagsHandOff, AMasterVolumeChangeWaitsForAPlay) {
  EXPECT_TRUE(ActWaitsForAPlay([] { OSND_SetSFXMasterVolume(200); }));
}

TEST_F(ChannelFlagsHandOff, ASampleModeOrLoopChangeWaitsForAPlay) {
  EXPECT_TRUE(ActWaitsForAPlay([this] { OSND_Sample_SetMode(sample, OSND_MODE_LOOP_BIDI); }));
  EXPECT_TRUE(ActWaitsForAPlay([this] { OSND_Sample_SetLoopPoints(sample, 10, 100); }));
}

// A call on every channel changes the media channels' flags too.
TEST_F(ChannelFlagsHandOff, AMediaChannelClaimWaitsForAPlayAndEndsWithTheOpen) {
  char name[] = "no-such-file.media";
  DshowStream *media = nullptr;
  EXPECT_TRUE(ActWaitsForAPlay([&] { EXPECT_FALSE(FormatDshow_Open(nullptr, name, nullptr, nullptr, &media)); }));
  EXPECT_FALSE(Has(OSND_GetMaxChannels(), OSND_CHANFLAG_MEDIA));
}

// Channel 0 stays free for the other thread's plays.
TEST_F(ChannelFlagsHandOff, ReservationsBesidePlaysOnFreeChannelsAreAllKept) {
  std::atomic<bool> done{false};
  std::atomic<int> plays{0};
  std::thread player([&] {
    for (; !done; ++plays) OSND_StopSound(OSND_PlaySound(OSND_FREE, sample));
  });
  EXPECT_TRUE(PollUntil([&] { return plays > 0; }, kActDeadlineMs));
  int lost = 0;
  for (int round = 0; round < 30000; ++round) {
    const int channel = 1 + round % 7;
    const bool reserve = round / 7 % 2 == 0;
    OSND_SetReserved(channel, reserve);
    lost += Has(channel, OSND_CHANFLAG_RESERVED) != reserve;
  }
  done = true;
  player.join();
  EXPECT_EQ(lost, 0);
}

}  // namespace channel_flags_hand_off_test
