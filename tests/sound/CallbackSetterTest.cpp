// The setters of a stream's end, sync and title callbacks beside the
// streamer's calls and the stream's close: a change on a closing stream
// fails and changes nothing; a clear waits for a title call the streamer
// already read; a change made where the engine holds a lock the call may need
// (a DSP unit's callback, a refill) returns at once. The streamer is stopped
// at its pause points, so each interleaving is made, not hoped for.
#include "HttpTestServerSupport.h"
#include "SoundTestSupport.h"
#include "WaitSupport.h"
#include "sound/src/source/source_net.h"
#include "sound/src/stream/osnd_stream.h"
#include "sound/src/system/system_file.h"
#include "sound/src/system/system_pause.h"

#include <atomic>
#include <cstdio>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <thread>

namespace callback_setter_test {

namespace {

// As long as a starved machine may need: these only catch a hang, never
// decide an order.
constexpr int kStepMs = kActDeadlineMs;

std::atomic<int> gCalls{0};
bool CountCall(OSND_STREAM *, void *, int, void *) { return ++gCalls > 0; }
bool OtherCall(OSND_STREAM *, void *, int, void *) { return true; }

// Makes `change` meet another thread's close of s, which stops after its
// mark: the close marks s first, or the change holds s first and goes on
// once the mark is set. While the close is stopped there, `check` looks at
// the stream, given what the change answered.
void ChangeBesideAClose(OSND_STREAM *s, bool heldFirst, const std::function<bool()> &change,
                        const std::function<void(bool)> &check) {
  std::atomic<std::thread::id> changer{};
  SystemPausePoint held("stream.call.held", [&] { return std::this_thread::get_id() == changer.load(); });
  std::atomic<bool> changed{false};
  std::thread changing;
  if (heldFirst) {
    changing = std::thread([&] {
      changer = std::this_thread::get_id();
      changed = change();
    });
    if (!held.WaitReached(kStepMs)) {
      changing.join();
      ADD_FAILURE() << "the change never held the stream";
      return;
    }
  }
  SystemPausePoint marked("stream.close.marked");
  std::thread close([&] { EXPECT_TRUE(OSND_Stream_Close(s)); });
  const bool closing = marked.WaitReached(kStepMs);
  if (heldFirst) {
    held.Release();
    Watchdog dog(kHangSeconds, "a change held across a close's mark");
    changing.join();
  } else if (closing) {
    changed = change();
  }
  if (closing) check(changed);
  marked.Release();
  Watchdog dog(kHangSeconds, "a close stopped after its mark");
  close.join();
  EXPECT_TRUE(closing) << "the close never marked the stream";
}

class CallbackSetter : public RampStreamTest {
 protected:
  CallbackSetter() : RampStreamTest("callback-setter") {}
  void SetUp() override {
    gCalls = 0;
    RampStreamTest::SetUp();
  }
  // Plays s with sync points until the streamer has read its sync slot for a
  // call and stopped at `read`.
  static void PlayUntilASyncCallIsRead(OSND_STREAM *s, SystemPausePoint &read) {
    ASSERT_TRUE(OsndStream_SetSyncCallback(s, CountCall, nullptr));
    for (unsigned at : {100u, 8000u, 16000u}) ASSERT_NE(OSND_Stream_AddSyncPoint(s, at, "point"), nullptr);
    ASSERT_GE(OSND_Stream_Play(OSND_FREE, s), 0);
    ASSERT_TRUE(read.WaitReached(kStepMs)) << "the streamer never read the sync slot";
  }
  static OSND_STREAMCALLBACK SlotUnderLock(OSND_STREAMCALLBACK &slot) {
    SystemLockGuard list(gOsndStreams.listLock);
    return slot;
  }
};

// A change meets another thread's close (stopped after its mark) in either
// order: the close marked the stream before the change's hold, or the change
// held the stream first and the mark came before its lock. Either way the
// change fails, as any call on a closing stream does, and the slot keeps the
// callback it had.
TEST_F(CallbackSetter, AChangeOnAClosingStreamFailsAndChangesNothing) {
  struct Setter {
    const char *name;
    bool (*set)(OSND_STREAM *, OSND_STREAMCALLBACK, void *);
    OSND_STREAMCALLBACK OSND_STREAM::*slot;
  };
  const Setter setters[] = {{"end", OsndStream_SetEndCallback, &OSND_STREAM::endCallback},
                            {"sync", OsndStream_SetSyncCallback, &OSND_STREAM::syncCallback}};
  for (const Setter &setter : setters) {
    for (const bool heldFirst : {false, true}) {
      SCOPED_TRACE(std::string(setter.name) + (heldFirst ? ": held before the mark" : ": marked before the hold"));
      OSND_STREAM *s = Open();
      ASSERT_NE(s, nullptr);
      ASSERT_TRUE(setter.set(s, CountCall, nullptr));
      ChangeBesideAClose(s, heldFirst, [&] { return setter.set(s, OtherCall, nullptr); }, [&](bool changed) {
        EXPECT_FALSE(changed) << "the change succeeded on a closing stream";
        EXPECT_EQ(OSND_GetError(), OSND_ERR_INVALID_PARAM);
        EXPECT_EQ(SlotUnderLock(s->*setter.slot), &CountCall) << "the slot changed on a closing stream";
      });
    }
  }
}

// What a DSP unit's callback does once armed: a change of the stream's sync
// slot, under the mixer's lock.
struct UnitChange {
  OSND_STREAM *stream = nullptr;
  std::atomic<bool> armed{false}, returned{false}, changed{false};
};

void *ChangeInUnit(void *, void *buffer, int, void *user) {
  auto &change = *static_cast<UnitChange *>(user);
  if (change.armed.exchange(false)) {
    change.changed = OsndStream_SetSyncCallback(change.stream, OtherCall, nullptr);
    change.returned = true;
  }
  return buffer;
}

// A sync call is under way (the streamer stopped after reading the slot)
// when a DSP unit's callback changes that slot: the change returns at once,
// since the call may need the mixer's lock the unit's callback holds.
TEST_F(CallbackSetter, AChangeInsideADspUnitCallbackReturnsAtOnce) {
  UnitChange change;
  change.stream = stream;
  OSND_DSPUNIT *unit = OSND_DSP_Create(ChangeInUnit, 500, &change);
  ASSERT_NE(unit, nullptr);
  OSND_DSP_SetActive(unit, true);
  SystemPausePoint read("stream.callback.read");
  PlayUntilASyncCallIsRead(stream, read);
  change.armed = true;
  // The call stays stopped: a change that waits for it never returns.
  const bool returned = PollUntil([&] { return change.returned.load(); }, kStepMs);
  read.Release();
  EXPECT_TRUE(returned) << "a change inside a DSP unit's callback waited for the call under way";
  {
    Watchdog dog(kHangSeconds, "a change inside a DSP unit's callback");
    ASSERT_TRUE(PollUntil([&] { return change.returned.load(); }, kStepMs));
  }
  EXPECT_TRUE(change.changed.load());
  EXPECT_EQ(SlotUnderLock(stream->syncCallback), &OtherCall);
  EXPECT_TRUE(PollUntil([] { return gCalls.load() > 0; }, kStepMs)) << "the call read before the change never ran";
  OSND_DSP_Free(unit);
}

// File callbacks that read the ramp; on the thread named, the first read
// changes the stream's sync slot (a refill's file callback).
struct RefillChange {
  OSND_STREAM *stream = nullptr;
  std::atomic<std::thread::id> on{};
  std::atomic<bool> attempted{false}, changed{false};
};
RefillChange *gRefillChange = nullptr;

void *RampOpen(const char *name) { return std::fopen(name, "rb"); }
void RampClose(void *handle) { std::fclose(static_cast<FILE *>(handle)); }
int RampRead(void *buffer, int bytes, void *handle) {
  RefillChange *change = gRefillChange;
  if (change && change->on.load() == std::this_thread::get_id() && !change->attempted.exchange(true))
    change->changed = OsndStream_SetSyncCallback(change->stream, OtherCall, nullptr);
  return int(std::fread(buffer, 1, size_t(bytes), static_cast<FILE *>(handle)));
}
int RampSeek(void *handle, int offset, int whence) { return std::fseek(static_cast<FILE *>(handle), offset, whence); }
int RampTell(void *handle) { return int(std::ftell(static_cast<FILE *>(handle))); }

// A sync call is under way when the application's seek refills the stream
// and the file callback changes that slot: the change returns at once, since
// the call may need the stream-decode lock the refill holds.
TEST_F(CallbackSetter, AChangeInsideARefillReturnsAtOnce) {
  RefillChange change;
  gRefillChange = &change;
  SystemFile_SetUserCallbacks(RampOpen, RampClose, RampRead, RampSeek, RampTell);
  struct Restore {
    ~Restore() {
      SystemFile_SetUserCallbacks(nullptr, nullptr, nullptr, nullptr, nullptr);
      gRefillChange = nullptr;
    }
  } restore;
  OSND_STREAM *s = Open();
  ASSERT_NE(s, nullptr);
  change.stream = s;
  SystemPausePoint read("stream.callback.read");
  PlayUntilASyncCallIsRead(s, read);
  std::atomic<bool> seekReturned{false};
  std::thread seek([&] {
    change.on = std::this_thread::get_id();
    EXPECT_TRUE(OSND_Stream_SetPosition(s, 0));
    seekReturned = true;
  });
  // The call stays stopped: a change that waits for it never returns.
  const bool returned = PollUntil([&] { return seekReturned.load(); }, kStepMs);
  read.Release();
  EXPECT_TRUE(returned) << "a change inside a refill waited for the call under way";
  {
    Watchdog dog(kHangSeconds, "a seek whose refill changed a slot");
    seek.join();
  }
  EXPECT_TRUE(change.attempted.load()) << "the seek's refill read nothing";
  EXPECT_TRUE(change.changed.load());
  EXPECT_EQ(SlotUnderLock(s->syncCallback), &OtherCall);
  EXPECT_TRUE(PollUntil([] { return gCalls.load() > 0; }, kStepMs)) << "the call read before the change never ran";
}

std::string ReadFile(const std::string &path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// An internet station on a server of the test's own whose stream carries a
// title every 100 bytes, played on the real-time output.
class TitleSetter : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    const std::string wav = TestFile("title-setter", "tone.wav"), mp3 = TestFile("title-setter", "tone.mp3");
    ASSERT_TRUE(RunQuiet("sox -n -r 22050 -c 2 -b 16 " + wav + " synth 4 sine 440 gain -3"));
    ASSERT_TRUE(RunQuiet("lame --quiet -b 64 " + wav + " " + mp3));
    body = new std::string(IcyBody(ReadFile(mp3), 100, {"StreamTitle='One';"}));
    ASSERT_GT(body->size(), 1000u);
  }
  static void TearDownTestSuite() {
    RemoveTestFiles("title-setter");
    delete body;
    body = nullptr;
  }
  void SetUp() override {
    OsndOutputNoSound.mixerThread = 1;
    ASSERT_TRUE(OSND_SetOutput(OSND_OUTPUT_NOSOUND));
    ASSERT_TRUE(OSND_Init(44100, 8, 0));
    station = OSND_Stream_Open(server.Url("/titled").c_str(), 0, 0, 0);
    ASSERT_NE(station, nullptr) << OSND_GetError();
  }
  void TearDown() override { OSND_Close(); }
  OSND_METADATACALLBACK TitleSlot() {
    SystemLockGuard list(gOsndStreams.listLock);
    return static_cast<OsndNetStream *>(station->formatState)->metadataCallback;
  }

  static std::string *body;
  HttpTestServer server{[](const std::string &) {
    HttpReply reply;
    reply.head = OkHead({"icy-metaint:100"}, "ICY 200 OK");
    reply.body = *body;
    return reply;
  }};
  OSND_STREAM *station = nullptr;
};
std::string *TitleSetter::body = nullptr;

struct TitleCalls {
  std::atomic<int> begun{0}, ended{0}, begunAfterClear{0};
  std::atomic<bool> clearReturned{false};
};
TitleCalls *gTitles = nullptr;

bool CountTitle(char *, char *, void *) {
  if (gTitles->clearReturned) ++gTitles->begunAfterClear;
  ++gTitles->begun;
  ++gTitles->ended;
  return true;
}
bool OtherTitle(char *, char *, void *) { return true; }

// The streamer has read the title slot and stopped before the call when
// another thread clears it: the clear does not return before that call has
// run (it stops where it waits for the call; it must not return instead),
// so no title call begins after a clear has returned.
TEST_F(TitleSetter, AClearWaitsForTheTitleCallAlreadyRead) {
  TitleCalls titles;
  gTitles = &titles;
  ASSERT_TRUE(OSND_Stream_Net_SetMetadataCallback(station, CountTitle, nullptr));
  SystemPausePoint read("stream.callback.read");
  ASSERT_GE(OSND_Stream_Play(OSND_FREE, station), 0);
  ASSERT_TRUE(read.WaitReached(kStepMs)) << "the streamer never read the title slot";
  // Titles the open's prefill queued may have been delivered between the
  // callback's setting and the pause's arming; the streamer, their only
  // caller, is stopped now, so this count stands still until the release.
  const int endedBefore = titles.ended.load();
  SystemPausePoint waiting("stream.slot.waiting");
  std::atomic<int> endedAtReturn{-1};
  std::thread clear([&] {
    EXPECT_TRUE(OSND_Stream_Net_SetMetadataCallback(station, nullptr, nullptr));
    endedAtReturn = titles.ended.load();
    titles.clearReturned = true;
  });
  // Either step ends this: the clear stopped before its wait, or returned.
  const bool stepped = PollUntil([&] { return waiting.Reached() || titles.clearReturned.load(); }, kStepMs);
  read.Release();
  ASSERT_TRUE(PollUntil([&] { return titles.begun.load() > 0; }, kStepMs)) << "the title call read never ran";
  waiting.Release();
  {
    Watchdog dog(kHangSeconds, "a clear waiting for a title call");
    clear.join();
  }
  EXPECT_TRUE(stepped);
  EXPECT_EQ(titles.begunAfterClear.load(), 0) << "the title call read before the clear began after it returned";
  EXPECT_EQ(endedAtReturn.load(), endedBefore + 1) << "the clear returned before the title call it let through ended";
  EXPECT_EQ(TitleSlot(), nullptr);
  gTitles = nullptr;
}

// A title change meets another thread's close (stopped after its mark) in
// either order, as the end and sync changes do: it fails and the record
// keeps the callback it had.
TEST_F(TitleSetter, AChangeOnAClosingStationFailsAndChangesNothing) {
  for (const bool heldFirst : {false, true}) {
    SCOPED_TRACE(heldFirst ? "held before the mark" : "marked before the hold");
    if (heldFirst) {
      station = OSND_Stream_Open(server.Url("/titled").c_str(), 0, 0, 0);
      ASSERT_NE(station, nullptr) << OSND_GetError();
    }
    ASSERT_TRUE(OSND_Stream_Net_SetMetadataCallback(station, OtherTitle, nullptr));
    const auto change = [&] { return OSND_Stream_Net_SetMetadataCallback(station, nullptr, nullptr); };
    ChangeBesideAClose(station, heldFirst, change, [&](bool changed) {
      EXPECT_FALSE(changed) << "the change succeeded on a closing station";
      EXPECT_EQ(OSND_GetError(), OSND_ERR_INVALID_PARAM);
      EXPECT_EQ(TitleSlot(), &OtherTitle) << "the title slot changed on a closing station";
    });
  }
}

}  // namespace

}  // namespace callback_setter_test
