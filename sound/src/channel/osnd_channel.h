// Channels: the lookup by handle and the play core that the 3D and stream
// code share with the OSND_ channel calls.
#pragma once

#include "sound/src/core/osnd_records.h"

// Channel lookup by handle; sets error 2 or 14 and answers null.
OsndChannel *Osnd_GetChannel(int handle);
int Osnd_PlaySoundCore(const int *requests, int count, OSND_SAMPLE *sample, OSND_DSPUNIT *unit,
                       bool startPaused);
