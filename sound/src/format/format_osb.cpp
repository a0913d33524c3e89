#include "sound/src/format/format_osb.h"

#include "sound/src/channel/osnd_sample.h"
#include "sound/src/channel/software_channel.h"
#include "sound/src/format/format_imaadpcm.h"
#include "sound/src/format/format_oggvorbis.h"
#include "sound/src/system/system_string.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr int kFileHeaderBytes = 24;
constexpr int kOsb2HeaderBytes = 16;
constexpr int kFixedBytes30 = 64;
constexpr int kFixedBytes31 = 80;
constexpr int kBasicHeaderBytes = 8;
constexpr int kSyncEntryBytes = 260;
constexpr int kUploadBytes = 32768;
constexpr int kMaxRate = 1000000;  // as the WAV and AIFF readers allow
constexpr unsigned kAdpcmStored = OSND_MODE_VAG_ADPCM | OSND_MODE_GC_ADPCM;
constexpr unsigned kOsbHardware = OSND_MODE_HW3D | OSND_MODE_HW2D;
constexpr unsigned kFormatBits = OSND_MODE_8BITS | OSND_MODE_16BITS | OSND_MODE_MONO | OSND_MODE_STEREO |
                                 OSND_MODE_UNSIGNED | OSND_MODE_SIGNED | OSND_MODE_IMA_ADPCM |
                                 OSND_MODE_MULTICHANNEL;

uint32_t U32(const uint8_t *p) { return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24; }
uint16_t U16(const uint8_t *p) { return uint16_t(p[0] | p[1] << 8); }

OSND_SAMPLE *FailSample(int code) {
  Osnd_SetError(code);
  return nullptr;
}

int FixedBytes(const OsbBank *bank) { return bank->version == OSB_VERSION_31 ? kFixedBytes31 : kFixedBytes30; }
bool Basic(const OsbBank *bank) { return bank->flags & OSB_FLAG_BASIC_HEADERS; }

int ChannelCount(unsigned mode, int channels) {
  if (mode & OSND_MODE_MULTICHANNEL) return std::clamp(channels, 1, OSND_MAX_SUBCHANNELS);
  return (mode & OSND_MODE_STEREO) ? 2 : 1;
}

// Fills the per-sample tables: header places, data offsets and sync points.
bool IndexHeaders(OsbBank *bank, uint32_t dataStart) {
  const int fixed = FixedBytes(bank);
  const uint8_t *end = bank->headers + bank->headerBytes;
  uint8_t *p = bank->headers;
  uint64_t offset = dataStart;
  int extra = 0;  // bytes behind each basic header (GC ADPCM coefficients)
  for (int i = 0; i < bank->count; ++i) {
    const bool full = i == 0 || !Basic(bank);
    if (full) {
      if (end - p < fixed) return Osnd_Fail(OSND_ERR_FILE_BAD);
      const int size = U16(p);
      if (size < fixed || size > end - p) return Osnd_Fail(OSND_ERR_FILE_BAD);
      if (i == 0 && (U32(p + 48) & OSND_MODE_GC_ADPCM)) extra = size - fixed;
      bank->headerOf[i] = p;
      bank->dataOffsets[i] = uint32_t(offset);
      offset += U32(p + 36);
      p += size;
    } else {
      if (end - p < kBasicHeaderBytes + extra) return Osnd_Fail(OSND_ERR_FILE_BAD);
      bank->headerOf[i] = p;
      bank->dataOffsets[i] = uint32_t(offset);
      offset += U32(p + 4);
      p += kBasicHeaderBytes + extra;
    }
    if (offset > 0x7FFFFFFF) return Osnd_Fail(OSND_ERR_FILE_BAD);
  }
  return true;
}

bool ReadSyncPoints(OsbBank *bank) {
  if (Basic(bank) && bank->count > 1) return true;  // only full headers hold points
  const int fixed = FixedBytes(bank);
  for (int i = 0; i < bank->count; ++i) {
    const uint8_t *h = bank->headerOf[i];
    const int size = U16(h);
    if (!(U32(h + 48) & OSB_MODE_HAS_SYNC) || size - fixed < 8 || std::memcmp(h + fixed, "SYNC", 4) != 0) continue;
    // The count is bounded by the entries the header really holds.
    const uint32_t count = std::min<uint32_t>(U32(h + fixed + 4), uint32_t(size - fixed - 8) / kSyncEntryBytes);
    if (count == 0) continue;
    auto *points = static_cast<OsbSyncPoint *>(OSND_ALLOC(int(count * sizeof(OsbSyncPoint))));
    if (!points) return Osnd_Fail(OSND_ERR_MEMORY);
    const uint8_t *e = h + fixed + 8;
    for (uint32_t k = 0; k < count; ++k, e += kSyncEntryBytes) {
      points[k].position = U32(e);
      std::memcpy(points[k].name, e + 4, 255);
      points[k].name[255] = '\0';
    }
    bank->syncs[i] = points;
    bank->syncCounts[i] = int(count);
  }
  return true;
}

// PCM bytes an entry's samples take once decoded.
uint64_t DecodedBytes(const OsbEntry &e) {
  const uint64_t width = (e.mode & (OSND_MODE_IMA_ADPCM | OSND_MODE_16BITS)) ? 2 : 1;
  return uint64_t(e.length) * width * uint64_t(ChannelCount(e.mode, e.channels));
}

// The most PCM bytes an entry's stored bytes can decode to: raw data no more
// than its stored bytes, IMA ADPCM 128 bytes per channel from each block of
// 36, tracker-packed data one sample per stored bit at most, the console
// ADPCM kinds 1.75 samples a byte. (A sample kept as a sound file of its own
// is sized by its own reader.)
uint64_t HeldBytes(const OsbEntry &e) {
  const uint64_t stored = e.storedBytes, channels = uint64_t(ChannelCount(e.mode, e.channels));
  if (e.mode & kAdpcmStored) return stored * 4;
  if (e.mode & OSND_MODE_IMA_ADPCM) return (stored + 36 * channels - 1) / (36 * channels) * 128 * channels;
  if (e.mode & (OSND_MODE_TRACKER_PACKED | OSND_MODE_TRACKER_PACKED2)) return stored * 8 * 2 * channels;
  return stored;
}

template <typename T>
T *AllocTable(int count) {
  auto *table = static_cast<T *>(OSND_ALLOC(int(sizeof(T)) * count));
  if (table) std::memset(static_cast<void *>(table), 0, sizeof(T) * size_t(count));
  return table;
}

// A bank's sample stored in a source format, read by the other readers.
OSND_SAMPLE *LoadSourceFormat(OsndSampleReader sourceReader, SystemFileHandle *file, unsigned mode, const char *name) {
  OSND_SAMPLE *sample = sourceReader(file, -2, mode, name);
  if (!sample && gOsndError.lastError == OSND_ERR_NONE) Osnd_SetError(OSND_ERR_FILE_FORMAT);
  return sample;
}

// Tracker-packed data is one compressed run that unpacks into the whole
// sample: it is read and staged in a single upload.
bool UploadPacked(OSND_SAMPLE *sample, SystemFileHandle *file, const OsbEntry &e, unsigned mode) {
  auto *buffer = static_cast<uint8_t *>(OSND_ALLOC(int(std::max<uint32_t>(e.storedBytes, 1))));
  if (!buffer) return Osnd_Fail(OSND_ERR_MEMORY);
  const int got = std::max(0, SystemFile_Read(buffer, 1, int(e.storedBytes), file));
  const bool ok = got <= 0 || OsndSample_UploadRange(sample, buffer, 0, unsigned(got), mode);
  OSND_FREE_MEM(buffer);
  return ok;
}

// Reads the stored data block by block into the sample.
bool UploadData(OSND_SAMPLE *sample, SystemFileHandle *file, const OsbEntry &e, unsigned mode) {
  if (mode & (OSND_MODE_TRACKER_PACKED | OSND_MODE_TRACKER_PACKED2)) return UploadPacked(sample, file, e, mode);
  auto *buffer = static_cast<uint8_t *>(OSND_ALLOC(kUploadBytes));
  if (!buffer) return false;
  const int channels = ChannelCount(mode, e.channels);
  const bool ima = mode & OSND_MODE_IMA_ADPCM;
  int chunk = kUploadBytes;
  // IMA ADPCM blocks and multichannel frames are never split between uploads.
  if (ima)
    chunk = kUploadBytes / (36 * channels) * (36 * channels);
  else if (mode & OSND_MODE_MULTICHANNEL)
    chunk = kUploadBytes / (32 * channels) * (32 * channels);
  const uint64_t room = SoundSoftware_SampleBytes(sample);
  bool ok = true;
  for (uint32_t done = 0; done < e.storedBytes && ok;) {
    const int want = int(std::min<uint32_t>(uint32_t(chunk), e.storedBytes - done));
    const int got = std::max(0, SystemFile_Read(buffer, 1, want, file));
    if (got <= 0) break;  // a short file leaves silence behind what it held
    const uint64_t target = ima ? uint64_t(done) * 64 / 36 * 2 : done;
    if (target >= room) break;
    ok = OsndSample_UploadRange(sample, buffer, unsigned(target), unsigned(got), mode);
    done += uint32_t(got);
    if (got < want) break;
  }
  OSND_FREE_MEM(buffer);
  return ok;
}

// Replaces a stereo sample by its mix-down to mono.
OSND_SAMPLE *MixDown(OSND_SAMPLE *stereo) {
  const unsigned mode = (stereo->mode & ~OSND_MODE_STEREO) | OSND_MODE_MONO;
  OSND_SAMPLE *mono = OSND_Sample_Alloc(-2, int(stereo->length), mode, stereo->defFrequency, stereo->defVolume,
                                        stereo->defPan, 255);
  if (!mono) return nullptr;
  void *p1 = nullptr, *p2 = nullptr;
  unsigned l1 = 0, l2 = 0;
  if (!OSND_Sample_Lock(mono, 0, int(SoundSoftware_SampleBytes(mono)), &p1, &p2, &l1, &l2) || !p1) {
    OSND_Sample_Free(mono);
    return FailSample(OSND_ERR_MEMORY);
  }
  Osnd_DownmixStereoToMono(p1, stereo->data, int(stereo->length), stereo->mode);
  OSND_Sample_Unlock(mono, p1, p2, l1, l2);
  SystemString_Copy(mono->name, stereo->name);
  mono->loopStart = stereo->loopStart;
  mono->loopLength = stereo->loopLength;
  mono->varFrequency = stereo->varFrequency;
  mono->varVolume = stereo->varVolume;
  mono->varPan = stereo->varPan;
  OsndSample_UpdateGuard(mono);
  return mono;
}

// Stream decode of IMA ADPCM entries: whole blocks of 36 bytes per channel
// become 64 16-bit samples per channel.
bool ImaRead(OSND_STREAM *s, uint8_t *input, int inputSize, uint8_t *destination, int *bytes) {
  const int channels = std::max(s->channels, 1);
  const int blockIn = 36 * channels, blockOut = 128 * channels;
  const int64_t position = SystemFile_Tell(s->file);
  const int64_t end = int64_t(s->dataStart) + s->dataLength;
  const int64_t blocksLeft = std::max<int64_t>(0, end - position) / blockIn;
  const int blocks = int(std::min<int64_t>({blocksLeft, std::max(*bytes, 0) / blockOut, inputSize / blockIn}));
  *bytes = 0;
  if (blocks <= 0) return blocksLeft > 0;
  const int got = std::max(0, SystemFile_Read(input, 1, blocks * blockIn, s->file));
  const int whole = got / blockIn;
  if (whole > 0) OsndImaAdpcm_Decode(reinterpret_cast<int16_t *>(destination), input, whole, channels);
  *bytes = whole * blockOut;
  return whole == blocks && position + got < end;
}

}  // namespace

bool FormatOsb_GetEntry(const OsbBank *bank, int index, OsbEntry *e) {
  if (!bank || index < 0 || index >= bank->count) return false;
  const uint8_t *first = bank->headerOf[0];
  const uint8_t *h = bank->headerOf[index];
  const bool basic = index > 0 && Basic(bank);
  const uint8_t *full = basic ? first : h;
  std::memset(e, 0, sizeof *e);
  std::memcpy(e->name, full + 2, 30);
  e->name[30] = '\0';
  e->length = basic ? U32(h) : U32(h + 32);
  e->storedBytes = basic ? U32(h + 4) : U32(h + 36);
  e->loopStart = U32(full + 40);
  e->loopEnd = U32(full + 44);
  e->mode = U32(full + 48) & ~OSB_MODE_HAS_SYNC;
  e->frequency = int32_t(U32(full + 52));
  e->volume = U16(full + 56);
  e->pan = int16_t(U16(full + 58));
  e->priority = U16(full + 60);
  e->channels = U16(full + 62);
  e->dataOffset = bank->dataOffsets[index];
  return true;
}

bool FormatOsb_Close(void *p) {
  auto *bank = static_cast<OsbBank *>(p);
  if (!bank) return false;
  if (bank->syncs)
    for (int i = 0; i < bank->count; ++i) OSND_FREE_MEM(bank->syncs[i]);
  OSND_FREE_MEM(bank->syncs);
  OSND_FREE_MEM(bank->syncCounts);
  OSND_FREE_MEM(bank->dataOffsets);
  OSND_FREE_MEM(bank->headerOf);
  OSND_FREE_MEM(bank->headers);
  OSND_FREE_MEM(bank);
  return true;
}

bool FormatOsb_Open(SystemFileHandle *file, OsbOpenResult *result, OsndSyncList *sync) {
  if (!file) return Osnd_Fail(OSND_ERR_FILE_NOT_FOUND);
  uint8_t head[kFileHeaderBytes] = {};
  SystemFile_Seek(file, 0, SEEK_SET);
  const int got = std::max(0, SystemFile_Read(head, 1, kFileHeaderBytes, file));
  const bool osb3 = got >= 4 && std::memcmp(head, "OSB3", 4) == 0;
  const bool osb2 = got >= 4 && std::memcmp(head, "OSB2", 4) == 0;
  if (!osb2 && !osb3) {
    // A file too short to tell is damaged only when what it holds begins as a bank does.
    const bool prefix = got > 0 && got < 4 && (std::memcmp(head, "OSB3", size_t(got)) == 0);
    return Osnd_Fail(prefix ? OSND_ERR_FILE_BAD : OSND_ERR_FILE_FORMAT);
  }
  if (got < (osb2 ? kOsb2HeaderBytes : kFileHeaderBytes)) return Osnd_Fail(OSND_ERR_FILE_BAD);
  auto *bank = AllocTable<OsbBank>(1);
  if (!bank) return Osnd_Fail(OSND_ERR_MEMORY);
  auto fail = [&](int code) {
    bank->count = std::max(bank->count, 0);
    FormatOsb_Close(bank);
    return Osnd_Fail(code);
  };
  std::memcpy(bank->fileHeader, head, sizeof head);
  const int32_t count = int32_t(U32(head + 4));
  bank->headerBytes = U32(head + 8);
  bank->dataBytes = U32(head + 12);
  if (osb2) {
    std::memset(bank->fileHeader + 16, 0, 8);
    SystemFile_Seek(file, kOsb2HeaderBytes, SEEK_SET);
  } else {
    bank->version = U32(head + 16);
    bank->flags = U32(head + 20);
  }
  if (count < 1) return fail(OSND_ERR_FILE_BAD);
  // Every header takes at least a basic header's bytes, and the header block
  // cannot be larger than the file that holds it.
  const int64_t headerStart = SystemFile_Tell(file);
  SystemFile_Seek(file, 0, SEEK_END);
  const int64_t fileBytes = SystemFile_Tell(file);
  SystemFile_Seek(file, headerStart, SEEK_SET);
  if (bank->headerBytes > uint64_t(std::max<int64_t>(0, fileBytes - headerStart)) ||
      uint64_t(count) * kBasicHeaderBytes > bank->headerBytes)
    return fail(OSND_ERR_FILE_BAD);
  bank->count = count;
  bank->headers = AllocTable<uint8_t>(int(bank->headerBytes) + 1);
  bank->headerOf = AllocTable<uint8_t *>(count);
  bank->dataOffsets = AllocTable<uint32_t>(count);
  bank->syncCounts = AllocTable<int>(count);
  bank->syncs = AllocTable<OsbSyncPoint *>(count);
  if (!bank->headers || !bank->headerOf || !bank->dataOffsets || !bank->syncCounts || !bank->syncs)
    return fail(OSND_ERR_MEMORY);
  if (SystemFile_Read(bank->headers, 1, int(bank->headerBytes), file) != int(bank->headerBytes))
    return fail(OSND_ERR_FILE_BAD);

  const uint32_t dataStart = bank->headerBytes + (bank->version != 0 ? kFileHeaderBytes : kOsb2HeaderBytes);
  if (!IndexHeaders(bank, dataStart)) return fail(gOsndError.lastError);
  if (!ReadSyncPoints(bank)) return fail(gOsndError.lastError);
  // Every sample's stored data lies inside the file, so that no header can
  // make the reader size memory for data the file does not hold.
  for (int i = 0; i < count; ++i) {
    OsbEntry e;
    FormatOsb_GetEntry(bank, i, &e);
    if (int64_t(e.dataOffset) + int64_t(e.storedBytes) > fileBytes) return fail(OSND_ERR_FILE_BAD);
  }

  OsbEntry first;
  FormatOsb_GetEntry(bank, 0, &first);
  if (first.mode & kAdpcmStored) return fail(OSND_ERR_FILE_FORMAT);
  if (first.frequency < 1 || first.frequency > kMaxRate) return fail(OSND_ERR_FILE_BAD);
  const int channels = ChannelCount(first.mode, first.channels);
  // IMA ADPCM is decoded for one or two channels only.
  if ((first.mode & OSND_MODE_IMA_ADPCM) && ((first.mode & OSND_MODE_MULTICHANNEL) || channels > 2))
    return fail(OSND_ERR_FILE_FORMAT);

  // Nor can any sample claim more than its stored bytes decode to: a bank's
  // later samples are loaded as songs' samples from the same headers.
  for (int i = 0; i < count; ++i) {
    OsbEntry e;
    FormatOsb_GetEntry(bank, i, &e);
    const uint64_t claim = DecodedBytes(e);
    if (claim > 0x7FFFFFFF || (!(bank->flags & OSB_FLAG_SOURCE_FORMAT) && claim > HeldBytes(e)))
      return fail(OSND_ERR_FILE_BAD);
  }

  unsigned callerMode = result->mode;
  if (first.mode & OSND_MODE_IMA_ADPCM) callerMode &= ~OSND_MODE_FORCE_MONO;
  const uint64_t decoded = DecodedBytes(first);

  if (sync && bank->syncCounts[0] > 0) {
    OsndStream_FreeSyncPoints(sync);
    for (int k = 0; k < bank->syncCounts[0]; ++k)
      if (!OsndStream_AddSyncPointNode(sync, bank->syncs[0][k].position, bank->syncs[0][k].name))
        return fail(OSND_ERR_MEMORY);
  }

  unsigned mode = first.mode;
  constexpr unsigned kLoop = OSND_MODE_LOOP_OFF | OSND_MODE_LOOP_NORMAL | OSND_MODE_LOOP_BIDI;
  constexpr unsigned kPlacement = OSND_MODE_HW3D | OSND_MODE_2D | OSND_MODE_HW2D;
  if (callerMode & kLoop) mode = (mode & ~kLoop) | (callerMode & kLoop);
  if (callerMode & kPlacement) mode = (mode & ~kPlacement) | (callerMode & kPlacement);
  mode |= callerMode & (OSND_MODE_NONBLOCKING | OSND_MODE_FORCE_MONO | OSND_MODE_MEMORY);

  result->mode = mode;
  result->rate = first.frequency;
  result->dataLength = first.storedBytes;
  result->decodedLength = uint32_t(decoded);
  result->blockSize = ((first.mode & OSND_MODE_IMA_ADPCM) ? 36 : 16) * channels;
  result->dataOffset = first.dataOffset;
  bank->current = 0;
  result->bank = bank;
  return true;
}

bool FormatOsb_OpenStream(OsndFormatInfo *info) {
  OsbOpenResult r{};
  r.mode = info->mode;
  if (!FormatOsb_Open(info->file, &r, info->syncPoints)) return false;
  OsbBank *bank = r.bank;
  auto refuse = [&](int code) {
    FormatOsb_Close(bank);
    if (info->syncPoints) OsndStream_FreeSyncPoints(info->syncPoints);
    return Osnd_Fail(code);
  };
  // Samples stored as sound files of their own are loaded, never streamed.
  if (bank->flags & OSB_FLAG_SOURCE_FORMAT) return refuse(OSND_ERR_FILE_FORMAT);
  OsbEntry first;
  FormatOsb_GetEntry(bank, 0, &first);
  if ((r.mode & OSND_MODE_MULTICHANNEL) && (r.mode & kOsbHardware)) return refuse(OSND_ERR_INVALID_PARAM);
  const int channels = ChannelCount(r.mode, first.channels);
  unsigned mode = r.mode;
  info->callbacks = OsndStreamCallbacks{OsndStream_PcmRead, nullptr, FormatOsb_Close, nullptr};
  if (mode & OSND_MODE_IMA_ADPCM) {
    const int blockAlign = 36 * channels;
    int input = blockAlign;
    while (input < 2048) input *= 2;
    mode = (mode & ~(OSND_MODE_IMA_ADPCM | OSND_MODE_8BITS | OSND_MODE_UNSIGNED)) | OSND_MODE_16BITS |
           OSND_MODE_SIGNED;
    info->callbacks.read = ImaRead;
    info->inputSize = input;
    info->decodeBlock = input / blockAlign * 128 * channels;
  }
  info->mode = mode;
  info->rate = r.rate;
  info->channels = channels;
  info->dataLength = r.dataLength;
  info->decodedLength = r.decodedLength;
  info->dataOffset = r.dataOffset;
  info->state = bank;
  info->blockSize = r.blockSize;
  info->lengthMs = 0;
  const bool loop = first.loopEnd > first.loopStart && first.loopEnd < first.length;
  info->loopStart = loop ? first.loopStart : 0;
  info->loopEnd = loop ? first.loopEnd : 0;
  info->source = OSND_SOURCE_OSB;
  return true;
}

bool OsndFormatOsb_OpenStream(OsndFormatInfo *info) { return FormatOsb_OpenStream(info); }

OSND_SAMPLE *FormatOsb_LoadEntry(SystemFileHandle *file, const OsbBank *bank, int index, unsigned mode,
                                 OsndSampleReader sourceReader) {
  OsbEntry e;
  if (!FormatOsb_GetEntry(bank, index, &e)) return FailSample(OSND_ERR_INVALID_PARAM);
  unsigned working = e.mode;
  if (working & OSND_MODE_MULTICHANNEL) working &= ~(OSND_MODE_HW3D | OSND_MODE_HW2D);
  working |= mode;
  const bool stereo = working & OSND_MODE_STEREO;
  const bool forceMono = (mode & OSND_MODE_FORCE_MONO) && stereo;
  if (forceMono) working &= ~OSND_MODE_HW3D;
  auto fail = [&](OSND_SAMPLE *sample, int code) {
    if (sample) OSND_Sample_Free(sample);
    return FailSample(code == OSND_ERR_NONE ? OSND_ERR_FILE_FORMAT : code);
  };

  OSND_SAMPLE *sample = nullptr;
  SystemFile_Seek(file, e.dataOffset, SEEK_SET);
  if (bank->flags & OSB_FLAG_SOURCE_FORMAT) {
    const int64_t start = file->startOffset, end = file->endOffset;
    SystemFile_SetStartOffset(file, start + e.dataOffset);
    SystemFile_SetEndOffset(file, start + int64_t(e.dataOffset) + std::max<int64_t>(int64_t(e.storedBytes), 1) - 1);
    sample = LoadSourceFormat(sourceReader, file, working & ~kFormatBits, e.name);
    const int error = gOsndError.lastError;
    SystemFile_SetStartOffset(file, start);
    SystemFile_SetEndOffset(file, end);
    SystemFile_Seek(file, int64_t(e.dataOffset) + e.storedBytes, SEEK_SET);
    if (!sample) return fail(nullptr, error);
  } else {
    sample = OsndSample_Create(-2, int(e.length), working, e.frequency, e.volume, e.pan, e.priority,
                               ChannelCount(working, e.channels));
    if (!sample) return fail(nullptr, gOsndError.lastError);
    if (!UploadData(sample, file, e, working)) return fail(sample, gOsndError.lastError);
    OSND_Sample_SetLoopPoints(sample, int(e.loopStart), int(e.loopEnd));
  }
  SystemString_CopyN(sample->name, e.name, 30);
  sample->name[30] = '\0';

  if (forceMono && !(bank->flags & OSB_FLAG_SOURCE_FORMAT)) {
    if (working & (OSND_MODE_IMA_ADPCM | OSND_MODE_VAG_ADPCM)) return fail(sample, OSND_ERR_INVALID_PARAM);
    OSND_SAMPLE *mono = MixDown(sample);
    if (!mono) return fail(sample, gOsndError.lastError);
    OSND_Sample_Free(sample);
    sample = mono;
  }
  gOsndError.lastError = OSND_ERR_NONE;
  return sample;
}

OSND_SAMPLE *OsndFormatOsb_LoadSample(SystemFileHandle *file, int, unsigned mode, const char *,
                                      OsndSampleReader sourceReader) {
  OsbOpenResult r{};
  r.mode = mode;
  if (!FormatOsb_Open(file, &r, nullptr)) return FailSample(OSND_ERR_FILE_FORMAT);
  OsbBank *bank = r.bank;
  if (bank->count > 1) {
    FormatOsb_Close(bank);
    return FailSample(OSND_ERR_FILE_FORMAT);
  }
  OSND_SAMPLE *sample = FormatOsb_LoadEntry(file, bank, 0, mode, sourceReader);
  const int error = gOsndError.lastError;
  FormatOsb_Close(bank);
  if (!sample) return FailSample(error == OSND_ERR_NONE ? OSND_ERR_FILE_FORMAT : error);
  gOsndError.lastError = OSND_ERR_NONE;
  return sample;
}
