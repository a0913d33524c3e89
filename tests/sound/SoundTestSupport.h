// Test fixture: the engine on the non-realtime no-sound output with the capture
// tap, stepped block by block through OSND_Update.
#pragma once

#include "sound/include/osnd.h"
#include "sound/src/channel/software_channel.h"
#include "sound/src/core/osnd_records.h"
#include "sound/src/output/output_nosound.h"
#include "sound/src/mixer/software_mixer.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

// Interleaved 16-bit stereo that never repeats within 65536 frames, the two
// sides distinct.
std::vector<int16_t> StereoRamp(int frames);
// Writes `frames` of the ramp as a raw file; false when it cannot.
bool WriteRawRamp(const std::string &path, int frames);

class CapturedEngine : public ::testing::Test {
 protected:
  // mixer: OSND_MIXER_QUALITY_FPU, _MMXP5 or _MMXP6 (the processor tests are
  // overridden so that the chosen mixer is the one used).
  bool Start(int mixer = OSND_MIXER_QUALITY_FPU, int rate = 44100, int channels = 8, unsigned flags = 0);
  void TearDown() override;
  // Mixes one block; its 16-bit stereo frames are appended to captured.
  void Step(int blocks = 1);
  OSND_SAMPLE *MonoSample16(const std::vector<int16_t> &data, unsigned loopMode = OSND_MODE_LOOP_OFF);
  OSND_SAMPLE *StereoSample16(const std::vector<int16_t> &interleaved, unsigned loopMode = OSND_MODE_LOOP_OFF);
  OsndChannel *Channel(int handle) { return &gOsnd.channels[handle & 0xFFF]; }
  int16_t Left(size_t frame) const { return captured[2 * frame]; }
  int16_t Right(size_t frame) const { return captured[2 * frame + 1]; }
  // First captured frame, from `from` on, where the interleaved stereo frames
  // begin (their first three samples match), or size_t(-1).
  size_t Find(const std::vector<int16_t> &frames, size_t from = 0) const;
  // Frames of `frames` that differ from the capture at frame `at` (all of them
  // when the capture is too short).
  size_t Mismatches(size_t at, const std::vector<int16_t> &frames) const;

  std::vector<int16_t> captured;
};

// Test fixture: the engine on the non-realtime no-sound output, started for
// each test and closed behind it.
class NonRealtimeEngine : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;
};

// Files made at test time: a folder of this process under the build's test
// home, named after the suite (tests run in parallel processes), and a shell
// command run with its output discarded.
std::string TestFile(const std::string &suite, const std::string &name);
void RemoveTestFiles(const std::string &suite);
bool RunQuiet(const std::string &command);
// A shell command run with only its error output discarded, so that the
// command may redirect its standard output to a file.
bool RunShell(const std::string &command);
// The bytes of a file (none when it cannot be read).
std::vector<uint8_t> ReadBytes(const std::string &path);
// A file of raw 16-bit samples in this machine's byte order.
std::vector<int16_t> ReadPcm(const std::string &path);

// The engine on the no-sound output's own mixer thread and a looping stream
// of a raw ramp file, in the test files' folder `suite`; a hand-off test
// plays, changes or closes the stream from its parties.
class RampStreamTest : public ::testing::Test {
 protected:
  explicit RampStreamTest(std::string suite) : m_Suite(std::move(suite)), path(TestFile(m_Suite, "ramp.raw")) {}
  void SetUp() override {
    OsndOutputNoSound.mixerThread = 1;
    ASSERT_TRUE(OSND_SetOutput(OSND_OUTPUT_NOSOUND));
    ASSERT_TRUE(OSND_Init(44100, 16, 0));
    ASSERT_TRUE(WriteRawRamp(path, 60000));
    stream = Open();
    ASSERT_NE(stream, nullptr);
  }
  void TearDown() override {
    OSND_Close();
    RemoveTestFiles(m_Suite);
  }
  OSND_STREAM *Open() {
    return OSND_Stream_Open(path.c_str(), OSND_MODE_RAW | OSND_MODE_16BITS | OSND_MODE_STEREO | OSND_MODE_LOOP_NORMAL,
                            0, 0);
  }

 private:
  const std::string m_Suite;

 protected:
  const std::string path;
  OSND_STREAM *stream = nullptr;
};

// Fails the run, rather than stalling it, when the scope it guards has not
// ended within its time: a hung engine call aborts the process with `what`.
class Watchdog {
 public:
  Watchdog(int seconds, std::string what);
  ~Watchdog();
  Watchdog(const Watchdog &) = delete;
  Watchdog &operator=(const Watchdog &) = delete;

 private:
  std::mutex m_Lock;
  std::condition_variable m_Done;
  bool m_Ended = false;
  std::thread m_Thread;
};

// Polls `pred` until it holds (true) or `milliseconds` have passed (false).
// The default is as long as a starved machine may need (a sanitizer build
// beside busy cores): a wait for what must come ends as soon as it comes, and
// only a hang waits it out. A wait cannot prove that something does not come:
// that needs a step the test waits for.
template <typename Pred>
bool PollUntil(Pred pred, int milliseconds = 60000) {
  const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
  while (!pred()) {
    if (std::chrono::steady_clock::now() > until) return false;
    std::this_thread::sleep_for(std::chrono::microseconds(200));
  }
  return true;
}

// The engine's own threads now alive (they are named after the engine).
int EngineThreadCount();
// The engine's threads left after its close: the kernel still lists a thread
// for a moment after its join (longer when the exiting thread waits for a
// busy core), so this waits up to `milliseconds` for none to be listed, then
// counts.
int EngineThreadsAfterClose(int milliseconds = 60000);
