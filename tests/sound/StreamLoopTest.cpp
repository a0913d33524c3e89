// Streams with loop points from a WAV file's "smpl" chunk, seeks across them,
// sync points on the edges of the position ring's blocks, and WAV cue lists
// that claim more than they hold; played on the non-realtime output.
#include "SoundTestSupport.h"
#include "sound/src/stream/osnd_stream.h"

#include <string>
#include <vector>

namespace stream_loop_test {

namespace {

using Bytes = std::vector<uint8_t>;

void Put(Bytes &b, const std::string &s) { b.insert(b.end(), s.begin(), s.end()); }
void Put32(Bytes &b, uint32_t v) {
  for (int i = 0; i < 4; ++i) b.push_back(uint8_t(v >> (8 * i)));
}

// A 44100 Hz 16-bit stereo WAV of the frames, with the chunks given before
// "data" (each as id and body).
Bytes Wav(const std::vector<int16_t> &frames, const std::vector<std::pair<std::string, Bytes>> &chunks) {
  Bytes body;
  Put(body, "WAVE");
  Bytes fmt;
  for (uint32_t v : {0x00020001u, 44100u, 44100u * 4, 0x00100004u}) Put32(fmt, v);
  auto chunk = [&body](const std::string &id, const Bytes &data) {
    Put(body, id);
    Put32(body, uint32_t(data.size()));
    body.insert(body.end(), data.begin(), data.end());
  };
  chunk("fmt ", fmt);
  for (const auto &c : chunks) chunk(c.first, c.second);
  const auto *raw = reinterpret_cast<const uint8_t *>(frames.data());
  chunk("data", Bytes(raw, raw + frames.size() * 2));
  Bytes file;
  Put(file, "RIFF");
  Put32(file, uint32_t(body.size()));
  file.insert(file.end(), body.begin(), body.end());
  return file;
}

Bytes Smpl(uint32_t start, uint32_t end) {
  Bytes b(44, 0);
  Put32(b, start);
  Put32(b, end);
  b.resize(60, 0);
  return b;
}

// Frames first .. last (inclusive) of interleaved stereo.
std::vector<int16_t> Frames(const std::vector<int16_t> &source, int first, int last) {
  return std::vector<int16_t>(source.begin() + 2 * first, source.begin() + 2 * (last + 1));
}

struct Events {
  std::vector<std::string> syncs;
  std::vector<int> offsets;
  int ends = 0;
};

bool OnSync(OSND_STREAM *, void *name, int offset, void *user) {
  static_cast<Events *>(user)->syncs.emplace_back(static_cast<const char *>(name));
  static_cast<Events *>(user)->offsets.push_back(offset);
  return true;
}

bool OnEnd(OSND_STREAM *, void *, int, void *user) {
  ++static_cast<Events *>(user)->ends;
  return true;
}

class StreamLoops : public CapturedEngine {
 protected:
  OSND_STREAM *Open(const Bytes &wav, unsigned mode) {
    file = wav;
    OSND_STREAM *s = OSND_Stream_Open(reinterpret_cast<const char *>(file.data()), OSND_MODE_MEMORY | mode, 0,
                                      int(file.size()));
    if (s) {
      OsndStream_SetSyncCallback(s, OnSync, &events);
      OsndStream_SetEndCallback(s, OnEnd, &events);
    }
    return s;
  }
  // Frames of the capture from `from` on that are not silent.
  size_t Sounding(size_t from) const {
    size_t n = 0;
    for (size_t f = from; f < captured.size() / 2; ++f) n += Left(f) != 0 || Right(f) != 0;
    return n;
  }

  Bytes file;
  Events events;
};

constexpr int kFrames = 20000;
constexpr int kLoopStart = 6000;
constexpr int kLoopEnd = 13999;

}  // namespace

TEST_F(StreamLoops, LoopPointsRepeatTheLoopThenPlayOnToTheEnd) {
  ASSERT_TRUE(Start());
  const std::vector<int16_t> source = StereoRamp(kFrames);
  OSND_STREAM *s = Open(Wav(source, {{"smpl", Smpl(kLoopStart, kLoopEnd)}}), OSND_MODE_LOOP_NORMAL);
  ASSERT_NE(s, nullptr) << OSND_GetError();
  EXPECT_EQ(s->loopStart, uint32_t(kLoopStart));
  EXPECT_EQ(s->loopEnd, uint32_t(kLoopEnd));
  OsndStream_SetLoopCount(s, 2);
  ASSERT_NE(OSND_Stream_AddSyncPoint(s, 8000, "in"), nullptr);
  ASSERT_NE(OSND_Stream_AddSyncPoint(s, 17000, "tail"), nullptr);
  ASSERT_GE(OSND_Stream_Play(OSND_FREE, s), 0);
  Step(120);

  // 0 .. end, start .. end, then start .. the last frame: the loop plays three
  // times and the stretch after it once, with nothing in between.
  const size_t at = Find(source);
  ASSERT_NE(at, size_t(-1));
  const size_t first = kLoopEnd + 1, loop = kLoopEnd - kLoopStart + 1;
  EXPECT_EQ(Mismatches(at, Frames(source, 0, kLoopEnd)), 0u);
  EXPECT_EQ(Mismatches(at + first, Frames(source, kLoopStart, kLoopEnd)), 0u);
  EXPECT_EQ(Mismatches(at + first + loop, Frames(source, kLoopStart, kFrames - 1)), 0u);
  EXPECT_EQ(Sounding(at + first + loop + (kFrames - kLoopStart)), 0u);
  EXPECT_EQ(events.syncs, (std::vector<std::string>{"in", "in", "in", "tail"}));
  EXPECT_EQ(events.ends, 1);
  EXPECT_TRUE(OSND_Stream_Close(s));
}

TEST_F(StreamLoops, SeekPastTheLoopEndPlaysToTheEndThenReturnsToTheLoopStart) {
  ASSERT_TRUE(Start());
  const std::vector<int16_t> source = StereoRamp(kFrames);
  OSND_STREAM *s = Open(Wav(source, {{"smpl", Smpl(kLoopStart, kLoopEnd)}}), OSND_MODE_LOOP_NORMAL);
  ASSERT_NE(s, nullptr) << OSND_GetError();
  OsndStream_SetLoopCount(s, 1);
  ASSERT_TRUE(OSND_Stream_SetPosition(s, 16000 * 4));
  ASSERT_GE(OSND_Stream_Play(OSND_FREE, s), 0);
  Step(80);
  const std::vector<int16_t> tail = Frames(source, 16000, kFrames - 1);
  const size_t at = Find(tail);
  ASSERT_NE(at, size_t(-1));
  EXPECT_EQ(Mismatches(at, tail), 0u);
  // The loop's one repeat starts at its start, not at the beginning of the sound.
  EXPECT_EQ(Mismatches(at + tail.size() / 2, Frames(source, kLoopStart, kFrames - 1)), 0u);
  EXPECT_EQ(Find(source), size_t(-1));
  EXPECT_EQ(events.ends, 1);
  EXPECT_TRUE(OSND_Stream_Close(s));
}

TEST_F(StreamLoops, SeekIntoTheLoopRepeatsFromTheLoopStart) {
  ASSERT_TRUE(Start());
  const std::vector<int16_t> source = StereoRamp(kFrames);
  OSND_STREAM *s = Open(Wav(source, {{"smpl", Smpl(kLoopStart, kLoopEnd)}}), OSND_MODE_LOOP_NORMAL);
  ASSERT_NE(s, nullptr) << OSND_GetError();
  OsndStream_SetLoopCount(s, 1);
  ASSERT_TRUE(OSND_Stream_SetPosition(s, 10000 * 4));
  ASSERT_GE(OSND_Stream_Play(OSND_FREE, s), 0);
  Step(80);
  const std::vector<int16_t> rest = Frames(source, 10000, kLoopEnd);
  const size_t at = Find(rest);
  ASSERT_NE(at, size_t(-1));
  EXPECT_EQ(Mismatches(at, rest), 0u);
  EXPECT_EQ(Mismatches(at + rest.size() / 2, Frames(source, kLoopStart, kFrames - 1)), 0u);
  EXPECT_EQ(events.ends, 1);
  EXPECT_TRUE(OSND_Stream_Close(s));
}

// A loop whose points lie beyond the sound loops the whole sound, also when
// the stream mixes stereo down through its decode buffer.
TEST_F(StreamLoops, LoopPointsBeyondTheSoundLoopTheWholeSound) {
  ASSERT_TRUE(Start());
  const std::vector<int16_t> source = StereoRamp(kFrames);
  for (unsigned extra : {0u, unsigned(OSND_MODE_FORCE_MONO)}) {
    SCOPED_TRACE(extra);
    events = Events{};
    captured.clear();
    OSND_STREAM *s = Open(Wav(source, {{"smpl", Smpl(0xFFFFFFF0u, 0xFFFFFFFFu)}}), OSND_MODE_LOOP_NORMAL | extra);
    ASSERT_NE(s, nullptr) << OSND_GetError();
    EXPECT_EQ(s->loopStart, 0u);
    EXPECT_EQ(s->loopEnd, 0u);
    OsndStream_SetLoopCount(s, 1);
    ASSERT_GE(OSND_Stream_Play(OSND_FREE, s), 0);
    Step(80);
    EXPECT_EQ(events.ends, 1);
    // Two passes of the sound, a few frames lost to the start of the volume ramp.
    EXPECT_NEAR(double(Sounding(0)), 2.0 * kFrames, 200.0);
    EXPECT_TRUE(OSND_Stream_Close(s));
  }
}

TEST_F(StreamLoops, SyncPointsOnBlockEdgesAreReportedOnceEachInOrder) {
  ASSERT_TRUE(Start());
  const int block = gOsnd.blockLength;
  ASSERT_GT(block, 2);
  const std::vector<int16_t> source = StereoRamp(kFrames);
  OSND_STREAM *s = Open(Wav(source, {}), 0);
  ASSERT_NE(s, nullptr) << OSND_GetError();
  const int half = int(s->sample->length / 2);
  // The last point near the end (points are refused from the length in whole
  // milliseconds on).
  const std::vector<int> offsets = {0, block - 1, block, block + 1, 2 * block, half - 1, half, kFrames - 100};
  for (int offset : offsets) ASSERT_NE(OSND_Stream_AddSyncPoint(s, unsigned(offset), std::to_string(offset).c_str()), nullptr);
  ASSERT_GE(OSND_Stream_Play(OSND_FREE, s), 0);
  Step(60);
  EXPECT_EQ(events.offsets, offsets);
  ASSERT_EQ(events.syncs.size(), offsets.size());
  for (size_t i = 0; i < offsets.size(); ++i) EXPECT_EQ(events.syncs[i], std::to_string(offsets[i]));
  EXPECT_EQ(events.ends, 1);
  EXPECT_TRUE(OSND_Stream_Close(s));
}

TEST_F(StreamLoops, ACueCountThatLiesIsBoundedByItsChunk) {
  ASSERT_TRUE(Start());
  const std::vector<int16_t> source = StereoRamp(4000);
  for (uint32_t claimed : {3u, 1000u, 0xFFFFFFFFu}) {
    SCOPED_TRACE(claimed);
    Bytes cue;
    Put32(cue, claimed);
    for (uint32_t id : {1u, 2u}) {  // two entries present whatever the count says
      Put32(cue, id);
      for (int i = 0; i < 4; ++i) Put32(cue, 0);
      Put32(cue, id * 1000);
    }
    OSND_STREAM *s = Open(Wav(source, {{"cue ", cue}}), 0);
    ASSERT_NE(s, nullptr) << OSND_GetError();
    std::vector<uint32_t> found;
    for (int i = 1; OsndSyncPoint *p = OsndStream_GetSyncPoint(&s->sync, i); ++i)
      if (p != &s->sync.tail) found.push_back(p->offset);
    EXPECT_EQ(found, (std::vector<uint32_t>{1000, 2000}));
    // The chunks after the cue list were still found: the sound plays whole.
    ASSERT_GE(OSND_Stream_Play(OSND_FREE, s), 0);
    captured.clear();
    Step(20);
    EXPECT_EQ(Mismatches(Find(source), source), 0u);
    EXPECT_TRUE(OSND_Stream_Close(s));
  }
}

}  // namespace stream_loop_test
