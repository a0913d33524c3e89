// MIDI songs: standard MIDI files (and RIFF MIDI files) played as songs of
// the music player through DirectMusic, whose synthesizer's output reaches
// the engine's mixer through a stream of its own.
#pragma once

#include "sound/src/song/music_core.h"

struct MidiSong;

bool MusicFormatMidi_Load(MusicSong *song, SystemFileHandle *file, const char *name);
// Stops a MIDI song through its own player.
void MusicFormatMidi_Stop(MusicSong *song);
bool MusicFormatMidi_Play(MusicSong *song);
bool MusicFormatMidi_SetVolume(MusicSong *song);
// Frees the song's MIDI data (the song record is being freed).
void MusicFormatMidi_Free(MusicSong *song);
// At engine close: the synthesizer's stream, the performance, the port, the
// loader and DirectMusic itself.
void MusicFormatMidi_Shutdown();
// The engine stream that carries the synthesizer's output (null before the
// first MIDI song plays).
OSND_STREAM *MusicFormatMidi_Stream();
