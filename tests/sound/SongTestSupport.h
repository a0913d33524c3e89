// Test fixture for songs: the captured engine with helpers that load a song
// from memory, play it and measure the capture.
#pragma once

#include "SoundTestSupport.h"

#include "sound/src/song/music_core.h"

#include <cstddef>
#include <cstdint>
#include <vector>

struct SongPosition {
  int order, row;
  bool operator==(const SongPosition &o) const { return order == o.order && row == o.row; }
};

class CapturedSong : public CapturedEngine {
 protected:
  static constexpr int kRate = 44100;
  static constexpr int kTickFrames = 882;  // 125 bpm: 50 ticks a second
  static constexpr int kRowFrames = 6 * kTickFrames;

  void SetUp() override;
  void TearDown() override;

  MusicSong *Load(const std::vector<uint8_t> &bytes, unsigned mode = 0);
  // Steps until at least `frames` frames are captured.
  void PlayFrames(size_t frames);
  int Peak(size_t from, size_t to, bool right = false) const;
  int ZeroCrossings(size_t from, size_t to) const;
  // Frequency of a captured wave of `wave` frames per cycle, from its zero crossings.
  double WaveRate(size_t from, size_t frames) const;
  size_t FirstSound(size_t from) const;
  // Records the position and song clock of every row through the row callback.
  void RecordRows(MusicSong *song);

  std::vector<MusicSong *> songs;
  std::vector<SongPosition> rows;
  std::vector<float> clocks;
};
