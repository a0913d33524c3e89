// Sample-bank songs: every sample of a bank is one order, played one after
// another on a single engine channel that all bank songs share.
#include "sound/src/song/music_core.h"

#include "sound/src/format/format_load.h"
#include "sound/src/format/format_osb.h"
#include "sound/src/system/system_string.h"

#include <algorithm>
#include <cstring>

namespace {

// The engine channel handle of the sample a bank song plays, and the song.
int gBankChannel = -1;
MusicSong *gBankOwner = nullptr;

void StopBankChannel() {
  if (gBankChannel >= 0 && gOsnd.initialised && gOsnd.channels) OSND_StopSound(gBankChannel);
  gBankChannel = -1;
  gBankOwner = nullptr;
}

bool Listed(const int *list, int count, int index) {
  if (!list) return true;
  for (int k = 0; k < count; ++k)
    if (list[k] == index) return true;
  return false;
}

void Tick(MusicSong *song) {
  if (song->tick == 0) {
    StopBankChannel();
    song->tick = 1;
    song->row = 0;  // 1 once the current order's sample was started (or skipped)
  }
  if (song->finished) return;
  // The channel is shared: while any bank song's sample sounds on it, this one waits.
  if (gBankChannel >= 0 && OSND_IsPlaying(gBankChannel)) return;
  if (song->row) {
    song->row = 0;
    if (++song->order >= song->orderCount) {
      song->order = song->restartOrder;
      // A looping bank song goes round again; marking it finished would
      // leave it silent for ever.
      if (!song->looping) {
        MusicFormatOsb_Stop(song);
        song->finished = 1;
        Music_StopPlaying(song);
        return;
      }
    }
  }
  song->row = 1;
  OSND_SAMPLE *sample = song->samples[song->orders[song->order]];
  if (!sample) return;  // left out by the sample list: the next tick moves on
  const int handle = OSND_PlaySoundEx(-1, sample, nullptr, true);
  gBankChannel = handle;
  gBankOwner = handle >= 0 ? song : nullptr;
  if (handle < 0) return;
  OSND_SetLoopMode(handle, OSND_MODE_LOOP_OFF);
  OSND_SetPaused(handle, false);
}

bool OsbFail(OsbBank *bank, int code) {
  FormatOsb_Close(bank);
  Osnd_SetError(code);
  return false;
}

}  // namespace

void MusicFormatOsb_Stop(MusicSong *song) {
  if (gBankOwner == song) StopBankChannel();
}

bool MusicFormatOsb_Load(MusicSong *song, SystemFileHandle *file, unsigned mode, const int *sampleList, int count) {
  OsbOpenResult r{};
  r.mode = mode;
  if (!FormatOsb_Open(file, &r, nullptr)) return false;
  OsbBank *bank = r.bank;
  song->type = MUSIC_TYPE_SAMPLEBANK;
  SystemString_CopyN(song->name, "ZIVE Sample Bank", 255);
  song->masterVolume = 256;
  song->defaultSpeed = 100;
  song->defaultTempo = 125;
  song->restartOrder = 0;
  // Orders are bytes: a bank plays at most its first 256 samples.
  const int samples = std::min(bank->count, MUSIC_ORDERS);
  song->orderCount = samples;
  for (int k = 0; k < samples; ++k) song->orders[k] = uint8_t(k);
  song->samples = static_cast<OSND_SAMPLE **>(OSND_ALLOC(std::max(samples, 1) * int(sizeof(OSND_SAMPLE *))));
  if (!song->samples) return OsbFail(bank, OSND_ERR_MEMORY);
  std::memset(song->samples, 0, size_t(std::max(samples, 1)) * sizeof(OSND_SAMPLE *));
  song->sampleCount = samples;
  const unsigned loadMode = mode & ~(OSND_MODE_MEMORY | OSND_MODE_NONBLOCKING | OSND_MODE_LOOP_NORMAL |
                                     OSND_MODE_LOOP_OFF | OSND_MODE_LOOP_BIDI);
  for (int k = 0; k < samples; ++k) {
    if (!Listed(sampleList, count, k)) continue;
    OSND_SAMPLE *s = FormatOsb_LoadEntry(file, bank, k, loadMode, OsndFormat_LoadSourceFormat);
    // The bank was recognised: a sample it cannot give ends the loader
    // chain as a damaged file, never as "not this format".
    const int error = gOsndError.lastError;
    if (!s) return OsbFail(bank, error == OSND_ERR_NONE || error == OSND_ERR_FILE_FORMAT ? OSND_ERR_FILE_BAD : error);
    song->samples[k] = s;
  }
  FormatOsb_Close(bank);
  song->tickCallback = Tick;
  return true;
}
