// Samples: slots, creation, mode normalisation, upload with conversion, lock,
// defaults, loop points with their guard frames, freeing and loading.
#include "sound/src/channel/osnd_sample.h"
#include "sound/src/channel/software_channel.h"
#include "sound/src/core/osnd_records.h"
#include "sound/src/system/system_file.h"
#include "sound/src/system/system_pause.h"
#include "sound/src/system/system_string.h"
#include "sound/src/system/system_thread.h"

#include <algorithm>
#include <cstring>
#include <mutex>
#include <vector>

namespace {

OsndSampleHooks gHooks{};

// Samples are created on the loader thread as well as on the Init thread.
// Taken after the mixer's lock where both are held, never before it.
std::recursive_mutex &SlotLock() {
  static std::recursive_mutex lock;
  return lock;
}

// The mixer reads a playing sample's mode, loop and guard frames while it
// mixes, and a play copies the mode: a change of them holds the mixer's lock.

// Takes the sample out of the slot table if the table lists it.
void LeaveSlot(OSND_SAMPLE *s) {
  std::lock_guard<std::recursive_mutex> guard(SlotLock());
  if (gOsnd.samples && s->index >= 0 && s->index < gOsnd.sampleCapacity && gOsnd.samples[s->index] == s)
    gOsnd.samples[s->index] = nullptr;
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
    if (!gHooks.trackerDecompress ||
        !gHooks.trackerDecompress(dst, src, srcBytes, dstBytes, src16, srcMode & OSND_MODE_TRACKER_PACKED2))
      return false;
  } else if ((srcMode & OSND_MODE_IMA_ADPCM) && !(dstMode & OSND_MODE_IMA_ADPCM)) {
    if (!gHooks.imaAdpcmDecode) return false;
    const int ch = std::max(1, channels);
    const int blocks = int(uint64_t(srcBytes) / 36 / unsigned(ch));
    // Each block decodes to 64 frames; near the sample's end the lock can
    // hold fewer bytes than the blocks decode to, so the tail goes through a
    // scratch buffer and only what fits is kept.
    const uint64_t decoded = uint64_t(blocks) * 64 * 2 * unsigned(ch);
    if (decoded <= dstBytes) {
      if (!gHooks.imaAdpcmDecode(reinterpret_cast<int16_t *>(dst), src, blocks, ch)) return false;
    } else {
      std::vector<int16_t> scratch(size_t(decoded / 2));
      if (!gHooks.imaAdpcmDecode(scratch.data(), src, blocks, ch)) return false;
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

}  // namespace

void OsndSample_SetHooks(const OsndSampleHooks &hooks) { gHooks = hooks; }

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
  // A sample already in a named slot is freed, which takes the mixer's lock:
  // that lock comes first, the slot table's after it.
  SystemLockGuard mixer(index >= 0 ? Osnd_MixerLock() : nullptr);
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
    const int error = gOsndError.lastError;
    OsndSample_Destroy(s);
    Osnd_SetError(error);
    return nullptr;
  }
  OsndSample_UpdateGuard(s);
  return s;
}

bool OsndSample_Relayout(OSND_SAMPLE *s, unsigned channelBits, int channels) {
  constexpr unsigned kChannelBits = OSND_MODE_MONO | OSND_MODE_STEREO | OSND_MODE_MULTICHANNEL;
  SystemLockGuard guard(Osnd_MixerLock());
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
  const int error = gOsndError.lastError;
  s->mode = oldMode;
  s->channels = oldChannels;
  if (s->length > 0) s->ops.create(s);
  OsndSample_UpdateGuard(s);
  return Osnd_Fail(error == OSND_ERR_NONE ? OSND_ERR_MEMORY : error);
}

void OsndSample_Destroy(OSND_SAMPLE *s) {
  if (!s) return;
  if (s->ops.release) s->ops.release(s);
  LeaveSlot(s);
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
  SystemLockGuard guard(Osnd_MixerLock());
  OsndSample_RestoreGuard(s);
  if (loopMode & kLoopBits) s->mode = (s->mode & ~kLoopBits) | (loopMode & kLoopBits);
  s->loopStart = start;
  s->loopLength = length;
  OsndSample_UpdateGuard(s);
}

void OsndSample_MoveToSlot(OSND_SAMPLE *s, int index) {
  std::lock_guard<std::recursive_mutex> guard(SlotLock());
  LeaveSlot(s);
  if (index >= 0 && index < gOsnd.sampleCapacity) gOsnd.samples[index] = s;
  s->index = index;
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
  // A recording into it ends first, so that the record thread's copy is done
  // with it; the stop joins that thread, so it runs before the mixer's lock
  // is taken, not under it.
  if (gHooks.stopRecordingInto) gHooks.stopRecordingInto(sample);
  {
    // One section under the mixer's lock, which every play and stop and the
    // music unit's ticks take too: its channels stop, the songs forget it and
    // the slot table lets go of it with no tick between, so that nothing can
    // start it again before its memory goes.
    SystemLockGuard guard(Osnd_MixerLock());
    if (gOsnd.channels) {
      for (int i = 0; i < gOsnd.channelCount; ++i)
        if (gOsnd.channels[i].currentSample == sample) OSND_StopSound(i);
      // A channel still naming it (a stop slot that kept it) lets go.
      for (int i = 0; i < gOsnd.channelCount + OSND_EXTRA_CHANNELS; ++i)
        if (gOsnd.channels[i].currentSample == sample) gOsnd.channels[i].currentSample = nullptr;
    }
    if (gHooks.release) gHooks.release(sample);
    OSND_PAUSE_POINT("sample.free.leaving");
    LeaveSlot(sample);
  }
  OSND_PAUSE_POINT("sample.free.stopped");
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
  SystemLockGuard guard(Osnd_MixerLock());
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

}  // extern "C"
