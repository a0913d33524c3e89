// IT loader: header, instruments with their keyboards and three envelopes,
// sample headers, patterns (unpacked into cells at load) and sample data,
// plain or compressed.
#include "sound/src/song/song_it.h"

#include "sound/src/channel/osnd_sample.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

constexpr int kHeaderBytes = 192;
constexpr int kMaxRows = 200;

bool Tag(const MusicBytes &f, size_t at, const char *tag) {
  for (int k = 0; k < 4; ++k)
    if (f.Byte(at + size_t(k)) != uint8_t(tag[k])) return false;
  return true;
}

void ReadEnvelope(MusicEnvelope &e, const MusicBytes &f, size_t at, bool pitch) {
  const int flags = f.Byte(at);
  e.count = std::min(f.Byte(at + 1), MUSIC_ENVELOPE_POINTS);
  const int last = std::max(e.count - 1, 0);
  e.loopStart = std::min(f.Byte(at + 2), last);
  e.loopEnd = std::min(f.Byte(at + 3), last);
  e.sustainStart = std::min(f.Byte(at + 4), last);
  e.sustainEnd = std::min(f.Byte(at + 5), last);
  for (int k = 0; k < MUSIC_ENVELOPE_POINTS; ++k) {
    const size_t p = at + 6 + 3 * size_t(k);
    e.values[k] = int8_t(f.Byte(p));
    e.ticks[k] = f.Word(p + 1);
    if (k > 0) e.ticks[k] = std::max(e.ticks[k], e.ticks[k - 1]);
  }
  e.type = uint8_t(((flags & 1) ? IT_ENV_ON : 0) | ((flags & 2) ? IT_ENV_LOOP : 0) |
                   ((flags & 4) ? IT_ENV_SUSTAIN : 0) | ((flags & 8) ? IT_ENV_CARRY : 0));
  // A filter envelope in the pitch slot, and an envelope of fewer than 2 points, are off.
  if ((pitch && (flags & 0x80)) || e.count < 2) e.type &= ~IT_ENV_ON;
}

// Past the file's signature a missing record is damage, not another format:
// "not this format" would hand the half-made song to the next loader.
bool LoadInstrument(MusicInstrument &ins, const MusicBytes &f, size_t at) {
  if (!Tag(f, at, "IMPI")) return Osnd_Fail(OSND_ERR_FILE_BAD);
  ins.newNoteAction = uint8_t(std::min(f.Byte(at + 17), 3));
  ins.duplicateCheckType = uint8_t(std::min(f.Byte(at + 18), 3));
  ins.duplicateCheckAction = uint8_t(std::min(f.Byte(at + 19), 2));
  ins.fadeOut = f.Word(at + 20);
  ins.pitchPanSeparation = int8_t(f.Byte(at + 22));
  ins.pitchPanCentre = f.Byte(at + 23);
  ins.globalVolume = std::min(f.Byte(at + 24), 128);
  ins.defaultPan = uint8_t(f.Byte(at + 25));
  if (!(ins.defaultPan & 0x80)) ins.defaultPan = uint8_t(std::min<int>(ins.defaultPan, 64));
  for (int k = 0; k < 26; ++k) ins.name[k] = char(f.Byte(at + 32 + size_t(k)));
  for (int k = 0; k < 120; ++k) {
    ins.keyboardNote[k] = uint8_t(std::min(f.Byte(at + 64 + 2 * size_t(k)), 119));
    ins.keyboardSample[k] = uint8_t(f.Byte(at + 65 + 2 * size_t(k)));
  }
  ReadEnvelope(ins.volume, f, at + 304, false);
  ReadEnvelope(ins.pan, f, at + 386, false);
  ReadEnvelope(ins.pitch, f, at + 468, true);
  return true;
}

struct SampleData {
  size_t at;
  unsigned mode;  // upload mode
};

bool LoadSampleHeader(MusicSong *song, int index, const MusicBytes &f, size_t at, SampleData &data) {
  if (!Tag(f, at, "IMPS")) return Osnd_Fail(OSND_ERR_FILE_BAD);
  const int flags = f.Byte(at + 18);
  const bool sixteen = flags & 2, stereo = flags & 4;
  const int convert = f.Byte(at + 46);
  unsigned length = (flags & 1) ? f.Dword(at + 48) : 0;
  // No sample holds more frames than its file could give it uncompressed.
  length = unsigned(std::min<size_t>(length, f.Size()));
  const unsigned loopBegin = f.Dword(at + 52), loopEnd = f.Dword(at + 56);
  int c5 = int(std::min<uint32_t>(f.Dword(at + 60), 9999999));
  if (c5 == 0) c5 = 8363;
  unsigned mode = OSND_MODE_2D | OSND_MODE_MONO | OSND_MODE_8BITS;
  if (sixteen) mode = (mode & ~OSND_MODE_8BITS) | OSND_MODE_16BITS;
  if (stereo) mode = (mode & ~OSND_MODE_MONO) | OSND_MODE_STEREO;
  unsigned loopStart = 0, loopLength = length;
  const bool loop = (flags & 16) && loopEnd > loopBegin && loopBegin < length;
  if (loop) {
    mode |= (flags & 64) ? OSND_MODE_LOOP_BIDI : OSND_MODE_LOOP_NORMAL;
    loopStart = loopBegin;
    loopLength = std::min(loopEnd, length) - loopBegin;
  } else {
    mode |= OSND_MODE_LOOP_OFF;
  }
  OSND_SAMPLE *s = OsndSample_Create(-2, int(length), mode, c5, std::min(f.Byte(at + 19), 64), 128, 255, 1);
  if (!s) return Osnd_Fail(OSND_ERR_MEMORY);
  song->samples[index] = s;
  for (int k = 0; k < 26; ++k) s->name[k] = char(f.Byte(at + 20 + size_t(k)));
  s->name[26] = '\0';
  OsndSample_SetLoop(s, loopStart, loopLength);
  MusicSampleInfo &info = song->sampleInfo[index];
  info.globalVolume = std::min(f.Byte(at + 17), 64);
  info.defaultPan = uint8_t(f.Byte(at + 47));
  info.vibratoSpeed = f.Byte(at + 76);
  info.vibratoDepth = f.Byte(at + 77);
  info.vibratoRate = f.Byte(at + 78);
  info.vibratoType = f.Byte(at + 79);
  data.at = f.Dword(at + 72);
  data.mode = (sixteen ? OSND_MODE_16BITS : OSND_MODE_8BITS) | (stereo ? OSND_MODE_STEREO : 0u) |
              ((convert & 1) ? OSND_MODE_SIGNED : OSND_MODE_UNSIGNED);
  if (flags & 8)
    data.mode |= (f.Word(42) >= 0x215 && (convert & 4)) ? OSND_MODE_TRACKER_PACKED2 : OSND_MODE_TRACKER_PACKED;
  return true;
}

// Unpacks a pattern's rows into cells; the channel memories start afresh in
// every pattern. Never reads past the packed bytes or the file.
void UnpackPattern(MusicSong *song, int pattern, const MusicBytes &f, size_t at, size_t end) {
  end = std::min(end, f.Size());
  uint8_t lastMask[IT_CHANNELS] = {}, last[IT_CHANNELS][5] = {};
  const int rows = song->patterns[pattern].rows;
  for (int row = 0; row < rows && at < end;) {
    const int c = f.Byte(at++);
    if (c == 0) {
      ++row;
      continue;
    }
    const int channel = (c - 1) & 63;
    if (c & 0x80) lastMask[channel] = uint8_t(at < end ? f.Byte(at++) : 0);
    const int mask = lastMask[channel];
    uint8_t *m = last[channel];
    auto next = [&] { return uint8_t(at < end ? f.Byte(at++) : 0); };
    if (mask & 1) {
      const int note = next();
      // Notes past the keyboard's 120 are dropped; cut and off stay.
      m[0] = uint8_t(note < 120 ? note + 1 : note >= IT_NOTE_CUT ? note : 0);
    }
    if (mask & 2) m[1] = next();
    if (mask & 4) m[2] = uint8_t(std::min(next() + 1, 255));
    if (mask & 8) {
      m[3] = next();
      m[4] = next();
    }
    MusicNote *cell = Music_Cell(song, pattern, row, channel);
    if (!cell) continue;
    if (mask & (1 | 16)) cell->note = m[0];
    if (mask & (2 | 32)) cell->instrument = m[1];
    if (mask & (4 | 64)) cell->volume = m[2];
    if (mask & (8 | 128)) {
      cell->effect = m[3];
      cell->parameter = m[4];
    }
  }
}

}  // namespace

bool MusicFormatIt_Load(MusicSong *song, SystemFileHandle *file) {
  char signature[4];
  SystemFile_Seek(file, 0, SEEK_SET);
  if (SystemFile_Read(signature, 1, 4, file) != 4 || std::memcmp(signature, "IMPM", 4) != 0)
    return Osnd_Fail(OSND_ERR_FILE_FORMAT);
  std::vector<uint8_t> data;
  if (!Music_ReadWholeFile(file, data, kHeaderBytes)) return Osnd_Fail(OSND_ERR_FILE_BAD);
  const MusicBytes f{data};

  song->type = MUSIC_TYPE_IT;
  for (int k = 0; k < 26; ++k) song->name[k] = char(f.Byte(4 + size_t(k)));
  song->name[26] = '\0';
  const int orderCount = f.Word(32);
  const int instrumentCount = f.Word(34), sampleCount = f.Word(36), filePatterns = f.Word(38);
  // Files listing more than the tables hold are refused.
  if (instrumentCount > IT_MAX_TABLE || sampleCount > IT_MAX_TABLE || filePatterns > IT_MAX_TABLE)
    return Osnd_Fail(OSND_ERR_FILE_BAD);
  song->itFlags = uint8_t(f.Word(44) & (IT_INSTRUMENTS | IT_LINEAR | IT_OLD_EFFECTS | IT_OWN_G_MEMORY));
  song->initialGlobalVolume = std::min(f.Byte(48), 128);
  song->globalVolume = song->initialGlobalVolume;
  song->masterVolume = std::min(f.Byte(49) * 2, 256);
  song->defaultSpeed = f.Byte(50) ? f.Byte(50) : 6;
  song->defaultTempo = f.Byte(51) >= 32 ? f.Byte(51) : 125;
  for (int k = 0; k < IT_CHANNELS; ++k) {
    const int pan = f.Byte(64 + size_t(k));
    song->defaultPan[k] = uint8_t((pan & 0x80) ? pan : pan == 100 ? 100 : std::min(pan, 64));
    song->channelVolumes[k] = uint8_t(std::min(f.Byte(128 + size_t(k)), 64));
  }
  size_t at = kHeaderBytes;
  song->orderCount = 0;
  int highest = -1;
  for (int k = 0; k < orderCount && k < MUSIC_ORDERS; ++k) {
    song->orders[k] = uint8_t(f.Byte(at + size_t(k)));
    if (song->orders[k] != 255) song->orderCount = k + 1;
    if (song->orders[k] < 254) highest = std::max(highest, int(song->orders[k]));
  }
  for (int k = orderCount; k < MUSIC_ORDERS; ++k) song->orders[k] = 255;
  at += size_t(orderCount);
  const size_t instrumentTable = at, sampleTable = at + 4 * size_t(instrumentCount);
  const size_t patternTable = sampleTable + 4 * size_t(sampleCount);
  if (patternTable + 4 * size_t(filePatterns) > f.Size()) return Osnd_Fail(OSND_ERR_FILE_BAD);
  if (!Music_AllocChannels(song, IT_CHANNELS)) return false;

  const int instruments = std::max(instrumentCount, 1), samples = std::max(sampleCount, 1);
  song->instruments = static_cast<MusicInstrument *>(OSND_ALLOC(instruments * int(sizeof(MusicInstrument))));
  song->samples = static_cast<OSND_SAMPLE **>(OSND_ALLOC(samples * int(sizeof(OSND_SAMPLE *))));
  song->sampleInfo = static_cast<MusicSampleInfo *>(OSND_ALLOC(samples * int(sizeof(MusicSampleInfo))));
  if (!song->instruments || !song->samples || !song->sampleInfo) return Osnd_Fail(OSND_ERR_MEMORY);
  std::memset(song->instruments, 0, size_t(instruments) * sizeof(MusicInstrument));
  std::memset(song->samples, 0, size_t(samples) * sizeof(OSND_SAMPLE *));
  std::memset(song->sampleInfo, 0, size_t(samples) * sizeof(MusicSampleInfo));
  song->instrumentCount = instrumentCount;
  song->sampleCount = sampleCount;
  for (int i = 0; i < instrumentCount; ++i)
    if (!LoadInstrument(song->instruments[i], f, f.Dword(instrumentTable + 4 * size_t(i)))) return false;
  std::vector<SampleData> sampleData(static_cast<size_t>(samples), SampleData{0, 0});
  for (int i = 0; i < sampleCount; ++i)
    if (!LoadSampleHeader(song, i, f, f.Dword(sampleTable + 4 * size_t(i)), sampleData[size_t(i)])) return false;

  song->patternCount = highest + 1;
  if (!Music_AllocPatterns(song, std::max(song->patternCount, filePatterns))) return false;
  for (int p = 0; p < song->patternsAllocated; ++p) {
    const size_t offset = p < filePatterns ? f.Dword(patternTable + 4 * size_t(p)) : 0;
    const int rows = offset ? f.Word(offset + 2) : 64;
    if (!offset) {
      Music_EmptyPattern(song, p, 64);
      continue;
    }
    if (!Music_AllocPattern(song, p, rows < 1 ? 64 : std::min(rows, kMaxRows))) return false;
    UnpackPattern(song, p, f, offset + 8, offset + 8 + size_t(f.Word(offset)));
  }

  for (int i = 0; i < sampleCount; ++i) {
    OSND_SAMPLE *s = song->samples[i];
    const SampleData &d = sampleData[size_t(i)];
    if (s->length == 0 || d.at >= f.Size()) continue;
    const unsigned frameBytes = ((s->mode & OSND_MODE_16BITS) ? 2u : 1u) * ((s->mode & OSND_MODE_STEREO) ? 2u : 1u);
    // The stored size reaches the next sample's data when that lies further on, else the end of the file.
    size_t end = f.Size();
    for (int j = 0; j < sampleCount; ++j)
      if (sampleData[size_t(j)].at > d.at) end = std::min(end, sampleData[size_t(j)].at);
    const size_t stored = end - d.at;
    const uint8_t *source = data.data() + d.at;
    bool ok;
    if (d.mode & (OSND_MODE_TRACKER_PACKED | OSND_MODE_TRACKER_PACKED2)) {
      ok = OsndSample_UploadRange(s, source, 0, unsigned(stored), d.mode);
    } else {
      // Plain data cut short by the file plays what is there.
      const size_t need = size_t(s->length) * frameBytes;
      std::vector<uint8_t> padded;
      if (stored < need) {
        padded.assign(source, source + stored);
        padded.resize(need, (d.mode & OSND_MODE_UNSIGNED) ? 0x80 : 0);
        source = padded.data();
      }
      ok = OSND_Sample_Upload(s, source, d.mode);
    }
    // A sample whose compressed data is damaged keeps what was decoded.
    if (!ok && gOsndError.lastError == OSND_ERR_MEMORY) return Osnd_Fail(OSND_ERR_MEMORY);
  }
  Osnd_SetError(OSND_ERR_NONE);
  It_InstallPlayer(song);
  return true;
}
