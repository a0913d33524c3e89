#include "sound/src/engine/osnd_register.h"

#include "sound/src/channel/osnd_sample.h"
#include "sound/src/format/format_imaadpcm.h"
#include "sound/src/format/format_it_sample.h"
#include "sound/src/mixer/software_mixer.h"
#include "sound/src/song/music_core.h"
#include "sound/src/song/song_midi.h"
#include "sound/src/source/source_cdda.h"
#include "sound/src/source/source_net.h"
#include "sound/src/source/source_record.h"
#include "sound/src/stream/osnd_stream.h"

#include <mutex>

namespace {

// The song loaders in the order Music_LoadSong tries them.
const MusicLoader kSongLoaders[] = {
    [](MusicSong *song, SystemFileHandle *file, const MusicLoadRequest &r) {
      return MusicFormatOsb_Load(song, file, r.mode, r.sampleList, r.sampleListCount);
    },
    [](MusicSong *song, SystemFileHandle *file, const MusicLoadRequest &) { return MusicFormatS3m_Load(song, file); },
    [](MusicSong *song, SystemFileHandle *file, const MusicLoadRequest &) { return MusicFormatXm_Load(song, file); },
    [](MusicSong *song, SystemFileHandle *file, const MusicLoadRequest &) { return MusicFormatIt_Load(song, file); },
    [](MusicSong *song, SystemFileHandle *file, const MusicLoadRequest &r) {
      return MusicFormatMidi_Load(song, file, r.name);
    },
    [](MusicSong *song, SystemFileHandle *file, const MusicLoadRequest &) { return MusicFormatMod_Load(song, file); }};

}  // namespace

void Osnd_RegisterLayers() {
  static std::once_flag once;
  std::call_once(once, [] {
    OsndSample_SetHooks(OsndSampleHooks{OsndTracker_Decompress, OsndImaAdpcm_Decode, Music_ReleaseSample,
                                        OsndRecord_StopInto});
    OsndStream_SetSources(OsndStreamSources{OsndCdda_StreamOpen, OsndCdda_StreamSeek, OsndCdda_StreamTrackCount,
                                            OsndCdda_StreamSelectTrack, OsndStreamNet_Open, OsndStreamNet_Stop});
    SoundSoftware_SetMusicUnitProc(OsndDsp_MusicUnitProc);
    Music_SetFormats(MusicFormats{kSongLoaders, int(sizeof kSongLoaders / sizeof kSongLoaders[0]), MusicFormatMidi_Stop,
                                  MusicFormatMidi_Free, MusicFormatOsb_Stop});
  });
}
