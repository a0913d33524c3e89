// Sample banks written field by field for the tests.
#pragma once

#include "sound/include/osnd.h"
#include "sound/src/format/format_osb.h"

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

inline void Put(std::vector<uint8_t> &b, const std::string &s) { b.insert(b.end(), s.begin(), s.end()); }
inline void Put16(std::vector<uint8_t> &b, uint32_t v) {
  b.push_back(uint8_t(v));
  b.push_back(uint8_t(v >> 8));
}
inline void Put32(std::vector<uint8_t> &b, uint32_t v) {
  Put16(b, v & 0xFFFF);
  Put16(b, v >> 16);
}

struct Entry {
  std::string name = "tone";
  uint32_t length = 0;
  std::vector<uint8_t> data;
  uint32_t loopStart = 0, loopEnd = 0;
  unsigned mode = OSND_MODE_16BITS | OSND_MODE_MONO | OSND_MODE_SIGNED | OSND_MODE_LOOP_OFF;
  int frequency = 22050, volume = 200, pan = 64, priority = 100, channels = 1;
  std::vector<std::pair<uint32_t, std::string>> sync;
};

// A bank of the entries; version 0 makes an "OSB2" bank.
std::vector<uint8_t> Bank(const std::vector<Entry> &entries, uint32_t version = OSB_VERSION_30, uint32_t flags = 0);
// A 16-bit entry of a ramp of `samples` values.
Entry Pcm16(int samples, int step = 7);
