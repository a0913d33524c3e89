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

namespace d_sound_capture_test {

namespace {

constexpr int kRate = 44100;
constexpr int kPeriod = 100;            // frames of one period of the played tone (441 Hz)
constexpr int kRecorded = kRate;        // one second recorded at a time
constexpr double kAmplitude = 12000.0;
constexpr size_t kWindow = 4 * kPeriod;  // the stretch compared at a time
constexpr double kSilence = 100.0;       // below any sample of the tone but its zero crossings

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

bool Silent(const std::vector<int16_t> &heard, size_t from, size_t frames) {
  for (size_t i = from; i < from + frames; ++i)
    if (std::abs(heard[i]) > kSilence) return false;
  return true;
}

// Whether a part of a window is silence or the tone; a part shorter than
// half a period is too short to tell and is let pass.
bool SilenceOrTone(const std::vector<int16_t> &heard, size_t from, size_t frames, const std::vector<int16_t> &tone) {
  return frames < kPeriod / 2 || Silent(heard, from, frames) || BestMatch(heard, from, frames, tone).correlation > 0.99;
}

// The fewest parts, each silence or the tone at one phase, that a stretch
// splits into. A part of such a part is one too, so taking the longest first
// part each time never needs more parts than the best split.
int Parts(const std::vector<int16_t> &heard, size_t from, size_t frames, const std::vector<int16_t> &tone) {
  int parts = 0;
  for (size_t at = from, end = from + frames; at < end; ++parts) {
    size_t length = end - at;
    while (!SilenceOrTone(heard, at, length, tone)) length -= 5;  // ends below half a period at the latest
    at += length;
  }
  return parts;
}

// A recording laid against the tone, a window of four periods at a time. A
// starved output misses periods, which the sink plays as silence, and a
// starved capture drops frames, which shifts the phase of what follows: each
// window is silence, the tone at one phase, or up to three such parts (a
// missed period and a dropped stretch may fall in one window on a busy
// machine). Anything else was not played. The sound's start, which the mixer
// fades in over a period or two, is the one place left out.
constexpr int kMostParts = 3;
struct Comparison {
  int tone = 0, cut = 0, foreign = 0;
  std::vector<double> gains;
  size_t firstForeign = 0;
  bool started = false;
};
void Compare(const std::vector<int16_t> &heard, const std::vector<int16_t> &tone, Comparison *out) {
  size_t fadeEnd = 0;
  if (!out->started) {
    size_t first = 0;
    while (first < heard.size() && std::abs(heard[first]) <= kSilence) ++first;
    if (first < heard.size()) {
      out->started = true;
      fadeEnd = first + 2 * kPeriod;
    }
  }
  for (size_t from = 0; from + kWindow <= heard.size(); from += kWindow) {
    if (from < fadeEnd || Silent(heard, from, kWindow)) continue;
    const Match match = BestMatch(heard, from, kWindow, tone);
    if (match.correlation > 0.99) {
      ++out->tone;
      out->gains.push_back(match.gain);
    } else if (Parts(heard, from, kWindow, tone) <= kMostParts) {
      ++out->cut;
    } else if (out->foreign++ == 0) {
      out->firstForeign = from;
    }
  }
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

  // Seconds are recorded until half a second of whole windows of the tone has
  // been heard, or anything else: the output's latency and a starved output's
  // gaps are silence, and only make this take longer (the limit only catches
  // a tone that never comes).
  OSND_SAMPLE *recorded = OSND_Sample_Alloc(-1, kRecorded, OSND_MODE_16BITS | OSND_MODE_MONO, kRate, 255, 128, 255);
  ASSERT_NE(recorded, nullptr);
  Comparison heard;
  int seconds = 0;
  const int wanted = int(kRate / 2 / kWindow);
  for (const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(90);
       heard.tone < wanted && heard.foreign == 0 && std::chrono::steady_clock::now() < limit; ++seconds) {
    ASSERT_TRUE(OSND_Record_StartSample(0, recorded, false)) << OSND_GetError();
    while (gOsnd.recording && std::chrono::steady_clock::now() < limit)
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    OSND_Record_Stop();
    std::vector<int16_t> samples(kRecorded);
    void *p1 = nullptr, *p2 = nullptr;
    unsigned l1 = 0, l2 = 0;
    ASSERT_TRUE(OSND_Sample_Lock(recorded, 0, kRecorded * 2, &p1, &p2, &l1, &l2));
    ASSERT_EQ(l1, unsigned(kRecorded * 2));
    std::copy_n(static_cast<const int16_t *>(p1), kRecorded, samples.begin());
    OSND_Sample_Unlock(recorded, p1, p2, l1, l2);
    const int foreign = heard.foreign;
    Compare(samples, tone, &heard);
    if (heard.foreign > foreign && foreign == 0) heard.firstForeign += size_t(seconds) * kRecorded;
  }
  OSND_Close();
  OSND_SetOutput(OSND_OUTPUT_NOSOUND);
  unsetenv("ALSOFT_DRIVERS");

  // What was heard is the tone: the same wave (the monitor mixes the sink's
  // two sides into the recorded one) at a level the output's centre pan and
  // the mix-down leave within 10 dB, with nothing else between its parts.
  EXPECT_GE(heard.tone, wanted) << "windows of the tone in " << seconds << " s recorded";
  EXPECT_EQ(heard.foreign, 0) << "windows neither silence nor the tone, the first at frame " << heard.firstForeign
                              << " (" << heard.tone << " of the tone, " << heard.cut << " cut)";
  ASSERT_FALSE(heard.gains.empty());
  std::sort(heard.gains.begin(), heard.gains.end());
  const double gain = heard.gains[heard.gains.size() / 2];
  EXPECT_GT(gain, 0.3);
  EXPECT_LT(gain, 3.0);
}

}  // namespace d_sound_capture_test
