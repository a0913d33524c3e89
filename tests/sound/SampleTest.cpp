#include "SoundTestSupport.h"

#include "sound/src/channel/osnd_sample.h"
#include "sound/src/format/format_load.h"

#include <cstring>

namespace sample_test {

namespace {

class Samples : public CapturedEngine {
 protected:
  void SetUp() override { ASSERT_TRUE(Start(OSND_MIXER_QUALITY_FPU, 44100, 4)); }
  static const int16_t *Data16(OSND_SAMPLE *s) { return reinterpret_cast<const int16_t *>(s->data); }
};

}  // namespace

TEST_F(Samples, ModeNormalisation) {
  OSND_SAMPLE *s = OSND_Sample_Alloc(-1, 10, 0, 44100, 255, 128, 255);
  ASSERT_NE(s, nullptr);
  EXPECT_EQ(s->mode, OSND_MODE_8BITS | OSND_MODE_MONO | OSND_MODE_LOOP_OFF | OSND_MODE_SIGNED);
  // 16-bit wins over 8-bit, stereo over mono; without 3D voices hardware 3D
  // goes, and the effects bit with it.
  const unsigned m = OsndSample_NormaliseMode(
      0, OSND_MODE_8BITS | OSND_MODE_16BITS | OSND_MODE_MONO | OSND_MODE_STEREO | OSND_MODE_HW3D |
             OSND_MODE_LOOP_NORMAL | OSND_MODE_ENABLE_FX);
  EXPECT_EQ(m, OSND_MODE_16BITS | OSND_MODE_STEREO | OSND_MODE_LOOP_NORMAL);
  // The effects bit alone asks for a 2D hardware voice with one instance; the
  // hardware bit goes where the output has no 2D voices.
  EXPECT_EQ(OsndSample_NormaliseMode(0, OSND_MODE_ENABLE_FX),
            OSND_MODE_ENABLE_FX | OSND_MODE_2D | OSND_MODE_ONE_INSTANCE | OSND_MODE_MONO |
                OSND_MODE_8BITS | OSND_MODE_LOOP_OFF);
  // The primary mix buffer keeps its hardware 2D bit on any output.
  EXPECT_TRUE(OsndSample_NormaliseMode(OSND_PRIMARY, OSND_MODE_HW2D) & OSND_MODE_HW2D);
  EXPECT_FALSE(OsndSample_NormaliseMode(3, OSND_MODE_HW2D) & OSND_MODE_HW2D);
  OSND_SAMPLE *u = OSND_Sample_Alloc(-1, 10, OSND_MODE_UNSIGNED | OSND_MODE_16BITS, 44100, 255, 128, 255);
  EXPECT_EQ(u->mode & (OSND_MODE_UNSIGNED | OSND_MODE_SIGNED), OSND_MODE_SIGNED);
  EXPECT_EQ(OSND_Sample_Alloc(-1, 0, 0, 44100, 255, 128, 255), nullptr);
  EXPECT_EQ(OSND_GetError(), OSND_ERR_INVALID_PARAM);
}

TEST_F(Samples, SlotTableGrowsInSteps) {
  OSND_SAMPLE *high = OSND_Sample_Alloc(300, 4, 0, 44100, 255, 128, 255);
  ASSERT_NE(high, nullptr);
  EXPECT_EQ(high->index, 300);
  EXPECT_EQ(gOsnd.sampleCapacity, 512);
  for (int i = 0; i < 512; ++i) {
    if (gOsnd.samples[i]) continue;
    ASSERT_NE(OSND_Sample_Alloc(i, 4, 0, 44100, 255, 128, 255), nullptr);
  }
  OSND_SAMPLE *next = OSND_Sample_Alloc(-1, 4, 0, 44100, 255, 128, 255);
  ASSERT_NE(next, nullptr);
  EXPECT_EQ(next->index, 512);
  EXPECT_EQ(gOsnd.sampleCapacity, 768);
  // A new sample for a taken index replaces the old one.
  OSND_SAMPLE *replacement = OSND_Sample_Alloc(300, 8, 0, 44100, 255, 128, 255);
  EXPECT_EQ(gOsnd.samples[300], replacement);
}

TEST_F(Samples, LoopPointsAndDefaults) {
  OSND_SAMPLE *s = OSND_Sample_Alloc(-1, 100, OSND_MODE_16BITS, 44100, 255, 128, 255);
  EXPECT_TRUE(OSND_Sample_SetLoopPoints(s, 0, 110));
  EXPECT_EQ(s->loopStart, 0u);
  EXPECT_EQ(s->loopLength, 100u);
  EXPECT_FALSE(OSND_Sample_SetLoopPoints(s, 10, 10));
  EXPECT_EQ(OSND_GetError(), OSND_ERR_INVALID_PARAM);
  EXPECT_FALSE(OSND_Sample_SetLoopPoints(s, 100, 120));
  EXPECT_FALSE(OSND_Sample_SetLoopPoints(nullptr, 0, 5));
  EXPECT_TRUE(OSND_Sample_SetLoopPoints(s, 10, 19));
  EXPECT_EQ(s->loopLength, 10u);

  ASSERT_TRUE(OSND_Sample_SetDefaultsEx(s, 22050, 100, 64, 10, 5, 6, 7));
  EXPECT_TRUE(OSND_Sample_SetDefaultsEx(s, 100, -1, 300, -1, -1, -1, -1));
  int f, v, p, pr, fv, vv, pv;
  ASSERT_TRUE(OSND_Sample_GetDefaultsEx(s, &f, &v, &p, &pr, &fv, &vv, &pv));
  EXPECT_EQ(f, 22050);
  EXPECT_EQ(v, 100);
  EXPECT_EQ(p, 255);
  EXPECT_EQ(pr, 10);
  EXPECT_EQ(fv, 5);
  EXPECT_EQ(vv, 6);
  EXPECT_EQ(pv, 7);
  EXPECT_TRUE(OSND_Sample_GetDefaults(s, nullptr, &v, nullptr, nullptr));

  EXPECT_FALSE(OSND_Sample_SetMinMaxDistance(s, 5.0f, 1.0f));
  EXPECT_TRUE(OSND_Sample_SetMinMaxDistance(s, 2.0f, 50.0f));
  float lo = 0, hi = 0;
  EXPECT_TRUE(OSND_Sample_GetMinMaxDistance(s, &lo, &hi));
  EXPECT_EQ(lo, 2.0f);
  EXPECT_EQ(hi, 50.0f);
}

TEST_F(Samples, UploadConvertsWidthSignAndDelta) {
  const uint8_t unsigned8[4] = {0x80, 0xFF, 0x00, 0x81};
  OSND_SAMPLE *wide = OSND_Sample_Alloc(-1, 4, OSND_MODE_16BITS, 44100, 255, 128, 255);
  ASSERT_TRUE(OSND_Sample_Upload(wide, unsigned8, OSND_MODE_8BITS | OSND_MODE_UNSIGNED));
  EXPECT_EQ(Data16(wide)[0], 0);
  EXPECT_EQ(Data16(wide)[1], 0x7F00);
  EXPECT_EQ(Data16(wide)[2], int16_t(0x8000));
  EXPECT_EQ(Data16(wide)[3], 0x0100);

  const int16_t signed16[3] = {0x1234, -2, int16_t(0x8000)};
  OSND_SAMPLE *narrow = OSND_Sample_Alloc(-1, 3, OSND_MODE_8BITS, 44100, 255, 128, 255);
  ASSERT_TRUE(OSND_Sample_Upload(narrow, signed16, OSND_MODE_16BITS | OSND_MODE_SIGNED));
  EXPECT_EQ(int8_t(narrow->data[0]), 0x12);
  EXPECT_EQ(int8_t(narrow->data[1]), -1);
  EXPECT_EQ(int8_t(narrow->data[2]), -128);

  const int8_t delta[4] = {10, 5, -20, 1};
  OSND_SAMPLE *d = OSND_Sample_Alloc(-1, 4, OSND_MODE_8BITS, 44100, 255, 128, 255);
  ASSERT_TRUE(OSND_Sample_Upload(d, delta, OSND_MODE_8BITS | OSND_MODE_DELTA | OSND_MODE_SIGNED));
  EXPECT_EQ(int8_t(d->data[0]), 10);
  EXPECT_EQ(int8_t(d->data[1]), 15);
  EXPECT_EQ(int8_t(d->data[2]), -5);
  EXPECT_EQ(int8_t(d->data[3]), -4);

  const uint16_t unsigned16[2] = {0x8000, 0x0000};
  OSND_SAMPLE *u = OSND_Sample_Alloc(-1, 2, OSND_MODE_16BITS, 44100, 255, 128, 255);
  ASSERT_TRUE(OSND_Sample_Upload(u, unsigned16, OSND_MODE_16BITS | OSND_MODE_UNSIGNED));
  EXPECT_EQ(Data16(u)[0], 0);
  EXPECT_EQ(Data16(u)[1], int16_t(0x8000));

  EXPECT_FALSE(OSND_Sample_Upload(nullptr, unsigned8, 0));
  EXPECT_EQ(OSND_GetError(), OSND_ERR_INVALID_PARAM);
}

TEST_F(Samples, GuardFramesFollowTheLoop) {
  std::vector<int16_t> data(20);
  for (int i = 0; i < 20; ++i) data[i] = int16_t(100 * (i + 1));
  OSND_SAMPLE *s = MonoSample16(data, OSND_MODE_LOOP_NORMAL);
  ASSERT_NE(s, nullptr);
  EXPECT_EQ(Data16(s)[20], 100);  // whole-sample loop: the frame behind it is the loop start
  ASSERT_TRUE(OSND_Sample_SetLoopPoints(s, 5, 9));
  EXPECT_EQ(Data16(s)[20], 0);     // the old guard frame is put back
  EXPECT_EQ(Data16(s)[10], 600);   // loop end + 1 holds the loop start frame
  ASSERT_TRUE(OSND_Sample_SetMode(s, OSND_MODE_LOOP_BIDI));
  EXPECT_EQ(s->mode & 7u, OSND_MODE_LOOP_BIDI);
  EXPECT_EQ(Data16(s)[10], 1000);  // bidirectional: the frame before
  ASSERT_TRUE(OSND_Sample_SetMode(s, OSND_MODE_LOOP_OFF));
  EXPECT_EQ(Data16(s)[10], 1100);  // the data itself again
  EXPECT_EQ(Data16(s)[20], 0);     // one-shot: silence behind the data
  // A lock hands out the real data, not the guard copy.
  ASSERT_TRUE(OSND_Sample_SetMode(s, OSND_MODE_LOOP_NORMAL));
  void *p1, *p2;
  unsigned l1, l2;
  ASSERT_TRUE(OSND_Sample_Lock(s, 0, 40, &p1, &p2, &l1, &l2));
  EXPECT_EQ(static_cast<int16_t *>(p1)[10], 1100);
  EXPECT_EQ(l1, 40u);
  EXPECT_EQ(p2, nullptr);
  ASSERT_TRUE(OSND_Sample_Unlock(s, p1, p2, l1, l2));
  EXPECT_EQ(Data16(s)[10], 600);
  EXPECT_FALSE(OSND_Sample_Lock(s, 41, 4, &p1, &p2, &l1, &l2));
  EXPECT_EQ(OSND_GetError(), OSND_ERR_INVALID_PARAM);
  EXPECT_EQ(p1, nullptr);
}

TEST_F(Samples, StereoGuardFramesAreWholeFrames) {
  std::vector<int16_t> data = {1, 2, 3, 4, 5, 6};
  OSND_SAMPLE *s = StereoSample16(data, OSND_MODE_LOOP_NORMAL);
  ASSERT_NE(s, nullptr);
  EXPECT_EQ(Data16(s)[6], 1);
  EXPECT_EQ(Data16(s)[7], 2);
}

TEST_F(Samples, DownmixKeepsRepresentation) {
  const int8_t s8[2] = {100, -50};
  int8_t m8 = 0;
  Osnd_DownmixStereoToMono(&m8, s8, 1, OSND_MODE_8BITS);
  EXPECT_EQ(m8, 25);
  const uint8_t u8[2] = {200, 100};
  uint8_t mu = 0;
  Osnd_DownmixStereoToMono(&mu, u8, 1, OSND_MODE_8BITS | OSND_MODE_UNSIGNED);
  EXPECT_EQ(mu, 150);
  const int16_t s16[2] = {-3, 0};
  int16_t m16 = 0;
  Osnd_DownmixStereoToMono(&m16, s16, 1, OSND_MODE_16BITS);
  EXPECT_EQ(m16, -2);
}

TEST_F(Samples, RawMemoryLoadAndForceMono) {
  std::vector<int16_t> stereo = {100, 300, -100, -300, 1000, 0};
  const unsigned mode = OSND_MODE_RAW | OSND_MODE_MEMORY | OSND_MODE_16BITS | OSND_MODE_STEREO;
  OSND_SAMPLE *s = OSND_Sample_Load(7, reinterpret_cast<const char *>(stereo.data()), mode, 0,
                                    int(stereo.size() * 2));
  ASSERT_NE(s, nullptr);
  EXPECT_EQ(s->length, 3u);
  EXPECT_STREQ(s->name, "Memory file");
  EXPECT_EQ(Data16(s)[2], -100);

  OSND_SAMPLE *mono = OSND_Sample_Load(8, reinterpret_cast<const char *>(stereo.data()),
                                       mode | OSND_MODE_FORCE_MONO, 0, int(stereo.size() * 2));
  ASSERT_NE(mono, nullptr);
  EXPECT_EQ(mono->index, 8);
  EXPECT_EQ(gOsnd.samples[8], mono);
  EXPECT_TRUE(mono->mode & OSND_MODE_MONO);
  EXPECT_EQ(mono->length, 3u);
  EXPECT_EQ(Data16(mono)[0], 200);
  EXPECT_EQ(Data16(mono)[1], -200);
  EXPECT_EQ(Data16(mono)[2], 500);
}

TEST_F(Samples, LoadFailures) {
  EXPECT_EQ(OSND_Sample_Load(-1, "/nonexistent/file.wav", 0, 0, 0), nullptr);
  EXPECT_EQ(OSND_GetError(), OSND_ERR_FILE_NOT_FOUND);
  EXPECT_EQ(OSND_Sample_Load(-1, nullptr, 0, 0, 0), nullptr);
  EXPECT_EQ(OSND_GetError(), OSND_ERR_INVALID_PARAM);
  const char bytes[16] = "not a sound";
  // No reader knows the data: the last reader's "not this format" stands.
  EXPECT_EQ(OSND_Sample_Load(-1, bytes, OSND_MODE_MEMORY, 0, 16), nullptr);
  EXPECT_EQ(OSND_GetError(), OSND_ERR_FILE_FORMAT);
}

TEST_F(Samples, FreeStopsChannelsPlayingIt) {
  OSND_SAMPLE *s = MonoSample16(std::vector<int16_t>(500, 1), OSND_MODE_LOOP_NORMAL);
  const int h = OSND_PlaySound(OSND_FREE, s);
  ASSERT_TRUE(OSND_IsPlaying(h));
  const int slot = s->index;
  OSND_Sample_Free(s);
  EXPECT_FALSE(OSND_IsPlaying(h & 0xFFF));
  EXPECT_EQ(gOsnd.samples[slot], nullptr);
  Step(2);  // mixing goes on without the freed data
  EXPECT_EQ(captured.size(), 2u * 2048);
}

TEST_F(Samples, MultichannelDataIsSplitAndPlaysOnAGroup) {
  OSND_SAMPLE *s = OsndSample_Create(-1, 4, OSND_MODE_16BITS | OSND_MODE_MULTICHANNEL | OSND_MODE_LOOP_NORMAL,
                                     44100, 255, 128, 200, 3);
  ASSERT_NE(s, nullptr);
  EXPECT_TRUE(s->mode & OSND_MODE_MULTICHANNEL);
  const int16_t interleaved[12] = {1, 10, 100, 2, 20, 200, 3, 30, 300, 4, 40, 400};
  ASSERT_TRUE(OSND_Sample_Upload(s, interleaved, OSND_MODE_16BITS | OSND_MODE_MULTICHANNEL));
  for (int k = 0; k < 3; ++k) {
    const auto *area = reinterpret_cast<const int16_t *>(SoundSoftware_ChannelArea(s, k));
    int scale = k == 0 ? 1 : (k == 1 ? 10 : 100);
    for (int i = 0; i < 4; ++i) ASSERT_EQ(area[i], scale * (i + 1)) << k << " " << i;
    EXPECT_EQ(area[4], scale);  // each area has its own loop guard
  }
  EXPECT_EQ(s->staging, nullptr);

  const int h = OSND_PlaySound(OSND_FREE, s);
  ASSERT_GE(h, 0);
  EXPECT_EQ(OSND_GetChannelsPlaying(), 3);
  OsndChannel *first = Channel(h);
  ASSERT_NE(first->subChannel, nullptr);
  ASSERT_NE(first->subChannel->subChannel, nullptr);
  EXPECT_EQ(first->subChannel->isSubChannel, 1);
  EXPECT_EQ(first->subChannel->data, SoundSoftware_ChannelArea(s, 1));
  OSND_SetPaused(h, true);
  EXPECT_TRUE(first->subChannel->subChannel->flags & OSND_CHANFLAG_PAUSED);
  EXPECT_TRUE(OSND_StopSound(h));
  EXPECT_EQ(OSND_GetChannelsPlaying(), 0);
}

// The readers' sample for a decoded stream: with hardware 3D at hand, a
// stereo stream keeps it unless the caller forces mono; a mono stream keeps
// it either way.
TEST_F(Samples, ReadersDropHardware3dOnlyForStereoForcedToMono) {
  gOsnd.hardware3dChannels = 8;
  const unsigned stereo = OSND_MODE_16BITS | OSND_MODE_STEREO | OSND_MODE_HW3D;
  const unsigned mono = OSND_MODE_16BITS | OSND_MODE_MONO | OSND_MODE_HW3D;
  OSND_SAMPLE *kept = OsndFormat_AllocSample(OSND_FREE, 16, stereo, 0, 22050);
  OSND_SAMPLE *forced = OsndFormat_AllocSample(OSND_FREE, 16, stereo, OSND_MODE_FORCE_MONO, 22050);
  OSND_SAMPLE *monoForced = OsndFormat_AllocSample(OSND_FREE, 16, mono, OSND_MODE_FORCE_MONO, 22050);
  gOsnd.hardware3dChannels = 0;
  ASSERT_TRUE(kept && forced && monoForced);
  EXPECT_TRUE(kept->mode & OSND_MODE_HW3D);
  EXPECT_FALSE(forced->mode & OSND_MODE_HW3D);
  EXPECT_TRUE(monoForced->mode & OSND_MODE_HW3D);
  EXPECT_EQ(monoForced->defPan, 128);
  EXPECT_EQ(monoForced->defFrequency, 22050);
  for (OSND_SAMPLE *s : {kept, forced, monoForced}) OSND_Sample_Free(s);
}

}  // namespace sample_test
