// DirectSound capture: the record slots of the DirectSound output.
#pragma once

#include "sound/src/core/osnd_records.h"

// Looks the capture entry points up in the loaded DirectSound module; without
// them the DirectSound output records nothing (its record slots answer as the
// no-sound output's).
void OutputDSound_LoadCapture(void *module, bool version8);
void OutputDSound_CloseCapture();

bool OsndRecordDSound_Enumerate();
bool OsndRecordDSound_Init(int driver);
bool OsndRecordDSound_Start(int length, unsigned mode, int rate);
bool OsndRecordDSound_Stop();
int OsndRecordDSound_Position();
bool OsndRecordDSound_Lock(unsigned offset, unsigned bytes, void **p1, void **p2, unsigned *l1, unsigned *l2);
bool OsndRecordDSound_Unlock(void *p1, void *p2, unsigned l1, unsigned l2);
