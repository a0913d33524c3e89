// Streams played through the software mixer on the non-realtime output, one
// mix block per update, with the mixed blocks captured.
#include "SoundTestSupport.h"
#include "WaitSupport.h"
#include "sound/src/stream/osnd_stream.h"

#include "sound/src/system/system_file.h"
#include "sound/src/system/system_pause.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace stream_test {

namespace {

struct Events {
  std::vector<std::string> syncNames;
  std::vector<int> syncOffsets;
  int ends = 0;
};

bool OnSync(OSND_STREAM *, void *data, int offset, void *user) {
  auto *e = static_cast<Events *>(user);
  e->syncNames.emplace_back(static_cast<const char *>(data));
  e->syncOffsets.push_back(offset);
  return true;
}

bool OnEnd(OSND_STREAM *, void *, int, void *user) {
  ++static_cast<Events *>(user)->ends;
  return true;
}

class StreamPlayback : public CapturedEngine {
 protected:
  OSND_STREAM *OpenRaw(const std::vector<int16_t> &data, unsigned extra = 0) {
    bytes.assign(reinterpret_cast<const char *>(data.data()), data.size() * 2);
    return OSND_Stream_Open(bytes.data(),
                            OSND_MODE_MEMORY | OSND_MODE_RAW | OSND_MODE_16BITS | OSND_MODE_STEREO |
                                OSND_MODE_SIGNED | extra,
                            0, int(bytes.size()));
  }
  std::string bytes;
};

}  // namespace

TEST_F(StreamPlayback, RawStreamIsHeardUnchangedAndEndsOnce) {
  ASSERT_TRUE(Start());
  const int frames = 40000;
  const std::vector<int16_t> source = StereoRamp(frames);
  OSND_STREAM *s = OpenRaw(source);
  ASSERT_NE(s, nullptr) << OSND_GetError();
  EXPECT_EQ(s->lengthPcm, uint32_t(frames));
  Events events;
  OsndStream_SetEndCallback(s, OnEnd, &events);
  ASSERT_GE(OSND_Stream_Play(OSND_FREE, s), 0);
  Step(80);
  const size_t start = Find(source);
  ASSERT_NE(start, size_t(-1));
  ASSERT_GE(captured.size() / 2, start + frames);
  size_t mismatches = 0;
  for (int f = 0; f < frames; ++f)
    if (Left(start + f) != source[2 * f] || Right(start + f) != source[2 * f + 1]) ++mismatches;
  EXPECT_EQ(mismatches, 0u);
  EXPECT_EQ(Left(start + frames), 0);
  EXPECT_EQ(events.ends, 1);
  EXPECT_FALSE(s->playing);
  EXPECT_TRUE(OSND_Stream_Close(s));
}

TEST_F(StreamPlayback, LoopCountPlaysThreeTimesAndReportsPointsEachPass) {
  ASSERT_TRUE(Start());
  const int frames = 30000;
  const std::vector<int16_t> source = StereoRamp(frames);
  OSND_STREAM *s = OpenRaw(source, OSND_MODE_LOOP_NORMAL);
  ASSERT_NE(s, nullptr);
  Events events;
  OsndStream_SetLoopCount(s, 2);
  OsndStream_SetEndCallback(s, OnEnd, &events);
  OsndStream_SetSyncCallback(s, OnSync, &events);
  ASSERT_NE(OSND_Stream_AddSyncPoint(s, 100, "mark"), nullptr);
  ASSERT_GE(OSND_Stream_Play(OSND_FREE, s), 0);
  Step(150);
  const size_t start = Find(source);
  ASSERT_NE(start, size_t(-1));
  ASSERT_GE(captured.size() / 2, start + 3 * size_t(frames) + 1);
  size_t mismatches = 0;
  for (int pass = 0; pass < 3; ++pass)
    for (int f = 0; f < frames; ++f) {
      const size_t at = start + size_t(pass) * frames + size_t(f);
      if (Left(at) != source[2 * f] || Right(at) != source[2 * f + 1]) ++mismatches;
    }
  EXPECT_EQ(mismatches, 0u);
  EXPECT_EQ(Left(start + 3 * size_t(frames)), 0);  // no fourth pass
  EXPECT_EQ(events.ends, 1);
  EXPECT_EQ(events.syncNames, (std::vector<std::string>{"mark", "mark", "mark"}));
  OSND_Stream_Close(s);
}

TEST_F(StreamPlayback, SyncPointsKeepOffsetOrderAndEqualOffsetsTheirInsertionOrder) {
  ASSERT_TRUE(Start());
  OSND_STREAM *s = OpenRaw(StereoRamp(22050));
  ASSERT_NE(s, nullptr);
  EXPECT_EQ(s->lengthMs, 500);
  ASSERT_NE(OSND_Stream_AddSyncPoint(s, 500, "a"), nullptr);
  ASSERT_NE(OSND_Stream_AddSyncPoint(s, 100, "b"), nullptr);
  ASSERT_NE(OSND_Stream_AddSyncPoint(s, 500, "c"), nullptr);
  ASSERT_NE(OSND_Stream_AddSyncPoint(s, 0, "zero"), nullptr);
  EXPECT_EQ(OSND_Stream_AddSyncPoint(s, 22050, "end"), nullptr);
  EXPECT_EQ(OSND_GetError(), OSND_ERR_INVALID_PARAM);
  EXPECT_NE(OSND_Stream_AddSyncPoint(s, 22049, "last"), nullptr);
  std::vector<std::string> order;
  for (int i = 1; OsndSyncPoint *p = OsndStream_GetSyncPoint(&s->sync, i); ++i) order.emplace_back(p->name);
  EXPECT_EQ(order, (std::vector<std::string>{"zero", "b", "a", "c", "last", "tail"}));

  Events events;
  OsndStream_SetSyncCallback(s, OnSync, &events);
  ASSERT_GE(OSND_Stream_Play(OSND_FREE, s), 0);
  Step(40);
  EXPECT_EQ(events.syncNames, (std::vector<std::string>{"zero", "b", "a", "c", "last"}));
  EXPECT_EQ(events.syncOffsets, (std::vector<int>{0, 100, 500, 500, 22049}));
  OSND_Stream_Close(s);
}

TEST_F(StreamPlayback, SeekingStartsAtTheNewPositionAndSkipsEarlierPoints) {
  ASSERT_TRUE(Start());
  const int frames = 30000;
  const std::vector<int16_t> source = StereoRamp(frames);
  OSND_STREAM *s = OpenRaw(source);
  ASSERT_NE(s, nullptr);
  Events events;
  OsndStream_SetSyncCallback(s, OnSync, &events);
  OSND_Stream_AddSyncPoint(s, 5000, "before");
  OSND_Stream_AddSyncPoint(s, 20000, "after");
  EXPECT_FALSE(OSND_Stream_SetPosition(s, unsigned(frames * 4)));  // equal to the data length
  EXPECT_EQ(OSND_GetError(), OSND_ERR_INVALID_PARAM);
  ASSERT_TRUE(OSND_Stream_SetPosition(s, 10000 * 4));
  EXPECT_EQ(OSND_Stream_GetPosition(s) >= 10000 * 4, true);
  ASSERT_GE(OSND_Stream_Play(OSND_FREE, s), 0);
  Step(40);
  const std::vector<int16_t> tail(source.begin() + 2 * 10000, source.end());
  const size_t start = Find(tail);
  ASSERT_NE(start, size_t(-1));
  size_t mismatches = 0;
  for (int f = 0; f < frames - 10000; ++f)
    if (Left(start + f) != tail[2 * f] || Right(start + f) != tail[2 * f + 1]) ++mismatches;
  EXPECT_EQ(mismatches, 0u);
  EXPECT_EQ(Find(source), size_t(-1));  // the first 10000 frames were never played
  EXPECT_EQ(events.syncNames, (std::vector<std::string>{"after"}));
  OSND_Stream_Close(s);
}

// A seek stopped as it walks the points for its new cursor: a delete of the
// point the walk holds waits for the walk.
TEST_F(StreamPlayback, ADeleteWaitsForASeeksCursorWalk) {
  ASSERT_TRUE(Start());
  OSND_STREAM *s = OpenRaw(StereoRamp(22050));
  ASSERT_NE(s, nullptr);
  OSND_SYNCPOINT *first = OSND_Stream_AddSyncPoint(s, 0, "first");
  SystemPausePoint walking("sync.cursor.walking");
  std::thread seek([&] { EXPECT_TRUE(OSND_Stream_SetPosition(s, 4000)); });
  ASSERT_TRUE(walking.WaitReached());
  bool deleted = false;
  EXPECT_TRUE(ActWaits(
      "lock.waiting", [&] { deleted = OSND_Stream_DeleteSyncPoint(first); }, [&] { walking.Release(); },
      [] { return SystemThread_LockWaitedFor() == gOsndStreams.listLock; }))
      << "the delete did not wait for the walk";
  seek.join();
  EXPECT_TRUE(deleted);
}

TEST_F(StreamPlayback, EndCountdownHoldsWhilePaused) {
  ASSERT_TRUE(Start());
  OSND_STREAM *s = OpenRaw(StereoRamp(2000));
  ASSERT_NE(s, nullptr);
  Events events;
  OsndStream_SetEndCallback(s, OnEnd, &events);
  const int channel = OSND_Stream_Play(OSND_FREE, s);
  ASSERT_GE(channel, 0);
  Step(2);
  ASSERT_GE(s->endCountdown, 0);  // the source ended inside the prefill
  OSND_SetPaused(channel, true);
  const int64_t held = s->endCountdown;
  Step(100);
  EXPECT_EQ(s->endCountdown, held);
  EXPECT_EQ(events.ends, 0);
  OSND_SetPaused(channel, false);
  Step(100);
  EXPECT_EQ(events.ends, 1);
  OSND_Stream_Close(s);
}

TEST_F(StreamPlayback, InvalidCallsReportTheirErrors) {
  ASSERT_TRUE(Start());
  EXPECT_EQ(OSND_Stream_PlayEx(OSND_FREE, nullptr, nullptr, false), 0);
  EXPECT_EQ(OSND_GetError(), OSND_ERR_INVALID_PARAM);
  EXPECT_FALSE(OSND_Stream_Close(nullptr));
  EXPECT_EQ(OSND_GetError(), OSND_ERR_INVALID_PARAM);
  EXPECT_EQ(OSND_Stream_Open("/nonexistent/file.wav", 0, 0, 0), nullptr);
  EXPECT_EQ(OSND_GetError(), OSND_ERR_FILE_NOT_FOUND);
  // Memory data that looks like an internet address is still memory data.
  static const char text[] = "http://example.invalid/stream";
  EXPECT_EQ(OSND_Stream_Open(text, OSND_MODE_MEMORY, 0, int(sizeof text)), nullptr);
  EXPECT_EQ(OSND_GetError(), OSND_ERR_FILE_FORMAT);
  OSND_STREAM *s = OpenRaw(StereoRamp(1000));
  ASSERT_NE(s, nullptr);
  EXPECT_FALSE(OSND_Stream_SetSubStream(s, 0));
  EXPECT_EQ(OSND_GetError(), OSND_ERR_INVALID_PARAM);
  EXPECT_TRUE(OSND_Stream_Close(s));
}

namespace {

// User file callbacks whose open waits at a gate, so that every request is
// queued before the open thread gets to the first; names and completions are
// recorded under one lock, which the waiting test shares with the thread.
struct OpenGate {
  std::mutex lock;
  std::condition_variable changed;
  bool released = false;
  std::vector<std::string> opened;
  std::vector<OSND_STREAM *> completed;
};
OpenGate *gGate = nullptr;

void *GatedOpen(const char *name) {
  std::unique_lock<std::mutex> guard(gGate->lock);
  gGate->opened.emplace_back(name);
  gGate->changed.notify_all();
  gGate->changed.wait(guard, [] { return gGate->released; });
  return std::fopen(name, "rb");
}
void GatedClose(void *handle) { std::fclose(static_cast<FILE *>(handle)); }
int GatedRead(void *buffer, int bytes, void *handle) {
  return int(std::fread(buffer, 1, size_t(bytes), static_cast<FILE *>(handle)));
}
int GatedSeek(void *handle, int offset, int whence) { return std::fseek(static_cast<FILE *>(handle), offset, whence); }
int GatedTell(void *handle) { return int(std::ftell(static_cast<FILE *>(handle))); }

bool Completed(OSND_STREAM *stream, void *, int, void *) {
  std::lock_guard<std::mutex> guard(gGate->lock);
  gGate->completed.push_back(stream);
  gGate->changed.notify_all();
  return true;
}

class BackgroundOpen : public StreamPlayback {
 protected:
  void SetUp() override {
    gGate = &gate;
    SystemFile_SetUserCallbacks(GatedOpen, GatedClose, GatedRead, GatedSeek, GatedTell);
  }
  void TearDown() override {
    Release();  // a failed test must not leave the open thread at the gate
    StreamPlayback::TearDown();
    SystemFile_SetUserCallbacks(nullptr, nullptr, nullptr, nullptr, nullptr);
    gGate = nullptr;
  }
  void Release() {
    std::lock_guard<std::mutex> guard(gate.lock);
    gate.released = true;
    gate.changed.notify_all();
  }
  // Waits (at most 10 s) until pred holds under the gate's lock.
  template <typename Pred>
  bool WaitFor(Pred pred) {
    std::unique_lock<std::mutex> guard(gate.lock);
    return gate.changed.wait_for(guard, std::chrono::seconds(10), pred);
  }
  std::string WriteRaw(const std::string &name, int frames) {
    const std::string path = std::string(QMV_BINARY_DIR) + "/test-home/" + name;
    const std::vector<int16_t> data = StereoRamp(frames);
    FILE *f = std::fopen(path.c_str(), "wb");
    if (!f) return path;
    std::fwrite(data.data(), 2, data.size(), f);
    std::fclose(f);
    return path;
  }

  OpenGate gate;
};

}  // namespace

TEST_F(BackgroundOpen, OpensCompleteInOrderAndAFailedOpenRefusesPlay) {
  ASSERT_TRUE(Start());
  const unsigned mode = OSND_MODE_NONBLOCKING | OSND_MODE_RAW | OSND_MODE_16BITS | OSND_MODE_STEREO;
  std::vector<std::string> paths;
  std::vector<OSND_STREAM *> streams;
  for (int i = 0; i < 3; ++i) {
    paths.push_back(WriteRaw("background" + std::to_string(i) + ".raw", 5000 + 1000 * i));
    OSND_STREAM *s = OSND_Stream_Open(paths.back().c_str(), mode, 0, 0);
    ASSERT_NE(s, nullptr);
    OsndStream_SetOpenCallback(s, Completed);
    streams.push_back(s);
  }
  const std::string missingPath = std::string(QMV_BINARY_DIR) + "/test-home/missing.raw";
  OSND_STREAM *missing = OSND_Stream_Open(missingPath.c_str(), mode, 0, 0);
  ASSERT_NE(missing, nullptr);
  OsndStream_SetOpenCallback(missing, Completed);

  // The thread waits in the first open: nothing is ready, and a record that is
  // still queued or opening cannot be played or closed.
  ASSERT_TRUE(WaitFor([&] { return gate.opened.size() == 1; }));
  for (OSND_STREAM *s : streams) EXPECT_FALSE(OsndStream_IsReady(s));
  EXPECT_EQ(OSND_Stream_PlayEx(OSND_FREE, streams[2], nullptr, false), -1);
  EXPECT_FALSE(OSND_Stream_Close(streams[2]));
  EXPECT_EQ(OSND_GetError(), OSND_ERR_INVALID_PARAM);

  Release();
  ASSERT_TRUE(WaitFor([&] { return gate.completed.size() == 4; }));
  std::vector<OSND_STREAM *> expected = streams;
  expected.push_back(missing);
  {
    std::lock_guard<std::mutex> guard(gate.lock);
    EXPECT_EQ(gate.completed, expected);
    EXPECT_EQ(gate.opened, (std::vector<std::string>{paths[0], paths[1], paths[2], missingPath}));
  }
  EXPECT_TRUE(OsndStream_OpenFailed(missing));
  EXPECT_FALSE(OsndStream_IsReady(missing));
  EXPECT_EQ(OSND_Stream_PlayEx(OSND_FREE, missing, nullptr, false), -1);
  EXPECT_EQ(OSND_GetError(), OSND_ERR_INVALID_PARAM);
  for (int i = 0; i < 3; ++i) {
    ASSERT_TRUE(OsndStream_IsReady(streams[size_t(i)]));
    EXPECT_EQ(streams[size_t(i)]->lengthPcm, uint32_t(5000 + 1000 * i));
  }
  // An opened background stream plays like any other.
  ASSERT_GE(OSND_Stream_Play(OSND_FREE, streams[0]), 0);
  Step(10);
  const std::vector<int16_t> source = StereoRamp(5000);
  EXPECT_NE(Find(source), size_t(-1));
  for (OSND_STREAM *s : streams) EXPECT_TRUE(OSND_Stream_Close(s));
  EXPECT_TRUE(OSND_Stream_Close(missing));

  // A name longer than the record keeps is refused, never cut short into the
  // name of another file that exists.
  const std::string longName = missingPath + std::string(300, 'x');
  std::FILE *cut = std::fopen(longName.substr(0, 255).c_str(), "wb");
  ASSERT_NE(cut, nullptr);
  std::fclose(cut);
  EXPECT_EQ(OSND_Stream_Open(longName.c_str(), mode, 0, 0), nullptr);
  EXPECT_EQ(OSND_GetError(), OSND_ERR_INVALID_PARAM);
  std::remove(longName.substr(0, 255).c_str());
}

}  // namespace stream_test
