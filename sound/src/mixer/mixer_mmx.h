// The saturated 16-bit integer quality mixers. The two forms differ only in how
// they load sample data and give identical results.
#pragma once

#include "sound/src/core/osnd_records.h"

void MixerMmx_Clear(void *buffer, int samples);
void MixerMmx_MixP5(void *buffer, OsndListNode *channels, int samples, int reserved);
void MixerMmx_MixP6(void *buffer, OsndListNode *channels, int samples, int reserved);
void MixerMmx_ClipCopy(int16_t *destination, const void *buffer, int samples);
