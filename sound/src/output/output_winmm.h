// The WinMM output: the software mix played as one looping wave-out buffer,
// and recording through a ring of wave-in pieces.
#pragma once

#include "sound/src/core/osnd_records.h"

extern OsndOutputDriver OsndOutputWinMM;

// Recording geometry of the running recording (0 when none).
int OutputWinMM_RecordPieceBytes();
int OutputWinMM_RecordRingBytes();
