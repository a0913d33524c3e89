// MOD songs written byte by byte, loaded from memory and played through the
// captured non-realtime output.
#include "SongTestSupport.h"

#include "sound/src/song/music_core.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <random>
#include <string>
#include <utility>
#include <vector>

namespace mod_song_test {

namespace {

struct ModCell {
  int period = 0;
  int instrument = 0;
  int effect = 0;
  int parameter = 0;
};

struct ModSampleSpec {
  std::vector<int8_t> data;
  int finetune = 0;
  int volume = 64;
  int loopStartWords = 0;
  int loopWords = 0;
  int declaredWords = -1;  // header length when it should lie
};

// Writes a 4-channel "M.K." module.
struct ModFile {
  std::vector<ModSampleSpec> samples;  // up to 31
  std::vector<int> orders{0};
  int songLength = -1;  // -1: orders.size()
  std::vector<std::vector<ModCell>> patterns;  // 64 * 4 cells each
  std::string signature = "M.K.";
  int channels = 4;

  ModCell &At(int pattern, int row, int channel) {
    while (int(patterns.size()) <= pattern) patterns.emplace_back(size_t(64 * channels));
    return patterns[size_t(pattern)][size_t(row * channels + channel)];
  }

  std::vector<uint8_t> Bytes() const {
    std::vector<uint8_t> b(1084, 0);
    std::memcpy(b.data(), "test song", 9);
    auto word = [&b](size_t at, int v) {
      b[at] = uint8_t(v >> 8);
      b[at + 1] = uint8_t(v);
    };
    for (size_t i = 0; i < samples.size() && i < 31; ++i) {
      const ModSampleSpec &s = samples[i];
      const size_t h = 20 + 30 * i;
      b[h] = 'S';
      word(h + 22, s.declaredWords >= 0 ? s.declaredWords : int(s.data.size() / 2));
      b[h + 24] = uint8_t(s.finetune);
      b[h + 25] = uint8_t(s.volume);
      word(h + 26, s.loopStartWords);
      word(h + 28, s.loopWords);
    }
    b[950] = uint8_t(songLength >= 0 ? songLength : int(orders.size()));
    for (size_t i = 0; i < orders.size() && i < 128; ++i) b[952 + i] = uint8_t(orders[i]);
    std::memcpy(b.data() + 1080, signature.data(), 4);
    int highest = 0;
    for (size_t i = 0; i < 128; ++i) highest = std::max<int>(highest, b[952 + i]);
    for (int p = 0; p <= highest; ++p) {
      for (int cell = 0; cell < 64 * channels; ++cell) {
        ModCell c;
        if (p < int(patterns.size())) c = patterns[size_t(p)][size_t(cell)];
        b.push_back(uint8_t((c.instrument & 0xF0) | ((c.period >> 8) & 0x0F)));
        b.push_back(uint8_t(c.period));
        b.push_back(uint8_t(((c.instrument & 0x0F) << 4) | (c.effect & 0x0F)));
        b.push_back(uint8_t(c.parameter));
      }
    }
    for (const ModSampleSpec &s : samples) b.insert(b.end(), s.data.begin(), s.data.end());
    return b;
  }
};

std::vector<int8_t> Square(int frames, int amplitude, int period = 32) {
  std::vector<int8_t> d(static_cast<size_t>(frames));
  for (int i = 0; i < frames; ++i) d[size_t(i)] = int8_t((i % period) < period / 2 ? amplitude : -amplitude);
  return d;
}

std::vector<int8_t> Sine(int frames, int period = 32) {
  std::vector<int8_t> d(static_cast<size_t>(frames));
  for (int i = 0; i < frames; ++i) d[size_t(i)] = int8_t(std::lround(100.0 * std::sin(2 * M_PI * i / period)));
  return d;
}

// A looped sample of whole waves (256 bytes, loop over all of it).
ModSampleSpec Looped(std::vector<int8_t> data, int volume = 64, int finetune = 0) {
  ModSampleSpec s;
  s.loopWords = int(data.size() / 2);
  s.data = std::move(data);
  s.volume = volume;
  s.finetune = finetune;
  return s;
}

using Position = SongPosition;
using ModSongTest = CapturedSong;

TEST_F(ModSongTest, LoadsHeaderSamplesOrdersAndCells) {
  ModFile mod;
  mod.samples.push_back(Looped(Square(256, 50), 40, 3));
  ModSampleSpec oneShot;
  oneShot.data = Square(100, 20);
  oneShot.loopStartWords = 10;
  oneShot.loopWords = 1;
  mod.samples.push_back(oneShot);
  mod.orders = {2, 0, 1};
  mod.At(0, 5, 3) = {428, 2, 0xA, 0x12};
  mod.At(2, 63, 0) = {452, 17, 0xF, 0x7D};  // between two table periods
  mod.At(2, 62, 0) = {453, 1, 0, 0};
  MusicSong *song = Load(mod.Bytes());
  ASSERT_NE(song, nullptr) << OSND_GetError();
  EXPECT_EQ(song->type, MUSIC_TYPE_MOD);
  EXPECT_STREQ(song->name, "test song");
  EXPECT_EQ(song->channelCount, 4);
  EXPECT_EQ(song->orderCount, 3);
  EXPECT_EQ(song->patternCount, 3);
  EXPECT_EQ(song->defaultSpeed, 6);
  EXPECT_EQ(song->defaultTempo, 125);
  EXPECT_EQ(song->defaultPan[0], 0);
  EXPECT_EQ(song->defaultPan[1], 255);
  EXPECT_EQ(song->defaultPan[2], 255);
  EXPECT_EQ(song->defaultPan[3], 0);

  OSND_SAMPLE *looped = song->samples[0];
  EXPECT_EQ(looped->length, 256u);
  EXPECT_EQ(looped->defFrequency, 8529);
  EXPECT_EQ(looped->defVolume, 40);
  EXPECT_TRUE(looped->mode & OSND_MODE_LOOP_NORMAL);
  EXPECT_TRUE(looped->mode & OSND_MODE_8BITS);
  EXPECT_EQ(looped->songSample, 1);
  EXPECT_EQ(std::memcmp(looped->data, mod.samples[0].data.data(), 256), 0);
  OSND_SAMPLE *once = song->samples[1];
  EXPECT_TRUE(once->mode & OSND_MODE_LOOP_OFF);
  EXPECT_EQ(once->loopLength, 100u);
  EXPECT_EQ(std::memcmp(once->data, mod.samples[1].data.data(), 100), 0);
  EXPECT_EQ(song->samples[2]->length, 0u);

  const MusicNote *c = Music_Cell(song, 0, 5, 3);
  ASSERT_NE(c, nullptr);
  EXPECT_EQ(c->note, 49);  // period 428: table period 1712 at C-speed 8363
  EXPECT_EQ(c->instrument, 2);
  EXPECT_EQ(c->effect, 0xA);
  EXPECT_EQ(c->parameter, 0x12);
  const MusicNote *high = Music_Cell(song, 2, 63, 0);
  EXPECT_EQ(high->note, 49);  // 452 lies between 453 (note 48) and 428: the higher note
  EXPECT_EQ(Music_Cell(song, 2, 62, 0)->note, 48);
  EXPECT_EQ(high->instrument, 17);
  EXPECT_EQ(Music_Cell(song, 1, 0, 0)->note, 0);
}

TEST_F(ModSongTest, SignaturesGiveChannelCountsAndOthersAreNotMod) {
  const std::pair<const char *, int> cases[] = {{"M!K!", 4}, {"FLT4", 4}, {"6CHN", 6}, {"8CHN", 8},
                                                {"16CH", 16}, {"2CHN", 2}, {"32CH", 32}};
  for (const auto &[signature, channels] : cases) {
    ModFile mod;
    mod.signature = signature;
    mod.channels = channels;
    MusicSong *song = Load(mod.Bytes());
    ASSERT_NE(song, nullptr) << signature;
    EXPECT_EQ(song->channelCount, channels) << signature;
  }
  for (const char *bad : {"M.K!", "33CH", "0CHN", "xxCH", "RIFF"}) {
    ModFile mod;
    mod.signature = bad;
    EXPECT_EQ(Load(mod.Bytes()), nullptr) << bad;
    EXPECT_EQ(OSND_GetError(), OSND_ERR_FILE_FORMAT) << bad;
  }
}

TEST_F(ModSongTest, RowsLastSpeedTimesTickAtTheTempo) {
  ModFile mod;
  mod.samples.push_back(Looped(Square(256, 60)));
  mod.At(0, 0, 0) = {428, 1, 0xC, 64};
  mod.At(0, 4, 0) = {0, 0, 0xF, 3};     // speed 3
  mod.At(0, 8, 0) = {0, 0, 0xF, 100};   // 100 bpm: 40 ticks a second
  MusicSong *song = Load(mod.Bytes());
  ASSERT_NE(song, nullptr);
  RecordRows(song);
  ASSERT_TRUE(Music_PlaySong(song));
  EXPECT_EQ(song->samplesPerTick, kTickFrames);
  PlayFrames(size_t(kRowFrames) * 12);
  ASSERT_GE(clocks.size(), 10u);
  const double tickMs = 1000.0 * kTickFrames / kRate;
  EXPECT_NEAR(clocks[0], 6 * tickMs, 0.05);
  EXPECT_NEAR(clocks[3] - clocks[2], 6 * tickMs, 0.05);
  // Row 4 sets speed 3 on its first tick and so lasts 3 ticks itself.
  EXPECT_NEAR(clocks[4] - clocks[3], 3 * tickMs, 0.05);
  EXPECT_NEAR(clocks[5] - clocks[4], 3 * tickMs, 0.05);
  EXPECT_NEAR(clocks[8] - clocks[7], 3 * 1000.0 * 1103 / kRate, 0.05);  // 44100 / 40 = 1102.5 -> 1103
  // The sound starts at once and is there throughout.
  EXPECT_LT(FirstSound(0), 8u);
  EXPECT_GT(Peak(size_t(kRowFrames) * 9, size_t(kRowFrames) * 10), 1000);
}

TEST_F(ModSongTest, NotesSoundAtTheirPitch) {
  ModFile mod;
  mod.samples.push_back(Looped(Sine(256)));
  mod.samples.push_back(Looped(Sine(256), 64, 8));  // finetune -8: C-speed 7895
  mod.At(0, 0, 0) = {428, 1, 0, 0};    // C: 8363 Hz over 32-sample waves
  mod.At(0, 16, 0) = {214, 1, 0, 0};   // an octave up
  mod.At(0, 32, 0) = {428, 2, 0, 0};
  MusicSong *song = Load(mod.Bytes());
  ASSERT_NE(song, nullptr);
  ASSERT_TRUE(Music_PlaySong(song));
  PlayFrames(size_t(kRowFrames) * 48);
  const size_t span = size_t(kRowFrames) * 14;  // ~1.68 s inside each note
  const double seconds = double(span) / kRate;
  const double c = ZeroCrossings(1000, 1000 + span) / (2 * seconds);
  const double octave = ZeroCrossings(size_t(kRowFrames) * 16 + 1000, size_t(kRowFrames) * 16 + 1000 + span) / (2 * seconds);
  const double tuned = ZeroCrossings(size_t(kRowFrames) * 32 + 1000, size_t(kRowFrames) * 32 + 1000 + span) / (2 * seconds);
  EXPECT_NEAR(c, 14317056.0 / 1712 / 32, 1.0);
  EXPECT_NEAR(octave, 14317056.0 / 856 / 32, 1.0);
  EXPECT_NEAR(tuned, 14317056.0 / (1712.0 * 8363 / 7895) / 32, 1.0);
  // Channel 0 is panned hard left.
  EXPECT_LT(Peak(1000, 1000 + span, true), Peak(1000, 1000 + span) / 20);
}

TEST_F(ModSongTest, VolumeEffects) {
  ModFile mod;
  mod.samples.push_back(Looped(Square(256, 100), 64));
  mod.At(0, 0, 0) = {428, 1, 0xC, 32};    // half volume
  mod.At(0, 1, 0) = {0, 0, 0xC, 64};
  mod.At(0, 2, 0) = {0, 0, 0xA, 0x04};    // slide down 4 a tick
  mod.At(0, 3, 0) = {0, 0, 0xE, 0xC2};    // cut at tick 2
  mod.At(0, 4, 0) = {428, 1, 0xE, 0xA0};  // sample volume 64 again
  mod.At(0, 5, 0) = {0, 0, 0xE, 0xB8};    // fine down 8
  MusicSong *song = Load(mod.Bytes());
  ASSERT_NE(song, nullptr);
  ASSERT_TRUE(Music_PlaySong(song));
  PlayFrames(size_t(kRowFrames) * 7);
  auto tickPeak = [&](int row, int tick) {
    const size_t start = size_t(row) * kRowFrames + size_t(tick) * kTickFrames;
    return Peak(start + 300, start + kTickFrames);  // past the volume ramp
  };
  const int full = tickPeak(1, 3);
  ASSERT_GT(full, 5000);
  EXPECT_NEAR(double(tickPeak(0, 3)) / full, 0.5, 0.02);
  // Row 2: 64 on tick 0, then 60, 56, 52, 48, 44.
  for (int t = 0; t < 6; ++t) EXPECT_NEAR(double(tickPeak(2, t)) / full, (64 - 4 * t) / 64.0, 0.02) << t;
  EXPECT_GT(tickPeak(3, 1), full / 2);
  EXPECT_EQ(tickPeak(3, 3), 0);
  EXPECT_NEAR(double(tickPeak(4, 3)) / full, 1.0, 0.02);
  EXPECT_NEAR(double(tickPeak(5, 3)) / full, 56 / 64.0, 0.02);
}

// An instrument callback hears each note of its instrument once the mix has
// played it, and those of no other instrument.
std::vector<std::pair<int, float>> *gInstrumentCalls = nullptr;

void RecordInstrument(MusicSong *song, int instrument) {
  if (gInstrumentCalls) gInstrumentCalls->push_back({instrument, song->clock});
}

// Started without the flag that calls callbacks at once, so that they wait
// in their rings for the mix to hear them.
class HeardCallbacks : public ModSongTest {
 protected:
  void SetUp() override { ASSERT_TRUE(Start(OSND_MIXER_QUALITY_FPU, kRate, 8, 0)); }
};

TEST_F(HeardCallbacks, InstrumentCallbacksHearTheirNotes) {
  ModFile mod;
  mod.samples.push_back(Looped(Square(256, 60)));
  mod.samples.push_back(Looped(Square(256, 30)));
  mod.At(0, 0, 0) = {428, 2, 0, 0};
  mod.At(0, 2, 1) = {428, 1, 0, 0};
  mod.At(0, 5, 0) = {428, 2, 0, 0};
  MusicSong *song = Load(mod.Bytes());
  ASSERT_NE(song, nullptr);
  std::vector<std::pair<int, float>> calls;
  gInstrumentCalls = &calls;
  ASSERT_TRUE(Music_SetCallback(song, MUSIC_CALLBACK_INSTRUMENT, 2, RecordInstrument, 1));
  ASSERT_TRUE(Music_PlaySong(song));
  PlayFrames(size_t(kRowFrames) * 10);
  gInstrumentCalls = nullptr;
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_EQ(calls[0].first, 2);
  EXPECT_EQ(calls[1].first, 2);
  // Heard a buffer's length after their rows began: rows 0 and 5, 5 rows apart.
  EXPECT_NEAR(calls[1].second - calls[0].second, 5 * 1000.0 * kRowFrames / kRate, 30.0);
}

TEST_F(ModSongTest, PatternBreakJumpAndSongEnd) {
  ModFile mod;
  mod.samples.push_back(Looped(Square(256, 60)));
  mod.orders = {0, 1};
  mod.At(0, 0, 0) = {428, 1, 0, 0};
  mod.At(0, 2, 1) = {0, 0, 0xD, 0x61};  // break to row 61 of the next order
  mod.At(1, 63, 0) = {0, 0, 0, 0};
  MusicSong *song = Load(mod.Bytes(), OSND_MODE_LOOP_OFF);
  ASSERT_NE(song, nullptr);
  EXPECT_EQ(song->looping, 0);
  RecordRows(song);
  ASSERT_TRUE(Music_PlaySong(song));
  PlayFrames(size_t(kRowFrames) * 12);
  const std::vector<Position> expected{{0, 1}, {0, 2}, {1, 61}, {1, 62}, {1, 63}};
  EXPECT_EQ(rows, expected);
  EXPECT_EQ(song->playing, 0);
  EXPECT_EQ(song->finished, 1);
  // Silence once the song has stopped; its channels are back in the engine's pool.
  EXPECT_EQ(Peak(size_t(kRowFrames) * 7, size_t(kRowFrames) * 12), 0);
  EXPECT_TRUE(OsndList_IsEmpty(&song->channels));
  for (int i = 0; i < gOsnd.softwareChannels; ++i)
    EXPECT_FALSE(gOsnd.channels[i].flags & OSND_CHANFLAG_RESERVED) << i;
}

TEST_F(ModSongTest, LoopingSongRestartsAndPositionJumpWraps) {
  ModFile mod;
  mod.samples.push_back(Looped(Square(256, 60)));
  mod.orders = {0, 1};
  mod.At(0, 0, 0) = {428, 1, 0, 0};
  mod.At(0, 1, 0) = {0, 0, 0xB, 1};     // jump to order 1
  mod.At(1, 1, 2) = {0, 0, 0xB, 9};     // past the song: back to order 0, song finished
  mod.At(1, 1, 3) = {0, 0, 0xD, 0x02};  // with the jump: row 2, order from the jump
  MusicSong *song = Load(mod.Bytes(), OSND_MODE_LOOP_NORMAL);
  ASSERT_NE(song, nullptr);
  EXPECT_EQ(song->looping, 1);
  RecordRows(song);
  ASSERT_TRUE(Music_PlaySong(song));
  PlayFrames(size_t(kRowFrames) * 6);
  const std::vector<Position> expected{{0, 1}, {1, 0}, {1, 1}, {0, 2}, {0, 3}};
  ASSERT_GE(rows.size(), expected.size());
  EXPECT_EQ(std::vector<Position>(rows.begin(), rows.begin() + 5), expected);
  EXPECT_EQ(song->playing, 1);
  EXPECT_GT(Peak(size_t(kRowFrames) * 5, size_t(kRowFrames) * 6), 1000);
}

TEST_F(ModSongTest, PatternLoopPlaysTwiceMoreThenGoesOn) {
  ModFile mod;
  mod.At(0, 1, 0) = {0, 0, 0xE, 0x60};
  mod.At(0, 3, 0) = {0, 0, 0xE, 0x62};
  MusicSong *song = Load(mod.Bytes());
  ASSERT_NE(song, nullptr);
  RecordRows(song);
  ASSERT_TRUE(Music_PlaySong(song));
  PlayFrames(size_t(kRowFrames) * 11);
  std::vector<int> order;
  for (const Position &p : rows) order.push_back(p.row);
  const std::vector<int> expected{1, 2, 3, 1, 2, 3, 1, 2, 3, 4};
  ASSERT_GE(order.size(), expected.size());
  EXPECT_EQ(std::vector<int>(order.begin(), order.begin() + 10), expected);
}

TEST_F(ModSongTest, SpeedZeroEndsTheSong) {
  ModFile mod;
  mod.At(0, 2, 0) = {0, 0, 0xF, 0};
  MusicSong *song = Load(mod.Bytes());
  ASSERT_NE(song, nullptr);
  ASSERT_TRUE(Music_PlaySong(song));
  PlayFrames(size_t(kRowFrames) * 4);
  EXPECT_EQ(song->finished, 1);
  EXPECT_EQ(song->tick, -1);
  EXPECT_EQ(song->speed, 0);
  EXPECT_EQ(song->row, 2);
}

TEST_F(ModSongTest, SampleDataFromTheEndOfAShortFile) {
  ModFile mod;
  mod.samples.push_back(Looped(Square(2000, 30)));
  mod.orders = {0, 0};
  mod.orders.resize(128, 0);
  mod.orders[127] = 3;  // an order past the song length still counts: 4 patterns
  mod.songLength = 1;
  std::vector<uint8_t> bytes = mod.Bytes();
  // Drop pattern 3 from the file: its samples would end past the file.
  bytes.erase(bytes.begin() + 1084 + 3 * 1024, bytes.begin() + 1084 + 4 * 1024);
  MusicSong *song = Load(bytes);
  ASSERT_NE(song, nullptr);
  EXPECT_EQ(song->patternCount, 4);
  EXPECT_EQ(std::memcmp(song->samples[0]->data, mod.samples[0].data.data(), 2000), 0);
}

TEST_F(ModSongTest, HostileHeadersNeverCrash) {
  ModFile mod;
  ModSampleSpec huge;
  huge.data = Square(64, 40);
  huge.declaredWords = 0xFFFF;
  huge.loopStartWords = 0xFFF0;
  huge.loopWords = 0xFFFF;
  mod.samples.push_back(huge);
  ModSampleSpec loopPast;
  loopPast.data = Square(64, 40);
  loopPast.loopStartWords = 100;  // starts past the sample's end
  loopPast.loopWords = 20;
  mod.samples.push_back(loopPast);
  mod.orders = {0, 255, 7};
  mod.songLength = 200;
  mod.At(0, 0, 0) = {428, 1, 9, 0xFF};  // offset far past the data
  mod.At(0, 0, 1) = {428, 2, 0, 0};
  mod.At(0, 0, 2) = {1, 255, 0xB, 250};  // unknown instrument, jump past the song
  mod.At(0, 1, 3) = {20, 31, 0x0, 0xFF};  // lowest note, arpeggio past the table
  mod.At(0, 2, 0) = {0, 0, 2, 0xFF};
  std::vector<uint8_t> bytes = mod.Bytes();
  bytes.resize(1084 + 2 * 1024);  // patterns and samples cut short
  MusicSong *song = Load(bytes);
  ASSERT_NE(song, nullptr);
  EXPECT_EQ(song->orderCount, 128);
  EXPECT_EQ(song->patternCount, 256);
  EXPECT_EQ(song->samples[1]->mode & OSND_MODE_LOOP_OFF, OSND_MODE_LOOP_OFF);
  ASSERT_TRUE(Music_PlaySong(song));
  PlayFrames(size_t(kRowFrames) * 6);
  EXPECT_LE(song->order, 127);

  // Random damage to a playable module: loads fail cleanly or play.
  ModFile base;
  base.samples.push_back(Looped(Square(256, 60)));
  base.orders = {0, 1, 0};
  for (int r = 0; r < 64; r += 3) base.At(r % 2, r, r % 4) = {428 >> (r % 3), 1, r % 16, r * 3};
  const std::vector<uint8_t> clean = base.Bytes();
  std::mt19937 random(7);
  for (int round = 0; round < 60; ++round) {
    std::vector<uint8_t> damaged = clean;
    for (int k = 0; k < 40; ++k) damaged[random() % damaged.size()] = uint8_t(random());
    if (round % 3 == 0) damaged.resize(1084 + random() % (damaged.size() - 1084));
    MusicSong *s = Load(damaged);
    if (!s) continue;
    Music_PlaySong(s);
    Step(4);
    Music_StopSong(s);
  }
  std::vector<uint8_t> tiny(1083, 0);
  EXPECT_EQ(Load(tiny), nullptr);
  EXPECT_EQ(OSND_GetError(), OSND_ERR_FILE_FORMAT);
}

}  // namespace

}  // namespace mod_song_test
