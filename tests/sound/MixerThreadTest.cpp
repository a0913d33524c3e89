// The engine with its real mixer thread: channels are started, changed and
// stopped on the calling thread while the mixer thread mixes them. Run under
// ThreadSanitizer and AddressSanitizer as well as plainly.
#include "SoundTestSupport.h"

#include "sound/src/channel/osnd_3d.h"
#include "sound/src/system/system_memory.h"
#include "sound/src/system/system_thread.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>

namespace mixer_thread_test {

namespace {

struct TapState {
  std::atomic<int> blocks{0};
  std::atomic<int> peak{0};
};

void CountingTap(const int16_t *frames, int count, void *user) {
  auto *state = static_cast<TapState *>(user);
  int peak = 0;
  for (int i = 0; i < 2 * count; ++i) peak = std::max(peak, std::abs(int(frames[i])));
  if (peak > state->peak.load()) state->peak = peak;
  ++state->blocks;
}

// Waits until the mixer thread has produced a sounding block (false after a
// minute, which only a stopped mixer takes).
bool WaitForSound(TapState &tap) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  while (tap.peak.load() == 0) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
}

class MixerThread : public ::testing::Test {
 protected:
  void SetUp() override {
    OsndOutputNoSound.mixerThread = 1;  // a non-realtime run in this process clears it
    OsndOutputNoSound_SetCaptureTap(CountingTap, &tap);
    ASSERT_TRUE(OSND_SetOutput(OSND_OUTPUT_NOSOUND));
  }
  void TearDown() override {
    OSND_Close();
    OsndOutputNoSound_SetCaptureTap(nullptr, nullptr);
  }
  TapState tap;
};

}  // namespace

TEST_F(MixerThread, InitPlayCloseHundredTimesLeavesNoMemoryInUse) {
  const int64_t before = SystemMemory_BytesInUse();
  std::vector<int16_t> data(3000);
  for (size_t i = 0; i < data.size(); ++i) data[i] = int16_t((i % 100) * 200 - 10000);
  for (int round = 0; round < 100; ++round) {
    tap.peak = 0;
    ASSERT_TRUE(OSND_Init(44100, 8, round % 2 ? OSND_INIT_LEVEL_METER : 0)) << "round " << round;
    ASSERT_NE(gOsnd.mixerThread, nullptr);
    OSND_SAMPLE *loop = OSND_Sample_Alloc(-1, 3000, OSND_MODE_16BITS | OSND_MODE_LOOP_NORMAL, 44100, 255, 128, 255);
    OSND_SAMPLE *once = OSND_Sample_Alloc(-1, 3000, OSND_MODE_16BITS | OSND_MODE_LOOP_OFF, 22050, 200, 40, 100);
    ASSERT_NE(loop, nullptr);
    ASSERT_NE(once, nullptr);
    ASSERT_TRUE(OSND_Sample_Upload(loop, data.data(), OSND_MODE_16BITS));
    ASSERT_TRUE(OSND_Sample_Upload(once, data.data(), OSND_MODE_16BITS));
    const int looping = OSND_PlaySound(OSND_FREE, loop);
    ASSERT_GE(looping, 0);
    for (int i = 0; i < 4; ++i) ASSERT_GE(OSND_PlaySound(OSND_FREE, once), 0);
    ASSERT_TRUE(WaitForSound(tap)) << "round " << round << ": the mixer thread mixed nothing";
    // Changes while the thread mixes.
    EXPECT_TRUE(OSND_SetFrequency(looping, 30000 + round * 100));
    EXPECT_TRUE(OSND_SetVolume(looping, round % 256));
    EXPECT_TRUE(OSND_SetPan(looping, 255 - round));
    EXPECT_TRUE(OSND_SetPaused(looping, round % 3 == 0));
    OSND_StopSound(OSND_ALL);
    EXPECT_GE(OSND_PlaySound(OSND_FREE, loop), 0);
    if (round % 2) OSND_Sample_Free(once);  // freed while the engine runs; the rest go with Close
    OSND_Close();
    EXPECT_EQ(gOsnd.mixerThread, nullptr);
    ASSERT_EQ(SystemMemory_BytesInUse(), before) << "round " << round;
  }
  EXPECT_GE(tap.blocks.load(), 100);
}

TEST_F(MixerThread, FreeingAPlayingSampleStopsItsChannels) {
  ASSERT_TRUE(OSND_Init(44100, 4, 0));
  std::vector<int16_t> data(4096, 9000);
  OSND_SAMPLE *s = OSND_Sample_Alloc(-1, 4096, OSND_MODE_16BITS | OSND_MODE_LOOP_NORMAL, 44100, 255, 128, 255);
  ASSERT_NE(s, nullptr);
  ASSERT_TRUE(OSND_Sample_Upload(s, data.data(), OSND_MODE_16BITS));
  const int h = OSND_PlaySound(OSND_FREE, s);
  ASSERT_GE(h, 0);
  ASSERT_TRUE(WaitForSound(tap));
  OSND_Sample_Free(s);
  EXPECT_FALSE(OSND_IsPlaying(h));
  EXPECT_EQ(OSND_GetChannelsPlaying(), 0);
  // The mixer keeps running on the emptied channel list.
  const int blocks = tap.blocks.load();
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  while (tap.blocks.load() < blocks + 2 && std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  EXPECT_GE(tap.blocks.load(), blocks + 2);
}

// OSND_Update's 3D pass sets the steps and gains of the channels the mixer
// thread is mixing, while another thread moves them.
TEST_F(MixerThread, ThreeDChannelsMovedWhileMixingTakeTheirGains) {
  Osnd3d_ResetListeners();
  ASSERT_TRUE(OSND_Init(44100, 8, 0));
  std::vector<int16_t> data(4096, 16000);
  OSND_SAMPLE *s = OSND_Sample_Alloc(-1, 4096, OSND_MODE_16BITS | OSND_MODE_MONO | OSND_MODE_LOOP_NORMAL, 44100, 255, 128, 255);
  ASSERT_NE(s, nullptr);
  ASSERT_TRUE(OSND_Sample_Upload(s, data.data(), OSND_MODE_16BITS));
  int handles[4];
  for (int &h : handles) ASSERT_GE(h = OSND_PlaySound(OSND_FREE, s), 0);
  ASSERT_TRUE(WaitForSound(tap));
  std::atomic<bool> moved{false};
  std::thread mover([&] {
    for (int i = 0; i < 400; ++i) {
      const float position[3] = {float(i % 7) - 3.0f, 0.0f, float(i % 5) + 1.0f};
      const float velocity[3] = {0.0f, 0.0f, float(i % 3)};
      OSND_3D_SetAttributes(handles[i % 4], position, velocity);
      if (i % 8 == 0) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    moved = true;
  });
  while (!moved) OSND_Update();
  mover.join();
  // The last places given take effect at the next update: 5 ahead is a fifth
  // of full volume, centred; 2 to the right half, on the right only.
  const float ahead[3] = {0, 0, 5}, right[3] = {2, 0, 0}, still[3] = {0, 0, 0};
  for (int i = 0; i < 4; ++i) ASSERT_TRUE(OSND_3D_SetAttributes(handles[i], i % 2 ? right : ahead, still));
  OSND_Update();
  SystemLockGuard guard(gOsnd.mixer->lock);  // read between two blocks
  for (int i = 0; i < 4; ++i) {
    const OsndChannel &c = gOsnd.channels[handles[i] & 0xFFF];
    EXPECT_FLOAT_EQ(c.frequencyScale, 1.0f);
    EXPECT_EQ(c.leftGain, i % 2 ? 0 : 180 * 51 / 255) << i;
    EXPECT_EQ(c.rightGain, i % 2 ? 127 : 181 * 51 / 255) << i;
    EXPECT_EQ(c.stepWhole, 1u);
    EXPECT_EQ(c.stepFrac, 0u);
  }
}

}  // namespace mixer_thread_test
