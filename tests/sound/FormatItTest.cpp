// Compressed IT sample blocks written bit by bit and decoded.
#include "sound/include/osnd.h"
#include "sound/src/format/format_it_sample.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace format_it_test {

namespace {

// Writes one block's bit stream, least significant bit first.
class BlockWriter {
 public:
  void Put(uint32_t value, int bits) {
    for (int i = 0; i < bits; ++i, ++bit_) {
      if (bit_ % 8 == 0) bytes_.push_back(0);
      if (value & (1u << i)) bytes_.back() |= uint8_t(1u << (bit_ % 8));
    }
  }
  // Appends the block, length first, to a stream.
  void AppendTo(std::vector<uint8_t> &stream) const {
    stream.push_back(uint8_t(bytes_.size()));
    stream.push_back(uint8_t(bytes_.size() >> 8));
    stream.insert(stream.end(), bytes_.begin(), bytes_.end());
  }

 private:
  std::vector<uint8_t> bytes_;
  int bit_ = 0;
};

std::vector<int> Decode8(const std::vector<uint8_t> &stream, size_t count, bool second, bool *ok = nullptr) {
  std::vector<int8_t> out(count, 99);
  const bool result = FormatIt_Decompress8(stream.data(), stream.size(), out.data(), count, second);
  if (ok) *ok = result;
  return std::vector<int>(out.begin(), out.end());
}

TEST(FormatItTest, FirstAndSecondOrderIntegration) {
  BlockWriter block;
  for (int i = 0; i < 3; ++i) block.Put(1, 9);
  std::vector<uint8_t> stream;
  block.AppendTo(stream);
  bool ok = false;
  EXPECT_EQ(Decode8(stream, 3, false, &ok), (std::vector<int>{1, 2, 3}));
  EXPECT_TRUE(ok);
  EXPECT_EQ(Decode8(stream, 3, true, &ok), (std::vector<int>{1, 3, 6}));
  EXPECT_TRUE(ok);
}

TEST(FormatItTest, WidthChangesBySmallMiddleAndFullWidthCodes) {
  BlockWriter block;
  block.Put(0x100 | 2, 9);  // full width: new width (2 + 1) & 0xFF = 3
  block.Put(0b111, 3);      // a sample: -1 in three bits
  block.Put(0b100, 3);      // small-width escape: three more bits give x = 6 + 1
  block.Put(6, 3);          // x = 7 is not below 3: width 8
  block.Put(127, 8);        // past the border (0xFF >> 1) - 4 = 123: x = 4, width 4
  block.Put(0, 4);          // a sample of 0
  block.Put(15, 4);         // a sample: -1 in four bits
  std::vector<uint8_t> stream;
  block.AppendTo(stream);
  bool ok = false;
  EXPECT_EQ(Decode8(stream, 3, false, &ok), (std::vector<int>{-1, -1, -2}));
  EXPECT_TRUE(ok);
}

TEST(FormatItTest, BlocksRestartWidthAndAccumulators) {
  // 40000 samples: a block of 32768 and one of 7232, each counting up from 1.
  std::vector<uint8_t> stream;
  for (size_t n : {size_t(32768), size_t(7232)}) {
    BlockWriter block;
    for (size_t i = 0; i < n; ++i) block.Put(1, 9);
    block.AppendTo(stream);
  }
  bool ok = false;
  const std::vector<int> got = Decode8(stream, 40000, false, &ok);
  ASSERT_TRUE(ok);
  EXPECT_EQ(got[0], 1);
  EXPECT_EQ(got[126], 127);
  EXPECT_EQ(got[127], -128);  // 8-bit wrap-around
  EXPECT_EQ(got[32768], 1);
  EXPECT_EQ(got[32769], 2);
  EXPECT_EQ(got[39999], int8_t(7232));
}

TEST(FormatItTest, SixteenBitCodes) {
  BlockWriter block;
  block.Put(1000, 17);
  block.Put(uint32_t(-300) & 0xFFFF, 17);   // -300 in 16 bits, bit 16 clear
  block.Put(0x10000 | 7, 17);               // width 8
  block.Put(0xFF, 8);                       // 255 is past border 119 + 16: a code of -1
  block.Put(119 + 3, 8);                    // escape: x = 3, width 3
  block.Put(0b011, 3);                      // +3
  std::vector<uint8_t> stream;
  block.AppendTo(stream);
  std::vector<int16_t> out(4);
  ASSERT_TRUE(FormatIt_Decompress16(stream.data(), stream.size(), out.data(), 4, false));
  EXPECT_EQ(out, (std::vector<int16_t>{1000, 700, 699, 702}));
  ASSERT_TRUE(FormatIt_Decompress16(stream.data(), stream.size(), out.data(), 4, true));
  EXPECT_EQ(out, (std::vector<int16_t>{1000, 1700, 2399, 3101}));
}

TEST(FormatItTest, CorruptOrShortDataFails) {
  BlockWriter wide;
  wide.Put(1, 9);
  wide.Put(0x100 | 9, 9);  // width 10: impossible
  wide.Put(1, 9);
  std::vector<uint8_t> stream;
  wide.AppendTo(stream);
  bool ok = true;
  EXPECT_EQ(Decode8(stream, 3, false, &ok), (std::vector<int>{1, 0, 0}));
  EXPECT_FALSE(ok);

  BlockWriter zero;
  zero.Put(0x1FF, 9);  // width (0x1FF + 1) & 0xFF = 0
  stream.clear();
  zero.AppendTo(stream);
  Decode8(stream, 2, false, &ok);
  EXPECT_FALSE(ok);

  // A block length past the data, and data that ends before the samples.
  BlockWriter one;
  one.Put(5, 9);
  stream.clear();
  one.AppendTo(stream);
  std::vector<uint8_t> lying = stream;
  lying[0] = 200;
  Decode8(lying, 1, false, &ok);
  EXPECT_FALSE(ok);
  EXPECT_EQ(Decode8(stream, 40000, false, &ok)[0], 5);
  EXPECT_FALSE(ok);

  std::vector<int8_t> out(4);
  EXPECT_FALSE(FormatIt_Decompress8(nullptr, 10, out.data(), 4, false));
  EXPECT_FALSE(FormatIt_Decompress8(stream.data(), stream.size(), nullptr, 4, false));
  EXPECT_TRUE(FormatIt_Decompress8(nullptr, 0, out.data(), 0, false));
}

TEST(FormatItTest, BitsPastTheBlockReadAsZero) {
  // A block of one byte holding 5: the stream's later codes are all 0.
  std::vector<uint8_t> stream{1, 0, 5};
  bool ok = false;
  EXPECT_EQ(Decode8(stream, 4, false, &ok), (std::vector<int>{5, 5, 5, 5}));
  EXPECT_TRUE(ok);
}

TEST(FormatItTest, EngineConversionDecodesIntoUnalignedSixteenBit) {
  BlockWriter block;
  block.Put(uint32_t(-2) & 0xFFFF, 17);
  block.Put(5, 17);
  std::vector<uint8_t> stream;
  block.AppendTo(stream);
  std::vector<uint8_t> destination(5, 0xAA);
  ASSERT_TRUE(OsndTracker_Decompress(destination.data() + 1, stream.data(), unsigned(stream.size()), 4, true, false));
  EXPECT_EQ(destination[0], 0xAA);
  EXPECT_EQ(int16_t(destination[1] | (destination[2] << 8)), -2);
  EXPECT_EQ(int16_t(destination[3] | (destination[4] << 8)), 3);
  EXPECT_FALSE(OsndTracker_Decompress(destination.data(), stream.data(), 1, 4, true, false));
}

}  // namespace

}  // namespace format_it_test
