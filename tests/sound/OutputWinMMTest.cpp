// The WinMM output on SDL's dummy audio driver, and without any audio driver.
#include "SoundTestSupport.h"
#include "sound/src/output/output_winmm.h"
#include "sound/src/system/system_memory.h"

#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>

namespace output_win_mm_test {

namespace {

class WinMMOutput : public ::testing::Test {
 protected:
  void TearDown() override {
    OSND_Close();
    OSND_SetOutput(OSND_OUTPUT_NOSOUND);
    setenv("SDL_AUDIODRIVER", "dummy", 1);
  }
};

}  // namespace

TEST_F(WinMMOutput, WithoutAnAudioDeviceInitFailsWithError3) {
  setenv("SDL_AUDIODRIVER", "no-such-driver", 1);
  ASSERT_TRUE(OSND_SetOutput(OSND_OUTPUT_WINMM));
  EXPECT_EQ(OSND_GetNumDrivers(), 0);
  EXPECT_FALSE(OSND_Init(44100, 32, 2));
  EXPECT_EQ(OSND_GetError(), OSND_ERR_INIT);
  OSND_Close();
  EXPECT_EQ(SystemMemory_BytesInUse(), 0);
}

TEST_F(WinMMOutput, PlayPositionGrowsPastTheBufferAndTheMixerFollows) {
  ASSERT_TRUE(OSND_SetOutput(OSND_OUTPUT_WINMM));
  ASSERT_TRUE(OSND_Init(44100, 8, 2));
  EXPECT_GE(OSND_GetNumDrivers(), 1);
  EXPECT_EQ(gOsnd.blockLengthMs, 100);
  ASSERT_NE(gOsnd.primarySample, nullptr);
  const unsigned length = gOsnd.primarySample->length;
  unsigned last = 0;
  bool monotonic = true;
  // Two laps take 0.2 s; the limit only catches a device that stopped.
  const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  while (OSND_GetCurrentPosition(OSND_PRIMARY) < 2 * length && std::chrono::steady_clock::now() < until) {
    const unsigned now = OSND_GetCurrentPosition(OSND_PRIMARY);
    if (now < last) monotonic = false;
    last = now;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  EXPECT_TRUE(monotonic);
  EXPECT_GE(OSND_GetCurrentPosition(OSND_PRIMARY), 2 * length);
  OSND_Close();
  EXPECT_EQ(SystemMemory_BytesInUse(), 0);
}

TEST_F(WinMMOutput, RecordingUsesFiveMillisecondPiecesInARingOfOneHundred) {
  ASSERT_TRUE(OSND_SetOutput(OSND_OUTPUT_WINMM));
  ASSERT_TRUE(OSND_Init(44100, 8, 2));
  OsndOutputDriver *out = gOsnd.output;
  EXPECT_FALSE(out->recordStart(0, OSND_MODE_16BITS | OSND_MODE_STEREO, 44100));
  EXPECT_EQ(OSND_GetError(), OSND_ERR_INVALID_PARAM);
  ASSERT_TRUE(out->recordEnumerate());
  EXPECT_GE(gOsnd.numRecordDrivers, 1);
  ASSERT_TRUE(out->recordStart(44100, OSND_MODE_16BITS | OSND_MODE_STEREO, 44100));
  EXPECT_EQ(OutputWinMM_RecordPieceBytes(), 880);
  EXPECT_EQ(OutputWinMM_RecordRingBytes(), 88000);
  void *p1 = nullptr, *p2 = nullptr;
  unsigned l1 = 0, l2 = 0;
  ASSERT_TRUE(out->recordLock(88000 - 200, 1000, &p1, &p2, &l1, &l2));
  EXPECT_EQ(l1, 200u);
  EXPECT_EQ(l2, 800u);
  EXPECT_EQ(static_cast<uint8_t *>(p1) + 200 - 88000, static_cast<uint8_t *>(p2));
  EXPECT_FALSE(out->recordLock(88000, 10, &p1, &p2, &l1, &l2));
  // The capture device delivers pieces; the record thread takes them in turn.
  const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  while (out->recordPosition() < 220 * 3 && std::chrono::steady_clock::now() < until)
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  EXPECT_GE(out->recordPosition(), 220 * 3);
  EXPECT_EQ(out->recordPosition() % 220, 0);
  EXPECT_TRUE(out->recordStop());
  EXPECT_EQ(out->recordPosition(), -1);
  OSND_Close();
  EXPECT_EQ(SystemMemory_BytesInUse(), 0);
}

}  // namespace output_win_mm_test
