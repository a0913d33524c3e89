#include "sound/src/osnd_pending.h"

bool OsndStream_StartThread() { return true; }
void OsndStream_CloseAll() {}
void OsndStream_Shutdown() {}
void OsndNonBlocking_Init() {}
void OsndNonBlocking_Shutdown() {}

void Music_StopAllSongs() {}
void Music_ReleaseSample(OSND_SAMPLE *) {}
void Music_ReapplyTempo() {}

namespace {
OSND_SAMPLE *NotThisFormat() {
  Osnd_SetError(OSND_ERR_FILE_FORMAT);
  return nullptr;
}
}  // namespace

OSND_SAMPLE *OsndFormatOsb_LoadSample(SystemFileHandle *, int, unsigned, const char *) { return NotThisFormat(); }
OSND_SAMPLE *OsndFormatAiff_LoadSample(SystemFileHandle *, int, unsigned, const char *) { return NotThisFormat(); }
OSND_SAMPLE *OsndFormatOggVorbis_LoadSample(SystemFileHandle *, int, unsigned, const char *) { return NotThisFormat(); }
OSND_SAMPLE *OsndFormatMpeg_LoadSample(SystemFileHandle *, int, unsigned, const char *) { return NotThisFormat(); }
OSND_SAMPLE *OsndFormatWav_LoadSample(SystemFileHandle *, int, unsigned, const char *) { return NotThisFormat(); }
OSND_SAMPLE *OsndFormatAsf_LoadSample(SystemFileHandle *, int, unsigned, const char *) { return NotThisFormat(); }

bool OsndTag_SkipId3v2(SystemFileHandle *) { return false; }

bool OsndTracker_Decompress(void *, const void *, unsigned, unsigned, bool, bool) {
  Osnd_SetError(OSND_ERR_FILE_FORMAT);
  return false;
}

bool OsndImaAdpcm_Decode(int16_t *, const uint8_t *, int, int) {
  Osnd_SetError(OSND_ERR_FILE_FORMAT);
  return false;
}

bool SoundSoftware_Update3D(OsndChannel *) { return true; }
