#include "SoundTestSupport.h"

#include "sound/src/mixer/mix_vector.h"
#include "sound/src/mixer/mixer_float.h"
#include "sound/src/mixer/mixer_mmx.h"

#include <algorithm>
#include <cstring>
#include <utility>
#include "tests/SkipOutsideCi.h"

namespace mix_loop_test {

namespace {

std::vector<int16_t> Ascending(int n, int slope) {
  std::vector<int16_t> v(static_cast<size_t>(n));
  for (int i = 0; i < n; ++i) v[size_t(i)] = int16_t(slope * (i + 1));
  return v;
}

class MixLoops : public CapturedEngine, public ::testing::WithParamInterface<int> {
 protected:
  // Plays 50 ascending frames (`slope` apart) looped from `first` to `last`.
  int PlayLoop(int slope, unsigned mode, unsigned first, unsigned last, unsigned length) {
    OSND_SAMPLE *s = MonoSample16(Ascending(50, slope), mode);
    EXPECT_TRUE(OSND_Sample_SetLoopPoints(s, first, last));
    EXPECT_EQ(s->loopLength, length);
    return OSND_PlaySound(OSND_FREE, s);
  }
};

}  // namespace

TEST_P(MixLoops, OneShotEndsInsideTheBlock) {
  ASSERT_TRUE(Start(GetParam()));
  OSND_SAMPLE *s = MonoSample16(std::vector<int16_t>(300, 12000));
  const int h = OSND_PlaySound(OSND_FREE, s);
  ASSERT_GE(h, 0);
  OSND_SetPan(h, -1);
  Step(1);
  EXPECT_GT(Left(299), 11000);
  for (size_t f = 300; f < 1024; ++f) ASSERT_EQ(Left(f), 0) << f;
  EXPECT_FALSE(OSND_IsPlaying(h));
  EXPECT_EQ(Channel(h)->posWhole, 0u);
  EXPECT_EQ(OSND_GetCurrentSample(h & 0xFFF), nullptr);
}

TEST_P(MixLoops, NormalLoopWrapsToLoopStart) {
  ASSERT_TRUE(Start(GetParam()));
  OSND_SAMPLE *s = MonoSample16(Ascending(10, 1000), OSND_MODE_LOOP_NORMAL);
  ASSERT_TRUE(OSND_Sample_SetLoopPoints(s, 4, 7));
  const int h = OSND_PlaySound(OSND_FREE, s);
  OSND_SetPan(h, -1);
  Step(2);
  // Past the fade-in every frame is a whole sample: 0..7, then 4..7 again and again.
  for (size_t f = 200; f < 2048; ++f) {
    const size_t index = f < 8 ? f : 4 + (f - 4) % 4;
    const int expected = GetParam() == OSND_MIXER_QUALITY_FPU ? 1000 * int(index + 1)
                                                              : (1000 * int(index + 1) * 65280) >> 16;
    ASSERT_EQ(Left(f), expected) << f;
  }
  EXPECT_TRUE(OSND_IsPlaying(h));
}

TEST_P(MixLoops, LoopOfOneSampleHoldsAnyStep) {
  ASSERT_TRUE(Start(GetParam()));
  const int h = PlayLoop(100, OSND_MODE_LOOP_NORMAL, 49, 80, 1);
  OSND_SetFrequency(h, 400000);
  for (int i = 0; i < 5; ++i) {
    Step(1);
    ASSERT_EQ(Channel(h)->posWhole, 49u);
  }
}

TEST_P(MixLoops, BidirectionalLoopStaysInsideAndTurns) {
  ASSERT_TRUE(Start(GetParam()));
  OSND_SAMPLE *s = MonoSample16(Ascending(40, 500), OSND_MODE_LOOP_BIDI);
  ASSERT_TRUE(OSND_Sample_SetLoopPoints(s, 10, 29));
  const int h = OSND_PlaySound(OSND_FREE, s);
  OSND_SetPan(h, -1);
  OSND_SetFrequency(h, 97000);
  bool sawBackward = false, sawForward = false;
  for (int i = 0; i < 40; ++i) {
    Step(1);
    const OsndChannel *c = Channel(h);
    ASSERT_GE(c->posWhole, 10u);
    ASSERT_LT(c->posWhole, 30u);
    sawBackward |= c->direction == OSND_DIR_BACKWARD;
    sawForward |= c->direction == OSND_DIR_FORWARD;
  }
  EXPECT_TRUE(sawBackward);
  EXPECT_TRUE(sawForward);
  // Nothing outside the loop's values is ever read once the loop runs.
  for (size_t f = 1024; f < captured.size() / 2; ++f) {
    ASSERT_GE(Left(f), 5000 * 65280 / 65536 - 1) << f;
    ASSERT_LE(Left(f), 15000) << f;
  }
}

// A bidirectional loop turns exactly at each end with the fraction carried,
// so one round trip covers twice the loop length, whatever the step: at
// three quarters of a frame per output frame a 30-frame loop repeats every 80
// output frames, sample for sample. A turn a frame early or late at either
// end would shift every later round trip.
TEST_P(MixLoops, BidirectionalRoundTripIsTwiceTheLoop) {
  ASSERT_TRUE(Start(GetParam()));
  const int h = PlayLoop(300, OSND_MODE_LOOP_BIDI, 10, 39, 30);
  OSND_SetPan(h, -1);
  OSND_SetFrequency(h, 44100 * 3 / 4);
  ASSERT_EQ(Channel(h)->stepFrac, 0xC0000000u);
  Step(3);
  int lowest = 1 << 20, highest = 0;
  for (size_t f = 400; f + 80 < captured.size() / 2; ++f) {
    ASSERT_EQ(Left(f), Left(f + 80)) << f;
    lowest = std::min(lowest, int(Left(f))), highest = std::max(highest, int(Left(f)));
  }
  // Both ends are reached: the loop's first and last frames (300 x 11 and 300 x 40).
  EXPECT_LT(lowest, 300 * 12);
  EXPECT_GT(highest, 300 * 39 * 65280 / 65536);
}

TEST_P(MixLoops, StepOfOneHalfInterpolates) {
  ASSERT_TRUE(Start(GetParam()));
  std::vector<int16_t> ramp(700);
  for (int i = 0; i < 700; ++i) ramp[size_t(i)] = int16_t(40 * i);
  OSND_SAMPLE *s = MonoSample16(ramp);
  const int h = OSND_PlaySound(OSND_FREE, s);
  OSND_SetPan(h, -1);
  OSND_SetFrequency(h, 22050);
  EXPECT_EQ(Channel(h)->stepWhole, 0u);
  EXPECT_EQ(Channel(h)->stepFrac, 0x80000000u);
  Step(1);
  for (size_t f = 128; f < 1024; ++f) {
    const int exact = 20 * int(f);  // halfway between neighbours on odd frames
    const int expected = GetParam() == OSND_MIXER_QUALITY_FPU ? exact : (exact * 65280) >> 16;
    ASSERT_EQ(Left(f), expected) << f;
  }
}

TEST_P(MixLoops, PanExtremesSilenceTheOtherSide) {
  ASSERT_TRUE(Start(GetParam()));
  OSND_SAMPLE *s = MonoSample16(std::vector<int16_t>(4000, 20000), OSND_MODE_LOOP_NORMAL);
  const int left = OSND_PlaySound(OSND_FREE, s);
  OSND_SetPan(left, 0);
  EXPECT_EQ(Channel(left)->leftGain, 255);
  EXPECT_EQ(Channel(left)->rightGain, 0);
  Step(1);
  EXPECT_EQ(Right(700), 0);
  EXPECT_GT(Left(700), 19000);
  OSND_SetPan(left, 255);
  captured.clear();
  Step(1);
  EXPECT_EQ(Left(700), 0);
  EXPECT_GT(Right(700), 19000);
}

TEST_P(MixLoops, MonoVolumeChangeRampsOverTheRampLength) {
  ASSERT_TRUE(Start(GetParam()));
  OSND_SAMPLE *s = MonoSample16(std::vector<int16_t>(4000, 16384), OSND_MODE_LOOP_NORMAL);
  const int h = OSND_PlaySound(OSND_FREE, s);
  OSND_SetPan(h, -1);
  Step(1);
  const bool fpu = GetParam() == OSND_MIXER_QUALITY_FPU;
  for (int f = 0; f < 128; ++f) {
    // 1/128 of full volume more every frame; the integer mixers step by 510/65536.
    const int expected = fpu ? 128 * f : int((int64_t(16384) * 510 * f) >> 16);
    ASSERT_EQ(Left(size_t(f)), expected) << f;
  }
  EXPECT_EQ(Left(128), fpu ? 16384 : 16320);
  EXPECT_EQ(Left(1000), fpu ? 16384 : 16320);
  // Going down ramps as well, and both sides are symmetric with pan -1.
  OSND_SetVolume(h, 0);
  captured.clear();
  Step(1);
  EXPECT_GT(Left(10), 0);
  EXPECT_LT(Left(10), Left(0));
  EXPECT_EQ(Left(128), 0);
  EXPECT_EQ(Left(10), Right(10));
}

TEST_P(MixLoops, StereoVolumeChangeAppliesAtOnce) {
  ASSERT_TRUE(Start(GetParam()));
  std::vector<int16_t> data(8000);
  for (size_t i = 0; i < data.size(); i += 2) {
    data[i] = 10000;
    data[i + 1] = -6000;
  }
  OSND_SAMPLE *s = StereoSample16(data, OSND_MODE_LOOP_NORMAL);
  const int h = OSND_PlaySound(OSND_FREE, s);
  OSND_SetPan(h, -1);
  Step(1);
  const bool fpu = GetParam() == OSND_MIXER_QUALITY_FPU;
  EXPECT_EQ(Left(0), fpu ? 10000 : (10000 * 65280) >> 16);
  EXPECT_EQ(Right(0), fpu ? -6000 : (-6000 * 65280) >> 16);
}

TEST_P(MixLoops, SilentChannelStillAdvances) {
  ASSERT_TRUE(Start(GetParam()));
  OSND_SAMPLE *s = MonoSample16(std::vector<int16_t>(100000, 5000));
  const int h = OSND_PlaySound(OSND_FREE, s);
  OSND_SetVolume(h, 0);
  OSND_SetFrequency(h, 33075);  // 0.75 samples a frame
  Step(4);
  EXPECT_EQ(Channel(h)->posWhole, 4096u * 3 / 4);
  for (int16_t v : captured) ASSERT_EQ(v, 0);
}

TEST_P(MixLoops, PausedChannelDoesNotMove) {
  ASSERT_TRUE(Start(GetParam()));
  OSND_SAMPLE *s = MonoSample16(std::vector<int16_t>(10000, 5000));
  const int h = OSND_PlaySoundEx(OSND_FREE, s, nullptr, true);
  Step(2);
  EXPECT_EQ(Channel(h)->posWhole, 0u);
  for (int16_t v : captured) ASSERT_EQ(v, 0);
  OSND_SetPaused(h, false);
  Step(1);
  EXPECT_EQ(Channel(h)->posWhole, 1024u);
}

TEST_P(MixLoops, SumsClipToSixteenBits) {
  ASSERT_TRUE(Start(GetParam()));
  OSND_SAMPLE *up = MonoSample16(std::vector<int16_t>(4000, 30000), OSND_MODE_LOOP_NORMAL);
  OSND_SAMPLE *down = MonoSample16(std::vector<int16_t>(4000, -30000), OSND_MODE_LOOP_NORMAL);
  for (int i = 0; i < 2; ++i) OSND_SetPan(OSND_PlaySound(OSND_FREE, up), 0);
  for (int i = 0; i < 2; ++i) OSND_SetPan(OSND_PlaySound(OSND_FREE, down), 255);
  Step(1);
  EXPECT_EQ(Left(600), 32767);
  EXPECT_EQ(Right(600), -32768);
}

INSTANTIATE_TEST_SUITE_P(EachMixer, MixLoops,
                         ::testing::Values(OSND_MIXER_QUALITY_FPU, OSND_MIXER_QUALITY_MMXP5,
                                           OSND_MIXER_QUALITY_MMXP6));

TEST(FloatClip, RoundsToNearestEvenAndClamps) {
  const float mix[8] = {40000.0f, -40000.0f, 2.5f, 3.5f, -2.5f, 0.49f, -0.51f, 1e12f};
  const int16_t expected[8] = {32767, -32768, 2, 4, -2, 0, -1, 32767};
  int16_t out[8], outP6[8];
  MixerFpu_ClipCopy(out, mix, 4);
  MixerFpu_ClipCopyP6(outP6, mix, 4);
  for (int i = 0; i < 8; ++i) {
    EXPECT_EQ(out[i], expected[i]) << i;
    EXPECT_EQ(outP6[i], expected[i]) << i;
  }
  int16_t untouched[2] = {5, 5};
  MixerFpu_ClipCopy(untouched, mix, 0);
  MixerFpu_ClipCopy(nullptr, mix, 1);
  EXPECT_EQ(untouched[0], 5);
}

TEST(FloatTable, EightBitValuesMapToTheSixteenBitScale) {
  EXPECT_EQ(MixerFpu_Table8(127), 32767.0f);
  EXPECT_EQ(MixerFpu_Table8(-128), -32768.0f);
  EXPECT_EQ(MixerFpu_Table8(0), 0.0f);
  EXPECT_EQ(MixerFpu_Table8(-1), -256.0f);
}

TEST_F(CapturedEngine, EightBitFullScaleCentredGivesThePanTableShare) {
  ASSERT_TRUE(Start(OSND_MIXER_QUALITY_FPU));
  OSND_SAMPLE *s = OSND_Sample_Alloc(-1, 3000, OSND_MODE_8BITS | OSND_MODE_LOOP_NORMAL, 44100, 255, 128, 255);
  std::vector<int8_t> data(3000, 127);
  ASSERT_TRUE(OSND_Sample_Upload(s, data.data(), OSND_MODE_8BITS | OSND_MODE_SIGNED));
  OSND_PlaySound(OSND_FREE, s);
  Step(1);
  EXPECT_EQ(Left(500), int16_t(std::lrint(32767.0 * 180 / 255)));
  EXPECT_EQ(Right(500), int16_t(std::lrint(32767.0 * 181 / 255)));
}

// A busy scene: 8- and 16-bit, mono and stereo, loops of every kind, odd
// steps, pans and volume changes between blocks.
class BusyScene : public CapturedEngine {
 protected:
  // smooth: a slow sine instead of a noise-like wave, so that the integer
  // mixers' 16-bit position fractions cost little.
  std::vector<int16_t> Run(int mixer, int amplitude, bool smooth) {
    captured.clear();
    if (!Start(mixer)) return {};
    std::vector<int16_t> wave16(5000);
    std::vector<int8_t> wave8(5000);
    for (size_t i = 0; i < wave16.size(); ++i) {
      const double sine = std::sin(double(i) * 6.283185307179586 / 500.0);
      wave16[i] = smooth ? int16_t(amplitude * sine) : int16_t((int(i * 7919 % 60000) - 30000) * amplitude / 30000);
      wave8[i] = smooth ? int8_t(amplitude * sine / 256) : int8_t((int(i * 31 % 256) - 128) * amplitude / 30000);
    }
    const unsigned modes[] = {OSND_MODE_16BITS | OSND_MODE_LOOP_NORMAL, OSND_MODE_8BITS | OSND_MODE_LOOP_BIDI,
                              OSND_MODE_16BITS | OSND_MODE_STEREO | OSND_MODE_LOOP_BIDI,
                              OSND_MODE_8BITS | OSND_MODE_STEREO | OSND_MODE_LOOP_NORMAL,
                              OSND_MODE_16BITS | OSND_MODE_LOOP_OFF};
    const int frequencies[] = {44100, 31111, 57000, 12345, 96000};
    int handles[5];
    for (int i = 0; i < 5; ++i) {
      const int length = (modes[i] & OSND_MODE_STEREO) ? 2500 : 5000;
      OSND_SAMPLE *s = OSND_Sample_Alloc(-1, length, modes[i], frequencies[i], 200, 40 * i, 128);
      const void *data = (modes[i] & OSND_MODE_16BITS) ? static_cast<const void *>(wave16.data())
                                                         : static_cast<const void *>(wave8.data());
      OSND_Sample_Upload(s, data, modes[i] & ~7u);
      if (i == 1) OSND_Sample_SetLoopPoints(s, 1000, 1400);
      handles[i] = OSND_PlaySound(OSND_FREE, s);
    }
    for (int block = 0; block < 12; ++block) {
      OSND_SetVolume(handles[block % 5], 255 - block * 17);
      OSND_SetPan(handles[(block + 2) % 5], block * 21);
      Step(1);
    }
    std::vector<int16_t> out = captured;
    OSND_Close();
    return out;
  }
};

TEST_F(BusyScene, IntegerMixersGiveIdenticalOutput) {
  const std::vector<int16_t> p5 = Run(OSND_MIXER_QUALITY_MMXP5, 30000, false);
  const std::vector<int16_t> p6 = Run(OSND_MIXER_QUALITY_MMXP6, 30000, false);
  ASSERT_EQ(p5.size(), 2u * 12 * 1024);
  EXPECT_EQ(p5, p6);
  EXPECT_NE(std::count(p5.begin(), p5.end(), int16_t(0)), long(p5.size()));
}

TEST_F(BusyScene, FloatAndIntegerMixersAgreeClosely) {
  // Quiet enough that no sum saturates: the integer mixers saturate every
  // channel's addition, the float mixer only the finished sum.
  const std::vector<int16_t> fpu = Run(OSND_MIXER_QUALITY_FPU, 6000, true);
  const std::vector<int16_t> mmx = Run(OSND_MIXER_QUALITY_MMXP6, 6000, true);
  ASSERT_EQ(fpu.size(), mmx.size());
  // The integer mixers scale by volume / 256 (not / 255) and 8-bit data by 256
  // (not 32767 / 127), keep 16-bit position fractions and truncate ramp steps:
  // within two per cent and a few steps of the float mix, never more.
  int worst = 0;
  for (size_t i = 0; i < fpu.size(); ++i) {
    const int d = std::abs(int(fpu[i]) - int(mmx[i]));
    worst = std::max(worst, d);
    ASSERT_LE(d, std::abs(int(fpu[i])) / 50 + 64) << i;
  }
  EXPECT_GT(worst, 0);
}

// A long, busy mix: 24 voices of 8- and 16-bit, mono and stereo data at full
// scale (so that sums saturate), loops of every kind, steps from 0.07 to 4,
// surround, and volume, pan, pitch and surround changes between blocks. The
// checksums were taken from the plain per-frame loops; the vector loops must
// give the same bits, and so must the plain loops where they still run, with
// every compiler (the float loops are built without contraction, and no loop
// sums across frames, so a compiler's choice of vector width cannot show). A
// deliberate change to what is mixed (gains, pan law) is recorded anew from the
// per-frame loops, with MixVector_Limit(MixVectorLevel::Off).
class LongMix : public CapturedEngine {
 protected:
  uint32_t seed = 0x2545F491u;
  int Next(int n) {
    seed = seed * 1664525u + 1013904223u;
    return int((uint64_t(seed >> 8) * uint64_t(n)) >> 24);
  }

  uint64_t Run(int mixer) {
    seed = 0x2545F491u;
    if (!Start(mixer, 44100, 32)) return 0;
    std::vector<int16_t> wave16(6000);
    std::vector<int8_t> wave8(6000);
    for (size_t i = 0; i < wave16.size(); ++i) {
      wave16[i] = int16_t(Next(65536) - 32768);
      wave8[i] = int8_t(Next(256) - 128);
    }
    wave16[10] = -32768;
    wave16[11] = 32767;
    std::vector<OSND_SAMPLE *> samples;
    const unsigned loops[] = {OSND_MODE_LOOP_OFF, OSND_MODE_LOOP_NORMAL, OSND_MODE_LOOP_BIDI};
    for (unsigned bits : {OSND_MODE_8BITS, OSND_MODE_16BITS})
      for (unsigned layout : {OSND_MODE_MONO, OSND_MODE_STEREO})
        for (unsigned loop : loops) {
          const unsigned mode = bits | layout | loop;
          OSND_SAMPLE *s = OSND_Sample_Alloc(-1, 2900, mode, 44100, 255, 128, 128);
          const void *data = bits == OSND_MODE_16BITS ? static_cast<const void *>(wave16.data())
                                                      : static_cast<const void *>(wave8.data());
          if (!s || !OSND_Sample_Upload(s, data, (mode & ~7u) | OSND_MODE_SIGNED)) return 0;
          if (loop != OSND_MODE_LOOP_OFF) {
            // Drawn one after the other: a compiler may evaluate a call's
            // arguments in either order, which would change the scene.
            const unsigned end = unsigned(1500 + Next(1300));
            const unsigned start = unsigned(Next(1000));
            OSND_Sample_SetLoopPoints(s, start, end);
          }
          samples.push_back(s);
        }
    std::vector<int> handles;
    auto play = [&] {
      const int h = OSND_PlaySound(OSND_FREE, samples[size_t(Next(int(samples.size())))]);
      OSND_SetFrequency(h, 3000 + Next(173000));
      OSND_SetVolume(h, Next(256));
      OSND_SetPan(h, Next(256));
      OSND_SetSurround(h, Next(4) == 0);
      return h;
    };
    for (int i = 0; i < 24; ++i) handles.push_back(play());
    for (int block = 0; block < 300; ++block) {
      for (int k = 0; k < 3; ++k) {
        int &h = handles[size_t(Next(24))];
        switch (Next(5)) {
          case 0: OSND_SetVolume(h, Next(256)); break;
          case 1: OSND_SetPan(h, Next(256)); break;
          case 2: OSND_SetFrequency(h, 3000 + Next(173000)); break;
          case 3: OSND_SetSurround(h, Next(2) == 0); break;
          default: if (!OSND_IsPlaying(h)) h = play();
        }
      }
      Step(1);
    }
    uint64_t hash = 14695981039346656037ull;
    for (int16_t v : captured) hash = (hash ^ uint16_t(v)) * 1099511628211ull;
    return captured.size() == 2u * 300 * 1024 ? hash : 0;
  }
};

// At each vector level (the AVX2 loops mix eight frames at a time, the SSE2
// loops four) and with the per-frame loops alone.
class LongMixAtLevel : public LongMix, public ::testing::WithParamInterface<MixVectorLevel> {
 protected:
  void TearDown() override {
    LongMix::TearDown();
    MixVector_Limit(MixVectorLevel::Avx2);
  }
};

TEST_P(LongMixAtLevel, EveryLoopGivesTheRecordedBits) {
#if defined(__SSE2__)
  ASSERT_GE(MixVector_Best(), MixVectorLevel::Sse2);
#endif
  const MixVectorLevel level = GetParam();
  if (level > MixVector_Best()) QMV_SKIP_OUTSIDE_CI("the processor lacks this level");
  MixVector_Limit(level);
  const MixVectorLoops *loops = MixVector_Loops();
  if (level == MixVectorLevel::Off) {
    ASSERT_EQ(loops, nullptr);
  } else {
    ASSERT_NE(loops, nullptr);
    ASSERT_EQ(loops->frames, level == MixVectorLevel::Avx2 ? 8 : 4);
  }
  EXPECT_EQ(Run(OSND_MIXER_QUALITY_FPU), 10801173687134227790u);
  LongMix::TearDown();
  EXPECT_EQ(Run(OSND_MIXER_QUALITY_MMXP5), 9106573241438140310u);
  LongMix::TearDown();
  EXPECT_EQ(Run(OSND_MIXER_QUALITY_MMXP6), 9106573241438140310u);
}

INSTANTIATE_TEST_SUITE_P(Levels, LongMixAtLevel,
                         ::testing::Values(MixVectorLevel::Avx2, MixVectorLevel::Sse2, MixVectorLevel::Off),
                         [](const ::testing::TestParamInfo<MixVectorLevel> &info) {
                           return std::string(info.param == MixVectorLevel::Avx2   ? "Avx2"
                                              : info.param == MixVectorLevel::Sse2 ? "Sse2"
                                                                                   : "PerFrame");
                         });

// Volume ramps through the vector loops against the per-frame loops, both run
// by the mixers themselves on hand-made channels: random data (8- and 16-bit,
// mono and some stereo, full scale), positions, steps, loops, pass lengths
// (whole vector blocks or not: the AVX2 loops mask the last), volumes and ramp steps,
// ramps begun by a volume change or part-way through (so that they end inside
// a vector block), and output buffers already holding loud sums. Every output
// bit and the channel's state after the pass must be the per-frame loops'.
class RampPasses : public CapturedEngine, public ::testing::WithParamInterface<MixVectorLevel> {
 protected:
  void TearDown() override {
    CapturedEngine::TearDown();
    MixVector_Limit(MixVectorLevel::Avx2);
  }

  uint32_t seed = 0x9E3779B9u;
  int Next(int n) {
    seed = seed * 1664525u + 1013904223u;
    return int((uint64_t(seed >> 8) * uint64_t(n)) >> 24);
  }

  // Mono, or stereo where asked (stereo data takes no ramp, but its passes
  // end anywhere in a vector block as well).
  OSND_SAMPLE *RandomSample(bool sixteen, bool stereo = false) {
    const int length = 40 + Next(3000);
    const unsigned loops[] = {OSND_MODE_LOOP_OFF, OSND_MODE_LOOP_NORMAL, OSND_MODE_LOOP_BIDI};
    const unsigned mode =
        (sixteen ? OSND_MODE_16BITS : OSND_MODE_8BITS) | (stereo ? OSND_MODE_STEREO : OSND_MODE_MONO) | loops[Next(3)];
    const int values = stereo ? 2 * length : length;
    std::vector<int16_t> wave16(static_cast<size_t>(values));
    std::vector<int8_t> wave8(static_cast<size_t>(values));
    for (int i = 0; i < values; ++i) {
      wave16[size_t(i)] = int16_t(Next(65536) - 32768);
      wave8[size_t(i)] = int8_t(Next(256) - 128);
    }
    OSND_SAMPLE *s = OSND_Sample_Alloc(-1, unsigned(length), mode, 44100, 255, 128, 128);
    const void *data = sixteen ? static_cast<const void *>(wave16.data()) : static_cast<const void *>(wave8.data());
    if (!s || !OSND_Sample_Upload(s, data, (mode & ~7u) | OSND_MODE_SIGNED)) return nullptr;
    if ((mode & 7u) != OSND_MODE_LOOP_OFF) {
      const unsigned start = unsigned(Next(length / 2));
      const unsigned end = start + 1 + unsigned(Next(length - int(start) - 1));
      OSND_Sample_SetLoopPoints(s, start, end);
    }
    return s;
  }

  OsndChannel RandomChannel(OSND_SAMPLE *s, bool floatMixer) {
    OsndChannel c{};
    c.currentSample = s;
    c.data = s->data;
    c.mode = s->mode;
    c.posWhole = uint32_t(Next(int(s->length)));
    c.posFrac = uint32_t(Next(1 << 16)) << 16 | uint32_t(Next(1 << 16));
    c.stepWhole = uint32_t(Next(4));
    c.stepFrac = uint32_t(Next(1 << 16)) << 16 | uint32_t(Next(1 << 16));
    c.direction = (s->mode & 7u) == OSND_MODE_LOOP_BIDI && Next(2) ? OSND_DIR_BACKWARD : OSND_DIR_FORWARD;
    if (floatMixer && Next(4) == 0) c.flags |= OSND_CHANFLAG_SURROUND;
    c.leftGain = Next(256);
    c.rightGain = Next(256);
    c.curVolLeft = Next(256 * 256);
    c.curVolRight = Next(256 * 256);
    if (Next(2)) {
      // A ramp under way: its targets are the gains, its steps anything a ramp
      // of up to 255 volume steps takes, and it ends at any frame.
      c.rampTargetLeft = c.leftGain;
      c.rampTargetRight = c.rightGain;
      c.rampSamplesLeft = 1 + Next(gOsnd.rampLength);
      c.rampStepLeftI = Next(2 * 512) - 512;
      c.rampStepRightI = Next(2 * 512) - 512;
      c.rampStepLeftF = float(Next(2 * 65536) - 65536) / 65536.0f / 128.0f;
      c.rampStepRightF = Next(8) == 0 ? 0.0f : float(Next(2 * 65536) - 65536) / 65536.0f / 128.0f;
    }
    return c;
  }

  // Mixes `frames` frames of the channel at a vector level into a copy of the
  // buffer; answers the buffer's bytes and leaves the channel as the mix left it.
  template <typename T>
  std::vector<T> Mix(int mixer, MixVectorLevel level, OsndChannel *c, const std::vector<T> &start, int frames) {
    MixVector_Limit(level);
    std::vector<T> out = start;
    OsndListNode head{&head, &head};
    OsndList_Append(&head, &c->link);
    if (mixer == OSND_MIXER_QUALITY_FPU)
      MixerFpu_Mix(out.data(), &head, frames, 0);
    else if (mixer == OSND_MIXER_QUALITY_MMXP5)
      MixerMmx_MixP5(out.data(), &head, frames, 0);
    else
      MixerMmx_MixP6(out.data(), &head, frames, 0);
    return out;
  }
};

TEST_P(RampPasses, VectorRampsGiveThePerFrameBits) {
  const MixVectorLevel level = GetParam();
  if (level > MixVector_Best()) QMV_SKIP_OUTSIDE_CI("the processor lacks this level");
  for (int mixer : {OSND_MIXER_QUALITY_FPU, OSND_MIXER_QUALITY_MMXP5, OSND_MIXER_QUALITY_MMXP6}) {
    ASSERT_TRUE(Start(mixer));
    const bool floatMixer = mixer == OSND_MIXER_QUALITY_FPU;
    int ramps = 0, changed = 0;
    for (int round = 0; round < 400; ++round) {
      SCOPED_TRACE(::testing::Message() << "mixer " << mixer << ", round " << round);
      OSND_SAMPLE *s = RandomSample(round % 2 == 0, round % 5 == 0);
      ASSERT_NE(s, nullptr);
      const OsndChannel channel = RandomChannel(s, floatMixer);
      const int frames = 1 + Next(700);
      OsndChannel plain = channel, vector = channel;
      if (floatMixer) {
        std::vector<float> start(size_t(2 * frames));
        for (float &v : start) v = float(Next(80000) - 40000) + float(Next(256)) / 256.0f;
        const std::vector<float> a = Mix(mixer, MixVectorLevel::Off, &plain, start, frames);
        const std::vector<float> b = Mix(mixer, level, &vector, start, frames);
        ASSERT_EQ(std::memcmp(a.data(), b.data(), a.size() * sizeof(float)), 0);
        changed += a != start;
      } else {
        std::vector<int16_t> start(size_t(2 * frames));
        for (int16_t &v : start) v = int16_t(Next(65536) - 32768);
        const std::vector<int16_t> a = Mix(mixer, MixVectorLevel::Off, &plain, start, frames);
        const std::vector<int16_t> b = Mix(mixer, level, &vector, start, frames);
        ASSERT_EQ(a, b);
        changed += a != start;
      }
      ASSERT_EQ(plain.posWhole, vector.posWhole);
      ASSERT_EQ(plain.posFrac, vector.posFrac);
      ASSERT_EQ(plain.curVolLeft, vector.curVolLeft);
      ASSERT_EQ(plain.curVolRight, vector.curVolRight);
      ASSERT_EQ(plain.rampSamplesLeft, vector.rampSamplesLeft);
      ASSERT_EQ(plain.currentSample, vector.currentSample);
      const bool mono = !(s->mode & OSND_MODE_STEREO);
      if (mono && (channel.rampSamplesLeft > 0 || channel.leftGain != channel.curVolLeft >> 8)) ++ramps;
      OSND_Sample_Free(s);
    }
    EXPECT_GT(ramps, 200);    // most rounds ramp
    EXPECT_GT(changed, 300);  // and most mix something
    CapturedEngine::TearDown();
  }
}

// The table's ramp loops called alone, over whole vector blocks of a ramp that
// nothing else ends, against what the per-frame loops mix of the same channel:
// the same output and the same volumes reached.
TEST_P(RampPasses, RampLoopsMixWhatThePerFrameLoopsMix) {
  const MixVectorLevel level = GetParam();
  if (level > MixVector_Best()) QMV_SKIP_OUTSIDE_CI("the processor lacks this level");
  MixVector_Limit(level);
  const MixVectorLoops *loops = MixVector_Loops();
  ASSERT_NE(loops, nullptr);
  for (int mixer : {OSND_MIXER_QUALITY_FPU, OSND_MIXER_QUALITY_MMXP6}) {
    ASSERT_TRUE(Start(mixer));
    const bool floatMixer = mixer == OSND_MIXER_QUALITY_FPU;
    for (int round = 0; round < 200; ++round) {
      SCOPED_TRACE(::testing::Message() << "mixer " << mixer << ", round " << round);
      const bool sixteen = round % 2 == 0;
      OSND_SAMPLE *s = RandomSample(sixteen);
      ASSERT_NE(s, nullptr);
      OsndChannel channel = RandomChannel(s, floatMixer);
      // Forward from the start with steps below 1: the sample outlasts the ramp.
      channel.mode = (channel.mode & ~7u) | OSND_MODE_LOOP_OFF;
      channel.direction = OSND_DIR_FORWARD;
      channel.posWhole = 0;
      channel.stepWhole = 0;
      channel.rampTargetLeft = channel.leftGain;
      channel.rampTargetRight = channel.rightGain;
      channel.rampSamplesLeft = gOsnd.rampLength;
      const int most = std::min(int(s->length) / 2, gOsnd.rampLength) / loops->frames;
      const int frames = (1 + Next(most)) * loops->frames;
      OsndChannel plain = channel;
      const int64_t pos = int64_t(uint64_t(channel.posWhole) << 32 | channel.posFrac);
      if (floatMixer) {
        std::vector<float> start(size_t(2 * frames));
        for (float &v : start) v = float(Next(80000) - 40000);
        const std::vector<float> a = Mix(mixer, MixVectorLevel::Off, &plain, start, frames);
        std::vector<float> b = start;
        float left = float(channel.curVolLeft) / 256.0f / 255.0f, right = float(channel.curVolRight) / 256.0f / 255.0f;
        const int64_t step = int64_t(uint64_t(channel.stepWhole) << 32 | channel.stepFrac);
        const auto loop = sixteen ? loops->floatRampMono16 : loops->floatRampMono8;
        const int64_t reached = loop(b.data(), s->data, pos, step, frames, &left, &right, channel.rampStepLeftF,
                                     channel.rampStepRightF, channel.flags & OSND_CHANFLAG_SURROUND);
        ASSERT_EQ(std::memcmp(a.data(), b.data(), a.size() * sizeof(float)), 0);
        ASSERT_EQ(reached, pos + step * frames);
        if (plain.rampSamplesLeft > 0) {
          ASSERT_EQ(plain.curVolLeft, int(left * 255.0f * 256.0f));
          ASSERT_EQ(plain.curVolRight, int(right * 255.0f * 256.0f));
        }
      } else {
        std::vector<int16_t> start(size_t(2 * frames));
        for (int16_t &v : start) v = int16_t(Next(65536) - 32768);
        const std::vector<int16_t> a = Mix(mixer, MixVectorLevel::Off, &plain, start, frames);
        std::vector<int16_t> b = start;
        int32_t left = channel.curVolLeft, right = channel.curVolRight;
        const int64_t step = int64_t(uint64_t(channel.stepWhole) << 32 | (channel.stepFrac & 0xFFFF0000u));
        const auto loop = sixteen ? loops->intRampMono16 : loops->intRampMono8;
        const int64_t reached = loop(b.data(), s->data, pos & ~int64_t(0xFFFF), step, frames, &left, &right,
                                     channel.rampStepLeftI, channel.rampStepRightI);
        ASSERT_EQ(a, b);
        ASSERT_EQ(reached, (pos & ~int64_t(0xFFFF)) + step * frames);
        if (plain.rampSamplesLeft > 0) {
          ASSERT_EQ(plain.curVolLeft, left);
          ASSERT_EQ(plain.curVolRight, right);
        }
      }
      OSND_Sample_Free(s);
    }
    CapturedEngine::TearDown();
  }
}

INSTANTIATE_TEST_SUITE_P(Levels, RampPasses, ::testing::Values(MixVectorLevel::Avx2, MixVectorLevel::Sse2),
                         [](const ::testing::TestParamInfo<MixVectorLevel> &info) {
                           return std::string(info.param == MixVectorLevel::Avx2 ? "Avx2" : "Sse2");
                         });

// The vector loops convert 8-bit data to the 16-bit float scale with a
// multiply-add where the per-frame loops read the conversion table, the frame
// at the position and the next one each in its own lanes, mono and stereo.
// Every byte value must mix to the per-frame bits and to the table's value: at
// full volume, read as the frame at a step of 1 with no fraction, and as the
// next frame after a frame of zeros, at a step of 2 with the largest fraction
// (whose weight rounds to 1, so the mix is exactly the next frame's value).
class EightBitFloatData : public RampPasses {
 protected:
  // Mixes 256 frames of the data at the level and with the per-frame loops;
  // answers both.
  std::pair<std::vector<float>, std::vector<float>> MixBoth(MixVectorLevel level, const std::vector<int8_t> &bytes,
                                                            bool stereo, bool nextFrame) {
    const unsigned mode = OSND_MODE_8BITS | OSND_MODE_LOOP_OFF | (stereo ? OSND_MODE_STEREO : OSND_MODE_MONO);
    const unsigned length = unsigned(bytes.size()) / (stereo ? 2 : 1);
    OSND_SAMPLE *s = OSND_Sample_Alloc(-1, length, mode, 44100, 255, 128, 128);
    EXPECT_TRUE(s && OSND_Sample_Upload(s, bytes.data(), (mode & ~7u) | OSND_MODE_SIGNED));
    if (!s) return {};
    OsndChannel channel{};
    channel.currentSample = s;
    channel.data = s->data;
    channel.mode = s->mode;
    channel.stepWhole = nextFrame ? 2 : 1;
    channel.posFrac = nextFrame ? 0xFFFFFFFFu : 0;
    channel.direction = OSND_DIR_FORWARD;
    channel.leftGain = channel.rightGain = 255;
    channel.curVolLeft = channel.curVolRight = 255 * 256;
    OsndChannel plain = channel, vector = channel;
    const std::vector<float> silence(2 * 256);
    return {Mix(OSND_MIXER_QUALITY_FPU, MixVectorLevel::Off, &plain, silence, 256),
            Mix(OSND_MIXER_QUALITY_FPU, level, &vector, silence, 256)};
  }
};

TEST_P(EightBitFloatData, EveryByteMixesAsTheTableHasIt) {
  const MixVectorLevel level = GetParam();
  if (level > MixVector_Best()) QMV_SKIP_OUTSIDE_CI("the processor lacks this level");
  ASSERT_TRUE(Start(OSND_MIXER_QUALITY_FPU));
  for (const bool stereo : {false, true}) {
    for (const bool nextFrame : {false, true}) {
      // Frame i holds byte i (and byte 255 - i on the right of stereo data),
      // after a frame of zeros where the next frame is read.
      std::vector<int8_t> bytes;
      for (int i = 0; i < 257; ++i) {
        if (nextFrame) bytes.insert(bytes.end(), stereo ? 2 : 1, int8_t(0));
        bytes.push_back(int8_t(uint8_t(i)));
        if (stereo) bytes.push_back(int8_t(uint8_t(255 - i)));
      }
      const auto [a, b] = MixBoth(level, bytes, stereo, nextFrame);
      ASSERT_EQ(a.size(), 512u);
      ASSERT_EQ(b.size(), 512u);
      for (size_t i = 0; i < a.size(); ++i) {
        const int byte = stereo && i % 2 ? 255 - int(i / 2) : int(i / 2);
        SCOPED_TRACE(::testing::Message() << (stereo ? "stereo" : "mono") << (nextFrame ? ", next frame" : "")
                                          << ", byte " << byte);
        ASSERT_EQ(std::memcmp(&a[i], &b[i], sizeof(float)), 0);
        ASSERT_EQ(a[i], MixerFpu_Table8(int8_t(uint8_t(byte))));
      }
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Levels, EightBitFloatData, ::testing::Values(MixVectorLevel::Avx2, MixVectorLevel::Sse2),
                         [](const ::testing::TestParamInfo<MixVectorLevel> &info) {
                           return std::string(info.param == MixVectorLevel::Avx2 ? "Avx2" : "Sse2");
                         });

}  // namespace mix_loop_test
