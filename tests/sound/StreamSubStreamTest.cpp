// Sub-streams of sample-bank streams: one entry chosen, or a sentence of
// entries played one after another.
#include "OsbWriterSupport.h"
#include "SoundTestSupport.h"
#include "WaitSupport.h"

#include "sound/src/stream/osnd_stream.h"
#include "sound/src/system/system_pause.h"

#include <algorithm>
#include <chrono>
#include <thread>
#include <vector>

namespace stream_sub_stream_test {

namespace {

// A mono 16-bit entry holding one level, told apart in the output by it.
Entry Level(int level, int frames, int rate = 44100) {
  Entry e;
  e.length = uint32_t(frames);
  for (int i = 0; i < frames; ++i) Put16(e.data, uint32_t(uint16_t(int16_t(level))));
  e.frequency = rate;
  e.volume = 255;
  e.pan = 128;
  return e;
}

class StreamSubStream : public CapturedEngine {
 protected:
  void SetUp() override { ASSERT_TRUE(Start()); }
  OSND_STREAM *Open(const std::vector<uint8_t> &b, unsigned mode = 0) {
    bank = b;
    return OSND_Stream_Open(reinterpret_cast<const char *>(bank.data()), OSND_MODE_MEMORY | OSND_MODE_2D | mode, 0,
                            int(bank.size()));
  }
  // Levels held steady for a while, in the order they come.
  std::vector<int> Runs() const {
    std::vector<int> runs;
    size_t held = 0;
    for (size_t f = 1; f < captured.size() / 2; ++f) {
      const int level = Left(f);
      held = std::abs(level - Left(f - 1)) <= 2 ? held + 1 : 0;
      if (level == 0 || held != 256) continue;
      if (runs.empty() || std::abs(runs.back() - level) > 50) runs.push_back(level);
    }
    return runs;
  }
  std::vector<uint8_t> bank;
};

TEST_F(StreamSubStream, PlaysTheEntryAskedFor) {
  OSND_STREAM *s = Open(Bank({Level(3000, 20000), Level(6000, 30000), Level(9000, 20000, 22050)}));
  ASSERT_NE(s, nullptr) << OSND_GetError();
  ASSERT_TRUE(OSND_Stream_SetSubStream(s, 2));
  EXPECT_EQ(s->lengthPcm, 20000u);
  EXPECT_EQ(s->lengthMs, 907);
  EXPECT_EQ(s->sample->defFrequency, 22050);
  ASSERT_GE(OSND_Stream_Play(OSND_FREE, s), 0);
  Step(20);
  std::vector<int> runs = Runs();
  ASSERT_EQ(runs.size(), 1u);
  const int third = runs[0];
  // Choosing another entry stops the stream; played again, it is that entry.
  ASSERT_TRUE(OSND_Stream_SetSubStream(s, 0));
  EXPECT_FALSE(s->playing);
  captured.clear();
  ASSERT_GE(OSND_Stream_Play(OSND_FREE, s), 0);
  Step(20);
  runs = Runs();
  ASSERT_EQ(runs.size(), 1u);
  EXPECT_NEAR(double(third) / runs[0], 3.0, 0.05);
  EXPECT_TRUE(OSND_Stream_Close(s));
}

TEST_F(StreamSubStream, RefusesWhatItCannotPlay) {
  // 8-bit samples where the stream decodes 16-bit ones, and a stereo entry.
  Entry eight = Level(0, 0);
  eight.mode = (eight.mode & ~OSND_MODE_16BITS) | OSND_MODE_8BITS;
  eight.length = 1000;
  eight.data.assign(1000, 40);
  Entry stereo = Level(5000, 2000);  // 1000 frames of two sides
  stereo.length = 1000;
  stereo.mode = (stereo.mode & ~OSND_MODE_MONO) | OSND_MODE_STEREO;
  stereo.channels = 2;
  OSND_STREAM *s = Open(Bank({Level(3000, 1000), eight, stereo}));
  ASSERT_NE(s, nullptr);
  EXPECT_FALSE(OSND_Stream_SetSubStream(s, 3));
  EXPECT_EQ(OSND_GetError(), OSND_ERR_INVALID_PARAM);
  EXPECT_FALSE(OSND_Stream_SetSubStream(s, -1));
  // An entry stored otherwise than the stream decodes.
  EXPECT_FALSE(OSND_Stream_SetSubStream(s, 1));
  // A sentence plays its entries through one layout of the buffers.
  const int list[] = {0, 2};
  EXPECT_FALSE(OSND_Stream_SetSubStreamSentence(s, list, 2));
  EXPECT_FALSE(OSND_Stream_SetSubStream(nullptr, 0));
  EXPECT_TRUE(OSND_Stream_Close(s));
  // A stream that is not a bank has no sub-streams.
  std::vector<int16_t> pcm(4000, 100);
  OSND_STREAM *raw = OSND_Stream_Open(reinterpret_cast<const char *>(pcm.data()),
                                      OSND_MODE_MEMORY | OSND_MODE_RAW | OSND_MODE_16BITS | OSND_MODE_MONO |
                                          OSND_MODE_SIGNED,
                                      0, int(pcm.size() * 2));
  ASSERT_NE(raw, nullptr);
  EXPECT_FALSE(OSND_Stream_SetSubStream(raw, 0));
  EXPECT_EQ(OSND_GetError(), OSND_ERR_INVALID_PARAM);
  EXPECT_TRUE(OSND_Stream_Close(raw));
}

TEST_F(StreamSubStream, AnEntryOfAnotherChannelLayoutLaysTheBuffersOutAnew) {
  // Mono, then stereo with its sides apart, then mono again; only the mono
  // entries have sync points, which a stereo entry does not inherit.
  Entry first = Level(3000, 20000);
  first.sync = {{100, "mono"}};
  Entry stereo;
  stereo.length = 20000;
  for (int i = 0; i < 20000; ++i) {
    Put16(stereo.data, uint32_t(uint16_t(int16_t(2000))));
    Put16(stereo.data, uint32_t(uint16_t(int16_t(8000))));
  }
  stereo.mode = OSND_MODE_16BITS | OSND_MODE_STEREO | OSND_MODE_SIGNED | OSND_MODE_LOOP_OFF;
  stereo.channels = 2;
  stereo.frequency = 44100;
  stereo.volume = 255;
  stereo.pan = 128;
  OSND_STREAM *s = Open(Bank({first, stereo, Level(6000, 20000)}));
  ASSERT_NE(s, nullptr) << OSND_GetError();
  ASSERT_NE(s->sync.head.next, &s->sync.tail);
  ASSERT_TRUE(OSND_Stream_SetSubStream(s, 1)) << OSND_GetError();
  EXPECT_TRUE(s->mode & OSND_MODE_STEREO);
  EXPECT_EQ(s->sample->channels, 2);
  EXPECT_TRUE(s->sample->mode & OSND_MODE_STEREO);
  EXPECT_EQ(s->sync.head.next, &s->sync.tail) << "the stereo entry has no sync points";
  ASSERT_GE(OSND_Stream_Play(OSND_FREE, s), 0);
  Step(20);
  // Both sides heard, each its own, at the full level of a stereo open.
  const size_t at = captured.size() / 4;
  EXPECT_NEAR(Left(at), 2000, 2);
  EXPECT_NEAR(Right(at), 8000, 2);
  EXPECT_TRUE(OSND_Stream_Stop(s));

  ASSERT_TRUE(OSND_Stream_SetSubStream(s, 2)) << OSND_GetError();
  EXPECT_TRUE(s->mode & OSND_MODE_MONO);
  EXPECT_EQ(s->sample->channels, 1);
  captured.clear();
  ASSERT_GE(OSND_Stream_Play(OSND_FREE, s), 0);
  Step(20);
  const std::vector<int> runs = Runs();
  ASSERT_EQ(runs.size(), 1u);
  // Mono at the centre: 180 and 181 of 255 on the two sides.
  EXPECT_NEAR(Left(captured.size() / 4), 6000 * 180 / 255, 2);
  EXPECT_NEAR(Right(captured.size() / 4), 6000 * 181 / 255, 2);
  EXPECT_GT(runs[0], 3000);
  EXPECT_TRUE(OSND_Stream_Close(s));
}

TEST_F(StreamSubStream, ASentencePlaysItsEntriesInTurnThenEnds) {
  OSND_STREAM *s = Open(Bank({Level(3000, 6000), Level(6000, 6000), Level(9000, 6000)}));
  ASSERT_NE(s, nullptr);
  const int sentence[] = {2, 0, 1, 0};
  ASSERT_TRUE(OSND_Stream_SetSubStreamSentence(s, sentence, 4));
  EXPECT_EQ(s->lengthMs, 4 * 136);  // each (6000 x 1000 + 999) / 44100
  ASSERT_GE(OSND_Stream_Play(OSND_FREE, s), 0);
  for (int k = 0; k < 200 && s->playing; ++k) Step();
  EXPECT_FALSE(s->playing);  // the stream ended after the last entry
  const std::vector<int> runs = Runs();
  ASSERT_EQ(runs.size(), 4u);
  EXPECT_NEAR(double(runs[0]) / runs[1], 3.0, 0.05);
  EXPECT_NEAR(double(runs[2]) / runs[1], 2.0, 0.05);
  EXPECT_EQ(runs[3], runs[1]);
  // Played again, the sentence starts over.
  captured.clear();
  ASSERT_GE(OSND_Stream_Play(OSND_FREE, s), 0);
  Step(8);
  ASSERT_FALSE(Runs().empty());
  EXPECT_EQ(Runs()[0], runs[0]);
  EXPECT_TRUE(OSND_Stream_Close(s));
}

TEST_F(StreamSubStream, ALoopingSentenceGoesRoundAsManyTimesAsItsLoopCount) {
  OSND_STREAM *s = Open(Bank({Level(3000, 6000), Level(9000, 6000)}), OSND_MODE_LOOP_NORMAL);
  ASSERT_NE(s, nullptr);
  const int sentence[] = {1, 0};
  ASSERT_TRUE(OSND_Stream_SetSubStreamSentence(s, sentence, 2));
  OsndStream_SetLoopCount(s, 2);
  ASSERT_GE(OSND_Stream_Play(OSND_FREE, s), 0);
  for (int k = 0; k < 400 && s->playing; ++k) Step();
  EXPECT_FALSE(s->playing);
  const std::vector<int> runs = Runs();
  // The list once, then twice more.
  ASSERT_EQ(runs.size(), 6u);
  for (size_t k = 0; k < runs.size(); ++k) EXPECT_EQ(runs[k], runs[k % 2]) << k;
  EXPECT_GT(runs[0], runs[1]);
  EXPECT_TRUE(OSND_Stream_Close(s));
}

TEST_F(StreamSubStream, ANonBlockingStreamSelectsOnTheOpenThread) {
  OSND_STREAM *s = Open(Bank({Level(3000, 20000), Level(9000, 20000)}), OSND_MODE_NONBLOCKING);
  ASSERT_NE(s, nullptr);
  ASSERT_TRUE(PollUntil([s] { return OsndStream_IsReady(s); }, kActDeadlineMs));
  ASSERT_TRUE(OSND_Stream_SetSubStream(s, 1));
  ASSERT_TRUE(PollUntil([s] { return OsndStream_IsReady(s); }, kActDeadlineMs));
  EXPECT_EQ(static_cast<OsbBank *>(s->formatState)->current, 1);
  ASSERT_GE(OSND_Stream_Play(OSND_FREE, s), 0);
  Step(20);
  const std::vector<int> runs = Runs();
  ASSERT_EQ(runs.size(), 1u);
  EXPECT_GT(runs[0], 5000);
  EXPECT_TRUE(OSND_Stream_Close(s));
}

// An entry change stopped while it frees its old points: a delete of another
// stream's point, and a point added to its stream then, meet no freed point.
// A delete takes only a point handed out and still its stream's.
TEST_F(StreamSubStream, AnEntryChangeBesideSyncPointAddsAndDeletes) {
  Entry first = Level(3000, 20000), second = Level(6000, 20000);
  first.sync = {{100, "a"}, {19000, "b"}};
  second.sync = {{200, "c"}};
  OSND_STREAM *changing = Open(Bank({first, second}));
  OSND_STREAM *other =
      OSND_Stream_Open(reinterpret_cast<const char *>(bank.data()), OSND_MODE_MEMORY, 0, int(bank.size()));
  ASSERT_TRUE(changing && other);
  OSND_SYNCPOINT *others = OSND_Stream_AddSyncPoint(other, 50, "other");
  SystemPausePoint freeing("sync.list.one-freed");
  std::thread change([&] { EXPECT_TRUE(OSND_Stream_SetSubStream(changing, 1)); });
  ASSERT_TRUE(freeing.WaitReached());
  EXPECT_TRUE(OSND_Stream_DeleteSyncPoint(others));
  OSND_SYNCPOINT *added = OSND_Stream_AddSyncPoint(changing, 300, "added");
  freeing.Release();
  change.join();
  EXPECT_TRUE(OSND_Stream_DeleteSyncPoint(added)) << "the point added beside the change is lost";
  EXPECT_FALSE(OSND_Stream_DeleteSyncPoint(added));
  EXPECT_FALSE(OSND_Stream_DeleteSyncPoint(OsndStream_GetSyncPoint(&changing->sync, 1)));
  EXPECT_EQ(OSND_GetError(), OSND_ERR_INVALID_PARAM);
  OSND_SYNCPOINT *ofTheOldEntry = OSND_Stream_AddSyncPoint(changing, 300, "old entry");
  ASSERT_TRUE(OSND_Stream_SetSubStream(changing, 0));
  EXPECT_FALSE(OSND_Stream_DeleteSyncPoint(ofTheOldEntry));
  OSND_SYNCPOINT *ofAClosedStream = OSND_Stream_AddSyncPoint(other, 50, "closed");
  ASSERT_TRUE(OSND_Stream_Close(other));
  EXPECT_FALSE(OSND_Stream_DeleteSyncPoint(ofAClosedStream));
}

}  // namespace

}  // namespace stream_sub_stream_test
