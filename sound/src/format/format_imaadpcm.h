// IMA ADPCM blocks as WAV files store them, decoded to 16-bit signed PCM.
#pragma once

#include <cstdint>

// One 4-bit code applied to a predictor with the given step size.
int ImaAdpcm_Nibble(int code, int predictor, int step);
// Decodes mono blocks; the destination advances by destStep samples per
// sample (so one channel of an interleaved buffer can be written). False when
// a block header names a step index above 88; blocks before it stay decoded.
bool ImaAdpcm_DecodeMono(const uint8_t *source, int16_t *destination, int blocks, int blockAlign,
                         int samplesPerBlock, int destStep);
// Decodes interleaved stereo blocks into left/right pairs.
bool ImaAdpcm_DecodeStereo(const uint8_t *source, int16_t *destination, int blocks, int blockAlign,
                           int samplesPerBlock);
// Bytes a block needs to hold its samples: header(s) plus the codes.
int ImaAdpcm_MinimumBlockAlign(int channels, int samplesPerBlock);

// The decode of a sample upload in the IMA ADPCM mode: blocks of 36 bytes a
// channel; false when the data cannot be decoded.
bool OsndImaAdpcm_Decode(int16_t *destination, const uint8_t *source, int blocks, int channels);
