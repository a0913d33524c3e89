// S3M songs: loader, player and the effect steps the MOD player shares.
#pragma once

#include "sound/src/song/music_core.h"

// Slides the voice's period toward the channel's tone-portamento target.
void S3m_TonePortamento(MusicChannel *channel, MusicVoice *voice);
// Sets the voice's period delta from the channel's vibrato and advances it.
void S3m_Vibrato(MusicChannel *channel, MusicVoice *voice);
// As S3m_Vibrato with four times the resolution.
void S3m_FineVibrato(MusicChannel *channel, MusicVoice *voice);
// Slides the voice's volume by the channel's volume-slide memory.
void S3m_VolumeSlide(MusicChannel *channel, MusicVoice *voice);
// Sets the voice's volume delta from the channel's tremolo and advances it.
void S3m_Tremolo(MusicChannel *channel, MusicVoice *voice);
// As S3m_Tremolo with the given waveform (0..3) in place of the channel's.
void S3m_TremoloWith(MusicChannel *channel, MusicVoice *voice, int waveform);
// One tick of tremor: the voice is silent for the off ticks after the on ticks.
void S3m_Tremor(MusicChannel *channel, MusicVoice *voice);
// Tremor's row: a parameter xy other than 0 sets x + 1 on and y + 1 off
// ticks; then one tick of tremor.
void S3m_TremorRow(MusicChannel *channel, MusicVoice *voice, int parameter);
// A row's note (MOD and S3M): the voice it plays on (a fresh one when the
// channel has none), the channel's note and period, the default pan and a
// trigger. A tone portamento leaves the voice's period to slide to the note.
MusicVoice *S3m_StartNote(MusicSong *song, MusicChannel *channel, MusicVoice *voice, OSND_SAMPLE *sample, int note,
                          bool portamento);
// A tone portamento's row: the channel's note becomes the target and the
// voice neither restarts nor jumps to it.
void S3m_HoldForPortamento(MusicChannel *channel, MusicVoice *voice);
// Sample offset: the voice starts `start` frames into the sample, or stops
// when that lies at or past the sample's loop end.
void S3m_SampleOffset(MusicVoice *voice, const OSND_SAMPLE *sample, unsigned start);
// A new instrument restarts the vibrato and tremolo waves whose waveform
// (below 4) asks for it.
void S3m_RestartWaves(MusicChannel *channel);
// Vibrato and tremolo waveform value (0..255) at a position q (-32..31):
// sine, ramp, square or random.
int S3m_WaveValue(int waveform, int8_t q);
// Moves a waveform position on by speed, wrapping into -32..31.
int8_t S3m_Advance(int8_t q, int speed);
