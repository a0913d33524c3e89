// Streams with the engine's own threads running: the streamer refills while
// the mixer thread mixes and runs the sync scan, and the calling thread plays,
// seeks, stops and closes. Run under ThreadSanitizer and AddressSanitizer too.
#include "OsbWriterSupport.h"
#include "SoundTestSupport.h"
#include "WaitSupport.h"
#include "sound/src/song/music_core.h"
#include "sound/src/song/song_midi.h"
#include "sound/src/stream/osnd_stream.h"
#include "sound/src/system/system_file.h"
#include "sound/src/system/system_memory.h"
#include "sound/src/system/system_pause.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include <unistd.h>

namespace stream_threads_test {

namespace {

using Clock = std::chrono::steady_clock;

// User file callbacks over real files; while `slow` is set a read stays
// inside until `slow` is cleared, so that the test acts while the streamer is
// inside one.
struct SlowFiles {
  std::atomic<bool> slow{false};
  std::atomic<int> inRead{0};
  std::atomic<bool> closed{false};
  std::atomic<int> readsAfterClose{0};
  std::atomic<int> closes{0};
};
SlowFiles *gFiles = nullptr;

void *SlowOpen(const char *name) { return std::fopen(name, "rb"); }
void SlowClose(void *handle) {
  ++gFiles->closes;
  std::fclose(static_cast<FILE *>(handle));
}
int SlowRead(void *buffer, int bytes, void *handle) {
  if (gFiles->closed) ++gFiles->readsAfterClose;
  if (gFiles->slow) {
    ++gFiles->inRead;
    PollUntil([] { return !gFiles->slow; }, kActDeadlineMs);
    --gFiles->inRead;
  }
  return int(std::fread(buffer, 1, size_t(bytes), static_cast<FILE *>(handle)));
}
int SlowSeek(void *handle, int offset, int whence) { return std::fseek(static_cast<FILE *>(handle), offset, whence); }
int SlowTell(void *handle) { return int(std::ftell(static_cast<FILE *>(handle))); }

// A raw file of the stereo ramp.
void WriteRamp(const std::string &name, int frames) { ASSERT_TRUE(WriteRawRamp(name, frames)); }

class StreamThreads : public ::testing::Test {
 protected:
  void SetUp() override {
    OsndOutputNoSound.mixerThread = 1;  // a non-realtime run in this process clears it
    ASSERT_TRUE(OSND_SetOutput(OSND_OUTPUT_NOSOUND));
    baseline = SystemMemory_BytesInUse();
    gFiles = &files;
    SystemFile_SetUserCallbacks(SlowOpen, SlowClose, SlowRead, SlowSeek, SlowTell);
    path = std::string(QMV_BINARY_DIR) + "/test-home/stream-threads-" + std::to_string(getpid()) + ".raw";
    WriteRamp(path, 60000);
  }
  void TearDown() override {
    files.slow = false;
    OSND_Close();
    SystemFile_SetUserCallbacks(nullptr, nullptr, nullptr, nullptr, nullptr);
    gFiles = nullptr;
    std::remove(path.c_str());
  }
  OSND_STREAM *Open(unsigned extra = 0) {
    return OSND_Stream_Open(path.c_str(), OSND_MODE_RAW | OSND_MODE_16BITS | OSND_MODE_STEREO | extra, 0, 0);
  }
  // A 16-bit sample holding `level`, or null.
  static OSND_SAMPLE *SampleOf(const std::vector<int16_t> &level, unsigned loop) {
    OSND_SAMPLE *s = OSND_Sample_Alloc(-1, int(level.size()), OSND_MODE_16BITS | loop, 44100, 255, 128, 255);
    if (s && !OSND_Sample_Upload(s, level.data(), OSND_MODE_16BITS)) {
      OSND_Sample_Free(s);
      return nullptr;
    }
    return s;
  }
  // A stream and a looping sample of `level` (played `plays` times) sound
  // for a while, then are closed and freed; answers how many steps failed.
  int PlayThenClose(const std::vector<int16_t> &level, int plays, int milliseconds) {
    OSND_STREAM *s = Open();
    OSND_SAMPLE *sample = SampleOf(level, OSND_MODE_LOOP_NORMAL);
    bool played = s && sample && OSND_Stream_Play(OSND_FREE, s) >= 0;
    for (int i = 0; i < plays; ++i) played = played && OSND_PlaySound(OSND_FREE, sample) >= 0;
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
    const bool closed = OSND_Stream_Close(s);
    OSND_Sample_Free(sample);
    return !played + !closed;
  }

  SlowFiles files;
  std::string path;
  int64_t baseline = 0;
};

bool CountSync(OSND_STREAM *, void *, int, void *user) {
  ++*static_cast<std::atomic<int> *>(user);
  return true;
}

// A mono 16-bit bank entry holding one level.
Entry Level(int level, int frames, int rate) {
  Entry e;
  e.length = uint32_t(frames);
  for (int i = 0; i < frames; ++i) Put16(e.data, uint32_t(uint16_t(int16_t(level))));
  e.frequency = rate;
  return e;
}

// A sync callback that chooses the stream's next entry, then reads the level
// its buffer holds (-1 for several) as the streamer reads a stream: under the
// stream-decode lock, which the open thread's choice must wait for.
struct Chooser {
  int next = 1;
  std::atomic<int> choices{0};
  std::atomic<int> level{0};
  std::atomic<bool> failed{false};
};
bool ChooseNextEntry(OSND_STREAM *s, void *, int, void *user) {
  auto &chooser = *static_cast<Chooser *>(user);
  SystemLockGuard decode(gOsndStreams.decodeLock);
  chooser.next = 3 - chooser.next;
  if (!OSND_Stream_SetSubStream(s, chooser.next)) chooser.failed = true;
  void *p1 = nullptr, *p2 = nullptr;
  unsigned l1 = 0, l2 = 0;
  int level = -1;
  if (OSND_Sample_Lock(s->sample, 0, 2 * OSND_Sample_GetLength(s->sample), &p1, &p2, &l1, &l2)) {
    const auto *data = static_cast<const int16_t *>(p1);
    if (l1 >= 2 && std::all_of(data, data + l1 / 2, [&](int16_t v) { return v == data[0]; })) level = data[0];
    OSND_Sample_Unlock(s->sample, p1, p2, l1, l2);
  }
  chooser.level = level;
  ++chooser.choices;
  return true;
}

}  // namespace

TEST_F(StreamThreads, CloseWhileTheStreamerRefillsWaitsForTheRefill) {
  ASSERT_TRUE(OSND_Init(44100, 8, 0));
  OSND_STREAM *s = Open();
  ASSERT_NE(s, nullptr) << OSND_GetError();
  ASSERT_GE(OSND_Stream_Play(OSND_FREE, s), 0);
  files.slow = true;
  // The channel leaves the first half after about 200 ms; the streamer then
  // refills it through a slow read.
  ASSERT_TRUE(PollUntil([&] { return files.inRead.load() > 0; }, kActDeadlineMs));
  std::atomic<bool> closed{false};
  std::atomic<int> inReadAtClose{-1};
  // The close begins to wait for the stream-decode lock the refill holds;
  // the read is let go after that.
  EXPECT_TRUE(ActWaits(
      "lock.waiting",
      [&] {
        closed = OSND_Stream_Close(s);
        inReadAtClose = files.inRead.load();
        files.closed = true;
      },
      [&] { files.slow = false; }, [] { return SystemThread_LockWaitedFor() == gOsndStreams.decodeLock; }))
      << "the close did not wait for the refill under way";
  EXPECT_TRUE(closed.load());
  // The close waited for the read that was under way, and the file was
  // closed once, after it.
  EXPECT_EQ(inReadAtClose.load(), 0);
  EXPECT_EQ(files.closes.load(), 1);
  PassStreamer(3);  // passes that must not touch it
  EXPECT_EQ(files.readsAfterClose.load(), 0);
  OSND_Close();
  EXPECT_EQ(SystemMemory_BytesInUse(), baseline);
}

TEST_F(StreamThreads, PlaySeekStopAndCloseWhileTheThreadsRun) {
  ASSERT_TRUE(OSND_Init(44100, 8, 0));
  std::atomic<int> syncs{0};
  for (int round = 0; round < 12; ++round) {
    SCOPED_TRACE(round);
    std::vector<OSND_STREAM *> streams;
    for (int i = 0; i < 3; ++i) {
      OSND_STREAM *s = Open(i == 1 ? OSND_MODE_LOOP_NORMAL : 0);
      ASSERT_NE(s, nullptr) << OSND_GetError();
      OsndStream_SetSyncCallback(s, CountSync, &syncs);
      ASSERT_NE(OSND_Stream_AddSyncPoint(s, 0, "start"), nullptr);
      ASSERT_GE(OSND_Stream_Play(OSND_FREE, s), 0);
      streams.push_back(s);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(15 * (round % 4)));
    EXPECT_TRUE(OSND_Stream_SetPosition(streams[0], unsigned(4 * (round * 1000 % 50000))));
    EXPECT_TRUE(OSND_Stream_Stop(streams[1]));
    EXPECT_GE(OSND_Stream_Play(OSND_FREE, streams[1]), 0);
    EXPECT_TRUE(OSND_Stream_Close(streams[round % 3]));
    streams.erase(streams.begin() + round % 3);
    for (OSND_STREAM *s : streams) EXPECT_TRUE(OSND_Stream_Close(s));
  }
  // With the threads still running, a point passed by the mixer's scan is
  // announced by the streamer.
  syncs = 0;
  OSND_STREAM *s = Open();
  ASSERT_NE(s, nullptr);
  OsndStream_SetSyncCallback(s, CountSync, &syncs);
  ASSERT_NE(OSND_Stream_AddSyncPoint(s, 2000, "early"), nullptr);
  ASSERT_GE(OSND_Stream_Play(OSND_FREE, s), 0);
  EXPECT_TRUE(PollUntil([&] { return syncs.load() == 1; }));
  EXPECT_TRUE(OSND_Stream_Close(s));
  OSND_Close();
  EXPECT_EQ(SystemMemory_BytesInUse(), baseline);
}

// OSND_Update runs the 3D pass (and, on the non-realtime output, the stream
// pass) on the calling thread while open threads link records into the stream
// list, the streamer stops the streams that end and the mixer mixes.
TEST_F(StreamThreads, StreamsOpenPlayAndEndBesideUpdateOnEitherOutput) {
  const std::string shortPath = path + ".short";
  WriteRamp(shortPath, 3000);
  for (const int output : {OSND_OUTPUT_NOSOUND_NONREALTIME, OSND_OUTPUT_NOSOUND}) {
    SCOPED_TRACE(output);
    OsndOutputNoSound.mixerThread = 1;
    ASSERT_TRUE(OSND_SetOutput(output));
    ASSERT_TRUE(OSND_Init(44100, 8, 0));
    const bool realtime = output == OSND_OUTPUT_NOSOUND;
    constexpr int kStreams = 16;
    std::vector<OSND_STREAM *> streams;
    std::atomic<int> ends[kStreams] = {};
    std::vector<bool> playing(kStreams, false);
    const auto until = Clock::now() + std::chrono::milliseconds(kActDeadlineMs);
    int ended = 0;
    while (ended < kStreams && Clock::now() < until) {
      // At most six opening or playing at once, so that every one finds a channel.
      if (int(streams.size()) < kStreams && int(streams.size()) - ended < 6) {
        const unsigned mode = OSND_MODE_NONBLOCKING | OSND_MODE_RAW | OSND_MODE_16BITS | OSND_MODE_STEREO;
        OSND_STREAM *s = OSND_Stream_Open(shortPath.c_str(), mode, 0, 0);
        ASSERT_NE(s, nullptr);
        streams.push_back(s);
      }
      for (size_t i = 0; i < streams.size(); ++i) {
        if (playing[i] || !OsndStream_IsReady(streams[i])) continue;
        OsndStream_SetEndCallback(streams[i], CountSync, &ends[i]);
        ASSERT_GE(OSND_Stream_Play(OSND_FREE, streams[i]), 0) << OSND_GetError();
        playing[i] = true;
      }
      OSND_Update();
      if (realtime) std::this_thread::sleep_for(std::chrono::milliseconds(2));
      ended = 0;
      for (int i = 0; i < kStreams; ++i) ended += ends[i].load() > 0;
    }
    // Every stream played to its end, and its end was announced once.
    for (int i = 0; i < kStreams; ++i) EXPECT_EQ(ends[i].load(), 1) << "stream " << i;
    EXPECT_EQ(OSND_GetChannelsPlaying(), 0);
    for (OSND_STREAM *s : streams) EXPECT_TRUE(OSND_Stream_Close(s));
    OSND_Close();
  }
  std::remove(shortPath.c_str());
  EXPECT_EQ(SystemMemory_BytesInUse(), baseline);
}

// Streams and samples are closed and freed from several threads at once while
// the mixer mixes and OSND_Update runs.
TEST_F(StreamThreads, StreamsAndSamplesClosedFromSeveralThreadsBesideUpdate) {
  ASSERT_TRUE(OSND_Init(44100, 16, 0));
  std::atomic<int> rounds{0}, failures{0}, finished{0};
  std::vector<std::thread> closers;
  const std::vector<int16_t> level(2048, 12000);
  for (int t = 0; t < 3; ++t) {
    closers.emplace_back([&, t] {
      for (int round = 0; round < 8; ++round, ++rounds) failures += PlayThenClose(level, 2, 5 * ((t + round) % 4));
      ++finished;
    });
  }
  while (finished.load() < 3) {
    OSND_Update();
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  for (std::thread &t : closers) t.join();
  EXPECT_EQ(rounds.load(), 24);
  EXPECT_EQ(failures.load(), 0);
  // Nothing freed is still played.
  EXPECT_EQ(OSND_GetChannelsPlaying(), 0);
  OSND_Close();
  EXPECT_EQ(SystemMemory_BytesInUse(), baseline);
}

// On the non-realtime output OSND_Update mixes on the caller's thread, while
// one thread opens, plays and closes streams and samples and another restarts
// channels by number and changes their frequency.
TEST_F(StreamThreads, SoundsPlayedAndFreedBesideUpdateMixingWithoutAMixerThread) {
  ASSERT_TRUE(OSND_SetOutput(OSND_OUTPUT_NOSOUND_NONREALTIME));
  ASSERT_TRUE(OSND_Init(44100, 32, 0));
  std::atomic<bool> stop{false};
  std::atomic<int> rounds{0}, failures{0};
  const std::vector<int16_t> level(4096, 9000);
  std::thread player([&] {
    for (; !stop; ++rounds) failures += PlayThenClose(level, 1, rounds % 3);
  });
  std::thread restarter([&] {
    OSND_SAMPLE *mine = SampleOf(std::vector<int16_t>(512, 9000), OSND_MODE_LOOP_OFF);
    failures += !mine;
    for (int n = 0; !stop; n = (n + 1) % 8) {
      OSND_PlaySound(n, mine);  // whatever the channel played, it now plays this
      OSND_SetFrequency(n, 22050 + 1000 * n);
    }
    OSND_Sample_Free(mine);
  });
  // Three seconds, and on until the player has made its rounds beside the
  // restarter (a minute at most).
  const auto start = Clock::now();
  for (const auto until = start + std::chrono::milliseconds(kActDeadlineMs);
       (Clock::now() < start + std::chrono::seconds(3) || rounds.load() <= 20) && Clock::now() < until;) {
    OSND_Update();
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  stop = true;
  player.join();
  restarter.join();
  EXPECT_GT(rounds.load(), 20);
  EXPECT_EQ(failures.load(), 0);
  EXPECT_EQ(OSND_GetChannelsPlaying(), 0);
  OSND_Close();
  EXPECT_EQ(SystemMemory_BytesInUse(), baseline);
}

// A MIDI song starts the synthesizer's stream from the song's start, while
// the streamer refills another stream and the mixer mixes: both take the
// stream-decode lock and the mixer's, in the one order.
TEST_F(StreamThreads, AMidiSongStartsAndStopsBesideTheStreamer) {
  ASSERT_TRUE(OSND_Init(44100, 8, 0));
  // One note of half a second: header, then a track of note on, note off, end.
  const unsigned char midi[] = {'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 0, 0, 1, 0x01, 0xE0,
                                'M', 'T', 'r', 'k', 0, 0, 0, 13, 0x00, 0x90, 60, 100,
                                0x83, 0x60, 0x80, 60, 0, 0x00, 0xFF, 0x2F, 0x00};
  MusicSong *song = Music_CreateSong();
  ASSERT_TRUE(Music_LoadSong(song, reinterpret_cast<const char *>(midi), OSND_MODE_MEMORY, 0, sizeof midi, nullptr, 0));
  OSND_STREAM *s = Open(OSND_MODE_LOOP_NORMAL);
  ASSERT_NE(s, nullptr);
  ASSERT_GE(OSND_Stream_Play(OSND_FREE, s), 0);
  for (int round = 0; round < 6; ++round) {
    SCOPED_TRACE(round);
    ASSERT_TRUE(Music_PlaySong(song)) << OSND_GetError();
    ASSERT_NE(MusicFormatMidi_Stream(), nullptr);
    EXPECT_TRUE(OSND_IsPlaying(MusicFormatMidi_Stream()->channel));
    std::this_thread::sleep_for(std::chrono::milliseconds(40 * round));
    EXPECT_TRUE(Music_StopSong(song));
  }
  // The engine's close stops a song that still plays beside the streamer.
  ASSERT_TRUE(Music_PlaySong(song));
  EXPECT_TRUE(OSND_Stream_Close(s));
  OSND_Close();
  Music_FreeSong(song);
  EXPECT_EQ(SystemMemory_BytesInUse(), baseline);
}

namespace {

// What the callbacks of the re-entry scenarios close and free, and what they
// saw: every call a callback makes that the engine answers otherwise than its
// contract says counts as wrong.
struct Reentry {
  OSND_STREAM *closedOnEnd[2] = {}, *closedOnSync = nullptr, *played = nullptr;
  OSND_DSPUNIT *freedNext = nullptr;
  OSND_SAMPLE *sample = nullptr;
  std::string path;
  std::atomic<int> ends{0}, syncs{0}, nextCalls{0}, nextCallsAtFree{-1}, refused{0}, rounds{0}, wrong{0};
};
Reentry *gRe = nullptr;

void Expect(bool ok) { gRe->wrong += !ok; }
void ExpectRefused(bool failed) {
  const bool refused = failed && gOsndError.lastError.load() == OSND_ERR_CALLBACK;  // this thread's own
  Expect(refused);
  gRe->refused += refused;
}

bool EndClosesTheStreamsAfterIt(OSND_STREAM *, void *, int, void *) {
  if (gRe->ends++ == 0)
    for (OSND_STREAM *s : gRe->closedOnEnd) Expect(OSND_Stream_Close(s));
  ExpectRefused(!OSND_Init(44100, 8, 0));
  return true;
}

bool SyncClosesAnotherAndItself(OSND_STREAM *own, void *, int, void *) {
  ++gRe->syncs;
  Expect(OSND_Stream_Close(gRe->closedOnSync));
  Expect(OSND_Stream_Close(own));
  return true;
}

void *FreesTheNextUnit(void *, void *buffer, int, void *) {
  if (gRe->freedNext) {
    gRe->nextCallsAtFree = gRe->nextCalls.load();
    OSND_DSP_Free(std::exchange(gRe->freedNext, nullptr));
    OSND_Close();
    ExpectRefused(true);
  }
  return buffer;
}

void *CountsItsCalls(void *, void *buffer, int, void *) {
  ++gRe->nextCalls;
  return buffer;
}

// Stream calls that change a stream are refused inside a unit's callback
// (the loop count's too, which no list of refusals named, and the file
// position's, which the streamer moves: they are refused where the stream
// lock is taken); time and sync-point calls and sample calls work there.
void *CallsStreamsAndSamples(void *, void *buffer, int, void *) {
  OSND_STREAM *s = gRe->played;
  ExpectRefused(!OSND_Stream_SetPosition(s, 0));
  ExpectRefused(!OSND_Stream_Stop(s));
  ExpectRefused(OSND_Stream_Play(OSND_FREE, s) < 0);
  ExpectRefused(!OSND_Stream_Close(s));
  ExpectRefused(OSND_Stream_Open(gRe->path.c_str(), OSND_MODE_NONBLOCKING, 0, 0) == nullptr);
  ExpectRefused(!OsndStream_SetLoopCount(s, 2));
  ExpectRefused(OSND_Stream_GetPosition(s) == 0);
  gOsndError.lastError.ClearOwn();
  OSND_Stream_GetTime(s);
  Expect(OSND_Stream_DeleteSyncPoint(OSND_Stream_AddSyncPoint(s, 10, "unit")));
  Expect(gOsndError.lastError.load() == OSND_ERR_NONE);
  const int channel = OSND_PlaySound(OSND_FREE, gRe->sample);
  Expect(channel >= 0 && OSND_StopSound(channel));
  ++gRe->rounds;
  return buffer;
}

}  // namespace

// Callbacks close and free what the engine visits next: an end callback the
// streams after its own in the list, a sync callback another stream and its
// own while more of its points are due, a unit's callback the unit after it
// in the chain. None of them is visited again and nothing is freed twice. A
// unit's callback, run under the mixer's lock while another thread plays and
// stops a stream, has its stream calls and a close of the engine refused (a
// stream call would take the stream lock inside the mixer's) and its sample
// calls done; a stream callback has a start of the engine refused. On either
// output.
TEST_F(StreamThreads, CallbacksMayCloseOrFreeWhatTheEngineVisitsNext) {
  const std::string shortPath = path + ".short";
  WriteRamp(shortPath, 3000);
  for (const bool realtime : {true, false}) {
    SCOPED_TRACE(realtime ? "real-time" : "non-realtime");
    Reentry re;
    gRe = &re;
    re.path = path;
    ASSERT_TRUE(OSND_SetOutput(realtime ? OSND_OUTPUT_NOSOUND : OSND_OUTPUT_NOSOUND_NONREALTIME));
    ASSERT_TRUE(OSND_Init(44100, 16, 0));
    OSND_STREAM *ending = OSND_Stream_Open(shortPath.c_str(), OSND_MODE_RAW | OSND_MODE_16BITS | OSND_MODE_STEREO, 0, 0);
    OSND_STREAM *synced = Open(), *other = Open(OSND_MODE_LOOP_NORMAL);
    re.closedOnEnd[0] = Open();
    re.closedOnSync = Open();
    re.closedOnEnd[1] = Open();
    re.played = Open(OSND_MODE_LOOP_NORMAL);
    re.sample = SampleOf(std::vector<int16_t>(512, 1000), OSND_MODE_LOOP_NORMAL);
    ASSERT_TRUE(other && re.sample);
    for (OSND_STREAM *s : {ending, synced, re.closedOnEnd[0], re.closedOnSync, re.closedOnEnd[1], re.played}) {
      ASSERT_NE(s, nullptr);
      ASSERT_GE(OSND_Stream_Play(OSND_FREE, s), 0);
    }
    OsndStream_SetEndCallback(ending, EndClosesTheStreamsAfterIt, nullptr);
    OsndStream_SetSyncCallback(synced, SyncClosesAnotherAndItself, nullptr);
    for (unsigned at : {100u, 101u, 102u}) ASSERT_NE(OSND_Stream_AddSyncPoint(synced, at, "due"), nullptr);
    OSND_DSPUNIT *freeing = OSND_DSP_Create(FreesTheNextUnit, 300, nullptr);
    re.freedNext = OSND_DSP_Create(CountsItsCalls, 301, nullptr);
    OSND_DSPUNIT *calling = OSND_DSP_Create(CallsStreamsAndSamples, 302, nullptr);
    for (OSND_DSPUNIT *unit : {freeing, re.freedNext, calling}) OSND_DSP_SetActive(unit, true);
    std::atomic<bool> stop{false};
    std::thread player([&] {
      while (!stop) re.wrong += (OSND_Stream_Play(OSND_FREE, other) < 0) + !OSND_Stream_Stop(other);
    });
    {
      Watchdog dog(kHangSeconds, "callbacks closing and freeing what comes next, or calling stream functions");
      EXPECT_TRUE(PollUntil([&] {
        if (!realtime) OSND_Update();
        return re.ends.load() > 0 && re.syncs.load() > 0 && re.nextCallsAtFree.load() >= 0 && re.rounds > 10;
      }, kActDeadlineMs));
      // Passes that must not call what was closed or freed: the mixer's and the streamer's.
      if (realtime) {
        MixCounter mix;
        EXPECT_TRUE(mix.Made() && mix.WaitMixed(44100 / 10)) << "the mixer mixed nothing";
        PassStreamer(3);
      } else {
        for (int i = 0; i < 20; ++i) OSND_Update();
      }
      stop = true;
      player.join();
    }
    EXPECT_EQ(re.ends.load(), 1);
    EXPECT_EQ(re.syncs.load(), 1) << "a sync callback after its stream was closed";
    EXPECT_EQ(re.nextCalls.load(), re.nextCallsAtFree.load()) << "a freed unit called";
    EXPECT_EQ(re.refused.load(), 2 + 7 * re.rounds.load());
    EXPECT_EQ(re.wrong.load(), 0);
    for (OSND_STREAM *s : {ending, other, re.played}) EXPECT_TRUE(OSND_Stream_Close(s));
    OSND_Close();
    EXPECT_EQ(SystemMemory_BytesInUse(), baseline);
  }
  std::remove(shortPath.c_str());
}

// On the non-realtime output an end callback runs inside OSND_Update (here on
// a thread that did not start the engine): an OSND_Update it makes is refused,
// and that refusal is not the answer of the update around it.
TEST_F(StreamThreads, AnUpdateRefusedInACallbackIsNotTheErrorOfTheUpdateAroundIt) {
  ASSERT_TRUE(OSND_SetOutput(OSND_OUTPUT_NOSOUND_NONREALTIME) && OSND_Init(44100, 16, 0));
  static std::atomic<int> gRefused;
  gRefused = -1;
  OSND_STREAM *s = Open();
  OsndStream_SetEndCallback(s, [](OSND_STREAM *, void *, int, void *) {
    OSND_Update();
    gRefused = gOsndError.lastError.load() == OSND_ERR_CALLBACK;
    return true;
  }, nullptr);
  ASSERT_TRUE(OSND_Stream_SetPosition(s, 4 * 59000) && OSND_Stream_Play(OSND_FREE, s) >= 0);
  int answered = 0;
  std::thread([&] {
    for (int i = 0; i < 500 && gRefused < 0; ++i) OSND_Update(), answered += gOsndError.lastError.load() != 0;
  }).join();
  EXPECT_EQ(gRefused.load(), 1);
  EXPECT_EQ(answered, 0) << "an update answered with its callback's error";
}

// Callbacks cleared while due are not called once the clear has returned: the
// other three of four sync points due together, cleared while the first is
// announced (the clear waits for that call, which ends once the slot is
// clear), and an end cleared after it was taken for its call.
TEST_F(StreamThreads, CallbacksClearedWhileDueAreNotCalled) {
  ASSERT_TRUE(OSND_Init(44100, 16, 0));
  OSND_STREAM *s = Open();
  ASSERT_NE(s, nullptr);
  static std::atomic<int> syncs;
  syncs = 0;
  OsndStream_SetSyncCallback(s, [](OSND_STREAM *stream, void *, int, void *) {
    return ++syncs > 1 || PollUntil([stream] {
      SystemLockGuard list(gOsndStreams.listLock);
      return stream->syncCallback == nullptr;
    });
  }, nullptr);
  for (unsigned at : {100u, 101u, 102u, 103u}) ASSERT_NE(OSND_Stream_AddSyncPoint(s, at, "due"), nullptr);
  ASSERT_GE(OSND_Stream_Play(OSND_FREE, s), 0);
  ASSERT_TRUE(PollUntil([] { return syncs.load() == 1; }));
  OsndStream_SetSyncCallback(s, nullptr, nullptr);
  std::atomic<int> ends{0};
  OsndStream_SetEndCallback(s, CountSync, &ends);
  SystemPausePoint taken("stream.callbacks.taken");
  ASSERT_TRUE(OSND_Stream_SetPosition(s, 4 * 59000));
  ASSERT_TRUE(taken.WaitReached());
  OsndStream_SetEndCallback(s, nullptr, nullptr);
  taken.Release();
  PassStreamer(3);
  EXPECT_EQ(syncs.load(), 1) << "sync callbacks after the clear";
  EXPECT_EQ(ends.load(), 0) << "an end callback after the clear";
}

// A stream polled for its time and file position while the open thread fills
// it in the background: both refuse, as play and seek do.
TEST_F(StreamThreads, TimeAndPositionOfAStreamStillOpeningAreRefused) {
  ASSERT_TRUE(OSND_Init(44100, 8, 0));
  SystemPausePoint filling("stream.open.filling");
  OSND_STREAM *s = Open(OSND_MODE_NONBLOCKING);
  ASSERT_NE(s, nullptr);
  ASSERT_TRUE(filling.WaitReached());
  EXPECT_EQ(OSND_Stream_GetTime(s), 0);
  EXPECT_EQ(OSND_GetError(), OSND_ERR_INVALID_PARAM);
  EXPECT_EQ(OSND_Stream_GetPosition(s), 0);
  EXPECT_EQ(OSND_GetError(), OSND_ERR_INVALID_PARAM);
  filling.Release();
  EXPECT_TRUE(PollUntil([&] { return OsndStream_IsReady(s); }));
}

// A bank stream in background mode whose sync callback chooses the next entry
// and reads the stream under the stream-decode lock: the open thread makes
// each choice only once that lock is free, and it is the entry played next. The first entry's
// low rate sizes the stream's buffer (about 2000 samples), whose halves the
// others' rate plays in some 23 ms each: the streamer refills one about every
// other pass.
TEST_F(StreamThreads, AnEntryChosenInTheBackgroundWaitsForTheStreamLock) {
  ASSERT_TRUE(OSND_Init(44100, 8, 0));
  const std::vector<uint8_t> bank =
      Bank({Level(1000, 8000, 4410), Level(5000, 30000, 44100), Level(9000, 30000, 44100)});
  OSND_STREAM *s = OSND_Stream_Open(reinterpret_cast<const char *>(bank.data()),
                                    OSND_MODE_MEMORY | OSND_MODE_2D | OSND_MODE_NONBLOCKING, 0, int(bank.size()));
  ASSERT_NE(s, nullptr);
  ASSERT_TRUE(PollUntil([&] { return OsndStream_IsReady(s); }));
  Chooser chooser;
  OsndStream_SetSyncCallback(s, ChooseNextEntry, &chooser);
  ASSERT_NE(OSND_Stream_AddSyncPoint(s, 1100, "choose"), nullptr);
  ASSERT_TRUE(OSND_Stream_SetSubStream(s, 1));
  for (int round = 0; round < 4; ++round) {
    SCOPED_TRACE(round);
    ASSERT_TRUE(PollUntil([&] { return OsndStream_IsReady(s); }));
    ASSERT_GE(OSND_Stream_Play(OSND_FREE, s), 0) << OSND_GetError();
    ASSERT_TRUE(PollUntil([&] { return chooser.choices.load() == round + 1; }));
    EXPECT_FALSE(chooser.failed.load());
    // Decoded up to the callback: the entry chosen last (here at first).
    EXPECT_EQ(chooser.level.load(), round % 2 == 0 ? 5000 : 9000);
  }
  ASSERT_TRUE(PollUntil([&] { return OsndStream_IsReady(s); }));
  EXPECT_TRUE(OSND_Stream_Close(s));
  OSND_Close();
  EXPECT_EQ(SystemMemory_BytesInUse(), baseline);
}

}  // namespace stream_threads_test
