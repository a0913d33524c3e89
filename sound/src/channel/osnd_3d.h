// 3D sound: the listener, channel positions and the distance volume, Doppler
// scale and pan derived from them.
#pragma once

#include "sound/src/core/osnd_records.h"

constexpr int OSND_MAX_LISTENERS = 8;

struct Osnd3dListener {
  float position[3];
  float previous[3];  // the position one time unit earlier (Doppler)
  float front[3];
  float top[3];
  float right[3];
};

struct Osnd3dState {
  int listenerCount;
  Osnd3dListener listeners[OSND_MAX_LISTENERS];
  float dopplerFactor;
  float distanceFactor;
  float rolloffFactor;
};

extern Osnd3dState gOsnd3d;

// Puts the listener state back to one listener at the origin looking down +z.
void Osnd3d_ResetListeners();

// Works out the channel's 3D volume, frequency scale and pan. With apply the
// results pass through the channel's own slots (frequency, volume, pan);
// without it only the software volume and pan routines run.
void Osnd3d_UpdateChannel(OsndChannel *channel, bool apply);
// The update pass over every software channel, in index order.
void Osnd3d_UpdateAll();
// Distance from the channel to the nearest listener; 10000 without a listener.
float Osnd3d_NearestListenerDistance(const OsndChannel *channel);

// The software channels' 3D slot: runs the 3D update while the channel is paused.
bool SoundSoftware_Update3D(OsndChannel *channel);
