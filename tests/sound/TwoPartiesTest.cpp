// Two parties acting on one object at the same moment, as the callback
// contract allows: a stream's own callback and an application thread (both
// closing it, or one using it while the other closes it), a song's loaded
// callback and the application (both freeing it), and the application's
// close of the engine beside callbacks that close makes or that close it
// too. Run under ThreadSanitizer and AddressSanitizer too.
#include "OsbWriterSupport.h"
#include "SoundTestSupport.h"
#include "TrackerWriterSupport.h"
#include "WaitSupport.h"
#include "sound/src/song/music_core.h"
#include "sound/src/stream/osnd_nonblocking.h"
#include "sound/src/stream/osnd_stream.h"
#include "sound/src/system/system_error.h"
#include "sound/src/system/system_memory.h"
#include "sound/src/system/system_pause.h"

#include <atomic>
#include <chrono>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace two_parties_test {

namespace {

// Two parties meet in a callback: it says it runs, waits for the
// application to begin its part, does its own, and returns only once the
// application's part has returned too. The engine keeps a stream's or a
// song's record while its callback runs, and no longer: a close or free
// made after that would use a freed handle, the test's fault.
// A sanitizer build on a loaded machine can keep a party waiting for seconds:
// the meeting's waits are bounded only to end a hang (the tests' watchdogs
// catch one first).
constexpr int kMeetingMs = kActDeadlineMs;
struct Meeting {
  std::atomic<bool> inside{false}, go{false}, applicationDone{false}, callbackDone{false};
  std::function<void(void *)> inCallback = [](void *) {};
  std::atomic<int> wrong{0};
  void Callback(void *object) {
    inside = true;
    if (!PollUntil([&] { return go.load(); }, kMeetingMs)) ++wrong;
    inCallback(object);
    if (!PollUntil([&] { return applicationDone.load(); }, kMeetingMs)) ++wrong;
    callbackDone = true;
  }
  void Reset() { inside = go = applicationDone = callbackDone = false; }
  // The application's side: lets the callback go on, makes its own part
  // beside it and waits for the callback to end.
  bool Meet(const std::function<void()> &part) {
    if (!PollUntil([&] { return inside.load(); }, kMeetingMs)) return false;
    go = true;
    part();
    applicationDone = true;
    return PollUntil([&] { return callbackDone.load(); }, kMeetingMs);
  }
};
Meeting *gMeeting = nullptr;

bool MeetOnStream(OSND_STREAM *s, void *, int, void *) {
  gMeeting->Callback(s);
  return true;
}
void MeetOnSong(MusicSong *song, int) { gMeeting->Callback(song); }

class TwoParties : public ::testing::Test {
 protected:
  void SetUp() override {
    OsndOutputNoSound.mixerThread = 1;
    baseline = SystemMemory_BytesInUse();
    path = TestFile("two-parties", "ramp.raw");
    ASSERT_TRUE(WriteRawRamp(path, 4000));
    gMeeting = &meeting;
  }
  void TearDown() override {
    StopUpdater();
    OSND_Close();
    OSND_SetOutput(OSND_OUTPUT_NOSOUND);
    gMeeting = nullptr;
    RemoveTestFiles("two-parties");
  }
  // With the non-realtime output the streamer's callbacks come inside
  // OSND_Update: a thread of their own calls it, so that the test's thread is
  // free to be the other party.
  void Start(bool realtime) {
    ASSERT_TRUE(OSND_SetOutput(realtime ? OSND_OUTPUT_NOSOUND : OSND_OUTPUT_NOSOUND_NONREALTIME));
    ASSERT_TRUE(OSND_Init(44100, 16, 0));
    if (realtime) return;
    updating = true;
    updater = std::thread([this] {
      while (updating) {
        OSND_Update();
        std::this_thread::sleep_for(std::chrono::microseconds(500));
      }
    });
  }
  void StopUpdater() {
    updating = false;
    if (updater.joinable()) updater.join();
  }
  void Stop() {
    StopUpdater();
    OSND_Close();
  }
  // A stream whose open-complete callback (background open) or end callback
  // (played near its end) will meet the test's thread.
  OSND_STREAM *OpenMeeting(bool onOpen) {
    const unsigned mode = OSND_MODE_RAW | OSND_MODE_16BITS | OSND_MODE_STEREO;
    if (onOpen) {
      return OpenWithCallback([&] { return OSND_Stream_Open(path.c_str(), mode | OSND_MODE_NONBLOCKING, 0, 0); },
                              MeetOnStream);
    }
    OSND_STREAM *s = OSND_Stream_Open(path.c_str(), mode, 0, 0);
    if (s) {
      OsndStream_SetEndCallback(s, MeetOnStream, nullptr);
      if (!OSND_Stream_SetPosition(s, 4 * 3500) || OSND_Stream_Play(OSND_FREE, s) < 0) ++meeting.wrong;
    }
    return s;
  }

  Meeting meeting;
  std::string path;
  int64_t baseline = 0;
  std::atomic<bool> updating{false};
  std::thread updater;
};

}  // namespace

// A stream's open-complete or end callback closes its stream, or seeks,
// plays and stops it, while the application closes the same stream: both
// closes answer true and the stream is freed once; the callback's other
// calls either finish before its parts are released or fail. On either
// output, many rounds, so that the two meet at every point of the close.
TEST_F(TwoParties, AStreamClosedWhileItsOwnCallbackUsesOrClosesIt) {
  for (const bool realtime : {true, false}) {
    for (const bool onOpen : {true, false}) {
      for (const bool callbackCloses : {true, false}) {
        SCOPED_TRACE(std::string(realtime ? "real-time" : "non-realtime") + (onOpen ? ", open" : ", end") +
                     (callbackCloses ? ", closes" : ", seeks"));
        Start(realtime);
        std::atomic<int> closedByCallback{0};
        meeting.inCallback = [&](void *object) {
          auto *s = static_cast<OSND_STREAM *>(object);
          if (callbackCloses) {
            closedByCallback += OSND_Stream_Close(s);
            return;
          }
          for (int i = 0; i < 30; ++i) {
            OSND_Stream_SetPosition(s, 4 * unsigned(i * 50));
            OSND_Stream_Play(OSND_FREE, s);
            OSND_Stream_GetTime(s);
            OSND_Stream_Stop(s);
          }
        };
        Watchdog dog(kHangSeconds, "a stream closed by two parties");
        for (int round = 0; round < 12; ++round) {
          meeting.Reset();
          OSND_STREAM *s = OpenMeeting(onOpen);
          ASSERT_NE(s, nullptr);
          ASSERT_TRUE(meeting.Meet([&] {
            // Spread over the callback's part: at once, or a little later.
            if (round % 3) std::this_thread::sleep_for(std::chrono::microseconds(100 * (round % 3)));
            EXPECT_TRUE(OSND_Stream_Close(s));
          })) << "round " << round;
        }
        if (callbackCloses) {
          EXPECT_EQ(closedByCallback.load(), 12) << "a close from the callback answered false";
        }
        Stop();
        EXPECT_EQ(meeting.wrong.load(), 0);
        EXPECT_EQ(SystemMemory_BytesInUse(), baseline);
      }
    }
  }
}

// A song freed by the application while its loaded callback runs, then by
// that callback (or by the callback first, then by the application while
// the callback still runs): freed once, whichever comes first.
TEST_F(TwoParties, ASongFreedByTheApplicationAndByItsLoadedCallbackIsFreedOnce) {
  const std::vector<uint8_t> bank = Bank({Pcm16(400)});
  for (const bool realtime : {true, false}) {
    for (const bool applicationFirst : {true, false}) {
      SCOPED_TRACE(std::string(realtime ? "real-time" : "non-realtime") +
                   (applicationFirst ? ", application first" : ", callback first"));
      Start(realtime);
      std::atomic<int> callbackFreed{0};
      meeting.inCallback = [&](void *song) {
        // The application's free has begun, or waits for this one.
        if (applicationFirst) std::this_thread::sleep_for(std::chrono::milliseconds(2));
        Music_FreeSong(static_cast<MusicSong *>(song));
        ++callbackFreed;
      };
      Watchdog dog(kHangSeconds, "a song freed by two parties");
      for (int round = 0; round < 8; ++round) {
        meeting.Reset();
        const int freed = callbackFreed;
        MusicSong *song = Music_CreateSong();
        song->loadDone = MeetOnSong;
        ASSERT_NE(Music_LoadSong(song, reinterpret_cast<const char *>(bank.data()),
                                 OSND_MODE_MEMORY | OSND_MODE_NONBLOCKING, 0, int(bank.size()), nullptr, 0),
                  nullptr);
        ASSERT_TRUE(meeting.Meet([&] {
          if (!applicationFirst) {
            EXPECT_TRUE(PollUntil([&] { return callbackFreed.load() > freed; }));
          }
          Music_FreeSong(song);
        }));
      }
      Stop();
      EXPECT_EQ(meeting.wrong.load(), 0);
      EXPECT_EQ(SystemMemory_BytesInUse(), baseline);
    }
  }
}

// A song freed by its own loaded callback while the application uses it, and
// the other way round: the song, its channels and callbacks stay whole until
// the callback has returned, every call made after the free fails with
// OSND_ERR_INVALID_PARAM, and the song goes once the last party lets go, with
// nothing left allocated. An IT song: its start writes into its channels.
TEST_F(TwoParties, ASongFreedWhileTheOtherPartyUsesItIsReleasedAfterBoth) {
  const std::vector<uint8_t> it = OneNoteIt();
  auto refusedCalls = [](MusicSong *song) {
    int refused = 0;
    gOsndError.lastError.ClearOwn();
    refused += !Music_StopSong(song) && gOsndError.lastError.load() == OSND_ERR_INVALID_PARAM;
    refused += !Music_PlaySong(song) && gOsndError.lastError.load() == OSND_ERR_INVALID_PARAM;
    refused += !Music_SetCallback(song, MUSIC_CALLBACK_ROW, 0, [](MusicSong *, int) {}, 1);
    refused += Music_SetLooping(song, true) == -1;
    return refused;
  };
  for (const bool realtime : {true, false}) {
    for (const bool callbackFrees : {true, false}) {
      SCOPED_TRACE(std::string(realtime ? "real-time" : "non-realtime") +
                   (callbackFrees ? ", the callback frees" : ", the application frees"));
      Start(realtime);
      std::atomic<int> refusedInCallback{0};
      meeting.Reset();
      meeting.inCallback = [&](void *object) {
        auto *song = static_cast<MusicSong *>(object);
        if (callbackFrees) {
          Music_FreeSong(song);
          return;
        }
        // The application's free has returned: the record is still this
        // callback's to read, but the song is no longer usable.
        ASSERT_TRUE(PollUntil([&] { return meeting.applicationDone.load(); }));
        EXPECT_EQ(song->type, MUSIC_TYPE_IT);
        refusedInCallback = refusedCalls(song);
      };
      MusicSong *song = Music_CreateSong();
      song->loadDone = MeetOnSong;
      ASSERT_NE(Music_LoadSong(song, reinterpret_cast<const char *>(it.data()),
                               OSND_MODE_MEMORY | OSND_MODE_NONBLOCKING, 0, int(it.size()), nullptr, 0),
                nullptr);
      Watchdog dog(kHangSeconds, "a song freed while the other party uses it");
      int refused = 0;
      ASSERT_TRUE(meeting.Meet([&] {
        if (!callbackFrees) {
          Music_FreeSong(song);
          return;
        }
        // The callback's free has begun; its song is used here meanwhile.
        EXPECT_TRUE(PollUntil([&] { return OsndLifetime_Closing(&song->life); }));
        refused = refusedCalls(song);
      }));
      EXPECT_EQ(callbackFrees ? refused : refusedInCallback.load(), 4);
      Stop();
      EXPECT_EQ(meeting.wrong.load(), 0);
      EXPECT_EQ(SystemMemory_BytesInUse(), baseline);
    }
  }
}

// The application's close makes the open-complete and song-loaded callbacks
// still waiting; one that closes the engine, or closes it, starts it and
// opens in the background, is refused (the close under way closes it) and
// the application's close returns, with the engine closed and no engine
// thread left. A close made inside such a callback when no other close runs
// drops the callbacks still waiting: none comes after it.
TEST_F(TwoParties, CallbacksOfTheApplicationsCloseMayNotCloseTheEngineToo) {
  const std::vector<uint8_t> bank = Bank({Pcm16(400)});
  for (const bool restart : {false, true}) {
    SCOPED_TRACE(restart ? "close, start and open" : "close");
    Start(true);
    std::atomic<bool> closing{false};
    std::atomic<int> refused{0}, waited{0};
    meeting.Reset();
    // The first callback holds the callback thread until the close has begun
    // (stopped at its step, then let go), so that the second one is made by
    // the close.
    static SystemPausePoint *gCloseTaken;
    SystemPausePoint closeTaken("engine.close.taken");
    gCloseTaken = &closeTaken;
    OSND_STREAM *first = OpenWithCallback(
        [&] { return OSND_Stream_Open(path.c_str(), OSND_MODE_RAW | OSND_MODE_NONBLOCKING, 0, 0); },
        [](OSND_STREAM *, void *, int, void *) {
          gMeeting->Callback(nullptr);
          EXPECT_TRUE(gCloseTaken->WaitReached(kActDeadlineMs)) << "the application's close never began";
          gCloseTaken->Release();
          return true;
        });
    ASSERT_NE(first, nullptr);
    ASSERT_TRUE(PollUntil([&] { return meeting.inside.load(); }));
    MusicSong *song = Music_CreateSong();
    static std::function<void()> gOnLoaded;
    gOnLoaded = [&] {
      ++waited;
      if (!closing) return;
      gOsndError.lastError.ClearOwn();
      OSND_Close();
      refused += gOsndError.lastError.load() == OSND_ERR_CALLBACK;
      if (!restart) return;
      gOsndError.lastError.ClearOwn();
      refused += !OSND_Init(44100, 16, 0) && gOsndError.lastError.load() == OSND_ERR_CALLBACK;
      refused += !OSND_Stream_Open(path.c_str(), OSND_MODE_RAW | OSND_MODE_NONBLOCKING, 0, 0) &&
                 gOsndError.lastError.load() == OSND_ERR_UNINITIALISED;
    };
    song->loadDone = [](MusicSong *, int) { gOnLoaded(); };
    ASSERT_NE(Music_LoadSong(song, reinterpret_cast<const char *>(bank.data()),
                             OSND_MODE_MEMORY | OSND_MODE_NONBLOCKING, 0, int(bank.size()), nullptr, 0),
              nullptr);
    ASSERT_TRUE(PollUntil([&] { return Music_IsLoaded(song); }));
    closing = true;
    meeting.go = meeting.applicationDone = true;
    {
      Watchdog dog(kHangSeconds, "the application's close beside a callback that closes the engine");
      Stop();
    }
    EXPECT_EQ(waited.load(), 1);
    EXPECT_EQ(refused.load(), restart ? 3 : 1);
    EXPECT_EQ(EngineThreadsAfterClose(), 0);
    gOsndError.lastError.ClearOwn();
    EXPECT_EQ(OSND_Stream_Open(path.c_str(), OSND_MODE_RAW, 0, 0), nullptr) << "the engine is open after its close";
    Music_FreeSong(song);
    gOnLoaded = nullptr;
  }

  // Without a close under way, a loaded callback's close drops the loaded
  // callbacks still waiting.
  Start(true);
  meeting.Reset();
  std::vector<MusicSong *> songs;
  static std::atomic<int> gLoadedAfterClose;
  gLoadedAfterClose = -1;
  for (int i = 0; i < 4; ++i) {
    songs.push_back(Music_CreateSong());
    songs.back()->loadDone = [](MusicSong *, int) {
      if (gLoadedAfterClose >= 0) {
        ++gLoadedAfterClose;
        return;
      }
      gMeeting->Callback(nullptr);  // holds the thread until all four have loaded
      OSND_Close();
      gLoadedAfterClose = 0;
    };
    ASSERT_NE(Music_LoadSong(songs.back(), reinterpret_cast<const char *>(bank.data()),
                             OSND_MODE_MEMORY | OSND_MODE_NONBLOCKING, 0, int(bank.size()), nullptr, 0),
              nullptr);
  }
  ASSERT_TRUE(PollUntil([&] { return meeting.inside.load(); }));
  ASSERT_TRUE(PollUntil([&] {
    for (MusicSong *song : songs)
      if (!Music_IsLoaded(song)) return false;
    return true;
  }));
  meeting.go = meeting.applicationDone = true;
  ASSERT_TRUE(PollUntil([&] { return gLoadedAfterClose.load() >= 0; }));
  // The callback thread ends after the close made on it: whatever it was to
  // call has been called by then.
  ASSERT_TRUE(PollUntil([] { return EngineThreadCount() == 0; }, kActDeadlineMs))
      << "an engine thread outlived the close";
  EXPECT_EQ(gLoadedAfterClose.load(), 0) << "loaded callbacks after the close";
  OSND_Close();
  for (MusicSong *song : songs) Music_FreeSong(song);
}

// A loaded callback's close of the engine, or its restart (close, start and
// a background open), holds the engine's close when the application's close
// begins on another thread: that close waits for it, joins no thread twice,
// closes what a restart started, and returns.
TEST_F(TwoParties, TheApplicationsCloseWaitsForACallbacksCloseOrRestart) {
  const std::vector<uint8_t> bank = Bank({Pcm16(400)});
  for (const bool restart : {false, true}) {
    SCOPED_TRACE(restart ? "restart" : "close");
    Start(true);
    SystemPausePoint taken(restart ? "engine.start.closed" : "engine.close.taken", OsndNonBlocking_IsCallbackThread);
    static std::function<void()> gOnLoaded;
    gOnLoaded = [&] {
      OSND_Close();
      if (!restart) return;
      EXPECT_TRUE(OSND_Init(44100, 16, 0)) << "the start that came first was refused";
      OSND_Stream_Open(path.c_str(), OSND_MODE_RAW | OSND_MODE_NONBLOCKING, 0, 0);
    };
    MusicSong *song = Music_CreateSong();
    song->loadDone = [](MusicSong *, int) { gOnLoaded(); };
    ASSERT_TRUE(Music_LoadSong(song, reinterpret_cast<const char *>(bank.data()),
                               OSND_MODE_MEMORY | OSND_MODE_NONBLOCKING, 0, int(bank.size()), nullptr, 0));
    ASSERT_TRUE(taken.WaitReached());
    Watchdog dog(kHangSeconds, "the application's close beside a callback's");
    SystemPausePoint waiting("engine.close.waiting", [] { return !OsndNonBlocking_IsCallbackThread(); });
    std::thread application(OSND_Close);
    EXPECT_TRUE(waiting.WaitReached()) << "the application's close did not wait for the callback's";
    waiting.Release();
    taken.Release();
    application.join();
    EXPECT_EQ(EngineThreadsAfterClose(), 0);
    EXPECT_EQ(OSND_Stream_Open(path.c_str(), OSND_MODE_RAW, 0, 0), nullptr) << "the engine is open after its close";
    Music_FreeSong(song);
    EXPECT_EQ(SystemMemory_BytesInUse(), baseline);
  }
}

}  // namespace two_parties_test
