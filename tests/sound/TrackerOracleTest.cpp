// The song players against libxmp: both play the same module tick by tick and
// must agree on position, speed, tempo and each channel's note, instrument,
// volume and pitch, except where this engine plays differently on purpose
// (listed in kDifferences with the reason).
#include "SongTestSupport.h"
#include "TrackerWriterSupport.h"

#include "sound/src/song/music_core.h"

#include <xmp.h>

#include <algorithm>
#include <array>
#include <iterator>
#include <cmath>
#include <complex>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace tracker_oracle_test {

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

// libxmp's notes count from C-0 for IT and from an octave lower for XM.
std::vector<Tick> LibxmpTrace(const std::vector<uint8_t> &module, int ticks, int channels, int noteBase) {
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
      ch.note = ci.note > 0 && ci.note < 0x80 ? ci.note - noteBase : -1;
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
// `fullVolume` is the engine volume of a full-volume note.
Tick EngineTick(MusicSong *song, double fullVolume) {
  Tick t{song->order, song->row, song->speed, song->tempo, {}};
  for (int k = 0; k < song->channelCount; ++k) {
    MusicChannel *ch = &song->songChannels[k];
    MusicVoice *v = Music_FirstVoice(ch);
    TickChannel out;
    out.note = ch->note;  // a tone portamento's target is not the channel's note
    out.instrument = ch->instrument;
    if (v != Music_DummyVoice() && !v->background && OSND_IsPlaying(v->handle)) {
      out.volume = OSND_GetVolume(v->handle) * 64.0 / fullVolume;
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
const Difference kXmDifferences[] = {
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

bool Skipped(const Difference *list, size_t count, const TrackerCell &cell, const std::string &field,
             bool songWide) {
  for (size_t k = 0; k < count; ++k)
    if (field == list[k].field && list[k].songWide == songWide && list[k].cause(cell)) return true;
  return false;
}

// Enough engine channels for the voices IT's new-note actions leave sounding.
class TrackerOracleTest : public CapturedSong {
 protected:
  void SetUp() override { ASSERT_TRUE(Start(OSND_MIXER_QUALITY_FPU, kRate, 64, 0x80)); }
  // Renders the module and versions of it made wrong on purpose and checks
  // that only the right one sounds as libxmp's rendering does.
  void ExpectSoundAsLibxmp(const TrackerSong &module, std::vector<uint8_t> (TrackerSong::*write)() const,
                           int highestNote, const TrackerCell &cut, const Difference *differences, size_t count);
  static constexpr double kEnvelopeAgreement = 0.95, kPitchAgreement = 0.8, kPresenceAgreement = 0.97;
};

// Runs both players over the whole song and reports every disagreement.
void Compare(MusicSong *song, const TrackerSong &module, const std::vector<uint8_t> &bytes, int ticks,
             const Difference *differences, size_t count) {
  const bool it = song->type == MUSIC_TYPE_IT;
  const std::vector<Tick> theirs = LibxmpTrace(bytes, ticks, module.channels, it ? 0 : 12);
  // Full volume on the engine's scale: XM reaches 127.5; IT 255 (127.5 without
  // instruments) times the song's master volume.
  const double full = !it ? 127.5 : (module.itInstruments ? 255.0 : 127.5) * song->masterVolume / 256.0;
  ASSERT_GT(theirs.size(), 10u);
  EXPECT_EQ(theirs.back().order, int(module.orders.size()) - 1) << "the trace covers the whole song";
  ASSERT_TRUE(Music_PlaySong(song));
  // Per channel: volume, frequency and note skipped (see the difference lists).
  std::vector<std::vector<bool>> skip(size_t(module.channels), std::vector<bool>{false, false, false});
  int failures = 0;
  for (size_t i = 0; i < theirs.size() && failures < 200; ++i) {
    song->tickCallback(song);
    const Tick ours = EngineTick(song, full);
    const Tick &t = theirs[i];
    const std::string where = "tick " + std::to_string(i) + " order " + std::to_string(t.order) + " row " +
                              std::to_string(t.row);
    if (ours.order != t.order || ours.row != t.row || ours.speed != t.speed || ours.tempo != t.tempo) {
      ADD_FAILURE() << where << ": position/speed/tempo ours " << ours.order << "/" << ours.row << "/"
                    << ours.speed << "/" << ours.tempo << " theirs " << t.order << "/" << t.row << "/" << t.speed << "/" << t.tempo;
      ++failures;
      continue;
    }
    const TrackerPattern &p = module.patterns[size_t(module.orders[size_t(t.order)])];
    bool rowSkip[3] = {false, false, false};
    for (int c = 0; c < module.channels; ++c) {
      const TrackerCell &cell = p.cells[size_t(t.row * module.channels + c)];
      rowSkip[0] = rowSkip[0] || Skipped(differences, count, cell, "volume", true);
      rowSkip[1] = rowSkip[1] || Skipped(differences, count, cell, "frequency", true);
      rowSkip[2] = rowSkip[2] || Skipped(differences, count, cell, "note", true);
    }
    for (int c = 0; c < module.channels; ++c) {
      const TrackerCell &cell = p.cells[size_t(t.row * module.channels + c)];
      if (cell.instrument) skip[size_t(c)] = {false, false, false};
      if (Skipped(differences, count, cell, "volume", false)) skip[size_t(c)][0] = true;
      if (Skipped(differences, count, cell, "frequency", false)) skip[size_t(c)][1] = true;
      if (Skipped(differences, count, cell, "note", false)) skip[size_t(c)][2] = true;
      const bool skipNote = skip[size_t(c)][2] || rowSkip[2];
      const bool skipVolume = skip[size_t(c)][0] || rowSkip[0];
      const bool skipFrequency = skip[size_t(c)][1] || rowSkip[1];
      const TickChannel &a = ours.channels[size_t(c)], &b = t.channels[size_t(c)];
      const std::string at = where + " channel " + std::to_string(c);
      if (b.volume > 0 && ((!skipNote && a.note != b.note) || a.instrument != b.instrument)) {
        ADD_FAILURE() << at << ": note/instrument ours " << a.note << "/" << a.instrument << " theirs " << b.note
                      << "/" << b.instrument;
        ++failures;
      }
      if (!skipVolume && std::abs(a.volume - b.volume) > 1.01) {
        ADD_FAILURE() << at << ": volume ours " << a.volume << " theirs " << b.volume;
        ++failures;
      }
      if (!skipFrequency && a.volume > 0 && b.volume > 0 &&
          std::abs(a.frequency - b.frequency) > 0.0035 * b.frequency + 1.0) {
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
  Compare(song, module, bytes, 4000, kXmDifferences, std::size(kXmDifferences));
  Music_StopSong(song);  // its voices go back to the engine
  module.linear = false;
  const std::vector<uint8_t> amiga = module.Xm();
  MusicSong *amigaSong = Load(amiga, OSND_MODE_LOOP_OFF);
  ASSERT_NE(amigaSong, nullptr);
  Compare(amigaSong, module, amiga, 4000, kXmDifferences, std::size(kXmDifferences));
}

const Difference kItDifferences[] = {
    {[](const TrackerCell &c) { return Effect(c, 23); }, "volume", true,
     "a global volume slide is heard on every channel in the tick it happens; libxmp hears it a tick later"},
    {[](const TrackerCell &c) { return c.instrument == 2; }, "volume", false,
     "an envelope loop goes back to its start on the loop end's own tick; libxmp holds the end point a tick "
     "(the fixture's instrument 2 loops its volume envelope)"},
    {[](const TrackerCell &c) { return c.note && (Effect(c, 7) || Effect(c, 12) || (c.volume >= 194 && c.volume <= 203)); },
     "note", false, "a tone portamento's note becomes the channel's note at once; libxmp shows the old note"},
    {[](const TrackerCell &c) { return Effect(c, 8) || Effect(c, 21) || Effect(c, 11) || (c.volume >= 204 && c.volume <= 213); },
     "frequency", false, "vibrato runs on the row's first tick too and its phase differs from libxmp's"},
    {[](const TrackerCell &c) { return c.note == 255; }, "volume", false,
     "a note off releases the sustain loop on its own tick; libxmp's a tick later"},
    {[](const TrackerCell &c) { return c.volume >= 106 && c.volume <= 125; }, "frequency", false,
     "volume-column pitch slides act on the row's first tick too"},
};
// Left out of the IT fixture, as it moves every later row: S6y lengthens its
// row by y ticks, where libxmp's row grows by y times the speed (see the
// song tests).
//
// Two differences in the rendered sound, which the fixture's choices keep
// out of the comparison rather than a listed cell (neither has a cell that
// causes it):
// - A tick lasts the mix rate over the tick rate rounded to the nearest
//   frame; libxmp's tick is a frame shorter where the fraction is above one
//   half (798 frames against 799 at 138 bpm). Voices of one channel that sound
//   together (new-note actions, duplicate checks) add by their relative
//   phase, which that frame moves: at 138 bpm the pad's channel fell to an
//   envelope correlation of 0.92 (0.999 with a frame less per tick). The
//   fixture's tempos, 125, 150 and 147 after the slide, are whole frames.
// - A ping-pong loop turns exactly at both of its ends, the fraction carried,
//   so a round trip is twice the loop length; libxmp's is a frame shorter (it
//   does not play the loop-start frame twice). With a fractional number of
//   cycles in the loop the round trip's two nearest harmonics are about
//   equally strong and the two players' dominant pitches part by half a
//   semitone; the fixture's ping-pong loop holds whole cycles.

// IT notes: 0-based note + 1.
constexpr int kItC5 = 61, kItE5 = 65, kItG5 = 68, kItC6 = 73, kItA4 = 58;

TrackerSong ItFixture() {
  TrackerSong s;
  s.channels = 6;
  s.orders = {0, 1, 0};
  s.compatible = 0x215;
  s.mixVolume = 64;
  // Samples: plain 8-bit, 2.14 compressed 16-bit, 2.15 compressed 8-bit, 2.15 16-bit.
  TrackerSample plain = SineSample(256, 32, 100);
  TrackerSample packed16 = SineSample(512, 64, 12000, true);
  packed16.compressed = true;
  TrackerSample packed8 = SineSample(300, 15, 90);  // whole cycles (see above)
  packed8.compressed = true;
  packed8.compressed215 = true;
  packed8.cSpeed = 16726;
  packed8.pingPong = true;
  TrackerSample packed16b = SineSample(1000, 50, 20000, true);
  packed16b.compressed = true;
  packed16b.compressed215 = true;
  packed16b.globalVolume = 48;
  s.itSamples = {plain, packed16, packed8, packed16b};
  // Instrument 1: plain sample, volume envelope with a sustain loop, pan
  // envelope with a loop, cut on a new note.
  TrackerInstrument lead;
  lead.sampleMap.assign(120, 1);
  lead.volumeEnvelope.points = {{0, 64}, {4, 48}, {10, 48}, {20, 16}, {30, 0}};
  lead.volumeEnvelope.sustain = 2;
  lead.volumeEnvelope.sustainEnd = 2;
  lead.panEnvelope.points = {{0, 0}, {6, 20}, {12, -20}};
  lead.panEnvelope.loopStart = 0;
  lead.panEnvelope.loopEnd = 2;
  lead.fadeOut = 64;
  // Instrument 2: a sample map split at C-5, new-note action continue, a
  // pitch envelope and a looping volume envelope.
  TrackerInstrument split;
  split.sampleMap.assign(120, 2);
  for (int n = 60; n < 120; ++n) split.sampleMap[size_t(n)] = 3;
  split.newNoteAction = 1;
  split.volumeEnvelope.points = {{0, 0}, {3, 64}, {6, 32}, {9, 64}};
  split.volumeEnvelope.loopStart = 1;
  split.volumeEnvelope.loopEnd = 3;
  split.pitchEnvelope.points = {{0, 0}, {8, 8}, {16, 0}};
  split.fadeOut = 128;
  // Instrument 3: note off as new-note action, a duplicate check on the
  // note that fades the old voice.
  TrackerInstrument pad;
  pad.sampleMap.assign(120, 4);
  pad.newNoteAction = 2;
  pad.duplicateCheck = 1;
  pad.duplicateAction = 2;
  pad.fadeOut = 256;
  pad.globalVolume = 100;
  s.instruments = {lead, split, pad};

  // Channel 0: notes, the volume column and pitch effects.
  s.At(0, 0, 0) = {kItC5, 1, 65, 0, 0};        // volume 64
  s.At(0, 2, 0) = {0, 0, 0, 6, 0x08};          // F: portamento up
  s.At(0, 3, 0) = {0, 0, 0, 5, 0x04};          // E: down
  s.At(0, 4, 0) = {kItG5, 1, 0, 0, 0};
  s.At(0, 5, 0) = {kItC6, 0, 0, 7, 0x10};      // G: tone portamento
  s.At(0, 6, 0) = {0, 0, 0, 7, 0};
  s.At(0, 7, 0) = {0, 0, 0, 8, 0x48};          // H: vibrato
  s.At(0, 8, 0) = {0, 0, 0, 21, 0x44};         // U: fine vibrato
  s.At(0, 9, 0) = {0, 0, 0, 10, 0x47};         // J: arpeggio
  s.At(0, 10, 0) = {255, 0, 0, 0, 0};          // note off
  s.At(0, 14, 0) = {kItE5, 1, 0, 5, 0xF2};     // fine E
  s.At(0, 15, 0) = {0, 0, 0, 6, 0xE3};         // extra fine F
  s.At(0, 16, 0) = {0, 0, 0, 12, 0x02};        // L
  s.At(0, 17, 0) = {0, 0, 0, 11, 0x20};        // K
  s.At(0, 18, 0) = {0, 0, 0, 19, 0x73};        // S73: new-note action cut
  s.At(0, 19, 0) = {254, 0, 0, 0, 0};          // note cut
  // Channel 1: volume effects on the split instrument.
  s.At(0, 0, 1) = {kItA4, 2, 0, 4, 0x02};      // D: slide down
  s.At(0, 2, 1) = {0, 0, 0, 4, 0x30};          // up
  s.At(0, 3, 1) = {0, 0, 0, 4, 0xF4};          // fine down
  s.At(0, 4, 1) = {0, 0, 0, 13, 0x30};         // M: channel volume
  s.At(0, 5, 1) = {0, 0, 0, 14, 0x02};         // N: channel slide
  s.At(0, 6, 1) = {0, 0, 0, 18, 0x46};         // R: tremolo
  s.At(0, 8, 1) = {kItE5 + 12, 2, 0, 0, 0};    // the upper sample; the old note continues
  s.At(0, 10, 1) = {0, 0, 0, 9, 0x21};         // I: tremor
  s.At(0, 12, 1) = {kItC5, 2, 0, 19, 0xC3};    // SC3: note cut
  s.At(0, 13, 1) = {kItC5, 2, 0, 19, 0xD2};    // SD2: note delay
  s.At(0, 14, 1) = {kItC5, 2, 0, 17, 0x82};    // Q: retrigger
  s.At(0, 16, 1) = {kItC5, 2, 0, 15, 0x01};    // O: sample offset
  s.At(0, 17, 1) = {0, 0, 0, 19, 0x70};        // S70: cut background voices
  // Channel 2: pan and the rest of the volume column.
  s.At(0, 0, 2) = {kItG5, 1, 0, 24, 0x40};     // X: pan
  s.At(0, 2, 2) = {0, 0, 0, 16, 0x20};         // P: pan slide
  s.At(0, 3, 2) = {0, 0, 0, 19, 0x8C};         // S8: pan
  s.At(0, 4, 2) = {0, 0, 68, 0, 0};            // volume column fine up
  s.At(0, 5, 2) = {0, 0, 78, 0, 0};            // fine down
  s.At(0, 6, 2) = {0, 0, 161, 0, 0};           // pan 32
  s.At(0, 7, 2) = {0, 0, 88, 0, 0};            // slide up
  s.At(0, 8, 2) = {0, 0, 99, 0, 0};            // slide down
  s.At(0, 9, 2) = {kItE5, 1, 197, 0, 0};       // tone portamento
  s.At(0, 11, 2) = {0, 0, 108, 0, 0};          // pitch down
  s.At(0, 12, 2) = {0, 0, 118, 0, 0};          // pitch up
  s.At(0, 13, 2) = {0, 0, 207, 0, 0};          // vibrato
  s.At(0, 14, 2) = {0, 0, 0, 25, 0x44};        // Y: panbrello
  // Channel 3: global volume, speed and tempo.
  s.At(0, 0, 3) = {kItC6, 1, 0, 22, 0x60};     // V
  s.At(0, 2, 3) = {0, 0, 0, 23, 0x04};         // W: down
  s.At(0, 3, 3) = {0, 0, 0, 23, 0x20};         // up
  s.At(0, 4, 3) = {0, 0, 0, 22, 0x80};
  s.At(0, 6, 3) = {0, 0, 0, 1, 4};             // A: speed
  s.At(0, 12, 3) = {0, 0, 0, 20, 150};         // T: tempo
  s.At(0, 13, 3) = {0, 0, 0, 20, 0x01};        // T0y: slide down to 147 (whole-frame ticks)
  s.At(0, 20, 3) = {0, 0, 0, 1, 6};
  s.At(0, 22, 3) = {0, 0, 0, 19, 0xE1};        // SE1: pattern delay
  // Channel 4: the pad's duplicate check and note-off action, a pattern
  // loop, then a break into pattern 1.
  s.At(0, 24, 4) = {kItC5, 3, 0, 0, 0};
  s.At(0, 25, 4) = {kItC5, 3, 0, 0, 0};
  s.At(0, 26, 4) = {kItE5, 3, 0, 19, 0xB0};
  s.At(0, 27, 4) = {kItG5, 3, 0, 0, 0};
  s.At(0, 28, 4) = {0, 0, 0, 19, 0xB2};
  s.At(0, 30, 4) = {0, 0, 0, 3, 0x02};         // C: break to row 2
  s.patterns.emplace_back();
  s.patterns[1].rows = 16;
  s.patterns[1].cells.resize(size_t(16 * s.channels));
  s.At(1, 2, 0) = {kItC5, 2, 0, 0, 0};
  s.At(1, 4, 5) = {kItG5, 1, 0, 0, 0};
  s.At(1, 8, 5) = {0, 0, 0, 2, 2};             // B: jump to order 2
  return s;
}

TEST_F(TrackerOracleTest, ItAgreesWithLibxmpTickByTick) {
  TrackerSong module = ItFixture();
  const std::vector<uint8_t> bytes = module.It();
  MusicSong *song = Load(bytes, OSND_MODE_LOOP_OFF);
  ASSERT_NE(song, nullptr) << OSND_GetError();
  Compare(song, module, bytes, 4000, kItDifferences, std::size(kItDifferences));
  Music_StopSong(song);
  module.linear = false;
  const std::vector<uint8_t> amiga = module.It();
  MusicSong *amigaSong = Load(amiga, OSND_MODE_LOOP_OFF);
  ASSERT_NE(amigaSong, nullptr);
  Compare(amigaSong, module, amiga, 4000, kItDifferences, std::size(kItDifferences));
}

// The rendered sound against libxmp's, one channel at a time (the other
// channels keep their effects but play no notes). Interpolation and pan law
// differ, so the two are compared only as loudness envelope and dominant
// pitch, each rendering from its first sound on. The loudness is measured the
// way each pan law keeps a channel's level whatever its pan: libxmp's linear
// law keeps left + right, this engine's square-root law keeps left² + right².
struct Rendering {
  std::vector<float> mono;   // left + right
  std::vector<float> power;  // a frame's power under the player's own pan law
  // libxmp's only: where each tick starts, and its position.
  std::vector<size_t> tickStart;
  std::vector<SongPosition> tickPosition;
  size_t start = 0;  // the first sound
};

// Ends with the song's last order: the ticks libxmp plays of the restarted
// song before it counts a loop are not part of the song.
Rendering LibxmpRendering(const std::vector<uint8_t> &module, int lastOrder) {
  Rendering out;
  xmp_context c = xmp_create_context();
  if (xmp_load_module_from_memory(c, const_cast<uint8_t *>(module.data()), long(module.size())) != 0) {
    xmp_free_context(c);
    return out;
  }
  xmp_start_player(c, 44100, 0);
  xmp_set_player(c, XMP_PLAYER_INTERP, XMP_INTERP_LINEAR);
  bool atLastOrder = false;
  for (int i = 0; i < 4000 && xmp_play_frame(c) == 0; ++i) {
    xmp_frame_info fi;
    xmp_get_frame_info(c, &fi);
    if (fi.loop_count > 0 || (atLastOrder && fi.pos != lastOrder)) break;
    atLastOrder = fi.pos == lastOrder;
    out.tickStart.push_back(out.mono.size());
    out.tickPosition.push_back({fi.pos, fi.row});
    const int16_t *pcm = static_cast<const int16_t *>(fi.buffer);
    for (int k = 0; k + 1 < fi.buffer_size / 2; k += 2) {
      out.mono.push_back(float(pcm[k]) + float(pcm[k + 1]));
      out.power.push_back(out.mono.back() * out.mono.back() / 2);
    }
  }
  xmp_end_player(c);
  xmp_release_module(c);
  xmp_free_context(c);
  return out;
}

void FindFirstSound(Rendering &r) {
  while (r.start < r.mono.size() && std::abs(r.mono[r.start]) < 64) ++r.start;
}

// The ticks during which a listed difference changes the channel's volume
// ([0]) or its pitch ([1]), by the same rules as the tick-by-tick comparison,
// with one more: the sound also holds the voices that IT's new-note actions
// leave playing, so a difference stays in force past the next instrument byte
// while the note it touched goes on in the background.
std::vector<std::array<bool, 2>> DifferentTicks(const TrackerSong &module, const Rendering &theirs, int channel,
                                                const Difference *differences, size_t count) {
  std::vector<std::array<bool, 2>> out;
  std::array<bool, 2> held{false, false};
  std::array<bool, 2> behind{false, false};  // held by a voice in the background
  int sounding = 0;  // the instrument of the channel's note, 1-based
  const char *fields[2] = {"volume", "frequency"};
  for (const SongPosition &at : theirs.tickPosition) {
    const TrackerPattern &p = module.patterns[size_t(module.orders[size_t(at.order)])];
    const TrackerCell &cell = p.cells[size_t(at.row * module.channels + channel)];
    const bool continues = sounding > 0 && size_t(sounding) <= module.instruments.size() &&
                           module.instruments[size_t(sounding - 1)].newNoteAction != 0;
    std::array<bool, 2> now{false, false};
    for (int f = 0; f < 2; ++f) {
      for (int c = 0; c < module.channels; ++c)
        now[size_t(f)] = now[size_t(f)] ||
                         Skipped(differences, count, p.cells[size_t(at.row * module.channels + c)], fields[f], true);
      if (cell.effect == 19 && cell.parameter == 0x70) behind[size_t(f)] = false;  // S70 cuts them
      if (cell.instrument && continues) behind[size_t(f)] = behind[size_t(f)] || held[size_t(f)];
      if (cell.instrument) held[size_t(f)] = false;
      if (Skipped(differences, count, cell, fields[f], false)) held[size_t(f)] = true;
      now[size_t(f)] = now[size_t(f)] || held[size_t(f)] || behind[size_t(f)];
    }
    if (cell.instrument && cell.note > 0 && cell.note <= 120) sounding = cell.instrument;
    out.push_back(now);
  }
  return out;
}

// RMS over 20 ms windows, divided by the RMS of all of them.
constexpr size_t kEnvelopeWindow = 882;
std::vector<double> Envelope(const Rendering &r, size_t frames) {
  std::vector<double> env;
  double total = 0;
  for (size_t w = 0; w + kEnvelopeWindow <= frames; w += kEnvelopeWindow) {
    double sum = 0;
    for (size_t k = r.start + w; k < r.start + w + kEnvelopeWindow; ++k) sum += r.power[k];
    env.push_back(std::sqrt(sum / kEnvelopeWindow));
    total += sum;
  }
  const double overall = std::sqrt(total / double(std::max<size_t>(1, env.size() * kEnvelopeWindow)));
  for (double &e : env) e /= std::max(overall, 1.0);
  return env;
}

double Correlation(const std::vector<double> &a, const std::vector<double> &b) {
  const size_t n = std::min(a.size(), b.size());
  double ma = 0, mb = 0;
  for (size_t k = 0; k < n; ++k) ma += a[k], mb += b[k];
  ma /= double(std::max<size_t>(n, 1)), mb /= double(std::max<size_t>(n, 1));
  double ab = 0, aa = 0, bb = 0;
  for (size_t k = 0; k < n; ++k) {
    ab += (a[k] - ma) * (b[k] - mb);
    aa += (a[k] - ma) * (a[k] - ma);
    bb += (b[k] - mb) * (b[k] - mb);
  }
  return ab / std::sqrt(std::max(aa * bb, 1e-30));
}

// The strongest frequency of a Hann-windowed stretch of kPitchWindow frames,
// refined between bins by a parabola through the peak's log magnitudes.
constexpr size_t kPitchWindow = 4096;
double DominantFrequency(const float *mono) {
  std::vector<std::complex<double>> x(kPitchWindow);
  for (size_t k = 0; k < kPitchWindow; ++k)
    x[k] = mono[k] * (0.5 - 0.5 * std::cos(2 * M_PI * double(k) / double(kPitchWindow)));
  for (size_t i = 1, j = 0; i < kPitchWindow; ++i) {
    size_t bit = kPitchWindow >> 1;
    for (; j & bit; bit >>= 1) j ^= bit;
    j ^= bit;
    if (i < j) std::swap(x[i], x[j]);
  }
  for (size_t len = 2; len <= kPitchWindow; len <<= 1) {
    const std::complex<double> step = std::polar(1.0, -2 * M_PI / double(len));
    for (size_t i = 0; i < kPitchWindow; i += len) {
      std::complex<double> w = 1;
      for (size_t k = 0; k < len / 2; ++k, w *= step) {
        const std::complex<double> u = x[i + k], v = x[i + k + len / 2] * w;
        x[i + k] = u + v;
        x[i + k + len / 2] = u - v;
      }
    }
  }
  size_t peak = 1;
  for (size_t k = 2; k < kPitchWindow / 2 - 1; ++k)
    if (std::abs(x[k]) > std::abs(x[peak])) peak = k;
  const double l = std::log(std::abs(x[peak - 1]) + 1e-9), m = std::log(std::abs(x[peak]) + 1e-9),
               r = std::log(std::abs(x[peak + 1]) + 1e-9);
  const double shift = (l - 2 * m + r) != 0 ? 0.5 * (l - r) / (l - 2 * m + r) : 0.0;
  return (double(peak) + shift) * 44100.0 / double(kPitchWindow);
}

constexpr double kSilent = 0.05;  // of a rendering's overall level

struct SoundAgreement {
  double envelopeCorrelation = 0;
  size_t envelopeWindows = 0;  // untouched by a listed difference
  double pitchAgreement = 0;  // share of the pitch windows audible in both
  size_t pitchWindows = 0;
  // Share of all windows, listed differences or not, that both players leave
  // silent or both fill: no listed difference silences a note for longer
  // than a tick or two.
  double presenceAgreement = 0;
};

// The envelopes correlate over the windows no listed difference touches.
// Pitch windows start every 50 ms; those that are louder than a tenth of the
// overall level in both and untouched by a listed difference agree when
// their dominant frequencies lie within a quarter of a semitone.
SoundAgreement CompareSound(const Rendering &ours, const Rendering &theirs,
                            const std::vector<std::array<bool, 2>> &different) {
  const size_t frames = std::min(ours.mono.size() - ours.start, theirs.mono.size() - theirs.start);
  SoundAgreement result;
  const std::vector<double> a = Envelope(ours, frames), b = Envelope(theirs, frames);
  // Whether a listed difference touches the frames [from, to) of libxmp's rendering.
  const auto touched = [&](size_t from, size_t to, size_t field) {
    from += theirs.start, to += theirs.start;
    size_t tick = size_t(std::upper_bound(theirs.tickStart.begin(), theirs.tickStart.end(), from) -
                         theirs.tickStart.begin()) - 1;
    for (; tick < theirs.tickStart.size() && theirs.tickStart[tick] < to; ++tick)
      if (different[tick][field]) return true;
    return false;
  };
  std::vector<double> keptA, keptB;
  for (size_t e = 0; e < a.size(); ++e)
    if (!touched(e * kEnvelopeWindow, (e + 1) * kEnvelopeWindow, 0)) keptA.push_back(a[e]), keptB.push_back(b[e]);
  result.envelopeWindows = keptA.size();
  if (keptA.size() >= 10) result.envelopeCorrelation = Correlation(keptA, keptB);
  size_t present = 0;
  for (size_t e = 0; e < a.size(); ++e) present += (a[e] > kSilent) == (b[e] > kSilent);
  result.presenceAgreement = a.empty() ? 0.0 : double(present) / double(a.size());
  size_t agreeing = 0;
  for (size_t w = 0; w + kPitchWindow <= frames; w += 2205) {
    bool audible = !touched(w, w + kPitchWindow, 1);
    for (size_t e = w / kEnvelopeWindow; e < (w + kPitchWindow) / kEnvelopeWindow && e < a.size(); ++e)
      audible = audible && a[e] > 0.1 && b[e] > 0.1;
    if (!audible) continue;
    ++result.pitchWindows;
    const double f = DominantFrequency(&ours.mono[ours.start + w]);
    const double g = DominantFrequency(&theirs.mono[theirs.start + w]);
    if (std::abs(std::log2(f / g)) < 1.0 / 48) ++agreeing;
  }
  result.pitchAgreement = result.pitchWindows ? double(agreeing) / double(result.pitchWindows) : 0.0;
  return result;
}

// The channel's notes alone; the other channels keep their effects.
TrackerSong Solo(TrackerSong s, int channel) {
  for (TrackerPattern &p : s.patterns)
    for (size_t k = 0; k < p.cells.size(); ++k)
      if (int(k % size_t(s.channels)) != channel) p.cells[k].note = p.cells[k].instrument = p.cells[k].volume = 0;
  return s;
}

// Deliberately wrong versions of a song: the channel's first, third, ... note
// cut at once (`cut` is the format's note-cut cell), and every note a
// semitone higher.
TrackerSong EveryOtherNoteCut(TrackerSong s, int channel, const TrackerCell &cut) {
  bool odd = false;
  for (TrackerPattern &p : s.patterns)
    for (int r = 0; r < p.rows; ++r) {
      TrackerCell &c = p.cells[size_t(r * s.channels + channel)];
      if (c.note > 0 && (odd = !odd)) c = cut;
    }
  return s;
}
TrackerSong Sharpened(TrackerSong s, int highestNote) {
  for (TrackerPattern &p : s.patterns)
    for (TrackerCell &c : p.cells)
      if (c.note > 0 && c.note < highestNote) ++c.note;
  return s;
}

void TrackerOracleTest::ExpectSoundAsLibxmp(const TrackerSong &module, std::vector<uint8_t> (TrackerSong::*write)() const,
                                            int highestNote, const TrackerCell &cut, const Difference *differences,
                                            size_t count) {
  const auto render = [&](const TrackerSong &s, size_t frames) {
    MusicSong *song = Load((s.*write)(), OSND_MODE_LOOP_OFF);
    EXPECT_NE(song, nullptr);
    captured.clear();
    Rendering r;
    if (!song || !Music_PlaySong(song)) return r;
    PlayFrames(frames);
    Music_StopSong(song);
    for (size_t f = 0; f < captured.size() / 2; ++f) {
      const float left = Left(f), right = Right(f);
      r.mono.push_back(left + right);
      r.power.push_back(left * left + right * right);
    }
    FindFirstSound(r);
    return r;
  };
  int envelopes = 0, pitches = 0;
  for (int c = 0; c < module.channels; ++c) {
    const TrackerSong solo = Solo(module, c);
    Rendering theirs = LibxmpRendering((solo.*write)(), int(module.orders.size()) - 1);
    FindFirstSound(theirs);
    ASSERT_GT(theirs.mono.size(), theirs.start + size_t(kRate)) << "channel " << c << ": libxmp renders a second";
    const std::vector<std::array<bool, 2>> different = DifferentTicks(solo, theirs, c, differences, count);
    const size_t frames = theirs.mono.size() + size_t(kRate) / 2;
    const SoundAgreement same = CompareSound(render(solo, frames), theirs, different);
    // The thresholds tell a wrong rendering apart.
    const SoundAgreement muted = CompareSound(render(EveryOtherNoteCut(solo, c, cut), frames), theirs, different);
    const SoundAgreement sharp = CompareSound(render(Sharpened(solo, highestNote), frames), theirs, different);
    std::printf("channel %d: envelope correlation %.3f over %zu windows (every other note cut %.3f), pitch agreement "
                "%.3f of %zu windows (a semitone higher %.3f), sound present alike %.3f (every other note cut %.3f)\n",
                c, same.envelopeCorrelation, same.envelopeWindows, muted.envelopeCorrelation, same.pitchAgreement,
                same.pitchWindows, sharp.pitchAgreement, same.presenceAgreement, muted.presenceAgreement);
    EXPECT_GT(same.presenceAgreement, kPresenceAgreement) << "channel " << c;
    // A channel whose every note a listed difference touches has too few windows to compare.
    if (same.envelopeWindows >= 25) {
      EXPECT_GT(same.envelopeCorrelation, kEnvelopeAgreement) << "channel " << c;
      EXPECT_LT(muted.envelopeCorrelation, kEnvelopeAgreement) << "channel " << c << " with every other note cut";
      ++envelopes;
    }
    if (same.pitchWindows >= 25) {
      EXPECT_GT(same.pitchAgreement, kPitchAgreement) << "channel " << c;
      EXPECT_LT(sharp.pitchAgreement, kPitchAgreement) << "channel " << c << " a semitone higher";
      ++pitches;
    }
  }
  EXPECT_GE(envelopes, module.channels - 1) << "channels compared in envelope";
  EXPECT_EQ(pitches, module.channels) << "channels compared in pitch";
}

TEST_F(TrackerOracleTest, XmAndItSoundAsLibxmpInEnvelopeAndPitch) {
  {
    SCOPED_TRACE("XM");
    ExpectSoundAsLibxmp(XmFixture(), &TrackerSong::Xm, 96, {0, 0, 0, 0xE, 0xC0}, kXmDifferences, std::size(kXmDifferences));
  }
  {
    SCOPED_TRACE("IT");
    ExpectSoundAsLibxmp(ItFixture(), &TrackerSong::It, 120, {254, 0, 0, 0, 0}, kItDifferences, std::size(kItDifferences));
  }
}

// Every sample of the song holds what libxmp decodes from the same file, and
// what the writer put in.
void ExpectSamplesAsLibxmp(MusicSong *song, const std::vector<uint8_t> &bytes,
                           const std::vector<const TrackerSample *> &written) {
  ASSERT_EQ(song->sampleCount, int(written.size()));
  for (int i = 0; i < song->sampleCount; ++i) {
    const std::vector<int16_t> theirs = LibxmpSample(bytes, i);
    const OSND_SAMPLE *s = song->samples[i];
    const TrackerSample &w = *written[size_t(i)];
    ASSERT_EQ(theirs.size(), size_t(s->length)) << i;
    ASSERT_EQ(w.pcm.size(), size_t(s->length)) << i;
    for (size_t k = 0; k < theirs.size(); ++k) {
      const bool sixteen = s->mode & OSND_MODE_16BITS;
      const int ours = sixteen ? reinterpret_cast<const int16_t *>(s->data)[k] : int(int8_t(s->data[k])) * 256;
      ASSERT_EQ(ours, theirs[k]) << "sample " << i << " frame " << k;
      ASSERT_EQ(ours, sixteen ? w.pcm[k] : w.pcm[k] * 256) << "sample " << i << " frame " << k;
    }
  }
}

TEST_F(TrackerOracleTest, ItCompressedSamplesDecodeAsLibxmpDecodesThem) {
  const TrackerSong module = ItFixture();
  const std::vector<uint8_t> bytes = module.It();
  MusicSong *song = Load(bytes);
  ASSERT_NE(song, nullptr);
  std::vector<const TrackerSample *> written;
  for (const TrackerSample &w : module.itSamples) written.push_back(&w);
  ExpectSamplesAsLibxmp(song, bytes, written);
}

TEST_F(TrackerOracleTest, XmDeltaSamplesDecodeAsLibxmpDecodesThem) {
  const TrackerSong module = XmFixture();
  const std::vector<uint8_t> bytes = module.Xm();
  MusicSong *song = Load(bytes);
  ASSERT_NE(song, nullptr);
  std::vector<const TrackerSample *> written;
  for (const TrackerInstrument &ins : module.instruments)
    for (const TrackerSample &w : ins.samples) written.push_back(&w);
  ExpectSamplesAsLibxmp(song, bytes, written);
}

}  // namespace

namespace {

// The song fuzz target starts from these same fixtures: the seed files must be
// what the writers make today (QMV_WRITE_SEEDS=1 writes them anew).
TEST_F(TrackerOracleTest, FuzzSeedsAreTheFixtures) {
  TrackerSong xmAmiga = XmFixture();
  xmAmiga.linear = false;
  TrackerSong itSamples = ItFixture();
  itSamples.itInstruments = false;
  const std::pair<const char *, std::vector<uint8_t>> seeds[] = {
      {"fixture.xm", XmFixture().Xm()},
      {"fixture-amiga.xm", xmAmiga.Xm()},
      {"fixture.it", ItFixture().It()},
      {"fixture-samples.it", itSamples.It()},
  };
  for (const auto &[name, bytes] : seeds) {
    const std::string path = std::string(QMV_SOURCE_DIR) + "/fuzz/seeds/songs/" + name;
    if (std::getenv("QMV_WRITE_SEEDS")) {
      FILE *f = std::fopen(path.c_str(), "wb");
      ASSERT_NE(f, nullptr) << path;
      std::fwrite(bytes.data(), 1, bytes.size(), f);
      std::fclose(f);
    }
    FILE *f = std::fopen(path.c_str(), "rb");
    ASSERT_NE(f, nullptr) << path;
    std::vector<uint8_t> stored(bytes.size() + 1);
    stored.resize(std::fread(stored.data(), 1, stored.size(), f));
    std::fclose(f);
    EXPECT_EQ(stored, bytes) << name;
    // Each seed loads and plays in this engine too.
    MusicSong *song = Load(bytes);
    ASSERT_NE(song, nullptr) << name;
    ASSERT_TRUE(Music_PlaySong(song));
    PlayFrames(44100);
    EXPECT_GT(Peak(0, 44100), 1000) << name;
  }
}

}  // namespace

}  // namespace tracker_oracle_test
