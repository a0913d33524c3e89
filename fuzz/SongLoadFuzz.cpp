// Music_LoadSong on arbitrary bytes from memory: every song loader in turn; a
// loaded song plays a few blocks through the non-realtime output.
#include "sound/include/osnd.h"
#include "sound/src/song/music_core.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  static const bool ready = [] {
    OSND_SetOutput(OSND_OUTPUT_NOSOUND_NONREALTIME);
    return OSND_Init(44100, 8, 0);
  }();
  if (!ready || size == 0 || size > (1u << 20)) return 0;
  MusicSong *song = Music_CreateSong();
  if (!song) return 0;
  if (Music_LoadSong(song, reinterpret_cast<const char *>(data), OSND_MODE_MEMORY | OSND_MODE_LOOP_NORMAL, 0,
                     int(size), nullptr, 0)) {
    Music_PlaySong(song);
    for (int i = 0; i < 8; ++i) OSND_Update();
  }
  Music_FreeSong(song);
  return 0;
}
