#include "sound/src/output/output_table.h"

#include "sound/src/output/output_asio.h"
#include "sound/src/output/output_dsound.h"
#include "sound/src/output/output_nosound.h"
#include "sound/src/output/output_winmm.h"

OsndOutputDriver *Osnd_OutputDriverForType(int outputType) {
  switch (outputType) {
    case OSND_OUTPUT_WINMM:
      return &OsndOutputWinMM;
    case OSND_OUTPUT_DSOUND:
      return &OsndOutputDSound;
    case OSND_OUTPUT_ASIO:
      return &OsndOutputAsio;
    default:
      return &OsndOutputNoSound;
  }
}
