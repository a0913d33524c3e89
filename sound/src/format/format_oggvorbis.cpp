#include "sound/src/format/format_oggvorbis.h"

#include "sound/src/format/format_tag.h"
#include "sound/src/system/system_string.h"

#include <vorbis/vorbisfile.h>

#include <algorithm>
#include <cstring>

namespace {

// A hole is a gap in the data (a lost page); decoding goes on after it. Many
// holes in a row mean the data is damaged beyond use.
constexpr int kMaxHoles = 64;

size_t ReadProc(void *buffer, size_t size, size_t count, void *source) {
  if (size == 0 || count == 0) return 0;
  const int64_t bytes = int64_t(std::min<size_t>(size * count, 0x7FFFFFFF));
  const int got = SystemFile_Read(buffer, 1, int(bytes), static_cast<SystemFileHandle *>(source));
  return got > 0 ? size_t(got) / size : 0;
}

int SeekProc(void *source, ogg_int64_t offset, int whence) {
  auto *file = static_cast<SystemFileHandle *>(source);
  return SystemFile_Seek(file, offset, whence) < 0 ? -1 : 0;
}

long TellProc(void *source) { return long(SystemFile_Tell(static_cast<SystemFileHandle *>(source))); }

const ov_callbacks kCallbacks = {ReadProc, SeekProc, nullptr, TellProc};

}  // namespace

bool FormatOggVorbis_OpenStream(OsndFormatInfo *info) {
  SystemFileHandle *file = info->file;
  if (!file) return Osnd_Fail(OSND_ERR_FILE_FORMAT);
  char magic[4] = {};
  SystemFile_Seek(file, 0, SEEK_SET);
  if (SystemFile_Read(magic, 1, 4, file) != 4 || std::memcmp(magic, "OggS", 4) != 0)
    return Osnd_Fail(OSND_ERR_FILE_FORMAT);
  auto *vf = static_cast<OggVorbis_File *>(OSND_ALLOC(int(sizeof(OggVorbis_File))));
  if (!vf) return Osnd_Fail(OSND_ERR_MEMORY);
  SystemFile_Seek(file, 0, SEEK_END);
  const int64_t fileLength = SystemFile_Tell(file);
  SystemFile_Seek(file, 0, SEEK_SET);
  if (ov_open_callbacks(file, vf, nullptr, 0, kCallbacks) < 0) {
    OSND_FREE_MEM(vf);
    return Osnd_Fail(OSND_ERR_FILE_FORMAT);
  }
  vorbis_info *vi = ov_info(vf, -1);
  const ogg_int64_t total = ov_pcm_total(vf, 0);
  if (!vi || vi->channels < 1 || vi->channels > 2 || total <= 0 || total > 0x7FFFFFFF || vi->rate < 1) {
    FormatOggVorbis_Close(vf);
    return Osnd_Fail(OSND_ERR_FILE_FORMAT);
  }
  if (info->tags) OsndTag_AddVorbisComments(ov_comment(vf, -1), info->tags);
  unsigned mode = info->mode & ~(OSND_MODE_8BITS | OSND_MODE_MONO | OSND_MODE_STEREO | OSND_MODE_UNSIGNED);
  mode |= OSND_MODE_16BITS | OSND_MODE_SIGNED | (vi->channels == 1 ? OSND_MODE_MONO : OSND_MODE_STEREO);
  info->mode = mode;
  info->rate = int(vi->rate);
  info->channels = vi->channels;
  info->dataLength = uint32_t(std::min<int64_t>(fileLength, 0xFFFFFFFF));
  info->decodedLength = uint32_t(total);
  info->state = vf;
  info->blockSize = 0;
  info->dataOffset = uint32_t(std::max<ogg_int64_t>(0, ov_raw_tell(vf)));
  const double seconds = ov_time_total(vf, -1);
  info->lengthMs = seconds > 0 ? int(seconds * 1000.0) : 0;
  info->loopStart = info->loopEnd = 0;
  info->source = OSND_SOURCE_OGG;
  info->callbacks.close = FormatOggVorbis_Close;
  info->callbacks.reset = nullptr;
  return true;
}

bool FormatOggVorbis_Read(void *state, uint8_t *destination, int *bytes) {
  auto *vf = static_cast<OggVorbis_File *>(state);
  const int want = *bytes;
  *bytes = 0;
  if (!vf || want <= 0) return vf != nullptr;
  for (int holes = 0; holes < kMaxHoles; ++holes) {
    const long got = ov_read(vf, reinterpret_cast<char *>(destination), want, 0, 2, 1, nullptr);
    if (got == OV_HOLE) continue;
    if (got <= 0) return false;
    *bytes = int(got);
    return true;
  }
  return false;
}

bool FormatOggVorbis_Close(void *state) {
  auto *vf = static_cast<OggVorbis_File *>(state);
  if (!vf) return false;
  // The engine closes its own file handle; the library must not.
  vf->datasource = nullptr;
  ov_clear(vf);
  OSND_FREE_MEM(vf);
  return true;
}

bool FormatOggVorbis_Seek(void *state, bool bySample, int64_t value, bool lapping, uint32_t *pcmPosition) {
  auto *vf = static_cast<OggVorbis_File *>(state);
  if (!vf) return false;
  int result;
  if (bySample)
    result = lapping ? ov_pcm_seek_lap(vf, value) : ov_pcm_seek(vf, value);
  else
    result = lapping ? ov_raw_seek_lap(vf, value) : ov_raw_seek(vf, value);
  if (result != 0) return false;
  *pcmPosition = uint32_t(std::max<ogg_int64_t>(0, ov_pcm_tell(vf)));
  return true;
}

OSND_SAMPLE *OsndFormatOggVorbis_LoadSample(SystemFileHandle *file, int index, unsigned mode, const char *name) {
  OsndTag *tags = nullptr;
  OsndFormatInfo info{};
  info.file = file;
  info.mode = mode;
  info.tags = &tags;
  if (!FormatOggVorbis_OpenStream(&info)) {
    Osnd_SetError(OSND_ERR_FILE_FORMAT);
    return nullptr;
  }
  if (tags) OsndTag_FreeList(&tags);
  const bool stereo = info.mode & OSND_MODE_STEREO;
  const int samples = int(info.decodedLength);
  OSND_SAMPLE *sample = OsndFormat_AllocSample(index, samples, info.mode, mode, info.rate);
  if (!sample) {
    FormatOggVorbis_Close(info.state);
    return nullptr;
  }
  const int bytes = samples * 2 * (stereo ? 2 : 1);
  void *p1 = nullptr, *p2 = nullptr;
  unsigned l1 = 0, l2 = 0;
  if (OSND_Sample_Lock(sample, 0, bytes, &p1, &p2, &l1, &l2) && p1) {
    OsndFormat_FillSample(static_cast<uint8_t *>(p1), l1, FormatOggVorbis_Read, info.state);
    OSND_Sample_Unlock(sample, p1, p2, l1, l2);
  }
  if (samples > 1) OSND_Sample_SetLoopPoints(sample, 0, samples - 1);
  FormatOggVorbis_Close(info.state);
  return OsndFormat_LoadedSample(sample, name);
}
