// Recording through the WinMM output's wave-in stand-in (WinMMRecordingSupport.h).
#include "WaitSupport.h"
#include "WinMMRecordingSupport.h"
#include "sound/src/core/osnd_records.h"
#include "sound/src/source/source_record.h"

#include <chrono>
#include <functional>
#include <thread>

namespace recording_test {

namespace {

bool WaitFor(const std::function<bool()> &done, int seconds) {
  const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
  while (!done()) {
    if (std::chrono::steady_clock::now() > limit) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return true;
}

}  // namespace

TEST_F(WinMMRecording, ARecordingStopsAtTheSampleEndHoldingTheFileStart) {
  OSND_SAMPLE *s = RecordSample(8000);
  ASSERT_NE(s, nullptr);
  ASSERT_TRUE(OSND_Record_StartSample(0, s, false)) << OSND_GetError();
  ASSERT_TRUE(WaitFor([] { return !gOsnd.recording; }, kActDeadlineMs / 1000)) << "recording ends by itself";
  const std::vector<int16_t> data = Contents(s);
  int wrong = 0;
  for (int i = 0; i < 8000; ++i) wrong += data[size_t(i)] != Frame(i);
  EXPECT_EQ(wrong, 0);
  EXPECT_TRUE(OSND_Record_Stop());
}

TEST_F(WinMMRecording, ALoopingRecordingGoesRoundUntilStopped) {
  OSND_SAMPLE *s = RecordSample(3000);
  ASSERT_TRUE(OSND_Record_StartSample(0, s, true));
  // Three laps at least: the write position seen going back to the start.
  int laps = 0, last = 0;
  ASSERT_TRUE(WaitFor(
      [&] {
        const int now = OsndRecord_WritePosition();
        laps += now < last;
        last = now;
        return laps >= 3;
      },
      kActDeadlineMs / 1000))
      << "the recording did not go round";
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

}  // namespace recording_test
