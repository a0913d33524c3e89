// Bit reader of the MPEG decoder's hot loops: reads big-endian bits from a
// byte range through a 64-bit cache, zeros past the range's end.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

class MpegBitReader {
 public:
  MpegBitReader(const uint8_t *data, size_t bytes) : data_(data), bytes_(bytes) {}

  // Bits consumed since the start of the range.
  size_t Position() const { return next_ * 8 - size_t(cached_); }
  void Seek(size_t position) {
    next_ = position / 8;
    cache_ = 0;
    cached_ = 0;
    Refill();
    Skip(int(position % 8));
  }
  // The next 32 bits, left-aligned.
  uint32_t Peek() {
    if (cached_ < 32) Refill();
    return uint32_t(cache_ >> 32);
  }
  // The next 48 bits, left-aligned in 64 (the low 16 bits undefined).
  uint64_t PeekWide() {
    if (cached_ < 48) Refill();
    return cache_;
  }
  // Drops n (0..48) bits; only after a Peek or PeekWide that covered them.
  void Skip(int n) {
    cache_ <<= n;
    cached_ -= n;
  }
  // Reads n (0..32) bits.
  uint32_t Get(int n) {
    if (n == 0) return 0;
    const uint32_t value = Peek() >> (32 - n);
    Skip(n);
    return value;
  }

 private:
  void Refill() {
    if (next_ + 8 <= bytes_) {
      // Whole bytes from one load. The bits below the whole bytes taken are
      // those of the next byte, where the next refill puts the same bits.
      uint64_t word;
      std::memcpy(&word, data_ + next_, 8);
      if constexpr (std::endian::native == std::endian::little) word = __builtin_bswap64(word);
      cache_ |= word >> cached_;
      const int taken = (64 - cached_) >> 3;
      next_ += size_t(taken);
      cached_ += 8 * taken;
      return;
    }
    // The range's last bytes one at a time.
    while (cached_ <= 56) {
      const uint64_t byte = next_ < bytes_ ? data_[next_] : 0u;
      cache_ |= byte << (56 - cached_);
      cached_ += 8;
      ++next_;
    }
  }

  const uint8_t *data_;
  size_t bytes_;
  size_t next_ = 0;     // next byte to load
  uint64_t cache_ = 0;  // left-aligned
  int cached_ = 0;      // valid bits in the cache
};
