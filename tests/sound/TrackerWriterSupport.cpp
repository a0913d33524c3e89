#include "TrackerWriterSupport.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

void Put8(std::vector<uint8_t> &b, int v) { b.push_back(uint8_t(v)); }
void Put16(std::vector<uint8_t> &b, int v) {
  Put8(b, v);
  Put8(b, v >> 8);
}
void Put32(std::vector<uint8_t> &b, uint32_t v) {
  Put16(b, int(v & 0xFFFF));
  Put16(b, int(v >> 16));
}
void PutText(std::vector<uint8_t> &b, const std::string &s, size_t n) {
  for (size_t k = 0; k < n; ++k) Put8(b, k < s.size() ? s[k] : 0);
}

void XmEnvelopePoints(std::vector<uint8_t> &b, const TrackerEnvelope &e) {
  for (size_t k = 0; k < 12; ++k) {
    Put16(b, k < e.points.size() ? e.points[k].first : 0);
    Put16(b, k < e.points.size() ? e.points[k].second : 0);
  }
}

int XmEnvelopeType(const TrackerEnvelope &e) {
  if (e.points.empty()) return 0;
  return (e.on ? 1 : 0) | (e.sustain >= 0 ? 2 : 0) | (e.loopStart >= 0 ? 4 : 0);
}

}  // namespace

TrackerCell &TrackerSong::At(int pattern, int row, int channel) {
  while (int(patterns.size()) <= pattern) {
    patterns.emplace_back();
    patterns.back().cells.resize(size_t(patterns.back().rows * channels));
  }
  TrackerPattern &p = patterns[size_t(pattern)];
  if (p.cells.size() < size_t(p.rows * channels)) p.cells.resize(size_t(p.rows * channels));
  return p.cells[size_t(row * channels + channel)];
}

std::vector<uint8_t> TrackerSong::Xm() const {
  std::vector<uint8_t> b;
  PutText(b, "Extended Module: ", 17);
  PutText(b, name, 20);
  Put8(b, 0x1A);
  PutText(b, "writer", 20);
  Put16(b, 0x0104);
  Put32(b, 276);
  Put16(b, int(orders.size()));
  Put16(b, restart);
  Put16(b, channels);
  Put16(b, int(patterns.size()));
  Put16(b, int(instruments.size()));
  Put16(b, linear ? 1 : 0);
  Put16(b, speed);
  Put16(b, tempo);
  for (size_t k = 0; k < 256; ++k) Put8(b, k < orders.size() ? orders[k] : 0);

  for (const TrackerPattern &p : patterns) {
    std::vector<uint8_t> packed;
    for (int r = 0; r < p.rows; ++r) {
      for (int c = 0; c < channels; ++c) {
        const size_t at = size_t(r * channels + c);
        const TrackerCell cell = at < p.cells.size() ? p.cells[at] : TrackerCell{};
        const int fields[5] = {cell.note, cell.instrument, cell.volume, cell.effect, cell.parameter};
        int mask = 0x80;
        for (int k = 0; k < 5; ++k)
          if (fields[k]) mask |= 1 << k;
        // All five fields: the unpacked form, which starts with the note itself.
        if (mask == 0x9F) {
          for (int f : fields) Put8(packed, f);
          continue;
        }
        Put8(packed, mask);
        for (int k = 0; k < 5; ++k)
          if (fields[k]) Put8(packed, fields[k]);
      }
    }
    Put32(b, 9);
    Put8(b, 0);
    Put16(b, p.rows);
    // A pattern of empty cells only is stored without data.
    const bool empty = std::all_of(packed.begin(), packed.end(), [](uint8_t v) { return v == 0x80; });
    Put16(b, empty ? 0 : int(packed.size()));
    if (!empty) b.insert(b.end(), packed.begin(), packed.end());
  }

  for (const TrackerInstrument &ins : instruments) {
    const bool hasSamples = !ins.samples.empty();
    Put32(b, hasSamples ? 263 : 29);
    PutText(b, "instrument", 22);
    Put8(b, 0);
    Put16(b, int(ins.samples.size()));
    if (!hasSamples) continue;
    Put32(b, 40);
    for (size_t k = 0; k < 96; ++k) Put8(b, k < ins.sampleMap.size() ? ins.sampleMap[k] : 0);
    XmEnvelopePoints(b, ins.volumeEnvelope);
    XmEnvelopePoints(b, ins.panEnvelope);
    Put8(b, int(ins.volumeEnvelope.points.size()));
    Put8(b, int(ins.panEnvelope.points.size()));
    for (const TrackerEnvelope *e : {&ins.volumeEnvelope, &ins.panEnvelope}) {
      Put8(b, std::max(e->sustain, 0));
      Put8(b, std::max(e->loopStart, 0));
      Put8(b, std::max(e->loopEnd, 0));
    }
    Put8(b, XmEnvelopeType(ins.volumeEnvelope));
    Put8(b, XmEnvelopeType(ins.panEnvelope));
    Put8(b, ins.vibratoType);
    Put8(b, ins.vibratoSweep);
    Put8(b, ins.vibratoDepth);
    Put8(b, ins.vibratoRate);
    Put16(b, ins.fadeOut);
    b.resize(b.size() + 22, 0);
    for (const TrackerSample &s : ins.samples) {
      const int width = s.sixteen ? 2 : 1;
      Put32(b, uint32_t(s.pcm.size()) * uint32_t(width));
      Put32(b, uint32_t(s.loopStart * width));
      Put32(b, uint32_t(s.loopLength * width));
      Put8(b, s.volume);
      Put8(b, s.finetune);
      Put8(b, (s.loopLength ? (s.pingPong ? 2 : 1) : 0) | (s.sixteen ? 16 : 0));
      Put8(b, s.pan);
      Put8(b, s.relativeNote);
      Put8(b, 0);
      PutText(b, "sample", 22);
    }
    // Sample data, delta-coded.
    for (const TrackerSample &s : ins.samples) {
      int previous = 0;
      for (int16_t v : s.pcm) {
        if (s.sixteen) {
          Put16(b, (v - previous) & 0xFFFF);
        } else {
          Put8(b, (v - previous) & 0xFF);
        }
        previous = v;
      }
    }
  }
  return b;
}

TrackerSample SineSample(int frames, int period, int amplitude, bool sixteen) {
  TrackerSample s;
  s.sixteen = sixteen;
  for (int i = 0; i < frames; ++i)
    s.pcm.push_back(int16_t(std::lround(amplitude * std::sin(2.0 * M_PI * i / period))));
  s.loopStart = 0;
  s.loopLength = frames;
  return s;
}
