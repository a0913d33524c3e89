// The FFT unit record: its spectrum buffer and its DSP unit.
#pragma once

#include "sound/src/core/osnd_records.h"

struct OsndDspFft {
  float *spectrum;
  OSND_DSPUNIT *unit;
};

void OsndDspFft_Free(OsndDspFft *fft);
