// S3M songs written byte by byte, loaded from memory and played through the
// captured non-realtime output.
#include "SongTestSupport.h"

#include "sound/src/song/music_core.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

namespace s3m_song_test {

namespace {

constexpr int kNone = -1;

struct S3mCell {
  int note = kNone;  // octave << 4 | semitone, 254 cut
  int instrument = 0;
  int volume = kNone;
  char effect = 0;  // 'A'..'Z'
  int parameter = 0;
};

struct S3mSample {
  std::vector<uint8_t> data;  // unsigned; 16-bit ones little-endian
  bool sixteen = false;
  bool loop = true;
  int loopStart = 0;
  int loopEnd = -1;  // -1: the whole sample
  int volume = 64;
  int cSpeed = 8363;
  int declaredLength = -1;  // header length when it should lie
};

// Writes a module with the given channel settings (below 16: a channel).
struct S3mFile {
  std::string name = "s3m test";
  std::vector<int> channelSettings{0, 8, 1, 9};
  std::vector<int> orders{0};
  std::vector<S3mSample> samples;
  std::vector<std::vector<S3mCell>> patterns;  // 64 * 32 file channels each
  int speed = 6, tempo = 125, globalVolume = 64;
  bool stereo = true;
  std::vector<int> panTable;  // written when not empty
  int flags = 0, version = 0x1320;
  int patternCountOverride = -1;
  int packedLengthDelta = 0;  // added to every packed length word

  S3mCell &At(int pattern, int row, int channel) {
    while (int(patterns.size()) <= pattern) patterns.emplace_back(size_t(64 * 32));
    return patterns[size_t(pattern)][size_t(row * 32 + channel)];
  }

  static void Word(std::vector<uint8_t> &b, size_t at, int v) {
    b[at] = uint8_t(v);
    b[at + 1] = uint8_t(v >> 8);
  }
  static void Dword(std::vector<uint8_t> &b, size_t at, uint32_t v) {
    Word(b, at, int(v & 0xFFFF));
    Word(b, at + 2, int(v >> 16));
  }
  static size_t Align(std::vector<uint8_t> &b) {
    b.resize((b.size() + 15) / 16 * 16, 0);
    return b.size();
  }

  std::vector<uint8_t> Packed(const std::vector<S3mCell> &cells) const {
    std::vector<uint8_t> p(2, 0);
    for (int r = 0; r < 64; ++r) {
      for (int c = 0; c < 32; ++c) {
        const S3mCell &cell = cells[size_t(r * 32 + c)];
        int what = c;
        if (cell.note != kNone || cell.instrument) what |= 32;
        if (cell.volume != kNone) what |= 64;
        if (cell.effect) what |= 128;
        if (what == c) continue;
        p.push_back(uint8_t(what));
        if (what & 32) {
          p.push_back(uint8_t(cell.note == kNone ? 255 : cell.note));
          p.push_back(uint8_t(cell.instrument));
        }
        if (what & 64) p.push_back(uint8_t(cell.volume));
        if (what & 128) {
          p.push_back(uint8_t(cell.effect - 'A' + 1));
          p.push_back(uint8_t(cell.parameter));
        }
      }
      p.push_back(0);
    }
    Word(p, 0, int(p.size()) + packedLengthDelta);
    return p;
  }

  std::vector<uint8_t> Bytes() const {
    const int patternCount = patternCountOverride >= 0 ? patternCountOverride : int(patterns.size());
    std::vector<uint8_t> b(96, 0);
    std::memcpy(b.data(), name.data(), std::min<size_t>(name.size(), 28));
    b[28] = 0x1A;
    b[29] = 16;
    Word(b, 32, int(orders.size()));
    Word(b, 34, int(samples.size()));
    Word(b, 36, patternCount);
    Word(b, 38, flags);
    Word(b, 40, version);
    Word(b, 42, 2);
    std::memcpy(b.data() + 44, "SCRM", 4);
    b[48] = uint8_t(globalVolume);
    b[49] = uint8_t(speed);
    b[50] = uint8_t(tempo);
    b[51] = uint8_t(stereo ? 0xB0 : 0x30);
    b[53] = panTable.empty() ? 0 : 252;
    for (int k = 0; k < 32; ++k) b[64 + size_t(k)] = uint8_t(k < int(channelSettings.size()) ? channelSettings[size_t(k)] : 255);
    for (int o : orders) b.push_back(uint8_t(o));
    const size_t pointers = b.size();
    b.resize(b.size() + 2 * (samples.size() + size_t(patternCount)), 0);
    for (int k = 0; k < 32 && !panTable.empty(); ++k) b.push_back(uint8_t(k < int(panTable.size()) ? panTable[size_t(k)] : 0));
    std::vector<size_t> headers;
    for (size_t i = 0; i < samples.size(); ++i) {
      const size_t at = Align(b);
      Word(b, pointers + 2 * i, int(at / 16));
      b.resize(at + 80, 0);
      headers.push_back(at);
    }
    for (int p = 0; p < patternCount && p < int(patterns.size()); ++p) {
      const size_t at = Align(b);
      Word(b, pointers + 2 * (samples.size() + size_t(p)), int(at / 16));
      const std::vector<uint8_t> packed = Packed(patterns[size_t(p)]);
      b.insert(b.end(), packed.begin(), packed.end());
    }
    for (size_t i = 0; i < samples.size(); ++i) {
      const S3mSample &s = samples[i];
      const size_t data = Align(b) / 16;
      const size_t h = headers[i];
      const int frames = int(s.data.size()) / (s.sixteen ? 2 : 1);
      b[h] = 1;
      b[h + 13] = uint8_t(data >> 16);
      Word(b, h + 14, int(data & 0xFFFF));
      Dword(b, h + 16, uint32_t(s.declaredLength >= 0 ? s.declaredLength : frames));
      Dword(b, h + 20, uint32_t(s.loopStart));
      Dword(b, h + 24, uint32_t(s.loopEnd >= 0 ? s.loopEnd : frames));
      b[h + 28] = uint8_t(s.volume);
      b[h + 31] = uint8_t((s.loop ? 1 : 0) | (s.sixteen ? 4 : 0));
      Dword(b, h + 32, uint32_t(s.cSpeed));
      std::memcpy(b.data() + h + 48, "sample", 6);
      std::memcpy(b.data() + h + 76, "SCRS", 4);
      b.insert(b.end(), s.data.begin(), s.data.end());
    }
    return b;
  }
};

// Unsigned 8-bit sine of whole 32-frame waves.
S3mSample Sine(int frames = 256, int volume = 64, int cSpeed = 8363) {
  S3mSample s;
  for (int i = 0; i < frames; ++i) s.data.push_back(uint8_t(128 + std::lround(100.0 * std::sin(2 * M_PI * i / 32))));
  s.volume = volume;
  s.cSpeed = cSpeed;
  return s;
}

S3mSample Square(int frames = 256, int amplitude = 100) {
  S3mSample s;
  for (int i = 0; i < frames; ++i) s.data.push_back(uint8_t(128 + ((i % 32) < 16 ? amplitude : -amplitude)));
  return s;
}

constexpr int kC4 = 0x40, kC5 = 0x50;

using S3mSongTest = CapturedSong;

TEST_F(S3mSongTest, LoadsHeaderChannelsOrdersInstrumentsAndCells) {
  S3mFile f;
  f.channelSettings = {0, 16, 9, 255, 3, 128};  // file channels 1, 3 and 5 are left out
  f.orders = {1, 255, 0, 254, 3};
  f.patternCountOverride = 2;  // order 3 names a pattern the file lacks
  f.samples.push_back(Sine(256, 40, 16726));
  S3mSample wide;
  wide.sixteen = true;
  for (int i = 0; i < 100; ++i) {
    wide.data.push_back(uint8_t(i));
    wide.data.push_back(uint8_t(0x80 + i));
  }
  wide.loop = false;
  f.samples.push_back(wide);
  S3mSample shortLoop = Square(64);
  shortLoop.loopStart = 10;
  shortLoop.loopEnd = 12;  // below 3 frames: no loop
  f.samples.push_back(shortLoop);
  f.At(0, 5, 4) = {0x5B, 2, 70, 'D', 0x12};  // B-5, volume past 64
  f.At(0, 6, 2) = {254, 0, kNone, 0, 0};
  f.At(1, 63, 0) = {kC4, 1, 0, 'Z', 7};
  f.At(1, 0, 1) = {kC4, 3, 10, 'A', 1};  // a left-out channel
  MusicSong *song = Load(f.Bytes());
  ASSERT_NE(song, nullptr) << OSND_GetError();
  EXPECT_EQ(song->type, MUSIC_TYPE_S3M);
  EXPECT_STREQ(song->name, "s3m test");
  EXPECT_EQ(song->channelCount, 3);
  EXPECT_EQ(song->defaultPan[0], 0);
  EXPECT_EQ(song->defaultPan[1], 255);
  EXPECT_EQ(song->defaultPan[2], 0);
  EXPECT_EQ(song->orderCount, 3);
  EXPECT_EQ(song->orders[0], 1);
  EXPECT_EQ(song->orders[1], 0);
  EXPECT_EQ(song->orders[2], 3);
  EXPECT_EQ(song->patternCount, 4);
  EXPECT_EQ(song->patternsAllocated, 4);
  EXPECT_EQ(song->patterns[3].rows, 64);
  EXPECT_EQ(Music_Cell(song, 3, 0, 0)->note, 0);
  EXPECT_EQ(song->masterVolume, 256);
  EXPECT_EQ(song->globalVolume, 64);
  EXPECT_EQ(song->defaultSpeed, 6);
  EXPECT_EQ(song->defaultTempo, 125);

  ASSERT_EQ(song->sampleCount, 3);
  OSND_SAMPLE *sine = song->samples[0];
  EXPECT_EQ(sine->length, 256u);
  EXPECT_EQ(sine->defFrequency, 16726);
  EXPECT_EQ(sine->defVolume, 40);
  EXPECT_TRUE(sine->mode & OSND_MODE_LOOP_NORMAL);
  EXPECT_EQ(sine->loopLength, 256u);
  EXPECT_TRUE(sine->mode & OSND_MODE_8BITS);
  EXPECT_EQ(sine->songSample, 1);
  // Unsigned data is stored signed.
  EXPECT_EQ(int8_t(sine->data[8]), int8_t(f.samples[0].data[8] ^ 0x80));
  OSND_SAMPLE *w = song->samples[1];
  EXPECT_TRUE(w->mode & OSND_MODE_16BITS);
  EXPECT_TRUE(w->mode & OSND_MODE_LOOP_OFF);
  EXPECT_EQ(w->length, 100u);
  const int16_t *pcm = reinterpret_cast<const int16_t *>(w->data);
  EXPECT_EQ(pcm[5], int16_t(0x0505));
  EXPECT_EQ(pcm[99], int16_t(0x6363));
  EXPECT_TRUE(song->samples[2]->mode & OSND_MODE_LOOP_OFF);
  EXPECT_EQ(song->samples[2]->loopStart, 0u);
  EXPECT_EQ(song->samples[2]->loopLength, 64u);

  const MusicNote *c = Music_Cell(song, 0, 5, 2);
  ASSERT_NE(c, nullptr);
  EXPECT_EQ(c->note, 5 * 12 + 11 + 1);
  EXPECT_EQ(c->instrument, 2);
  EXPECT_EQ(c->volume, 65);
  EXPECT_EQ(c->effect, 4);
  EXPECT_EQ(c->parameter, 0x12);
  EXPECT_EQ(Music_Cell(song, 0, 6, 1)->note, 255);
  const MusicNote *last = Music_Cell(song, 1, 63, 0);
  EXPECT_EQ(last->note, 49);
  EXPECT_EQ(last->volume, 1);
  EXPECT_EQ(last->effect, 26);
  // The left-out channel wrote into no song channel.
  for (int ch = 0; ch < 3; ++ch) EXPECT_EQ(Music_Cell(song, 1, 0, ch)->instrument, 0) << ch;
}

TEST_F(S3mSongTest, PanTableAndMono) {
  S3mFile f;
  f.channelSettings = {0, 8, 16, 1};
  f.panTable = {0x13, 0x0C, 0x1F, 0x1A};  // the second has no pan bit; the third is left out
  MusicSong *song = Load(f.Bytes());
  ASSERT_NE(song, nullptr);
  EXPECT_EQ(song->defaultPan[0], 0x30);
  EXPECT_EQ(song->defaultPan[1], 255);
  EXPECT_EQ(song->defaultPan[2], 0xA0);
  f.stereo = false;
  MusicSong *mono = Load(f.Bytes());
  ASSERT_NE(mono, nullptr);
  for (int k = 0; k < 3; ++k) EXPECT_EQ(mono->defaultPan[k], 128) << k;
  EXPECT_EQ(mono->songChannels[1].defaultPan, 128);
}

TEST_F(S3mSongTest, OnlyOrderMarkersGiveAnEmptySong) {
  S3mFile f;
  f.orders = {255, 254, 255};
  MusicSong *song = Load(f.Bytes(), OSND_MODE_LOOP_OFF);
  ASSERT_NE(song, nullptr);
  EXPECT_EQ(song->orderCount, 0);
  ASSERT_TRUE(Music_PlaySong(song));
  PlayFrames(size_t(kRowFrames) * 3);
  EXPECT_EQ(song->playing, 0);
}

TEST_F(S3mSongTest, SpeedAndTempoSetRowTiming) {
  S3mFile f;
  f.samples.push_back(Square());
  f.speed = 4;
  f.At(0, 0, 0) = {kC4, 1, kNone, 0, 0};
  f.At(0, 3, 1) = {kNone, 0, kNone, 'A', 3};
  f.At(0, 6, 2) = {kNone, 0, kNone, 'T', 100};  // 40 ticks a second
  f.At(0, 8, 3) = {kNone, 0, kNone, 'T', 20};   // below 32: ignored
  MusicSong *song = Load(f.Bytes());
  ASSERT_NE(song, nullptr);
  RecordRows(song);
  ASSERT_TRUE(Music_PlaySong(song));
  EXPECT_EQ(song->samplesPerTick, kTickFrames);
  PlayFrames(size_t(kRowFrames) * 8);
  ASSERT_GE(clocks.size(), 10u);
  const double tickMs = 1000.0 * kTickFrames / kRate;
  const double slowTickMs = 1000.0 * 1103 / kRate;  // 44100 / 40 = 1102.5 -> 1103
  EXPECT_NEAR(clocks[0], 4 * tickMs, 0.05);            // row 0 -> 1
  EXPECT_NEAR(clocks[2] - clocks[1], 4 * tickMs, 0.05);  // row 2 -> 3
  EXPECT_NEAR(clocks[3] - clocks[2], 3 * tickMs, 0.05);  // row 3 has speed 3
  EXPECT_NEAR(clocks[6] - clocks[5], 3 * slowTickMs, 0.05);
  EXPECT_NEAR(clocks[8] - clocks[7], 3 * slowTickMs, 0.05);
  EXPECT_EQ(song->tempo, 100);
  EXPECT_LT(FirstSound(0), 8u);
}

TEST_F(S3mSongTest, NotesSoundAtTheirPitchAndPan) {
  S3mFile f;
  f.samples.push_back(Sine());
  f.samples.push_back(Sine(256, 64, 16726));  // twice the C-speed
  f.At(0, 0, 0) = {kC4, 1, kNone, 0, 0};
  f.At(0, 16, 0) = {kC5, 1, kNone, 0, 0};
  f.At(0, 32, 0) = {kC4, 2, kNone, 0, 0};
  MusicSong *song = Load(f.Bytes());
  ASSERT_NE(song, nullptr);
  ASSERT_TRUE(Music_PlaySong(song));
  PlayFrames(size_t(kRowFrames) * 48);
  const size_t span = size_t(kRowFrames) * 14;
  const double c4 = 14317056.0 / 1712 / 32;
  EXPECT_NEAR(WaveRate(1000, span), c4, 1.0);
  EXPECT_NEAR(WaveRate(size_t(kRowFrames) * 16 + 1000, span), 2 * c4, 1.0);
  EXPECT_NEAR(WaveRate(size_t(kRowFrames) * 32 + 1000, span), 2 * c4, 1.0);
  // Channel setting 0 is a left channel.
  EXPECT_GT(Peak(1000, 1000 + span), 5000);
  EXPECT_LT(Peak(1000, 1000 + span, true), Peak(1000, 1000 + span) / 20);
}

TEST_F(S3mSongTest, PortamentoSlidesThePitch) {
  S3mFile f;
  f.samples.push_back(Sine());
  f.At(0, 0, 0) = {kC4, 1, kNone, 0, 0};
  f.At(0, 1, 0) = {kC5, 0, kNone, 'G', 0xFF};    // reaches the octave on tick 1
  f.At(0, 5, 0) = {kC4, 0, kNone, 'G', 0x10};    // 64 units a tick, 5 ticks: 856 -> 1176
  f.At(0, 9, 0) = {kNone, 0, kNone, 'F', 0x08};  // up 32 units a tick
  f.At(0, 13, 0) = {kNone, 0, kNone, 'E', 0xF4}; // fine down 16 units, once
  MusicSong *song = Load(f.Bytes());
  ASSERT_NE(song, nullptr);
  ASSERT_TRUE(Music_PlaySong(song));
  PlayFrames(size_t(kRowFrames) * 18);
  const double unit = 14317056.0 / 32;
  // Three rows after each effect row, where the period holds still.
  auto rate = [&](int firstRow) { return WaveRate(size_t(firstRow) * kRowFrames, 3 * size_t(kRowFrames)); };
  EXPECT_NEAR(rate(2), unit / 856, 2.0);
  EXPECT_NEAR(rate(6), unit / 1176, 2.0);
  EXPECT_NEAR(rate(10), unit / (1176 - 5 * 32), 2.0);
  EXPECT_NEAR(rate(14), unit / (1016 + 16), 2.0);
  // The tone portamento started no new note: the voice kept playing through.
  EXPECT_GT(Peak(kRowFrames, kRowFrames + 400), 5000);
}

TEST_F(S3mSongTest, VolumeColumnSlidesAndGlobalVolume) {
  S3mFile f;
  f.samples.push_back(Square(256, 100));
  f.At(0, 0, 0) = {kC4, 1, 32, 0, 0};            // half volume
  f.At(0, 1, 0) = {kNone, 0, 64, 'D', 0x04};     // down 4 a tick after tick 0
  f.At(0, 2, 0) = {kNone, 0, 20, 'D', 0xF0};     // DF0: up 15 a tick after tick 0
  f.At(0, 3, 0) = {kNone, 0, 10, 'D', 0xFF};     // DFF: up 15 on tick 0 only
  f.At(0, 4, 0) = {kNone, 0, 64, 'D', 0x0F};     // D0F: down 15 after tick 0
  f.At(0, 5, 0) = {kNone, 0, 64, 'V', 0x20};     // global volume half
  f.At(0, 6, 0) = {254, 0, kNone, 'V', 0x40};    // note cut
  MusicSong *song = Load(f.Bytes());
  ASSERT_NE(song, nullptr);
  ASSERT_TRUE(Music_PlaySong(song));
  PlayFrames(size_t(kRowFrames) * 7);
  auto tickPeak = [&](int row, int tick) {
    const size_t start = size_t(row) * kRowFrames + size_t(tick) * kTickFrames;
    return Peak(start + 300, start + kTickFrames);
  };
  const int full = tickPeak(1, 0);
  ASSERT_GT(full, 5000);
  EXPECT_NEAR(double(tickPeak(0, 3)) / full, 0.5, 0.02);
  for (int t = 0; t < 6; ++t) EXPECT_NEAR(double(tickPeak(1, t)) / full, (64 - 4 * t) / 64.0, 0.02) << t;
  const int up[6] = {20, 35, 50, 64, 64, 64};
  for (int t = 0; t < 6; ++t) EXPECT_NEAR(double(tickPeak(2, t)) / full, up[t] / 64.0, 0.02) << t;
  for (int t = 0; t < 6; ++t) EXPECT_NEAR(double(tickPeak(3, t)) / full, 25 / 64.0, 0.02) << t;
  const int down[6] = {64, 49, 34, 19, 4, 0};
  for (int t = 0; t < 6; ++t) EXPECT_NEAR(double(tickPeak(4, t)) / full, down[t] / 64.0, 0.02) << t;
  EXPECT_NEAR(double(tickPeak(5, 2)) / full, 0.5, 0.02);
  EXPECT_EQ(tickPeak(6, 2), 0);
}

TEST_F(S3mSongTest, FastSlidesActOnTheFirstTickToo) {
  S3mFile f;
  f.flags = 64;
  f.samples.push_back(Square(256, 100));
  f.At(0, 0, 0) = {kC4, 1, 64, 0, 0};
  f.At(0, 1, 0) = {kNone, 0, 64, 'D', 0x08};
  MusicSong *song = Load(f.Bytes());
  ASSERT_NE(song, nullptr);
  EXPECT_EQ(song->fastSlides, 1);
  ASSERT_TRUE(Music_PlaySong(song));
  PlayFrames(size_t(kRowFrames) * 2);
  const int full = Peak(kRowFrames / 2, kRowFrames);
  EXPECT_NEAR(double(Peak(kRowFrames + 300, kRowFrames + kTickFrames)) / full, 56 / 64.0, 0.02);
  EXPECT_NEAR(double(Peak(kRowFrames + kTickFrames + 300, kRowFrames + 2 * kTickFrames)) / full, 48 / 64.0, 0.02);
}

TEST_F(S3mSongTest, BreakJumpAndSongEnd) {
  S3mFile f;
  f.samples.push_back(Square());
  f.orders = {0, 1, 2};
  f.At(0, 0, 0) = {kC4, 1, kNone, 0, 0};
  f.At(0, 2, 1) = {kNone, 0, kNone, 'C', 0x61};  // row 61 of the next order
  f.At(1, 62, 2) = {kNone, 0, kNone, 'B', 2};
  f.At(2, 0, 0) = {kNone, 0, kNone, 'C', 0x00};   // break out of the last order
  MusicSong *song = Load(f.Bytes(), OSND_MODE_LOOP_OFF);
  ASSERT_NE(song, nullptr);
  RecordRows(song);
  ASSERT_TRUE(Music_PlaySong(song));
  PlayFrames(size_t(kRowFrames) * 10);
  const std::vector<SongPosition> expected{{0, 1}, {0, 2}, {1, 61}, {1, 62}, {2, 0}};
  EXPECT_EQ(rows, expected);
  EXPECT_EQ(song->playing, 0);
  EXPECT_EQ(Peak(size_t(kRowFrames) * 7, size_t(kRowFrames) * 10), 0);
  EXPECT_TRUE(OsndList_IsEmpty(&song->channels));
}

TEST_F(S3mSongTest, PatternLoopAndSpeedZero) {
  S3mFile f;
  f.At(0, 1, 0) = {kNone, 0, kNone, 'S', 0xB0};
  f.At(0, 2, 0) = {kNone, 0, kNone, 'S', 0xB2};
  f.At(0, 5, 0) = {kNone, 0, kNone, 'C', 0};
  f.At(1, 0, 0) = {kNone, 0, kNone, 'A', 0};
  f.orders = {0, 1};
  MusicSong *song = Load(f.Bytes());
  ASSERT_NE(song, nullptr);
  RecordRows(song);
  ASSERT_TRUE(Music_PlaySong(song));
  PlayFrames(size_t(kRowFrames) * 8);
  std::vector<int> order;
  for (const SongPosition &p : rows) order.push_back(p.row);
  const std::vector<int> expected{1, 2, 1, 2, 1, 2, 3, 4};
  ASSERT_GE(order.size(), expected.size());
  EXPECT_EQ(std::vector<int>(order.begin(), order.begin() + 8), expected);
  // Once order 1 sets speed 0, every tick is a row: the song runs on and ends.
  EXPECT_EQ(song->finished, 0);
  PlayFrames(size_t(kRowFrames) * 12 + 70 * kTickFrames);
  EXPECT_EQ(song->finished, 1);
}

TEST_F(S3mSongTest, HostileFilesFailCleanlyOrPlay) {
  S3mFile f;
  f.samples.push_back(Square());
  S3mSample liar = Square(64);
  liar.declaredLength = 0x7FFFFFF0;  // far past the file
  liar.loopStart = 0x7FFFFF00;
  liar.loopEnd = 0x7FFFFFFF;
  f.samples.push_back(liar);
  f.orders = {0, 200, 1};  // pattern 200 is not in the file
  f.At(0, 0, 0) = {kC4, 2, 200, 'O', 0xFF};
  f.At(0, 0, 1) = {0xFE - 1, 99, kNone, 'J', 0xFF};  // a note past the table, an unknown instrument
  f.At(0, 1, 2) = {kC4, 1, kNone, 'Q', 0x31};
  f.At(1, 0, 3) = {kC4, 1, kNone, 'B', 250};
  f.packedLengthDelta = 4000;  // packed lengths past the file
  MusicSong *song = Load(f.Bytes());
  ASSERT_NE(song, nullptr) << OSND_GetError();
  EXPECT_EQ(song->patternCount, 201);
  EXPECT_EQ(song->samples[1]->length, 64u);
  EXPECT_LE(song->samples[1]->loopStart + song->samples[1]->loopLength, 64u);
  EXPECT_EQ(Music_Cell(song, 0, 0, 0)->volume, 65);
  ASSERT_TRUE(Music_PlaySong(song));
  PlayFrames(size_t(kRowFrames) * 4);
  EXPECT_LE(song->order, 2);

  // A packed length shorter than the data ends the pattern there.
  S3mFile cut;
  cut.At(0, 0, 0) = {kC4, 1, kNone, 0, 0};
  cut.At(0, 40, 0) = {kC4, 1, kNone, 0, 0};
  cut.packedLengthDelta = -30;
  MusicSong *shortPattern = Load(cut.Bytes());
  ASSERT_NE(shortPattern, nullptr);
  EXPECT_EQ(Music_Cell(shortPattern, 0, 0, 0)->note, 49);
  EXPECT_EQ(Music_Cell(shortPattern, 0, 40, 0)->note, 0);

  // A parapointer table cut short by the end of the file.
  std::vector<uint8_t> bytes = f.Bytes();
  bytes.resize(96 + 3 + 2);
  EXPECT_EQ(Load(bytes), nullptr);
  EXPECT_EQ(OSND_GetError(), OSND_ERR_FILE_BAD);
  std::vector<uint8_t> notS3m = f.Bytes();
  notS3m[44] = 'X';
  EXPECT_EQ(Load(notS3m), nullptr);
  EXPECT_EQ(OSND_GetError(), OSND_ERR_FILE_FORMAT);

  // Random damage to a playable module: loads fail cleanly or play.
  S3mFile base;
  base.samples.push_back(Square());
  base.orders = {0, 1, 0};
  for (int r = 0; r < 64; r += 3) base.At(r % 2, r, r % 4) = {kC4 + r % 3, 1, r, char('A' + r % 26), r * 5};
  const std::vector<uint8_t> clean = base.Bytes();
  std::mt19937 random(11);
  for (int round = 0; round < 60; ++round) {
    std::vector<uint8_t> damaged = clean;
    for (int k = 0; k < 30; ++k) {
      const size_t at = random() % damaged.size();
      if (at < 44 || at > 47) damaged[at] = uint8_t(random());
    }
    if (round % 3 == 0) damaged.resize(48 + random() % (damaged.size() - 48));
    MusicSong *s = Load(damaged);
    if (!s) {
      EXPECT_NE(OSND_GetError(), OSND_ERR_NONE);
      continue;
    }
    Music_PlaySong(s);
    Step(4);
    Music_StopSong(s);
  }
}

TEST_F(S3mSongTest, FuzzSeedLoadsAndPlays) {
  FILE *in = std::fopen(QMV_SOURCE_DIR "/fuzz/seeds/songs/effects.s3m", "rb");
  ASSERT_NE(in, nullptr);
  std::vector<uint8_t> bytes(1 << 16);
  bytes.resize(std::fread(bytes.data(), 1, bytes.size(), in));
  std::fclose(in);
  MusicSong *song = Load(bytes, OSND_MODE_LOOP_NORMAL);
  ASSERT_NE(song, nullptr) << OSND_GetError();
  EXPECT_EQ(song->type, MUSIC_TYPE_S3M);
  EXPECT_EQ(song->orderCount, 3);
  EXPECT_EQ(song->sampleCount, 2);
  ASSERT_TRUE(Music_PlaySong(song));
  PlayFrames(size_t(kRowFrames) * 8);
  EXPECT_GT(Peak(0, size_t(kRowFrames) * 8), 1000);
}

}  // namespace

// The mix level: a full-scale note at volume 64, global volume 64 and master
// volume 256 is engine volume (64 x 64 x 256) >> 13 = 128; at the centre the
// software channel takes 180 and 181 of 255 of it, truncated: 90 and 90; the
// mixer then gives a full-scale sample 32767 x 90 / 255 on each side.
TEST_F(S3mSongTest, AFullVolumeNotePlaysAtTheMixLevelOfTheVolumeFormula) {
  S3mFile f;
  f.stereo = false;  // every channel at the centre
  f.samples.push_back(Square(256, 127));
  f.At(0, 0, 0) = {kC4, 1, kNone, 0, 0};
  MusicSong *song = Load(f.Bytes());
  ASSERT_NE(song, nullptr);
  ASSERT_TRUE(Music_PlaySong(song));
  PlayFrames(size_t(kRowFrames) * 2);
  constexpr int kVolume = (64 * 64 * 256) >> 13, kSide = 180 * kVolume / 255;
  ASSERT_EQ(kSide, 90);
  EXPECT_NEAR(Peak(kRowFrames / 2, kRowFrames * 2), 32767 * kSide / 255, 2);
  EXPECT_NEAR(Peak(kRowFrames / 2, kRowFrames * 2, true), 32767 * kSide / 255, 2);
}

}  // namespace s3m_song_test
