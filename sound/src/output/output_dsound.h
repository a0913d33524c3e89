// The DirectSound output: hardware 2D and 3D channels on DirectSound buffers,
// the software mix on one looping secondary buffer, the 3D listener, reverb
// through the EAX property sets, and capture.
#pragma once

#include "sound/src/core/osnd_records.h"

struct IDirectSound8;
struct IDirectSoundBuffer;
struct IDirectSound3DBuffer;
struct IKsPropertySet;

extern OsndOutputDriver OsndOutputDSound;

// Hundredths of a decibel for the engine's volumes 0..255.
extern const int32_t OsndVolumeTable[256];

// The DirectSound objects behind a hardware channel and a sample.
struct OsndDsChannel {
  IDirectSoundBuffer *buffer;
  IDirectSound3DBuffer *buffer3d;
  IKsPropertySet *reverbSet;
  int effectCount;
  uint8_t effectTypes[16];
  void *effects[16];
  int sentPan;  // the pan last given to the buffer; -2 none
};

// Effects on a hardware channel (DirectX 8 effect types 0..8).
int OutputDSound_EnableEffect(OsndChannel *channel, int type);
bool OutputDSound_DisableEffects(OsndChannel *channel);
bool OutputDSound_SetEffectParameters(OsndChannel *channel, unsigned id, void *parameters);

// The driver's state that the reverb and record code share.
IDirectSound8 *OutputDSound_Object();
int OutputDSound_DirectXVersion();
bool OutputDSound_Software3D();
void *OutputDSound_Lock();
