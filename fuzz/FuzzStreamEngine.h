// The engine as the stream fuzz targets run it: the non-realtime output at a
// low rate, and a stream buffer of 20 ms, so that an input costs a few
// decoded frames rather than the 400 ms a player's stream decodes ahead.
#pragma once

#include "sound/include/osnd.h"
#include "sound/src/stream/osnd_stream.h"

inline bool StartFuzzStreamEngine() {
  OSND_SetOutput(OSND_OUTPUT_NOSOUND_NONREALTIME);
  const bool started = OSND_Init(8000, 4, 0);
  gOsndStreams.bufferMs = 20;
  return started;
}
