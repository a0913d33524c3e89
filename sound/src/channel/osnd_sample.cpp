// Samples: slots, creation, mode normalisation, upload with conversion, lock,
// defaults, loop points with their guard frames, freeing and loading.
#include "sound/src/core/osnd_pending.h"
#include "sound/src/core/osnd_records.h"
#include "sound/src/channel/osnd_sample.h"
#include "sound/src/system/system_string.h"
#include "sound/src/mixer/software_mixer.h"
#include "sound/src/system/system_file.h"
#include "sound/src/system/system_thread.h"

#include <algorithm>
#include <cstring>
#include <mutex>
#include <vector>

namespace {

// Samples are created on the loader thread as well as on the Init thread.
std::recursive_mutex &SlotLock() {
  static std::recursive_mutex lock;
  return lock;
}

constexpr unsigned kHardware = OSND_MODE_HW3D | OSND_MODE_HW2D;
constexpr unsigned kLoopBits = OSND_MODE_LOOP_OFF | OSND_MODE_LOOP_NORMAL | OSND_MODE_LOOP_BIDI;

int FrameWidth(unsigned mode) {
  int w = (mode & OSND_MODE_16BITS) ? 2 : 1;
  if ((mode & OSND_MODE_STEREO) && !(mode & OSND_MODE_MULTICHANNEL)) w *= 2;
  return w;
}

int AreaCount(const OSND_SAMPLE *s) {
  return (s->mode & OSND_MODE_MULTICHANNEL) ? std::clamp(s->channels, 1, OSND_MAX_SUBCHANNELS) : 1;
}

// Bytes an upload source holds for the sample's length in the given mode.
unsigned SourceBytes(const OSND_SAMPLE *s, unsigned mode) {
  uint64_t n = s->length;
  if (mode & OSND_MODE_VAG_ADPCM)
    n = n * 16 / 28;
  else if (mode & OSND_MODE_IMA_ADPCM)
    n = n * 36 / 64;
  else if (mode & OSND_MODE_GC_ADPCM)
    n = n * 8 / 14;
  else if ((mode & OSND_MODE_16BITS) && !(mode & (OSND_MODE_TRACKER_PACKED | OSND_MODE_TRACKER_PACKED2)))
    n *= 2;
  if (mode & OSND_MODE_MULTICHANNEL)
    n *= uint64_t(std::max(1, s->channels));
  else if (mode & OSND_MODE_STEREO)
    n *= 2;
  return unsigned(std::min<uint64_t>(n, 0x7FFFFFFF));
}

// Converts source data into the sample's representation; answers the bytes written.
bool Convert(uint8_t *dst, unsigned dstBytes, const uint8_t *src, unsigned srcBytes, unsigned dstMode,
             unsigned srcMode, int channels) {
  const bool dst16 = dstMode & OSND_MODE_16BITS;
  const bool src16 = srcMode & OSND_MODE_16BITS;
  if (srcMode & (OSND_MODE_TRACKER_PACKED | OSND_MODE_TRACKER_PACKED2)) {
    if (!OsndTracker_Decompress(dst, src, srcBytes, dstBytes, src16, srcMode & OSND_MODE_TRACKER_PACKED2))
      return false;
  } else if ((srcMode & OSND_MODE_IMA_ADPCM) && !(dstMode & OSND_MODE_IMA_ADPCM)) {
    const int ch = std::max(1, channels);
    const int blocks = int(uint64_t(srcBytes) / 36 / unsigned(ch));
    // Each block decodes to 64 frames; near the sample's end the lock can
    // hold fewer bytes than the blocks decode to, so the tail goes through a
    // scratch buffer and only what fits is kept.
    const uint64_t decoded = uint64_t(blocks) * 64 * 2 * unsigned(ch);
    if (decoded <= dstBytes) {
      if (!OsndImaAdpcm_Decode(reinterpret_cast<int16_t *>(dst), src, blocks, ch)) return false;
    } else {
      std::vector<int16_t> scratch(size_t(decoded / 2));
      if (!OsndImaAdpcm_Decode(scratch.data(), src, blocks, ch)) return false;
      std::memcpy(dst, scratch.data(), dstBytes);
    }
  } else if (!src16 && dst16) {
    const unsigned n = std::min(srcBytes, dstBytes / 2);
    for (unsigned i = 0; i < n; ++i) {
      dst[2 * i] = 0;
      dst[2 * i + 1] = src[i];
    }
  } else if (src16 && !dst16) {
    const unsigned n = std::min(srcBytes / 2, dstBytes);
    for (unsigned i = 0; i < n; ++i) dst[i] = src[2 * i + 1];
  } else {
    std::memcpy(dst, src, std::min(srcBytes, dstBytes));
  }
  if (srcMode & OSND_MODE_DELTA) {
    if (dst16) {
      uint16_t sum = 0;
      for (unsigned i = 0; i + 1 < dstBytes; i += 2) {
        sum = uint16_t(sum + uint16_t(dst[i] | (dst[i + 1] << 8)));
        dst[i] = uint8_t(sum);
        dst[i + 1] = uint8_t(sum >> 8);
      }
    } else {
      uint8_t sum = 0;
      for (unsigned i = 0; i < dstBytes; ++i) dst[i] = sum = uint8_t(sum + dst[i]);
    }
  }
  const bool dstUnsigned = dstMode & OSND_MODE_UNSIGNED;
  const bool srcUnsigned = srcMode & OSND_MODE_UNSIGNED;
  if (dstUnsigned != srcUnsigned && !(srcMode & OSND_MODE_IMA_ADPCM)) {
    if (dst16)
      for (unsigned i = 1; i < dstBytes; i += 2) dst[i] ^= 0x80;
    else
      for (unsigned i = 0; i < dstBytes; ++i) dst[i] ^= 0x80;
  }
  return true;
}

// Gives a sample the slot of another index (used when a converted copy replaces a load).
void MoveToSlot(OSND_SAMPLE *s, int index) {
  std::lock_guard<std::recursive_mutex> guard(SlotLock());
  if (s->index >= 0 && s->index < gOsnd.sampleCapacity && gOsnd.samples[s->index] == s)
    gOsnd.samples[s->index] = nullptr;
  if (index >= 0 && index < gOsnd.sampleCapacity) gOsnd.samples[index] = s;
  s->index = index;
}

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

}  // namespace

bool OsndSample_InitSlots() {
  std::lock_guard<std::recursive_mutex> guard(SlotLock());
  gOsnd.sampleCapacity = 256;
  gOsnd.samples = static_cast<OSND_SAMPLE **>(OSND_ALLOC(256 * int(sizeof(OSND_SAMPLE *))));
  return gOsnd.samples != nullptr;
}

void OsndSample_FreeAllSlots() {
  std::lock_guard<std::recursive_mutex> guard(SlotLock());
  if (!gOsnd.samples) return;
  for (int i = 0; i < gOsnd.sampleCapacity; ++i)
    if (gOsnd.samples[i]) OsndSample_Destroy(gOsnd.samples[i]);
  OSND_FREE_MEM(gOsnd.samples);
  gOsnd.samples = nullptr;
}

unsigned OsndSample_NormaliseMode(int index, unsigned mode) {
  if (gOsnd.hardware3dChannels <= 0) {
    if ((mode & OSND_MODE_ENABLE_FX) && (mode & OSND_MODE_HW3D)) mode &= ~OSND_MODE_ENABLE_FX;
    mode &= ~OSND_MODE_HW3D;
  }
  if (!(mode & (OSND_MODE_MONO | OSND_MODE_STEREO | OSND_MODE_MULTICHANNEL))) mode |= OSND_MODE_MONO;
  if (!(mode & (OSND_MODE_8BITS | OSND_MODE_16BITS))) mode |= OSND_MODE_8BITS;
  if (!(mode & kLoopBits)) mode |= OSND_MODE_LOOP_OFF;
  if ((mode & OSND_MODE_ENABLE_FX) && !(mode & kHardware)) mode |= OSND_MODE_HW2D;
  if (mode & (OSND_MODE_HW2D | OSND_MODE_2D)) mode &= ~OSND_MODE_HW3D;
  if (mode & OSND_MODE_16BITS) mode &= ~OSND_MODE_8BITS;
  if (mode & OSND_MODE_STEREO) mode &= ~(OSND_MODE_MONO | OSND_MODE_MULTICHANNEL);
  if (mode & OSND_MODE_HW2D) mode |= OSND_MODE_2D;
  if (mode & OSND_MODE_ENABLE_FX) mode |= OSND_MODE_ONE_INSTANCE;
  if (index != OSND_PRIMARY && !(gOsnd.output && gOsnd.output->hardware2d)) mode &= ~OSND_MODE_HW2D;
  return mode;
}

OSND_SAMPLE *OsndSample_AllocSlot(int index, unsigned mode) {
  std::lock_guard<std::recursive_mutex> guard(SlotLock());
  if (!gOsnd.output || (!gOsnd.samples && index != -2)) {
    Osnd_SetError(OSND_ERR_UNINITIALISED);
    return nullptr;
  }
  mode = OsndSample_NormaliseMode(index, mode);
  auto *s = static_cast<OSND_SAMPLE *>(OSND_ALLOC(int(sizeof(OSND_SAMPLE))));
  if (!s) {
    Osnd_SetError(OSND_ERR_MEMORY);
    return nullptr;
  }
  if (index != -2 && index != OSND_PRIMARY) {
    if (index < 0) {
      index = 0;
      while (index < gOsnd.sampleCapacity && gOsnd.samples[index]) ++index;
    }
    while (index >= gOsnd.sampleCapacity) {
      const int grown = gOsnd.sampleCapacity + 256;
      auto **slots = static_cast<OSND_SAMPLE **>(
          SystemMemory_Realloc(nullptr, gOsnd.samples, grown * int(sizeof(OSND_SAMPLE *)), __FILE__, __LINE__));
      if (!slots) {
        OSND_FREE_MEM(s);
        Osnd_SetError(OSND_ERR_MEMORY);
        return nullptr;
      }
      std::fill(slots + gOsnd.sampleCapacity, slots + grown, nullptr);
      gOsnd.samples = slots;
      gOsnd.sampleCapacity = grown;
    }
    if (gOsnd.samples[index]) OSND_Sample_Free(gOsnd.samples[index]);
    gOsnd.samples[index] = s;
  }
  s->index = index;
  s->minDistance = 1.0f;
  s->maxDistance = 1000000.0f;
  s->baseRate = 8363;
  s->guardPos = -1;
  s->maxPlaybacks = -1;
  s->channels = 1;
  s->defFrequency = 44100;
  s->defVolume = 255;
  s->defPan = 128;
  s->defPriority = 255;
  if (mode & OSND_MODE_IMA_ADPCM)
    mode = (mode & ~(OSND_MODE_IMA_ADPCM | OSND_MODE_8BITS | OSND_MODE_UNSIGNED)) | OSND_MODE_16BITS | OSND_MODE_SIGNED;
  else
    mode = (mode & ~OSND_MODE_UNSIGNED) | OSND_MODE_SIGNED;
  s->mode = mode;
  if ((mode & kHardware) && gOsnd.output)
    gOsnd.output->fillSampleOps(s);
  else
    SoundSoftware_SetSampleOps(s);
  return s;
}

namespace {

void SetInitialDefaults(OSND_SAMPLE *s, int length, int frequency, int volume, int pan, int priority) {
  s->defFrequency = frequency;
  s->defVolume = volume;
  s->defPan = pan;
  s->defPriority = priority;
  s->length = s->loopLength = unsigned(length);
}

}  // namespace

OSND_SAMPLE *OsndSample_Create(int index, int length, unsigned mode, int frequency, int volume,
                               int pan, int priority, int channels) {
  if (length < 0) length = 0;
  OSND_SAMPLE *s = OsndSample_AllocSlot(index, mode);
  if (!s) return nullptr;
  SetInitialDefaults(s, length, frequency, volume, pan, priority);
  s->channels = std::clamp(channels, 1, OSND_MAX_SUBCHANNELS);
  if (length > 0 && !s->ops.create(s)) {
    const int error = gOsnd.lastError;
    OsndSample_Destroy(s);
    Osnd_SetError(error);
    return nullptr;
  }
  OsndSample_UpdateGuard(s);
  return s;
}

bool OsndSample_Relayout(OSND_SAMPLE *s, unsigned channelBits, int channels) {
  constexpr unsigned kChannelBits = OSND_MODE_MONO | OSND_MODE_STEREO | OSND_MODE_MULTICHANNEL;
  const unsigned oldMode = s->mode;
  const int oldChannels = s->channels;
  OsndSample_RestoreGuard(s);
  if (s->ops.release) s->ops.release(s);
  s->guardPos = -1;
  s->mode = (oldMode & ~kChannelBits) | (channelBits & kChannelBits);
  s->channels = std::clamp(channels, 1, OSND_MAX_SUBCHANNELS);
  if (s->length == 0 || s->ops.create(s)) {
    OsndSample_UpdateGuard(s);
    return true;
  }
  const int error = gOsnd.lastError;
  s->mode = oldMode;
  s->channels = oldChannels;
  if (s->length > 0) s->ops.create(s);
  OsndSample_UpdateGuard(s);
  return Osnd_Fail(error == OSND_ERR_NONE ? OSND_ERR_MEMORY : error);
}

void OsndSample_Destroy(OSND_SAMPLE *s) {
  if (!s) return;
  if (s->ops.release) s->ops.release(s);
  {
    std::lock_guard<std::recursive_mutex> guard(SlotLock());
    if (gOsnd.samples && s->index >= 0 && s->index < gOsnd.sampleCapacity && gOsnd.samples[s->index] == s)
      gOsnd.samples[s->index] = nullptr;
  }
  OSND_FREE_MEM(s);
}

bool OsndSample_UploadRange(OSND_SAMPLE *s, const void *data, unsigned offset, unsigned bytes,
                            unsigned sourceMode) {
  if (!s || !data) return Osnd_Fail(OSND_ERR_INVALID_PARAM);
  if (sourceMode & OSND_MODE_16BITS) sourceMode &= ~OSND_MODE_8BITS;
  if (sourceMode & OSND_MODE_STEREO) sourceMode &= ~(OSND_MODE_MONO | OSND_MODE_MULTICHANNEL);
  unsigned sourceBytes = bytes;
  if ((sourceMode & OSND_MODE_IMA_ADPCM) && !(s->mode & OSND_MODE_IMA_ADPCM)) bytes = (bytes * 64 / 36) * 2;
  if (s->ops.upload) return s->ops.upload(s, data, offset, bytes, sourceMode);

  // The lock covers the bytes the data takes once converted to the sample's width.
  unsigned destBytes = bytes;
  const bool src16 = sourceMode & OSND_MODE_16BITS, dst16 = s->mode & OSND_MODE_16BITS;
  if (!(sourceMode & (OSND_MODE_IMA_ADPCM | OSND_MODE_TRACKER_PACKED | OSND_MODE_TRACKER_PACKED2))) {
    if (!src16 && dst16) destBytes = bytes * 2;
    if (src16 && !dst16) destBytes = bytes / 2;
  } else if (sourceMode & (OSND_MODE_TRACKER_PACKED | OSND_MODE_TRACKER_PACKED2)) {
    destBytes = SoundSoftware_SampleBytes(s);
  }
  void *p1 = nullptr, *p2 = nullptr;
  unsigned l1 = 0, l2 = 0;
  if (!OSND_Sample_Lock(s, int(offset), int(destBytes), &p1, &p2, &l1, &l2)) return false;
  bool ok = true;
  if (p1 && l1) {
    auto *staging = static_cast<uint8_t *>(OSND_ALLOC(int(l1 + l2) + 2));
    if (!staging) {
      Osnd_SetError(OSND_ERR_MEMORY);
      ok = false;
    } else {
      ok = Convert(staging, l1 + l2, static_cast<const uint8_t *>(data), sourceBytes, s->mode, sourceMode,
                   s->channels);
      if (ok) {
        std::memcpy(p1, staging, l1);
        if (p2 && l2) std::memcpy(p2, staging + l1, l2);
      }
      OSND_FREE_MEM(staging);
    }
  }
  if (!OSND_Sample_Unlock(s, p1, p2, l1, l2)) ok = false;
  return ok;
}

void OsndSample_RestoreGuard(OSND_SAMPLE *s) {
  if (s->guardPos < 0 || !s->allocation) {
    s->guardPos = -1;
    return;
  }
  const int width = FrameWidth(s->mode);
  for (int k = 0; k < AreaCount(s); ++k)
    std::memcpy(SoundSoftware_ChannelArea(s, k) + size_t(s->guardPos) * width, s->guardSaved[k], size_t(width));
  s->guardPos = -1;
}

void OsndSample_UpdateGuard(OSND_SAMPLE *s) {
  if (!s->allocation || !s->data) return;
  OsndSample_RestoreGuard(s);
  const unsigned end = std::min(s->loopStart + s->loopLength, s->length);
  const int width = FrameWidth(s->mode);
  for (int k = 0; k < AreaCount(s); ++k) {
    uint8_t *area = SoundSoftware_ChannelArea(s, k);
    std::memcpy(s->guardSaved[k], area + size_t(end) * width, size_t(width));
    if (s->mode & OSND_MODE_LOOP_NORMAL)
      std::memcpy(area + size_t(end) * width, area + size_t(s->loopStart) * width, size_t(width));
    else if ((s->mode & OSND_MODE_LOOP_BIDI) && end > 0)
      std::memcpy(area + size_t(end) * width, area + size_t(end - 1) * width, size_t(width));
    else
      std::memset(area + size_t(s->length) * width, 0, size_t(width));
  }
  s->guardPos = int(end);
}

void OsndSample_SetLoop(OSND_SAMPLE *s, unsigned start, unsigned length, unsigned loopMode) {
  OsndSample_RestoreGuard(s);
  if (loopMode & kLoopBits) s->mode = (s->mode & ~kLoopBits) | (loopMode & kLoopBits);
  s->loopStart = start;
  s->loopLength = length;
  OsndSample_UpdateGuard(s);
}

OSND_SAMPLE *OsndFormat_AllocSample(int index, int frames, unsigned streamMode, unsigned requestedMode, int rate) {
  const bool stereo = streamMode & OSND_MODE_STEREO;
  unsigned mode = streamMode;
  if ((requestedMode & OSND_MODE_FORCE_MONO) && stereo) mode &= ~OSND_MODE_HW3D;
  return OSND_Sample_Alloc(index, frames, mode, rate, 255, stereo ? -1 : 128, 255);
}

unsigned OsndFormat_FillSample(uint8_t *out, unsigned bytes, bool (*read)(void *state, uint8_t *out, int *bytes),
                               void *state) {
  unsigned done = 0;
  while (done < bytes) {
    int got = int(bytes - done);
    if (!read(state, out + done, &got) || got <= 0) break;
    done += unsigned(got);
  }
  if (done < bytes) std::memset(out + done, 0, bytes - done);
  return done;
}

OSND_SAMPLE *OsndFormat_DecodeSample(int index, uint32_t claimedBytes, int frameBytes, int readBytes,
                                     unsigned streamMode, unsigned requestedMode, int rate,
                                     bool (*read)(void *state, uint8_t *out, int *bytes), void *state) {
  std::vector<uint8_t> pcm;
  while (pcm.size() < claimedBytes) {
    const size_t done = pcm.size();
    const size_t want = std::min<size_t>(claimedBytes - done, size_t(std::max(readBytes, 1 << 16)));
    pcm.resize(done + want);
    int got = int(want);
    const bool more = read(state, pcm.data() + done, &got);
    pcm.resize(done + size_t(std::clamp(got, 0, int(want))));
    if (!more || got <= 0) break;
  }
  const int frames = int(pcm.size() / size_t(std::max(frameBytes, 1)));
  if (frames < 1) return Osnd_Fail(OSND_ERR_FILE_BAD), nullptr;
  OSND_SAMPLE *sample = OsndFormat_AllocSample(index, frames, streamMode, requestedMode, rate);
  if (!sample) return nullptr;
  void *p1 = nullptr, *p2 = nullptr;
  unsigned l1 = 0, l2 = 0;
  if (OSND_Sample_Lock(sample, 0, frames * frameBytes, &p1, &p2, &l1, &l2) && p1) {
    std::memcpy(p1, pcm.data(), std::min<size_t>(l1, pcm.size()));
    OSND_Sample_Unlock(sample, p1, p2, l1, l2);
  }
  return sample;
}

OSND_SAMPLE *OsndFormat_LoadedSample(OSND_SAMPLE *sample, const char *name) {
  if (name) {
    SystemString_CopyN(sample->name, name, 255);
    sample->name[255] = '\0';
  }
  gOsnd.lastError = OSND_ERR_NONE;
  return sample;
}

extern "C" {

OSND_SAMPLE *OSND_Sample_Alloc(int index, int length, unsigned int mode, int frequency, int volume,
                               int pan, int priority) {
  Osnd_ResetError();
  if (length < 1) {
    Osnd_SetError(OSND_ERR_INVALID_PARAM);
    return nullptr;
  }
  OSND_SAMPLE *s = OsndSample_AllocSlot(index, mode);
  if (!s) return nullptr;
  SetInitialDefaults(s, length, frequency, volume, pan, priority);
  if (!s->ops.create(s)) return nullptr;  // the slot stays taken until reused or closed
  OsndSample_UpdateGuard(s);
  return s;
}

void OSND_Sample_Free(OSND_SAMPLE *sample) {
  Osnd_ResetError();
  if (!sample) return;
  if (gOsnd.channels) {
    for (int i = 0; i < gOsnd.channelCount; ++i)
      if (gOsnd.channels[i].currentSample == sample) OSND_StopSound(i);
    // A channel still naming it (a stop slot that kept it) lets go under the mixer's lock.
    SystemLockGuard guard(gOsnd.mixer ? gOsnd.mixer->lock : nullptr);
    for (int i = 0; i < gOsnd.channelCount + OSND_EXTRA_CHANNELS; ++i)
      if (gOsnd.channels[i].currentSample == sample) gOsnd.channels[i].currentSample = nullptr;
  }
  Music_ReleaseSample(sample);
  OsndSample_Destroy(sample);
}

bool OSND_Sample_Upload(OSND_SAMPLE *sample, const void *data, unsigned int mode) {
  Osnd_ResetError();
  if (!sample) return Osnd_Fail(OSND_ERR_INVALID_PARAM);
  return OsndSample_UploadRange(sample, data, 0, SourceBytes(sample, mode), mode);
}

bool OSND_Sample_Lock(OSND_SAMPLE *sample, int offset, int length, void **ptr1, void **ptr2,
                      unsigned int *len1, unsigned int *len2) {
  Osnd_ResetError();
  void *d1, *d2;
  unsigned dl1, dl2;
  if (!ptr1) ptr1 = &d1;
  if (!ptr2) ptr2 = &d2;
  if (!len1) len1 = &dl1;
  if (!len2) len2 = &dl2;
  *ptr1 = *ptr2 = nullptr;
  *len1 = *len2 = 0;
  if (!sample || offset < 0 || unsigned(offset) > SoundSoftware_SampleBytes(sample) || length < 0)
    return Osnd_Fail(OSND_ERR_INVALID_PARAM);
  return sample->ops.lock(sample, unsigned(offset), unsigned(length), ptr1, ptr2, len1, len2);
}

bool OSND_Sample_Unlock(OSND_SAMPLE *sample, void *ptr1, void *ptr2, unsigned int len1,
                        unsigned int len2) {
  Osnd_ResetError();
  if (!sample) return Osnd_Fail(OSND_ERR_INVALID_PARAM);
  return sample->ops.unlock(sample, ptr1, ptr2, len1, len2);
}

bool OSND_Sample_SetMode(OSND_SAMPLE *sample, unsigned int mode) {
  Osnd_ResetError();
  if (!sample) return Osnd_Fail(OSND_ERR_INVALID_PARAM);
  if (mode & kLoopBits) {
    unsigned loop = (mode & OSND_MODE_LOOP_NORMAL) ? OSND_MODE_LOOP_NORMAL
                    : (mode & OSND_MODE_LOOP_BIDI) ? OSND_MODE_LOOP_BIDI
                                                   : 0;
    loop |= mode & OSND_MODE_LOOP_OFF;
    sample->mode = (sample->mode & ~kLoopBits) | loop;
    OsndSample_UpdateGuard(sample);
  }
  if (!(mode & kHardware)) {
    if (mode & OSND_MODE_2D)
      sample->mode |= OSND_MODE_2D;
    else
      sample->mode &= ~OSND_MODE_2D;
  }
  return true;
}

bool OSND_Sample_SetLoopPoints(OSND_SAMPLE *sample, int loopStart, int loopEnd) {
  Osnd_ResetError();
  if (!sample || loopStart < 0 || loopEnd < 0 || unsigned(loopStart) >= sample->length || loopStart >= loopEnd)
    return Osnd_Fail(OSND_ERR_INVALID_PARAM);
  OsndSample_SetLoop(sample, unsigned(loopStart),
                     std::min(unsigned(loopEnd), sample->length - 1) - unsigned(loopStart) + 1);
  return true;
}

bool OSND_Sample_SetDefaultsEx(OSND_SAMPLE *sample, int frequency, int volume, int pan, int priority,
                               int frequencyVariation, int volumeVariation, int panVariation) {
  Osnd_ResetError();
  if (!sample) return Osnd_Fail(OSND_ERR_INVALID_PARAM);
  if (frequency > 100) sample->defFrequency = frequency;
  if (volume >= 0) sample->defVolume = std::min(volume, 255);
  if (pan >= 0) sample->defPan = std::min(pan, 255);
  if (priority >= 0) sample->defPriority = std::min(priority, 255);
  if (frequencyVariation >= 0) sample->varFrequency = frequencyVariation;
  if (volumeVariation >= 0) sample->varVolume = volumeVariation;
  if (panVariation >= 0) sample->varPan = panVariation;
  return true;
}

bool OSND_Sample_GetDefaultsEx(OSND_SAMPLE *sample, int *frequency, int *volume, int *pan, int *priority,
                               int *frequencyVariation, int *volumeVariation, int *panVariation) {
  Osnd_ResetError();
  if (!sample) return Osnd_Fail(OSND_ERR_INVALID_PARAM);
  if (frequency) *frequency = sample->defFrequency;
  if (volume) *volume = sample->defVolume;
  if (pan) *pan = sample->defPan;
  if (priority) *priority = sample->defPriority;
  if (frequencyVariation) *frequencyVariation = sample->varFrequency;
  if (volumeVariation) *volumeVariation = sample->varVolume;
  if (panVariation) *panVariation = sample->varPan;
  return true;
}

bool OSND_Sample_GetDefaults(OSND_SAMPLE *sample, int *frequency, int *volume, int *pan, int *priority) {
  return OSND_Sample_GetDefaultsEx(sample, frequency, volume, pan, priority, nullptr, nullptr, nullptr);
}

bool OSND_Sample_SetMinMaxDistance(OSND_SAMPLE *sample, float minDistance, float maxDistance) {
  Osnd_ResetError();
  if (!gOsnd.initialised) return Osnd_Fail(OSND_ERR_UNINITIALISED);
  if (!sample || minDistance < 0 || maxDistance < 0 || minDistance > maxDistance)
    return Osnd_Fail(OSND_ERR_INVALID_PARAM);
  sample->minDistance = minDistance;
  sample->maxDistance = maxDistance;
  return true;
}

bool OSND_Sample_GetMinMaxDistance(OSND_SAMPLE *sample, float *minDistance, float *maxDistance) {
  Osnd_ResetError();
  if (!gOsnd.initialised) return Osnd_Fail(OSND_ERR_UNINITIALISED);
  if (!sample) return Osnd_Fail(OSND_ERR_INVALID_PARAM);
  if (minDistance) *minDistance = sample->minDistance;
  if (maxDistance) *maxDistance = sample->maxDistance;
  return true;
}

int OSND_Sample_GetLength(OSND_SAMPLE *sample) {
  Osnd_ResetError();
  if (!sample) {
    Osnd_SetError(OSND_ERR_INVALID_PARAM);
    return 0;
  }
  return int(sample->length);
}

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
    static const OsndSampleReader readers[] = {
        OsndFormatOsb_LoadSample, OsndFormatAiff_LoadSample, OsndFormatOggVorbis_LoadSample,
        OsndFormatMpeg_LoadSample, OsndFormatWav_LoadSample, OsndFormatAsf_LoadSample};
    for (OsndSampleReader reader : readers) {
      gOsnd.lastError = OSND_ERR_NONE;
      SystemFile_Seek(file, 0, SEEK_SET);
      sample = reader(file, index, mode, name);
      if (sample || gOsnd.lastError != OSND_ERR_FILE_FORMAT) break;
    }
  }
  SystemFile_Close(file);
  if (!sample) return nullptr;
  if (sample->mode & (OSND_MODE_IMA_ADPCM | OSND_MODE_VAG_ADPCM)) return sample;
  gOsnd.lastError = OSND_ERR_NONE;

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
    MoveToSlot(copy, slot);
    sample = copy;
  }
  return sample;
}

}  // extern "C"
