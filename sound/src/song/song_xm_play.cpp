// XM player: row update and tick effects, the volume column, envelopes,
// fade-out, auto-vibrato and the XM voice law (linear or Amiga frequencies).
#include "sound/src/song/song_xm.h"

#include "sound/src/song/song_s3m.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace {

enum XmEffect {
  kArpeggio = 0, kPortaUp, kPortaDown, kTonePorta, kVibrato, kPortaSlide, kVibratoSlide, kTremolo, kPan,
  kOffset, kVolumeSlide, kJump, kVolume, kBreak, kExtended, kSpeed, kGlobalVolume, kGlobalSlide,
  kKeyOff = 20, kEnvelopePosition = 21, kPanSlide = 25, kRetrigger = 27, kTremor = 29, kExtraFine = 33,
  kCallback = 35
};

constexpr int kMaxPeriod = 1 << 20;
constexpr int kFullFade = 65536;


bool HasNote(const MusicNote &cell) { return cell.note >= 1 && cell.note <= 254 && cell.note != XM_KEY_OFF; }
// A tone portamento from the volume column (Fx) slides to its note like
// effects 3 and 5 do; taken as a new note it would jump to the target.
bool IsPorta(const MusicNote &cell) {
  return cell.effect == kTonePorta || cell.effect == kPortaSlide || (cell.volume >> 4) == 0xF;
}

const MusicInstrument &InstrumentOf(MusicSong *song, const MusicChannel *ch) {
  static const MusicInstrument kEmpty{};
  return ch->instrument < song->instrumentCount ? song->instruments[ch->instrument] : kEmpty;
}

// The sample table entry the channel's note maps to in its instrument, -1 none.
int MappedSample(MusicSong *song, const MusicChannel *ch) {
  const MusicInstrument &ins = InstrumentOf(song, ch);
  const int slot = ins.sampleMap[std::min<int>(ch->note, 95)];
  if (slot >= XM_SAMPLES_PER_INSTRUMENT || slot >= ins.sampleCount) return -1;
  const int index = ins.sampleBase + slot;
  return index < song->sampleCount && song->samples[index] ? index : -1;
}

OSND_SAMPLE *SampleAt(MusicSong *song, int index) {
  return index >= 0 && index < song->sampleCount && song->samples[index] ? song->samples[index]
                                                                        : Music_InvalidSample();
}

int Finetune(MusicSong *song, int index) {
  return index >= 0 && index < song->sampleCount ? song->sampleInfo[index].finetune : 0;
}

int RelativeNote(MusicSong *song, int index) {
  return index >= 0 && index < song->sampleCount ? song->sampleInfo[index].relativeNote : 0;
}

void Vibrato(MusicChannel *ch, MusicVoice *v) {
  const int8_t q = ch->vibratoPosition;
  const int d = ((ch->vibratoDepth * S3m_WaveValue(ch->waveControl & 3, q)) >> 5) & ~3;
  v->periodDelta = q < 0 ? d : -d;
  v->flags |= MUSIC_FLAG_FREQUENCY;
}

void VibratoAndAdvance(MusicChannel *ch, MusicVoice *v) {
  Vibrato(ch, v);
  ch->vibratoPosition = S3m_Advance(ch->vibratoPosition, ch->vibratoSpeed);
}

// Slide of A, 5 and 6: up by x when the memory has a high nibble, else down by y.
void VolumeSlide(MusicChannel *ch, MusicVoice *v) {
  const int m = ch->volumeSlideMemory;
  v->volume = m > 15 ? std::min(v->volume + (m >> 4), 64) : std::max(v->volume - (m & 15), 0);
  v->flags |= MUSIC_FLAG_VOLUME;
}

void SetPeriod(MusicVoice *v, int period) { v->period = std::clamp(period, 1, kMaxPeriod); }

// One tick of an envelope walk (points, sustain hold, loop), then the value.
void EnvelopeStep(MusicEnvelopeState &st, const MusicEnvelope &e, bool keyOff, MusicVoice *v, uint8_t flag) {
  if (st.point < e.count) {
    // At (or, after L moved it, past) the next point's tick.
    if (st.tick == 0 || st.tick >= e.ticks[st.point]) {
      // Equal point ticks could otherwise send a loop round for ever.
      for (int guard = 0; guard <= 2 * MUSIC_ENVELOPE_POINTS; ++guard) {
        if ((e.type & 4) && st.point == e.loopEnd) {
          st.point = e.loopStart;
          st.tick = e.ticks[st.point];
        }
        if (st.point >= e.count - 1) {
          st.point = e.count - 1;
          st.current = e.values[st.point];
          st.value = st.current << 16;
          st.finished = 1;
          v->flags |= flag;
          return;
        }
        if ((e.type & 2) && st.point == e.sustainStart && !keyOff) {
          st.current = e.values[st.point];
          st.value = st.current << 16;
          v->flags |= flag;
          return;
        }
        const int span = e.ticks[st.point + 1] - e.ticks[st.point];
        st.delta = span ? ((e.values[st.point + 1] - e.values[st.point]) << 16) / span : 0;
        st.value = e.values[st.point] << 16;
        ++st.point;
        if (st.point >= e.count || st.tick < e.ticks[st.point]) break;
      }
    } else {
      // Envelope values lie in 0..64; a walk never leaves that range.
      st.value = int(std::clamp<int64_t>(int64_t(st.value) + st.delta, 0, 64 << 16));
    }
  }
  st.current = st.value >> 16;
  ++st.tick;
  v->flags |= flag;
}

// Envelopes and fade-out, run on every tick.
void Envelopes(MusicSong *song, MusicChannel *ch, MusicVoice *v) {
  const MusicInstrument &ins = InstrumentOf(song, ch);
  if (!(ins.volume.type & 1)) {
    if (v->keyOff) v->volumeEnvelope.current = 0;
  } else if (!v->volumeEnvelope.finished) {
    EnvelopeStep(v->volumeEnvelope, ins.volume, v->keyOff, v, MUSIC_FLAG_VOLUME);
  }
  if ((ins.pan.type & 1) && !v->panEnvelope.finished) EnvelopeStep(v->panEnvelope, ins.pan, v->keyOff, v, MUSIC_FLAG_PAN);
  if (v->keyOff) {
    v->fadeOut = std::max(v->fadeOut - ins.fadeOut, 0);
    v->flags |= MUSIC_FLAG_VOLUME;
  }
}

void ResetEnvelope(MusicEnvelopeState &st, int current) { st = MusicEnvelopeState{0, 0, current << 16, current, 0, 0}; }

void VolumeColumnRow(MusicChannel *ch, MusicVoice *v, int vc) {
  const int y = vc & 15;
  if (vc >= 0x10 && vc <= 0x50) {
    v->volume = vc - 16;
    v->flags |= MUSIC_FLAG_VOLUME;
    return;
  }
  switch (vc >> 4) {
    case 0x6:
    case 0x8: v->volume = std::max(v->volume - y, 0); break;
    case 0x7:
    case 0x9: v->volume = std::min(v->volume + y, 64); break;
    case 0xA: ch->vibratoSpeed = y; break;
    case 0xB: ch->vibratoDepth = y; break;
    case 0xC: v->pan = y * 16; break;
    case 0xD: v->pan = std::max(v->pan - y, 0); break;
    case 0xE: v->pan = std::min(v->pan + y, 255); break;
    case 0xF:
      if (y) ch->portaSpeed = y * 16;
      ch->portaTarget = ch->period;
      v->flags &= ~MUSIC_FLAG_TRIGGER;
      break;
    default: return;
  }
  v->flags |= (vc >> 4) >= 0xC && (vc >> 4) <= 0xE ? MUSIC_FLAG_PAN : MUSIC_FLAG_VOLUME;
}

void VolumeColumnTick(MusicChannel *ch, MusicVoice *v, int vc) {
  const int y = vc & 15;
  switch (vc >> 4) {
    case 0x6: v->volume = std::max(v->volume - y, 0); v->flags |= MUSIC_FLAG_VOLUME; break;
    case 0x7: v->volume = std::min(v->volume + y, 64); v->flags |= MUSIC_FLAG_VOLUME; break;
    case 0xB:
      ch->vibratoDepth = y;
      VibratoAndAdvance(ch, v);
      break;
    case 0xD: v->pan = std::max(v->pan - y, 0); v->flags |= MUSIC_FLAG_PAN; break;
    case 0xE: v->pan = std::min(v->pan + y, 255); v->flags |= MUSIC_FLAG_PAN; break;
    case 0xF: S3m_TonePortamento(ch, v); break;
    default: break;
  }
}

// What an instrument byte, the volume column and a key-off do on the row (or a delayed note's tick).
void InstrumentRow(MusicSong *song, MusicChannel *ch, MusicVoice *v, const MusicNote &cell) {
  if (cell.instrument > 0) {
    const OSND_SAMPLE *s = SampleAt(song, ch->sampleIndex);
    v->volume = std::clamp(s->defVolume, 0, 64);
    v->pan = std::clamp(s->defPan, 0, 255);
    ResetEnvelope(v->volumeEnvelope, 64);
    ResetEnvelope(v->panEnvelope, 32);
    v->fadeOut = kFullFade;
    v->autoVibratoPosition = 0;
    v->autoVibratoSweep = 0;
    v->keyOff = 0;
    S3m_RestartWaves(ch);
    ch->tremorCounter = 0;
    v->flags |= MUSIC_FLAG_VOLUME | MUSIC_FLAG_PAN;
  }
  if (cell.volume) VolumeColumnRow(ch, v, cell.volume);
  if (cell.note == XM_KEY_OFF || cell.effect == kKeyOff) v->keyOff = 1;
  Envelopes(song, ch, v);
}

void AutoVibrato(MusicSong *song, MusicChannel *ch, MusicVoice *v) {
  const MusicInstrument &ins = InstrumentOf(song, ch);
  const int position = v->autoVibratoPosition & 255;
  int value;
  switch (ins.vibratoType & 3) {
    case 0: value = Music_Sine256(position); break;
    case 1: value = position < 128 ? 64 : -64; break;
    case 2: value = (128 - ((position + 128) % 256)) >> 1; break;
    default: value = (128 - ((384 - position) % 256)) >> 1; break;
  }
  value *= ins.vibratoDepth;
  if (ins.vibratoSweep) value = value * v->autoVibratoSweep / ins.vibratoSweep;
  v->periodDelta += value >> 6;
  v->autoVibratoSweep = std::min(v->autoVibratoSweep + 1, ins.vibratoSweep);
  v->autoVibratoPosition = (position + ins.vibratoRate) & 255;
  v->flags |= MUSIC_FLAG_FREQUENCY;
}

void EnvelopePosition(MusicSong *song, MusicChannel *ch, MusicVoice *v, int p) {
  const MusicEnvelope &e = InstrumentOf(song, ch).volume;
  if (!(e.type & 1)) return;
  MusicEnvelopeState &st = v->volumeEnvelope;
  int i = 0;
  while (i < e.count - 1 && e.ticks[i + 1] < p) ++i;
  if (i < e.count - 1) {
    const int span = e.ticks[i + 1] - e.ticks[i];
    st.delta = span ? ((e.values[i + 1] - e.values[i]) << 16) / span : 0;
    st.value = (e.values[i] << 16) + st.delta * std::max(p - e.ticks[i], 0);
    st.current = st.value >> 16;
    st.tick = std::max(p, e.ticks[i]);
    st.point = i + 1;
    st.finished = 0;
  } else {
    st.current = e.values[std::max(e.count - 1, 0)];
    st.value = st.current << 16;
    st.finished = 1;
  }
}

int RetriggerVolume(int volume, int code) {
  static const int kSteps[16] = {0, -1, -2, -4, -8, -16, 0, 0, 0, 1, 2, 4, 8, 16, 0, 0};
  switch (code & 15) {
    case 6: volume = volume * 2 / 3; break;
    case 7: volume /= 2; break;
    case 14: volume = volume * 3 / 2; break;
    case 15: volume *= 2; break;
    default: volume += kSteps[code & 15]; break;
  }
  return std::clamp(volume, 0, 64);
}

void ExtendedRow(MusicSong *song, MusicChannel *ch, MusicVoice *v, int x, int y) {
  switch (x) {
    case 0x1:
      if (y) ch->finePortaUpMemory = uint8_t(y);
      SetPeriod(v, v->period - ch->finePortaUpMemory * 4);
      break;
    case 0x2:
      if (y) ch->finePortaDownMemory = uint8_t(y);
      SetPeriod(v, v->period + ch->finePortaDownMemory * 4);
      break;
    case 0x4: ch->waveControl = uint8_t((ch->waveControl & 0xF0) | y); break;
    case 0x5:
      if (ch->sampleIndex >= 0) song->sampleInfo[ch->sampleIndex].finetune = y;
      break;
    case 0x6:
      Music_PatternLoop(song, ch, y);
      break;
    case 0x7: ch->waveControl = uint8_t((ch->waveControl & 0x0F) | (y << 4)); break;
    case 0x8:
      v->pan = y * 16;
      v->flags |= MUSIC_FLAG_PAN;
      break;
    case 0xA:
      if (y) ch->fineVolumeMemory = uint8_t(y);
      v->volume = std::min(v->volume + ch->fineVolumeMemory, 64);
      v->flags |= MUSIC_FLAG_VOLUME;
      break;
    case 0xB:
      if (y) ch->fineVolumeMemory = uint8_t(y);
      v->volume = std::max(v->volume - ch->fineVolumeMemory, 0);
      v->flags |= MUSIC_FLAG_VOLUME;
      break;
    case 0xD:
      v->flags &= 0xF0;
      v->volume = ch->keptVolume;
      v->period = ch->keptPeriod;
      v->pan = ch->keptPan;
      break;
    case 0xE: song->patternDelay = y * song->speed; break;
    default: break;
  }
}

void RowEffect(MusicSong *song, MusicChannel *ch, MusicVoice *v, const MusicNote &cell) {
  const int p = cell.parameter, x = p >> 4, y = p & 15;
  switch (cell.effect) {
    case kPortaUp:
      if (p) ch->portaUpMemory = uint8_t(p);
      break;
    case kPortaDown:
      if (p) ch->portaDownMemory = uint8_t(p);
      break;
    case kTonePorta:
    case kPortaSlide:
      if (cell.effect == kTonePorta && p) ch->portaSpeed = p;
      if (cell.effect == kPortaSlide && p) ch->volumeSlideMemory = uint8_t(p);
      S3m_HoldForPortamento(ch, v);
      break;
    case kVibrato:
      if (x) ch->vibratoSpeed = x;
      if (y) ch->vibratoDepth = y;
      Vibrato(ch, v);
      break;
    case kVibratoSlide:
      if (p) ch->volumeSlideMemory = uint8_t(p);
      Vibrato(ch, v);
      break;
    case kTremolo:
      if (x) ch->tremoloSpeed = x;
      if (y) ch->tremoloDepth = y;
      break;
    case kPan:
      v->pan = p;
      v->flags |= MUSIC_FLAG_PAN;
      break;
    case kOffset: {
      if (p) ch->sampleOffset = p;
      // The channel's sample: the dummy voice may still name a sample of a song freed since.
      S3m_SampleOffset(v, SampleAt(song, ch->sampleIndex), unsigned(ch->sampleOffset) * 256);
      break;
    }
    case kVolumeSlide:
      if (p) ch->volumeSlideMemory = uint8_t(p);
      break;
    case kJump: Music_PositionJump(song, p); break;
    case kVolume:
      v->volume = std::min(p, 64);
      v->flags |= MUSIC_FLAG_VOLUME;
      break;
    case kBreak: Music_PatternBreak(song, p); break;
    case kExtended:
      ExtendedRow(song, ch, v, x, y);
      break;
    case kSpeed:
      if (p < 32)
        song->speed = p;
      else
        Music_SetTempo(song, p);
      break;
    case kGlobalVolume:
      song->globalVolume = std::min(p, 64);
      v->flags |= MUSIC_FLAG_VOLUME;
      break;
    case kGlobalSlide:
      if (p) song->globalSlideMemory = uint8_t(p);
      break;
    case kEnvelopePosition: EnvelopePosition(song, ch, v, p); break;
    case kPanSlide:
      if (p) ch->panSlideMemory = uint8_t(p);
      v->flags |= MUSIC_FLAG_PAN;
      break;
    case kRetrigger:
      if (p) {
        ch->retriggerCode = x;
        ch->retriggerInterval = y;
      }
      break;
    case kTremor: S3m_TremorRow(ch, v, p); break;
    case kExtraFine:
      if (x == 1) {
        if (y) ch->extraFineUpMemory = uint8_t(y);
        SetPeriod(v, v->period - ch->extraFineUpMemory);
      } else if (x == 2) {
        if (y) ch->extraFineDownMemory = uint8_t(y);
        SetPeriod(v, v->period + ch->extraFineDownMemory);
      }
      break;
    case kCallback: Music_QueueCallback(song, MUSIC_CALLBACK_ZXX, p); break;
    default: break;
  }
}

void DelayedNote(MusicSong *song, MusicChannel *ch, MusicVoice *&v, const MusicNote &cell) {
  v = Music_VoiceForNote(song, ch, v, SampleAt(song, ch->sampleIndex));
  v->sampleToPlay = SampleAt(song, ch->sampleIndex);
  v->sampleIndex = ch->sampleIndex;
  v->period = ch->period;
  v->flags |= MUSIC_FLAG_TRIGGER | MUSIC_FLAG_FREQUENCY;
  InstrumentRow(song, ch, v, cell);
}

void TickEffect(MusicSong *song, MusicChannel *ch, MusicVoice *&v, const MusicNote &cell) {
  const int p = cell.parameter, x = p >> 4, y = p & 15;
  const int tick = song->tick;
  switch (cell.effect) {
    case kArpeggio:
      if (p && tick % 3 != 0) {
        const int step = tick % 3 == 1 ? x : y;
        if (song->linearSlides) {
          v->periodDelta = -64 * step;
        } else {
          const int f = Finetune(song, ch->sampleIndex);
          v->periodDelta = Xm_NotePeriod(song, ch->realNote + step, f) - Xm_NotePeriod(song, ch->realNote, f);
        }
        v->flags |= MUSIC_FLAG_FREQUENCY;
      }
      break;
    case kPortaUp:
      v->periodDelta = 0;
      v->period = std::max(v->period - ch->portaUpMemory * 4, 56);
      v->flags |= MUSIC_FLAG_FREQUENCY;
      break;
    case kPortaDown:
      v->periodDelta = 0;
      SetPeriod(v, v->period + ch->portaDownMemory * 4);
      v->flags |= MUSIC_FLAG_FREQUENCY;
      break;
    case kTonePorta: S3m_TonePortamento(ch, v); break;
    case kVibrato: VibratoAndAdvance(ch, v); break;
    case kPortaSlide:
      S3m_TonePortamento(ch, v);
      VolumeSlide(ch, v);
      break;
    case kVibratoSlide:
      VibratoAndAdvance(ch, v);
      VolumeSlide(ch, v);
      break;
    case kTremolo: S3m_Tremolo(ch, v); break;
    case kVolumeSlide: VolumeSlide(ch, v); break;
    case kExtended:
      switch (x) {
        case 0x9:
          if (y && tick % y == 0) v->flags |= MUSIC_FLAG_TRIGGER | MUSIC_FLAG_VOLUME | MUSIC_FLAG_FREQUENCY;
          break;
        case 0xC:
          if (tick == y) {
            v->volume = 0;
            v->flags |= MUSIC_FLAG_VOLUME;
          }
          break;
        case 0xD:
          // Only the ticks before the note are held: after it, its
          // envelopes and fade-out must be heard.
          if (tick == y)
            DelayedNote(song, ch, v, cell);
          else if (tick < y)
            v->flags &= 0xF0;
          break;
        default: break;
      }
      break;
    case kGlobalSlide: {
      const int m = song->globalSlideMemory;
      song->globalVolume = m > 15 ? std::min(song->globalVolume + (m >> 4), 64)
                                  : std::max(song->globalVolume - (m & 15), 0);
      break;
    }
    case kPanSlide: {
      const int m = ch->panSlideMemory;
      v->pan = m > 15 ? std::min(v->pan + (m >> 4), 255) : std::max(v->pan - (m & 15), 0);
      v->flags |= MUSIC_FLAG_PAN;
      break;
    }
    case kRetrigger:
      if (ch->retriggerInterval != 0 && tick % ch->retriggerInterval == 0) {
        v->volume = RetriggerVolume(v->volume, ch->retriggerCode);
        v->flags |= MUSIC_FLAG_TRIGGER | MUSIC_FLAG_VOLUME;
      }
      break;
    case kTremor: S3m_Tremor(ch, v); break;
    default: break;
  }
}

// Volume, pan and frequency of an XM voice.
int XmVolume(MusicSong *song, const MusicChannel *, const MusicVoice *v) {
  const double volume = std::clamp(v->volume + v->volumeDelta, 0, 64);
  const double envelope = std::clamp(v->volumeEnvelope.current, 0, 64);
  const double global = std::clamp(song->globalVolume, 0, 64);
  return int(std::lround(volume * envelope * double(v->fadeOut) * global * double(song->masterVolume) * 255.0 /
                         8796093022208.0));
}

int XmPan(MusicSong *, const MusicChannel *, const MusicVoice *v) {
  const int pan = std::clamp(v->pan, 0, 255);
  const int envelope = std::clamp(v->panEnvelope.current, 0, 64);
  return std::clamp((128 - std::abs(pan - 128)) / 32 * (envelope - 32) + pan, 0, 255);
}

int XmFrequency(MusicSong *song, const MusicChannel *, const MusicVoice *v) {
  const int period = std::max(1, v->period + v->periodDelta);
  int hz = song->linearSlides ? int(std::lround(8363.0 * std::exp2((4608.0 - period) / 768.0)))
                              : 14317056 / period;
  hz = std::min(hz, 1 << 24);
  return v->channel && v->channel->direction == OSND_DIR_BACKWARD ? -hz : hz;
}

const MusicVoiceLaw kXmLaw{XmVolume, XmPan, XmFrequency};

// Voices are applied once every channel has run its effects, so that a
// global volume change (G, H) is heard on every channel in the same tick.
void ApplyAll(MusicSong *song, int globalVolumeBefore) {
  for (int c = 0; c < song->channelCount; ++c) {
    MusicChannel *ch = &song->songChannels[c];
    if (song->globalVolume != globalVolumeBefore)
      for (OsndListNode *n = ch->voices.next; n && n != &ch->voices; n = n->next)
        MusicVoice_FromLink(n)->flags |= MUSIC_FLAG_VOLUME;
    Music_ApplyVoices(song, ch, &kXmLaw);
  }
}

void RowUpdate(MusicSong *song) {
  const int globalVolume = song->globalVolume;
  for (int c = 0; c < song->channelCount; ++c) {
    MusicChannel *ch = &song->songChannels[c];
    const MusicNote cell = *Music_CurrentCell(song, c);
    const bool porta = IsPorta(cell);
    if (cell.instrument > 0) {
      if (!porta) ch->instrument = uint8_t(cell.instrument - 1);
      Music_QueueCallback(song, MUSIC_CALLBACK_INSTRUMENT, cell.instrument);
    }
    if (HasNote(cell) && !porta) ch->note = uint8_t(cell.note - 1);
    ch->sampleIndex = MappedSample(song, ch);
    MusicVoice *v = Music_FirstVoice(ch);
    if (!porta) {
      v->sampleToPlay = SampleAt(song, ch->sampleIndex);
      v->sampleIndex = ch->sampleIndex;
    }
    ch->keptPeriod = v->period;
    ch->keptPan = v->pan;
    ch->keptVolume = v->volume;
    if (ch->previousEffect == kTremolo && cell.effect != kTremolo)
      v->volume = std::clamp(v->volume + v->volumeDelta, 0, 64);
    ch->previousEffect = cell.effect;
    v->volumeDelta = 0;
    v->flags = 0;
    if (HasNote(cell)) {
      if (!porta || v == Music_DummyVoice()) {
        v = Music_VoiceForNote(song, ch, v, SampleAt(song, ch->sampleIndex));
        v->sampleToPlay = SampleAt(song, ch->sampleIndex);
        v->sampleIndex = ch->sampleIndex;
      }
      ch->realNote = std::clamp(RelativeNote(song, ch->sampleIndex) + cell.note - 1, 0, 118);
      ch->period = Xm_NotePeriod(song, ch->realNote, Finetune(song, ch->sampleIndex));
      if (!porta) v->period = ch->period;
      v->flags = MUSIC_FLAG_TRIGGER;
    }
    v->flags |= MUSIC_FLAG_VOLUME | MUSIC_FLAG_FREQUENCY;
    v->periodDelta = 0;
    InstrumentRow(song, ch, v, cell);
    RowEffect(song, ch, v, cell);
    AutoVibrato(song, ch, v);
  }
  ApplyAll(song, globalVolume);
}

void TickEffects(MusicSong *song) {
  const int globalVolume = song->globalVolume;
  for (int c = 0; c < song->channelCount; ++c) {
    MusicChannel *ch = &song->songChannels[c];
    MusicVoice *v = Music_FirstVoice(ch);
    const MusicNote &cell = *Music_CurrentCell(song, c);
    v->volumeDelta = 0;
    v->periodDelta = 0;
    v->flags = 0;
    Envelopes(song, ch, v);
    VolumeColumnTick(ch, v, cell.volume);
    TickEffect(song, ch, v, cell);
    AutoVibrato(song, ch, v);
  }
  ApplyAll(song, globalVolume);
}

void Tick(MusicSong *song) { Music_CommonTick(song, 0, RowUpdate, TickEffects); }

}  // namespace

int Xm_NotePeriod(const MusicSong *song, int realNote, int finetune) {
  if (song->linearSlides) return 7680 - realNote * 64 - finetune / 2;
  const int r = std::clamp(realNote, 0, MUSIC_NOTES - 2);
  const int t = kMusicPeriodTable[r + 1];
  if (finetune < 0 && r > 0) return t + (t - kMusicPeriodTable[r]) * finetune / 128;
  return t + (kMusicPeriodTable[r + 2] - t) * finetune / 128;
}

void Xm_InstallPlayer(MusicSong *song) { song->tickCallback = Tick; }
