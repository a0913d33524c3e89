#include "sound/src/channel/osnd_3d.h"

#include "sound/src/channel/osnd_channel.h"
#include "sound/src/channel/software_channel.h"
#include "sound/src/system/system_thread.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr Osnd3dListener kDefaultListener{{0, 0, 0}, {0, 0, 0}, {0, 0, 1}, {0, 1, 0}, {1, 0, 0}};

constexpr Osnd3dState DefaultState() {
  Osnd3dState state{};
  state.listenerCount = 1;
  for (Osnd3dListener &l : state.listeners) l = kDefaultListener;
  state.dopplerFactor = 1.0f;
  state.distanceFactor = 1.0f;
  state.rolloffFactor = 1.0f;
  return state;
}

float Distance(const float *a, const float *b) {
  const double dx = double(a[0]) - b[0], dy = double(a[1]) - b[1], dz = double(a[2]) - b[2];
  return float(std::sqrt(dx * dx + dy * dy + dz * dz));
}

int ClampPan(int v) { return std::clamp(v, 0, 255); }

}  // namespace

Osnd3dState gOsnd3d = DefaultState();

void Osnd3d_ResetListeners() { gOsnd3d = DefaultState(); }

void Osnd3d_UpdateChannel(OsndChannel *c, bool apply) {
  const OSND_SAMPLE *s = c->currentSample;
  if (!s) return;
  if (s->mode & (OSND_MODE_2D | OSND_MODE_HW2D)) {
    c->volume3d = 255;
    c->frequencyScale = 1.0f;
    return;
  }
  if ((c->flags & OSND_CHANFLAG_KEEPLIST) || (s->mode & OSND_MODE_STEREO)) return;

  float scale = 1.0f;
  int volume = 0;
  int pan = 128;
  const int listeners = std::clamp(gOsnd3d.listenerCount, 0, OSND_MAX_LISTENERS);
  for (int i = 0; i < listeners; ++i) {
    const Osnd3dListener &l = gOsnd3d.listeners[i];
    const float d = Distance(c->position3d, l.position);
    if (gOsnd3d.dopplerFactor > 0.0f && listeners == 1) {
      const float speed = 340.0f / gOsnd3d.distanceFactor;
      const float earlier[3] = {c->position3d[0] - c->velocity3d[0], c->position3d[1] - c->velocity3d[1],
                                c->position3d[2] - c->velocity3d[2]};
      const float dPrevious = Distance(earlier, l.previous);
      scale = (speed - (d - dPrevious) * gOsnd3d.dopplerFactor) / speed;
    }
    // Also catches a NaN scale from a zero distance factor.
    if (!(scale >= 0.00001f)) scale = 0.00001f;

    const float minimum = c->minDistance, maximum = c->maxDistance;
    float dc = std::min(d, maximum);
    dc = std::max(dc, minimum);
    float gain;
    if (gOsnd3d.rolloffFactor == 0.0f) {
      gain = maximum - minimum > 0.0f ? (maximum - dc) / (maximum - minimum) : 1.0f;
    } else {
      float dr = dc;
      if (dc > minimum && gOsnd3d.rolloffFactor != 1.0f) dr = minimum + (dc - minimum) * gOsnd3d.rolloffFactor;
      dr = std::max(dr, 0.00001f);
      gain = minimum / dr;
    }
    gain = std::clamp(gain, 0.0f, 1.0f);  // NaN stays NaN: caught below
    if (!(gain >= 0.0f)) gain = 0.0f;
    volume = std::max(volume, int(gain * 255.0f));

    if (listeners == 1) {
      float p = 0.0f;
      if (d > 0.0f) {
        for (int k = 0; k < 3; ++k) p += (c->position3d[k] - l.position[k]) / d * l.right[k];
      }
      pan = ClampPan(128 + int(128.0f * p));
      pan = int(128.0f + float(pan - 128) * gOsnd.panSeparation);
    }
  }
  c->frequencyScale = scale;
  c->volume3d = volume;

  const int applied = (c->flags & OSND_CHANFLAG_ABSOLUTE) ? c->volume : gOsnd.sfxMasterVolume * c->volume / 255;
  if (apply) {
    c->ops.setFrequency(c, c->frequency);
    c->ops.setVolume(c, applied);
    c->ops.setPan(c, pan);
  } else {
    SoundSoftware_SetVolume(c, applied);
    SoundSoftware_SetPan(c, pan);
  }
}

void Osnd3d_UpdateAll() {
  if (!gOsnd.channels) return;
  // The pass sets steps and gains that the mixer reads while it mixes a block,
  // and reads samples that other threads' stops take away: it holds the
  // mixer's lock throughout, once per update.
  SystemLockGuard guard(Osnd_MixerLock());
  for (int i = 0; i < gOsnd.softwareChannels; ++i) Osnd3d_UpdateChannel(&gOsnd.channels[i], true);
}

float Osnd3d_NearestListenerDistance(const OsndChannel *c) {
  float nearest = 10000.0f;
  const int listeners = std::clamp(gOsnd3d.listenerCount, 0, OSND_MAX_LISTENERS);
  for (int i = 0; i < listeners; ++i)
    nearest = std::min(nearest, Distance(c->position3d, gOsnd3d.listeners[i].position));
  return nearest;
}

bool SoundSoftware_Update3D(OsndChannel *c) {
  if (c->flags & OSND_CHANFLAG_PAUSED) Osnd3d_UpdateChannel(c, true);
  return true;
}

extern "C" bool OSND_3D_SetAttributes(int channel, const float *position, const float *velocity) {
  Osnd_ResetError();
  if (!gOsnd.initialised || !gOsnd.channels) {
    Osnd_SetError(OSND_ERR_UNINITIALISED);
    return false;
  }
  SystemLockGuard guard(Osnd_MixerLock());
  auto store = [](float *stored, const float *given) {
    if (!given) return false;
    const bool changed = stored[0] != given[0] || stored[1] != given[1] || stored[2] != given[2];
    for (int k = 0; k < 3; ++k) stored[k] = given[k];
    return changed;
  };
  auto one = [&](OsndChannel *c) {
    const bool moved = store(c->position3d, position);
    const bool sped = store(c->velocity3d, velocity);
    return (moved || sped) ? c->ops.update3D(c) : true;
  };
  if (channel == OSND_ALL) {
    bool result = true;
    for (int i = 0; i < gOsnd.channelCount; ++i) result = one(&gOsnd.channels[i]);
    return result;
  }
  OsndChannel *c = Osnd_GetChannel(channel);
  if (!c) return false;
  bool result = one(c);
  if (channel >= 4096)
    for (OsndChannel *sub = c->subChannel; sub; sub = sub->subChannel) result = one(sub);
  return result;
}
