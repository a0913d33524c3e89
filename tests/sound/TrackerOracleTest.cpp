// The song players against libxmp: both play the same module tick by tick and
// must agree on position, speed, tempo and each channel's note, instrument,
// volume and pitch, except where this engine plays differently on purpose
// (listed in kDifferences with the reason).
#include "SongTestSupport.h"
#include "TrackerWriterSupport.h"

#include "sound/src/music_core.h"

#include <xmp.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

namespace {

struct TickChannel {
  int note = -1;          // sounding note, 0-based with the sample's relative note
  int instrument = -1;    // 0-based
  double volume = 0;      // 0..64 after envelope, fade-out and global volume
  double frequency = 0;   // Hz
};

struct Tick {
  int order = 0, row = 0, speed = 0, tempo = 0;
  std::vector<TickChannel> channels;
};

std::vector<Tick> LibxmpTrace(const std::vector<uint8_t> &module, int ticks, int channels) {
  std::vector<Tick> out;
  xmp_context c = xmp_create_context();
  if (xmp_load_module_from_memory(c, const_cast<uint8_t *>(module.data()), long(module.size())) != 0) {
    xmp_free_context(c);
    return out;
  }
  xmp_start_player(c, 44100, 0);
  for (int i = 0; i < ticks; ++i) {
    if (xmp_play_frame(c) != 0) break;
    xmp_frame_info fi;
    xmp_get_frame_info(c, &fi);
    if (fi.loop_count > 0) break;
    Tick t{fi.pos, fi.row, fi.speed, fi.bpm, {}};
    for (int k = 0; k < channels; ++k) {
      const xmp_channel_info &ci = fi.channel_info[k];
      TickChannel ch;
      ch.note = ci.note > 0 && ci.note < 0x80 ? ci.note - 12 : -1;  // libxmp counts from a lower octave
      ch.instrument = ci.instrument;
      ch.volume = ci.volume;
      // libxmp keeps periods in Amiga units times 4096.
      ch.frequency = ci.period > 0 ? 14317056.0 / 4.0 / (ci.period / 4096.0) : 0.0;
      t.channels.push_back(ch);
    }
    out.push_back(t);
  }
  xmp_end_player(c);
  xmp_release_module(c);
  xmp_free_context(c);
  return out;
}

std::vector<int16_t> LibxmpSample(const std::vector<uint8_t> &module, int index) {
  std::vector<int16_t> out;
  xmp_context c = xmp_create_context();
  if (xmp_load_module_from_memory(c, const_cast<uint8_t *>(module.data()), long(module.size())) == 0) {
    xmp_module_info info;
    xmp_get_module_info(c, &info);
    if (index < info.mod->smp) {
      const xmp_sample &s = info.mod->xxs[index];
      for (int i = 0; i < s.len; ++i)
        out.push_back((s.flg & XMP_SAMPLE_16BIT) ? reinterpret_cast<const int16_t *>(s.data)[i]
                                                 : int16_t(int8_t(s.data[i]) * 256));
    }
    xmp_release_module(c);
  }
  xmp_free_context(c);
  return out;
}

// The engine's state after one tick: what its engine channels really play.
Tick EngineTick(MusicSong *song) {
  Tick t{song->order, song->row, song->speed, song->tempo, {}};
  for (int k = 0; k < song->channelCount; ++k) {
    MusicChannel *ch = &song->songChannels[k];
    MusicVoice *v = Music_FirstVoice(ch);
    TickChannel out;
    out.note = ch->note;  // a tone portamento's target is not the channel's note
    out.instrument = ch->instrument;
    if (v != Music_DummyVoice() && OSND_IsPlaying(v->handle)) {
      // Engine volume 0..255 is the 0..64 scale times 255 / 128.
      out.volume = OSND_GetVolume(v->handle) * 128.0 / 255.0;
      out.frequency = std::abs(OSND_GetFrequency(v->handle));
    }
    t.channels.push_back(out);
  }
  return t;
}

// Where this engine plays differently from libxmp on purpose: the cells that
// cause it, the field it changes, and why. The comparison skips that field on
// that channel from the row of such a cell until the channel's next
// instrument byte; a song-wide difference skips the field on every channel
// during the rows that hold such a cell.
struct Difference {
  bool (*cause)(const TrackerCell &cell);
  const char *field;
  bool songWide;
  const char *reason;
};
bool Effect(const TrackerCell &c, int effect) { return c.effect == effect && (c.effect || c.parameter); }
const Difference kDifferences[] = {
    {[](const TrackerCell &c) { return Effect(c, 17); }, "volume", true,
     "a global volume slide is heard on every channel in the tick it happens; libxmp hears it a tick later"},
    {[](const TrackerCell &c) { return Effect(c, 7); }, "volume", false,
     "tremolo leaves the first tick of a row without its delta"},
    {[](const TrackerCell &c) { return Effect(c, 4) || Effect(c, 6); }, "frequency", false,
     "vibrato's period falls first (the pitch rises); libxmp's pitch falls first"},
    {[](const TrackerCell &c) { return (c.volume >> 4) == 0xA || (c.volume >> 4) == 0xB; }, "frequency", false,
     "volume-column vibrato speed (Ax) only sets the speed and depth (Bx) vibrates after the first tick only; "
     "libxmp vibrates on both"},
    {[](const TrackerCell &c) { return (c.volume >> 4) == 0x6 || (c.volume >> 4) == 0x7; }, "volume", false,
     "volume-column slides (6x, 7x) act on the row's first tick too"},
    {[](const TrackerCell &c) { return c.note == 97 || Effect(c, 20); }, "volume", false,
     "fade-out starts on the key-off tick itself; libxmp's a tick later"},
    {[](const TrackerCell &c) { return Effect(c, 29); }, "volume", false,
     "tremor counts its on ticks from the row's first tick; libxmp from the second"},
    {[](const TrackerCell &c) { return c.note == 0 && (Effect(c, 3) || Effect(c, 5)); }, "frequency", false,
     "a tone portamento without a note aims at the channel's note; libxmp's at its last portamento target"},
    {[](const TrackerCell &c) { return Effect(c, 21); }, "volume", false,
     "L puts the envelope at its tick; libxmp also steps it once in that tick"},
};

bool Skipped(const TrackerCell &cell, const std::string &field, bool songWide) {
  for (const Difference &d : kDifferences)
    if (field == d.field && d.songWide == songWide && d.cause(cell)) return true;
  return false;
}

using TrackerOracleTest = CapturedSong;

// Runs both players over the whole song and reports every disagreement.
void Compare(TrackerOracleTest *, MusicSong *song, const TrackerSong &module, const std::vector<uint8_t> &bytes,
             int ticks) {
  const std::vector<Tick> theirs = LibxmpTrace(bytes, ticks, module.channels);
  ASSERT_GT(theirs.size(), 10u);
  EXPECT_EQ(theirs.back().order, int(module.orders.size()) - 1) << "the trace covers the whole song";
  ASSERT_TRUE(Music_PlaySong(song));
  std::vector<std::vector<bool>> skip(size_t(module.channels), std::vector<bool>{false, false});
  int failures = 0;
  for (size_t i = 0; i < theirs.size() && failures < 20; ++i) {
    song->tickCallback(song);
    const Tick ours = EngineTick(song);
    const Tick &t = theirs[i];
    const std::string where = "tick " + std::to_string(i) + " order " + std::to_string(t.order) + " row " +
                              std::to_string(t.row);
    if (ours.order != t.order || ours.row != t.row || ours.speed != t.speed || ours.tempo != t.tempo) {
      ADD_FAILURE() << where << ": position/speed/tempo ours " << ours.order << "/" << ours.row << "/"
                    << ours.speed << "/" << ours.tempo << " theirs " << t.speed << "/" << t.tempo;
      ++failures;
      continue;
    }
    const TrackerPattern &p = module.patterns[size_t(module.orders[size_t(t.order)])];
    bool rowSkip[2] = {false, false};
    for (int c = 0; c < module.channels; ++c) {
      const TrackerCell &cell = p.cells[size_t(t.row * module.channels + c)];
      rowSkip[0] = rowSkip[0] || Skipped(cell, "volume", true);
      rowSkip[1] = rowSkip[1] || Skipped(cell, "frequency", true);
    }
    for (int c = 0; c < module.channels; ++c) {
      const TrackerCell &cell = p.cells[size_t(t.row * module.channels + c)];
      if (cell.instrument) skip[size_t(c)] = {false, false};
      if (Skipped(cell, "volume", false)) skip[size_t(c)][0] = true;
      if (Skipped(cell, "frequency", false)) skip[size_t(c)][1] = true;
      const bool skipVolume = skip[size_t(c)][0] || rowSkip[0];
      const bool skipFrequency = skip[size_t(c)][1] || rowSkip[1];
      const TickChannel &a = ours.channels[size_t(c)], &b = t.channels[size_t(c)];
      const std::string at = where + " channel " + std::to_string(c);
      if (b.volume > 0 && (a.note != b.note || a.instrument != b.instrument)) {
        ADD_FAILURE() << at << ": note/instrument ours " << a.note << "/" << a.instrument << " theirs " << b.note
                      << "/" << b.instrument;
        ++failures;
      }
      if (!skipVolume && std::abs(a.volume - b.volume) > 1.01) {
        ADD_FAILURE() << at << ": volume ours " << a.volume << " theirs " << b.volume;
        ++failures;
      }
      if (!skipFrequency && a.volume > 0 && b.volume > 0 &&
          std::abs(a.frequency - b.frequency) > 0.003 * b.frequency + 1.0) {
        ADD_FAILURE() << at << ": frequency ours " << a.frequency << " theirs " << b.frequency;
        ++failures;
      }
    }
  }
}

TrackerSong XmFixture() {
  TrackerSong s;
  s.channels = 6;
  s.orders = {0, 1, 0};
  // Instrument 1: one looping 8-bit sine, a volume envelope with a sustain
  // point and a pan envelope with a loop, fade-out and auto-vibrato.
  TrackerInstrument lead;
  lead.samples.push_back(SineSample(256, 32, 100));
  lead.sampleMap.assign(96, 0);
  lead.volumeEnvelope.points = {{0, 64}, {4, 48}, {10, 48}, {20, 16}, {30, 0}};
  lead.volumeEnvelope.sustain = 2;
  lead.panEnvelope.points = {{0, 32}, {6, 60}, {12, 4}};
  lead.panEnvelope.loopStart = 0;
  lead.panEnvelope.loopEnd = 2;
  lead.fadeOut = 2048;
  lead.vibratoType = 0;
  lead.vibratoSweep = 8;
  lead.vibratoDepth = 0;  // auto-vibrato is compared in the song tests: its phase differs from libxmp's
  lead.vibratoRate = 40;
  // Instrument 2: two 16-bit samples split at C-4, the upper one tuned an
  // octave down with a relative note; a looping envelope.
  TrackerInstrument split;
  split.samples.push_back(SineSample(512, 64, 12000, true));
  TrackerSample upper = SineSample(512, 16, 9000, true);
  upper.relativeNote = -12;
  upper.finetune = 40;
  upper.pingPong = true;
  split.samples.push_back(upper);
  split.sampleMap.assign(96, 0);
  for (int n = 48; n < 96; ++n) split.sampleMap[size_t(n)] = 1;
  split.volumeEnvelope.points = {{0, 0}, {3, 64}, {6, 32}, {9, 64}};
  split.volumeEnvelope.loopStart = 1;
  split.volumeEnvelope.loopEnd = 3;
  s.instruments = {lead, split};

  const int C4 = 49, E4 = 53, G4 = 56, C5 = 61, A3 = 46;
  // Channel 0: notes, volume column, portamento and vibrato.
  s.At(0, 0, 0) = {C4, 1, 0x40, 0, 0};
  s.At(0, 2, 0) = {0, 0, 0, 1, 0x08};          // portamento up
  s.At(0, 3, 0) = {0, 0, 0, 2, 0x04};          // portamento down
  s.At(0, 4, 0) = {G4, 1, 0, 0, 0};
  s.At(0, 5, 0) = {C5, 0, 0, 3, 0x10};         // tone portamento
  s.At(0, 6, 0) = {0, 0, 0, 3, 0};
  s.At(0, 7, 0) = {0, 0, 0, 4, 0x48};          // vibrato
  s.At(0, 8, 0) = {0, 0, 0, 4, 0};
  s.At(0, 9, 0) = {0, 0, 0, 0, 0x47};          // arpeggio
  s.At(0, 10, 0) = {97, 0, 0, 0, 0};           // key off: release and fade
  s.At(0, 14, 0) = {E4, 1, 0, 0xE, 0x12};      // fine portamento up
  s.At(0, 15, 0) = {0, 0, 0, 0xE, 0x23};       // fine portamento down
  s.At(0, 16, 0) = {0, 0, 0, 33, 0x15};        // extra fine up
  s.At(0, 17, 0) = {0, 0, 0, 33, 0x26};        // extra fine down
  s.At(0, 18, 0) = {0, 0, 0, 5, 0x02};         // tone portamento + slide
  s.At(0, 19, 0) = {0, 0, 0, 6, 0x20};         // vibrato + slide
  s.At(0, 20, 0) = {C4, 1, 0, 21, 12};         // envelope position
  s.At(0, 24, 0) = {0, 0, 0, 20, 0};           // key off effect
  // Channel 1: volume effects on the split instrument.
  s.At(0, 0, 1) = {A3, 2, 0, 0xA, 0x02};       // volume slide down
  s.At(0, 2, 1) = {0, 0, 0, 0xA, 0x30};        // up
  s.At(0, 3, 1) = {0, 0, 0, 0xC, 0x20};        // set volume
  s.At(0, 4, 1) = {0, 0, 0, 0xE, 0xA4};        // fine volume up
  s.At(0, 5, 1) = {0, 0, 0, 0xE, 0xB8};        // fine volume down
  s.At(0, 6, 1) = {0, 0, 0, 7, 0x46};          // tremolo
  s.At(0, 7, 1) = {0, 0, 0, 7, 0};
  s.At(0, 8, 1) = {E4 + 12, 2, 0, 0, 0};       // the upper sample
  s.At(0, 10, 1) = {0, 0, 0, 29, 0x21};        // tremor
  s.At(0, 12, 1) = {C4, 2, 0, 0xE, 0xC3};      // note cut
  s.At(0, 13, 1) = {C4, 2, 0, 0xE, 0xD2};      // note delay
  s.At(0, 14, 1) = {C4, 2, 0, 27, 0x82};       // multi retrigger
  s.At(0, 16, 1) = {C4, 2, 0, 0xE, 0x93};      // retrigger
  s.At(0, 17, 1) = {C4, 2, 0, 9, 0x01};        // sample offset
  // Channel 2: pan and the volume column's other commands.
  s.At(0, 0, 2) = {G4, 1, 0, 8, 0x20};
  s.At(0, 2, 2) = {0, 0, 0, 25, 0x20};         // pan slide right
  s.At(0, 3, 2) = {0, 0, 0, 0xE, 0x8C};        // coarse pan
  s.At(0, 4, 2) = {0, 0, 0x84, 0, 0};          // volume column fine down
  s.At(0, 5, 2) = {0, 0, 0x92, 0, 0};          // fine up
  s.At(0, 6, 2) = {0, 0, 0xC4, 0, 0};          // pan
  s.At(0, 7, 2) = {0, 0, 0xA4, 0, 0};          // vibrato speed
  s.At(0, 8, 2) = {0, 0, 0xB6, 0, 0};          // vibrato
  s.At(0, 9, 2) = {E4, 1, 0xF4, 0, 0};         // tone portamento
  s.At(0, 11, 2) = {0, 0, 0x62, 0, 0};         // slide down
  s.At(0, 12, 2) = {G4, 1, 0x30, 0, 0};
  s.At(0, 13, 2) = {0, 0, 0xD3, 0, 0};         // pan slide left
  s.At(0, 14, 2) = {0, 0, 0xE3, 0, 0};         // pan slide right
  // Channel 3: global volume and speed.
  s.At(0, 0, 3) = {C5, 1, 0, 16, 0x30};        // global volume
  s.At(0, 2, 3) = {0, 0, 0, 17, 0x04};         // global slide down
  s.At(0, 3, 3) = {0, 0, 0, 17, 0x20};         // up
  s.At(0, 4, 3) = {0, 0, 0, 16, 0x40};
  s.At(0, 6, 3) = {0, 0, 0, 0xF, 4};           // speed
  s.At(0, 12, 3) = {0, 0, 0, 0xF, 150};        // tempo
  s.At(0, 20, 3) = {0, 0, 0, 0xF, 6};
  s.At(0, 22, 3) = {0, 0, 0, 0xE, 0xE1};       // pattern delay
  // Channel 4: a pattern loop, then a break into pattern 1 at row 2.
  s.At(0, 26, 4) = {C4, 2, 0, 0xE, 0x60};
  s.At(0, 27, 4) = {E4, 2, 0, 0, 0};
  s.At(0, 28, 4) = {0, 0, 0, 0xE, 0x62};
  s.At(0, 30, 4) = {0, 0, 0, 0xD, 0x02};
  // Pattern 1, 16 rows: a jump back to order 2 from its row 8.
  s.patterns.emplace_back();
  s.patterns[1].rows = 16;
  s.patterns[1].cells.resize(size_t(16 * s.channels));
  s.At(1, 2, 0) = {C4, 2, 0, 0, 0};
  s.At(1, 4, 5) = {G4, 1, 0, 0, 0};
  s.At(1, 8, 5) = {0, 0, 0, 0xB, 2};
  return s;
}

TEST_F(TrackerOracleTest, XmAgreesWithLibxmpTickByTick) {
  TrackerSong module = XmFixture();
  const std::vector<uint8_t> bytes = module.Xm();
  MusicSong *song = Load(bytes, OSND_MODE_LOOP_OFF);
  ASSERT_NE(song, nullptr) << OSND_GetError();
  Compare(this, song, module, bytes, 4000);
  Music_StopSong(song);  // its voices go back to the engine
  module.linear = false;
  const std::vector<uint8_t> amiga = module.Xm();
  MusicSong *amigaSong = Load(amiga, OSND_MODE_LOOP_OFF);
  ASSERT_NE(amigaSong, nullptr);
  Compare(this, amigaSong, module, amiga, 4000);
}

TEST_F(TrackerOracleTest, XmDeltaSamplesDecodeAsLibxmpDecodesThem) {
  const TrackerSong module = XmFixture();
  const std::vector<uint8_t> bytes = module.Xm();
  MusicSong *song = Load(bytes);
  ASSERT_NE(song, nullptr);
  ASSERT_EQ(song->sampleCount, 3);
  for (int i = 0; i < 3; ++i) {
    const std::vector<int16_t> theirs = LibxmpSample(bytes, i);
    const OSND_SAMPLE *s = song->samples[i];
    ASSERT_EQ(theirs.size(), size_t(s->length)) << i;
    for (size_t k = 0; k < theirs.size(); ++k) {
      const int ours = (s->mode & OSND_MODE_16BITS) ? reinterpret_cast<const int16_t *>(s->data)[k]
                                                     : int(int8_t(s->data[k])) * 256;
      ASSERT_EQ(ours, theirs[k]) << "sample " << i << " frame " << k;
    }
  }
}

}  // namespace
