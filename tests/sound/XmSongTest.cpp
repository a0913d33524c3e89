// XM songs written by the test, loaded from memory and stepped tick by tick.
#include "SongTestSupport.h"
#include "TrackerWriterSupport.h"

#include "sound/src/song/music_core.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

namespace xm_song_test {

namespace {

constexpr int C4 = 49, E4 = 53, G4 = 56, C5 = 61;

struct ChannelTick {
  int volume = 0;  // engine volume, 0 when silent
  int frequency = 0;
};

using XmSongTest = CapturedSong;

// Plays `ticks` ticks and records what every song channel's engine channel plays.
std::vector<std::vector<ChannelTick>> PlayTicks(MusicSong *song, int ticks) {
  std::vector<std::vector<ChannelTick>> out;
  EXPECT_TRUE(Music_PlaySong(song));
  for (int t = 0; t < ticks && song->playing; ++t) {
    song->tickCallback(song);
    std::vector<ChannelTick> row;
    for (int c = 0; c < song->channelCount; ++c) {
      MusicVoice *v = Music_FirstVoice(&song->songChannels[c]);
      ChannelTick ct;
      if (v != Music_DummyVoice() && OSND_IsPlaying(v->handle)) {
        ct.volume = OSND_GetVolume(v->handle);
        ct.frequency = std::abs(OSND_GetFrequency(v->handle));
      }
      row.push_back(ct);
    }
    out.push_back(row);
  }
  return out;
}

TrackerInstrument Plain(int frames = 256) {
  TrackerInstrument ins;
  ins.samples.push_back(SineSample(frames, 32, 100));
  ins.sampleMap.assign(96, 0);
  return ins;
}

double Linear(int period) { return 8363.0 * std::exp2((4608.0 - period) / 768.0); }

TEST_F(XmSongTest, LoadsHeaderPatternsInstrumentsAndSamples) {
  TrackerSong s;
  s.name = "xm fields";
  s.channels = 3;
  s.orders = {1, 0, 3};
  s.restart = 1;
  s.speed = 5;
  s.tempo = 140;
  s.linear = false;
  TrackerInstrument two = Plain();
  TrackerSample wide = SineSample(300, 50, 20000, true);
  wide.relativeNote = -7;
  wide.finetune = -20;
  wide.pingPong = true;
  wide.loopStart = 100;
  wide.loopLength = 150;
  two.samples.push_back(wide);
  TrackerSample unlooped = SineSample(40, 8, 50);
  unlooped.loopLength = 0;
  two.samples.push_back(unlooped);
  for (int n = 60; n < 96; ++n) two.sampleMap[size_t(n)] = 2;
  two.sampleMap[10] = 1;
  two.volumeEnvelope.points = {{0, 64}, {5, 20}};
  two.volumeEnvelope.sustain = 1;
  two.panEnvelope.points = {{0, 32}};  // one point: off
  two.fadeOut = 300;
  TrackerInstrument none;  // no samples
  s.instruments = {Plain(), two, none};
  s.At(0, 0, 0) = {C4, 2, 0x40, 0xC, 0x20};
  s.At(0, 1, 2) = {97, 0, 0, 0, 0};
  s.patterns.emplace_back();
  s.patterns[1].rows = 20;
  s.patterns[1].cells.resize(size_t(20 * s.channels));  // all empty: stored without data
  std::vector<uint8_t> bytes = s.Xm();
  MusicSong *song = Load(bytes);
  ASSERT_NE(song, nullptr) << OSND_GetError();
  EXPECT_EQ(song->type, MUSIC_TYPE_XM);
  EXPECT_STREQ(song->name, "xm fields");
  EXPECT_EQ(song->channelCount, 3);
  EXPECT_EQ(song->orderCount, 3);
  EXPECT_EQ(song->restartOrder, 1);
  EXPECT_EQ(song->defaultSpeed, 5);
  EXPECT_EQ(song->defaultTempo, 140);
  EXPECT_EQ(song->linearSlides, 0);
  // Order 3 names a pattern the file lacks: it is there, empty, 64 rows.
  EXPECT_EQ(song->patternCount, 4);
  EXPECT_EQ(song->patterns[3].rows, 64);
  EXPECT_EQ(song->patterns[1].rows, 20);
  EXPECT_EQ(song->patterns[1].cells, nullptr);  // stored empty: no cells kept
  EXPECT_EQ(song->patterns[3].cells, nullptr);
  const MusicNote *c = Music_Cell(song, 0, 0, 0);
  EXPECT_EQ(c->note, C4);
  EXPECT_EQ(c->instrument, 2);
  EXPECT_EQ(c->volume, 0x40);
  EXPECT_EQ(c->effect, 0xC);
  EXPECT_EQ(c->parameter, 0x20);
  EXPECT_EQ(Music_Cell(song, 0, 1, 2)->note, 255);

  ASSERT_EQ(song->instrumentCount, 3);
  ASSERT_EQ(song->sampleCount, 4);
  const MusicInstrument &ins = song->instruments[1];
  EXPECT_EQ(ins.sampleBase, 1);
  EXPECT_EQ(ins.sampleCount, 3);
  EXPECT_EQ(ins.sampleMap[70], 2);
  EXPECT_EQ(ins.sampleMap[10], 1);
  EXPECT_EQ(ins.volume.type, 3);
  EXPECT_EQ(ins.volume.count, 2);
  EXPECT_EQ(ins.volume.ticks[1], 5);
  EXPECT_EQ(ins.volume.values[1], 20);
  EXPECT_EQ(ins.pan.type, 0);
  EXPECT_EQ(ins.fadeOut, 600);
  EXPECT_EQ(song->instruments[2].sampleCount, 0);
  EXPECT_EQ(song->instruments[2].sampleBase, 4);

  const OSND_SAMPLE *w = song->samples[2];
  EXPECT_TRUE(w->mode & OSND_MODE_16BITS);
  EXPECT_TRUE(w->mode & OSND_MODE_LOOP_BIDI);
  EXPECT_EQ(w->length, 300u);
  EXPECT_EQ(w->loopStart, 100u);
  EXPECT_EQ(w->loopLength, 150u);
  EXPECT_EQ(song->sampleInfo[2].relativeNote, -7);
  EXPECT_EQ(song->sampleInfo[2].finetune, -20);
  EXPECT_EQ(reinterpret_cast<const int16_t *>(w->data)[77], wide.pcm[77]);
  const OSND_SAMPLE *u = song->samples[3];
  EXPECT_TRUE(u->mode & OSND_MODE_LOOP_OFF);
  EXPECT_EQ(u->loopStart, 0u);
  EXPECT_EQ(u->loopLength, 40u);
  EXPECT_EQ(int8_t(u->data[3]), unlooped.pcm[3]);
  EXPECT_EQ(u->songSample, 1);
}

TEST_F(XmSongTest, DamagedAndHostileFilesFailCleanlyOrLoadBounded) {
  TrackerSong s;
  s.channels = 2;
  TrackerInstrument ins = Plain();
  ins.volumeEnvelope.points = {{0, 64}, {2, 0}};
  s.instruments = {ins, Plain()};
  s.At(0, 0, 0) = {C4, 1, 0, 0, 0};
  s.At(0, 0, 1) = {E4, 2, 0, 0, 0};
  const std::vector<uint8_t> good = s.Xm();
  // Every cut of the file either loads or is refused; none reads past it.
  for (size_t n = 1; n < good.size(); n += 7) {
    const std::vector<uint8_t> cut(good.begin(), good.begin() + long(n));
    if (!Load(cut)) {
      EXPECT_TRUE(OSND_GetError() == OSND_ERR_FILE_FORMAT || OSND_GetError() == OSND_ERR_FILE_BAD) << n;
    }
  }
  // The 26 byte wrong: not this format.
  std::vector<uint8_t> bad = good;
  bad[37] = 0;
  EXPECT_EQ(Load(bad), nullptr);
  EXPECT_EQ(OSND_GetError(), OSND_ERR_FILE_FORMAT);
  // More channels than a song holds: refused.
  bad = good;
  bad[68] = 65;
  EXPECT_EQ(Load(bad), nullptr);
  EXPECT_EQ(OSND_GetError(), OSND_ERR_FILE_BAD);
  // Envelope points and indices past their ranges are clamped, and a loop
  // whose points share one tick ends.
  bad = good;
  const size_t instrument = size_t(60 + 276 + 9) + size_t(bad[60 + 276 + 7] | (bad[60 + 276 + 8] << 8));
  bad[instrument + 225] = 200;                    // volume point count
  bad[instrument + 227] = 90;                     // sustain
  bad[instrument + 228] = 0;                      // loop start
  bad[instrument + 229] = 99;                     // loop end
  bad[instrument + 233] = 7;                      // on, sustain, loop
  for (int k = 0; k < 12; ++k) bad[instrument + 129 + size_t(4 * k)] = 0;  // every point at tick 0
  MusicSong *song = Load(bad);
  ASSERT_NE(song, nullptr);
  const MusicEnvelope &e = song->instruments[0].volume;
  EXPECT_EQ(e.count, 12);
  EXPECT_LT(e.sustainStart, 12);
  EXPECT_LT(e.loopEnd, 12);
  const auto ticks = PlayTicks(song, 40);
  EXPECT_EQ(ticks.size(), 40u);
}

TEST_F(XmSongTest, InstrumentWithoutSamplesPlaysNothingAndKeyOffFades) {
  TrackerSong s;
  s.channels = 2;
  TrackerInstrument fading = Plain();
  fading.volumeEnvelope.points = {{0, 64}, {10, 64}};
  fading.volumeEnvelope.sustain = 0;
  fading.fadeOut = 8192;  // stored halved: a quarter of full volume a tick
  s.instruments = {fading, TrackerInstrument{}};
  s.At(0, 0, 0) = {C4, 1, 0, 0, 0};
  s.At(0, 1, 0) = {97, 0, 0, 0, 0};
  s.At(0, 0, 1) = {C4, 2, 0, 0, 0};
  MusicSong *song = Load(s.Xm());
  ASSERT_NE(song, nullptr);
  const auto t = PlayTicks(song, 14);
  ASSERT_EQ(t.size(), 14u);
  EXPECT_EQ(t[0][1].volume, 0);
  // Held at the sustain point for the whole first row, at full volume.
  for (int k = 0; k < 6; ++k) EXPECT_EQ(t[size_t(k)][0].volume, 128) << k;
  // Key off: the fade takes a quarter away on every tick, then the voice is silent.
  EXPECT_EQ(t[6][0].volume, 96);
  EXPECT_EQ(t[7][0].volume, 64);
  EXPECT_EQ(t[8][0].volume, 32);
  EXPECT_EQ(t[9][0].volume, 0);
  EXPECT_EQ(t[13][0].volume, 0);
}

TEST_F(XmSongTest, AutoVibratoSweepsUpToItsDepth) {
  TrackerSong s;
  s.channels = 1;
  TrackerInstrument ins = Plain();
  ins.vibratoType = 1;  // square: the full depth at every tick
  ins.vibratoDepth = 12;
  ins.vibratoSweep = 4;
  ins.vibratoRate = 128;  // the square flips every tick
  s.instruments = {ins};
  s.At(0, 0, 0) = {C4, 1, 0, 0, 0};
  MusicSong *song = Load(s.Xm());
  ASSERT_NE(song, nullptr);
  const auto t = PlayTicks(song, 12);
  ASSERT_EQ(t.size(), 12u);
  // The deviation from C-4 grows a quarter of the depth a tick, then holds,
  // alternating in sign.
  for (int k = 0; k < 12; ++k) {
    const int reach = std::min(k, 4) * 12 / 4;
    const int sign = k % 2 == 0 ? 1 : -1;
    EXPECT_NEAR(t[size_t(k)][0].frequency, Linear(4608 + sign * reach), 1.0) << k;
  }
  EXPECT_NE(t[5][0].frequency, t[6][0].frequency);
}

TEST_F(XmSongTest, VolumeColumnPortamentoSlidesToItsNote) {
  TrackerSong s;
  s.channels = 1;
  s.instruments = {Plain()};
  s.At(0, 0, 0) = {C4, 1, 0, 0, 0};
  s.At(0, 1, 0) = {C5, 0, 0xF2, 0, 0};  // 128 units a tick...
  s.At(0, 2, 0) = {0, 0, 0xF0, 0, 0};   // ...on with the speed kept
  MusicSong *song = Load(s.Xm());
  ASSERT_NE(song, nullptr);
  const auto t = PlayTicks(song, 18);
  ASSERT_EQ(t.size(), 18u);
  EXPECT_NEAR(t[6][0].frequency, Linear(4608), 1.0);  // the row of the command still sounds C-4
  for (int k = 7; k < 12; ++k) EXPECT_NEAR(t[size_t(k)][0].frequency, Linear(4608 - 128 * (k - 6)), 1.0) << k;
  // 768 units to go: reached and held in the next row.
  EXPECT_NEAR(t[17][0].frequency, Linear(4608 - 768), 1.0);
}

TEST_F(XmSongTest, GlobalVolumeIsHeardOnEveryChannelInTheSameTick) {
  TrackerSong s;
  s.channels = 3;
  s.instruments = {Plain()};
  s.At(0, 0, 0) = {C4, 1, 0, 0, 0};
  s.At(0, 0, 1) = {C4, 1, 0, 0, 0};
  s.At(0, 1, 1) = {0, 0, 0, 16, 0x20};  // G20: half, on the middle channel
  s.At(0, 2, 2) = {0, 0, 0, 17, 0x04};  // H04: down 4 a tick, on a channel with no note
  MusicSong *song = Load(s.Xm());
  ASSERT_NE(song, nullptr);
  const auto t = PlayTicks(song, 18);
  ASSERT_EQ(t.size(), 18u);
  EXPECT_EQ(t[5][0].volume, 128);
  EXPECT_EQ(t[6][0].volume, 64);
  EXPECT_EQ(t[6][1].volume, 64);
  for (int k = 13; k < 18; ++k) {
    const int global = 32 - 4 * (k - 12);
    EXPECT_EQ(t[size_t(k)][0].volume, global * 2) << k;
    EXPECT_EQ(t[size_t(k)][1].volume, global * 2) << k;
  }
}

TEST_F(XmSongTest, DelayedNoteKeepsItsEnvelopeRunning) {
  TrackerSong s;
  s.channels = 1;
  TrackerInstrument ins = Plain();
  ins.volumeEnvelope.points = {{0, 64}, {4, 0}};
  s.instruments = {ins};
  s.At(0, 0, 0) = {C4, 1, 0, 0xE, 0xD1};
  MusicSong *song = Load(s.Xm());
  ASSERT_NE(song, nullptr);
  const auto t = PlayTicks(song, 6);
  ASSERT_EQ(t.size(), 6u);
  EXPECT_EQ(t[0][0].volume, 0);  // nothing before the delay
  EXPECT_EQ(t[1][0].volume, 128);
  EXPECT_EQ(t[2][0].volume, 96);
  EXPECT_EQ(t[3][0].volume, 64);
  EXPECT_EQ(t[4][0].volume, 32);
  EXPECT_EQ(t[5][0].volume, 0);
}

}  // namespace

// The mix level: a full-scale note at volume 64 with its envelope at 64,
// fade-out 65536, global volume 64 and master volume 256 is engine volume
// 64 x 64 x 65536 x 64 x 256 x 255 / 2^43 = 127.5, rounded 128; at the centre
// the software channel takes 180 and 181 of 255 of it, truncated: 90 and 90;
// the mixer then gives a full-scale sample 32767 x 90 / 255 on each side.
TEST_F(XmSongTest, AFullVolumeNotePlaysAtTheMixLevelOfTheVolumeFormula) {
  TrackerSong s;
  s.channels = 1;
  TrackerInstrument ins;
  TrackerSample square;
  square.sixteen = true;
  for (int i = 0; i < 256; ++i) square.pcm.push_back(int16_t((i % 32) < 16 ? 32767 : -32767));
  square.loopLength = 256;
  ins.samples.push_back(square);
  ins.sampleMap.assign(96, 0);
  ins.volumeEnvelope.on = false;
  s.instruments.push_back(ins);
  s.At(0, 0, 0) = {49, 1, 0, 0, 0};
  MusicSong *song = Load(s.Xm());
  ASSERT_NE(song, nullptr);
  ASSERT_TRUE(Music_PlaySong(song));
  PlayFrames(size_t(kRowFrames) * 2);
  const int volume = int(std::lround(64.0 * 64 * 65536 * 64 * 256 * 255 / 8796093022208.0));
  ASSERT_EQ(volume, 128);
  const int side = 180 * volume / 255;
  EXPECT_NEAR(Peak(kRowFrames / 2, kRowFrames * 2), 32767 * side / 255, 2);
  EXPECT_NEAR(Peak(kRowFrames / 2, kRowFrames * 2, true), 32767 * side / 255, 2);
}

}  // namespace xm_song_test
