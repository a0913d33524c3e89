#include "sound/src/osnd_pending.h"

#include "sound/src/music_core.h"

namespace {
OSND_SAMPLE *NotThisFormat() {
  Osnd_SetError(OSND_ERR_FILE_FORMAT);
  return nullptr;
}

bool NotThisFormatInfo() {
  Osnd_SetError(OSND_ERR_FILE_FORMAT);
  return false;
}
}  // namespace

OSND_SAMPLE *OsndFormatAsf_LoadSample(SystemFileHandle *, int, unsigned, const char *) { return NotThisFormat(); }

bool OsndFormatAsf_OpenStream(OsndFormatInfo *) { return NotThisFormatInfo(); }

// Song formats not part of this build.
