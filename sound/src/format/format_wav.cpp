#include "sound/src/format/format_wav.h"

#include "sound/src/format/format_imaadpcm.h"
#include "sound/src/format/format_wav_convert.h"
#include "sound/src/system/system_string.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr int kTagPcm = 1;
constexpr int kTagIma = 0x11;
constexpr int kTagExtensible = 0xFFFE;

// Decoding state of a WAV stream: IMA ADPCM blocks or a converter.
struct WavState {
  bool ima;
  WavFormat format;
  WavConverter converter;
};

uint32_t U32(const uint8_t *p) { return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24; }
uint16_t U16(const uint8_t *p) { return uint16_t(p[0] | p[1] << 8); }

bool ReadExact(SystemFileHandle *f, void *buffer, int bytes) { return SystemFile_Read(buffer, 1, bytes, f) == bytes; }

void ReadLabels(SystemFileHandle *f, int64_t listData, uint32_t listSize, OsndSyncList *sync, uint32_t cueCount) {
  int64_t sub = listData + 4;  // after the list type
  for (int guard = 0; guard < 4096 && sub - listData + 4 < int64_t(listSize); ++guard) {
    SystemFile_Seek(f, sub, SEEK_SET);
    uint8_t h[12];
    if (!ReadExact(f, h, 8)) return;
    const uint32_t size = U32(h + 4);
    if (size > 0x7FFFFFFF) return;
    if (std::memcmp(h, "labl", 4) == 0 && size >= 4 && ReadExact(f, h + 8, 4)) {
      const uint32_t id = U32(h + 8);
      for (uint32_t i = 1; i <= cueCount; ++i) {
        OsndSyncPoint *p = OsndStream_GetSyncPoint(sync, int(i));
        if (!p || p == &sync->tail) break;
        if (p->id != id) continue;
        char text[256] = {};
        const int length = int(std::min<uint32_t>(size - 4, 255));
        const int got = SystemFile_Read(text, 1, length, f);
        text[std::max(got, 0)] = '\0';
        std::memcpy(p->name, text, sizeof p->name);
        break;
      }
    }
    sub += 8 + int64_t(size) + (size & 1);
  }
}

bool Validate(const WavFormat &w) {
  if (w.channels < 1 || w.rate < 1 || w.rate > 1000000 || w.blockAlign < 1) return false;
  if (w.tag == kTagIma) {
    return w.bits == 4 && w.channels <= 2 && w.samplesPerBlock >= 1 &&
           w.blockAlign >= ImaAdpcm_MinimumBlockAlign(w.channels, w.samplesPerBlock);
  }
  return true;
}

}  // namespace

bool FormatWav_WalkChunks(SystemFileHandle *f, WavFormat *format, int64_t *dataOffset, uint32_t *dataLength,
                          OsndSyncList *sync, uint32_t *loopStart, uint32_t *loopEnd) {
  uint8_t riff[12];
  SystemFile_Seek(f, 0, SEEK_SET);
  if (!ReadExact(f, riff, 12) || std::memcmp(riff, "RIFF", 4) != 0) return Osnd_Fail(OSND_ERR_FILE_FORMAT);
  const int64_t riffEnd = 8 + int64_t(U32(riff + 4));
  int64_t data = -1;
  uint32_t dataSize = 0, cueCount = 0;
  bool haveFormat = false;
  int64_t header = 12;
  for (int guard = 0; guard < 65536 && header < riffEnd; ++guard) {
    SystemFile_Seek(f, header, SEEK_SET);
    uint8_t h[8];
    if (!ReadExact(f, h, 8)) break;  // a short read ends the walk
    const uint32_t size = U32(h + 4);
    if (size > 0x7FFFFFFF) break;
    if (std::memcmp(h, "fmt ", 4) == 0 && format && size >= 16) {
      uint8_t b[40] = {};
      SystemFile_Read(b, 1, int(std::min<uint32_t>(size, 40)), f);
      WavFormat w{};
      w.tag = U16(b);
      w.channels = U16(b + 2);
      w.rate = U32(b + 4);
      w.bytesPerSecond = U32(b + 8);
      w.blockAlign = U16(b + 12);
      w.bits = U16(b + 14);
      w.samplesPerBlock = size >= 20 ? U16(b + 18) : 0;
      if (w.tag == kTagExtensible) w.tag = size >= 25 ? b[24] : 0;
      *format = w;
      haveFormat = true;
    } else if (std::memcmp(h, "data", 4) == 0 && data == -1) {
      data = header + 8;
      dataSize = size;
    } else if (std::memcmp(h, "cue ", 4) == 0 && sync) {
      uint8_t c[24];
      if (size >= 4 && ReadExact(f, c, 4)) {
        const uint32_t count = std::min<uint32_t>(U32(c), (size - 4) / 24);
        if (count > 0) {
          OsndStream_FreeSyncPoints(sync);
          cueCount = 0;
          for (uint32_t i = 0; i < count && ReadExact(f, c, 24); ++i) {
            OsndSyncPoint *p = OsndStream_AddSyncPointNode(sync, U32(c + 20), "");
            if (!p) break;
            p->id = U32(c);
            ++cueCount;
          }
        }
      }
    } else if (std::memcmp(h, "LIST", 4) == 0 && sync && size >= 4) {
      uint8_t type[4];
      if (ReadExact(f, type, 4) && std::memcmp(type, "adtl", 4) == 0) ReadLabels(f, header + 8, size, sync, cueCount);
    } else if (std::memcmp(h, "smpl", 4) == 0) {
      uint8_t s[60];
      if (size >= 60 && ReadExact(f, s, 60) && loopStart && loopEnd) {
        *loopStart = U32(s + 44);
        *loopEnd = U32(s + 48);
      }
    }
    header += 8 + int64_t(size) + (size & 1);
  }
  if (format && !haveFormat) return Osnd_Fail(OSND_ERR_FILE_FORMAT);
  if (data < 0) return false;
  // A "data" size beyond the end of the file is cut to what the file holds.
  SystemFile_Seek(f, 0, SEEK_END);
  const int64_t fileEnd = SystemFile_Tell(f);
  if (data + int64_t(dataSize) > fileEnd) dataSize = uint32_t(std::max<int64_t>(0, fileEnd - data));
  if (dataOffset) *dataOffset = data;
  if (dataLength) *dataLength = dataSize;
  return true;
}

bool FormatWav_OpenStream(OsndFormatInfo *info) {
  WavFormat w{};
  int64_t dataOffset = -1;
  uint32_t dataLength = 0, loopStart = 0, loopEnd = 0;
  if (!FormatWav_WalkChunks(info->file, &w, &dataOffset, &dataLength, info->syncPoints, &loopStart, &loopEnd)) {
    if (info->syncPoints) OsndStream_FreeSyncPoints(info->syncPoints);
    if (gOsndError.lastError == OSND_ERR_NONE) Osnd_SetError(OSND_ERR_FILE_FORMAT);
    return false;
  }
  auto refuse = [&](int code) {
    if (info->syncPoints) OsndStream_FreeSyncPoints(info->syncPoints);
    return Osnd_Fail(code);
  };
  if (w.tag == 0x50 || w.tag == 0x55) return refuse(OSND_ERR_FILE_FORMAT);  // MPEG audio: the MPEG reader's
  if (!Validate(w)) return refuse(OSND_ERR_FILE_FORMAT);
  WavState state{};
  uint64_t decoded;
  int outBits = 16;
  if (w.tag == kTagPcm && (w.bits == 8 || w.bits == 16)) {
    if (w.channels > 2 || w.blockAlign != w.channels * w.bits / 8) return refuse(OSND_ERR_FILE_FORMAT);
    decoded = dataLength;
    outBits = w.bits;
  } else if (w.tag == kTagIma) {
    const uint64_t blocks = dataLength / uint32_t(w.blockAlign);
    decoded = blocks * uint64_t(w.samplesPerBlock) * uint64_t(w.channels) * 2;
    state.ima = true;
  } else {
    if (!WavConverter_Open(w.tag, w.bits, w.channels, w.blockAlign, &state.converter))
      return refuse(OSND_ERR_FILE_FORMAT);
    decoded = WavConverter_Size(&state.converter, dataLength);
  }
  if (decoded > 0x7FFFFFFF) return refuse(OSND_ERR_FILE_BAD);
  info->state = nullptr;
  if (state.ima || state.converter.tag) {
    auto *copy = static_cast<WavState *>(OSND_ALLOC(int(sizeof(WavState))));
    if (!copy) return refuse(OSND_ERR_MEMORY);
    state.format = w;
    *copy = state;
    info->state = copy;
  }
  unsigned mode = info->mode & ~0x1F8u;
  mode |= outBits == 8 ? (OSND_MODE_8BITS | OSND_MODE_UNSIGNED) : (OSND_MODE_16BITS | OSND_MODE_SIGNED);
  mode |= w.channels == 1 ? OSND_MODE_MONO : OSND_MODE_STEREO;
  info->mode = mode;
  info->rate = int(w.rate);
  info->channels = w.channels;
  info->dataLength = dataLength;
  info->decodedLength = uint32_t(decoded);
  info->dataOffset = uint32_t(dataOffset);
  info->blockSize = w.blockAlign;
  info->lengthMs = 0;
  info->loopStart = loopStart;
  info->loopEnd = loopEnd;
  info->source = OSND_SOURCE_WAV;
  info->callbacks.close = FormatWav_Close;
  info->callbacks.reset = nullptr;
  return true;
}

bool FormatWav_Close(void *state) {
  OSND_FREE_MEM(state);
  return true;
}

bool FormatWav_DecodeBlock(void *p, const uint8_t *source, int sourceBytes, uint8_t *destination,
                           int *destinationBytes) {
  auto *state = static_cast<WavState *>(p);
  const int room = std::max(*destinationBytes, 0);
  *destinationBytes = 0;
  if (!state) return true;
  if (state->ima) {
    const WavFormat &w = state->format;
    const int blockBytes = w.samplesPerBlock * w.channels * 2;
    const int blocks = std::min(sourceBytes / w.blockAlign, blockBytes > 0 ? room / blockBytes : 0);
    auto *out = reinterpret_cast<int16_t *>(destination);
    // A damaged block header ends this call; the size reported stays whole so
    // that positions keep their pace.
    if (w.channels == 1)
      ImaAdpcm_DecodeMono(source, out, blocks, w.blockAlign, w.samplesPerBlock, 1);
    else
      ImaAdpcm_DecodeStereo(source, out, blocks, w.blockAlign, w.samplesPerBlock);
    *destinationBytes = blocks * blockBytes;
    return true;
  }
  *destinationBytes = WavConverter_Convert(&state->converter, source, sourceBytes, reinterpret_cast<int16_t *>(destination), room);
  return true;
}

OSND_SAMPLE *OsndFormatWav_LoadSample(SystemFileHandle *file, int index, unsigned mode, const char *name) {
  OsndFormatInfo info{};
  info.file = file;
  info.mode = mode;
  if (!FormatWav_OpenStream(&info)) {
    Osnd_SetError(OSND_ERR_FILE_FORMAT);
    return nullptr;
  }
  const unsigned m = info.mode;
  uint32_t samples = info.decodedLength;
  if (m & OSND_MODE_16BITS) samples /= 2;
  if (m & OSND_MODE_STEREO) samples /= 2;
  if (samples < 1) {
    FormatWav_Close(info.state);
    Osnd_SetError(OSND_ERR_FILE_BAD);
    return nullptr;
  }
  OSND_SAMPLE *sample =
      OsndFormat_AllocSample(index, int(samples), m & ~(OSND_MODE_UNSIGNED | OSND_MODE_IMA_ADPCM), mode, info.rate);
  if (!sample) {
    FormatWav_Close(info.state);
    return nullptr;
  }
  void *p1 = nullptr, *p2 = nullptr;
  unsigned l1 = 0, l2 = 0;
  if (!OSND_Sample_Lock(sample, 0, int(info.decodedLength), &p1, &p2, &l1, &l2) || !p1) {
    FormatWav_Close(info.state);
    OSND_Sample_Free(sample);
    Osnd_SetError(OSND_ERR_MEMORY);
    return nullptr;
  }
  SystemFile_Seek(file, info.dataOffset, SEEK_SET);
  int produced = 0;
  if (info.state) {
    auto *buffer = static_cast<uint8_t *>(OSND_ALLOC(int(info.dataLength) + 1));
    if (!buffer) {
      OSND_Sample_Unlock(sample, p1, p2, l1, l2);
      FormatWav_Close(info.state);
      OSND_Sample_Free(sample);
      Osnd_SetError(OSND_ERR_MEMORY);
      return nullptr;
    }
    const int got = std::max(0, SystemFile_Read(buffer, 1, int(info.dataLength), file));
    produced = int(l1);
    FormatWav_DecodeBlock(info.state, buffer, got, static_cast<uint8_t *>(p1), &produced);
    OSND_FREE_MEM(buffer);
  } else {
    const int element = (m & OSND_MODE_16BITS) ? 2 : 1;
    produced = std::max(0, SystemFile_Read(p1, element, int(l1) / element, file));
    if (m & OSND_MODE_8BITS) {
      auto *bytes = static_cast<uint8_t *>(p1);
      for (unsigned i = 0; i < l1; ++i) bytes[i] ^= 0x80;
    }
  }
  // A short file leaves silence behind what it held.
  if (unsigned(produced) < l1) std::memset(static_cast<uint8_t *>(p1) + produced, 0, l1 - unsigned(produced));
  OSND_Sample_Unlock(sample, p1, p2, l1, l2);
  sample->mode = (sample->mode & ~OSND_MODE_UNSIGNED) | OSND_MODE_SIGNED;
  if (info.loopEnd > info.loopStart && info.loopStart < samples) {
    OSND_Sample_SetLoopPoints(sample, int(info.loopStart), int(std::min(info.loopEnd, samples - 1)));
    if (!(mode & OSND_MODE_LOOP_OFF))
      OSND_Sample_SetMode(sample, OSND_MODE_LOOP_NORMAL);
  } else if (samples > 1) {
    OSND_Sample_SetLoopPoints(sample, 0, int(samples) - 1);
  }
  FormatWav_Close(info.state);
  return OsndFormat_LoadedSample(sample, name);
}
