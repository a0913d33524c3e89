#include "sound/src/music_formats3m.h"

#include <cstdlib>

namespace {

// Waveform value for a position q (-32..31): sine, ramp, square or random.
int WaveValue(int waveform, int8_t q) {
  switch (waveform & 3) {
    case 0: return kMusicSineTable[q & 31];
    case 1: {
      const int ramp = uint8_t((q & 31) * 8);
      return q < 0 ? 255 - ramp : ramp;
    }
    case 2: return 255;
    default: return std::rand() & 255;
  }
}

int8_t Advance(int8_t q, int speed) {
  int next = q + speed;
  while (next > 31) next -= 64;
  return int8_t(next);
}

}  // namespace

void S3m_TonePortamento(MusicChannel *channel, MusicVoice *voice) {
  const int step = channel->portaSpeed * 4;
  if (voice->period < channel->portaTarget) {
    voice->period += step;
    if (voice->period > channel->portaTarget) voice->period = channel->portaTarget;
  } else if (voice->period > channel->portaTarget) {
    voice->period -= step;
    if (voice->period < channel->portaTarget) voice->period = channel->portaTarget;
  }
  voice->flags |= MUSIC_FLAG_FREQUENCY;
}

void S3m_Vibrato(MusicChannel *channel, MusicVoice *voice) {
  const int8_t q = channel->vibratoPosition;
  const int d = ((channel->vibratoDepth * WaveValue(channel->waveControl & 3, q)) >> 5) & ~3;
  voice->periodDelta = q < 0 ? -d : d;
  channel->vibratoPosition = Advance(q, channel->vibratoSpeed);
  voice->flags |= MUSIC_FLAG_FREQUENCY;
}
