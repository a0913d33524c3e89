// Effect steps of the S3M player that the MOD player shares.
#pragma once

#include "sound/src/music_core.h"

// Slides the voice's period toward the channel's tone-portamento target.
void S3m_TonePortamento(MusicChannel *channel, MusicVoice *voice);
// Sets the voice's period delta from the channel's vibrato and advances it.
void S3m_Vibrato(MusicChannel *channel, MusicVoice *voice);
