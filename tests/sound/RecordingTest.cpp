// Recording through the WinMM output's wave-in stand-in, fed by SDL's disk
// audio driver from a file of known frames.
#include "sound/include/osnd.h"
#include "sound/src/core/osnd_records.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include <unistd.h>

namespace {

namespace fs = std::filesystem;

constexpr int kRate = 44100;

// Frame f holds f % 30000: every sample length that divides 30000 sees each
// place's own residue on every lap.
int16_t Frame(int f) { return int16_t(f % 30000); }

bool WaitFor(const std::function<bool()> &done, int seconds) {
  const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
  while (!done()) {
    if (std::chrono::steady_clock::now() > limit) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return true;
}

class WinMMRecording : public ::testing::Test {
 protected:
  void SetUp() override {
    const fs::path folder = fs::path(QMV_BINARY_DIR) / "test-home";
    fs::create_directories(folder);
    input = (folder / ("record-in-" + std::to_string(getpid()) + ".raw")).string();
    output = (folder / ("record-out-" + std::to_string(getpid()) + ".raw")).string();
    std::vector<int16_t> frames(size_t(kRate) * 10);
    for (size_t f = 0; f < frames.size(); ++f) frames[f] = Frame(int(f));
    std::ofstream(input, std::ios::binary).write(reinterpret_cast<const char *>(frames.data()),
                                                 std::streamsize(frames.size() * 2));
    setenv("SDL_AUDIODRIVER", "disk", 1);
    setenv("SDL_DISKAUDIOFILEIN", input.c_str(), 1);
    setenv("SDL_DISKAUDIOFILE", output.c_str(), 1);
    ASSERT_TRUE(OSND_SetOutput(OSND_OUTPUT_WINMM));
    ASSERT_TRUE(OSND_Init(kRate, 8, 0)) << OSND_GetError();
  }
  void TearDown() override {
    OSND_Close();
    OSND_SetOutput(OSND_OUTPUT_NOSOUND);
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    unsetenv("SDL_DISKAUDIOFILEIN");
    unsetenv("SDL_DISKAUDIOFILE");
    fs::remove(input);
    fs::remove(output);
  }
  OSND_SAMPLE *RecordSample(int length) {
    return OSND_Sample_Alloc(-1, length, OSND_MODE_16BITS | OSND_MODE_MONO, kRate, 255, 128, 255);
  }
  std::vector<int16_t> Contents(OSND_SAMPLE *s) {
    void *p1, *p2;
    unsigned l1, l2;
    const int length = OSND_Sample_GetLength(s);
    std::vector<int16_t> data(static_cast<size_t>(length));
    if (OSND_Sample_Lock(s, 0, length * 2, &p1, &p2, &l1, &l2)) {
      std::memcpy(data.data(), p1, l1);
      OSND_Sample_Unlock(s, p1, p2, l1, l2);
    }
    return data;
  }
  std::string input, output;
};

}  // namespace

TEST_F(WinMMRecording, ARecordingStopsAtTheSampleEndHoldingTheFileStart) {
  OSND_SAMPLE *s = RecordSample(8000);
  ASSERT_NE(s, nullptr);
  ASSERT_TRUE(OSND_Record_StartSample(0, s, false)) << OSND_GetError();
  ASSERT_TRUE(WaitFor([] { return !gOsnd.recording; }, 5)) << "recording ends by itself";
  const std::vector<int16_t> data = Contents(s);
  int wrong = 0;
  for (int i = 0; i < 8000; ++i) wrong += data[size_t(i)] != Frame(i);
  EXPECT_EQ(wrong, 0);
  EXPECT_TRUE(OSND_Record_Stop());
}

TEST_F(WinMMRecording, ALoopingRecordingGoesRoundUntilStopped) {
  OSND_SAMPLE *s = RecordSample(3000);
  ASSERT_TRUE(OSND_Record_StartSample(0, s, true));
  std::this_thread::sleep_for(std::chrono::milliseconds(400));  // about six laps
  EXPECT_TRUE(gOsnd.recording);
  EXPECT_TRUE(OSND_Record_Stop());
  EXPECT_FALSE(gOsnd.recording);
  const std::vector<int16_t> data = Contents(s);
  int wrong = 0, early = 0;
  for (int i = 0; i < 3000; ++i) {
    wrong += data[size_t(i)] % 3000 != i;
    early += data[size_t(i)] < 3000;  // still the first lap
  }
  EXPECT_EQ(wrong, 0);
  EXPECT_LT(early, 3000);
}

TEST(Recording, RefusedWithoutEngineOrSample) {
  EXPECT_FALSE(OSND_Record_StartSample(0, nullptr, false));
  EXPECT_EQ(OSND_GetError(), OSND_ERR_UNINITIALISED);
  EXPECT_FALSE(OSND_Record_Stop());
}
