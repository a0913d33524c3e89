// XM songs: the loader (song_xm_load.cpp) hands the song to the
// player (song_xm_play.cpp) through these.
#pragma once

#include "sound/src/song/music_core.h"

constexpr int XM_MAX_CHANNELS = 64;
constexpr int XM_MAX_INSTRUMENTS = 128;
constexpr int XM_SAMPLES_PER_INSTRUMENT = 16;
constexpr uint8_t XM_KEY_OFF = 255;

// Installs the XM tick callback on a loaded song.
void Xm_InstallPlayer(MusicSong *song);
// Period of a real note (0-based, relative note applied) for a finetune.
int Xm_NotePeriod(const MusicSong *song, int realNote, int finetune);
