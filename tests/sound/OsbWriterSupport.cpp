#include "OsbWriterSupport.h"

using Bytes = std::vector<uint8_t>;

namespace {

Bytes FullHeader(const Entry &e, int fixed) {
  Bytes h;
  Put16(h, 0);  // size, set below
  Bytes name(30, 0);
  std::copy(e.name.begin(), e.name.end(), name.begin());
  h.insert(h.end(), name.begin(), name.end());
  Put32(h, e.length);
  Put32(h, uint32_t(e.data.size()));
  Put32(h, e.loopStart);
  Put32(h, e.loopEnd);
  Put32(h, e.mode | (e.sync.empty() ? 0 : OSB_MODE_HAS_SYNC));
  Put32(h, uint32_t(e.frequency));
  Put16(h, uint32_t(e.volume));
  Put16(h, uint32_t(uint16_t(e.pan)));
  Put16(h, uint32_t(e.priority));
  Put16(h, uint32_t(e.channels));
  h.resize(size_t(fixed), 0);
  if (!e.sync.empty()) {
    Put(h, "SYNC");
    Put32(h, uint32_t(e.sync.size()));
    for (const auto &p : e.sync) {
      Put32(h, p.first);
      Bytes text(256, 0);
      std::copy(p.second.begin(), p.second.end(), text.begin());
      h.insert(h.end(), text.begin(), text.end());
    }
  }
  h[0] = uint8_t(h.size());
  h[1] = uint8_t(h.size() >> 8);
  return h;
}

}  // namespace

Bytes Bank(const std::vector<Entry> &entries, uint32_t version, uint32_t flags) {
  const int fixed = version == OSB_VERSION_31 ? 80 : 64;
  Bytes headers, data;
  for (size_t i = 0; i < entries.size(); ++i) {
    if (i > 0 && (flags & OSB_FLAG_BASIC_HEADERS)) {
      Put32(headers, entries[i].length);
      Put32(headers, uint32_t(entries[i].data.size()));
    } else {
      const Bytes h = FullHeader(entries[i], fixed);
      headers.insert(headers.end(), h.begin(), h.end());
    }
    data.insert(data.end(), entries[i].data.begin(), entries[i].data.end());
  }
  Bytes b;
  Put(b, version ? "OSB3" : "OSB2");
  Put32(b, uint32_t(entries.size()));
  Put32(b, uint32_t(headers.size()));
  Put32(b, uint32_t(data.size()));
  if (version) {
    Put32(b, version);
    Put32(b, flags);
  }
  b.insert(b.end(), headers.begin(), headers.end());
  b.insert(b.end(), data.begin(), data.end());
  return b;
}

Entry Pcm16(int samples, int step) {
  Entry e;
  e.length = uint32_t(samples);
  for (int i = 0; i < samples; ++i) Put16(e.data, uint32_t(uint16_t(int16_t(i * step - 1000))));
  return e;
}

