// Software channels and samples: the channel and sample operations of the
// software mixer's channels, their volume, pan and levels, and the layout of
// a sample's data in software storage.
#pragma once

#include "sound/src/core/osnd_records.h"

// Pan gains: entry i = floor(16 * sqrt(i)).
int OsndPanTable(int i);

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
