// A song load or sub-stream selection asked for in the background beside its
// record's free or close: each test stops the call between its check of the
// record and its queuing while the other party frees or closes it. The call
// queues nothing and fails, or the queue keeps a freed record
// (AddressSanitizer: a use of freed memory as the queue is next walked).
#include "OsbWriterSupport.h"
#include "SoundTestSupport.h"
#include "TrackerWriterSupport.h"
#include "sound/src/song/music_core.h"
#include "sound/src/stream/osnd_stream.h"
#include "sound/src/system/system_memory.h"
#include "sound/src/system/system_pause.h"

#include <atomic>
#include <functional>
#include <optional>
#include <thread>
#include <vector>

namespace queue_hand_off_test {

namespace {

// The pause points armed here stop the asking call's thread only.
thread_local bool tAsking = false;
bool OnAskingThread() { return tAsking; }

class QueueHandOff : public NonRealtimeEngine {
 protected:
  void SetUp() override {
    NonRealtimeEngine::SetUp();
    baseline = SystemMemory_BytesInUse();
  }
  void TearDown() override {
    if (asking.joinable()) asking.join();
    busy.reset();
    NonRealtimeEngine::TearDown();
  }
  void Ask(std::function<void()> call) {
    asking = std::thread([call] {
      tAsking = true;
      call();
    });
  }
  OSND_STREAM *OpenInBackground() {
    static const std::vector<int16_t> pcm(2000, 100);
    return OSND_Stream_Open(reinterpret_cast<const char *>(pcm.data()),
                            OSND_MODE_MEMORY | OSND_MODE_RAW | OSND_MODE_16BITS | OSND_MODE_NONBLOCKING, 0,
                            int(pcm.size() * 2));
  }
  // Stops the open thread halfway through an open of its own: what is queued
  // meanwhile stays in the queue until LetTheQueueGo.
  void StopTheQueue() {
    busy.emplace("stream.open.filling");
    first = OpenInBackground();
    ASSERT_NE(first, nullptr);
    ASSERT_TRUE(busy->WaitReached());
  }
  // Returns once the open thread has taken all that was queued: a stream
  // opened in the background after it, in the same queue, opens last.
  void LetTheQueueGo() {
    busy->Release();
    OSND_STREAM *last = OpenInBackground();
    ASSERT_NE(last, nullptr);
    EXPECT_TRUE(PollUntil([last] { return OsndStream_IsReady(last); }));
    EXPECT_TRUE(OSND_Stream_Close(last));
    EXPECT_TRUE(OSND_Stream_Close(first));
  }

  // The engine's threads may hold a closed or freed record a moment after
  // the close returned (the callback thread lets go after its last look at
  // it): the memory in use comes back once they have let go, and a record
  // left behind keeps it up for good.
  void ExpectTheMemoryBack() {
    const bool back = PollUntil([this] { return SystemMemory_BytesInUse() == baseline; }, 60000);
    EXPECT_TRUE(back) << SystemMemory_BytesInUse() - baseline << " bytes still in use a minute after the close";
  }

  std::optional<SystemPausePoint> busy;
  OSND_STREAM *first = nullptr;
  int64_t baseline = 0;
  std::thread asking;
};

// A song's loaded callback retrying a load as the application frees the
// song: the load holds the song when the free begins, and the free returns.
TEST_F(QueueHandOff, ASongLoadBesideItsFreeQueuesNothing) {
  const std::vector<uint8_t> it = OneNoteIt();
  static std::atomic<int> gLoaded;
  gLoaded = 0;
  MusicSong *song = Music_CreateSong();
  song->loadDone = [](MusicSong *, int) { ++gLoaded; };
  ASSERT_NO_FATAL_FAILURE(StopTheQueue());
  SystemPausePoint held("song.call.held", OnAskingThread);
  std::atomic<MusicSong *> loaded{song};
  std::atomic<int> error{-1};
  Ask([&] {
    loaded = Music_LoadSong(song, reinterpret_cast<const char *>(it.data()), OSND_MODE_MEMORY | OSND_MODE_NONBLOCKING,
                            0, int(it.size()), nullptr, 0);
    error = OSND_GetError();
  });
  ASSERT_TRUE(held.WaitReached());
  Music_FreeSong(song);  // returns at once: the load holds the song
  held.Release();
  asking.join();
  EXPECT_EQ(loaded.load(), nullptr) << "a load was queued for a song being freed";
  EXPECT_EQ(error.load(), OSND_ERR_INVALID_PARAM);
  LetTheQueueGo();
  EXPECT_EQ(gLoaded.load(), 0);
  ExpectTheMemoryBack();
}

// A stream's callback selecting the next entry of a bank as the application
// closes the stream: the selection has checked the close mark under the
// decode lock; the close has marked it and dequeued, and waits for that lock.
TEST_F(QueueHandOff, ASubStreamSelectionBesideItsCloseQueuesNothing) {
  const std::vector<uint8_t> bank = Bank({Pcm16(4000), Pcm16(4000, 3)});
  OSND_STREAM *s = OSND_Stream_Open(reinterpret_cast<const char *>(bank.data()),
                                    OSND_MODE_MEMORY | OSND_MODE_NONBLOCKING, 0, int(bank.size()));
  ASSERT_NE(s, nullptr);
  ASSERT_TRUE(PollUntil([s] { return OsndStream_IsReady(s); }));
  ASSERT_NO_FATAL_FAILURE(StopTheQueue());
  SystemPausePoint locked("stream.call.locked", OnAskingThread);
  SystemPausePoint dequeued("stream.close.dequeued");
  std::atomic<bool> selected{true}, closed{false};
  std::atomic<int> error{-1};
  Ask([&] {
    selected = OSND_Stream_SetSubStream(s, 1);
    error = OSND_GetError();
  });
  ASSERT_TRUE(locked.WaitReached());
  std::thread closing([&] { closed = OSND_Stream_Close(s); });
  ASSERT_TRUE(dequeued.WaitReached());
  locked.Release();
  asking.join();
  dequeued.Release();
  closing.join();
  EXPECT_TRUE(closed.load());
  EXPECT_FALSE(selected.load()) << "a selection was queued for a stream being closed";
  EXPECT_EQ(error.load(), OSND_ERR_INVALID_PARAM);
  LetTheQueueGo();
  ExpectTheMemoryBack();
}

}  // namespace

}  // namespace queue_hand_off_test
