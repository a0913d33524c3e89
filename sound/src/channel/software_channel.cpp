// Software channels and samples: what the public channel calls become in the
// mixing state the mix loops read, and the sample storage they read from.
#include "sound/src/channel/osnd_3d.h"
#include "sound/src/channel/osnd_sample.h"
#include "sound/src/channel/software_channel.h"
#include "sound/src/system/system_thread.h"

#include <algorithm>
#include <cmath>
#include <cstring>

int OsndPanTable(int i) {
  i = std::clamp(i, 0, 255);
  const int square = 256 * i;  // floor(16 * sqrt(i)) == floor(sqrt(256 * i))
  int r = int(std::sqrt(double(square)));
  while (r * r > square) --r;
  while ((r + 1) * (r + 1) <= square) ++r;
  return r;
}

namespace {

void ComputeGains(OsndChannel *c) {
  if (c->swPan == -1) {
    c->leftGain = c->rightGain = c->level = c->swVolume;
    return;
  }
  const int w = c->volume3d * c->swVolume / 255;
  c->leftGain = OsndPanTable(255 - c->swPan) * w / 255;
  c->rightGain = OsndPanTable(c->swPan) * w / 255;
  c->level = (c->leftGain + c->rightGain) / 2;
}

void SetStep(OsndChannel *c, double magnitude, bool backward) {
  c->direction = backward ? OSND_DIR_BACKWARD : OSND_DIR_FORWARD;
  const uint64_t rate = uint64_t(gOsnd.mixRate);
  const uint64_t whole = uint64_t(magnitude);
  c->stepWhole = uint32_t(whole / rate);
  c->stepFrac = uint32_t(((whole % rate) << 32) / rate);
}

bool ChannelInit(OsndChannel *c) {
  c->swVolume = 255;
  c->swPan = 128;
  if (gOsnd.initFlags & OSND_INIT_LEVEL_METER) {
    const int blocks = gOsnd.blockLength > 0 ? gOsnd.bufferLengthSamples / gOsnd.blockLength : 0;
    OSND_FREE_MEM(c->levels);
    c->levels = static_cast<int32_t *>(OSND_ALLOC(blocks * 2 * int(sizeof(int32_t))));
  }
  return true;
}

bool ChannelRelease(OsndChannel *c) {
  OSND_FREE_MEM(c->levels);
  c->levels = nullptr;
  return true;
}

bool ChannelStart(OsndChannel *c, OSND_SAMPLE *s) {
  SystemLockGuard guard(Osnd_MixerLock());
  c->currentSample = s;
  return true;
}

bool ChannelPlay(OSND_DSPUNIT *unit, OsndChannel *c, OSND_SAMPLE *s) {
  SystemLockGuard guard(Osnd_MixerLock());
  if (!unit) unit = gOsnd.defaultUnit;
  int k = 0;
  for (OsndChannel *ch = c; ch; ch = ch->subChannel, ++k) {
    ch->currentSample = s;
    ch->data = SoundSoftware_ChannelArea(s, k);
    if (ch->startOffset >= s->loopStart + s->loopLength) ch->startOffset = 0;
    ch->posWhole = ch->startOffset;
    ch->posFrac = 0;
    ch->direction = OSND_DIR_FORWARD;
    ch->startOffset = 0;
    ch->curVolLeft = ch->curVolRight = 0;
    ch->rampSamplesLeft = 0;
    ch->rampStepLeftF = ch->rampStepRightF = 0.0f;
    ch->rampStepLeftI = ch->rampStepRightI = 0;
    if (!(ch->flags & OSND_CHANFLAG_KEEPLIST) && unit) {
      OsndList_Unlink(&ch->link);
      OsndList_Append(&unit->channels, &ch->link);
    }
    ch->unit = unit;
  }
  return true;
}

bool ChannelStop(OsndChannel *c) {
  SystemLockGuard guard(Osnd_MixerLock());
  SoundSoftware_AppendIdle(c);
  c->flags &= ~OSND_CHANFLAG_KEEPLIST;
  c->posWhole = c->posFrac = 0;
  return true;
}

bool SetFrequency(OsndChannel *c, int hz) {
  const int64_t r = int64_t(double(hz) * double(c->frequencyScale));
  int64_t magnitude = r < 0 ? -r : r;
  if (magnitude < 200) magnitude = 200;
  SetStep(c, double(magnitude), r < 0);
  return true;
}

bool SetFrequencyFloat(OsndChannel *c, float hz) {
  const float r = hz * c->frequencyScale;
  const float magnitude = std::clamp(std::fabs(r), 100.0f, 705600.0f);
  const float q = magnitude / float(gOsnd.mixRate);
  c->direction = r < 0 ? OSND_DIR_BACKWARD : OSND_DIR_FORWARD;
  c->stepWhole = uint32_t(q);
  c->stepFrac = uint32_t(double(q - float(c->stepWhole)) * 4294967296.0);
  return true;
}

}  // namespace

bool SoundSoftware_SetVolume(OsndChannel *c, int v) {
  c->swVolume = (c->flags & OSND_CHANFLAG_MUTED) ? 0 : v;
  ComputeGains(c);
  return true;
}

bool SoundSoftware_SetPan(OsndChannel *c, int p) {
  c->swPan = p;
  ComputeGains(c);
  return true;
}

namespace {

bool SetPosition(OsndChannel *c, unsigned offset) {
  if (!c->currentSample || offset >= c->currentSample->length) {
    Osnd_SetError(OSND_ERR_INVALID_PARAM);
    return false;
  }
  c->posFrac = 0;
  c->posWhole = offset;
  return true;
}

unsigned GetPosition(OsndChannel *c) { return c->posWhole; }

bool SoftwareIsPlaying(OsndChannel *c) { return c->currentSample != nullptr; }

bool SoftwareSetPaused(OsndChannel *, bool) { return true; }

int ReadFrame(const OsndChannel *c, int64_t whole, bool right) {
  const OSND_SAMPLE *s = c->currentSample;
  const bool stereo = (s->mode & OSND_MODE_STEREO) && !(s->mode & OSND_MODE_MULTICHANNEL);
  if (s->mode & OSND_MODE_16BITS) {
    const auto *p = reinterpret_cast<const int16_t *>(c->data);
    return stereo ? p[whole * 2 + (right ? 1 : 0)] : p[whole];
  }
  const auto *p = reinterpret_cast<const int8_t *>(c->data);
  return stereo ? p[whole * 2] : p[whole];  // 8-bit stereo: the left byte for both sides
}

// Software sample operations.
bool SampleCreate(OSND_SAMPLE *s) {
  if (s->mode & (OSND_MODE_IMA_ADPCM | OSND_MODE_VAG_ADPCM)) {
    Osnd_SetError(OSND_ERR_FILE_FORMAT);
    return false;
  }
  const unsigned bytes = SoundSoftware_SampleBytes(s);
  OSND_FREE_MEM(s->allocation);
  s->allocation = nullptr;
  s->data = nullptr;
  const bool multi = s->mode & OSND_MODE_MULTICHANNEL;
  const int64_t total = multi ? int64_t(bytes) + 64 + 8 * s->channels : int64_t(bytes) + 72;
  if (total > INT32_MAX) {
    Osnd_SetError(OSND_ERR_MEMORY);
    return false;
  }
  s->allocation = static_cast<uint8_t *>(OSND_ALLOC(int(total)));
  if (!s->allocation) {
    Osnd_SetError(OSND_ERR_MEMORY);
    return false;
  }
  s->data = s->allocation + 16;
  if (multi && (s->mode & OSND_MODE_ONE_INSTANCE)) {
    s->staging = static_cast<uint8_t *>(OSND_ALLOC(int(bytes)));
    if (!s->staging) {
      Osnd_SetError(OSND_ERR_MEMORY);
      return false;
    }
  }
  s->mode = (s->mode & ~OSND_MODE_UNSIGNED) | OSND_MODE_SIGNED;
  return true;
}

void SampleRelease(OSND_SAMPLE *s) {
  OSND_FREE_MEM(s->allocation);
  OSND_FREE_MEM(s->staging);
  s->allocation = s->staging = nullptr;
  s->data = nullptr;
}

bool SampleLock(OSND_SAMPLE *s, unsigned offset, unsigned length, void **p1, void **p2,
                unsigned *l1, unsigned *l2) {
  *p1 = *p2 = nullptr;
  *l1 = *l2 = 0;
  const unsigned size = SoundSoftware_SampleBytes(s);
  const bool multi = s->mode & OSND_MODE_MULTICHANNEL;
  if (!s->data || size == 0 || offset >= size || int(length) < 0) return false;
  length = std::min(length, size);
  if (multi && !(s->mode & OSND_MODE_ONE_INSTANCE)) {
    if (s->staging) return false;
    s->staging = static_cast<uint8_t *>(OSND_ALLOC(int(length)));
    if (!s->staging) {
      Osnd_SetError(OSND_ERR_MEMORY);
      return false;
    }
  }
  OsndSample_RestoreGuard(s);
  s->lockOffset = offset;
  if (multi) {
    *p1 = s->staging;
    *l1 = std::min(length, size - offset);
    return true;
  }
  *p1 = s->data + offset;
  if (offset + length <= size) {
    *l1 = length;
  } else {
    *l1 = size - offset;
    *p2 = s->data;
    *l2 = offset + length - size;
  }
  return true;
}

bool SampleUnlock(OSND_SAMPLE *s, void *p1, void *, unsigned l1, unsigned) {
  if (s->mode & OSND_MODE_MULTICHANNEL) {
    if (!s->staging) return false;
    const int width = (s->mode & OSND_MODE_16BITS) ? 2 : 1;
    const int channels = std::max(1, s->channels);
    const unsigned areaStart = s->lockOffset / unsigned(channels);
    const auto *src = static_cast<const uint8_t *>(p1);
    const unsigned frames = l1 / unsigned(width * channels);
    for (int k = 0; k < channels; ++k) {
      uint8_t *area = SoundSoftware_ChannelArea(s, k) + areaStart;
      if (areaStart + frames * unsigned(width) > s->length * unsigned(width)) break;
      for (unsigned f = 0; f < frames; ++f)
        std::memcpy(area + f * unsigned(width), src + (f * unsigned(channels) + unsigned(k)) * unsigned(width), size_t(width));
    }
    if (!(s->mode & OSND_MODE_ONE_INSTANCE)) {
      OSND_FREE_MEM(s->staging);
      s->staging = nullptr;
    }
  }
  OsndSample_UpdateGuard(s);
  return true;
}

}  // namespace

unsigned SoundSoftware_SampleBytes(const OSND_SAMPLE *s) {
  uint64_t bytes = s->length;
  if (s->mode & OSND_MODE_16BITS) bytes *= 2;
  if (s->mode & OSND_MODE_MULTICHANNEL)
    bytes *= uint64_t(std::max(1, s->channels));
  else if (s->mode & OSND_MODE_STEREO)
    bytes *= 2;
  return bytes > 0x7FFFFFFFu ? 0x7FFFFFFFu : unsigned(bytes);
}

uint8_t *SoundSoftware_ChannelArea(const OSND_SAMPLE *s, int k) {
  if (!s->data) return nullptr;
  if (!(s->mode & OSND_MODE_MULTICHANNEL) || k == 0) return s->data;
  const size_t area = size_t(s->length) * size_t((s->mode & OSND_MODE_16BITS) ? 2 : 1) + 8;
  return s->data + size_t(k) * area;
}

void SoundSoftware_AppendIdle(OsndChannel *c) {
  OsndList_Unlink(&c->link);
  if (!gOsnd.idleChannels.next) OsndList_Init(&gOsnd.idleChannels);
  OsndList_Append(&gOsnd.idleChannels, &c->link);
  c->unit = nullptr;
}

void SoundSoftware_SetChannelOps(OsndChannel *c) {
  OsndChannelOps &o = c->ops;
  o.init = ChannelInit;
  o.release = ChannelRelease;
  o.start = ChannelStart;
  o.play = ChannelPlay;
  o.stop = ChannelStop;
  o.setFrequency = SetFrequency;
  o.setFrequencyFloat = SetFrequencyFloat;
  o.setVolume = SoundSoftware_SetVolume;
  o.setPan = SoundSoftware_SetPan;
  o.setPaused = SoftwareSetPaused;
  o.setPosition = SetPosition;
  o.getPosition = GetPosition;
  o.getLevels = SoundSoftware_GetLevels;
  o.isPlaying = SoftwareIsPlaying;
  o.update3D = SoundSoftware_Update3D;
  SoundSoftware_AppendIdle(c);
}

void SoundSoftware_SetSampleOps(OSND_SAMPLE *s) {
  s->ops.create = SampleCreate;
  s->ops.release = SampleRelease;
  s->ops.upload = nullptr;
  s->ops.lock = SampleLock;
  s->ops.unlock = SampleUnlock;
}

void SoundSoftware_PeakLevels(OsndChannel *c, int *left, int *right) {
  *left = *right = 0;
  const OSND_SAMPLE *s = c->currentSample;
  if ((c->flags & (OSND_CHANFLAG_MUTED | OSND_CHANFLAG_PAUSED)) || !s || !c->data) return;
  const bool sixteen = s->mode & OSND_MODE_16BITS;
  const int64_t loopStart = s->loopStart;
  const int64_t loopEnd = int64_t(s->loopStart) + s->loopLength;
  const unsigned loop = c->mode & 7u;
  const int64_t step = (int64_t(c->stepWhole) << 32) | c->stepFrac;
  int64_t pos = (int64_t(c->posWhole) << 32) | c->posFrac;
  bool backward = c->direction == OSND_DIR_BACKWARD;
  for (int f = 0; f < gOsnd.blockLength; ++f) {
    const int64_t whole = pos >> 32;
    const int64_t end = (loop == OSND_MODE_LOOP_OFF || whole >= loopEnd) ? s->length : loopEnd;
    if (whole < 0 || whole >= int64_t(s->length) || (!backward && whole >= end)) {
      if (loop == OSND_MODE_LOOP_NORMAL && s->loopLength > 0 && whole >= loopEnd) {
        while ((pos >> 32) >= loopEnd) pos -= int64_t(s->loopLength) << 32;
      } else if (loop == OSND_MODE_LOOP_BIDI && s->loopLength > 0) {
        backward = !backward;
        pos = backward ? (loopEnd << 33) - pos - 1 : (loopStart << 33) - pos - 1;
        if ((pos >> 32) < loopStart || (pos >> 32) >= loopEnd) break;
      } else {
        break;  // a one-shot sample has ended: the rest is silent
      }
    } else if (backward && whole < loopStart && loop == OSND_MODE_LOOP_BIDI) {
      backward = false;
      pos = (loopStart << 33) - pos - 1;
    }
    const int64_t w = pos >> 32;
    if (w < 0 || w >= int64_t(s->length)) break;
    int l = ReadFrame(c, w, false), r = ReadFrame(c, w, true);
    l = sixteen ? l * c->leftGain / 256 : l * c->leftGain;
    r = sixteen ? r * c->rightGain / 256 : r * c->rightGain;
    *left = std::max(*left, std::abs(l));
    *right = std::max(*right, std::abs(r));
    pos += backward ? -step : step;
  }
}

bool SoundSoftware_GetLevels(OsndChannel *c, float *left, float *right) {
  if (!c) {
    Osnd_SetError(OSND_ERR_INVALID_PARAM);
    return false;
  }
  int l = 0, r = 0;
  const int blocks = gOsnd.blockLength > 0 ? gOsnd.bufferLengthSamples / gOsnd.blockLength : 0;
  if ((gOsnd.initFlags & OSND_INIT_LEVEL_METER) && c->levels && blocks > 0 && gOsnd.mixer) {
    const int block = (gOsnd.mixer->currentBlock + 1) % blocks;
    l = c->levels[block * 2];
    r = c->levels[block * 2 + 1];
  } else {
    SoundSoftware_PeakLevels(c, &l, &r);
  }
  if (left) *left = std::clamp(float(l) * (1.0f / 65536.0f), 0.0f, 1.0f);
  if (right) *right = std::clamp(float(r) * (1.0f / 65536.0f), 0.0f, 1.0f);
  return true;
}

void Osnd_DownmixStereoToMono(void *destination, const void *source, int frames, unsigned mode) {
  if (mode & OSND_MODE_16BITS) {
    auto *d = static_cast<int16_t *>(destination);
    const auto *s = static_cast<const int16_t *>(source);
    for (int i = 0; i < frames; ++i) d[i] = int16_t((int(s[2 * i]) + int(s[2 * i + 1])) >> 1);
  } else if (mode & OSND_MODE_UNSIGNED) {
    auto *d = static_cast<uint8_t *>(destination);
    const auto *s = static_cast<const uint8_t *>(source);
    for (int i = 0; i < frames; ++i) d[i] = uint8_t((int(s[2 * i]) + int(s[2 * i + 1])) >> 1);
  } else {
    auto *d = static_cast<int8_t *>(destination);
    const auto *s = static_cast<const int8_t *>(source);
    for (int i = 0; i < frames; ++i) d[i] = int8_t((int(s[2 * i]) + int(s[2 * i + 1])) >> 1);
  }
}
