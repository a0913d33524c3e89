// The sound manager over the engine's non-realtime no-sound output, with the
// mixed blocks captured, in a folder of the test's own for its sound files.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "framework/sound/SoundManager.h"
#include "sound/src/core/osnd_records.h"

namespace QmvTest {

// A 16-bit mono WAV file of `samples` at `rate`.
void WriteWav(const std::string& path, const std::vector<std::int16_t>& samples, std::int32_t rate = 44100);
// `count` samples of one constant value.
std::vector<std::int16_t> Constant(std::size_t count, std::int16_t value);

class SoundFixture : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Creates the manager on the non-realtime no-sound output; true when the
    // engine came up.
    bool StartManager();
    // Mixes `blocks` blocks into `captured`.
    void Mix(int blocks = 1);

    static OsndChannel& Channel(std::int32_t handle) { return gOsnd.channels[handle & 0xFFF]; }

    std::filesystem::path m_Previous;
    std::filesystem::path m_Folder;
    std::vector<std::int16_t> captured;
};

}  // namespace QmvTest
