// Reverb through the EAX 3.0 and 2.0 property sets of the DirectSound output.
#pragma once

#include "sound/src/core/osnd_records.h"

// The engine's reverb record: 30 words of 32 bits.
struct OsndReverbProperties {
  uint32_t environment;
  float environmentSize, environmentDiffusion;
  int32_t room, roomHF, roomLF;
  float decayTime, decayHFRatio, decayLFRatio;
  int32_t reflections;
  float reflectionsDelay, reflectionsPan[3];
  int32_t reverb;
  float reverbDelay, reverbPan[3];
  float echoTime, echoDepth, modulationTime, modulationDepth;
  float airAbsorptionHF, hfReference, lfReference, roomRolloffFactor, diffusion, density;
  uint32_t flags;
};
static_assert(sizeof(OsndReverbProperties) == 120, "the reverb record is 30 words");

struct OsndReverbChannelProperties {
  int32_t direct, directHF, room, roomHF, obstruction;
  float obstructionLFRatio;
  int32_t occlusion;
  float occlusionLFRatio, occlusionRoomRatio, occlusionDirectRatio;
  int32_t exclusion;
  float exclusionLFRatio;
  int32_t outsideVolumeHF;
  float dopplerFactor, rolloffFactor, roomRolloffFactor, airAbsorptionFactor;
  uint32_t flags;
};
static_assert(sizeof(OsndReverbChannelProperties) == 72, "the channel reverb record is 18 words");

// Each variant: 3 (EAX 3.0) or 2 (EAX 2.0).
bool OsndEax_Init(int version);
void OsndEax_Close(int version);
bool OsndEax_SetProperties(int version, const OsndReverbProperties *properties);
bool OsndEax_GetProperties(int version, OsndReverbProperties *properties);
bool OsndEax_SetChannelProperties(int version, OsndChannel *channel, const OsndReverbChannelProperties *properties);
// Which listener properties answered both get and set at the last init.
uint32_t OsndEax_SupportMask(int version);

// The DirectSound output's reverb slots: EAX 3.0 first, then 2.0.
bool OsndEax_ReverbInit();
bool OsndEax_SetReverb(const int32_t *properties);
bool OsndEax_GetReverb(int32_t *properties);
bool OsndEax_SetChannelReverb(OsndChannel *channel, const OsndReverbChannelProperties *properties);
int OsndEax_Version();
void OsndEax_Shutdown();
// The sample whose buffer carries the listener property set, or null.
OSND_SAMPLE *OsndEax_Sample();
// Drops a channel's buffer property set (the channel stops).
void OsndEax_ReleaseChannel(OsndChannel *channel);
