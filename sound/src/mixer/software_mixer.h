// The software mixer: mixer choice, block and buffer sizes, the mixer thread,
// the mixing of one block; and the software channel and sample operations.
#pragma once

#include "sound/src/core/osnd_records.h"

extern OsndMixer gOsndMixers[14];
// Pan gains: entry i = floor(16 * sqrt(i)).
int OsndPanTable(int i);

bool Osnd_CpuHasCpuid();
bool Osnd_CpuHasMmx();
bool Osnd_CpuIsP6();
// Processor features as the mixer choice sees them; tests may override them.
void SoundSoftware_OverrideCpu(int hasCpuid, int hasMmx, int isP6);  // -1 = detect

bool SoundSoftware_Init();
bool SoundSoftware_StartThread();
// Stops the mixer thread and waits for it to end.
void SoundSoftware_StopThread();
void SoundSoftware_MixBlock(int offset, int length);
void SoundSoftware_Close();

void SoundSoftware_SetChannelOps(OsndChannel *channel);
void SoundSoftware_SetSampleOps(OSND_SAMPLE *sample);
void SoundSoftware_AppendIdle(OsndChannel *channel);
// The software volume and pan routines of a channel's slots, called directly.
bool SoundSoftware_SetVolume(OsndChannel *channel, int volume);
bool SoundSoftware_SetPan(OsndChannel *channel, int pan);
bool SoundSoftware_GetLevels(OsndChannel *channel, float *left, float *right);
void SoundSoftware_PeakLevels(OsndChannel *channel, int *left, int *right);
// Sample bytes as the software storage holds them (all channel areas, no guards).
unsigned SoundSoftware_SampleBytes(const OSND_SAMPLE *sample);
// Start of channel area k of a sample's data.
uint8_t *SoundSoftware_ChannelArea(const OSND_SAMPLE *sample, int k);

void Osnd_DownmixStereoToMono(void *destination, const void *source, int frames, unsigned mode);
