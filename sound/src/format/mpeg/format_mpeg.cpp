#include "sound/src/format/mpeg/format_mpeg.h"

#include "sound/src/format/format_wav.h"
#include "sound/src/system/system_memory.h"
#include "sound/src/system/system_string.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr int kSearchWindow = 4096;  // positions tried for the first frame
constexpr int kResyncWindow = 65536; // bytes skipped looking for the next frame
constexpr int kTableGrowth = 4096;

bool ReadExact(SystemFileHandle *file, void *destination, int bytes) {
  return SystemFile_Read(destination, 1, bytes, file) == bytes;
}

// A fresh header decode: the layer lock of the search is released first.
int TryHeader(MpegDecoder *d, const uint8_t *header, int *rate, int *channels, int *length) {
  d->layerLock = 0;
  return MpegDecoder_DecodeHeader(d, header, rate, channels, length);
}

bool AddFrame(MpegFrameTable *table, uint32_t offset) {
  if (table->count == table->capacity) {
    const int capacity = table->capacity + kTableGrowth;
    void *grown = SystemMemory_Realloc(nullptr, table->offsets, int(sizeof(uint32_t)) * capacity, __FILE__, __LINE__);
    if (!grown) return false;
    table->offsets = static_cast<uint32_t *>(grown);
    table->capacity = capacity;
  }
  table->offsets[table->count++] = offset;
  return true;
}

void FreeState(MpegStreamState *state) {
  if (!state) return;
  if (state->decoder) OSND_FREE_MEM(state->decoder);
  if (state->frames.offsets) OSND_FREE_MEM(state->frames.offsets);
  OSND_FREE_MEM(state);
}

// Where the first frame lies: a header at p whose successor, one full frame
// further, is a header of the same layer or lies past the end of the file.
bool FindFirstFrame(SystemFileHandle *file, MpegDecoder *d, int64_t start, int64_t end, int64_t *found) {
  int64_t p = start;
  int allowance = kSearchWindow;
  while (allowance-- > 0 && p + 4 <= end) {
    uint8_t h[4];
    SystemFile_Seek(file, p, SEEK_SET);
    int length = 0;
    if (!ReadExact(file, h, 4) || !TryHeader(d, h, nullptr, nullptr, &length)) {
      ++p;
      continue;
    }
    const int layer = d->layer;
    SystemFile_Seek(file, p + 4 + length, SEEK_SET);
    uint8_t next[4];
    bool confirmed = !ReadExact(file, next, 4);
    if (!confirmed) {
      d->layerLock = layer;
      confirmed = MpegDecoder_DecodeHeader(d, next, nullptr, nullptr, nullptr) != 0;
    }
    if (confirmed) {
      // Restore the fields of the frame at p.
      TryHeader(d, h, nullptr, nullptr, nullptr);
      *found = p;
      return true;
    }
    ++p;
    allowance = kSearchWindow;
  }
  return false;
}

// Decodes the frame at byte `at` and drops its sound, for what it leaves in
// the decoder; a frame that does not read whole leaves the decoder without one.
void DecodeFrameFor(MpegStreamState *s, SystemFileHandle *file, int64_t at) {
  MpegDecoder *d = s->decoder;
  SystemFile_Seek(file, at, SEEK_SET);
  int length = 0;
  if (!ReadExact(file, s->frame, 4) || !MpegDecoder_DecodeHeader(d, s->frame, nullptr, nullptr, &length) ||
      length > MPEG_MAX_BODY || !ReadExact(file, s->frame + 4, length)) {
    d->frameLength = 0;
    return;
  }
  uint8_t scratch[MPEG_MAX_FRAME_OUTPUT];
  int written = 0;
  MpegDecoder_DecodeFrame(d, s->frame, 4 + length, scratch, &written);
}

// Before layer 3 frame `index` decodes after a seek, the frames before it are
// decoded and their sound dropped: they refill the bit reservoir the frame's
// main data may begin in, the IMDCT overlap and the synthesis history, so
// that the frame sounds as it does in a decode from the start.
void PrimeLayer3(MpegStreamState *s, SystemFileHandle *file, int64_t dataStart, int index) {
  constexpr uint32_t kReach = 1024;  // bytes back: the reservoir (511) with headers to spare
  constexpr int kMostFrames = 16;
  if (index == 0) return;
  const uint32_t *offsets = s->frames.offsets;
  int first = index - 1;
  while (first > 0 && index - first < kMostFrames && offsets[index - 1] - offsets[first] < kReach) --first;
  for (int i = first; i < index; ++i) DecodeFrameFor(s, file, dataStart + offsets[i]);
}

// The same for streams without a frame table, landing at byte p: the frames
// before it are those of the first chain of headers, starting up to a
// reservoir's reach back, whose frame lengths lead exactly to p. True when
// frames were decoded.
bool PrimeLayer3Before(MpegStreamState *s, SystemFileHandle *file, int64_t dataStart, int64_t p) {
  constexpr int64_t kReach = 1024 + 2 * (4 + MPEG_MAX_BODY);
  constexpr int kMostFrames = 16;
  MpegDecoder *d = s->decoder;
  int64_t chain[kMostFrames];
  for (int64_t q = std::max(dataStart, p - kReach); q < p; ++q) {
    int count = 0;
    int64_t r = q;
    while (r < p && count < kMostFrames) {
      uint8_t h[4];
      int length = 0;
      SystemFile_Seek(file, r, SEEK_SET);
      if (!ReadExact(file, h, 4) || !MpegDecoder_DecodeHeader(d, h, nullptr, nullptr, &length)) break;
      chain[count++] = r;
      r += 4 + length;
    }
    d->frameLength = 0;
    if (r != p || count == 0) continue;
    for (int i = 0; i < count; ++i) DecodeFrameFor(s, file, chain[i]);
    return true;
  }
  return false;
}

// Header bits the frames of one stream share: sync, version, layer and
// sample rate; and whether it is mono.
bool SameKind(uint32_t a, uint32_t b) {
  constexpr uint32_t kFixed = 0xFFFE0C00u;
  return (a & kFixed) == (b & kFixed) && ((a >> 6 & 3) == 3) == ((b >> 6 & 3) == 3);
}

// After a byte seek the landing frame is searched for inside other frames'
// data, where bytes that read as a header are common, and now and then one
// whose length even leads to a true frame. The header just decoded at p
// counts only when one frame further on lies a header of its kind (or the
// data ends there) and one frame before it lies a header of its kind whose
// length leads to p (or p is where the data starts). The decoder is left
// with the fields of the header at p.
bool LandsOnFrame(MpegStreamState *s, SystemFileHandle *file, int64_t dataStart, int64_t dataEnd, int64_t p,
                  int length) {
  MpegDecoder *d = s->decoder;
  const uint32_t header = d->header;
  auto ofItsKind = [&](const uint8_t *h, int *bodyLength) {
    return MpegDecoder_DecodeHeader(d, h, nullptr, nullptr, bodyLength) && SameKind(d->header, header);
  };
  bool framed = true;
  const int64_t next = p + 4 + length;
  if (next + 4 <= dataEnd) {
    uint8_t h[4];
    SystemFile_Seek(file, next, SEEK_SET);
    framed = ReadExact(file, h, 4) && ofItsKind(h, nullptr);
  }
  if (framed && p > dataStart) {
    uint8_t before[4 + MPEG_MAX_BODY];
    const int64_t from = std::max(dataStart, p - int64_t(sizeof before));
    const int count = int(p - from);
    SystemFile_Seek(file, from, SEEK_SET);
    framed = false;
    if (ReadExact(file, before, count)) {
      for (int i = 0; i + 4 <= count && !framed; ++i) {
        int bodyLength = 0;
        framed = ofItsKind(before + i, &bodyLength) && i + 4 + bodyLength == count;
      }
    }
  }
  MpegDecoder_DecodeHeader(d, s->frame, nullptr, nullptr, nullptr);
  SystemFile_Seek(file, p + 4, SEEK_SET);
  return framed;
}

// The stream's read step: one whole frame into the decode buffer.
bool StreamRead(OSND_STREAM *s, uint8_t *, int, uint8_t *destination, int *bytes) {
  auto *state = static_cast<MpegStreamState *>(s->formatState);
  int drop = 0;
  if (state && state->decoder && state->resync && state->frames.count > 0) {
    // Exact opens restart at the frame holding the stream's sample position
    // (bytes of a VBR file are not in proportion to time) and drop the
    // samples of that frame before the position.
    const MpegDecoder *d = state->decoder;
    const uint32_t perFrame = uint32_t(d->bytesPerFrame / (2 * d->channels));
    if (perFrame > 0) {
      const uint32_t index = std::min<uint32_t>(s->pcmWritten / perFrame, uint32_t(state->frames.count - 1));
      drop = int(std::min<uint32_t>(s->pcmWritten - index * perFrame, perFrame)) * 2 * d->channels;
      s->decodeSkip = 0;
      SystemFile_Seek(s->file, int64_t(s->dataStart) + state->frames.offsets[index], SEEK_SET);
    }
  }
  const bool more = FormatMpeg_Read(state, s->file, s->dataStart, int64_t(s->dataStart) + s->dataLength,
                                    destination, bytes);
  if (drop > 0) {
    drop = std::min(drop, *bytes);
    std::memmove(destination, destination + drop, size_t(*bytes - drop));
    *bytes -= drop;
  }
  return more;
}

}  // namespace

void FormatMpeg_InitTables() { MpegDecoder_InitTables(); }

MpegDecoder *FormatMpeg_CreateDecoder() {
  MpegDecoder_InitTables();
  auto *d = static_cast<MpegDecoder *>(OSND_ALLOC(int(sizeof(MpegDecoder))));
  if (d) d->previousLength = -1;
  return d;
}

bool FormatMpeg_Close(void *state) {
  if (!state) return false;
  FreeState(static_cast<MpegStreamState *>(state));
  return true;
}

bool FormatMpeg_Reset(void *state) {
  auto *s = static_cast<MpegStreamState *>(state);
  if (!s) return false;
  s->resync = true;
  return MpegDecoder_Reset(s->decoder);
}

uint32_t FormatMpeg_ScanFrames(SystemFileHandle *file, uint32_t dataLength, int bytesPerFrame,
                               MpegFrameTable *table) {
  MpegDecoder *scratch = FormatMpeg_CreateDecoder();
  if (!scratch) {
    Osnd_SetError(OSND_ERR_MEMORY);
    return 0;
  }
  const int64_t start = SystemFile_Tell(file);
  uint64_t total = 0;
  uint32_t p = 0;  // bytes of the data walked so far
  while (uint64_t(p) + 4 <= dataLength) {
    uint8_t h[4];
    SystemFile_Seek(file, start + p, SEEK_SET);
    if (!ReadExact(file, h, 4)) break;
    int length = 0;
    // A frame counts when its whole length, header included, lies in the data.
    if (TryHeader(scratch, h, nullptr, nullptr, &length) && uint64_t(p) + 4 + length <= dataLength) {
      if (table && !AddFrame(table, p)) {
        OSND_FREE_MEM(scratch);
        SystemFile_Seek(file, start, SEEK_SET);
        Osnd_SetError(OSND_ERR_MEMORY);
        return 0;
      }
      total += uint64_t(bytesPerFrame);
      p += uint32_t(4 + length);
    } else {
      ++p;
    }
  }
  OSND_FREE_MEM(scratch);
  SystemFile_Seek(file, start, SEEK_SET);
  return uint32_t(std::min<uint64_t>(total, 0xFFFFFFFFu));
}

bool FormatMpeg_Read(void *state, SystemFileHandle *file, int64_t dataStart, int64_t dataEnd, uint8_t *destination,
                     int *bytes) {
  auto *s = static_cast<MpegStreamState *>(state);
  *bytes = 0;
  if (!s || !s->decoder) return false;
  MpegDecoder *d = s->decoder;
  int64_t p = SystemFile_Tell(file);
  if (s->resync && s->frames.count > 0) {
    // Exact opens restart at the frame holding the position.
    const uint32_t relative = uint32_t(std::clamp<int64_t>(p - dataStart, 0, 0xFFFFFFFF));
    uint32_t *end = s->frames.offsets + s->frames.count;
    const uint32_t *after = std::upper_bound(s->frames.offsets, end, relative);
    const int index = after == s->frames.offsets ? 0 : int(after - s->frames.offsets) - 1;
    p = dataStart + s->frames.offsets[index];
    if (d->layer == 3) PrimeLayer3(s, file, dataStart, index);
  }
  // Without a frame table the frames before the landing one are found once it is.
  const bool landing = s->resync && s->frames.count == 0;
  bool prime = landing && d->layer == 3;
  s->resync = false;
  for (int skipped = 0; skipped < kResyncWindow && p + 4 <= dataEnd; ++skipped, ++p) {
    SystemFile_Seek(file, p, SEEK_SET);
    if (!ReadExact(file, s->frame, 4)) return false;
    int length = 0;
    if (!MpegDecoder_DecodeHeader(d, s->frame, nullptr, nullptr, &length)) continue;
    if (p + 4 + length > dataEnd || length > MPEG_MAX_BODY) {
      d->frameLength = 0;
      continue;
    }
    if (landing) {
      if (!LandsOnFrame(s, file, dataStart, dataEnd, p, length)) {
        d->frameLength = 0;
        continue;
      }
    } else if (skipped > 0 && p + 4 + length + 2 <= dataEnd) {
      // After skipped bytes a header is trusted only when another frame follows it.
      uint8_t next[2];
      SystemFile_Seek(file, p + 4 + length, SEEK_SET);
      if (ReadExact(file, next, 2) && (next[0] != 0xFF || (next[1] & 0xE0) != 0xE0)) {
        d->frameLength = 0;
        continue;
      }
      SystemFile_Seek(file, p + 4, SEEK_SET);
    }
    if (prime) {
      prime = false;
      if (PrimeLayer3Before(s, file, dataStart, p)) {
        // Priming used the frame buffer and the header fields: the landing frame again.
        SystemFile_Seek(file, p, SEEK_SET);
        if (!ReadExact(file, s->frame, 4) || !MpegDecoder_DecodeHeader(d, s->frame, nullptr, nullptr, &length))
          return false;
      }
      SystemFile_Seek(file, p + 4, SEEK_SET);
    }
    if (!ReadExact(file, s->frame + 4, length)) return false;
    int written = 0;
    MpegDecoder_DecodeFrame(d, s->frame, 4 + length, destination, &written);
    *bytes = written;
    return p + 4 + length < dataEnd;
  }
  return false;
}

bool OsndFormatMpeg_OpenStream(OsndFormatInfo *info) {
  SystemFileHandle *file = info->file;
  if (!file) return Osnd_Fail(OSND_ERR_FILE_FORMAT);
  auto *state = static_cast<MpegStreamState *>(OSND_ALLOC(int(sizeof(MpegStreamState))));
  MpegDecoder *d = state ? FormatMpeg_CreateDecoder() : nullptr;
  if (!d) {
    if (state) OSND_FREE_MEM(state);
    return Osnd_Fail(OSND_ERR_MEMORY);
  }
  state->decoder = d;
  auto refuse = [&](int code) {
    if (info->syncPoints) OsndStream_FreeSyncPoints(info->syncPoints);
    FreeState(state);
    return Osnd_Fail(code);
  };

  SystemFile_Seek(file, 0, SEEK_END);
  const int64_t fileLength = SystemFile_Tell(file);
  SystemFile_Seek(file, 0, SEEK_SET);
  WavFormat wav{};
  int64_t dataOffset = 0;
  uint32_t dataLength = 0, loopStart = 0, loopEnd = 0;
  const int lastError = gOsndError.lastError;
  if (FormatWav_WalkChunks(file, &wav, &dataOffset, &dataLength, info->syncPoints, &loopStart, &loopEnd)) {
    if (wav.tag != 0x50 && wav.tag != 0x55) return refuse(OSND_ERR_FILE_FORMAT);
  } else {
    // Not RIFF, or no "data" chunk: the file itself is searched.
    if (info->syncPoints) OsndStream_FreeSyncPoints(info->syncPoints);
    gOsndError.lastError = lastError;
    dataOffset = 0;
    dataLength = 0;
    loopStart = loopEnd = 0;
  }
  if (dataLength == 0) dataLength = uint32_t(std::clamp<int64_t>(fileLength - dataOffset, 0, 0xFFFFFFFF));

  int64_t first = 0;
  if (!FindFirstFrame(file, d, dataOffset, dataOffset + dataLength, &first)) return refuse(OSND_ERR_FILE_FORMAT);
  const int channels = d->channels;
  int rate = 0, length = 0;
  SystemFile_Seek(file, first, SEEK_SET);
  if (!ReadExact(file, state->frame, 4) || !TryHeader(d, state->frame, &rate, nullptr, &length))
    return refuse(OSND_ERR_FILE_FORMAT);

  unsigned mode = info->mode & ~(OSND_MODE_8BITS | OSND_MODE_MONO | OSND_MODE_STEREO | OSND_MODE_UNSIGNED);
  mode |= OSND_MODE_16BITS | OSND_MODE_SIGNED | (channels == 1 ? OSND_MODE_MONO : OSND_MODE_STEREO);
  d->previousLength = -1;

  // The first frame tells how many bytes every frame decodes to.
  int perFrame = 0;
  uint8_t scratch[MPEG_MAX_FRAME_OUTPUT];
  if (length <= MPEG_MAX_BODY && ReadExact(file, state->frame + 4, length))
    MpegDecoder_DecodeFrame(d, state->frame, 4 + length, scratch, &perFrame);
  if (perFrame == 0) perFrame = channels == 2 ? 4608 : 2304;
  d->bytesPerFrame = perFrame;
  d->layerLock = d->layer;

  const uint32_t dataFromFirst = uint32_t(dataOffset + dataLength - first);
  uint32_t decoded;
  if (info->mode & FORMAT_MPEG_EXACT) {
    SystemFile_Seek(file, first, SEEK_SET);
    decoded = FormatMpeg_ScanFrames(file, dataFromFirst, perFrame, &state->frames);
    if (decoded == 0) return refuse(gOsndError.lastError == OSND_ERR_NONE ? OSND_ERR_FILE_FORMAT : int(gOsndError.lastError));
    d->exactTotal = decoded;
  } else {
    const unsigned fullLength = unsigned(4 + length + 1) & ~1u;
    decoded = uint32_t(double(unsigned(perFrame)) / double(fullLength) * double(dataFromFirst));
    info->lengthEstimated = true;
  }

  info->mode = mode;
  info->rate = rate;
  info->channels = channels;
  info->dataOffset = uint32_t(first);
  info->dataLength = dataFromFirst;
  info->decodedLength = decoded;
  info->state = state;
  info->blockSize = 5000;
  info->lengthMs = int(double(decoded / 2u / unsigned(channels)) / rate * 1000.0);
  info->loopStart = loopStart;
  info->loopEnd = loopEnd;
  info->source = OSND_SOURCE_MPEG;
  info->callbacks.read = StreamRead;
  info->inputSize = 0;
  info->decodeBlock = MPEG_MAX_FRAME_OUTPUT;
  info->callbacks.reset = FormatMpeg_Reset;
  info->callbacks.close = FormatMpeg_Close;
  MpegDecoder_Reset(d);
  SystemFile_Seek(file, first, SEEK_SET);
  return true;
}

OSND_SAMPLE *OsndFormatMpeg_LoadSample(SystemFileHandle *file, int index, unsigned mode, const char *name) {
  OsndFormatInfo info{};
  info.file = file;
  info.mode = mode;
  if (!OsndFormatMpeg_OpenStream(&info)) {
    Osnd_SetError(OSND_ERR_FILE_FORMAT);
    return nullptr;
  }
  auto *state = static_cast<MpegStreamState *>(info.state);
  MpegDecoder *d = state->decoder;
  const bool stereo = info.channels == 2;
  const int frameBytes = stereo ? 4 : 2;
  uint32_t total = d->exactTotal;
  if (!(mode & FORMAT_MPEG_EXACT)) {
    SystemFile_Seek(file, info.dataOffset, SEEK_SET);
    total = FormatMpeg_ScanFrames(file, info.dataLength, stereo ? 4608 : 2304, nullptr);
  }
  if (total == 0 || total / unsigned(frameBytes) > 0x7FFFFFFFu) {
    FreeState(state);
    if (gOsndError.lastError == OSND_ERR_NONE) Osnd_SetError(OSND_ERR_FILE_BAD);
    return nullptr;
  }
  const int samples = int(total / unsigned(frameBytes));
  unsigned allocMode = info.mode;
  if ((allocMode & OSND_MODE_HW3D) && stereo) allocMode |= OSND_MODE_FORCE_MONO;
  if ((allocMode & OSND_MODE_FORCE_MONO) && stereo) allocMode &= ~OSND_MODE_HW3D;
  OSND_SAMPLE *sample = OSND_Sample_Alloc(index, samples, allocMode, info.rate, 255, stereo ? -1 : 128, 255);
  if (!sample) {
    FreeState(state);
    return nullptr;
  }

  uint32_t produced = 0;
  void *p1 = nullptr, *p2 = nullptr;
  unsigned l1 = 0, l2 = 0;
  if (OSND_Sample_Lock(sample, 0, int(total), &p1, &p2, &l1, &l2) && p1) {
    auto *out = static_cast<uint8_t *>(p1);
    const int64_t dataEnd = int64_t(info.dataOffset) + info.dataLength;
    uint8_t frame[MPEG_MAX_FRAME_OUTPUT];
    MpegDecoder_Reset(d);
    SystemFile_Seek(file, info.dataOffset, SEEK_SET);
    for (;;) {
      int got = 0;
      const bool more = FormatMpeg_Read(state, file, info.dataOffset, dataEnd, frame, &got);
      // Frames go in whole while they fit; the last one may be cut at the end.
      const uint32_t take = std::min<uint32_t>(uint32_t(got), l1 - produced);
      std::memcpy(out + produced, frame, take);
      produced += take;
      if (!more || produced >= l1) break;
    }
    if (produced < l1) std::memset(out + produced, 0, l1 - produced);
    OSND_Sample_Unlock(sample, p1, p2, l1, l2);
  }
  const int decodedSamples = int(produced / unsigned(frameBytes));
  if (decodedSamples > 0 && decodedSamples < int(sample->length)) sample->length = unsigned(decodedSamples);
  const int length = int(sample->length);
  if (info.loopStart < info.loopEnd && info.loopEnd < unsigned(length)) {
    OSND_Sample_SetLoopPoints(sample, int(info.loopStart), int(info.loopEnd));
    if (!(mode & OSND_MODE_LOOP_OFF)) OSND_Sample_SetMode(sample, OSND_MODE_LOOP_NORMAL | (sample->mode & OSND_MODE_2D));
  } else if (length > 1) {
    OSND_Sample_SetLoopPoints(sample, 0, length - 1);
  }
  FreeState(state);
  return OsndFormat_LoadedSample(sample, name);
}
