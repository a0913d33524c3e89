// Sample storage that an output driver keeps itself (the sample's driverData):
// its size in bytes and the lock of a byte range, which wraps at the end as
// in the looping buffer the driver plays.
#pragma once

#include "sound/src/core/osnd_records.h"

unsigned OutputSample_Bytes(const OSND_SAMPLE *sample);
// False without storage; an offset past the end wraps, a length is at most the size.
bool OutputSample_Lock(OSND_SAMPLE *sample, unsigned offset, unsigned length, void **p1, void **p2, unsigned *l1,
                       unsigned *l2);
// The operations of such a sample: the driver's own create and release, the
// lock above, no upload, and an unlock with nothing to do (the driver reads
// the storage itself).
void OutputSample_SetOps(OSND_SAMPLE *sample, bool (*create)(OSND_SAMPLE *), void (*release)(OSND_SAMPLE *));
