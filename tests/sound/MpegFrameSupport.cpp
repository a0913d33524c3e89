#include "MpegFrameSupport.h"

#include "sound/src/format/mpeg/mpeg_tables.h"

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

namespace {

// Bits kept one per element, so that lengths are known before the frame is laid out.
using Bits = std::vector<bool>;

void Put(Bits &b, uint32_t value, int bits) {
  for (int i = bits - 1; i >= 0; --i) b.push_back((value >> i) & 1);
}

void PutHuffmanPair(Bits &b, int table, int x, int y) {
  const MpegHuffmanTable &t = kMpegHuffmanPairs[table];
  const int cx = t.linbits ? std::min(std::abs(x), 15) : std::abs(x);
  const int cy = t.linbits ? std::min(std::abs(y), 15) : std::abs(y);
  for (int i = 0; i < t.count; ++i) {
    if (t.codes[i].value != (cx << 4 | cy)) continue;
    Put(b, t.codes[i].code, t.codes[i].length);
    if (cx == 15 && t.linbits) Put(b, uint32_t(std::abs(x) - 15), t.linbits);
    if (x) b.push_back(x < 0);
    if (cy == 15 && t.linbits) Put(b, uint32_t(std::abs(y) - 15), t.linbits);
    if (y) b.push_back(y < 0);
    return;
  }
  b.clear();  // a value the table cannot code: the caller sees an empty part
}

}  // namespace

MpegBytes Layer3Frame(const Layer3Layout &layout) {
  const int granules = layout.lsf ? 1 : 2;
  Bits main[2][2];
  for (int gr = 0; gr < granules; ++gr)
    for (int ch = 0; ch < 2; ++ch) {
      const Layer3Part &p = layout.parts[gr][ch];
      for (const auto &[value, bits] : p.scalefactors) Put(main[gr][ch], uint32_t(value), bits);
      for (size_t i = 0; i + 1 < p.lines.size(); i += 2) PutHuffmanPair(main[gr][ch], p.table, p.lines[i], p.lines[i + 1]);
    }
  Bits side;
  Put(side, uint32_t(layout.mainDataBegin), layout.lsf ? 8 : 9);
  Put(side, 0, layout.lsf ? 2 : 3);
  if (!layout.lsf)
    for (int ch = 0; ch < 2; ++ch) Put(side, uint32_t(layout.scfsi[ch]), 4);
  for (int gr = 0; gr < granules; ++gr)
    for (int ch = 0; ch < 2; ++ch) {
      const Layer3Part &p = layout.parts[gr][ch];
      Put(side, uint32_t(int(main[gr][ch].size()) + p.part23Adjust), 12);
      Put(side, uint32_t(p.bigValuesOverride >= 0 ? p.bigValuesOverride : int(p.lines.size() / 2)), 9);
      Put(side, uint32_t(p.globalGain), 8);
      Put(side, uint32_t(p.scalefacCompress), layout.lsf ? 9 : 4);
      const bool switched = p.blockType != 0 || p.switchedTypeZero;
      Put(side, switched, 1);
      if (switched) {
        Put(side, uint32_t(p.blockType), 2);
        Put(side, p.mixed, 1);
        Put(side, uint32_t(p.table), 5);
        Put(side, uint32_t(p.table), 5);
        for (int g : p.subblockGain) Put(side, uint32_t(g), 3);
      } else {
        for (int r = 0; r < 3; ++r) Put(side, uint32_t(p.table), 5);
        Put(side, uint32_t(p.region0), 4);
        Put(side, uint32_t(p.region1), 3);
      }
      if (!layout.lsf) Put(side, p.preflag, 1);
      Put(side, p.scalefacScale, 1);
      Put(side, 0, 1);  // count1 table A (no count1 lines are written)
    }
  const size_t frameBytes = layout.lsf ? 208 : 417;
  Bits all = side;
  for (int gr = 0; gr < granules; ++gr)
    for (int ch = 0; ch < 2; ++ch) all.insert(all.end(), main[gr][ch].begin(), main[gr][ch].end());
  if (all.size() > (frameBytes - 4) * 8) return {};
  MpegBytes frame = {0xFF, uint8_t(layout.lsf ? 0xF3 : 0xFB), uint8_t(layout.lsf ? 0x80 : 0x90),
                     uint8_t(0x44 | layout.modeExtension << 4)};
  frame.resize(frameBytes, 0);
  for (size_t i = 0; i < all.size(); ++i)
    if (all[i]) frame[4 + i / 8] |= uint8_t(0x80 >> (i % 8));
  return frame;
}

Layer3Layout Layer3Noise(uint32_t seed) {
  Layer3Layout layout;
  uint32_t state = seed * 2654435761u + 1;
  for (auto &granule : layout.parts)
    for (Layer3Part &p : granule) {
      p.globalGain = 178;
      for (int i = 0; i < 160; ++i) {
        state = state * 1103515245u + 12345u;
        const int r = int(state >> 16);
        p.lines.push_back(r % 3 ? 0 : r / 3 % 9 - 4);
      }
    }
  return layout;
}
