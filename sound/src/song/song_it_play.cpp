// IT player: one update routine for every tick, new-note actions and
// duplicate checks that leave voices sounding in the background, envelopes
// with loops and sustain loops, fade-out, sample vibrato, the volume column
// and effects A-Z.
#include "sound/src/song/song_it.h"

#include "sound/src/song/song_s3m.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace {

enum ItEffect {
  kA = 1, kB, kC, kD, kE, kF, kG, kH, kI, kJ, kK, kL, kM, kN, kO, kP, kQ, kR, kS, kT, kU, kV, kW, kX, kY, kZ
};
enum { kCut = 0, kContinue = 1, kNoteOff = 2, kFade = 3 };
enum : uint8_t { kSurroundOn = 16, kSurroundOff = 64 };
constexpr int kMaxPeriod = 1 << 22;
constexpr int kSurround = 100;


const int kItPeriods[12] = {54784, 51712, 48768, 46080, 43392, 40960, 38656, 36480, 34432, 32512, 30720, 28992};

// The IT period table: an octave below the core table's first note, then that table.
int TablePeriod(int note) {
  note = std::clamp(note, 0, 12 + MUSIC_NOTES - 1);
  return note < 12 ? kItPeriods[note] : kMusicPeriodTable[note - 11];
}

bool Instruments(const MusicSong *song) { return song->itFlags & IT_INSTRUMENTS; }
bool Linear(const MusicSong *song) { return song->itFlags & IT_LINEAR; }
bool OldEffects(const MusicSong *song) { return song->itFlags & IT_OLD_EFFECTS; }

const MusicInstrument *InstrumentAt(const MusicSong *song, int index) {
  return index >= 0 && index < song->instrumentCount ? &song->instruments[index] : nullptr;
}

OSND_SAMPLE *SampleAt(MusicSong *song, int index) {
  return index >= 0 && index < song->sampleCount && song->samples[index] ? song->samples[index] : nullptr;
}

int C5Speed(MusicSong *song, int sample) {
  const OSND_SAMPLE *s = SampleAt(song, sample);
  return s && s->defFrequency > 0 ? s->defFrequency : 8363;
}

int NotePeriod(MusicSong *song, int note, int sample) {
  const int c5 = C5Speed(song, sample);
  if (Linear(song)) return (120 - note) * 64 - int(std::log2(double(c5) / 8363.0) * 768.0);
  return int(int64_t(TablePeriod(note)) * 8363 / c5);
}

bool IsBackground(const MusicVoice *v) { return v->background != 0; }

// The row's cell for a channel, as the row was unpacked.
const MusicNote &CellOf(MusicSong *song, int channel) { return *Music_CurrentCell(song, channel); }

void StartFading(MusicVoice *v) { v->fading = 1; }

// Key-off with fading: the fade waits while a volume envelope that does not
// loop is still running on the voice.
void KeyOffAndFade(MusicSong *song, MusicVoice *v) {
  v->keyOff = 1;
  const MusicInstrument *ins = InstrumentAt(song, v->instrument);
  const bool envelope = ins && (v->envelopeEnable & 1) && (ins->volume.type & IT_ENV_ON);
  if (!envelope || (ins->volume.type & IT_ENV_LOOP)) StartFading(v);
}

void StopVoice(MusicVoice *v) {
  v->flags &= ~MUSIC_FLAG_TRIGGER;
  v->flags |= MUSIC_FLAG_STOP;
}

template <typename Visit>
void ForEachVoice(MusicChannel *ch, Visit visit) {
  for (OsndListNode *n = ch->voices.next; n && n != &ch->voices; n = n->next) visit(MusicVoice_FromLink(n));
}

// --- Effect steps ---------------------------------------------------------

void VolumeSlide(MusicChannel *ch) {
  const int m = ch->volumeSlideMemory;
  if ((m & 15) == 0)
    ch->noteVolume += m >> 4;
  else if (m < 16)
    ch->noteVolume -= m & 15;
  ch->noteVolume = std::clamp(ch->noteVolume, 0, 64);
}

void FineVolumeSlide(MusicChannel *ch) {
  const int m = ch->volumeSlideMemory;
  if ((m & 15) == 15 && (m >> 4) != 0)
    ch->noteVolume += m >> 4;
  else if ((m >> 4) == 15 && (m & 15) != 0)
    ch->noteVolume -= m & 15;
  ch->noteVolume = std::clamp(ch->noteVolume, 0, 64);
}

void TonePortamento(MusicSong *song, MusicChannel *ch, MusicVoice *v) {
  if (ch->portaReached) return;
  const int speed = ((song->itFlags & IT_OWN_G_MEMORY) ? ch->toneMemory : ch->pitchMemory) * 4;
  if (v->period < ch->portaTarget) {
    v->period += speed;
    if (v->period >= ch->portaTarget) v->period = ch->portaTarget, ch->portaReached = 1;
  } else {
    v->period -= speed;
    if (v->period <= ch->portaTarget) v->period = ch->portaTarget, ch->portaReached = 1;
  }
  v->flags |= MUSIC_FLAG_FREQUENCY;
}

void VibratoStep(MusicSong *song, MusicChannel *ch, MusicVoice *v) {
  const int value = S3m_WaveValue(ch->waveControl & 3, int8_t(ch->vibratoPosition));
  if (ch->vibratoFine) {
    int d = (ch->vibratoDepth * value) >> 7;
    if (OldEffects(song)) d *= 2;
    v->periodDelta += ch->vibratoPosition < 0 ? -d : d;
    ch->vibratoPosition = S3m_Advance(ch->vibratoPosition, ch->vibratoSpeed);
  } else {
    int d = ((ch->vibratoDepth * value) >> 6) & ~1;
    if (OldEffects(song)) d *= 2;
    ch->vibratoPosition = S3m_Advance(ch->vibratoPosition, ch->vibratoSpeed);
    v->periodDelta += ch->vibratoPosition < 0 ? d : -d;
  }
  v->flags |= MUSIC_FLAG_FREQUENCY;
}

void Tremolo(MusicChannel *ch, MusicVoice *v) {
  const int waveform = (ch->waveControl >> 4) & 3;
  const int8_t q = ch->tremoloPosition;
  const int d = (ch->tremoloDepth * S3m_WaveValue(waveform == 3 ? 0 : waveform, q)) >> 6;
  ch->volumeDelta = q < 0 ? -std::min(d, ch->noteVolume) : std::min(d, 64 - ch->noteVolume);
  ch->tremoloPosition = S3m_Advance(q, ch->tremoloSpeed);
  v->flags |= MUSIC_FLAG_VOLUME;
}

int Wave256(int waveform, int position) {
  switch (waveform & 3) {
    case 1: return (128 - position) >> 1;
    case 2: return position < 128 ? 64 : -64;
    default: return Music_Sine256(position);
  }
}

void Panbrello(MusicChannel *ch, MusicVoice *v) {
  const int d = (ch->panbrelloDepth * Wave256(ch->panbrelloWaveform, ch->panbrelloPosition)) >> 5;
  v->panDelta = std::min(d, 64 - std::clamp(v->pan, 0, 64));
  ch->panbrelloPosition += ch->panbrelloSpeed;
  if (ch->panbrelloPosition > 255) ch->panbrelloPosition -= 256;
  v->flags |= MUSIC_FLAG_PAN;
}

// One tick of an IT envelope: points, loop and sustain loop, then the value.
void EnvelopeStep(MusicEnvelopeState &st, const MusicEnvelope &e, bool keyOff, MusicVoice *v, uint8_t flag) {
  v->flags |= flag;
  if (e.count < 1) return;
  st.point = std::clamp(st.point, 0, e.count - 1);
  if (st.tick >= e.ticks[st.point]) {
    int i = st.point;
    bool hold = false;
    if ((e.type & IT_ENV_SUSTAIN) && !keyOff && i >= e.sustainEnd) {
      hold = e.sustainEnd <= e.sustainStart;
      i = e.sustainStart;
    } else if ((e.type & IT_ENV_LOOP) && i >= e.loopEnd) {
      hold = e.loopEnd <= e.loopStart;
      i = e.loopStart;
    }
    st.tick = e.ticks[i];
    st.value = e.values[i] << 16;
    st.current = e.values[i];
    if (hold) {
      st.point = i;
      st.delta = 0;
      return;  // the tick stays on the point
    }
    if (i >= e.count - 1) {
      st.point = e.count - 1;
      st.finished = 1;
      return;
    }
    const int span = e.ticks[i + 1] - e.ticks[i];
    st.delta = span ? ((e.values[i + 1] - e.values[i]) * 65536) / span : 0;
    st.point = i + 1;
  } else {
    // Envelope values lie in -64..64; a walk never leaves that range.
    st.value = int(std::clamp<int64_t>(int64_t(st.value) + st.delta, -(64 << 16), 64 << 16));
  }
  st.current = st.value >> 16;
  ++st.tick;
}

// Offset the pitch envelope takes off the period.
int PitchOffset(MusicSong *song, const MusicChannel *ch, const MusicVoice *v) {
  const int value = v->pitchEnvelope.current;
  if (Linear(song)) return value * 32;
  const int note = ch->realNote;
  const int base = NotePeriod(song, note, v->sampleIndex);
  const int semis = value / 2;
  int moved = NotePeriod(song, note + semis, v->sampleIndex);
  if (value % 2 != 0) moved = (moved + NotePeriod(song, note + semis + (value > 0 ? 1 : -1), v->sampleIndex)) / 2;
  return base - moved;
}

void AutoVibrato(MusicSong *song, MusicVoice *v) {
  if (v->sampleIndex < 0 || v->sampleIndex >= song->sampleCount) return;
  const MusicSampleInfo &info = song->sampleInfo[v->sampleIndex];
  if (info.vibratoDepth == 0) return;
  const int value = Wave256(info.vibratoType == 1 ? 3 : info.vibratoType,
                            info.vibratoType == 1 ? 0 : v->autoVibratoPosition);
  const int ramp = (128 - ((v->autoVibratoPosition + 128) % 256)) >> 1;
  const int wave = info.vibratoType == 1 ? ramp : value;
  v->periodDelta -= int((int64_t(info.vibratoDepth) * wave * v->autoVibratoSweep) >> 23);
  v->autoVibratoSweep = std::min(v->autoVibratoSweep + info.vibratoRate * 2, 0x10000);
  v->autoVibratoPosition += info.vibratoSpeed;
  if (v->autoVibratoPosition > 255) v->autoVibratoPosition -= 256;
  v->flags |= MUSIC_FLAG_FREQUENCY;
}

// --- Volume column --------------------------------------------------------

void VolumeColumn(MusicSong *song, MusicChannel *ch, MusicVoice *v, const MusicNote &cell, bool row) {
  if (cell.volume == 0) return;
  const int c = cell.volume - 1;
  const bool background = IsBackground(v);
  if (c <= 64) {
    if (row) ch->noteVolume = c;
  } else if (c <= 74) {
    if (row) {
      if (c > 65) ch->volumeColumnMemory = uint8_t(c - 65);
      ch->noteVolume = std::min(ch->noteVolume + ch->volumeColumnMemory, 64);
    }
  } else if (c <= 84) {
    if (row) {
      if (c > 75) ch->volumeColumnMemory = uint8_t(c - 75);
      ch->noteVolume = std::max(ch->noteVolume - ch->volumeColumnMemory, 0);
    }
  } else if (c <= 104) {
    const int amount = c <= 94 ? c - 85 : c - 95;
    if (row && amount) ch->volumeColumnMemory = uint8_t(amount);
    if (!row) ch->noteVolume = std::clamp(ch->noteVolume + (c <= 94 ? 1 : -1) * ch->volumeColumnMemory, 0, 64);
  } else if (c <= 124) {
    const int amount = c <= 114 ? c - 105 : c - 115;
    if (row && amount) ch->pitchMemory = uint8_t(amount);
    if (background) return;
    if (c <= 114) {
      v->period = std::min(v->period + ch->pitchMemory * 16, kMaxPeriod);
      v->flags |= MUSIC_FLAG_FREQUENCY;
    } else {
      v->period -= ch->pitchMemory * 16;
      if (v->period < 1) StopVoice(v); else v->flags |= MUSIC_FLAG_FREQUENCY;
    }
  } else if (c >= 128 && c <= 192) {
    if (row) {
      ch->channelPan = c - 128;
      if (!background) v->pan = ch->channelPan;
      v->flags |= MUSIC_FLAG_PAN;
    }
  } else if (c >= 193 && c <= 202) {
    static const int kSpeeds[10] = {0, 1, 4, 8, 16, 32, 64, 96, 128, 255};
    if (row) {
      if (c > 193) {
        const int speed = kSpeeds[c - 193];
        if (song->itFlags & IT_OWN_G_MEMORY) ch->toneMemory = uint8_t(speed); else ch->pitchMemory = uint8_t(speed);
      }
      ch->portaTarget = ch->period;
      if (cell.note >= 1 && cell.note <= 120) ch->portaReached = 0;
    } else if (!background) {
      TonePortamento(song, ch, v);
    }
  } else if (c >= 203 && c <= 212) {
    if (c > 203) ch->vibratoDepth = c - 203;
    ch->vibratoFine = 0;
    if (!background && (!row || !OldEffects(song))) VibratoStep(song, ch, v);
  }
}

// --- Effects --------------------------------------------------------------

void SpecialEffect(MusicSong *song, MusicChannel *ch, MusicVoice *v, int x, int y, bool row) {
  if (!row) {
    if (x == 0xC && (song->tick == y || (y == 0 && song->tick == 1)) && !IsBackground(v)) {
      ch->noteVolume = 0;
      StopVoice(v);
    }
    return;
  }
  switch (x) {
    case 3: ch->waveControl = uint8_t((ch->waveControl & 0xF0) | (y & 3)); break;
    case 4: ch->waveControl = uint8_t((ch->waveControl & 0x0F) | ((y & 3) << 4)); break;
    case 5: ch->panbrelloWaveform = uint8_t(y & 3); break;
    case 6: song->finePatternDelay = y; break;
    case 7:
      if (!Instruments(song)) break;
      if (y <= 2) {
        ForEachVoice(ch, [&](MusicVoice *b) {
          if (!IsBackground(b)) return;
          if (y == 0) StopVoice(b);
          else if (y == 1) KeyOffAndFade(song, b);
          else StartFading(b);
        });
      } else if (y <= 6) {
        v->newNoteAction = uint8_t(y - 3);
      } else if (y <= 8) {
        v->envelopeEnable = uint8_t(y == 7 ? (v->envelopeEnable & ~1) : (v->envelopeEnable | 1));
      }
      break;
    case 8:
      ch->channelPan = y * 4;
      if (!IsBackground(v)) v->pan = ch->channelPan;
      v->flags = uint8_t((v->flags & ~kSurroundOn) | MUSIC_FLAG_PAN | kSurroundOff);
      break;
    case 9: v->flags |= kSurroundOn; break;
    case 0xA: ch->offsetHigh = uint8_t(y); break;
    case 0xB: Music_PatternLoop(song, ch, y); break;
    case 0xE: song->patternDelay = y * song->speed; break;
    default: break;
  }
}

// Effects that act on the song or the channel and never on the voice.
bool ActsOnSong(int effect, int x) {
  switch (effect) {
    case kA: case kB: case kC: case kM: case kO: case kT: case kV: case kW: case kZ: return true;
    case kS: return x == 6 || x == 0xB || x == 0xE;
    default: return false;
  }
}

void Effect(MusicSong *song, MusicChannel *ch, MusicVoice *v, const MusicNote &cell, bool row, bool newNote) {
  int p = cell.parameter;
  const int effect = cell.effect;
  const bool background = IsBackground(v);
  if (effect == kS) {
    if (p) ch->specialMemory = uint8_t(p);
    p = ch->specialMemory;
  }
  const int x = p >> 4, y = p & 15;
  // Effects on the voice, its volume or its period leave a background voice alone.
  if (background && !ActsOnSong(effect, x)) return;
  const int tick = song->tick;
  switch (effect) {
    case kA:
      if (row && p) song->speed = p;
      break;
    case kB:
      if (row) Music_PositionJump(song, p);
      break;
    case kC:
      if (row) {
        song->nextRow = p;
        if (song->nextRow >= Music_PatternRows(song, song->order)) song->nextRow = 0;
        if (!song->jumped) song->nextOrder = song->order + 1;
        if (song->nextOrder >= song->orderCount) {
          song->nextOrder = 0;
          song->finished = 1;
        }
      }
      break;
    case kD:
      if (row) {
        if (p) ch->volumeSlideMemory = uint8_t(p);
        FineVolumeSlide(ch);
      } else {
        VolumeSlide(ch);
      }
      v->flags |= MUSIC_FLAG_VOLUME;
      break;
    case kE:
    case kF: {
      const int sign = effect == kE ? 1 : -1;
      if (row) {
        if (p) ch->pitchMemory = uint8_t(p);
        const int m = ch->pitchMemory;
        if ((m >> 4) == 0xF) v->period += sign * (m & 15) * 4;
        else if ((m >> 4) == 0xE) v->period += sign * (m & 15);
      } else if (ch->pitchMemory < 0xE0) {
        v->period += sign * ch->pitchMemory * 4;
      }
      v->period = std::min(v->period, kMaxPeriod);
      if (v->period < 1) StopVoice(v); else v->flags |= MUSIC_FLAG_FREQUENCY;
      break;
    }
    case kG:
      if (row) {
        if (p) {
          if (song->itFlags & IT_OWN_G_MEMORY) ch->toneMemory = uint8_t(p); else ch->pitchMemory = uint8_t(p);
        }
        ch->portaTarget = ch->period;
        if (newNote) ch->portaReached = 0;
      } else {
        TonePortamento(song, ch, v);
      }
      break;
    case kH:
    case kU:
      if (row) {
        if (x) ch->vibratoSpeed = x;
        if (y) ch->vibratoDepth = y;
        ch->vibratoFine = effect == kU;
        if (!OldEffects(song)) VibratoStep(song, ch, v);
      } else {
        VibratoStep(song, ch, v);
      }
      break;
    case kI:
      if (row && p) {
        ch->tremorOn = x + 1;
        ch->tremorOff = y + 1;
      }
      if (ch->tremorOn + ch->tremorOff > 0) {
        if (ch->tremorCounter >= ch->tremorOn) ch->volumeDelta = -ch->noteVolume;
        if (++ch->tremorCounter >= ch->tremorOn + ch->tremorOff) ch->tremorCounter = 0;
      }
      v->flags |= MUSIC_FLAG_VOLUME;
      break;
    case kJ:
      if (row) {
        if (p) ch->arpeggioMemory = uint8_t(p);
      } else if (tick % 3 != 0) {
        const int step = tick % 3 == 1 ? ch->arpeggioMemory >> 4 : ch->arpeggioMemory & 15;
        if (Linear(song))
          v->periodDelta -= 64 * step;
        else
          v->periodDelta += NotePeriod(song, ch->realNote + step, v->sampleIndex) -
                            NotePeriod(song, ch->realNote, v->sampleIndex);
        v->flags |= MUSIC_FLAG_FREQUENCY;
      }
      break;
    case kK:
    case kL:
      if (row) {
        if (p) ch->volumeSlideMemory = uint8_t(p);
        if (effect == kL) {
          ch->portaTarget = ch->period;
          if (newNote) ch->portaReached = 0;
        } else if (!OldEffects(song)) {
          VibratoStep(song, ch, v);
        }
        FineVolumeSlide(ch);
      } else {
        if (effect == kK) VibratoStep(song, ch, v); else TonePortamento(song, ch, v);
        VolumeSlide(ch);
      }
      v->flags |= MUSIC_FLAG_VOLUME;
      break;
    case kM:
      if (row) ch->channelVolume = std::min(p, 64);
      v->flags |= MUSIC_FLAG_VOLUME;
      break;
    case kN: {
      if (row) {
        if (p) ch->channelSlideMemory = uint8_t(p);
        const int m = ch->channelSlideMemory;
        if ((m & 15) == 15 && (m >> 4)) ch->channelVolume += m >> 4;
        else if ((m >> 4) == 15 && (m & 15)) ch->channelVolume -= m & 15;
      } else {
        const int m = ch->channelSlideMemory;
        if ((m & 15) == 0) ch->channelVolume += m >> 4;
        else if (m < 16) ch->channelVolume -= m & 15;
      }
      ch->channelVolume = std::clamp(ch->channelVolume, 0, 64);
      v->flags |= MUSIC_FLAG_VOLUME;
      break;
    }
    case kO:
      if (row) {
        if (p) ch->sampleOffset = p;
        const OSND_SAMPLE *s = SampleAt(song, v->sampleIndex);
        unsigned start = ((unsigned(ch->offsetHigh) << 8) + unsigned(ch->sampleOffset)) << 8;
        if (s && start >= s->loopStart + s->loopLength) start = s->loopStart + s->loopLength - 1;
        if (v->channel && s && newNote) v->channel->startOffset = start;
      }
      break;
    case kQ:
      if (row && p) {
        ch->retriggerCode = x;
        ch->retriggerInterval = y;
      }
      if (ch->retriggerCounter == 0) {
        ++ch->retriggerCounter;
      } else {
        if (ch->retriggerInterval != 0 && ch->retriggerCounter % ch->retriggerInterval == 0) {
          static const int kSteps[16] = {0, -1, -2, -4, -8, -16, 0, 0, 0, 1, 2, 4, 8, 16, 0, 0};
          int &vol = ch->noteVolume;
          switch (ch->retriggerCode) {
            case 6: vol = 0; break;
            case 7: vol /= 2; break;
            case 15: vol *= 2; break;
            default: vol += kSteps[ch->retriggerCode & 15]; break;
          }
          vol = std::clamp(vol, 0, 64);
          v->flags |= MUSIC_FLAG_VOLUME | MUSIC_FLAG_TRIGGER | MUSIC_FLAG_PAN;
        }
        ++ch->retriggerCounter;
      }
      break;
    case kR:
      if (row) {
        if (x) ch->tremoloSpeed = x;
        if (y) ch->tremoloDepth = y;
      }
      Tremolo(ch, v);
      break;
    case kS: SpecialEffect(song, ch, v, x, y, row); break;
    case kT:
      if (p > 31) {
        if (row) Music_SetTempo(song, p);
      } else if (x == 0 && !row) {
        Music_SetTempo(song, std::max(song->tempo - y, 32));
      } else if (x == 1 && !row) {
        Music_SetTempo(song, std::min(song->tempo + y, 255));
      }
      break;
    case kV:
      if (row) song->globalVolume = std::min(p, 128);
      break;
    case kW: {
      if (row) {
        if (p) song->globalSlideMemory = uint8_t(p);
        const int m = song->globalSlideMemory;
        if ((m & 15) == 15 && (m >> 4)) song->globalVolume += m >> 4;
        else if ((m >> 4) == 15 && (m & 15)) song->globalVolume -= m & 15;
      } else {
        const int m = song->globalSlideMemory;
        if ((m & 15) == 0) song->globalVolume += m >> 4;
        else if (m < 16) song->globalVolume -= m & 15;
      }
      song->globalVolume = std::clamp(song->globalVolume, 0, 128);
      break;
    }
    case kX:
      if (row) {
        ch->channelPan = p >> 2;
        if (!background) v->pan = ch->channelPan;
        v->flags = uint8_t((v->flags & ~kSurroundOn) | MUSIC_FLAG_PAN | kSurroundOff);
      }
      break;
    case kY:
      if (row) {
        if (x) ch->panbrelloSpeed = x;
        if (y) ch->panbrelloDepth = y;
      }
      Panbrello(ch, v);
      break;
    case kZ:
      if (row) Music_QueueCallback(song, MUSIC_CALLBACK_ZXX, p);
      break;
    default: break;
  }
}

// --- Row work: new notes, actions and duplicate checks ---------------------

void ApplyDuplicateCheck(MusicSong *song, MusicChannel *ch, const MusicInstrument &ins, int note, int sample,
                         int instrument) {
  ForEachVoice(ch, [&](MusicVoice *v) {
    bool match = false;
    switch (ins.duplicateCheckType) {
      case 1: match = v->note == note && v->instrument == instrument; break;
      case 2: match = v->sampleIndex == sample; break;
      case 3: match = v->instrument == instrument; break;
      default: break;
    }
    if (!match) return;
    if (ins.duplicateCheckAction == 0) StopVoice(v);
    else if (ins.duplicateCheckAction == 1) KeyOffAndFade(song, v);
    else StartFading(v);
  });
}

// The voice a new note plays on: the current one (cut), or a fresh one while
// the current one goes on in the background by its new-note action.
MusicVoice *VoiceForNewNote(MusicSong *song, MusicChannel *ch, MusicVoice *v) {
  const bool current = v != Music_DummyVoice() && !IsBackground(v);
  if (current && Instruments(song) && v->newNoteAction != kCut) {
    v->background = 1;
    if (v->newNoteAction == kNoteOff) KeyOffAndFade(song, v);
    else if (v->newNoteAction == kFade) StartFading(v);
    if (ch->noteVolume == 0) StopVoice(v);
    MusicVoice *fresh = Music_AllocVoice(song, ch, nullptr);
    return fresh ? fresh : Music_DummyVoice();
  }
  if (current) return v;
  MusicVoice *fresh = Music_AllocVoice(song, ch, nullptr);
  return fresh ? fresh : Music_DummyVoice();
}

void ResetEnvelopes(MusicVoice *v, const MusicInstrument &ins) {
  if (!(ins.volume.type & IT_ENV_CARRY)) v->volumeEnvelope = MusicEnvelopeState{0, 0, 64 << 16, 64, 0, 0};
  if (!(ins.pan.type & IT_ENV_CARRY)) v->panEnvelope = MusicEnvelopeState{};
  if (!(ins.pitch.type & IT_ENV_CARRY)) v->pitchEnvelope = MusicEnvelopeState{};
  v->volumeEnvelope.finished = v->panEnvelope.finished = v->pitchEnvelope.finished = 0;
}

// Row work (steps before the volume column); answers whether a new note started.
bool RowWork(MusicSong *song, int c, MusicChannel *ch, MusicVoice *&v, const MusicNote &cell) {
  if (ch->previousEffect == kR && cell.effect != kR)
    ch->noteVolume = std::clamp(ch->noteVolume + ch->volumeDelta, 0, 64);
  ch->previousEffect = cell.effect;
  ch->volumeDelta = 0;
  v->panDelta = 0;
  v->flags = 0;
  bool newNote = cell.note >= 1 && cell.note <= 120;
  if (newNote) ch->note = uint8_t(cell.note - 1);
  if (cell.instrument) {
    ch->instrument = uint8_t(cell.instrument - 1);
    Music_QueueCallback(song, MUSIC_CALLBACK_INSTRUMENT, cell.instrument);
  }
  const bool instruments = Instruments(song);
  if (instruments && ch->instrument >= song->instrumentCount) newNote = false;
  if (song->defaultPan[c] & 0x80) newNote = false;
  const bool porta = (cell.effect == kG || cell.effect == kL || (cell.volume >= 194 && cell.volume <= 203)) &&
                     v != Music_DummyVoice() && !IsBackground(v);
  int sample = -1;
  const MusicInstrument *ins = instruments ? InstrumentAt(song, ch->instrument) : nullptr;
  int realNote = ch->note;
  if (newNote) {
    if (ins) {
      sample = ins->keyboardSample[ch->note] - 1;
      realNote = ins->keyboardNote[ch->note];
    } else {
      sample = ch->instrument;
    }
    if (sample < 0 || !SampleAt(song, sample)) newNote = false;
  }
  if (newNote) {
    if (ins && ins->duplicateCheckType) ApplyDuplicateCheck(song, ch, *ins, ch->note, sample, ch->instrument);
    if (!porta) {
      v = VoiceForNewNote(song, ch, v);
      v->background = 0;
      if (ins) {
        v->newNoteAction = ins->newNoteAction;
        v->envelopeEnable = (ins->volume.type & IT_ENV_ON) ? 1 : 0;
      }
      v->instrument = ch->instrument;
      v->note = ch->note;
      v->sampleIndex = sample;
      v->sampleToPlay = SampleAt(song, sample);
    }
    // Every new note lets a tone portamento run again (not only one with G or L
    // on its row): a reached mark left from an earlier slide would freeze it.
    ch->portaReached = 0;
    ch->sampleIndex = sample;
    ch->realNote = realNote;
    ch->period = NotePeriod(song, realNote, sample);
    if (!porta) {
      ch->vibratoPosition = 0;
      ch->tremoloPosition = 0;
      ch->panbrelloPosition = 0;
      ch->tremorCounter = 0;
      ch->retriggerCounter = 0;
      v->period = ch->period;
      const MusicSampleInfo &info = song->sampleInfo[sample];
      int pan = ch->channelPan;
      if (pan == kSurround) v->flags |= kSurroundOn;
      if (ins && !(ins->defaultPan & 0x80)) pan = ins->defaultPan;
      if (info.defaultPan & 0x80) pan = std::min(info.defaultPan & 127, 64);
      if (ins) {
        if (pan != kSurround) pan += (ch->note - ins->pitchPanCentre) * ins->pitchPanSeparation / 8;
        v->globalVolume = (info.globalVolume * ins->globalVolume) >> 7;
      } else {
        v->globalVolume = info.globalVolume;
      }
      v->pan = pan == kSurround ? 32 : std::clamp(pan, 0, 64);
      v->flags |= MUSIC_FLAG_TRIGGER | MUSIC_FLAG_PAN;
    }
    if (ins && (!porta || (song->itFlags & IT_OWN_G_MEMORY))) {
      v->keyOff = 0;
      ResetEnvelopes(v, *ins);
      v->fading = 0;
      v->fadeOut = 1024;
      v->autoVibratoPosition = 0;
      v->autoVibratoSweep = 0;
    }
  }
  if (cell.instrument) {
    const int s = ins ? (ch->note < 120 ? ins->keyboardSample[ch->note] - 1 : -1) : cell.instrument - 1;
    if (const OSND_SAMPLE *smp = SampleAt(song, s)) ch->noteVolume = std::clamp(smp->defVolume, 0, 64);
  }
  return newNote;
}

void UpdateChannel(MusicSong *song, int c) {
  MusicChannel *ch = &song->songChannels[c];
  const MusicNote &cell = CellOf(song, c);
  const bool delay = cell.effect == kS && ((cell.parameter ? cell.parameter : ch->specialMemory) >> 4) == 0xD;
  int rowTick = 0;
  if (delay) {
    rowTick = (cell.parameter ? cell.parameter : ch->specialMemory) & 15;
    if (rowTick == 0) rowTick = 1;
    if (song->tick < rowTick) return;
  }
  MusicVoice *v = Music_FirstVoice(ch);
  ForEachVoice(ch, [](MusicVoice *b) { b->periodDelta = 0; });
  const bool row = song->tick == rowTick;
  bool newNote = false;
  if (row) {
    newNote = RowWork(song, c, ch, v, cell);
  } else {
    ch->volumeDelta = 0;
    v->panDelta = 0;
  }
  v->flags |= MUSIC_FLAG_VOLUME | MUSIC_FLAG_FREQUENCY;
  VolumeColumn(song, ch, v, cell, row);
  // A note off or cut holds for every tick of its row but concerns only the
  // channel's own note: once that has ended, the voices a new-note action
  // left in the background head the list, and they go on.
  if (!IsBackground(v)) {
    if (Instruments(song) && cell.note == IT_NOTE_OFF) KeyOffAndFade(song, v);
    if (cell.note == IT_NOTE_CUT) StopVoice(v);
  }
  Effect(song, ch, v, cell, row, newNote);
}

// --- Applying voices ----------------------------------------------------------

int ItVolume(MusicSong *song, const MusicChannel *ch, const MusicVoice *v) {
  const double volume = std::clamp(v->volume + v->volumeDelta, 0, 64);
  const double common = volume * double(std::clamp(v->globalVolume, 0, 64)) *
                        double(std::clamp(ch->channelVolume, 0, 64)) * double(std::clamp(song->globalVolume, 0, 128)) *
                        double(song->masterVolume) * 255.0;
  if (Instruments(song))
    return int(double(std::clamp(v->volumeEnvelope.current, 0, 64)) * common * double(v->fadeOut) /
               562949953421312.0);  // 2^49
  return int(common / 17179869184.0);  // 2^34
}

int ItPan(MusicSong *song, const MusicChannel *, const MusicVoice *v) {
  const int envelope = Instruments(song) ? v->panEnvelope.current : 0;
  return std::clamp((envelope + v->panDelta + v->pan) * 4, 0, 255);
}

int ItFrequency(MusicSong *song, const MusicChannel *ch, const MusicVoice *v) {
  int period = v->period + v->periodDelta;
  if (Instruments(song)) period -= PitchOffset(song, ch, v);
  period = std::max(period, 1);
  int hz = Linear(song) ? int(std::lround(8363.0 * std::exp2((3840.0 - period) / 768.0))) : 14317056 / period;
  hz = std::min(hz, 1 << 24);
  return v->channel && v->channel->direction == OSND_DIR_BACKWARD ? -hz : hz;
}

const MusicVoiceLaw kItLaw{ItVolume, ItPan, ItFrequency};

void ApplyOne(MusicSong *song, MusicChannel *ch, MusicVoice *v) {
  if (!v->sampleToPlay) v->flags &= ~MUSIC_FLAG_TRIGGER;
  const MusicInstrument *ins = Instruments(song) ? InstrumentAt(song, v->instrument) : nullptr;
  if (ins) {
    if ((v->envelopeEnable & 1) && (ins->volume.type & IT_ENV_ON)) {
      if (v->volumeEnvelope.finished) {
        StartFading(v);
        if (v->volumeEnvelope.current == 0) StopVoice(v);
      } else {
        EnvelopeStep(v->volumeEnvelope, ins->volume, v->keyOff, v, MUSIC_FLAG_VOLUME);
      }
    }
    if ((ins->pan.type & IT_ENV_ON) && !v->panEnvelope.finished)
      EnvelopeStep(v->panEnvelope, ins->pan, v->keyOff, v, MUSIC_FLAG_PAN);
    if ((ins->pitch.type & IT_ENV_ON) && !v->pitchEnvelope.finished)
      EnvelopeStep(v->pitchEnvelope, ins->pitch, v->keyOff, v, MUSIC_FLAG_FREQUENCY);
    if (v->fading) {
      v->fadeOut = std::max(v->fadeOut - ins->fadeOut, 0);
      if (v->fadeOut > 0) v->flags |= MUSIC_FLAG_VOLUME; else StopVoice(v);
    }
  }
  AutoVibrato(song, v);
  if (!IsBackground(v)) {
    v->volume = ch->noteVolume;
    v->volumeDelta = ch->volumeDelta;
  } else {
    v->volumeDelta = 0;
  }
}

void ApplyChannel(MusicSong *song, int c) {
  MusicChannel *ch = &song->songChannels[c];
  if (song->defaultPan[c] & 0x80) return;
  ForEachVoice(ch, [&](MusicVoice *v) { ApplyOne(song, ch, v); });
  Music_ApplyVoices(song, ch, &kItLaw);
  // Voices whose engine channel has stopped leave the channel.
  for (OsndListNode *n = ch->voices.next; n && n != &ch->voices;) {
    MusicVoice *v = MusicVoice_FromLink(n);
    if (v->flags & (kSurroundOn | kSurroundOff)) OSND_SetSurround(v->handle, (v->flags & kSurroundOn) != 0);
    v->flags = 0;
    MusicVoice *at = Music_FreeVoice(v);
    n = at ? at->link.next : ch->voices.next;
  }
}

void UpdateRow(MusicSong *song) {
  for (int c = 0; c < song->channelCount; ++c) UpdateChannel(song, c);
  for (int c = 0; c < song->channelCount; ++c) ApplyChannel(song, c);
}

// --- Song flow ----------------------------------------------------------------

// Moves the current order past skip markers and the end marker; false when the song stops.
bool SettleOrder(MusicSong *song) {
  for (int guard = 0; guard <= MUSIC_ORDERS; ++guard) {
    if (song->order >= song->orderCount || song->orders[song->order] == 255) {
      if (!song->looping && song->order >= song->orderCount) {
        Music_StopPlaying(song);
        return false;
      }
      song->order = song->restartOrder;
      song->finished = 1;
    } else if (song->orders[song->order] == 254) {
      ++song->order;
    } else {
      return true;
    }
  }
  Music_StopPlaying(song);  // nothing but markers
  return false;
}

void Tick(MusicSong *song) {
  if (song->tick != 0) {
    UpdateRow(song);
  } else if (song->finished && !song->looping) {
    Music_StopPlaying(song);
    return;
  } else {
    if (song->nextOrder >= 0) {
      song->order = song->nextOrder;
      song->nextOrder = -1;
      if (!SettleOrder(song)) return;
      Music_QueueCallback(song, MUSIC_CALLBACK_ORDER, song->order);
    }
    if (song->nextRow >= 0) song->row = song->nextRow;
    song->nextRow = -1;
    song->jumped = false;
    UpdateRow(song);
    Music_NextPosition(song, Music_PatternRows(song, song->order));
    Music_QueueCallback(song, MUSIC_CALLBACK_ROW, song->row);
  }
  if (++song->tick >= song->speed + song->patternDelay + song->finePatternDelay) {
    song->tick = 0;
    song->patternDelay = 0;
    song->finePatternDelay = 0;
  }
}

void Start(MusicSong *song) {
  song->globalVolume = song->initialGlobalVolume;
  song->finePatternDelay = 0;
  for (int c = 0; c < song->channelCount; ++c) {
    MusicChannel *ch = &song->songChannels[c];
    ch->channelPan = song->defaultPan[c] & 0x7F;
    ch->channelVolume = song->channelVolumes[c];
  }
  song->order = 0;
  if (!SettleOrder(song)) {
    song->finished = 1;
    song->playing = 0;
  }
}

}  // namespace

void It_InstallPlayer(MusicSong *song) {
  song->startHook = Start;
  song->tickCallback = Tick;
}
