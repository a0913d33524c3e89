// The software mixer: mixer choice, block and buffer sizes, the mixer thread,
// the mixing of one block.
#pragma once

#include "sound/src/core/osnd_records.h"

extern OsndMixer gOsndMixers[14];

bool Osnd_CpuHasCpuid();
bool Osnd_CpuHasMmx();
bool Osnd_CpuIsP6();
// Processor features as the mixer choice sees them; tests may override them.
void SoundSoftware_OverrideCpu(int hasCpuid, int hasMmx, int isP6);  // -1 = detect

// The procedure of the music DSP unit, which steps the songs (the song
// player's); the engine sets it before Init.
void SoundSoftware_SetMusicUnitProc(OSND_DSPCALLBACK proc);
bool SoundSoftware_Init();
bool SoundSoftware_StartThread();
// Stops the mixer thread and waits for it to end.
void SoundSoftware_StopThread();
void SoundSoftware_MixBlock(int offset, int length);
void SoundSoftware_Close();
