// The engine's converters for WAV formats other than 8/16-bit PCM and IMA
// ADPCM: 24- and 32-bit integer PCM, 32- and 64-bit float, A-law and mu-law,
// all to 16-bit signed PCM with the same channel count.
#pragma once

#include <cstdint>

struct WavConverter {
  int tag;       // 1 PCM, 3 float, 6 A-law, 7 mu-law
  int bits;
  int channels;
  int sourceFrame;  // bytes per source frame
};

// Whether a format can be converted; fills the converter when it can.
bool WavConverter_Open(int tag, int bits, int channels, int blockAlign, WavConverter *converter);
// PCM bytes that sourceBytes of source data become.
uint32_t WavConverter_Size(const WavConverter *converter, uint32_t sourceBytes);
// Converts whole source frames; answers the bytes written (at most destinationBytes).
int WavConverter_Convert(const WavConverter *converter, const uint8_t *source, int sourceBytes, int16_t *destination,
                         int destinationBytes);
