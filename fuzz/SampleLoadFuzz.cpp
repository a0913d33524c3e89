// OSND_Sample_Load on arbitrary bytes from memory: every reader in turn.
#include "sound/include/osnd.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  static const bool ready = [] {
    OSND_SetOutput(OSND_OUTPUT_NOSOUND_NONREALTIME);
    return OSND_Init(44100, 4, 0);
  }();
  if (!ready || size == 0 || size > (1u << 20)) return 0;
  OSND_SAMPLE *sample = OSND_Sample_Load(-1, reinterpret_cast<const char *>(data), OSND_MODE_MEMORY, 0, int(size));
  if (sample) OSND_Sample_Free(sample);
  return 0;
}
