#include "sound/src/format/format_aiff.h"

#include "sound/src/system/system_string.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

constexpr unsigned kFormatBits = 0x1F8;  // sizes, channel layouts and signedness
constexpr int kMaxRate = 1000000;

uint32_t Be32(const uint8_t *p) { return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3]; }
uint16_t Be16(const uint8_t *p) { return uint16_t(p[0] << 8 | p[1]); }

bool ReadExact(SystemFileHandle *f, void *buffer, int bytes) { return SystemFile_Read(buffer, 1, bytes, f) == bytes; }

void SwapWords(uint8_t *data, size_t bytes) {
  for (size_t i = 0; i + 1 < bytes; i += 2) std::swap(data[i], data[i + 1]);
}

// Loop marker numbers from the instrument chunk; -1 when none.
struct LoopMarkers {
  int begin = -1;
  int end = -1;
};

// Reads the "MARK" chunk's markers into sync points and loop positions.
bool ReadMarkers(SystemFileHandle *f, AiffInfo *info, bool framesKnown, const LoopMarkers &loop,
                 OsndSyncList *sync) {
  uint8_t c[2];
  if (!ReadExact(f, c, 2)) return Osnd_Fail(OSND_ERR_FILE_BAD);
  const int count = Be16(c);
  if (count == 0) return true;
  if (sync) OsndStream_FreeSyncPoints(sync);
  for (int n = 1; n <= count; ++n) {
    uint8_t head[7];
    if (!ReadExact(f, head, 7)) return Osnd_Fail(OSND_ERR_FILE_BAD);
    uint32_t position = Be32(head + 2);
    const int length = head[6];
    char name[256] = {};
    if (length > 0 && !ReadExact(f, name, length)) return Osnd_Fail(OSND_ERR_FILE_BAD);
    // The length byte and the text together take an even number of bytes.
    if ((length & 1) == 0) SystemFile_Seek(f, 1, SEEK_CUR);
    if (framesKnown && position >= info->frames) position = info->frames > 0 ? info->frames - 1 : 0;
    if (n == loop.begin)
      info->loopStart = position;
    else if (n == loop.end)
      info->loopEnd = position;
    if (sync && !OsndStream_AddSyncPointNode(sync, position, name)) return Osnd_Fail(OSND_ERR_MEMORY);
  }
  return true;
}

}  // namespace

double FormatAiff_ExtendedToDouble(const uint8_t b[10]) {
  const bool negative = b[0] & 0x80;
  const int exponent = (b[0] & 0x7F) << 8 | b[1];
  const uint32_t hi = Be32(b + 2), lo = Be32(b + 6);
  if ((exponent == 0 && hi == 0 && lo == 0) || exponent == 0x7FFF) return 0.0;
  const float value = std::ldexp(float(hi), exponent - 16383 - 31) + std::ldexp(float(lo), exponent - 16383 - 63);
  return std::trunc(negative ? -double(value) : double(value));
}

bool FormatAiff_WalkChunks(SystemFileHandle *f, AiffInfo *info, OsndSyncList *sync) {
  uint8_t form[12] = {};
  SystemFile_Seek(f, 0, SEEK_SET);
  const int got = std::max(0, SystemFile_Read(form, 1, 12, f));
  // A short file is damaged only when what it holds begins as an AIFF file does.
  const bool prefix = std::memcmp(form, "FORM", std::min(got, 4)) == 0 &&
                      (got <= 8 || std::memcmp(form + 8, "AIFF", size_t(got - 8)) == 0);
  if (got < 12) return Osnd_Fail(prefix && got > 0 ? OSND_ERR_FILE_BAD : OSND_ERR_FILE_FORMAT);
  if (std::memcmp(form, "FORM", 4) != 0 || std::memcmp(form + 8, "AIFF", 4) != 0)
    return Osnd_Fail(OSND_ERR_FILE_FORMAT);
  const int64_t formSize = Be32(form + 4);

  info->dataOffset = -1;
  info->dataLength = 0;
  info->dataCut = false;
  info->frames = 0;
  info->loopStart = info->loopEnd = 0;
  info->rate = 0;
  unsigned mode = info->mode & ~kFormatBits;
  bool framesKnown = false;
  LoopMarkers loop;
  for (int64_t header = 12; header < formSize;) {
    SystemFile_Seek(f, header, SEEK_SET);
    uint8_t h[8];
    if (!ReadExact(f, h, 8)) return Osnd_Fail(OSND_ERR_FILE_BAD);
    const int32_t size = int32_t(Be32(h + 4));
    if (size < 0) break;
    if (std::memcmp(h, "COMM", 4) == 0) {
      uint8_t c[18];
      if (!ReadExact(f, c, 18)) return Osnd_Fail(OSND_ERR_FILE_BAD);
      const int channels = Be16(c), bits = Be16(c + 6);
      info->frames = Be32(c + 2);
      framesKnown = true;
      const double rate = FormatAiff_ExtendedToDouble(c + 8);
      info->rate = rate >= 1 && rate <= kMaxRate ? int(rate) : 0;
      mode &= ~kFormatBits;
      if (bits == 16) mode |= OSND_MODE_16BITS;
      if (bits == 8) mode |= OSND_MODE_8BITS;
      if (channels == 2) mode |= OSND_MODE_STEREO;
      if (channels == 1) mode |= OSND_MODE_MONO;
    } else if (std::memcmp(h, "SSND", 4) == 0 && info->dataOffset < 0) {
      uint8_t s[8];
      if (size < 8 || !ReadExact(f, s, 8)) return Osnd_Fail(OSND_ERR_FILE_BAD);
      info->dataOffset = header + 16;
      info->dataLength = uint32_t(size) - 8;
    } else if (std::memcmp(h, "INST", 4) == 0) {
      uint8_t in[20];
      if (!ReadExact(f, in, 20)) return Osnd_Fail(OSND_ERR_FILE_BAD);
      loop.begin = int16_t(Be16(in + 10));
      loop.end = int16_t(Be16(in + 12));
      if (loop.begin == 0) {
        loop.begin = 1;
        ++loop.end;
      }
    } else if (std::memcmp(h, "MARK", 4) == 0) {
      if (!ReadMarkers(f, info, framesKnown, loop, sync)) return false;
    }
    header += 8 + int64_t(size) + (size & 1);
  }
  info->mode = mode;
  if (!(mode & (OSND_MODE_8BITS | OSND_MODE_16BITS)) || !(mode & (OSND_MODE_MONO | OSND_MODE_STEREO))) return false;
  if (info->rate < 1) return false;
  if (info->dataOffset < 0) {
    info->dataOffset = 0;
    return false;
  }
  // A sound chunk's size is only a claim: what lies past the end of the file
  // is not sound data, and must not be allocated or played as such.
  SystemFile_Seek(f, 0, SEEK_END);
  const int64_t held = std::max<int64_t>(0, SystemFile_Tell(f) - info->dataOffset);
  if (int64_t(info->dataLength) > held) {
    info->dataLength = uint32_t(held);
    info->dataCut = true;
  }
  return true;
}

namespace {

bool OpenStream(OsndFormatInfo *out, AiffInfo &info) {
  out->dataOffset = uint32_t(-1);
  if (!out->file) return Osnd_Fail(OSND_ERR_FILE_FORMAT);
  info = AiffInfo{};
  info.mode = out->mode;
  if (!FormatAiff_WalkChunks(out->file, &info, out->syncPoints)) {
    if (out->syncPoints) OsndStream_FreeSyncPoints(out->syncPoints);
    return false;
  }
  const unsigned mode = (info.mode & ~(OSND_MODE_UNSIGNED | OSND_MODE_SIGNED)) | OSND_MODE_SIGNED;
  int frameBytes = (mode & OSND_MODE_16BITS) ? 2 : 1;
  if (mode & OSND_MODE_STEREO) frameBytes *= 2;
  out->mode = mode;
  out->rate = info.rate;
  out->channels = (mode & OSND_MODE_STEREO) ? 2 : 1;
  out->dataLength = info.dataLength;
  out->decodedLength = info.dataLength;  // the data is PCM already
  out->dataOffset = uint32_t(info.dataOffset);
  out->state = nullptr;
  out->blockSize = frameBytes;
  out->lengthMs = 0;
  out->loopStart = info.loopStart;
  out->loopEnd = info.loopEnd;
  out->source = OSND_SOURCE_AIFF;
  out->callbacks = OsndStreamCallbacks{FormatAiff_Read, nullptr, nullptr, nullptr};
  return true;
}

}  // namespace

bool FormatAiff_OpenStream(OsndFormatInfo *out) {
  AiffInfo info;
  return OpenStream(out, info);
}

bool FormatAiff_Read(OSND_STREAM *s, uint8_t *, int, uint8_t *destination, int *bytes) {
  const int64_t position = SystemFile_Tell(s->file);
  const int64_t end = int64_t(s->dataStart) + s->dataLength;
  const bool sixteen = s->mode & OSND_MODE_16BITS;
  int want = int(std::min<int64_t>(std::max(*bytes, 0), std::max<int64_t>(0, end - position)));
  if (sixteen) want &= ~1;
  const int got = std::max(0, SystemFile_Read(destination, 1, want, s->file));
  if (sixteen) SwapWords(destination, size_t(got));
  *bytes = sixteen ? got & ~1 : got;
  return got > 0 && position + got < end;
}

OSND_SAMPLE *OsndFormatAiff_LoadSample(SystemFileHandle *file, int index, unsigned mode, const char *name) {
  OsndFormatInfo info{};
  info.file = file;
  info.mode = mode;
  AiffInfo chunks;
  if (!OpenStream(&info, chunks)) {
    Osnd_SetError(OSND_ERR_FILE_FORMAT);
    return nullptr;
  }
  const unsigned m = info.mode;
  const int frameBytes = info.blockSize;
  const uint32_t samples = info.dataLength / uint32_t(frameBytes);
  // Sound data shorter than its chunk says is damaged: refused before any
  // allocation of the size claimed.
  if (samples < 1 || chunks.dataCut) {
    Osnd_SetError(OSND_ERR_FILE_BAD);
    return nullptr;
  }
  OSND_SAMPLE *sample = OsndFormat_AllocSample(index, int(samples), m, mode, info.rate);
  if (!sample) return nullptr;
  OSND_Sample_SetLoopPoints(sample, 0, int(samples) - 1);

  const int bytes = int(samples) * frameBytes;
  void *p1 = nullptr, *p2 = nullptr;
  unsigned l1 = 0, l2 = 0;
  if (!OSND_Sample_Lock(sample, 0, bytes, &p1, &p2, &l1, &l2) || !p1) {
    OSND_Sample_Free(sample);
    Osnd_SetError(OSND_ERR_MEMORY);
    return nullptr;
  }
  SystemFile_Seek(file, info.dataOffset, SEEK_SET);
  const int got = SystemFile_Read(p1, 1, int(l1), file);
  if (got != int(l1)) {
    OSND_Sample_Unlock(sample, p1, p2, l1, l2);
    OSND_Sample_Free(sample);
    Osnd_SetError(OSND_ERR_FILE_BAD);
    return nullptr;
  }
  if (m & OSND_MODE_16BITS) SwapWords(static_cast<uint8_t *>(p1), l1);
  OSND_Sample_Unlock(sample, p1, p2, l1, l2);

  if (info.loopEnd > info.loopStart && info.loopStart < samples) {
    OSND_Sample_SetLoopPoints(sample, int(info.loopStart), int(std::min(info.loopEnd, samples - 1)));
    if (!(mode & OSND_MODE_LOOP_OFF)) OSND_Sample_SetMode(sample, OSND_MODE_LOOP_NORMAL);
  }
  return OsndFormat_LoadedSample(sample, name);
}

bool OsndFormatAiff_OpenStream(OsndFormatInfo *info) { return FormatAiff_OpenStream(info); }
