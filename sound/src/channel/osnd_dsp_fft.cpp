#include "sound/src/channel/osnd_dsp_fft.h"

void OsndDspFft_Free(OsndDspFft *fft) {
  if (!fft) return;
  if (fft->spectrum) OSND_FREE_MEM(fft->spectrum);
  if (fft->unit) OSND_DSP_Free(fft->unit);
  OSND_FREE_MEM(fft);
}
