// Layer 2 frames built bit by bit for the MPEG decoder and reader tests.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

using MpegBytes = std::vector<uint8_t>;

// Bytes of one frame of MPEG-1 layer 2, mono, 48 kHz, 64 kbit/s (192 bytes):
// subband 0 carries 36 samples of 65535 levels with scale-factor index
// `scale`; code(i) gives sample i's code (0..65534, 32767 is silence).
MpegBytes Layer2Frame(int scale, const std::function<int(int)> &code);
// A frame of subband 0 samples following a slow wave, different per seed.
MpegBytes Layer2Tone(int seed);
// count frames of Layer2Tone(0..count-1) back to back.
MpegBytes Layer2Stream(int count);
// A RIFF/WAVE file whose "data" chunk holds data under format tag `tag`,
// with an "smpl" loop when loopEnd > 0.
MpegBytes WaveWrapper(const MpegBytes &data, int tag, uint32_t loopStart = 0, uint32_t loopEnd = 0);
