#include "sound/src/song/song_s3m.h"

#include "sound/src/channel/osnd_sample.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

int S3m_WaveValue(int waveform, int8_t q) {
  switch (waveform & 3) {
    case 0: return kMusicSineTable[q & 31];
    case 1: {
      const int ramp = uint8_t((q & 31) * 8);
      return q < 0 ? 255 - ramp : ramp;
    }
    case 2: return 255;
    default: return std::rand() & 255;
  }
}

int8_t S3m_Advance(int8_t q, int speed) {
  int next = q + speed;
  while (next > 31) next -= 64;
  return int8_t(next);
}

namespace {

void VibratoBy(MusicChannel *channel, MusicVoice *voice, int shift, int mask) {
  const int8_t q = channel->vibratoPosition;
  const int d = ((channel->vibratoDepth * S3m_WaveValue(channel->waveControl & 3, q)) >> shift) & mask;
  voice->periodDelta = q < 0 ? -d : d;
  channel->vibratoPosition = S3m_Advance(q, channel->vibratoSpeed);
  voice->flags |= MUSIC_FLAG_FREQUENCY;
}

}  // namespace

void S3m_TonePortamento(MusicChannel *channel, MusicVoice *voice) {
  const int step = channel->portaSpeed * 4;
  if (voice->period < channel->portaTarget) {
    voice->period += step;
    if (voice->period > channel->portaTarget) voice->period = channel->portaTarget;
  } else if (voice->period > channel->portaTarget) {
    voice->period -= step;
    if (voice->period < channel->portaTarget) voice->period = channel->portaTarget;
  }
  voice->flags |= MUSIC_FLAG_FREQUENCY;
}

void S3m_Vibrato(MusicChannel *channel, MusicVoice *voice) { VibratoBy(channel, voice, 5, ~3); }

void S3m_FineVibrato(MusicChannel *channel, MusicVoice *voice) { VibratoBy(channel, voice, 7, ~0); }

void S3m_VolumeSlide(MusicChannel *channel, MusicVoice *voice) {
  const int m = channel->volumeSlideMemory;
  if ((m & 15) == 0)
    voice->volume += m >> 4;
  else if (m < 16)
    voice->volume -= m & 15;
  voice->volume = std::clamp(voice->volume, 0, 64);
  voice->flags |= MUSIC_FLAG_VOLUME;
}

void S3m_Tremolo(MusicChannel *channel, MusicVoice *voice) {
  S3m_TremoloWith(channel, voice, (channel->waveControl >> 4) & 3);
}

void S3m_TremoloWith(MusicChannel *channel, MusicVoice *voice, int waveform) {
  const int8_t q = channel->tremoloPosition;
  int d = (channel->tremoloDepth * S3m_WaveValue(waveform, q)) >> 6;
  if (q >= 0) {
    voice->volumeDelta = std::min(d, 64 - voice->volume);
  } else {
    d = std::min(d, voice->volume);
    voice->volumeDelta = -d;
  }
  channel->tremoloPosition = S3m_Advance(q, channel->tremoloSpeed);
  voice->flags |= MUSIC_FLAG_VOLUME;
}

void S3m_Tremor(MusicChannel *channel, MusicVoice *voice) {
  if (channel->tremorCounter >= channel->tremorOn) voice->volumeDelta = -voice->volume;
  if (++channel->tremorCounter >= channel->tremorOn + channel->tremorOff) channel->tremorCounter = 0;
  voice->flags |= MUSIC_FLAG_VOLUME;
}

void S3m_TremorRow(MusicChannel *channel, MusicVoice *voice, int parameter) {
  if (parameter) {
    channel->tremorOn = (parameter >> 4) + 1;
    channel->tremorOff = (parameter & 15) + 1;
  }
  S3m_Tremor(channel, voice);
}

MusicVoice *S3m_StartNote(MusicSong *song, MusicChannel *channel, MusicVoice *voice, OSND_SAMPLE *sample, int note,
                          bool portamento) {
  MusicVoice *v = Music_VoiceForNote(song, channel, voice, sample);
  channel->note = uint8_t(note);
  channel->period = Music_NotePeriod(note, sample->defFrequency);
  v->pan = channel->defaultPan;
  if (!portamento) v->period = channel->period;
  v->sampleToPlay = sample;
  v->flags = MUSIC_FLAG_TRIGGER;
  return v;
}

void S3m_HoldForPortamento(MusicChannel *channel, MusicVoice *voice) {
  channel->portaTarget = channel->period;
  voice->flags &= ~(MUSIC_FLAG_TRIGGER | MUSIC_FLAG_FREQUENCY);
}

void S3m_SampleOffset(MusicVoice *voice, const OSND_SAMPLE *sample, unsigned start) {
  if (start >= sample->loopStart + sample->loopLength) {
    voice->flags &= ~MUSIC_FLAG_TRIGGER;
    voice->flags |= MUSIC_FLAG_STOP;
  } else if (voice->channel) {
    voice->channel->startOffset = start;
  }
}

void S3m_RestartWaves(MusicChannel *channel) {
  if ((channel->waveControl & 0x0F) < 4) channel->vibratoPosition = 0;
  if ((channel->waveControl >> 4) < 4) channel->tremoloPosition = 0;
}

namespace {

enum S3mEffect {
  kSpeed = 1, kJump, kBreak, kVolumeSlide, kPortaDown, kPortaUp, kTonePorta, kVibrato, kTremor, kArpeggio,
  kVibratoSlide, kPortaSlide, kM, kN, kOffset, kP, kRetrigger, kTremolo, kSpecial, kTempo, kFineVibrato,
  kGlobalVolume, kW, kPan, kY, kCallback
};

constexpr int kRows = 64;
constexpr int kMaxPeriod = 1 << 24;
constexpr uint8_t kNoteCut = 255;

bool HasNote(const MusicNote &cell) { return cell.note >= 1 && cell.note <= 254; }

// The instrument's own settings when a note starts with an instrument byte.
void ResetForInstrument(MusicChannel *ch, MusicVoice *v, OSND_SAMPLE *sample) {
  v->volume = std::clamp(sample->defVolume, 0, 64);
  ch->tremorCounter = 0;
  S3m_RestartWaves(ch);
}

void RetriggerVolume(MusicVoice *v, int code) {
  static const int kSteps[16] = {0, -1, -2, -4, -8, -16, 0, 0, 0, 1, 2, 4, 8, 16, 0, 0};
  if (code == 6)
    v->volume = 0;
  else if (code == 7)
    v->volume /= 2;
  else if (code == 15)
    v->volume *= 2;
  else
    v->volume += kSteps[code & 15];
  v->volume = std::clamp(v->volume, 0, 64);
}

void SpecialRowEffect(MusicSong *song, MusicChannel *ch, MusicVoice *v, int x, int y) {
  switch (x) {
    case 2:
      if (ch->instrument < song->sampleCount && song->samples[ch->instrument])
        song->samples[ch->instrument]->defFrequency = Music_FinetuneToSpeed(y);
      break;
    case 3: ch->waveControl = uint8_t((ch->waveControl & 0xF0) | y); break;
    case 4: ch->waveControl = uint8_t((ch->waveControl & 0x0F) | (y << 4)); break;
    case 8:
      v->pan = y * 16;
      v->flags |= MUSIC_FLAG_PAN;
      break;
    case 0xA:
      v->pan = y < 8 ? (y + 8) * 16 : (y - 8) * 16;
      v->flags |= MUSIC_FLAG_PAN;
      break;
    case 0xB:
      Music_PatternLoop(song, ch, y);
      break;
    case 0xD:
      v->volume = ch->keptVolume;
      v->period = ch->keptPeriod;
      v->flags &= 0xF0;
      break;
    case 0xE: song->patternDelay = y * song->speed; break;
    default: break;
  }
}

void RowEffect(MusicSong *song, MusicChannel *ch, MusicVoice *v, const MusicNote &cell) {
  const int p = cell.parameter, x = p >> 4, y = p & 15;
  switch (cell.effect) {
    case kSpeed: song->speed = p; break;
    case kJump: Music_PositionJump(song, p); break;
    case kBreak: Music_PatternBreak(song, p); break;
    case kVolumeSlide: {
      if (p) ch->volumeSlideMemory = uint8_t(p);
      const int m = ch->volumeSlideMemory;
      if ((m & 15) == 15)
        v->volume += m >> 4;
      else if ((m >> 4) == 15)
        v->volume -= m & 15;
      v->volume = std::clamp(v->volume, 0, 64);
      if (song->fastSlides) S3m_VolumeSlide(ch, v);
      break;
    }
    case kPortaDown:
    case kPortaUp: {
      if (p) ch->portaMemory = uint8_t(p);
      const int m = ch->portaMemory;
      const int step = (m >> 4) == 0xF ? (m & 15) * 4 : (m >> 4) == 0xE ? (m & 15) : 0;
      v->period = std::clamp(v->period + (cell.effect == kPortaDown ? step : -step), -kMaxPeriod, kMaxPeriod);
      break;
    }
    case kTonePorta:
    case kPortaSlide:
      if (cell.effect == kTonePorta && p) ch->portaSpeed = p;
      if (cell.effect == kPortaSlide && p) ch->volumeSlideMemory = uint8_t(p);
      S3m_HoldForPortamento(ch, v);
      break;
    case kVibrato:
    case kFineVibrato:
      if (x) ch->vibratoSpeed = x;
      if (y) ch->vibratoDepth = y;
      break;
    case kTremor: S3m_TremorRow(ch, v, p); break;
    case kArpeggio:
      if (p) ch->arpeggioMemory = uint8_t(p);
      break;
    case kVibratoSlide:
      if (p) ch->volumeSlideMemory = uint8_t(p);
      break;
    case kOffset: S3m_SampleOffset(v, Music_ChannelSample(song, ch), unsigned(p) * 256); break;
    case kRetrigger:
      if (p) {
        ch->retriggerCode = x;
        ch->retriggerInterval = y;
      }
      break;
    case kTremolo:
      if (x) ch->tremoloSpeed = x;
      if (y) ch->tremoloDepth = y;
      break;
    case kSpecial: SpecialRowEffect(song, ch, v, x, y); break;
    case kTempo:
      if (p >= 32) Music_SetTempo(song, p);
      break;
    case kGlobalVolume: song->globalVolume = std::min(p, 64); break;
    case kPan:
      v->pan = std::min(p * 2, 255);
      v->flags |= MUSIC_FLAG_PAN;
      break;
    case kCallback: Music_QueueCallback(song, MUSIC_CALLBACK_ZXX, p); break;
    default: break;
  }
}

// Note delay's late start: the row's note begins on its tick.
void DelayedNote(MusicSong *song, MusicChannel *ch, MusicVoice *&v, const MusicNote &cell) {
  if (v == Music_DummyVoice()) {
    MusicVoice *fresh = Music_AllocVoice(song, ch, Music_ChannelSample(song, ch));
    if (fresh) v = fresh;
  }
  OSND_SAMPLE *sample = Music_ChannelSample(song, ch);
  if (cell.instrument > 0) {
    ResetForInstrument(ch, v, sample);
    v->flags |= MUSIC_FLAG_VOLUME;
  }
  v->pan = ch->defaultPan;
  v->period = ch->period;
  v->periodDelta = 0;
  if (cell.volume > 0) {
    v->volume = std::min(cell.volume - 1, 64);
    v->flags |= MUSIC_FLAG_VOLUME;
  }
  v->sampleToPlay = sample;
  v->flags |= MUSIC_FLAG_TRIGGER | MUSIC_FLAG_PAN | MUSIC_FLAG_FREQUENCY;
}

void TickEffect(MusicSong *song, MusicChannel *ch, MusicVoice *&v, const MusicNote &cell) {
  const int p = cell.parameter, x = p >> 4, y = p & 15;
  const int tick = song->tick;
  switch (cell.effect) {
    case kVolumeSlide: S3m_VolumeSlide(ch, v); break;
    case kPortaDown:
      if (ch->portaMemory < 0xE0) v->period = std::min(v->period + ch->portaMemory * 4, kMaxPeriod);
      v->flags = MUSIC_FLAG_FREQUENCY;
      break;
    case kPortaUp:
      if (ch->portaMemory < 0xE0) v->period = std::max(v->period - ch->portaMemory * 4, -kMaxPeriod);
      v->flags = v->period < 1 ? MUSIC_FLAG_STOP : MUSIC_FLAG_FREQUENCY;
      break;
    case kTonePorta: S3m_TonePortamento(ch, v); break;
    case kVibrato: S3m_Vibrato(ch, v); break;
    case kFineVibrato: S3m_FineVibrato(ch, v); break;
    case kTremor: S3m_Tremor(ch, v); break;
    case kArpeggio:
      if (ch->arpeggioMemory) {
        const int c = Music_ChannelSample(song, ch)->defFrequency;
        const int base = Music_NotePeriod(ch->note, c);
        const int ax = ch->arpeggioMemory >> 4, ay = ch->arpeggioMemory & 15;
        if (tick % 3 == 1) v->periodDelta = Music_NotePeriod(ch->note + ax, c) - base;
        if (tick % 3 == 2) v->periodDelta = Music_NotePeriod(ch->note + ay, c) - base;
        v->flags = MUSIC_FLAG_FREQUENCY;
      }
      break;
    case kVibratoSlide:
      S3m_Vibrato(ch, v);
      S3m_VolumeSlide(ch, v);
      break;
    case kPortaSlide:
      S3m_TonePortamento(ch, v);
      S3m_VolumeSlide(ch, v);
      break;
    case kRetrigger:
      if (ch->retriggerInterval != 0 && tick % ch->retriggerInterval == 0) {
        RetriggerVolume(v, ch->retriggerCode);
        v->pan = ch->defaultPan;
        v->period = ch->period;
        v->periodDelta = 0;
        v->sampleToPlay = Music_ChannelSample(song, ch);
        v->flags = MUSIC_FLAG_FREQUENCY | MUSIC_FLAG_VOLUME | MUSIC_FLAG_PAN | MUSIC_FLAG_TRIGGER;
      }
      break;
    case kTremolo: S3m_Tremolo(ch, v); break;
    case kSpecial:
      if (x == 0xC && tick == y) {
        v->volume = 0;
        v->flags = MUSIC_FLAG_VOLUME;
      } else if (x == 0xD) {
        if (tick == y)
          DelayedNote(song, ch, v, cell);
        else
          v->flags = 0;
      }
      break;
    default: break;
  }
}

void RowUpdate(MusicSong *song) {
  for (int c = 0; c < song->channelCount; ++c) {
    MusicChannel *ch = &song->songChannels[c];
    const MusicNote cell = *Music_CurrentCell(song, c);
    MusicVoice *v = Music_BeginRow(song, ch, cell, kTremolo);
    OSND_SAMPLE *sample = Music_ChannelSample(song, ch);
    if (HasNote(cell))
      v = S3m_StartNote(song, ch, v, sample, cell.note, cell.effect == kTonePorta || cell.effect == kPortaSlide);
    if (cell.instrument > 0) ResetForInstrument(ch, v, sample);
    v->flags |= MUSIC_FLAG_FREQUENCY | MUSIC_FLAG_VOLUME | MUSIC_FLAG_PAN;
    v->periodDelta = 0;
    if (cell.volume > 0) v->volume = std::min(cell.volume - 1, 64);
    if (cell.note == kNoteCut) v->volume = 0;
    RowEffect(song, ch, v, cell);
    Music_ApplyVoices(song, ch);
  }
}

void Tick(MusicSong *song) {
  if (song->tick != 0)
    Music_TickEffects(song, TickEffect);
  else if ((song->finished && !song->looping) || song->orderCount <= 0)
    Music_StopPlaying(song);  // an order list of only markers has nothing to play
  else
    Music_RowTick(song, kRows, RowUpdate);
  // A speed of 0 makes every tick a row.
  if (++song->tick >= song->speed + song->patternDelay) {
    song->tick = 0;
    song->patternDelay = 0;
  }
}

}  // namespace

namespace {

constexpr int kHeaderBytes = 96;
constexpr int kInstrumentBytes = 80;
// Cells name instruments 1..255 and orders patterns 0..253: anything beyond
// can never play, so it is neither loaded nor allocated.
constexpr int kMaxInstruments = 255;
constexpr int kMaxPatterns = 254;

using Bytes = MusicBytes;

bool LoadInstrument(MusicSong *song, int index, const Bytes &file, size_t at, size_t &dataAt) {
  const size_t position = ((size_t(file.Byte(at + 13)) << 16) + size_t(file.Word(at + 14))) * 16;
  uint32_t length = file.Dword(at + 16);
  const uint32_t loopStart = file.Dword(at + 20);
  const uint32_t loopEnd = file.Dword(at + 24);
  const int volume = std::min(file.Byte(at + 28), 64);
  const int flags = file.Byte(at + 31);
  const int cSpeed = file.Word(at + 32);
  const bool sixteen = flags & 4;
  // A sample holds no more than the file has behind its data position.
  const size_t available = position < file.Size() ? file.Size() - position : 0;
  length = uint32_t(std::min<size_t>(length, sixteen ? available / 2 : available));
  unsigned mode = 0x2130u & ~(OSND_MODE_8BITS | OSND_MODE_16BITS);
  mode |= sixteen ? OSND_MODE_16BITS : OSND_MODE_8BITS;
  OSND_SAMPLE *s = OsndSample_Create(-2, int(length), mode, cSpeed, volume, 128, 255, 1);
  if (!s) return Osnd_Fail(OSND_ERR_MEMORY);
  song->samples[index] = s;
  for (int k = 0; k < 28; ++k) {
    const int c = file.Byte(at + 48 + size_t(k));
    s->name[k] = c < 32 ? '\0' : char(c);
  }
  s->name[28] = '\0';
  const uint32_t loopLength = loopEnd > loopStart ? loopEnd - loopStart : 0;
  if (!(flags & 1) || loopLength < 3 || loopStart >= length)
    OsndSample_SetLoop(s, 0, length, OSND_MODE_LOOP_OFF);
  else
    OsndSample_SetLoop(s, loopStart, std::min(loopLength, length - loopStart), OSND_MODE_LOOP_NORMAL);
  dataAt = position;
  return true;
}

// Unpacks one pattern, stopping at its 64th row end, at its packed length
// or at the end of the file, whichever comes first.
void UnpackPattern(MusicSong *song, int pattern, const Bytes &file, size_t at, const int map[32]) {
  const size_t end = std::min(file.Size(), at + 2 + size_t(file.Word(at)));
  size_t i = at + 2;
  MusicNote scratch{};
  for (int row = 0; row < kRows && i < end;) {
    const int b = file.Byte(i++);
    if (b == 0) {
      ++row;
      continue;
    }
    MusicNote *cell = map[b & 31] >= 0 ? Music_Cell(song, pattern, row, map[b & 31]) : nullptr;
    if (!cell) cell = &scratch;
    const size_t need = ((b & 32) ? 2 : 0) + ((b & 64) ? 1 : 0) + ((b & 128) ? 2 : 0);
    if (i + need > end) break;
    if (b & 32) {
      const int note = file.Byte(i++);
      cell->note = note == 255 ? 0 : note == 254 ? kNoteCut : uint8_t((note >> 4) * 12 + (note & 15) + 1);
      cell->instrument = uint8_t(file.Byte(i++));
    }
    if (b & 64) cell->volume = uint8_t(std::min(file.Byte(i++), 64) + 1);
    if (b & 128) {
      cell->effect = uint8_t(file.Byte(i++));
      cell->parameter = uint8_t(file.Byte(i++));
    }
  }
}

}  // namespace

bool MusicFormatS3m_Load(MusicSong *song, SystemFileHandle *file) {
  uint8_t signature[4];
  SystemFile_Seek(file, 44, SEEK_SET);
  if (SystemFile_Read(signature, 1, 4, file) != 4 || std::memcmp(signature, "SCRM", 4) != 0)
    return Osnd_Fail(OSND_ERR_FILE_FORMAT);
  std::vector<uint8_t> data;
  if (!Music_ReadWholeFile(file, data, kHeaderBytes)) return Osnd_Fail(OSND_ERR_FILE_BAD);
  const Bytes f{data};

  song->type = MUSIC_TYPE_S3M;
  song->masterVolume = 256;
  song->restartOrder = 0;
  for (int k = 0; k < 28; ++k) song->name[k] = char(f.Byte(size_t(k)));
  song->name[28] = '\0';
  const int orderCount = f.Word(32);
  const int instrumentCount = f.Word(34);
  const int filePatterns = f.Word(36);
  song->fastSlides = (f.Word(38) & 64) || (f.Word(40) & 0xFFF) == 300;
  song->globalVolume = std::min(f.Byte(48), 64);
  song->defaultSpeed = f.Byte(49) ? f.Byte(49) : 6;
  song->defaultTempo = f.Byte(50) ? f.Byte(50) : 125;
  const bool stereo = f.Byte(51) & 128;
  const bool panTable = f.Byte(53) == 252;

  int map[32];
  int channels = 0;
  for (int k = 0; k < 32; ++k) {
    const int setting = f.Byte(64 + size_t(k));
    map[k] = setting < 16 ? channels++ : -1;
    if (map[k] >= 0) song->defaultPan[map[k]] = setting < 8 ? 0 : 255;
  }

  size_t at = kHeaderBytes;
  song->orderCount = 0;
  int highest = -1;
  for (int k = 0; k < orderCount; ++k, ++at) {
    const int order = f.Byte(at);
    if (order >= 254 || song->orderCount >= MUSIC_ORDERS) continue;
    song->orders[song->orderCount++] = uint8_t(order);
    highest = std::max(highest, order);
  }
  if (at > f.Size()) return Osnd_Fail(OSND_ERR_FILE_BAD);
  const size_t pointers = at;
  at += 2 * (size_t(instrumentCount) + size_t(filePatterns));
  if (at > f.Size()) return Osnd_Fail(OSND_ERR_FILE_BAD);
  if (panTable)
    for (int k = 0; k < 32; ++k)
      if (map[k] >= 0 && (f.Byte(at + size_t(k)) & 0x10)) song->defaultPan[map[k]] = uint8_t(f.Byte(at + size_t(k)) << 4);
  if (!stereo)
    for (int k = 0; k < channels; ++k) song->defaultPan[k] = 128;

  // Even a song without channels keeps one, silent, so that it plays and ends.
  if (!Music_AllocChannels(song, std::max(channels, 1))) return false;

  const int samples = std::min(instrumentCount, kMaxInstruments);
  song->samples = static_cast<OSND_SAMPLE **>(OSND_ALLOC(std::max(samples, 1) * int(sizeof(OSND_SAMPLE *))));
  if (!song->samples) return Osnd_Fail(OSND_ERR_MEMORY);
  std::memset(song->samples, 0, size_t(std::max(samples, 1)) * sizeof(OSND_SAMPLE *));
  song->sampleCount = samples;
  std::vector<size_t> dataAt(size_t(samples), 0);
  for (int i = 0; i < samples; ++i)
    if (!LoadInstrument(song, i, f, size_t(f.Word(pointers + 2 * size_t(i))) * 16, dataAt[size_t(i)])) return false;

  song->patternCount = highest + 1;
  const int loaded = std::min(filePatterns, kMaxPatterns);
  if (!Music_AllocPatterns(song, std::max(song->patternCount, loaded))) return false;
  for (int p = 0; p < song->patternsAllocated; ++p) {
    if (!Music_AllocPattern(song, p, kRows)) return false;
    if (p >= loaded) continue;
    const size_t pointer = size_t(f.Word(pointers + 2 * (size_t(instrumentCount) + size_t(p)))) * 16;
    if (pointer != 0) UnpackPattern(song, p, f, pointer, map);
  }

  for (int i = 0; i < samples; ++i) {
    OSND_SAMPLE *s = song->samples[i];
    if (s->length == 0) continue;
    const bool sixteen = s->mode & OSND_MODE_16BITS;
    // Loading clamped the length to the file, so the data lies inside it.
    const uint8_t *source = data.data() + dataAt[size_t(i)];
    if (!OSND_Sample_Upload(s, source, (sixteen ? OSND_MODE_16BITS : OSND_MODE_8BITS) | OSND_MODE_UNSIGNED))
      return Osnd_Fail(gOsndError.lastError ? gOsndError.lastError.load() : OSND_ERR_MEMORY);
  }
  song->tickCallback = Tick;
  return true;
}
