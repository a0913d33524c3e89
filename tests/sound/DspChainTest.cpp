#include "SoundTestSupport.h"

#include "sound/src/channel/osnd_dsp.h"

namespace dsp_chain_test {

namespace {

std::vector<int> Priorities() {
  std::vector<int> out;
  for (OsndListNode *n = gOsnd.dspChain.next; n != &gOsnd.dspChain; n = n->next)
    out.push_back(OsndDsp_FromLink(n)->priority);
  return out;
}

struct Seen {
  void *buffer = nullptr;
  int calls = 0;
};

void *Record(void *, void *buffer, int, void *user) {
  auto *seen = static_cast<Seen *>(user);
  seen->buffer = buffer;
  ++seen->calls;
  return buffer;
}

void *Redirect(void *, void *, int, void *) { return nullptr; }

class DspChain : public CapturedEngine {};

}  // namespace

TEST_F(DspChain, UnitsKeepPriorityOrder) {
  Start(OSND_MIXER_QUALITY_FPU, 44100, 0);
  ASSERT_TRUE(gOsnd.initialised);  // without software channels: no built-in units
  ASSERT_TRUE(Priorities().empty());
  OSND_DSPUNIT *a = OSND_DSP_Create(nullptr, 100, nullptr);
  OSND_DSPUNIT *b = OSND_DSP_Create(nullptr, 0, nullptr);
  OSND_DSPUNIT *c = OSND_DSP_Create(nullptr, 100, nullptr);
  OSND_DSPUNIT *d = OSND_DSP_Create(nullptr, 1000, nullptr);
  OSND_DSPUNIT *e = OSND_DSP_Create(nullptr, 5, nullptr);
  EXPECT_EQ(Priorities(), (std::vector<int>{0, 5, 100, 100, 1000}));
  EXPECT_EQ(OsndDsp_FromLink(gOsnd.dspChain.next->next->next), a);
  EXPECT_EQ(OsndDsp_FromLink(gOsnd.dspChain.next->next->next->next), c);
  OSND_DSPUNIT *n = OSND_DSP_Create(nullptr, -7, nullptr);
  EXPECT_EQ(n->priority, 0);
  EXPECT_EQ(OsndDsp_FromLink(gOsnd.dspChain.next->next), n);  // after the existing 0
  OSND_DSP_SetPriority(d, 1);
  EXPECT_EQ(Priorities(), (std::vector<int>{0, 0, 1, 5, 100, 100}));
  OSND_DSP_Free(b);
  OSND_DSP_Free(a);
  EXPECT_EQ(Priorities(), (std::vector<int>{0, 1, 5, 100}));
  EXPECT_EQ(OsndDsp_FromLink(gOsnd.dspChain.next->next->next), e);
}

TEST_F(DspChain, InactiveAndEmptyUnitsAreSkipped) {
  ASSERT_TRUE(Start(OSND_MIXER_QUALITY_FPU, 44100, 4));
  Seen before, after;
  OSND_DSPUNIT *first = OSND_DSP_Create(Record, 150, &before);
  OSND_DSPUNIT *off = OSND_DSP_Create(Redirect, 160, nullptr);  // would hand on a null buffer
  OSND_DSPUNIT *empty = OSND_DSP_Create(nullptr, 170, nullptr);
  OSND_DSPUNIT *last = OSND_DSP_Create(Record, 180, &after);
  OSND_DSP_SetActive(first, true);
  OSND_DSP_SetActive(empty, true);
  OSND_DSP_SetActive(last, true);
  Step(3);
  EXPECT_EQ(before.calls, 3);
  EXPECT_EQ(after.calls, 3);
  EXPECT_EQ(after.buffer, before.buffer);
  EXPECT_NE(after.buffer, nullptr);
  OSND_DSP_SetActive(off, true);
  Step(1);
  EXPECT_EQ(after.buffer, nullptr);
}

TEST_F(DspChain, FreedUnitHandsItsChannelsToTheMainMix) {
  ASSERT_TRUE(Start(OSND_MIXER_QUALITY_FPU, 44100, 4));
  OSND_DSPUNIT *own = OSND_DSP_Create(nullptr, 150, nullptr);
  OSND_DSP_SetActive(own, true);
  OSND_SAMPLE *s = MonoSample16(std::vector<int16_t>(1000, 8000), OSND_MODE_LOOP_NORMAL);
  const int h = OSND_PlaySoundEx(OSND_FREE, s, own, false);
  ASSERT_GE(h, 0);
  EXPECT_EQ(Channel(h)->unit, own);
  Step(1);
  ASSERT_NE(Left(500), 0);  // mixed by its own unit
  OSND_DSP_Free(own);
  EXPECT_EQ(Channel(h)->unit, gOsnd.unitSfx);
  captured.clear();
  Step(1);
  EXPECT_EQ(Left(500), int16_t(std::lrint(8000.0 * 180 / 255)));
  EXPECT_FALSE(OsndDsp_IsInChain(own));
}

}  // namespace dsp_chain_test
