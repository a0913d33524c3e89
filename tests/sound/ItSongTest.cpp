// IT songs written by the test, loaded from memory and stepped tick by tick.
#include "SongTestSupport.h"
#include "TrackerWriterSupport.h"

#include "sound/src/song/music_core.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace it_song_test {

namespace {

constexpr int C5 = 61, E5 = 65, G5 = 68;

struct VoiceTick {
  int voices = 0;      // voices of the channel that sound
  int foreground = 0;  // engine volume of the channel's current voice, 0 when silent
  int frequency = 0;
  int background = 0;  // engine volume of the loudest background voice
};

class ItSongTest : public CapturedSong {
 protected:
  void SetUp() override { ASSERT_TRUE(Start(OSND_MIXER_QUALITY_FPU, kRate, 32, 0x80)); }
};

std::vector<std::vector<VoiceTick>> PlayTicks(MusicSong *song, int ticks) {
  std::vector<std::vector<VoiceTick>> out;
  EXPECT_TRUE(Music_PlaySong(song));
  for (int t = 0; t < ticks && song->playing; ++t) {
    song->tickCallback(song);
    std::vector<VoiceTick> row;
    for (int c = 0; c < 4; ++c) {
      MusicChannel *ch = &song->songChannels[c];
      VoiceTick vt;
      for (OsndListNode *n = ch->voices.next; n != &ch->voices; n = n->next) {
        MusicVoice *v = MusicVoice_FromLink(n);
        if (!OSND_IsPlaying(v->handle)) continue;
        ++vt.voices;
        if (v->background) vt.background = std::max(vt.background, OSND_GetVolume(v->handle));
        if (!v->background && n == ch->voices.next) {
          vt.foreground = OSND_GetVolume(v->handle);
          vt.frequency = std::abs(OSND_GetFrequency(v->handle));
        }
      }
      row.push_back(vt);
    }
    out.push_back(row);
  }
  return out;
}

TrackerSong OneInstrumentSong(int newNoteAction = 0) {
  TrackerSong s;
  s.channels = 4;
  s.mixVolume = 128;
  s.itSamples = {SineSample(256, 32, 100)};
  TrackerInstrument ins;
  ins.sampleMap.assign(120, 1);
  ins.newNoteAction = newNoteAction;
  ins.fadeOut = 256;
  s.instruments = {ins};
  return s;
}

TEST_F(ItSongTest, LoadsHeaderOrdersInstrumentsSamplesAndPatterns) {
  TrackerSong s = OneInstrumentSong();
  s.name = "it fields";
  s.orders = {0, 254, 2, 255, 1};  // the writer ends the list with 255
  s.speed = 5;
  s.tempo = 140;
  s.globalVolume = 100;
  s.mixVolume = 40;
  s.channelPans = {0, 64, 100, 0x80 | 10};
  TrackerSample held = SineSample(100, 10, 50, true);
  held.loopStart = 20;
  held.loopLength = 0;  // points set, loop flag off
  held.defaultPan = 48;
  held.globalVolume = 30;
  held.cSpeed = 0;
  s.itSamples.push_back(held);
  s.instruments[0].volumeEnvelope.points = {{0, 64}, {10, 0}};
  s.instruments[0].volumeEnvelope.sustain = 0;
  s.instruments[0].volumeEnvelope.carry = true;
  s.instruments[0].pitchEnvelope.points = {{0, 0}, {5, 10}};
  s.instruments[0].newNoteAction = 3;
  s.instruments[0].duplicateCheck = 2;
  s.instruments[0].duplicateAction = 1;
  s.At(0, 0, 0) = {C5, 1, 11, 4, 0x12};
  s.At(0, 1, 3) = {254, 0, 0, 0, 0};
  s.At(2, 0, 1) = {255, 0, 0, 0, 0};
  s.patterns[1].rows = 32;
  s.patterns[1].cells.assign(size_t(32 * s.channels), TrackerCell{});
  std::vector<uint8_t> bytes = s.It();
  MusicSong *song = Load(bytes);
  ASSERT_NE(song, nullptr) << OSND_GetError();
  EXPECT_EQ(song->type, MUSIC_TYPE_IT);
  EXPECT_STREQ(song->name, "it fields");
  EXPECT_EQ(song->channelCount, 64);
  EXPECT_EQ(song->orderCount, 5);  // up to the last order that is not 255
  EXPECT_EQ(song->orders[1], 254);
  EXPECT_EQ(song->orders[3], 255);
  EXPECT_EQ(song->defaultSpeed, 5);
  EXPECT_EQ(song->defaultTempo, 140);
  EXPECT_EQ(song->initialGlobalVolume, 100);
  EXPECT_EQ(song->masterVolume, 80);
  EXPECT_EQ(song->defaultPan[1], 64);
  EXPECT_EQ(song->defaultPan[2], 100);
  EXPECT_EQ(song->defaultPan[3], 0x80 | 10);
  EXPECT_EQ(song->itFlags & 12, 12);  // instruments, linear slides
  EXPECT_EQ(song->patterns[1].rows, 32);
  const MusicNote *c = Music_Cell(song, 0, 0, 0);
  EXPECT_EQ(c->note, C5);
  EXPECT_EQ(c->instrument, 1);
  EXPECT_EQ(c->volume, 11);
  EXPECT_EQ(c->effect, 4);
  EXPECT_EQ(c->parameter, 0x12);
  EXPECT_EQ(Music_Cell(song, 0, 1, 3)->note, 254);
  EXPECT_EQ(Music_Cell(song, 2, 0, 1)->note, 255);

  ASSERT_EQ(song->instrumentCount, 1);
  const MusicInstrument &ins = song->instruments[0];
  EXPECT_EQ(ins.volume.type, 1 | 2 | 8);
  EXPECT_EQ(ins.pitch.type, 1);
  EXPECT_EQ(ins.pan.type, 0);
  EXPECT_EQ(ins.volume.ticks[1], 10);
  EXPECT_EQ(ins.pitch.values[1], 10);
  EXPECT_EQ(ins.newNoteAction, 3);
  EXPECT_EQ(ins.duplicateCheckType, 2);
  EXPECT_EQ(ins.duplicateCheckAction, 1);
  EXPECT_EQ(ins.fadeOut, 256);
  EXPECT_EQ(ins.keyboardSample[40], 1);
  ASSERT_EQ(song->sampleCount, 2);
  const OSND_SAMPLE *h = song->samples[1];
  EXPECT_TRUE(h->mode & OSND_MODE_16BITS);
  EXPECT_TRUE(h->mode & OSND_MODE_LOOP_OFF);
  EXPECT_EQ(h->loopStart, 0u);
  EXPECT_EQ(h->loopLength, 100u);
  EXPECT_EQ(h->defFrequency, 8363);  // a C5 speed of 0
  EXPECT_EQ(song->sampleInfo[1].defaultPan, 0x80 | 48);
  EXPECT_EQ(song->sampleInfo[1].globalVolume, 30);
  EXPECT_EQ(reinterpret_cast<const int16_t *>(h->data)[33], held.pcm[33]);
}

TEST_F(ItSongTest, DamagedAndHostileFilesFailCleanly) {
  TrackerSong s = OneInstrumentSong();
  s.itSamples[0].compressed = true;
  s.At(0, 0, 0) = {C5, 1, 0, 0, 0};
  const std::vector<uint8_t> good = s.It();
  for (size_t n = 1; n < good.size(); n += 5) {
    const std::vector<uint8_t> cut(good.begin(), good.begin() + long(n));
    MusicSong *song = Load(cut);
    if (!song) {
      EXPECT_TRUE(OSND_GetError() == OSND_ERR_FILE_FORMAT || OSND_GetError() == OSND_ERR_FILE_BAD) << n;
    } else {
      PlayTicks(song, 12);
    }
  }
  std::vector<uint8_t> bad = good;
  bad[34] = 1;  // 257 instruments
  bad[35] = 1;
  EXPECT_EQ(Load(bad), nullptr);
  EXPECT_EQ(OSND_GetError(), OSND_ERR_FILE_BAD);
  // An instrument offset that does not point at "IMPI".
  bad = good;
  const size_t table = 192 + 2;  // one order and the end marker
  bad[table] = uint8_t(bad[table] + 1);
  EXPECT_EQ(Load(bad), nullptr);
  EXPECT_EQ(OSND_GetError(), OSND_ERR_FILE_BAD);  // damaged: no later loader gets the half-made song
}

TEST_F(ItSongTest, NoteCutStopsAtOnceAndNoteOffFades) {
  TrackerSong s = OneInstrumentSong();
  s.At(0, 0, 0) = {C5, 1, 0, 0, 0};
  s.At(0, 1, 0) = {254, 0, 0, 0, 0};
  s.At(0, 0, 1) = {C5, 1, 0, 0, 0};
  s.At(0, 1, 1) = {255, 0, 0, 0, 0};
  MusicSong *song = Load(s.It());
  ASSERT_NE(song, nullptr);
  const auto t = PlayTicks(song, 12);
  ASSERT_EQ(t.size(), 12u);
  EXPECT_GT(t[5][0].foreground, 0);
  EXPECT_EQ(t[6][0].voices, 0);
  // Note off: the fade takes a quarter a tick (256 of 1024).
  const int full = t[5][1].foreground;
  ASSERT_GT(full, 100);
  EXPECT_NEAR(t[6][1].foreground, full * 3 / 4, 1);
  EXPECT_NEAR(t[7][1].foreground, full / 2, 1);
  EXPECT_NEAR(t[8][1].foreground, full / 4, 1);
  EXPECT_EQ(t[9][1].voices, 0);
}

TEST_F(ItSongTest, NewNoteActionsLeaveVoicesInTheBackground) {
  TrackerSong s = OneInstrumentSong(1);  // continue
  s.At(0, 0, 0) = {C5, 1, 0, 0, 0};
  s.At(0, 1, 0) = {E5, 1, 0, 0, 0};
  s.At(0, 2, 0) = {G5, 1, 0, 19, 0x70};   // S70 cuts the background voices
  s.At(0, 3, 0) = {0, 0, 1, 0, 0};        // note volume 0...
  s.At(0, 4, 0) = {C5, 1, 0, 0, 0};       // ...so the old voice stops instead of continuing
  // Channel 1: note fade as the action, a duplicate check that cuts the same note.
  s.At(0, 0, 1) = {C5, 2, 0, 0, 0};
  s.At(0, 1, 1) = {C5, 2, 0, 0, 0};
  s.At(0, 2, 1) = {E5, 2, 0, 0, 0};
  TrackerInstrument fade = s.instruments[0];
  fade.newNoteAction = 3;
  fade.duplicateCheck = 1;
  fade.duplicateAction = 0;
  s.instruments.push_back(fade);
  // Channel 2 is switched off by its pan byte.
  s.channelPans = {32, 32, 0x80 | 32, 32};
  s.At(0, 0, 2) = {C5, 1, 0, 0, 0};
  MusicSong *song = Load(s.It());
  ASSERT_NE(song, nullptr);
  const auto t = PlayTicks(song, 26);
  ASSERT_EQ(t.size(), 26u);
  EXPECT_EQ(t[5][0].voices, 1);
  EXPECT_EQ(t[6][0].voices, 2);
  EXPECT_NEAR(t[6][0].frequency, 8363.0 * std::exp2(4 / 12.0), 2.0);
  // S70 on row 2 cut the two background voices; the G that started is the one left.
  EXPECT_EQ(t[12][0].voices, 1);
  EXPECT_EQ(t[17][0].voices, 1);
  EXPECT_EQ(t[23][0].foreground, 0);
  // After a note volume of 0 the continued voice stops; the new note sounds.
  EXPECT_EQ(t[24][0].voices, 1);
  EXPECT_GT(t[24][0].foreground, 0);
  // Duplicate check: the same note cuts the old voice, a different note lets it fade.
  EXPECT_EQ(t[6][1].voices, 1);
  EXPECT_EQ(t[12][1].voices, 2);
  EXPECT_EQ(t[16][1].voices, 1);  // faded out in four ticks
  EXPECT_EQ(t[0][2].voices, 0);
  EXPECT_EQ(t[20][2].voices, 0);
}

// A note cut or note off holds for every tick of its row, yet only ever
// concerns the note the channel plays: a voice that a new-note action left
// sounding goes on, also once the cut or faded note is gone.
TEST_F(ItSongTest, CutAndNoteOffLeaveTheContinuedVoiceAlone) {
  TrackerSong s = OneInstrumentSong(1);  // continue
  for (int c = 0; c < 2; ++c) {
    s.At(0, 0, c) = {C5, 1, 0, 0, 0};
    s.At(0, 1, c) = {E5, 1, 0, 0, 0};
    s.At(0, 2, c) = {c == 0 ? 254 : 255, 0, 0, 0, 0};
  }
  MusicSong *song = Load(s.It());
  ASSERT_NE(song, nullptr);
  const auto t = PlayTicks(song, 30);
  ASSERT_EQ(t.size(), 30u);
  for (int c = 0; c < 2; ++c) {
    SCOPED_TRACE(c == 0 ? "note cut" : "note off");
    EXPECT_EQ(t[11][c].voices, 2);
    const int continued = t[11][c].background;
    ASSERT_GT(continued, 100);
    // The E fades out in four ticks after the note off (256 of 1024 a tick), or stops at once.
    EXPECT_EQ(t[12][c].voices, c == 0 ? 1 : 2);
    for (int k = 17; k < 30; ++k) {
      EXPECT_EQ(t[size_t(k)][c].voices, 1) << "tick " << k;
      EXPECT_EQ(t[size_t(k)][c].background, continued) << "tick " << k;
    }
  }
}

TEST_F(ItSongTest, PortamentoRunsAgainAfterAPlainNoteAndFineDelayLengthensTheRow) {
  TrackerSong s = OneInstrumentSong();
  s.At(0, 0, 0) = {C5, 1, 0, 0, 0};
  s.At(0, 1, 0) = {E5, 0, 0, 7, 0xFF};  // reaches E-5 on the next tick
  s.At(0, 2, 0) = {C5, 1, 0, 5, 0x10};  // a plain note, then down 64 units a tick
  s.At(0, 3, 0) = {0, 0, 0, 7, 0x10};   // back to C-5 at 64 units a tick
  s.At(0, 4, 0) = {0, 0, 0, 19, 0x62};  // two ticks longer
  MusicSong *song = Load(s.It());
  ASSERT_NE(song, nullptr);
  ASSERT_TRUE(Music_PlaySong(song));
  std::vector<int> rowOf, hz;
  for (int t = 0; t < 40; ++t) {
    song->tickCallback(song);
    rowOf.push_back(song->row);
    MusicVoice *v = Music_FirstVoice(&song->songChannels[0]);
    hz.push_back(std::abs(OSND_GetFrequency(v->handle)));
  }
  auto linear = [](int units) { return 8363.0 * std::exp2(-units / 768.0); };
  EXPECT_NEAR(hz[7], linear(-256), 2.0);
  EXPECT_NEAR(hz[17], linear(5 * 64), 2.0);
  EXPECT_NEAR(hz[19], linear(4 * 64), 2.0);
  EXPECT_NEAR(hz[23], linear(0), 2.0);
  // Row 4 lasts 6 + 2 ticks.
  EXPECT_EQ(std::count(rowOf.begin(), rowOf.end(), 4), 8);
  EXPECT_EQ(rowOf[32], 5);
}

}  // namespace

}  // namespace it_song_test
