// The DSP chain: units ordered by priority that the software mixer runs over
// every block, and the built-in units of the ordinary mix.
#pragma once

#include "sound/src/core/osnd_records.h"

void OsndDsp_ResetChain();
bool OsndDsp_IsInChain(OSND_DSPUNIT *unit);
void OsndDsp_Insert(OsndListNode *head, OSND_DSPUNIT *unit, int priority);
// Makes a caller's unit mix its own channel list (as the sound-effect unit does).
void OsndDsp_MakeChannelUnit(OSND_DSPUNIT *unit);

void *OsndDsp_ClearUnitProc(void *blockStart, void *buffer, int length, void *userData);
void *OsndDsp_SfxUnitProc(void *blockStart, void *buffer, int length, void *userData);
void *OsndDsp_ClipAndCopyUnitProc(void *blockStart, void *buffer, int length, void *userData);
void *OsndDsp_LevelsUnitProc(void *blockStart, void *buffer, int length, void *userData);
