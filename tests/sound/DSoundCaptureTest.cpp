// DirectSound capture against a real device: a tone played through the
// DirectSound output (OpenAL Soft on a PulseAudio server of the test's own)
// into a null sink, recorded back from that sink's monitor through OpenAL
// Soft capture, and compared with what was played.
#include "PulseServerSupport.h"
#include "platform/dsound/DirectSoundLibrary.h"
#include "sound/include/osnd.h"
#include "sound/src/core/osnd_records.h"

#include "tests/SkipOutsideCi.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <thread>
#include <vector>

namespace {

constexpr int kRate = 44100;
constexpr int kPeriod = 100;            // frames of one period of the played tone (441 Hz)
constexpr int kRecorded = kRate;        // one second recorded
constexpr double kAmplitude = 12000.0;

// Two tones in one period, so that a copy is not mistaken for a plain sine.
std::vector<int16_t> Tone() {
  std::vector<int16_t> data(kPeriod * 40);
  for (size_t i = 0; i < data.size(); ++i) {
    const double t = 2 * M_PI * double(i % kPeriod) / kPeriod;
    data[i] = int16_t(std::lround(kAmplitude * (0.7 * std::sin(t) + 0.3 * std::sin(5 * t + 1.0))));
  }
  return data;
}

// The best normalised correlation of `heard` (from `from`, over `frames`)
// with the tone at any of its phases, and the gain that goes with it.
struct Match {
  double correlation = 0, gain = 0;
};
Match BestMatch(const std::vector<int16_t> &heard, size_t from, size_t frames, const std::vector<int16_t> &tone) {
  Match best;
  for (int phase = 0; phase < kPeriod; ++phase) {
    double xy = 0, xx = 0, yy = 0;
    for (size_t i = 0; i < frames; ++i) {
      const double x = tone[(i + size_t(phase)) % size_t(kPeriod)], y = heard[from + i];
      xy += x * y;
      xx += x * x;
      yy += y * y;
    }
    if (xx <= 0 || yy <= 0) continue;
    const double c = xy / std::sqrt(xx * yy);
    if (c > best.correlation) best = {c, xy / xx};
  }
  return best;
}

}  // namespace

TEST(DSoundCapture, WhatIsPlayedIntoTheSinkIsRecordedFromItsMonitor) {
  PulseServer server(kRate);
  if (!server.Running()) {
    QMV_SKIP_OUTSIDE_CI("pulseaudio could not be started:\n" + server.Output());
  }
  // OpenAL Soft on the test's server only: its default output is the null
  // sink and its default capture device that sink's monitor.
  setenv("ALSOFT_DRIVERS", "pulse", 1);
  platform::dsound::RegisterDirectSoundLibrary();
  ASSERT_TRUE(OSND_SetOutput(OSND_OUTPUT_DSOUND));
  ASSERT_TRUE(OSND_Init(kRate, 8, 0)) << OSND_GetError();

  const std::vector<int16_t> tone = Tone();
  OSND_SAMPLE *played = OSND_Sample_Alloc(-1, int(tone.size()),
                                          OSND_MODE_16BITS | OSND_MODE_MONO | OSND_MODE_LOOP_NORMAL, kRate, 255, 128, 255);
  ASSERT_NE(played, nullptr);
  ASSERT_TRUE(OSND_Sample_Upload(played, tone.data(), OSND_MODE_16BITS | OSND_MODE_MONO | OSND_MODE_SIGNED));
  ASSERT_GE(OSND_PlaySound(OSND_FREE, played), 0) << OSND_GetError();
  // The tone reaches the sink after the output's latency.
  std::this_thread::sleep_for(std::chrono::milliseconds(500));

  OSND_SAMPLE *recorded = OSND_Sample_Alloc(-1, kRecorded, OSND_MODE_16BITS | OSND_MODE_MONO, kRate, 255, 128, 255);
  ASSERT_NE(recorded, nullptr);
  ASSERT_TRUE(OSND_Record_StartSample(0, recorded, false)) << OSND_GetError();
  const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (gOsnd.recording && std::chrono::steady_clock::now() < limit)
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  EXPECT_FALSE(gOsnd.recording) << "a second of recording ends within 20 s";
  OSND_Record_Stop();

  std::vector<int16_t> heard(kRecorded);
  void *p1 = nullptr, *p2 = nullptr;
  unsigned l1 = 0, l2 = 0;
  ASSERT_TRUE(OSND_Sample_Lock(recorded, 0, kRecorded * 2, &p1, &p2, &l1, &l2));
  ASSERT_EQ(l1, unsigned(kRecorded * 2));
  std::copy_n(static_cast<const int16_t *>(p1), kRecorded, heard.begin());
  OSND_Sample_Unlock(recorded, p1, p2, l1, l2);
  OSND_Close();
  OSND_SetOutput(OSND_OUTPUT_NOSOUND);
  unsetenv("ALSOFT_DRIVERS");

  // The last half second, well after any start-up silence, is the tone: the
  // same wave (the monitor mixes the sink's two sides into the recorded one)
  // at a level the output's centre pan and the mix-down leave within 10 dB.
  // It is compared in windows of 50 ms, each at its own phase: on a loaded
  // machine the output may miss a period now and then, which shifts the phase
  // of what follows without changing what is heard.
  const size_t window = kRate / 20;
  int matching = 0, windows = 0;
  std::vector<double> gains;
  for (size_t from = kRecorded / 2; from + window <= size_t(kRecorded); from += window, ++windows) {
    const Match match = BestMatch(heard, from, window, tone);
    if (match.correlation > 0.99) {
      ++matching;
      gains.push_back(match.gain);
    }
  }
  EXPECT_GE(matching, windows - 2) << "of " << windows << " windows";
  ASSERT_FALSE(gains.empty());
  std::sort(gains.begin(), gains.end());
  const double gain = gains[gains.size() / 2];
  EXPECT_GT(gain, 0.3);
  EXPECT_LT(gain, 3.0);
}
