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

namespace {

// Least significant bit first.
class BitWriter {
 public:
  void Put(uint32_t value, int bits) {
    for (int k = 0; k < bits; ++k) {
      if (used_ == 0) bytes_.push_back(0);
      if (value & (1u << k)) bytes_.back() |= uint8_t(1u << used_);
      used_ = (used_ + 1) & 7;
    }
  }
  const std::vector<uint8_t> &Bytes() const { return bytes_; }

 private:
  std::vector<uint8_t> bytes_;
  int used_ = 0;
};

}  // namespace

std::vector<uint8_t> ItCompress(const std::vector<int16_t> &pcm, bool sixteen, bool variant215) {
  const int sampleBits = sixteen ? 16 : 8, top = sampleBits + 1, narrow = sixteen ? 15 : 7;
  const int borderOffset = sixteen ? 8 : 4;
  const uint32_t mask = sixteen ? 0xFFFF : 0xFF;
  const size_t block = sixteen ? 0x4000 : 0x8000;
  // A narrow code holds values strictly inside its escape border.
  const int border = int((mask >> (top - narrow)) - uint32_t(borderOffset));
  std::vector<uint8_t> out;
  for (size_t start = 0; start < pcm.size(); start += block) {
    BitWriter bits;
    int width = top;
    int previous = 0, previousDelta = 0;
    auto switchTo = [&](int w) {
      if (width == top) {
        bits.Put((1u << sampleBits) | uint32_t(w - 1), top);
      } else {
        const int next = w < width ? w : w - 1;
        bits.Put(uint32_t(border + next), width);
      }
      width = w;
    };
    for (size_t i = start; i < std::min(pcm.size(), start + block); ++i) {
      const int value = pcm[i];  // 8-bit samples hold 8-bit values
      int delta = value - previous;
      previous = value;
      if (variant215) {
        const int second = delta - previousDelta;
        previousDelta = delta;
        delta = second;
      }
      // Wrap into the sample width, as the decoder's sums wrap.
      delta = sixteen ? int(int16_t(delta)) : int(int8_t(delta));
      const bool fits = delta > -border - 1 && delta < border;
      if (fits && width != narrow) switchTo(narrow);
      if (!fits && width != top) switchTo(top);
      bits.Put(uint32_t(delta) & ((1u << width) - 1), width);
    }
    std::vector<uint8_t> b = bits.Bytes();
    b.resize(b.size() + 4, 0);  // readers take the stream in 32-bit words
    Put16(out, int(b.size()));
    out.insert(out.end(), b.begin(), b.end());
  }
  return out;
}

std::vector<uint8_t> TrackerSong::It() const {
  std::vector<uint8_t> b;
  PutText(b, "IMPM", 4);
  PutText(b, name, 26);
  Put16(b, 0x1004);
  std::vector<int> ords = orders;
  ords.push_back(255);
  Put16(b, int(ords.size()));
  Put16(b, itInstruments ? int(instruments.size()) : 0);
  Put16(b, int(itSamples.size()));
  Put16(b, int(patterns.size()));
  Put16(b, 0x0214);
  Put16(b, compatible);
  Put16(b, itFlags | (itInstruments ? 4 : 0) | (linear ? 8 : 0));
  Put16(b, 0);
  Put8(b, globalVolume);
  Put8(b, mixVolume);
  Put8(b, speed);
  Put8(b, tempo);
  Put8(b, 128);
  Put8(b, 0);
  Put16(b, 0);
  Put32(b, 0);
  Put32(b, 0);
  for (size_t k = 0; k < 64; ++k)
    Put8(b, k < channelPans.size() ? channelPans[k] : (k < size_t(channels) ? 32 : 0x80 | 32));
  for (size_t k = 0; k < 64; ++k) Put8(b, 64);
  for (int o : ords) Put8(b, o);
  const size_t tables = b.size();
  const size_t instrumentCount = itInstruments ? instruments.size() : 0;
  b.resize(b.size() + 4 * (instrumentCount + itSamples.size() + patterns.size()), 0);
  auto setOffset = [&](size_t slot, size_t value) {
    for (int k = 0; k < 4; ++k) b[tables + 4 * slot + size_t(k)] = uint8_t(value >> (8 * k));
  };
  for (size_t i = 0; i < instrumentCount; ++i) {
    const TrackerInstrument &ins = instruments[i];
    setOffset(i, b.size());
    PutText(b, "IMPI", 4);
    PutText(b, "", 13);
    Put8(b, ins.newNoteAction);
    Put8(b, ins.duplicateCheck);
    Put8(b, ins.duplicateAction);
    Put16(b, ins.fadeOut);
    Put8(b, ins.pitchPanSeparation);
    Put8(b, ins.pitchPanCentre);
    Put8(b, ins.globalVolume);
    Put8(b, ins.defaultPan < 0 ? 0x80 | 32 : ins.defaultPan);
    Put8(b, 0);
    Put8(b, 0);
    Put16(b, 0x0214);
    Put8(b, 1);
    Put8(b, 0);
    PutText(b, "instrument", 26);
    Put8(b, 0);
    Put8(b, 0);
    Put8(b, 0xFF);
    Put8(b, 0);
    Put16(b, 0);
    for (int n = 0; n < 120; ++n) {
      Put8(b, n);
      Put8(b, size_t(n) < ins.sampleMap.size() ? ins.sampleMap[size_t(n)] : 0);
    }
    for (const TrackerEnvelope *e : {&ins.volumeEnvelope, &ins.panEnvelope, &ins.pitchEnvelope}) {
      const bool on = e->on && !e->points.empty();
      Put8(b, (on ? 1 : 0) | (e->loopStart >= 0 ? 2 : 0) | (e->sustain >= 0 ? 4 : 0) | (e->carry ? 8 : 0));
      Put8(b, int(e->points.size()));
      Put8(b, std::max(e->loopStart, 0));
      Put8(b, std::max(e->loopEnd, 0));
      Put8(b, std::max(e->sustain, 0));
      Put8(b, std::max(e->sustainEnd >= 0 ? e->sustainEnd : e->sustain, 0));
      for (size_t k = 0; k < 25; ++k) {
        Put8(b, k < e->points.size() ? e->points[k].second : 0);
        Put16(b, k < e->points.size() ? e->points[k].first : 0);
      }
      Put8(b, 0);
    }
    Put32(b, 0);  // the tracker's own padding
  }
  std::vector<size_t> dataSlots;
  for (size_t i = 0; i < itSamples.size(); ++i) {
    const TrackerSample &s = itSamples[i];
    setOffset(instrumentCount + i, b.size());
    PutText(b, "IMPS", 4);
    PutText(b, "", 13);
    Put8(b, s.globalVolume);
    Put8(b, (s.pcm.empty() ? 0 : 1) | (s.sixteen ? 2 : 0) | (s.compressed ? 8 : 0) | (s.loopLength ? 16 : 0) |
                (s.pingPong ? 64 : 0));
    Put8(b, s.volume);
    PutText(b, "sample", 26);
    Put8(b, 1 | (s.compressed215 ? 4 : 0));
    Put8(b, s.defaultPan < 0 ? 32 : 0x80 | s.defaultPan);
    Put32(b, uint32_t(s.pcm.size()));
    Put32(b, uint32_t(s.loopStart));
    Put32(b, uint32_t(s.loopStart + s.loopLength));
    Put32(b, uint32_t(s.cSpeed));
    Put32(b, 0);
    Put32(b, 0);
    dataSlots.push_back(b.size());
    Put32(b, 0);
    Put8(b, s.vibratoSpeed);
    Put8(b, s.vibratoDepth);
    Put8(b, s.vibratoRate);
    Put8(b, s.vibratoType);
  }
  for (size_t p = 0; p < patterns.size(); ++p) {
    const TrackerPattern &pat = patterns[p];
    std::vector<uint8_t> packed;
    for (int r = 0; r < pat.rows; ++r) {
      for (int c = 0; c < channels; ++c) {
        const size_t at = size_t(r * channels + c);
        const TrackerCell cell = at < pat.cells.size() ? pat.cells[at] : TrackerCell{};
        int mask = (cell.note ? 1 : 0) | (cell.instrument ? 2 : 0) | (cell.volume ? 4 : 0) |
                   (cell.effect || cell.parameter ? 8 : 0);
        if (!mask) continue;
        Put8(packed, (c + 1) | 0x80);
        Put8(packed, mask);
        if (mask & 1) Put8(packed, cell.note >= 254 ? cell.note : cell.note - 1);
        if (mask & 2) Put8(packed, cell.instrument);
        if (mask & 4) Put8(packed, cell.volume - 1);
        if (mask & 8) {
          Put8(packed, cell.effect);
          Put8(packed, cell.parameter);
        }
      }
      Put8(packed, 0);
    }
    setOffset(instrumentCount + itSamples.size() + p, b.size());
    Put16(b, int(packed.size()));
    Put16(b, pat.rows);
    Put32(b, 0);
    b.insert(b.end(), packed.begin(), packed.end());
  }
  for (size_t i = 0; i < itSamples.size(); ++i) {
    const TrackerSample &s = itSamples[i];
    const size_t at = b.size();
    for (int k = 0; k < 4; ++k) b[dataSlots[i] + size_t(k)] = uint8_t(at >> (8 * k));
    if (s.compressed) {
      const std::vector<uint8_t> packed = ItCompress(s.pcm, s.sixteen, s.compressed215);
      b.insert(b.end(), packed.begin(), packed.end());
    } else {
      for (int16_t v : s.pcm) {
        if (s.sixteen) Put16(b, v & 0xFFFF);
        else Put8(b, v & 0xFF);
      }
    }
  }
  return b;
}

std::vector<uint8_t> OneNoteIt() {
  TrackerSong tracker;
  tracker.itSamples = {SineSample(2000, 32, 8000, true)};
  tracker.itInstruments = false;
  tracker.At(0, 0, 0) = TrackerCell{60, 1};
  return tracker.It();
}
