#include "sound/src/engine/osnd_register.h"

#include "sound/src/channel/osnd_sample.h"
#include "sound/src/format/format_imaadpcm.h"
#include "sound/src/format/format_it_sample.h"
#include "sound/src/mixer/software_mixer.h"
#include "sound/src/song/music_core.h"
#include "sound/src/source/source_cdda.h"
#include "sound/src/source/source_net.h"
#include "sound/src/stream/osnd_stream.h"

#include <mutex>

void Osnd_RegisterLayers() {
  static std::once_flag once;
  std::call_once(once, [] {
    OsndSample_SetHooks(OsndSampleHooks{OsndTracker_Decompress, OsndImaAdpcm_Decode, Music_ReleaseSample});
    OsndStream_SetSources(OsndStreamSources{OsndCdda_StreamOpen, OsndCdda_StreamSeek, OsndCdda_StreamTrackCount,
                                            OsndCdda_StreamSelectTrack, OsndStreamNet_Open, OsndStreamNet_Stop});
    SoundSoftware_SetMusicUnitProc(OsndDsp_MusicUnitProc);
  });
}
