// Recording: the core that copies what an output captured into the record
// sample.
#pragma once

#include "sound/src/core/osnd_records.h"

bool OsndRecord_Stop();
// Stops the recording if it writes into `sample`: the record thread has left
// it when this returns (a free calls it before the sample goes).
void OsndRecord_StopInto(const OSND_SAMPLE *sample);
// Drops the record sample after the output's recording has stopped (close).
void OsndRecord_Forget();
// Takes a piece of the output's record ring (offset and length in samples)
// into the record sample; the outputs' record threads reach it through the
// record sink it installs when a recording starts.
void OsndRecord_CopyToSample(int offset, int samples);

// The record sample's write position, in samples.
int OsndRecord_WritePosition();
