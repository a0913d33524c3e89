// The no-sound output, which also supplies every channel's default operations
// and the slots the other outputs share.
#pragma once

#include "sound/src/core/osnd_records.h"

extern OsndOutputDriver OsndOutputNoSound;

void OsndChannel_SetDefaultOps(OsndChannel *channel);

// After an output's Init: it has no hardware channels, so every channel is
// mixed in software, with the engine's extra channels beside them.
void OsndOutput_SoftwareOnly(OsndOutputDriver *driver);
// The capabilities slot of an output with no hardware to report: no bits.
bool OsndOutput_NoCaps(unsigned *bits, int driver);

// Where the outputs' record threads hand what they captured: a piece of the
// output's record ring (offset and length in samples). The recording core
// sets it before it starts an output's recording; until then pieces are
// dropped.
typedef void (*OsndRecordSink)(int offset, int samples);
void OsndOutput_SetRecordSink(OsndRecordSink sink);
void OsndOutput_PassRecorded(int offset, int samples);

// Capture tap of the no-sound output: while installed, the primary mix buffer
// keeps its 16-bit data and every block the clip-and-copy unit writes is handed
// to the tap (frames of interleaved left/right samples). Install it before
// OSND_Init. A null callback removes it.
typedef void (*OsndCaptureTap)(const int16_t *frames, int frameCount, void *user);
void OsndOutputNoSound_SetCaptureTap(OsndCaptureTap tap, void *user);
