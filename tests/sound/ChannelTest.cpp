#include "SoundTestSupport.h"

namespace channel_test {

namespace {

class Channels : public CapturedEngine {
 protected:
  void SetUp() override { ASSERT_TRUE(Start(OSND_MIXER_QUALITY_FPU, 44100, 8)); }
  OSND_SAMPLE *Sample(int priority) {
    OSND_SAMPLE *s = MonoSample16(std::vector<int16_t>(2000, 3000), OSND_MODE_LOOP_NORMAL);
    OSND_Sample_SetDefaultsEx(s, -1, -1, -1, priority, -1, -1, -1);
    return s;
  }
};

}  // namespace

TEST_F(Channels, HandlesCarryIndexAndCounterAndGoStaleOnStop) {
  OSND_SAMPLE *s = Sample(128);
  const int h = OSND_PlaySound(OSND_FREE, s);
  ASSERT_GE(h, 0);
  const int index = h & 0xFFF;
  EXPECT_EQ(h >> 12, 1);
  EXPECT_TRUE(OSND_IsPlaying(h));
  EXPECT_TRUE(OSND_StopSound(h));
  EXPECT_FALSE(OSND_IsPlaying(index));
  EXPECT_FALSE(OSND_SetVolume(h, 10));
  EXPECT_EQ(OSND_GetError(), OSND_ERR_INVALID_PARAM);
  EXPECT_TRUE(OSND_SetVolume(index, 10));  // a bare index is always accepted
  EXPECT_EQ(OSND_GetVolume(index), 10);
  const int again = OSND_PlaySound(index, s);
  EXPECT_EQ(again & 0xFFF, index);
  EXPECT_NE(again, h);
  EXPECT_TRUE(OSND_IsPlaying(again));
  EXPECT_FALSE(OSND_IsPlaying(h));
}

TEST_F(Channels, UseCounterWrapsToOne) {
  OSND_SAMPLE *s = Sample(128);
  OsndChannel *c = Channel(3);
  c->useCounter = 0x7FFFF;
  const int h = OSND_PlaySound(3, s);
  EXPECT_EQ(h, (0x7FFFF << 12) | 3);
  EXPECT_GT(h, 0);  // bit 31 never set
  EXPECT_EQ(c->useCounter, 1);
  OSND_StopSound(h);
  EXPECT_EQ(c->currentHandle, (1 << 12) | 3);
}

TEST_F(Channels, PanIsClampedAndScaledBySeparation) {
  OSND_SAMPLE *s = Sample(128);
  const int h = OSND_PlaySound(OSND_FREE, s);
  ASSERT_TRUE(OSND_SetPan(h, 300));
  EXPECT_EQ(Channel(h)->pan, 255);
  OSND_SetPanSeperation(0.5f);
  OSND_SetPan(h, 0);
  EXPECT_EQ(Channel(h)->pan, 64);
  OSND_SetPan(h, 255);
  EXPECT_EQ(Channel(h)->pan, 191);
  OSND_SetPan(h, -1);
  EXPECT_EQ(Channel(h)->pan, -1);
  Osnd_SetPanUnscaled(h, 0);
  EXPECT_EQ(Channel(h)->pan, 0);
  OSND_SetPanSeperation(1.0f);
}

TEST_F(Channels, VolumeIsScaledByTheMasterVolume) {
  OSND_SAMPLE *s = Sample(128);
  const int h = OSND_PlaySound(OSND_FREE, s);
  OSND_SetSFXMasterVolume(128);
  ASSERT_TRUE(OSND_SetVolume(h, 200));
  EXPECT_EQ(OSND_GetVolume(h), 200);
  EXPECT_EQ(Channel(h)->swVolume, 100);
  EXPECT_TRUE(OSND_SetVolume(h, 999));
  EXPECT_EQ(OSND_GetVolume(h), 255);
  OSND_SetSFXMasterVolume(255);
}

TEST_F(Channels, StealingGoesByPriorityThenLevel) {
  OSND_SAMPLE *busy = Sample(200);
  int handles[8];
  for (int i = 0; i < 8; ++i) {
    handles[i] = OSND_PlaySound(OSND_FREE, busy);
    ASSERT_GE(handles[i], 0);
    OSND_SetVolume(handles[i], 250 - i * 10);
  }
  OSND_SetVolume(handles[5], 20);  // the quietest
  EXPECT_EQ(OSND_GetChannelsPlaying(), 8);
  OSND_SAMPLE *low = Sample(100);
  EXPECT_EQ(OSND_PlaySound(OSND_FREE, low), -1);
  EXPECT_EQ(OSND_GetError(), OSND_ERR_CHANNEL_ALLOC);
  OSND_SAMPLE *equal = Sample(200);
  const int stolen = OSND_PlaySound(OSND_FREE, equal);
  ASSERT_GE(stolen, 0);
  EXPECT_EQ(stolen & 0xFFF, handles[5] & 0xFFF);
  EXPECT_FALSE(OSND_IsPlaying(handles[5]));  // the old handle is stale
  // A lower-priority playing channel is taken before a quieter one of higher priority.
  OSND_SAMPLE *unimportant = Sample(50);
  OSND_StopSound(handles[2]);
  const int weak = OSND_PlaySound(handles[2] & 0xFFF, unimportant);
  OSND_SetVolume(weak, 255);
  const int next = OSND_PlaySound(OSND_FREE, equal);
  EXPECT_EQ(next & 0xFFF, handles[2] & 0xFFF);
}

TEST_F(Channels, ReservedChannelsAreSkipped) {
  OSND_SAMPLE *s = Sample(128);
  for (int i = 0; i < 7; ++i) OSND_SetReserved(i, true);
  const int h = OSND_PlaySound(OSND_FREE, s);
  EXPECT_EQ(h & 0xFFF, 7);
  EXPECT_EQ(OSND_PlaySound(OSND_FREE, Sample(0)), -1);
  const int direct = OSND_PlaySound(2, s);  // still reachable by index
  EXPECT_EQ(direct & 0xFFF, 2);
}

TEST_F(Channels, MaximumPlaybacksAndOneInstance) {
  OSND_SAMPLE *s = Sample(128);
  s->maxPlaybacks = 1;
  ASSERT_GE(OSND_PlaySound(OSND_FREE, s), 0);
  EXPECT_EQ(OSND_PlaySound(OSND_FREE, s), -1);
  EXPECT_EQ(OSND_GetError(), OSND_ERR_NONE);

  OSND_SAMPLE *once = Sample(128);
  once->mode |= OSND_MODE_ONE_INSTANCE;
  const int first = OSND_PlaySound(OSND_FREE, once);
  const int second = OSND_PlaySound(OSND_FREE, once);
  ASSERT_GE(second, 0);
  EXPECT_FALSE(OSND_IsPlaying(first));
  EXPECT_TRUE(OSND_IsPlaying(second));
}

TEST_F(Channels, PlayRefusesBadArgumentsAndDeadUnits) {
  OSND_SAMPLE *s = Sample(128);
  EXPECT_EQ(OSND_PlaySound(OSND_FREE, nullptr), -1);
  EXPECT_EQ(OSND_GetError(), OSND_ERR_INVALID_PARAM);
  EXPECT_EQ(OSND_PlaySound(9, s), -1);
  EXPECT_EQ(OSND_GetError(), OSND_ERR_INVALID_PARAM);
  OSND_DSPUNIT *unit = OSND_DSP_Create(nullptr, 150, nullptr);
  OSND_DSP_Free(unit);
  EXPECT_EQ(OSND_PlaySoundEx(OSND_FREE, s, unit, true), -1);
  EXPECT_EQ(OSND_GetError(), OSND_ERR_INVALID_PARAM);
  const int paused = OSND_PlaySoundEx(OSND_FREE, s, nullptr, true);
  EXPECT_TRUE(OSND_GetPaused(paused));
  EXPECT_TRUE(OSND_IsPlaying(paused));
}

TEST_F(Channels, SettersAndGettersRefuseWhenNotInitialised) {
  OSND_Close();
  EXPECT_FALSE(OSND_SetVolume(0, 10));
  EXPECT_EQ(OSND_GetError(), OSND_ERR_UNINITIALISED);
  EXPECT_EQ(OSND_PlaySound(OSND_FREE, reinterpret_cast<OSND_SAMPLE *>(this)), -1);
  EXPECT_EQ(OSND_GetError(), OSND_ERR_UNINITIALISED);
  EXPECT_EQ(OSND_GetFrequency(0), 0);
}

TEST_F(Channels, PositionAndLoopModeReachTheChannel) {
  OSND_SAMPLE *s = Sample(128);
  const int h = OSND_PlaySoundEx(OSND_FREE, s, nullptr, true);
  EXPECT_FALSE(OSND_SetCurrentPosition(h, 2000));
  EXPECT_EQ(OSND_GetError(), OSND_ERR_INVALID_PARAM);
  EXPECT_TRUE(OSND_SetCurrentPosition(h, 1999));
  EXPECT_EQ(OSND_GetCurrentPosition(h), 1999u);
  EXPECT_TRUE(OSND_SetLoopMode(h, OSND_MODE_LOOP_OFF));
  EXPECT_EQ(Channel(h)->mode & 7u, OSND_MODE_LOOP_OFF);
  EXPECT_TRUE(OSND_SetFrequency(h, 22050));
  EXPECT_EQ(OSND_GetFrequency(h), 22050);
  EXPECT_TRUE(OSND_SetSurround(h, true));
  EXPECT_TRUE(Channel(h)->flags & OSND_CHANFLAG_SURROUND);
}

}  // namespace channel_test
