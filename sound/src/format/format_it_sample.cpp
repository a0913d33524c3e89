#include "sound/src/format/format_it_sample.h"

#include "sound/src/core/osnd_records.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

// Least significant bit first over little-endian 32-bit words of one block;
// bits past the block read as 0.
class BlockBits {
 public:
  BlockBits(const uint8_t *data, size_t size) : data_(data), size_(size) {}

  uint32_t Read(int n) {
    uint32_t value = 0;
    for (int got = 0; got < n;) {
      if (left_ == 0) Load();
      const int take = std::min(n - got, left_);
      value |= (word_ & ((1u << take) - 1)) << got;
      word_ = take == 32 ? 0 : word_ >> take;
      left_ -= take;
      got += take;
    }
    return value;
  }

 private:
  void Load() {
    word_ = 0;
    for (int k = 0; k < 4; ++k, ++at_)
      if (at_ < size_) word_ |= uint32_t(data_[at_]) << (8 * k);
    left_ = 32;
  }

  const uint8_t *data_;
  size_t size_;
  size_t at_ = 0;
  uint32_t word_ = 0;
  int left_ = 0;
};

// The two sample widths differ only in these numbers.
struct Width {
  int bits;          // 8 or 16
  size_t block;      // samples per block
  int escapeBits;    // bits of a small-width escape
  uint32_t mask;     // 0xFF or 0xFFFF
  int borderOffset;  // 4 or 8
};

constexpr Width kWidth8{8, 32768, 3, 0xFF, 4};
constexpr Width kWidth16{16, 16384, 4, 0xFFFF, 8};

template <typename Sample>
bool Decompress(const Width &wd, const uint8_t *source, size_t sourceBytes, Sample *destination, size_t count,
                bool secondOrder) {
  if (!destination) return false;
  std::memset(destination, 0, count * sizeof(Sample));
  if (count == 0) return true;
  if (!source) return false;
  const int top = wd.bits + 1;
  size_t at = 0, written = 0;
  while (written < count) {
    if (at + 2 > sourceBytes) return false;
    const size_t length = size_t(source[at]) | (size_t(source[at + 1]) << 8);
    at += 2;
    if (length > sourceBytes - at) return false;
    BlockBits bits(source + at, length);
    at += length;
    const size_t n = std::min(count - written, wd.block);
    int w = top;
    Sample d1 = 0, d2 = 0;
    for (size_t done = 0; done < n;) {
      if (w < 1 || w > top) return false;
      const uint32_t v = bits.Read(w);
      int next = 0;
      if (w < 7) {
        if (v == 1u << (w - 1)) next = int(bits.Read(wd.escapeBits)) + 1;
      } else if (w < top) {
        const uint32_t border = (wd.mask >> (top - w)) - uint32_t(wd.borderOffset);
        if (v > border && v <= border + uint32_t(2 * wd.borderOffset)) next = int(v - border);
      } else if (v & (1u << wd.bits)) {
        w = int((v + 1) & 0xFF);
        continue;
      }
      if (next != 0) {
        w = next < w ? next : next + 1;
        continue;
      }
      // Codes narrower than the sample are sign-extended from their width.
      const int shift = 32 - std::min(w, wd.bits);
      const Sample code = Sample(int32_t(v << shift) >> shift);
      d1 = Sample(d1 + code);
      d2 = Sample(d2 + d1);
      destination[written + done++] = secondOrder ? d2 : d1;
    }
    written += n;
  }
  return true;
}

}  // namespace

bool FormatIt_Decompress8(const uint8_t *source, size_t sourceBytes, int8_t *destination, size_t count,
                          bool secondOrder) {
  return Decompress(kWidth8, source, sourceBytes, destination, count, secondOrder);
}

bool FormatIt_Decompress16(const uint8_t *source, size_t sourceBytes, int16_t *destination, size_t count,
                           bool secondOrder) {
  return Decompress(kWidth16, source, sourceBytes, destination, count, secondOrder);
}

bool OsndTracker_Decompress(void *destination, const void *source, unsigned sourceBytes,
                            unsigned destinationBytes, bool sixteenBit, bool variant2) {
  const auto *src = static_cast<const uint8_t *>(source);
  bool ok;
  if (sixteenBit) {
    // The destination need not be aligned for 16-bit samples.
    const size_t count = destinationBytes / 2;
    std::vector<int16_t> pcm(count);
    ok = FormatIt_Decompress16(src, sourceBytes, pcm.data(), count, variant2);
    if (destination) std::memcpy(destination, pcm.data(), count * 2);
  } else {
    ok = FormatIt_Decompress8(src, sourceBytes, static_cast<int8_t *>(destination), destinationBytes, variant2);
  }
  if (!ok) Osnd_SetError(OSND_ERR_FILE_BAD);
  return ok && destination;
}
