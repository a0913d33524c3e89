#include "SongTestSupport.h"

#include <algorithm>
#include <cstdlib>

namespace {
CapturedSong *gRecorder = nullptr;
std::vector<SongPosition> *gRows = nullptr;
std::vector<float> *gClocks = nullptr;

void RecordRow(MusicSong *song, int row) {
  if (gRows) gRows->push_back({song->order, row});
  if (gClocks) gClocks->push_back(song->clock);
}
}  // namespace

void CapturedSong::SetUp() { ASSERT_TRUE(Start(OSND_MIXER_QUALITY_FPU, kRate, 8, 0x80)); }

void CapturedSong::TearDown() {
  for (MusicSong *s : songs) Music_FreeSong(s);
  songs.clear();
  if (gRecorder == this) gRecorder = nullptr, gRows = nullptr, gClocks = nullptr;
  CapturedEngine::TearDown();
}

MusicSong *CapturedSong::Load(const std::vector<uint8_t> &bytes, unsigned mode) {
  MusicSong *song = Music_CreateSong();
  songs.push_back(song);
  return Music_LoadSong(song, reinterpret_cast<const char *>(bytes.data()), OSND_MODE_MEMORY | mode, 0,
                        int(bytes.size()), nullptr, 0);
}

void CapturedSong::PlayFrames(size_t frames) {
  for (int guard = 0; captured.size() / 2 < frames && guard < 100000; ++guard) Step();
}

int CapturedSong::Peak(size_t from, size_t to, bool right) const {
  int peak = 0;
  for (size_t f = from; f < to && f < captured.size() / 2; ++f)
    peak = std::max(peak, std::abs(int(right ? Right(f) : Left(f))));
  return peak;
}

int CapturedSong::ZeroCrossings(size_t from, size_t to) const {
  int n = 0;
  for (size_t f = from + 1; f < to && f < captured.size() / 2; ++f)
    if ((Left(f - 1) < 0) != (Left(f) < 0)) ++n;
  return n;
}

double CapturedSong::WaveRate(size_t from, size_t frames) const {
  return ZeroCrossings(from, from + frames) / (2.0 * double(frames) / kRate);
}

size_t CapturedSong::FirstSound(size_t from) const {
  for (size_t f = from; f < captured.size() / 2; ++f)
    if (Left(f) != 0 || Right(f) != 0) return f;
  return size_t(-1);
}

void CapturedSong::RecordRows(MusicSong *song) {
  gRecorder = this;
  gRows = &rows;
  gClocks = &clocks;
  ASSERT_TRUE(Music_SetCallback(song, MUSIC_CALLBACK_ROW, 0, RecordRow, 1));
}
