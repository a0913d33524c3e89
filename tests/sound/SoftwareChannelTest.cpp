#include "SoundTestSupport.h"

namespace software_channel_test {

namespace {

class SoftwareChannels : public CapturedEngine {
 protected:
  void SetUp() override { ASSERT_TRUE(Start(OSND_MIXER_QUALITY_FPU, 44100, 4, OSND_INIT_LEVEL_METER)); }
};

}  // namespace

TEST(PanTable, SquareRootCurve) {
  const int expected[] = {0, 16, 22, 27, 32};
  for (int i = 0; i < 5; ++i) EXPECT_EQ(OsndPanTable(i), expected[i]) << i;
  EXPECT_EQ(OsndPanTable(127), 180);
  EXPECT_EQ(OsndPanTable(128), 181);
  EXPECT_EQ(OsndPanTable(255), 255);
  for (int i = 1; i < 256; ++i) ASSERT_GE(OsndPanTable(i), OsndPanTable(i - 1));
}

TEST_F(SoftwareChannels, GainsFollowVolumePanAndMute) {
  OSND_SAMPLE *s = MonoSample16(std::vector<int16_t>(100, 1), OSND_MODE_LOOP_NORMAL);
  const int h = OSND_PlaySound(OSND_FREE, s);
  OsndChannel *c = Channel(h);
  OSND_SetPan(h, 0);
  EXPECT_EQ(c->leftGain, 255);
  EXPECT_EQ(c->rightGain, 0);
  OSND_SetPan(h, 255);
  EXPECT_EQ(c->leftGain, 0);
  EXPECT_EQ(c->rightGain, 255);
  OSND_SetPan(h, 128);
  EXPECT_EQ(c->leftGain, 180);
  EXPECT_EQ(c->rightGain, 181);
  EXPECT_EQ(c->level, 180);
  OSND_SetPan(h, -1);
  EXPECT_EQ(c->leftGain, 255);
  EXPECT_EQ(c->rightGain, 255);
  OSND_SetVolume(h, 100);
  EXPECT_EQ(c->leftGain, 100);
  c->flags |= OSND_CHANFLAG_MUTED;  // nothing in the engine sets it; a muted channel mixes at 0
  c->ops.setVolume(c, 200);
  EXPECT_EQ(c->leftGain, 0);
  EXPECT_EQ(c->rightGain, 0);
  EXPECT_TRUE(OSND_GetMute(h));
}

TEST_F(SoftwareChannels, FrequencyBecomesStepAndDirection) {
  OSND_SAMPLE *s = MonoSample16(std::vector<int16_t>(100, 1), OSND_MODE_LOOP_NORMAL);
  const int h = OSND_PlaySound(OSND_FREE, s);
  OsndChannel *c = Channel(h);
  OSND_SetFrequency(h, 100);  // below 200 Hz plays at 200 Hz
  EXPECT_EQ(c->stepWhole, 0u);
  EXPECT_EQ(c->stepFrac, uint32_t((uint64_t(200) << 32) / 44100));
  OSND_SetFrequency(h, -44100);
  EXPECT_EQ(c->direction, OSND_DIR_BACKWARD);
  EXPECT_EQ(c->stepWhole, 1u);
  EXPECT_EQ(c->stepFrac, 0u);
  c->frequencyScale = 0.5f;
  c->ops.setFrequency(c, 88200);
  EXPECT_EQ(c->direction, OSND_DIR_FORWARD);
  EXPECT_EQ(c->stepWhole, 1u);
  EXPECT_EQ(c->stepFrac, 0u);
  c->frequencyScale = 1.0f;
  c->ops.setFrequencyFloat(c, 22050.0f);
  EXPECT_EQ(c->stepWhole, 0u);
  EXPECT_EQ(c->stepFrac, 0x80000000u);
  c->ops.setFrequencyFloat(c, 1e9f);  // limited to 705600 Hz
  EXPECT_EQ(c->stepWhole, 16u);
}

TEST_F(SoftwareChannels, PositionMustLieInsideTheSample) {
  OSND_SAMPLE *s = MonoSample16(std::vector<int16_t>(100, 1), OSND_MODE_LOOP_NORMAL);
  const int h = OSND_PlaySound(OSND_FREE, s);
  EXPECT_FALSE(OSND_SetCurrentPosition(h, 100));
  EXPECT_EQ(OSND_GetError(), OSND_ERR_INVALID_PARAM);
  EXPECT_TRUE(OSND_SetCurrentPosition(h, 99));
  EXPECT_EQ(OSND_GetCurrentPosition(h), 99u);
}

TEST_F(SoftwareChannels, LevelsOfAFullScaleSquareWave) {
  std::vector<int16_t> square(4096);
  for (size_t i = 0; i < square.size(); ++i) square[i] = (i / 50) % 2 ? -32767 : 32767;
  OSND_SAMPLE *s = MonoSample16(square, OSND_MODE_LOOP_NORMAL);
  const int h = OSND_PlaySound(OSND_FREE, s);
  float l = -1, r = -1;
  // Nothing stored yet for the block the device plays next.
  ASSERT_TRUE(Channel(h)->ops.getLevels(Channel(h), &l, &r));
  EXPECT_EQ(l, 0.0f);
  // The peak of the channel's coming block, measured now.
  int pl = -1, pr = -1;
  SoundSoftware_PeakLevels(Channel(h), &pl, &pr);
  EXPECT_NEAR(pl / 65536.0f, 0.35f, 0.01f);
  EXPECT_NEAR(pr / 65536.0f, 0.35f, 0.01f);
  // The level meter stores a pair per block; the one the device plays next is read.
  Step(gOsnd.bufferLengthSamples / gOsnd.blockLength);
  l = r = -1;
  ASSERT_TRUE(Channel(h)->ops.getLevels(Channel(h), &l, &r));
  EXPECT_NEAR(l, 32767.0f * 180 / 256 / 65536, 0.01f);
  EXPECT_NEAR(r, 32767.0f * 181 / 256 / 65536, 0.01f);
  OSND_SetPaused(h, true);
  SoundSoftware_PeakLevels(Channel(h), &pl, &pr);
  EXPECT_EQ(pl, 0);
  EXPECT_EQ(pr, 0);
  EXPECT_FALSE(SoundSoftware_GetLevels(nullptr, &l, &r));
}

TEST_F(SoftwareChannels, OneShotLevelsEndWithTheSample) {
  OSND_SAMPLE *s = MonoSample16(std::vector<int16_t>(10, 20000));
  const int h = OSND_PlaySound(OSND_FREE, s);
  int l = 0, r = 0;
  SoundSoftware_PeakLevels(Channel(h), &l, &r);
  EXPECT_EQ(l, 20000 * 180 / 256);
  Step(1);
  SoundSoftware_PeakLevels(Channel(h), &l, &r);
  EXPECT_EQ(l, 0);
}

TEST_F(SoftwareChannels, StoppedChannelsReturnToTheIdleList) {
  OSND_SAMPLE *s = MonoSample16(std::vector<int16_t>(100, 1), OSND_MODE_LOOP_NORMAL);
  const int h = OSND_PlaySound(OSND_FREE, s);
  EXPECT_EQ(Channel(h)->unit, gOsnd.unitSfx);
  bool inSfx = false;
  for (OsndListNode *n = gOsnd.unitSfx->channels.next; n != &gOsnd.unitSfx->channels; n = n->next)
    inSfx |= n == &Channel(h)->link;
  EXPECT_TRUE(inSfx);
  OSND_StopSound(h);
  EXPECT_TRUE(OsndList_IsEmpty(&gOsnd.unitSfx->channels));
  EXPECT_EQ(Channel(h)->unit, nullptr);
}

}  // namespace software_channel_test
