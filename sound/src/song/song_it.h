// IT songs: the loader (song_it_load.cpp) hands the song to the
// player (song_it_play.cpp) through these.
#pragma once

#include "sound/src/song/music_core.h"

constexpr int IT_CHANNELS = 64;
constexpr int IT_MAX_TABLE = 256;  // instruments, samples and patterns a file may list
constexpr uint8_t IT_NOTE_CUT = 254;
constexpr uint8_t IT_NOTE_OFF = 255;

enum : uint8_t { IT_INSTRUMENTS = 4, IT_LINEAR = 8, IT_OLD_EFFECTS = 16, IT_OWN_G_MEMORY = 32 };
// Envelope type bits as the instrument keeps them.
enum : uint8_t { IT_ENV_ON = 1, IT_ENV_SUSTAIN = 2, IT_ENV_LOOP = 4, IT_ENV_CARRY = 8 };

// Installs the IT start hook and tick callback on a loaded song.
void It_InstallPlayer(MusicSong *song);
