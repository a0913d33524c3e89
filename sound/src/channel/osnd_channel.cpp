// Channels: handles, the choice of a channel by priority, playing, and the
// per-channel setters and getters. What a channel does is left to its slots.
#include "sound/src/channel/osnd_channel.h"

#include "sound/src/channel/osnd_3d.h"
#include "sound/src/channel/osnd_dsp.h"
#include "sound/src/core/osnd_records.h"
#include "sound/src/system/system_pause.h"
#include "sound/src/system/system_thread.h"

#include <cstdlib>

namespace {

constexpr int kPrimaryLow16 = 0xFC18;
constexpr int kMaxCounter = 0x7FFFF;

bool IsPrimaryHandle(int handle) { return (handle & 0xFFFF) == kPrimaryLow16; }

int IssueHandle(OsndChannel *c) {
  if (c->index == OSND_PRIMARY) return OSND_PRIMARY;
  c->currentHandle = (c->useCounter << 12) | c->index;
  if (++c->useCounter > kMaxCounter) c->useCounter = 1;
  return c->currentHandle;
}

bool EngineReady(int failValue, int *result) {
  Osnd_ResetError();
  if (!gOsnd.initialised || !gOsnd.channels) {
    Osnd_SetError(OSND_ERR_UNINITIALISED);
    *result = failValue;
    return false;
  }
  return true;
}

// Runs op on one channel (and, when follow is set, its sub-channels) or, for
// OSND_ALL, on every channel of the range. Answers the last operation's result.
template <typename Op>
bool ForChannels(int handle, bool includeExtra, bool alwaysFollow, Op op) {
  int dummy;
  if (!EngineReady(0, &dummy)) return false;
  SystemLockGuard guard(Osnd_MixerLock());
  if (handle == OSND_ALL) {
    const int count = gOsnd.channelCount + (includeExtra ? OSND_EXTRA_CHANNELS : 0);
    bool result = true;
    for (int i = 0; i < count; ++i) result = op(&gOsnd.channels[i], &gOsnd.channels[i]);
    return result;
  }
  OsndChannel *c = Osnd_GetChannel(handle);
  if (!c) return false;
  const bool follow = alwaysFollow || (handle & ~0xFFF) != 0;
  bool result = op(c, c);
  if (follow)
    for (OsndChannel *sub = c->subChannel; sub; sub = sub->subChannel) result = op(sub, c);
  return result;
}

bool StopOne(OsndChannel *c) {
  c->flags |= OSND_CHANFLAG_STOPPING;
  IssueHandle(c);
  const bool result = c->ops.stop(c);
  c->flags &= ~OSND_CHANFLAG_STOPPING;
  c->currentSample = nullptr;
  c->priority = 0;
  c->isSubChannel = 0;
  return result;
}

bool StopWithGroup(OsndChannel *c) {
  bool result = true;
  while (c) {
    result = StopOne(c);
    OsndChannel *next = c->subChannel;
    c->subChannel = nullptr;
    c = next;
  }
  return result;
}

int Clamp255(int v) { return v < 0 ? 0 : (v > 255 ? 255 : v); }

int RandomOffset(int variation) { return std::rand() % (2 * variation) - variation; }

bool IsPlaying(OsndChannel *c) { return c->ops.isPlaying(c); }

bool IsHardwareSample(const OSND_SAMPLE *s) { return (s->mode & (OSND_MODE_HW3D | OSND_MODE_HW2D)) != 0; }

bool IsSoftwareIndex(int index) { return index >= 0 && index < gOsnd.softwareChannels; }

// Takes a channel for the sample: a given index directly, or the best one of the range.
OsndChannel *TakeChannel(int request, OsndChannelRange *range, OSND_SAMPLE *sample, int priority,
                         int excluded, bool firstOfGroup) {
  if (request != OSND_FREE && request != OSND_PRIMARY &&
      (request < 0 || (request & 0xFFF) >= gOsnd.channelCount)) {
    Osnd_SetError(OSND_ERR_INVALID_PARAM);
    return nullptr;
  }
  if (!gOsnd.initialised || !gOsnd.channels) {
    Osnd_SetError(OSND_ERR_UNINITIALISED);
    return nullptr;
  }
  const bool hardware = IsHardwareSample(sample);
  OsndChannel *taken = nullptr;
  if (request == OSND_PRIMARY) {
    taken = gOsnd.primary;
  } else if (request != OSND_FREE) {
    const int index = request & 0xFFF;
    if (hardware == IsSoftwareIndex(index)) {
      Osnd_SetError(OSND_ERR_CHANNEL_ALLOC);
      return nullptr;
    }
    taken = &gOsnd.channels[index];
  } else {
    const int span = range->last - range->first + 1;
    if (span <= 0) {
      Osnd_SetError(OSND_ERR_CHANNEL_ALLOC);
      return nullptr;
    }
    int start = hardware ? range->first : range->next;
    if (start < range->first || start > range->last) start = range->first;
    if ((sample->mode & OSND_MODE_ONE_INSTANCE) && firstOfGroup) {
      for (int i = range->first; i <= range->last; ++i) {
        OsndChannel *c = &gOsnd.channels[i];
        if (c->currentSample == sample && IsPlaying(c)) {
          StopWithGroup(c);
          break;
        }
      }
    }
    OsndChannel *candidate = nullptr;
    for (int n = 0; n < span; ++n) {
      const int i = range->first + (start - range->first + n) % span;
      OsndChannel *c = &gOsnd.channels[i];
      if ((c->flags & (OSND_CHANFLAG_RESERVED | OSND_CHANFLAG_STOPPING)) || i == excluded) continue;
      if (!IsPlaying(c)) {
        if (priority >= 0) {
          taken = c;
          break;
        }
        continue;
      }
      if (c->priority < 256 &&
          (!candidate || c->priority < candidate->priority ||
           (c->priority == candidate->priority && c->level < candidate->level)))
        candidate = c;
    }
    if (!taken && candidate && candidate->priority <= priority) taken = candidate;
    if (!taken) {
      Osnd_SetError(OSND_ERR_CHANNEL_ALLOC);
      return nullptr;
    }
    range->next = taken->index + 1 > range->last ? range->first : taken->index + 1;
  }
  // Chosen by its flags, not yet marked: a change of its flags from here on
  // must wait for the mixer's lock, which this play holds.
  OSND_PAUSE_POINT("channel.take.chosen");

  if (taken->subChannel) StopWithGroup(taken);
  if (!taken->ops.start(taken, sample)) {
    Osnd_SetError(OSND_ERR_CHANNEL_ALLOC);
    return nullptr;
  }
  taken->currentSample = sample;
  taken->flags |= OSND_CHANFLAG_SETUP;
  taken->mixerGain = 1.0f;
  taken->mixerLevel = 255;
  taken->priority = sample->defPriority;
  taken->mode = sample->mode;
  taken->minDistance = sample->minDistance;
  taken->maxDistance = sample->maxDistance;
  for (OsndChannel *c = taken; c;) {
    OsndChannel *next = c->subChannel;
    c->subChannel = nullptr;
    c = next;
  }
  taken->frequency = -1;
  int frequency = sample->defFrequency;
  if (sample->varFrequency > 0) {
    frequency += RandomOffset(sample->varFrequency);
    if (frequency < 101) frequency = 101;
  }
  int volume = sample->defVolume;
  if (sample->varVolume > 0) volume += RandomOffset(sample->varVolume);
  int pan = sample->defPan;
  if (sample->varPan > 0 && pan != -1) pan = Clamp255(pan + RandomOffset(sample->varPan));
  const int handle = taken->index == OSND_PRIMARY ? OSND_PRIMARY : taken->index;
  OSND_SetFrequency(handle, frequency);
  OSND_SetVolume(handle, Clamp255(volume));
  OSND_SetPan(handle, pan);
  for (int k = 0; k < 3; ++k) {
    taken->position3d[k] = gOsnd3d.listeners[0].position[k];
    taken->velocity3d[k] = 0.0f;
  }
  // Only samples in the software mixer's memory get the immediate update.
  if (sample->data) Osnd3d_UpdateChannel(taken, false);
  taken->flags &= ~OSND_CHANFLAG_SETUP;
  return taken;
}

bool SetGroupPaused(OsndChannel *first, bool paused) {
  bool result = true;
  for (OsndChannel *c = first; c; c = c->subChannel) {
    result = c->ops.setPaused(c, paused);
    if (paused)
      c->flags |= OSND_CHANFLAG_PAUSED;
    else
      c->flags &= ~OSND_CHANFLAG_PAUSED;
  }
  return result;
}

int CountPlaying(OSND_SAMPLE *sample) {
  int n = 0;
  for (int i = 0; i < gOsnd.channelCount; ++i)
    if (gOsnd.channels[i].currentSample == sample && IsPlaying(&gOsnd.channels[i])) ++n;
  return n;
}

int PlayOn(int request, OSND_SAMPLE *sample, int groupSize, OSND_DSPUNIT *unit, bool startPaused,
           bool keepHandle) {
  if (sample->maxPlaybacks >= 0 && CountPlaying(sample) >= sample->maxPlaybacks) return -2;
  const bool hardware = IsHardwareSample(sample);
  OsndChannelRange *range = !hardware ? &gOsnd.swRange
                            : (sample->mode & OSND_MODE_HW3D) ? &gOsnd.hw3dRange
                                                              : &gOsnd.hw2dRange;
  OsndChannel *first = TakeChannel(request, range, sample, sample->defPriority, -1, true);
  if (!first) return -1;
  if (!hardware && groupSize >= 2) {
    OsndChannel *previous = first;
    bool ok = true;
    for (int k = 1; k < groupSize; ++k) {
      OsndChannel *c = TakeChannel(OSND_FREE, range, sample, sample->defPriority, previous->index, false);
      if (!c) {
        ok = false;
        break;
      }
      c->flags |= OSND_CHANFLAG_RESERVED;
      c->isSubChannel = 1;
      previous->subChannel = c;
      previous = c;
    }
    for (OsndChannel *c = first->subChannel; c; c = c->subChannel) c->flags &= ~OSND_CHANFLAG_RESERVED;
    if (!ok) {
      StopWithGroup(first);
      return -1;
    }
  }
  SetGroupPaused(first, true);
  if (!first->ops.play(unit, first, sample)) {
    Osnd_SetError(OSND_ERR_PLAY);
    return -1;
  }
  if (!SetGroupPaused(first, startPaused)) return -1;
  if (first->index == OSND_PRIMARY) return OSND_PRIMARY;
  return keepHandle ? first->currentHandle : IssueHandle(first);
}

}  // namespace

OsndChannel *Osnd_GetChannel(int handle) {
  if (!gOsnd.channels) {
    Osnd_SetError(OSND_ERR_UNINITIALISED);
    return nullptr;
  }
  if (IsPrimaryHandle(handle)) {
    if (!gOsnd.primary) Osnd_SetError(OSND_ERR_INVALID_PARAM);
    return gOsnd.primary;
  }
  const int index = handle & 0xFFF;
  if (handle >= 0 && index < gOsnd.channelCount + OSND_EXTRA_CHANNELS) {
    OsndChannel *c = &gOsnd.channels[index];
    if ((handle & ~0xFFF) == 0 || handle == c->currentHandle) return c;
  }
  Osnd_SetError(OSND_ERR_INVALID_PARAM);
  return nullptr;
}

int Osnd_PlaySoundCore(const int *requests, int count, OSND_SAMPLE *sample, OSND_DSPUNIT *unit,
                       bool startPaused) {
  if (!gOsnd.initialised || !gOsnd.channels) {
    Osnd_SetError(OSND_ERR_UNINITIALISED);
    return -1;
  }
  SystemLockGuard guard(Osnd_MixerLock());
  if (!sample || !requests || count < 1 || count > 16) {
    Osnd_SetError(OSND_ERR_INVALID_PARAM);
    return -1;
  }
  if (unit) {
    if (!OsndDsp_IsInChain(unit)) {
      Osnd_SetError(OSND_ERR_INVALID_PARAM);
      return -1;
    }
    OsndDsp_MakeChannelUnit(unit);
  } else {
    unit = gOsnd.defaultUnit;
  }
  const bool keepHandle = (requests[0] & ~0xFFF) != 0 && requests[0] != OSND_FREE &&
                          requests[0] != OSND_ALL && !IsPrimaryHandle(requests[0]);
  int result = -1;
  if (requests[0] == OSND_ALL) {
    for (int i = 0; i < gOsnd.channelCount; ++i) {
      result = PlayOn(i, sample, 1, unit, startPaused, false);
      if (result == -2) return -1;
    }
    return result;
  }
  // The first request names the channel; the others stand for further
  // channels of a multichannel group and are served together with it.
  int request = requests[0];
  if (keepHandle && !Osnd_GetChannel(request)) return -1;
  if (request != OSND_FREE && !IsPrimaryHandle(request)) request &= 0xFFF;
  result = PlayOn(request, sample, count, unit, startPaused, keepHandle);
  return result == -2 ? -1 : result;
}

extern "C" {

int OSND_PlaySound(int channel, OSND_SAMPLE *sample) {
  return OSND_PlaySoundEx(channel, sample, nullptr, false);
}

int OSND_PlaySoundEx(int channel, OSND_SAMPLE *sample, OSND_DSPUNIT *dsp, bool startPaused) {
  Osnd_ResetError();
  if (!gOsnd.initialised) {
    Osnd_SetError(OSND_ERR_UNINITIALISED);
    return -1;
  }
  if (!sample) {
    Osnd_SetError(OSND_ERR_INVALID_PARAM);
    return -1;
  }
  int requests[16];
  requests[0] = channel;
  for (int i = 1; i < 16; ++i) requests[i] = OSND_FREE;
  int count = 1;
  if ((sample->mode & OSND_MODE_MULTICHANNEL) && !IsHardwareSample(sample))
    count = sample->channels < 1 ? 1 : sample->channels;
  return Osnd_PlaySoundCore(requests, count, sample, dsp, startPaused);
}

bool OSND_StopSound(int channel) {
  int dummy;
  if (!EngineReady(0, &dummy)) return false;
  SystemLockGuard guard(Osnd_MixerLock());
  if (channel == OSND_ALL) {
    bool result = true;
    for (int i = 0; i < gOsnd.channelCount + OSND_EXTRA_CHANNELS; ++i)
      result = StopWithGroup(&gOsnd.channels[i]);
    return result;
  }
  OsndChannel *c = Osnd_GetChannel(channel);
  return c ? StopWithGroup(c) : false;
}

bool OSND_SetFrequency(int channel, int frequency) {
  return ForChannels(channel, false, true, [frequency](OsndChannel *c, OsndChannel *) {
    if (frequency == c->frequency) return true;
    c->frequency = frequency;
    return c->ops.setFrequency(c, frequency);
  });
}

bool OSND_SetVolume(int channel, int volume) {
  volume = Clamp255(volume);
  return ForChannels(channel, true, false, [volume](OsndChannel *c, OsndChannel *walked) {
    c->flags &= ~OSND_CHANFLAG_ABSOLUTE;
    c->volume = volume & 255;
    if (walked->flags & OSND_CHANFLAG_MUTED) return true;
    return c->ops.setVolume(c, gOsnd.sfxMasterVolume * volume / 255);
  });
}

bool OSND_SetVolumeAbsolute(int channel, int volume) {
  volume = Clamp255(volume);
  return ForChannels(channel, false, false, [volume](OsndChannel *c, OsndChannel *walked) {
    c->flags |= OSND_CHANFLAG_ABSOLUTE;
    c->volume = volume;
    if (walked->flags & OSND_CHANFLAG_MUTED) return true;
    return c->ops.setVolume(c, volume);
  });
}

static int ScalePan(int pan, float separation) {
  if (pan == -1) return -1;
  pan = Clamp255(pan);
  return int(separation * float(pan - 128) + 128.0f);
}

bool OSND_SetPan(int channel, int pan) {
  const int stored = ScalePan(pan, gOsnd.panSeparation);
  return ForChannels(channel, true, false, [stored](OsndChannel *c, OsndChannel *) {
    c->pan = stored;
    return c->ops.setPan(c, stored);
  });
}

bool Osnd_SetPanUnscaled(int channel, int pan) {
  const int stored = ScalePan(pan, 1.0f);
  return ForChannels(channel, false, false, [stored](OsndChannel *c, OsndChannel *) {
    c->pan = stored;
    return c->ops.setPan(c, stored);
  });
}

bool OSND_SetSurround(int channel, bool surround) {
  return ForChannels(channel, false, true, [surround](OsndChannel *c, OsndChannel *) {
    if (surround)
      c->flags |= OSND_CHANFLAG_SURROUND;
    else
      c->flags &= ~OSND_CHANFLAG_SURROUND;
    return true;
  });
}

bool OSND_SetPaused(int channel, bool paused) {
  return ForChannels(channel, true, true, [paused](OsndChannel *c, OsndChannel *) {
    const bool result = c->ops.setPaused(c, paused);
    if (paused)
      c->flags |= OSND_CHANFLAG_PAUSED;
    else
      c->flags &= ~OSND_CHANFLAG_PAUSED;
    return result;
  });
}

bool OSND_SetReserved(int channel, bool reserved) {
  return ForChannels(channel, false, true, [reserved](OsndChannel *c, OsndChannel *) {
    if (reserved)
      c->flags |= OSND_CHANFLAG_RESERVED;
    else
      c->flags &= ~OSND_CHANFLAG_RESERVED;
    return true;
  });
}

bool OSND_SetLoopMode(int channel, unsigned int loopMode) {
  return ForChannels(channel, false, true, [loopMode](OsndChannel *c, OsndChannel *) {
    c->mode = (c->mode & ~7u) | (loopMode & 7u);
    return c->ops.setLoopMode(c, loopMode & 7u);
  });
}

bool OSND_SetCurrentPosition(int channel, unsigned int offset) {
  return ForChannels(channel, false, true, [offset](OsndChannel *c, OsndChannel *) {
    if (!c->currentSample || offset >= c->currentSample->length) {
      Osnd_SetError(OSND_ERR_INVALID_PARAM);
      return false;
    }
    c->ops.setPosition(c, offset);
    return true;
  });
}

static OsndChannel *ChannelForGetter(int channel) {
  Osnd_ResetError();
  if (!gOsnd.initialised) {
    Osnd_SetError(OSND_ERR_UNINITIALISED);
    return nullptr;
  }
  return Osnd_GetChannel(channel);
}

int OSND_GetFrequency(int channel) {
  SystemLockGuard guard(Osnd_MixerLock());
  OsndChannel *c = ChannelForGetter(channel);
  return c ? c->frequency : 0;
}

int OSND_GetVolume(int channel) {
  SystemLockGuard guard(Osnd_MixerLock());
  OsndChannel *c = ChannelForGetter(channel);
  return c ? c->volume : 0;
}

bool OSND_GetMute(int channel) {
  SystemLockGuard guard(Osnd_MixerLock());
  OsndChannel *c = ChannelForGetter(channel);
  return c && (c->flags & OSND_CHANFLAG_MUTED);
}

bool OSND_GetPaused(int channel) {
  SystemLockGuard guard(Osnd_MixerLock());
  OsndChannel *c = ChannelForGetter(channel);
  return c && (c->flags & OSND_CHANFLAG_PAUSED);
}

OSND_SAMPLE *OSND_GetCurrentSample(int channel) {
  SystemLockGuard guard(Osnd_MixerLock());
  OsndChannel *c = ChannelForGetter(channel);
  return c ? c->currentSample : nullptr;
}

unsigned int OSND_GetCurrentPosition(int channel) {
  SystemLockGuard guard(Osnd_MixerLock());
  OsndChannel *c = ChannelForGetter(channel);
  return c ? c->ops.getPosition(c) : 0;
}

bool OSND_IsPlaying(int channel) {
  SystemLockGuard guard(Osnd_MixerLock());
  OsndChannel *c = ChannelForGetter(channel);
  return c && c->ops.isPlaying(c);
}

int OSND_GetChannelsPlaying() {
  Osnd_ResetError();
  if (!gOsnd.initialised) {
    Osnd_SetError(OSND_ERR_UNINITIALISED);
    return 0;
  }
  int playing = 0;
  for (int i = 0; i < gOsnd.channelCount; ++i)
    if (OSND_IsPlaying(i)) ++playing;
  return playing;
}

}  // extern "C"
