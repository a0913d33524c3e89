// Recording through the WinMM output's wave-in stand-in, fed by SDL's disk
// audio driver from a file of known frames.
#pragma once

#include "sound/include/osnd.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <unistd.h>

constexpr int kRate = 44100;

// Frame f holds f % 30000: every sample length that divides 30000 sees each
// place's own residue on every lap.
inline int16_t Frame(int f) { return int16_t(f % 30000); }

class WinMMRecording : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::filesystem::path folder = std::filesystem::path(QMV_BINARY_DIR) / "test-home";
    std::filesystem::create_directories(folder);
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
    std::filesystem::remove(input);
    std::filesystem::remove(output);
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
