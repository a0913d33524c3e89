// The floating-point quality mixer: 32-bit float stereo mix buffer on a 16-bit scale.
#pragma once

#include "sound/src/core/osnd_records.h"

bool MixerFpu_Init();
void MixerFpu_Free();
void MixerFpu_Clear(void *buffer, int samples);
void MixerFpu_ClearMmx(void *buffer, int samples);
void MixerFpu_Mix(void *buffer, OsndListNode *channels, int samples, int reserved);
void MixerFpu_ClipCopy(int16_t *destination, const void *buffer, int samples);
void MixerFpu_ClipCopyP6(int16_t *destination, const void *buffer, int samples);
// The 8-bit conversion table entry for a signed sample byte.
float MixerFpu_Table8(int8_t value);
