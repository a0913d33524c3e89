#include "SoundTestSupport.h"

#include "sound/src/channel/osnd_3d.h"

namespace sound3d_test {

namespace {

class Sound3d : public CapturedEngine {
 protected:
  void SetUp() override {
    Osnd3d_ResetListeners();
    ASSERT_TRUE(Start());
    sample = OSND_Sample_Alloc(-1, 4096, OSND_MODE_16BITS | OSND_MODE_MONO | OSND_MODE_LOOP_NORMAL, 44100, 255, 128, 128);
    ASSERT_NE(sample, nullptr);
    const std::vector<int16_t> level(4096, 16000);
    ASSERT_TRUE(OSND_Sample_Upload(sample, level.data(), OSND_MODE_16BITS | OSND_MODE_MONO | OSND_MODE_SIGNED));
  }
  void TearDown() override {
    Osnd3d_ResetListeners();
    OSND_SetPanSeperation(1.0f);
    CapturedEngine::TearDown();
  }
  // Plays the sample, places the channel and runs the engine's update pass.
  OsndChannel *PlaceAt(float x, float y, float z, const float *velocity = nullptr, OSND_SAMPLE *s = nullptr) {
    const int h = OSND_PlaySound(OSND_FREE, s ? s : sample);
    const float position[3] = {x, y, z};
    EXPECT_TRUE(OSND_3D_SetAttributes(h, position, velocity));
    OSND_Update();
    return Channel(h);
  }
  OSND_SAMPLE *sample = nullptr;
};

}  // namespace

TEST_F(Sound3d, DistanceGivesVolumeAndDirectionGivesPan) {
  OsndChannel *ahead = PlaceAt(0, 0, 5);
  EXPECT_EQ(ahead->volume3d, 51);  // 1/5 of full
  EXPECT_EQ(ahead->swPan, 128);
  EXPECT_FLOAT_EQ(ahead->frequencyScale, 1.0f);
  EXPECT_EQ(ahead->leftGain, 180 * 51 / 255);
  EXPECT_EQ(ahead->rightGain, 181 * 51 / 255);

  OsndChannel *right = PlaceAt(2, 0, 0);
  EXPECT_EQ(right->volume3d, 127);
  EXPECT_EQ(right->swPan, 255);
  EXPECT_EQ(right->leftGain, 0);
  EXPECT_EQ(right->rightGain, 127);

  OsndChannel *left = PlaceAt(-2, 0, 0);
  EXPECT_EQ(left->swPan, 0);
  EXPECT_EQ(left->rightGain, 0);

  OsndChannel *inside = PlaceAt(0, 0, 0.5f);
  EXPECT_EQ(inside->volume3d, 255);

  // What the mixer makes of it: the channel on the right is heard on the right only.
  OSND_StopSound(OSND_ALL);
  const float at[3] = {2, 0, 0};
  OSND_3D_SetAttributes(OSND_PlaySound(OSND_FREE, sample), at, nullptr);
  OSND_Update();
  captured.clear();
  Step(2);
  const size_t last = captured.size() / 2 - 1;
  EXPECT_EQ(Left(last), 0);
  EXPECT_NEAR(Right(last), 16000 * 127 / 255, 200);
}

TEST_F(Sound3d, RolloffFactorShapesTheCurve) {
  OSND_Sample_SetMinMaxDistance(sample, 1.0f, 11.0f);
  gOsnd3d.rolloffFactor = 0.0f;  // linear from minimum to maximum
  EXPECT_EQ(PlaceAt(0, 0, 6)->volume3d, 127);
  EXPECT_EQ(PlaceAt(0, 0, 50)->volume3d, 0);
  gOsnd3d.rolloffFactor = 2.0f;  // distance beyond the minimum counts double: 1 / (1 + 4 * 2)
  EXPECT_EQ(PlaceAt(0, 0, 5)->volume3d, 255 / 9);
  gOsnd3d.rolloffFactor = 1.0f;
  EXPECT_EQ(PlaceAt(0, 0, 50)->volume3d, 255 / 11);  // cut at the maximum distance
}

TEST_F(Sound3d, DopplerScalesTheFrequency) {
  const float away[3] = {0, 0, 34};
  OsndChannel *leaving = PlaceAt(0, 0, 100, away);
  EXPECT_NEAR(leaving->frequencyScale, 0.9f, 1e-5f);
  // The scale reaches the mixing step: 44100 Hz at 0.9 is 39690 Hz.
  EXPECT_EQ(leaving->stepWhole, 0u);
  EXPECT_NEAR(double(leaving->stepFrac) / 4294967296.0 * 44100.0, 39690.0, 1.5);  // truncated to whole Hz

  const float toward[3] = {0, 0, -34};
  EXPECT_NEAR(PlaceAt(0, 0, 100, toward)->frequencyScale, 1.1f, 1e-5f);
  const float fast[3] = {0, 0, 1000};
  EXPECT_FLOAT_EQ(PlaceAt(0, 0, 2000, fast)->frequencyScale, 0.00001f);
  gOsnd3d.dopplerFactor = 0.0f;
  EXPECT_FLOAT_EQ(PlaceAt(0, 0, 100, away)->frequencyScale, 1.0f);
}

TEST_F(Sound3d, TwoDimensionalAndStereoChannelsAreLeftAlone) {
  OSND_SAMPLE *flat = OSND_Sample_Alloc(-1, 64, OSND_MODE_16BITS | OSND_MODE_MONO | OSND_MODE_2D | OSND_MODE_LOOP_NORMAL,
                                        44100, 255, 0, 128);
  ASSERT_NE(flat, nullptr);
  OsndChannel *c = PlaceAt(0, 0, 500, nullptr, flat);
  EXPECT_EQ(c->volume3d, 255);
  EXPECT_FLOAT_EQ(c->frequencyScale, 1.0f);
  EXPECT_EQ(c->swPan, 0);  // its own pan stands

  OSND_SAMPLE *stereo = StereoSample16(StereoRamp(64), OSND_MODE_LOOP_NORMAL);
  const int h = OSND_PlaySound(OSND_FREE, stereo);
  OSND_SetPan(h, 30);
  const float far[3] = {0, 0, 500};
  OSND_3D_SetAttributes(h, far, nullptr);
  OSND_Update();
  EXPECT_EQ(Channel(h)->volume3d, 255);
  EXPECT_EQ(Channel(h)->swPan, 30);
}

TEST_F(Sound3d, SeparationAndMasterVolumeApply) {
  OSND_SetPanSeperation(0.0f);
  EXPECT_EQ(PlaceAt(2, 0, 0)->swPan, 128);
  OSND_SetPanSeperation(0.5f);
  EXPECT_EQ(PlaceAt(2, 0, 0)->swPan, 191);  // 128 + 127 / 2
  OSND_SetPanSeperation(1.0f);

  OSND_SetSFXMasterVolume(128);
  OsndChannel *c = PlaceAt(0, 0, 1);
  EXPECT_EQ(c->swVolume, 128);
  OSND_SetVolumeAbsolute(c->index, 200);
  OSND_Update();
  EXPECT_EQ(c->swVolume, 200);
}

TEST_F(Sound3d, AttributesUpdateOnlyOnChangeAndPausedChannelsAtOnce) {
  const int h = OSND_PlaySound(OSND_FREE, sample);
  OsndChannel *c = Channel(h);
  static int calls;
  calls = 0;
  c->ops.update3D = [](OsndChannel *) { return ++calls, true; };
  const float p[3] = {0, 0, 5};
  EXPECT_TRUE(OSND_3D_SetAttributes(h, p, nullptr));
  EXPECT_TRUE(OSND_3D_SetAttributes(h, p, nullptr));
  EXPECT_EQ(calls, 1);
  const float v[3] = {1, 0, 0};
  EXPECT_TRUE(OSND_3D_SetAttributes(h, nullptr, v));
  EXPECT_EQ(calls, 2);
  EXPECT_FLOAT_EQ(c->position3d[2], 5.0f);
  SoundSoftware_SetChannelOps(c);  // back to the software slots (relinks it idle)
  OSND_StopSound(h);

  // A playing software channel waits for the update pass; a paused one changes now.
  const int playing = OSND_PlaySound(OSND_FREE, sample);
  const float far[3] = {0, 0, 10};
  OSND_3D_SetAttributes(playing, far, nullptr);
  EXPECT_EQ(Channel(playing)->volume3d, 255);
  OSND_Update();
  EXPECT_EQ(Channel(playing)->volume3d, 25);
  const int paused = OSND_PlaySoundEx(OSND_FREE, sample, nullptr, true);
  OSND_3D_SetAttributes(paused, far, nullptr);
  EXPECT_EQ(Channel(paused)->volume3d, 25);
}

TEST(Sound3dUninitialised, RefusesWithError2) {
  const float p[3] = {1, 2, 3};
  EXPECT_FALSE(OSND_3D_SetAttributes(0, p, nullptr));
  EXPECT_EQ(OSND_GetError(), OSND_ERR_UNINITIALISED);
  OsndChannel c{};
  c.position3d[0] = 3;
  c.position3d[1] = 4;
  EXPECT_FLOAT_EQ(Osnd3d_NearestListenerDistance(&c), 5.0f);
  gOsnd3d.listenerCount = 0;
  EXPECT_FLOAT_EQ(Osnd3d_NearestListenerDistance(&c), 10000.0f);
  Osnd3d_ResetListeners();
}

}  // namespace sound3d_test
