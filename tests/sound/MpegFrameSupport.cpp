#include "MpegFrameSupport.h"

#include <cmath>
#include <string>

namespace {

class BitWriter {
 public:
  explicit BitWriter(MpegBytes &out) : out_(out) {}
  void Put(uint32_t value, int bits) {
    for (int i = bits - 1; i >= 0; --i) {
      if (used_ == 0) out_.push_back(0);
      if ((value >> i) & 1) out_.back() |= uint8_t(0x80 >> used_);
      used_ = (used_ + 1) & 7;
    }
  }

 private:
  MpegBytes &out_;
  int used_ = 0;
};

void Put32(MpegBytes &b, uint32_t v) {
  for (int i = 0; i < 4; ++i) b.push_back(uint8_t(v >> (8 * i)));
}

void Chunk(MpegBytes &b, const std::string &id, const MpegBytes &data) {
  b.insert(b.end(), id.begin(), id.end());
  Put32(b, uint32_t(data.size()));
  b.insert(b.end(), data.begin(), data.end());
  if (data.size() & 1) b.push_back(0);
}

}  // namespace

MpegBytes Layer2Frame(int scale, const std::function<int(int)> &code) {
  MpegBytes frame = {0xFF, 0xFD, 0x44, 0xC0};
  BitWriter bits(frame);
  // Allocation: subband 0 gets code 15 (65535 levels); the 26 others nothing.
  bits.Put(15, 4);
  for (int sb = 1; sb < 11; ++sb) bits.Put(0, 4);
  for (int sb = 11; sb < 23; ++sb) bits.Put(0, 3);
  for (int sb = 23; sb < 27; ++sb) bits.Put(0, 2);
  bits.Put(2, 2);  // one scale factor for the whole frame
  bits.Put(uint32_t(scale), 6);
  for (int i = 0; i < 36; ++i) bits.Put(uint32_t(code(i)), 16);
  frame.resize(192, 0);
  return frame;
}

MpegBytes Layer2Tone(int seed) {
  return Layer2Frame(2, [seed](int i) {
    return 32767 + int(std::lround(20000.0 * std::sin(0.05 * (seed * 36 + i) + 0.3 * seed)));
  });
}

MpegBytes Layer2Stream(int count) {
  MpegBytes out;
  for (int i = 0; i < count; ++i) {
    const MpegBytes f = Layer2Tone(i);
    out.insert(out.end(), f.begin(), f.end());
  }
  return out;
}

MpegBytes WaveWrapper(const MpegBytes &data, int tag, uint32_t loopStart, uint32_t loopEnd) {
  MpegBytes fmt;
  const uint32_t words[] = {uint32_t(tag) | (1u << 16), 48000, 8000, 1};
  for (uint32_t w : words) Put32(fmt, w);
  MpegBytes body = {'W', 'A', 'V', 'E'};
  Chunk(body, "fmt ", fmt);
  if (loopEnd > 0) {
    MpegBytes smpl(44, 0);
    Put32(smpl, loopStart);
    Put32(smpl, loopEnd);
    smpl.resize(60, 0);
    Chunk(body, "smpl", smpl);
  }
  Chunk(body, "data", data);
  MpegBytes file = {'R', 'I', 'F', 'F'};
  Put32(file, uint32_t(body.size()));
  file.insert(file.end(), body.begin(), body.end());
  return file;
}
