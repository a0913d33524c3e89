// The WinMM output through the real wave stand-in on SDL's disk audio driver:
// what the engine plays lands in a file, whose passages sox measures.
#include "sound/include/osnd.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include <unistd.h>

namespace disk_capture_oracle_test {

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr int kRate = 44100;

std::vector<int16_t> Tone(double seconds, double hertz, int channels) {
  const int frames = int(seconds * kRate);
  std::vector<int16_t> data(size_t(frames) * size_t(channels));
  for (int i = 0; i < frames; ++i) {
    const auto value = int16_t(std::lround(16384.0 * std::sin(2.0 * M_PI * hertz * i / kRate)));
    for (int c = 0; c < channels; ++c) data[size_t(i) * size_t(channels) + size_t(c)] = value;
  }
  return data;
}

struct Levels {
  double rms = -1.0;
  double maximum = -1.0;
  double frequency = -1.0;
};

double Field(const std::string &text, const std::string &name) {
  const size_t at = text.find(name);
  if (at == std::string::npos) return -1.0;
  return std::atof(text.c_str() + text.find(':', at) + 1);
}

// sox's statistics of the left channel of a stretch of the captured 16-bit
// stereo file (the tones are centred; sox's rough frequency wants one channel).
Levels Measure(const std::string &file, double from, double length) {
  char command[512];
  std::snprintf(command, sizeof command,
                "sox -t raw -r %d -e signed -b 16 -c 2 '%s' -n trim %.3f %.3f remix 1 stat 2>&1", kRate, file.c_str(), from,
                length);
  std::string text;
  if (FILE *p = popen(command, "r")) {
    char buffer[256];
    while (std::fgets(buffer, sizeof buffer, p)) text += buffer;
    pclose(p);
  }
  return Levels{Field(text, "RMS     amplitude"), Field(text, "Maximum amplitude"), Field(text, "Rough   frequency")};
}

class WinMMCapture : public ::testing::Test {
 protected:
  void SetUp() override {
    const fs::path folder = fs::path(QMV_BINARY_DIR) / "test-home";
    fs::create_directories(folder);
    file = (folder / ("winmm-capture-" + std::to_string(getpid()) + ".raw")).string();
    fs::remove(file);
    // Read when the audio subsystem starts, which the wave device does on open.
    setenv("SDL_AUDIODRIVER", "disk", 1);
    setenv("SDL_DISKAUDIOFILE", file.c_str(), 1);
  }
  void TearDown() override {
    OSND_Close();
    OSND_SetOutput(OSND_OUTPUT_NOSOUND);
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    unsetenv("SDL_DISKAUDIOFILE");
    fs::remove(file);
  }
  // Milliseconds of sound the device has written to the file so far.
  int Written() const {
    std::error_code error;
    const auto bytes = fs::file_size(file, error);
    return error ? 0 : int(bytes * 1000 / (kRate * 4));
  }
  // Waits until the device has played `milliseconds` and answers where in
  // the file it stands. The disk driver falls behind the wall clock, the more
  // so on a busy machine, so each step goes by what the device has played
  // and is measured from where it really happened.
  int At(int milliseconds) const {
    const Clock::time_point deadline = Clock::now() + std::chrono::seconds(60);
    while (Written() < milliseconds && Clock::now() < deadline) {
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    EXPECT_GE(Written(), milliseconds) << "the device stopped writing";
    return Written();
  }
  // Levels of what was played from a file position in milliseconds on, for a length.
  Levels Heard(int fromMs, int lengthMs) const { return Measure(file, fromMs / 1000.0, lengthMs / 1000.0); }

  std::string file;
};

}  // namespace

TEST_F(WinMMCapture, ASoundAndALoopingStreamAreHeardAndSilenceStaysSilent) {
  ASSERT_TRUE(OSND_SetOutput(OSND_OUTPUT_WINMM));
  ASSERT_TRUE(OSND_Init(kRate, 32, 0)) << OSND_GetError();

  const std::vector<int16_t> sound = Tone(0.8, 500.0, 1);
  OSND_SAMPLE *sample = OSND_Sample_Alloc(OSND_FREE, int(sound.size()), OSND_MODE_16BITS | OSND_MODE_MONO |
                                          OSND_MODE_LOOP_OFF, kRate, 255, 128, 255);
  ASSERT_NE(sample, nullptr);
  ASSERT_TRUE(OSND_Sample_Upload(sample, sound.data(), OSND_MODE_16BITS | OSND_MODE_MONO | OSND_MODE_SIGNED));
  // A loop of 0.3 s, far shorter than the time it is played for.
  const std::vector<int16_t> loop = Tone(0.3, 1000.0, 2);
  OSND_STREAM *stream = OSND_Stream_Open(reinterpret_cast<const char *>(loop.data()),
                                         OSND_MODE_MEMORY | OSND_MODE_RAW | OSND_MODE_16BITS | OSND_MODE_STEREO |
                                             OSND_MODE_SIGNED | OSND_MODE_LOOP_NORMAL,
                                         0, int(loop.size() * 2));
  ASSERT_NE(stream, nullptr) << OSND_GetError();

  const int sounded = At(600);
  ASSERT_GE(OSND_PlaySound(OSND_FREE, sample), 0);
  const int streamed = At(sounded + 1800);
  ASSERT_GE(OSND_Stream_Play(OSND_FREE, stream), 0);
  const int stopped = At(streamed + 1600);
  EXPECT_TRUE(OSND_Stream_Stop(stream));
  At(stopped + 1000);
  EXPECT_TRUE(OSND_Stream_Close(stream));
  OSND_Sample_Free(sample);
  OSND_Close();

  // What is started is heard 150 to 250 ms later (the mixer writes one
  // buffer length behind the device).
  const Levels before = Heard(50, sounded - 100);
  EXPECT_GE(before.rms, 0.0);
  EXPECT_LT(before.maximum, 0.0001) << "silence before anything plays";

  const Levels tone = Heard(sounded + 350, 500);
  EXPECT_GT(tone.rms, 0.1) << "the short sound";
  EXPECT_NEAR(tone.frequency, 500.0, 50.0);

  const Levels between = Heard(sounded + 1150, streamed - sounded - 1250);
  EXPECT_GE(between.rms, 0.0);
  EXPECT_LT(between.maximum, 0.0001) << "silence after the sound ends";

  // The stream plays 1.6 s of a 0.3 s source: past the first stretch only the
  // loop keeps it sounding.
  for (int from : {350, 800, 1250}) {
    const Levels passage = Heard(streamed + from, 400);
    EXPECT_GT(passage.rms, 0.1) << "the looping stream from " << from << " ms";
    EXPECT_NEAR(passage.frequency, 1000.0, 100.0) << from;
  }

  const Levels after = Heard(stopped + 400, 450);
  EXPECT_GE(after.rms, 0.0);
  EXPECT_LT(after.maximum, 0.0001) << "silence after the stream stops";
}

}  // namespace disk_capture_oracle_test
