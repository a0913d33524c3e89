// The synthesizer's performance as the song player drives it: a render must
// always return, whatever song it plays and however often that song repeats,
// and a stop from another thread must not wait on it for ever.
#include "platform/dmusic/DirectMusic.h"

#include "tests/SkipOutsideCi.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <future>
#include <thread>
#include <vector>

namespace performance_test {

using namespace dmusic;

namespace {

// A format 0 file of one track at 96 ticks a beat; `events` is the track's
// body after its header.
std::vector<uint8_t> MidiFile(const std::vector<uint8_t> &events) {
  std::vector<uint8_t> file = {'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 0, 0, 1, 0, 96, 'M', 'T', 'r', 'k'};
  const size_t n = events.size();
  for (int shift = 24; shift >= 0; shift -= 8) file.push_back(uint8_t(n >> shift));
  file.insert(file.end(), events.begin(), events.end());
  return file;
}

class PerformanceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!DirectMusicSynth_SoundFont()) QMV_SKIP_OUTSIDE_CI("no General MIDI sound font installed");
    DirectMusicSynthSettings settings;
    settings.reverb = settings.chorus = false;
    DirectMusicSynth_Configure(settings);
    void *object = nullptr;
    ASSERT_EQ(CoCreateInstance(CLSID_DirectMusicPerformance, nullptr, CLSCTX_INPROC_SERVER,
                               IID_IDirectMusicPerformance, &object),
              S_OK);
    performance = static_cast<IDirectMusicPerformance *>(object);
    ASSERT_EQ(performance->Init(&music, nullptr, nullptr), S_OK);
    ASSERT_EQ(CoCreateInstance(CLSID_DirectMusicLoader, nullptr, CLSCTX_INPROC_SERVER, IID_IDirectMusicLoader, &object),
              S_OK);
    loader = static_cast<IDirectMusicLoader *>(object);
    GUID guid{};
    music->GetDefaultPort(&guid);
    DMUS_PORTPARAMS params{};
    ASSERT_EQ(music->CreatePort(guid, &params, &port, nullptr), S_OK);
    ASSERT_EQ(port->Activate(TRUE), S_OK);
    ASSERT_EQ(performance->AddPort(port), S_OK);
  }
  void TearDown() override {
    for (IDirectMusicSegment *segment : segments) segment->Release();
    if (performance) performance->Release();
    if (port) port->Release();
    if (loader) loader->Release();
    if (music) music->Release();
  }

  IDirectMusicSegment *Load(const std::vector<uint8_t> &bytes) {
    DMUS_OBJECTDESC description{};
    description.dwSize = sizeof(description);
    description.dwValidData = DMUS_OBJ_CLASS | DMUS_OBJ_MEMORY;
    description.guidClass = CLSID_DirectMusicSegment;
    description.llMemLength = std::int64_t(bytes.size());
    description.pbMemData = bytes.data();
    void *object = nullptr;
    EXPECT_EQ(loader->GetObject(&description, IID_IDirectMusicSegment, &object), S_OK);
    if (object) segments.push_back(static_cast<IDirectMusicSegment *>(object));
    return static_cast<IDirectMusicSegment *>(object);
  }

  // Renders `frames` frames on another thread; true when that returned
  // within `seconds`. A render that never returns holds the synthesizer's
  // lock for good, so the process cannot end cleanly: the test says so and
  // ends it.
  bool RenderWithin(std::vector<int16_t> &out, int frames, double seconds) {
    out.assign(size_t(frames) * 2, 0);
    auto done = std::async(std::launch::async, [&] { return DirectMusicSynth_Render(performance, out.data(), frames); });
    if (done.wait_for(std::chrono::duration<double>(seconds)) == std::future_status::ready) return done.get() == S_OK;
    std::fprintf(stderr, "a render of %d frames did not return within %.1f s\n", frames, seconds);
    std::fflush(stderr);
    std::_Exit(1);
  }

  static double Rms(const std::vector<int16_t> &frames, size_t from, size_t to) {
    double sum = 0;
    for (size_t i = from * 2; i < to * 2; ++i) sum += double(frames[i]) * frames[i];
    return std::sqrt(sum / double((to - from) * 2));
  }

  IDirectMusic *music = nullptr;
  IDirectMusicPerformance *performance = nullptr;
  IDirectMusicLoader *loader = nullptr;
  IDirectMusicPort *port = nullptr;
  std::vector<IDirectMusicSegment *> segments;
};

}  // namespace

// A song of no length (one track holding only its end) or of tracks the
// synthesizer cannot read, asked to repeat endlessly or two billion times,
// plays once and ends: the render returns, silent, and a stop from another
// thread during renders returns too.
TEST_F(PerformanceTest, ASongOfNoLengthRepeatedEndlesslyEndsAndNeverHoldsTheRender) {
  const std::vector<uint8_t> empty = MidiFile({0x00, 0xFF, 0x2F, 0x00});
  ASSERT_EQ(empty.size(), 26u);
  // A running status with nothing to run on: the header checks pass, the
  // synthesizer's reader refuses the track.
  const std::vector<uint8_t> unreadable = MidiFile({0x00, 0x40, 0x40, 0x00, 0xFF, 0x2F, 0x00});
  for (const std::vector<uint8_t> *file : {&empty, &unreadable}) {
    for (DWORD repeats : {DMUS_SEG_REPEAT_INFINITE, DWORD(0x7FFFFFFE)}) {
      SCOPED_TRACE(testing::Message() << (file == &empty ? "empty" : "unreadable") << " song, repeats " << repeats);
      IDirectMusicSegment *segment = Load(*file);
      ASSERT_NE(segment, nullptr);
      ASSERT_EQ(segment->SetRepeats(repeats), S_OK);
      ASSERT_EQ(performance->PlaySegment(segment, DMUS_SEGF_DEFAULT, 0, nullptr), S_OK);
      std::vector<int16_t> out;
      ASSERT_TRUE(RenderWithin(out, 4410, 60.0));
      EXPECT_LT(Rms(out, 0, 4410), 2.0);

      std::atomic<bool> rendering{true};
      std::thread renderer([&] {
        std::vector<int16_t> block(2048);
        while (rendering) DirectMusicSynth_Render(performance, block.data(), 1024);
      });
      auto stopped = std::async(std::launch::async, [&] { return performance->Stop(nullptr, nullptr, 0, 0); });
      // A held render never returns; a minute is a deadline a loaded machine meets.
      const bool stopReturned = stopped.wait_for(std::chrono::seconds(60)) == std::future_status::ready;
      if (!stopReturned) {
        std::fprintf(stderr, "a stop did not return within 60 s of renders\n");
        std::fflush(stderr);
        std::_Exit(1);
      }
      rendering = false;
      renderer.join();
    }
  }
}

// Repeats still work for a song shorter than one render: a quarter note
// (of 96 ticks, 0.5 s at the default tempo) followed by 0.1 s of rest,
// repeated endlessly, sounds again in every repeat of a 3 s render; played
// with two repeats it sounds three times and then falls silent.
TEST_F(PerformanceTest, ASongShorterThanARenderRepeatsWithinIt) {
  const std::vector<uint8_t> song =
      MidiFile({0x00, 0x90, 60, 100, 0x60, 0x80, 60, 0, 0x13, 0xFF, 0x2F, 0x00});  // 96 + 19 ticks: 0.6 s
  const int rate = 44100;
  const int frames = rate * 3;
  for (DWORD repeats : {DMUS_SEG_REPEAT_INFINITE, DWORD(2)}) {
    SCOPED_TRACE(testing::Message() << "repeats " << repeats);
    IDirectMusicSegment *segment = Load(song);
    ASSERT_NE(segment, nullptr);
    segment->SetRepeats(repeats);
    ASSERT_EQ(performance->PlaySegment(segment, DMUS_SEGF_DEFAULT, 0, nullptr), S_OK);
    std::vector<int16_t> out;
    ASSERT_TRUE(RenderWithin(out, frames, 20.0));
    // The first 0.3 s of each 0.6 s pass hold the note's attack.
    const size_t pass = size_t(rate) * 6 / 10;
    for (size_t at = 0; at + pass <= size_t(frames); at += pass) {
      const double level = Rms(out, at + 500, at + pass / 2);
      if (repeats == DMUS_SEG_REPEAT_INFINITE || at < 3 * pass) {
        EXPECT_GT(level, 150.0) << "pass starting at " << at;
      } else if (at >= 4 * pass) {
        EXPECT_LT(level, 50.0) << "pass starting at " << at;
      }
    }
    performance->Stop(nullptr, nullptr, 0, 0);
  }
}

}  // namespace performance_test
