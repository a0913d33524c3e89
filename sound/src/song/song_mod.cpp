// MOD modules: 4 to 32 channels, 31 samples of 8-bit signed data, 64-row
// patterns of 4-byte cells holding Amiga periods.
#include "sound/src/channel/osnd_sample.h"
#include "sound/src/song/music_core.h"
#include "sound/src/song/song_s3m.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

constexpr int kSamples = 31;
constexpr int kRows = 64;
constexpr int kSignatureOffset = 1080;
constexpr int kPatternOffset = 1084;
constexpr int kMinPeriod = 56;
constexpr int kMaxPeriod = 1 << 24;

bool IsDigit(uint8_t c) { return c >= '0' && c <= '9'; }

// Channel count of a signature, or 0 when it is not a MOD signature.
int ChannelsOf(const uint8_t sig[4]) {
  if (!std::memcmp(sig, "M.K.", 4) || !std::memcmp(sig, "M!K!", 4) || !std::memcmp(sig, "FLT4", 4)) return 4;
  if (!std::memcmp(sig, "6CHN", 4)) return 6;
  if (!std::memcmp(sig, "8CHN", 4)) return 8;
  if (sig[2] == 'C' && sig[3] == 'H' && IsDigit(sig[0])) return IsDigit(sig[1]) ? (sig[0] - '0') * 10 + (sig[1] - '0') : sig[0] - '0';
  if (sig[1] == 'C' && sig[2] == 'H' && sig[3] == 'N' && IsDigit(sig[0])) return sig[0] - '0';
  return 0;
}

int ReadBigWord(const uint8_t *p) { return (p[0] << 8) | p[1]; }

// The note of a file period: the first table note whose period it reaches.
uint8_t NoteOfPeriod(int period) {
  if (period <= 0) return 0;
  for (int i = 0; i < 108; ++i)
    if (period >= kMusicPeriodTable[i + 25]) return uint8_t(i + 1);
  return 0;
}

bool LoadSample(MusicSong *song, int index, const uint8_t *h) {
  const unsigned length = unsigned(ReadBigWord(h + 22)) * 2;
  const int finetune = h[24];
  const int volume = std::min<int>(h[25], 64);
  unsigned loopStart = unsigned(ReadBigWord(h + 26)) * 2;
  unsigned loopLength = unsigned(ReadBigWord(h + 28)) * 2;
  const unsigned mode = (0x2130u & ~OSND_MODE_16BITS) | OSND_MODE_8BITS;
  OSND_SAMPLE *s = OsndSample_Create(-2, int(length), mode, Music_FinetuneToSpeed(finetune), volume, 128, 255, 1);
  if (!s) return Osnd_Fail(gOsndError.lastError == OSND_ERR_FILE_FORMAT ? OSND_ERR_MEMORY : gOsndError.lastError.load());
  song->samples[index] = s;
  char name[23] = {};
  for (int k = 0; k < 22; ++k) name[k] = h[k] < 32 ? '\0' : char(h[k]);
  std::memcpy(s->name, name, sizeof(name));
  if (loopStart + loopLength > length) loopLength = loopStart < length ? length - loopStart : 0;
  // Without a loop the whole sample plays once from its start.
  if (loopLength <= 2)
    OsndSample_SetLoop(s, 0, length, OSND_MODE_LOOP_OFF);
  else
    OsndSample_SetLoop(s, loopStart, loopLength, OSND_MODE_LOOP_NORMAL);
  return true;
}

MusicNote CellOf(const uint8_t *b) {
  MusicNote n{};
  n.instrument = uint8_t((b[0] & 0xF0) | (b[2] >> 4));
  n.note = NoteOfPeriod(((b[0] & 0x0F) << 8) | b[1]);
  n.effect = b[2] & 0x0F;
  n.parameter = b[3];
  return n;
}

void SlideVolume(MusicVoice *v, int x, int y) {
  if (x != 0)
    v->volume = std::min(64, v->volume + x);
  else if (y != 0)
    v->volume = std::max(0, v->volume - y);
}

// MOD has no random waveform: its waveform 3 is the sine.
void Tremolo(MusicChannel *ch, MusicVoice *v) {
  const int waveform = (ch->waveControl >> 4) & 3;
  S3m_TremoloWith(ch, v, waveform == 3 ? 0 : waveform);
}

void RowEffect(MusicSong *song, MusicChannel *ch, MusicVoice *v, const MusicNote &cell) {
  const int p = cell.parameter, x = p >> 4, y = p & 15;
  switch (cell.effect) {
    case 3:
      if (p) ch->portaSpeed = p;
      S3m_HoldForPortamento(ch, v);
      break;
    case 4:
      if (x) ch->vibratoSpeed = x;
      if (y) ch->vibratoDepth = y;
      break;
    case 5: S3m_HoldForPortamento(ch, v); break;
    case 7:
      if (x) ch->tremoloSpeed = x;
      if (y) ch->tremoloDepth = y;
      v->flags &= ~MUSIC_FLAG_VOLUME;
      break;
    case 8:
      v->pan = std::min(255, p * 2);
      v->flags |= MUSIC_FLAG_PAN;
      break;
    case 9: {
      if (p) ch->sampleOffset = p;
      const OSND_SAMPLE *s = Music_ChannelSample(song, ch);
      unsigned start = unsigned(ch->sampleOffset) * 256;
      const unsigned end = s->loopStart + s->loopLength;
      if (end > 0 && start >= end) start = end - 1;
      if (v->channel) v->channel->startOffset = start;
      break;
    }
    case 0xB: Music_PositionJump(song, p); break;
    case 0xC: v->volume = std::min(p, 64); break;
    case 0xD: Music_PatternBreak(song, p); break;
    case 0xE:
      switch (x) {
        case 1: v->period = std::max(kMinPeriod, v->period - y * 4); break;
        case 2: v->period = std::min(kMaxPeriod, v->period + y * 4); break;
        case 4: ch->waveControl = uint8_t((ch->waveControl & 0xF0) | y); break;
        case 5:
          if (ch->instrument < song->sampleCount && song->samples[ch->instrument])
            song->samples[ch->instrument]->defFrequency = Music_FinetuneToSpeed(y);
          break;
        case 6:
          Music_PatternLoop(song, ch, y);
          break;
        case 7: ch->waveControl = uint8_t((ch->waveControl & 0x0F) | (y << 4)); break;
        case 8:
          v->pan = y * 16;
          v->flags |= MUSIC_FLAG_PAN;
          break;
        case 0xA: v->volume = std::min(64, v->volume + y); break;
        case 0xB: v->volume = std::max(0, v->volume - y); break;
        case 0xD:
          v->volume = ch->keptVolume;
          v->period = ch->keptPeriod;
          v->flags = 0;
          break;
        case 0xE: song->patternDelay = y * song->speed; break;
        default: break;
      }
      break;
    case 0xF:
      if (p < 32)
        song->speed = p;
      else
        Music_SetTempo(song, p);
      break;
    default: break;
  }
}

void TickEffect(MusicSong *song, MusicChannel *ch, MusicVoice *&v, const MusicNote &cell) {
  const int p = cell.parameter, x = p >> 4, y = p & 15;
  const int tick = song->tick;
  switch (cell.effect) {
    case 0:
      if (p) {
        const int c = Music_ChannelSample(song, ch)->defFrequency;
        const int base = Music_NotePeriod(ch->note, c);
        const int phase = tick % 3;
        v->periodDelta = phase == 1 ? Music_NotePeriod(ch->note + x, c) - base
                         : phase == 2 ? Music_NotePeriod(ch->note + y, c) - base
                                      : 0;
        v->flags = MUSIC_FLAG_FREQUENCY;
      }
      break;
    case 1:
      v->period = std::max(kMinPeriod, v->period - p * 4);
      v->flags = MUSIC_FLAG_FREQUENCY;
      break;
    case 2:
      v->period = std::min(kMaxPeriod, v->period + p * 4);
      v->flags = MUSIC_FLAG_FREQUENCY;
      break;
    case 3: S3m_TonePortamento(ch, v); break;
    case 4: S3m_Vibrato(ch, v); break;
    case 5:
      S3m_TonePortamento(ch, v);
      SlideVolume(v, x, y);
      v->flags |= MUSIC_FLAG_VOLUME;
      break;
    case 6:
      S3m_Vibrato(ch, v);
      SlideVolume(v, x, y);
      v->flags |= MUSIC_FLAG_VOLUME;
      break;
    case 7: Tremolo(ch, v); break;
    case 0xA:
      SlideVolume(v, x, y);
      v->flags = MUSIC_FLAG_VOLUME;
      break;
    case 0xE:
      if (x == 9 && y != 0 && tick % y == 0) {
        v->flags = MUSIC_FLAG_TRIGGER | MUSIC_FLAG_VOLUME | MUSIC_FLAG_PAN;
        v->sampleToPlay = Music_ChannelSample(song, ch);
      } else if (x == 0xC && tick == y) {
        v->volume = 0;
        v->flags = MUSIC_FLAG_VOLUME;
      } else if (x == 0xD) {
        if (tick != y) {
          v->flags = 0;
          break;
        }
        if (v == Music_DummyVoice()) {
          MusicVoice *fresh = Music_AllocVoice(song, ch, Music_ChannelSample(song, ch));
          if (fresh) v = fresh;
        }
        if (cell.instrument > 0) {
          v->volume = std::min(Music_ChannelSample(song, ch)->defVolume, 64);
          v->flags |= MUSIC_FLAG_VOLUME;
        }
        v->pan = ch->defaultPan;
        v->period = ch->period;
        v->sampleToPlay = Music_ChannelSample(song, ch);
        v->flags |= MUSIC_FLAG_TRIGGER | MUSIC_FLAG_PAN | MUSIC_FLAG_FREQUENCY;
      }
      break;
    default: break;
  }
}

void RowUpdate(MusicSong *song) {
  for (int c = 0; c < song->channelCount; ++c) {
    MusicChannel *ch = &song->songChannels[c];
    const MusicNote cell = *Music_CurrentCell(song, c);
    MusicVoice *v = Music_BeginRow(song, ch, cell, 7);
    OSND_SAMPLE *sample = Music_ChannelSample(song, ch);
    if (cell.note > 0) {
      v = S3m_StartNote(song, ch, v, sample, cell.note, cell.effect == 3 || cell.effect == 5);
      S3m_RestartWaves(ch);
    }
    if (cell.instrument > 0) v->volume = std::clamp(sample->defVolume, 0, 64);
    v->flags |= MUSIC_FLAG_FREQUENCY | MUSIC_FLAG_VOLUME | MUSIC_FLAG_PAN;
    v->periodDelta = 0;
    RowEffect(song, ch, v, cell);
    Music_ApplyVoices(song, ch);
  }
}

void TickEffects(MusicSong *song) { Music_TickEffects(song, TickEffect); }

void Tick(MusicSong *song) { Music_CommonTick(song, kRows, RowUpdate, TickEffects); }

}  // namespace

bool MusicFormatMod_Load(MusicSong *song, SystemFileHandle *file) {
  uint8_t signature[4];
  SystemFile_Seek(file, kSignatureOffset, SEEK_SET);
  if (SystemFile_Read(signature, 1, 4, file) != 4) return Osnd_Fail(OSND_ERR_FILE_FORMAT);
  const int channels = ChannelsOf(signature);
  if (channels < 1 || channels > MUSIC_MAX_CHANNELS) return Osnd_Fail(OSND_ERR_FILE_FORMAT);

  uint8_t header[kPatternOffset];
  SystemFile_Seek(file, 0, SEEK_SET);
  if (SystemFile_Read(header, 1, kPatternOffset, file) != kPatternOffset) return Osnd_Fail(OSND_ERR_FILE_FORMAT);
  song->type = MUSIC_TYPE_MOD;
  song->masterVolume = 256;
  song->defaultSpeed = 6;
  song->defaultTempo = 125;
  song->restartOrder = 0;
  for (int k = 0; k < MUSIC_MAX_CHANNELS; ++k) song->defaultPan[k] = ((k + 1) & 2) ? 255 : 0;
  for (int k = 0; k < 20; ++k) song->name[k] = header[k] < 32 ? '\0' : char(header[k]);
  song->name[20] = '\0';

  song->samples = static_cast<OSND_SAMPLE **>(OSND_ALLOC(kSamples * int(sizeof(OSND_SAMPLE *))));
  if (!song->samples) return Osnd_Fail(OSND_ERR_MEMORY);
  std::memset(song->samples, 0, kSamples * sizeof(OSND_SAMPLE *));
  song->sampleCount = kSamples;
  for (int i = 0; i < kSamples; ++i)
    if (!LoadSample(song, i, header + 20 + 30 * i)) return false;

  // A song length past the 128 stored orders is cut to them; 0 plays one order.
  song->orderCount = std::clamp<int>(header[950], 1, 128);
  std::memcpy(song->orders, header + 952, 128);
  int patterns = 0;
  for (int i = 0; i < 128; ++i) patterns = std::max(patterns, header[952 + i] + 1);
  song->patternCount = patterns;

  if (!Music_AllocChannels(song, channels) || !Music_AllocPatterns(song, patterns)) return false;
  std::vector<uint8_t> raw(size_t(channels) * kRows * 4);
  for (int p = 0; p < patterns; ++p) {
    if (!Music_AllocPattern(song, p, kRows)) return false;
    // A file that ends inside its patterns leaves the rest of them empty.
    const int got = SystemFile_Read(raw.data(), 1, int(raw.size()), file);
    std::fill(raw.begin() + std::max(got, 0), raw.end(), uint8_t(0));
    for (int r = 0; r < kRows; ++r)
      for (int c = 0; c < channels; ++c)
        *Music_Cell(song, p, r, c) = CellOf(&raw[(size_t(r) * channels + c) * 4]);
  }

  const int64_t afterPatterns = kPatternOffset + int64_t(patterns) * channels * kRows * 4;
  int64_t total = 0;
  unsigned largest = 0;
  for (int i = 0; i < kSamples; ++i) {
    total += song->samples[i]->length;
    largest = std::max(largest, song->samples[i]->length);
  }
  const int64_t size = SystemFile_Seek(file, 0, SEEK_END) >= 0 ? SystemFile_Tell(file) : 0;
  int64_t dataStart = afterPatterns;
  if (size - total >= 1081 && size < afterPatterns + total) dataStart = size - total;
  SystemFile_Seek(file, dataStart, SEEK_SET);

  std::vector<uint8_t> scratch(largest);
  for (int i = 0; i < kSamples; ++i) {
    OSND_SAMPLE *s = song->samples[i];
    if (s->length == 0) continue;
    const int got = SystemFile_Read(scratch.data(), 1, int(s->length), file);
    std::fill(scratch.begin() + std::max(got, 0), scratch.begin() + s->length, uint8_t(0));
    if (!OSND_Sample_Upload(s, scratch.data(), OSND_MODE_8BITS | OSND_MODE_SIGNED))
      return Osnd_Fail(gOsndError.lastError ? gOsndError.lastError.load() : OSND_ERR_MEMORY);
  }
  song->tickCallback = Tick;
  return true;
}
