#include "SoundTestSupport.h"

TEST_F(CapturedEngine, SmokeConstantSample) {
  ASSERT_TRUE(Start());
  OSND_SAMPLE *s = MonoSample16(std::vector<int16_t>(4096, 10000));
  ASSERT_NE(s, nullptr);
  const int h = OSND_PlaySound(OSND_FREE, s);
  ASSERT_GE(h, 0);
  Step(1);
  ASSERT_EQ(captured.size(), 2u * 1024);
  // After the 128-frame fade-in the centred volume gives 180/255 and 181/255.
  EXPECT_EQ(Left(500), int16_t(std::lrint(10000.0 * 180 / 255)));
  EXPECT_EQ(Right(500), int16_t(std::lrint(10000.0 * 181 / 255)));
}
