#include "SoundTestSupport.h"

#include "sound/src/channel/osnd_dsp.h"

#include <chrono>
#include <cstring>
#include <thread>

namespace engine_system_test {

namespace {

class EngineSystem : public ::testing::Test {
 protected:
  void SetUp() override {
    SoundSoftware_OverrideCpu(1, 1, 1);
    OSND_SetOutput(OSND_OUTPUT_NOSOUND_NONREALTIME);
  }
  void TearDown() override {
    OSND_Close();
    SoundSoftware_OverrideCpu(-1, -1, -1);
  }
};

}  // namespace

TEST_F(EngineSystem, ReportsVersion) { EXPECT_FLOAT_EQ(OSND_GetVersion(), 3.75f); }

TEST_F(EngineSystem, InitRefusesOutOfRangeArguments) {
  EXPECT_FALSE(OSND_Init(44100, 1025, 0));
  EXPECT_EQ(OSND_GetError(), OSND_ERR_INVALID_PARAM);
  EXPECT_FALSE(OSND_Init(3999, 32, 0));
  EXPECT_EQ(OSND_GetError(), OSND_ERR_INVALID_PARAM);
  EXPECT_FALSE(OSND_Init(65536, 32, 0));
  EXPECT_FALSE(OSND_Init(44100, -1, 0));
  EXPECT_TRUE(OSND_Init(4000, 32, 0));
  EXPECT_EQ(OSND_GetError(), OSND_ERR_NONE);
  EXPECT_TRUE(OSND_Init(65535, 32, 0));  // a second Init restarts the engine
  EXPECT_EQ(OSND_GetOutputRate(), 65535);
}

TEST_F(EngineSystem, ConfigurationIsRefusedWhileInitialised) {
  EXPECT_FALSE(OSND_SetMixer(3));
  EXPECT_EQ(OSND_GetError(), OSND_ERR_INVALID_PARAM);
  EXPECT_FALSE(OSND_SetMixer(8));
  EXPECT_EQ(OSND_GetError(), OSND_ERR_INVALID_PARAM);
  ASSERT_TRUE(OSND_SetMixer(OSND_MIXER_QUALITY_FPU));
  ASSERT_TRUE(OSND_Init(44100, 4, 0));
  EXPECT_EQ(OSND_GetMixer(), OSND_MIXER_QUALITY_FPU);
  EXPECT_FALSE(OSND_SetMixer(OSND_MIXER_QUALITY_MMXP6));
  EXPECT_EQ(OSND_GetError(), OSND_ERR_INITIALISED);
  EXPECT_FALSE(OSND_SetOutput(OSND_OUTPUT_NOSOUND));
  EXPECT_EQ(OSND_GetError(), OSND_ERR_INITIALISED);
  EXPECT_FALSE(OSND_SetDriver(3));
  EXPECT_EQ(OSND_GetError(), OSND_ERR_INITIALISED);
  EXPECT_EQ(gOsnd.driver, 0);
  EXPECT_EQ(gOsnd.outputType, OSND_OUTPUT_NOSOUND_NONREALTIME);
  EXPECT_EQ(OSND_GetMixer(), OSND_MIXER_QUALITY_FPU);
}

TEST_F(EngineSystem, QualityAutodetectFollowsProcessorFeatures) {
  struct Case { int cpuid, mmx, p6, expected; } cases[] = {
      {1, 1, 1, OSND_MIXER_QUALITY_MMXP6}, {1, 1, 0, OSND_MIXER_QUALITY_MMXP5},
      {1, 0, 1, OSND_MIXER_QUALITY_FPU},   {0, 1, 1, OSND_MIXER_QUALITY_FPU}};
  for (const Case &c : cases) {
    SoundSoftware_OverrideCpu(c.cpuid, c.mmx, c.p6);
    ASSERT_TRUE(OSND_SetMixer(OSND_MIXER_QUALITY_AUTODETECT));
    ASSERT_TRUE(OSND_Init(44100, 4, 0));
    EXPECT_EQ(OSND_GetMixer(), c.expected);
    OSND_Close();
  }
}

TEST_F(EngineSystem, BlockBufferAndRampSizes) {
  ASSERT_TRUE(OSND_Init(44100, 4, 0));
  EXPECT_EQ(gOsnd.blockLength, 1024);
  EXPECT_EQ(gOsnd.rampLength, 128);
  EXPECT_EQ(gOsnd.blockLengthMs, 50);
  EXPECT_EQ(gOsnd.bufferLengthSamples, 4096);  // 100 ms rounded down to whole blocks
  EXPECT_EQ(OSND_Sample_GetLength(gOsnd.primarySample), 4096);
  OSND_Close();
  EXPECT_EQ(gOsnd.bufferLengthMs, -1);

  ASSERT_TRUE(OSND_Init(22050, 4, 0));
  EXPECT_EQ(gOsnd.blockLength, 512);
  OSND_Close();
  ASSERT_TRUE(OSND_Init(4000, 4, 0));
  EXPECT_EQ(gOsnd.blockLength, 256);
  EXPECT_EQ(gOsnd.rampLength, 11);
  EXPECT_EQ(gOsnd.bufferLengthSamples, 512);  // below two blocks becomes two blocks
  OSND_Close();
  gOsnd.bufferLengthMs = 100;  // a longer buffer: 200 ms, 8 blocks at 44100 Hz
  ASSERT_TRUE(OSND_Init(44100, 4, 0));
  EXPECT_EQ(gOsnd.blockLengthMs, 100);
  EXPECT_EQ(gOsnd.bufferLengthSamples, 8192);
}

TEST_F(EngineSystem, NoSoftwareChannelsMeansNoMixer) {
  ASSERT_TRUE(OSND_Init(44100, 0, 0));
  EXPECT_EQ(gOsnd.primary, nullptr);
  EXPECT_EQ(gOsnd.primarySample, nullptr);
  EXPECT_EQ(gOsnd.mixer, nullptr);
  EXPECT_EQ(gOsnd.mixerThread, nullptr);
  EXPECT_TRUE(OsndList_IsEmpty(&gOsnd.dspChain));
  EXPECT_EQ(OSND_GetMaxChannels(), 0);
}

TEST_F(EngineSystem, PanSeparationIsClamped) {
  OSND_SetPanSeperation(-0.5f);
  EXPECT_EQ(gOsnd.panSeparation, 0.0f);
  OSND_SetPanSeperation(1.5f);
  EXPECT_EQ(gOsnd.panSeparation, 1.0f);
  OSND_SetPanSeperation(0.25f);
  EXPECT_EQ(gOsnd.panSeparation, 0.25f);
  OSND_SetPanSeperation(1.0f);
}

TEST_F(EngineSystem, NoSoundDriverIdentityRecordingAndReverb) {
  OSND_SetOutput(OSND_OUTPUT_NOSOUND);
  EXPECT_EQ(OSND_GetNumDrivers(), 1);
  EXPECT_STREQ(gOsnd.driverNames[0], "No Sound Driver");
  OSND_SetOutput(5);
  EXPECT_EQ(gOsnd.output, &OsndOutputNoSound);
  EXPECT_FALSE(gOsnd.output->recordInit(0));
  EXPECT_EQ(OSND_GetError(), OSND_ERR_RECORD);
  EXPECT_FALSE(gOsnd.output->setReverb(nullptr));
  EXPECT_EQ(OSND_GetError(), OSND_ERR_INVALID_PARAM);
  int32_t in[30], out[30] = {};
  for (int i = 0; i < 30; ++i) in[i] = i * 1000 - 7;
  EXPECT_TRUE(gOsnd.output->setReverb(in));
  EXPECT_TRUE(gOsnd.output->getReverb(out));
  EXPECT_EQ(std::memcmp(in, out, sizeof in), 0);
}

TEST_F(EngineSystem, OutputsMissingFromTheBuildFailInit) {
  OSND_SetOutput(OSND_OUTPUT_DSOUND);
  EXPECT_EQ(OSND_GetNumDrivers(), 0);
  EXPECT_FALSE(OSND_Init(44100, 32, 2));
  EXPECT_EQ(OSND_GetError(), OSND_ERR_INIT);
  OSND_Close();
  EXPECT_EQ(SystemMemory_BytesInUse(), 0);
}

TEST_F(EngineSystem, CloseIsSafeAnyTime) {
  OSND_Close();
  OSND_Close();
  ASSERT_TRUE(OSND_Init(44100, 4, 0));
  OSND_Close();
  OSND_Close();
  EXPECT_FALSE(gOsnd.initialised);
  EXPECT_EQ(OSND_GetChannelsPlaying(), 0);
  EXPECT_EQ(OSND_GetError(), OSND_ERR_UNINITIALISED);
}

TEST_F(EngineSystem, SfxMasterVolumeIsClampedAndReapplied) {
  ASSERT_TRUE(OSND_Init(44100, 4, 0));
  std::vector<int16_t> data(100, 1000);
  OSND_SAMPLE *s = OSND_Sample_Alloc(-1, 100, OSND_MODE_16BITS, 44100, 200, 128, 100);
  ASSERT_NE(s, nullptr);
  const int h = OSND_PlaySound(OSND_FREE, s);
  ASSERT_GE(h, 0);
  OSND_SetSFXMasterVolume(300);
  EXPECT_EQ(gOsnd.sfxMasterVolume, 255);
  EXPECT_EQ(gOsnd.channels[h & 0xFFF].swVolume, 200);
  OSND_SetSFXMasterVolume(128);
  EXPECT_EQ(gOsnd.channels[h & 0xFFF].swVolume, 128 * 200 / 255);
  EXPECT_EQ(OSND_GetVolume(h), 200);
  OSND_SetVolumeAbsolute(h, 90);
  OSND_SetSFXMasterVolume(10);
  EXPECT_EQ(gOsnd.channels[h & 0xFFF].swVolume, 90);  // absolute volumes ignore the master
  OSND_SetSFXMasterVolume(255);
}

TEST_F(EngineSystem, InitPlayCloseLeavesNoMemoryInUse) {
  const int64_t before = SystemMemory_BytesInUse();
  std::vector<int16_t> data(3000, 1234);
  for (int round = 0; round < 100; ++round) {
    ASSERT_TRUE(OSND_Init(44100, 8, round % 2 ? OSND_INIT_LEVEL_METER : 0));
    OSND_SAMPLE *s = OSND_Sample_Alloc(round % 3, 3000, OSND_MODE_16BITS | OSND_MODE_LOOP_NORMAL, 44100, 255, 128, 255);
    ASSERT_NE(s, nullptr);
    ASSERT_TRUE(OSND_Sample_Upload(s, data.data(), OSND_MODE_16BITS));
    ASSERT_GE(OSND_PlaySound(OSND_FREE, s), 0);
    OSND_DSP_SetActive(OSND_DSP_Create(nullptr, 300, nullptr), true);
    OSND_Update();
    OSND_Close();
    ASSERT_EQ(SystemMemory_BytesInUse(), before) << "round " << round;
  }
}

TEST(EngineRealtime, MixerThreadRunsAndIsJoinedAtClose) {
  OsndOutputNoSound.mixerThread = 1;  // a non-realtime run in this process would have cleared it
  OSND_SetOutput(OSND_OUTPUT_NOSOUND);
  ASSERT_TRUE(OSND_Init(44100, 4, 0));
  ASSERT_NE(gOsnd.mixerThread, nullptr);
  const unsigned p0 = OSND_GetCurrentPosition(OSND_PRIMARY);
  std::this_thread::sleep_for(std::chrono::milliseconds(60));
  // The default position runs with the engine clock at the mix rate.
  const unsigned p1 = OSND_GetCurrentPosition(OSND_PRIMARY);
  EXPECT_GE(p1 - p0, 44100u * 50 / 1000);
  float l = -1, r = -1;
  EXPECT_TRUE(gOsnd.primary->ops.getLevels(gOsnd.primary, &l, &r));
  EXPECT_EQ(l, 0.0f);
  EXPECT_EQ(r, 0.0f);
  OSND_Close();
  EXPECT_EQ(gOsnd.mixerThread, nullptr);
  EXPECT_TRUE(gOsnd.mixerThreadEnded.load());
  EXPECT_EQ(SystemMemory_BytesInUse(), 0);
}

TEST(EngineRealtime, NonRealtimeRunClearsTheMixerThreadWord) {
  OsndOutputNoSound.mixerThread = 1;
  OSND_SetOutput(OSND_OUTPUT_NOSOUND_NONREALTIME);
  ASSERT_TRUE(OSND_Init(44100, 4, 0));
  EXPECT_EQ(gOsnd.mixerThread, nullptr);
  EXPECT_TRUE(gOsnd.initFlags & OSND_INIT_NONREALTIME);
  OSND_Close();
  OSND_SetOutput(OSND_OUTPUT_NOSOUND);
  ASSERT_TRUE(OSND_Init(44100, 4, 0));
  EXPECT_EQ(gOsnd.mixerThread, nullptr);
  OSND_Close();
  OsndOutputNoSound.mixerThread = 1;
}

// Both driver lists take names cut to their width and refuse a name once full,
// so that no device list, however long, writes past them.
TEST_F(EngineSystem, DriverListsCutLongNamesAndStopWhenFull) {
  const std::string longName(300, 'n');
  gOsnd.numDrivers = 0;
  gOsnd.numRecordDrivers = 0;
  EXPECT_EQ(Osnd_AddDriverName(longName.c_str()), 0);
  EXPECT_EQ(Osnd_AddRecordDriverName(longName.c_str()), 0);
  EXPECT_EQ(std::strlen(gOsnd.driverNames[0]), sizeof gOsnd.driverNames[0] - 1);
  EXPECT_EQ(std::strlen(gOsnd.recordDriverNames[0]), sizeof gOsnd.recordDriverNames[0] - 1);
  for (int i = 1; i < OSND_MAX_DRIVER_NAMES; ++i) {
    ASSERT_EQ(Osnd_AddDriverName("short"), i);
    ASSERT_EQ(Osnd_AddRecordDriverName("short"), i);
  }
  EXPECT_EQ(Osnd_AddDriverName("one too many"), -1);
  EXPECT_EQ(Osnd_AddRecordDriverName("one too many"), -1);
  EXPECT_EQ(gOsnd.numDrivers, OSND_MAX_DRIVER_NAMES);
  EXPECT_EQ(gOsnd.numRecordDrivers, OSND_MAX_DRIVER_NAMES);
  EXPECT_STREQ(gOsnd.driverNames[OSND_MAX_DRIVER_NAMES - 1], "short");
}

}  // namespace engine_system_test
