// OSND_Stream_Open on arbitrary bytes from memory, then a short playback so
// that the decoders run over the data too. The stream buffer is kept short and
// the output runs at a low rate without real time, so an input costs a few
// decoded frames rather than the 400 ms a player's stream decodes ahead.
#include "fuzz/FuzzStreamEngine.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  static const bool ready = StartFuzzStreamEngine();
  if (!ready || size == 0 || size > (1u << 20)) return 0;
  OSND_STREAM *stream = OSND_Stream_Open(reinterpret_cast<const char *>(data), OSND_MODE_MEMORY | OSND_MODE_LOOP_NORMAL,
                                         0, int(size));
  if (!stream) return 0;
  // Enough passes to refill both halves a few times and loop a short file.
  if (OSND_Stream_Play(-1, stream) >= 0)
    for (int i = 0; i < 12; ++i) OSND_Update();
  OSND_Stream_SetPosition(stream, 0);
  OSND_Stream_Close(stream);
  return 0;
}
