// Sample loading from files and memory: the format readers are tried in
// order, each going on while a reader answers that the data is not its
// format.
#include "sound/src/format/format_load.h"

#include "sound/src/channel/osnd_sample.h"
#include "sound/src/channel/software_channel.h"
#include "sound/src/format/format_aiff.h"
#include "sound/src/format/format_asf.h"
#include "sound/src/format/format_oggvorbis.h"
#include "sound/src/format/format_osb.h"
#include "sound/src/format/format_tag.h"
#include "sound/src/format/format_wav.h"
#include "sound/src/format/mpeg/format_mpeg.h"
#include "sound/src/system/system_file.h"
#include "sound/src/system/system_string.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

OSND_SAMPLE *ConvertedCopy(OSND_SAMPLE *loaded, bool toEightBit) {
  unsigned mode = loaded->mode & ~(OSND_MODE_IMA_ADPCM | OSND_MODE_UNSIGNED);
  if (toEightBit)
    mode = (mode & ~OSND_MODE_16BITS) | OSND_MODE_8BITS;
  else
    mode = (mode & ~OSND_MODE_STEREO) | OSND_MODE_MONO;
  OSND_SAMPLE *copy = OsndSample_Create(-1, int(loaded->length), mode, loaded->defFrequency,
                                        loaded->defVolume, toEightBit ? loaded->defPan : 128,
                                        toEightBit ? 255 : loaded->defPriority, 1);
  if (!copy) return nullptr;
  copy->loopStart = loaded->loopStart;
  copy->loopLength = loaded->loopLength;
  const unsigned frames = loaded->length;
  if (toEightBit) {
    OSND_Sample_Upload(copy, loaded->data, loaded->mode);
  } else {
    const unsigned bytes = SoundSoftware_SampleBytes(copy);
    auto *mono = static_cast<uint8_t *>(OSND_ALLOC(int(bytes) + 1));
    if (!mono) {
      OsndSample_Destroy(copy);
      Osnd_SetError(OSND_ERR_MEMORY);
      return nullptr;
    }
    Osnd_DownmixStereoToMono(mono, loaded->data, int(frames), loaded->mode);
    OSND_Sample_Upload(copy, mono, copy->mode);
    OSND_FREE_MEM(mono);
  }
  SystemString_Copy(copy->name, loaded->name);
  return copy;
}

// The bank reader reads the entries a bank keeps in a source format through
// the other readers.
OSND_SAMPLE *BankReader(SystemFileHandle *file, int index, unsigned mode, const char *name) {
  return OsndFormatOsb_LoadSample(file, index, mode, name, OsndFormat_LoadSourceFormat);
}

}  // namespace

OSND_SAMPLE *OsndFormat_LoadSourceFormat(SystemFileHandle *file, int index, unsigned mode, const char *name) {
  return OsndFormat_TryReaders(false, file, index, mode, name);
}

OSND_SAMPLE *OsndFormat_TryReaders(bool withBanks, SystemFileHandle *file, int index, unsigned mode,
                                   const char *name) {
  // The bank reader first: a bank may hold data another reader would take.
  static const OsndSampleReader readers[] = {
      BankReader, OsndFormatAiff_LoadSample, OsndFormatOggVorbis_LoadSample,
      OsndFormatMpeg_LoadSample, OsndFormatWav_LoadSample, OsndFormatAsf_LoadSample};
  OSND_SAMPLE *sample = nullptr;
  for (size_t i = withBanks ? 0 : 1; i < sizeof readers / sizeof readers[0]; ++i) {
    gOsndError.lastError = OSND_ERR_NONE;
    SystemFile_Seek(file, 0, SEEK_SET);
    sample = readers[i](file, index, mode, name);
    if (sample || gOsndError.lastError != OSND_ERR_FILE_FORMAT) break;
  }
  return sample;
}

extern "C" {

OSND_SAMPLE *OSND_Sample_Load(int index, const char *nameOrData, unsigned int mode, int offset, int length) {
  Osnd_ResetError();
  if (!gOsnd.initialised) {
    Osnd_SetError(OSND_ERR_UNINITIALISED);
    return nullptr;
  }
  if (!nameOrData || offset < 0) {
    Osnd_SetError(OSND_ERR_INVALID_PARAM);
    return nullptr;
  }
  SystemFileHandle *file = SystemFile_Open(nameOrData, SystemFile_KindForMode(mode), length);
  if (!file) {
    Osnd_SetError(OSND_ERR_FILE_NOT_FOUND);
    return nullptr;
  }
  if (!OsndTag_SkipId3v2(file)) SystemFile_Seek(file, 0, SEEK_SET);
  const int64_t start = offset + SystemFile_Tell(file);
  SystemFile_SetStartOffset(file, start);
  if (length > 0 && !(mode & OSND_MODE_MEMORY)) SystemFile_SetEndOffset(file, start + length - 1);
  SystemFile_Seek(file, 0, SEEK_SET);
  const char *name = (mode & OSND_MODE_MEMORY) ? "Memory file" : nameOrData;

  OSND_SAMPLE *sample = nullptr;
  if (mode & OSND_MODE_RAW) {
    const int64_t end = file->endOffset >= 0 ? std::min(file->endOffset + 1, file->length) : file->length;
    const int64_t size = std::max<int64_t>(0, end - start);
    if (size == 0 || size > 0x7FFFFFFF) {
      Osnd_SetError(OSND_ERR_FILE_BAD);
    } else {
      int64_t samples = size;
      if (mode & OSND_MODE_STEREO) samples /= 2;
      if (mode & OSND_MODE_16BITS) samples /= 2;
      unsigned allocMode = mode;
      if ((mode & OSND_MODE_FORCE_MONO) && (mode & OSND_MODE_STEREO)) allocMode &= ~OSND_MODE_HW3D;
      sample = samples > 0 ? OSND_Sample_Alloc(index, int(samples), allocMode, 44100, 255,
                                               (mode & OSND_MODE_STEREO) ? -1 : 128, 255)
                           : nullptr;
      if (!sample && samples == 0) Osnd_SetError(OSND_ERR_FILE_BAD);
      if (sample) {
        OSND_Sample_SetLoopPoints(sample, 0, int(samples) - 1);
        SystemString_CopyN(sample->name, name, 255);
        auto *buffer = static_cast<uint8_t *>(OSND_ALLOC(int(size)));
        if (!buffer) {
          Osnd_SetError(OSND_ERR_MEMORY);
          OSND_Sample_Free(sample);
          sample = nullptr;
        } else {
          const int element = (mode & OSND_MODE_16BITS) ? 2 : 1;
          SystemFile_Read(buffer, element, int(size / element), file);
          OSND_Sample_Upload(sample, buffer, mode);
          OSND_FREE_MEM(buffer);
        }
      }
    }
  } else {
    sample = OsndFormat_TryReaders(true, file, index, mode, name);
  }
  SystemFile_Close(file);
  if (!sample) return nullptr;
  if (sample->mode & (OSND_MODE_IMA_ADPCM | OSND_MODE_VAG_ADPCM)) return sample;
  gOsndError.lastError = OSND_ERR_NONE;

  const bool toEightBit = (mode & OSND_MODE_8BITS) && (sample->mode & OSND_MODE_16BITS);
  const bool toMono = (mode & OSND_MODE_FORCE_MONO) && (sample->mode & OSND_MODE_STEREO);
  for (bool eight : {true, false}) {
    if (eight ? !toEightBit : !(toMono && (sample->mode & OSND_MODE_STEREO))) continue;
    OSND_SAMPLE *copy = ConvertedCopy(sample, eight);
    if (!copy) {
      OSND_Sample_Free(sample);
      return nullptr;
    }
    const int slot = sample->index;
    OSND_Sample_Free(sample);
    OsndSample_MoveToSlot(copy, slot);
    sample = copy;
  }
  return sample;
}

}  // extern "C"
