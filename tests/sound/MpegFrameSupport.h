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

// One granule of one channel of a layer 3 frame, as the frame builder writes
// it. Every region uses `table`; the lines are all big values (no count1
// region), so big_values is lines.size() / 2.
struct Layer3Part {
  int globalGain = 150;
  int scalefacCompress = 0;
  int blockType = 0;  // 0: no window switching
  bool mixed = false;
  int table = 7;
  int subblockGain[3] = {0, 0, 0};
  int region0 = 7, region1 = 7;
  bool preflag = false, scalefacScale = false;
  std::vector<std::pair<int, int>> scalefactors;  // (value, bits) in bitstream order
  std::vector<int> lines;                         // signed values, even count
  int part23Adjust = 0;                           // added to the true part2_3_length
  int bigValuesOverride = -1;                     // written instead of lines.size() / 2
  bool switchedTypeZero = false;                  // window switching with block type 0 (invalid)
};

struct Layer3Layout {
  bool lsf = false;        // false: MPEG-1 44.1 kHz 128 kbit/s; true: MPEG-2 22.05 kHz 64 kbit/s
  int modeExtension = 0;   // joint stereo: 1 intensity, 2 mid/side
  int mainDataBegin = 0;
  int scfsi[2] = {0, 0};   // MPEG-1, 4 bits per channel
  Layer3Part parts[2][2];  // [granule][channel]; MPEG-2 uses granule 0
};

// A joint-stereo layer 3 frame (417 bytes MPEG-1, 208 bytes MPEG-2); empty
// when the main data does not fit.
MpegBytes Layer3Frame(const Layer3Layout &layout);
// An MPEG-1 stereo frame layout of long blocks with pseudo-random lines (no
// scale factors, main data in the frame itself), different per seed.
Layer3Layout Layer3Noise(uint32_t seed);
