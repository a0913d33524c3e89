#include "sound/src/format/format_imaadpcm.h"

#include <gtest/gtest.h>

#include <vector>

namespace ima_adpcm_test {

namespace {

std::vector<uint8_t> MonoBlock(int16_t predictor, uint8_t index, std::vector<uint8_t> codes) {
  codes.insert(codes.begin(), {uint8_t(predictor & 0xFF), uint8_t((predictor >> 8) & 0xFF), index, 0});
  return codes;
}

}  // namespace

TEST(ImaAdpcm, NibbleStepsAndIndexFollowTheTables) {
  const std::vector<uint8_t> block = MonoBlock(1000, 0, {0x07, 0x00});
  int16_t out[5] = {};
  ASSERT_TRUE(ImaAdpcm_DecodeMono(block.data(), out, 1, int(block.size()), 5, 1));
  EXPECT_EQ(out[0], 1000);
  EXPECT_EQ(out[1], 1011);  // step 7, code 7: 0 + 7 + 3 + 1
  EXPECT_EQ(out[2], 1013);  // index 8, step 16, code 0: 2
  EXPECT_EQ(ImaAdpcm_Nibble(15, -1000, 16), -1000 - (2 + 16 + 8 + 4));
}

TEST(ImaAdpcm, PredictorIsClampedAtFullScale) {
  EXPECT_EQ(ImaAdpcm_Nibble(7, 32767, 32767), 32767);
  EXPECT_EQ(ImaAdpcm_Nibble(15, -32768, 32767), -32768);
  const std::vector<uint8_t> block = MonoBlock(32767, 88, {0x77});
  int16_t out[3] = {};
  ASSERT_TRUE(ImaAdpcm_DecodeMono(block.data(), out, 1, int(block.size()), 3, 1));
  EXPECT_EQ(out[1], 32767);
  EXPECT_EQ(out[2], 32767);
}

TEST(ImaAdpcm, OneSampleBlocksAndStridedOutput) {
  const std::vector<uint8_t> a = MonoBlock(-5, 3, {}), b = MonoBlock(77, 3, {});
  std::vector<uint8_t> both = a;
  both.insert(both.end(), b.begin(), b.end());
  int16_t out[4] = {9, 9, 9, 9};
  ASSERT_TRUE(ImaAdpcm_DecodeMono(both.data(), out, 2, 4, 1, 2));
  EXPECT_EQ(out[0], -5);
  EXPECT_EQ(out[1], 9);  // the stride leaves the other channel alone
  EXPECT_EQ(out[2], 77);
}

TEST(ImaAdpcm, BadStepIndexStopsTheCallButKeepsEarlierBlocks) {
  std::vector<uint8_t> blocks = MonoBlock(100, 0, {0x00});
  const std::vector<uint8_t> bad = MonoBlock(200, 89, {0x00});
  blocks.insert(blocks.end(), bad.begin(), bad.end());
  int16_t out[6] = {};
  EXPECT_FALSE(ImaAdpcm_DecodeMono(blocks.data(), out, 2, 5, 3, 1));
  EXPECT_EQ(out[0], 100);
  EXPECT_EQ(out[3], 0);
  EXPECT_TRUE(ImaAdpcm_DecodeMono(blocks.data(), out, 0, 5, 3, 1));
}

TEST(ImaAdpcm, StereoGroupsInterleaveEightCodesPerSide) {
  // Left header 0/index 0, right header 0/index 0, one group: left codes all
  // 1, right codes all 9 (the negative of 1).
  std::vector<uint8_t> block = {0, 0, 0, 0, 0, 0, 0, 0};
  for (int i = 0; i < 4; ++i) block.push_back(0x11);
  for (int i = 0; i < 4; ++i) block.push_back(0x99);
  int16_t out[18] = {};
  ASSERT_TRUE(ImaAdpcm_DecodeStereo(block.data(), out, 1, int(block.size()), 9));
  EXPECT_EQ(out[0], 0);
  EXPECT_EQ(out[1], 0);
  for (int i = 1; i < 9; ++i) {
    EXPECT_GT(out[2 * i], out[2 * i - 2]);     // left climbs
    EXPECT_EQ(out[2 * i + 1], -out[2 * i]);    // right mirrors it
  }
  EXPECT_EQ(ImaAdpcm_MinimumBlockAlign(2, 9), 16);
}

}  // namespace ima_adpcm_test
