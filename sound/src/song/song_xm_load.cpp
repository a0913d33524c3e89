// XM loader: header, packed patterns, instruments with their envelopes and
// note-to-sample maps, and delta-coded or Ogg Vorbis samples.
#include "sound/src/song/song_xm.h"

#include "sound/src/channel/osnd_sample.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

constexpr char kSignature[] = "Extended Module: ";
constexpr int kSignatureBytes = 17;
constexpr int kMaxRows = 256;
constexpr int kSampleHeaderBytes = 40;

// Unpacks a pattern's cells, never reading past its packed bytes or the file.
void UnpackPattern(MusicSong *song, int pattern, int fileChannels, const MusicBytes &f, size_t at, size_t end) {
  end = std::min(end, f.Size());
  const int rows = song->patterns[pattern].rows;
  for (int row = 0; row < rows; ++row) {
    for (int c = 0; c < fileChannels; ++c) {
      if (at >= end) return;
      MusicNote scratch{};
      MusicNote *cell = Music_Cell(song, pattern, row, c);
      if (!cell) cell = &scratch;
      const int b = f.Byte(at++);
      int fields[5] = {0, 0, 0, 0, 0};
      if (b & 0x80) {
        for (int k = 0; k < 5; ++k)
          if (b & (1 << k)) fields[k] = at < end ? f.Byte(at++) : 0;
      } else {
        fields[0] = b;
        for (int k = 1; k < 5; ++k) fields[k] = at < end ? f.Byte(at++) : 0;
      }
      cell->note = fields[0] == 97 ? XM_KEY_OFF : fields[0] > 97 ? 0 : uint8_t(fields[0]);
      cell->instrument = fields[1] > XM_MAX_INSTRUMENTS ? 0 : uint8_t(fields[1]);
      cell->volume = uint8_t(fields[2]);
      cell->effect = uint8_t(fields[3]);
      cell->parameter = uint8_t(fields[4]);
    }
  }
}

// Envelope points, count, sustain and loop points; indices beyond the points are clamped.
void ReadEnvelope(MusicEnvelope &e, const MusicBytes &f, size_t points, size_t count, size_t sustain, size_t type) {
  e.count = std::min(f.Byte(count), 12);
  for (int k = 0; k < 12; ++k) {
    e.ticks[k] = f.Word(points + 4 * size_t(k));
    e.values[k] = std::min(f.Word(points + 4 * size_t(k) + 2), 64);
  }
  // Point ticks never run backwards, so an envelope walk always ends.
  for (int k = 1; k < e.count; ++k) e.ticks[k] = std::max(e.ticks[k], e.ticks[k - 1]);
  const int last = std::max(e.count - 1, 0);
  e.sustainStart = e.sustainEnd = std::min(f.Byte(sustain), last);
  e.loopStart = std::min(f.Byte(sustain + 1), last);
  e.loopEnd = std::min(f.Byte(sustain + 2), last);
  e.type = uint8_t(f.Byte(type) & 7);
  if (e.count < 2) e.type = 0;
}

struct PendingData {
  OSND_SAMPLE *sample;
  size_t at;
  size_t bytes;
  unsigned mode;  // upload mode: sample width, signed and delta
};

bool LoadSampleHeader(MusicSong *song, int index, const MusicBytes &f, size_t h, size_t dataAt, PendingData &pending) {
  const int type = f.Byte(h + 14);
  const bool sixteen = type & 16, stereo = type & 32;
  const size_t stored = f.Dword(h);
  // What the file really holds for the sample.
  const size_t bytes = dataAt < f.Size() ? std::min(stored, f.Size() - dataAt) : 0;
  const unsigned frameBytes = (sixteen ? 2u : 1u) * (stereo ? 2u : 1u);
  const unsigned length = unsigned(bytes / frameBytes);
  unsigned loopStart = f.Dword(h + 4) / frameBytes;
  unsigned loopLength = f.Dword(h + 8) / frameBytes;

  unsigned mode = 0x2130u & ~(OSND_MODE_LOOP_NORMAL | OSND_MODE_LOOP_BIDI | OSND_MODE_16BITS);
  mode |= OSND_MODE_LOOP_OFF | OSND_MODE_8BITS;
  if (type & 3) mode = (mode & ~OSND_MODE_LOOP_OFF) | ((type & 2) ? OSND_MODE_LOOP_BIDI : OSND_MODE_LOOP_NORMAL);
  if (sixteen) mode = (mode & ~OSND_MODE_8BITS) | OSND_MODE_16BITS;
  if (stereo) mode = (mode & ~OSND_MODE_MONO) | OSND_MODE_STEREO;
  if (loopStart >= length) loopLength = 0;
  loopLength = std::min(loopLength, length - std::min(loopStart, length));
  if ((mode & OSND_MODE_LOOP_OFF) || loopLength == 0) {
    mode = (mode & ~(OSND_MODE_LOOP_NORMAL | OSND_MODE_LOOP_BIDI)) | OSND_MODE_LOOP_OFF;
    loopStart = 0;
    loopLength = length;
  }
  const int pan = f.Byte(h + 15);
  OSND_SAMPLE *s = OsndSample_Create(-2, int(length), mode, 8363, std::min(f.Byte(h + 12), 64), pan, 255, 1);
  if (!s) return Osnd_Fail(OSND_ERR_MEMORY);
  song->samples[index] = s;
  song->sampleInfo[index].finetune = int8_t(f.Byte(h + 13));
  song->sampleInfo[index].relativeNote = int8_t(f.Byte(h + 16));
  for (int k = 0; k < 22; ++k) s->name[k] = char(f.Byte(h + 18 + size_t(k)));
  s->name[22] = '\0';
  OsndSample_SetLoop(s, loopStart, loopLength);
  pending = PendingData{s, dataAt, bytes, (sixteen ? OSND_MODE_16BITS : OSND_MODE_8BITS) |
                                               (stereo ? OSND_MODE_STEREO : 0u) | OSND_MODE_SIGNED |
                                               OSND_MODE_DELTA};
  return true;
}

// A sample stored as Ogg Vorbis replaces the PCM record, keeping the header's settings.
bool LoadOggSample(MusicSong *song, int index, const uint8_t *data, size_t bytes) {
  OSND_SAMPLE *old = song->samples[index];
  const unsigned mode = old->mode;
  const int volume = old->defVolume, pan = old->defPan;
  const unsigned loopStart = old->loopStart, loopLength = old->loopLength;
  const bool looping = !(mode & OSND_MODE_LOOP_OFF);
  char name[256];
  std::memcpy(name, old->name, sizeof(name));
  OsndSample_Destroy(old);
  song->samples[index] = nullptr;
  // The 4 bytes ahead of the Ogg stream are not part of it.
  OSND_SAMPLE *s = OSND_Sample_Load(-2, reinterpret_cast<const char *>(data + 4), mode | 0xA130u, 0, int(bytes - 4));
  if (!s) return true;  // the slot stays empty and plays as the invalid sample
  s->mode &= ~OSND_MODE_MEMORY;
  s->defVolume = volume;
  s->defPan = pan;
  std::memcpy(s->name, name, sizeof(name));
  if (looping && loopStart < s->length)
    OsndSample_SetLoop(s, loopStart, std::min(loopLength, s->length - loopStart));
  else
    OsndSample_SetLoop(s, 0, s->length);
  song->samples[index] = s;
  return true;
}

}  // namespace

bool MusicFormatXm_Load(MusicSong *song, SystemFileHandle *file) {
  char signature[kSignatureBytes];
  SystemFile_Seek(file, 0, SEEK_SET);
  if (SystemFile_Read(signature, 1, kSignatureBytes, file) != kSignatureBytes) return Osnd_Fail(OSND_ERR_FILE_BAD);
  if (std::memcmp(signature, kSignature, kSignatureBytes) != 0) return Osnd_Fail(OSND_ERR_FILE_FORMAT);
  std::vector<uint8_t> data;
  if (!Music_ReadWholeFile(file, data, kSignatureBytes + 21)) return Osnd_Fail(OSND_ERR_FILE_BAD);
  const MusicBytes f{data};
  if (f.Byte(37) != 26) return Osnd_Fail(OSND_ERR_FILE_FORMAT);
  if (f.Size() < 80) return Osnd_Fail(OSND_ERR_FILE_BAD);

  song->type = MUSIC_TYPE_XM;
  song->masterVolume = 256;
  for (int k = 0; k < 20; ++k) song->name[k] = char(f.Byte(17 + size_t(k)));
  song->name[20] = '\0';
  const size_t headerSize = f.Dword(60);
  song->orderCount = std::min(f.Word(64), MUSIC_ORDERS);
  const int fileChannels = f.Word(68);
  const int filePatterns = std::min(f.Word(70), 256);
  const int instrumentCount = std::min(f.Word(72), XM_MAX_INSTRUMENTS);
  song->linearSlides = f.Word(74) & 1;
  song->defaultSpeed = f.Word(76);
  // Tempos the format can name (32..255): a header tempo of thousands would
  // run the player a tick every few output samples.
  song->defaultTempo = std::clamp(f.Word(78), 32, 255);
  song->restartOrder = f.Word(66) < song->orderCount ? f.Word(66) : 0;
  // More channels than the engine plays in one song: refused rather than cut.
  if (fileChannels > XM_MAX_CHANNELS) return Osnd_Fail(OSND_ERR_FILE_BAD);
  int highest = -1;
  for (int k = 0; k < MUSIC_ORDERS; ++k) {
    song->orders[k] = uint8_t(f.Byte(80 + size_t(k)));
    if (k < song->orderCount) highest = std::max(highest, int(song->orders[k]));
  }
  for (int k = 0; k < MUSIC_PAN_CHANNELS; ++k) song->defaultPan[k] = 128;
  if (!Music_AllocChannels(song, std::max(fileChannels, 1))) return false;

  song->patternCount = highest + 1;
  if (!Music_AllocPatterns(song, std::max(song->patternCount, filePatterns))) return false;
  size_t at = 60 + headerSize;
  for (int p = 0; p < song->patternsAllocated; ++p) {
    if (p >= filePatterns) {
      Music_EmptyPattern(song, p, 64);
      continue;
    }
    const int rows = std::min(f.Word(at + 5), kMaxRows);
    const size_t packed = size_t(f.Word(at + 7));
    const size_t cells = at + 9;
    if (packed) {
      if (!Music_AllocPattern(song, p, rows < 1 ? 64 : rows)) return false;
      UnpackPattern(song, p, fileChannels, f, cells, cells + packed);
    } else {
      Music_EmptyPattern(song, p, rows < 1 ? 64 : rows);
    }
    at = cells + packed;
  }

  // Instruments first, to count the samples.
  struct SampleSpan {
    size_t headers;
    int count;
  };
  std::vector<SampleSpan> spans;
  std::vector<size_t> instrumentAt;
  int totalSamples = 0;
  for (int i = 0; i < instrumentCount; ++i) {
    instrumentAt.push_back(at);
    const size_t size = f.Dword(at);
    const int count = f.Word(at + 27);
    at += size;
    spans.push_back({at, count});
    if (count > 0) {
      size_t dataAt = at + size_t(count) * kSampleHeaderBytes;
      for (int k = 0; k < count; ++k) dataAt += f.Dword(at + size_t(k) * kSampleHeaderBytes);
      at = dataAt;
      totalSamples += std::min(count, XM_SAMPLES_PER_INSTRUMENT);
    }
    if (at >= f.Size()) at = f.Size();
  }
  song->instrumentCount = instrumentCount;
  song->instruments = static_cast<MusicInstrument *>(
      OSND_ALLOC(std::max(instrumentCount, 1) * int(sizeof(MusicInstrument))));
  song->samples = static_cast<OSND_SAMPLE **>(OSND_ALLOC(std::max(totalSamples, 1) * int(sizeof(OSND_SAMPLE *))));
  song->sampleInfo = static_cast<MusicSampleInfo *>(
      OSND_ALLOC(std::max(totalSamples, 1) * int(sizeof(MusicSampleInfo))));
  if (!song->instruments || !song->samples || !song->sampleInfo) return Osnd_Fail(OSND_ERR_MEMORY);
  std::memset(song->instruments, 0, size_t(std::max(instrumentCount, 1)) * sizeof(MusicInstrument));
  std::memset(song->samples, 0, size_t(std::max(totalSamples, 1)) * sizeof(OSND_SAMPLE *));
  std::memset(song->sampleInfo, 0, size_t(std::max(totalSamples, 1)) * sizeof(MusicSampleInfo));
  song->sampleCount = totalSamples;

  std::vector<PendingData> pending;
  int next = 0;
  for (int i = 0; i < instrumentCount; ++i) {
    MusicInstrument &ins = song->instruments[i];
    const size_t p = instrumentAt[size_t(i)];
    for (int k = 0; k < 22; ++k) ins.name[k] = char(f.Byte(p + 4 + size_t(k)));
    ins.sampleBase = next;
    const int count = spans[size_t(i)].count;
    if (count <= 0) continue;
    ins.sampleCount = std::min(count, XM_SAMPLES_PER_INSTRUMENT);
    for (int k = 0; k < 96; ++k) ins.sampleMap[k] = uint8_t(f.Byte(p + 33 + size_t(k)));
    ReadEnvelope(ins.volume, f, p + 129, p + 225, p + 227, p + 233);
    ReadEnvelope(ins.pan, f, p + 177, p + 226, p + 230, p + 234);
    ins.vibratoType = f.Byte(p + 235);
    ins.vibratoSweep = f.Byte(p + 236);
    ins.vibratoDepth = f.Byte(p + 237);
    ins.vibratoRate = f.Byte(p + 238);
    ins.fadeOut = f.Word(p + 239) * 2;
    const size_t headers = spans[size_t(i)].headers;
    size_t dataAt = headers + size_t(count) * kSampleHeaderBytes;
    for (int k = 0; k < count; ++k) {
      const size_t h = headers + size_t(k) * kSampleHeaderBytes;
      if (k < XM_SAMPLES_PER_INSTRUMENT) {
        PendingData d{};
        if (!LoadSampleHeader(song, next, f, h, dataAt, d)) return false;
        pending.push_back(d);
        ++next;
      }
      dataAt += f.Dword(h);
    }
  }

  for (size_t k = 0; k < pending.size(); ++k) {
    const PendingData &d = pending[k];
    if (d.bytes == 0) continue;
    const uint8_t *source = data.data() + d.at;
    if (d.bytes > 8 && std::memcmp(source + 4, "OggS", 4) == 0) {
      LoadOggSample(song, int(k), source, d.bytes);
      continue;
    }
    if (!OSND_Sample_Upload(d.sample, source, d.mode))
      return Osnd_Fail(gOsndError.lastError ? gOsndError.lastError.load() : OSND_ERR_MEMORY);
  }
  Xm_InstallPlayer(song);
  return true;
}
