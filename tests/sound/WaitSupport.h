// Whether one party waits for another that a test has stopped at a pause
// point, answered by a step the first party takes (it begins to wait, or it
// ends without waiting), never by giving it a while and looking whether it
// went on: a starved thread takes longer to say, and says the same.
#pragma once

#include "SoundTestSupport.h"
#include "ThreadBlocks.h"
#include "sound/src/stream/osnd_stream.h"
#include "sound/src/system/system_pause.h"
#include "sound/src/system/system_thread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <string>
#include <thread>

#include <sys/syscall.h>
#include <unistd.h>

// Set on the thread that runs the act, so that its wait point stops that
// thread only.
inline thread_local bool tActing = false;

// How long an act is given to begin its wait or end: only a hang takes this.
constexpr int kActDeadlineMs = 60000;
// A watchdog's time around waits of that kind: it fires at a hang only.
constexpr int kHangSeconds = kActDeadlineMs / 1000 + 30;

// Runs `act` on a thread of its own and answers whether it reached the point
// `waiting` (the engine's step before it waits; `lock.waiting` for a lock of
// system_thread.h) rather than ending first. Then lets the act go on, makes `release`
// (the stopped party's release) and joins the act.
// `which`, when given, is asked on the act's thread at the point too (for
// `lock.waiting`, whether the lock is the one the act must wait for).
inline bool ActWaits(const char *waiting, const std::function<void()> &act, const std::function<void()> &release,
                     std::function<bool()> which = {}) {
  SystemPausePoint point(waiting, [which] { return tActing && (!which || which()); });
  std::atomic<bool> ended{false};
  std::thread actor([&] {
    tActing = true;
    act();
    ended = true;
  });
  const bool answered = PollUntil([&] { return ended.load() || point.Reached(); }, kActDeadlineMs);
  const bool waits = point.Reached();
  if (!answered) ADD_FAILURE() << "the act neither ended nor began to wait at " << waiting;
  point.Release();
  release();
  actor.join();
  return waits;
}

using QmvTest::ThreadBlockedOnFutex;

// A background open (`open` answers its stream) whose open callback is set
// before the open thread may begin it: a test thread starved between the two
// would otherwise see the open complete without its callback.
template <class Open>
OSND_STREAM *OpenWithCallback(Open open, OSND_STREAMCALLBACK callback) {
  SystemPausePoint taking("queue.work.taken");
  OSND_STREAM *s = open();
  if (s) OsndStream_SetOpenCallback(s, callback);
  return s;
}


// Pause points armed with OnSecondParty stop the thread a test started with
// SecondParty only (the same points are passed by the engine's own threads
// and by the first party's steps).
inline thread_local bool tSecondParty = false;
inline bool OnSecondParty() { return tSecondParty; }
inline std::thread SecondParty(std::function<void()> part) {
  return std::thread([part] {
    tSecondParty = true;
    part();
  });
}

// As ActWaits, for a wait the engine does not name (a join made by a layer
// below it): the act waits once its thread is found blocked on a futex
// while it has not ended.
inline bool ActBlocks(const std::function<void()> &act, const std::function<void()> &release) {
  std::atomic<long> tid{0};
  std::atomic<bool> ended{false};
  std::thread actor([&] {
    tid = long(syscall(SYS_gettid));
    act();
    ended = true;
  });
  bool blocked = false;
  const bool answered = PollUntil(
      [&] {
        if (ended) return true;
        const long id = tid.load();
        blocked = id != 0 && ThreadBlockedOnFutex(id) && !ended;
        return blocked;
      },
      kActDeadlineMs);
  if (!answered) ADD_FAILURE() << "the act neither ended nor blocked";
  release();
  actor.join();
  return blocked;
}

// Counts the samples the mixer has mixed, as a DSP unit of its chain that
// passes the block on untouched: a wait for the mixer to have done a given
// amount of work (and whatever its units do in it, a song's ticks among
// them), however slowly a loaded machine runs it.
class MixCounter {
 public:
  MixCounter() : m_Unit(OSND_DSP_Create(&Count, 1000, this)) {
    if (m_Unit) OSND_DSP_SetActive(m_Unit, true);
  }
  ~MixCounter() { OSND_DSP_Free(m_Unit); }
  MixCounter(const MixCounter &) = delete;
  MixCounter &operator=(const MixCounter &) = delete;
  bool Made() const { return m_Unit != nullptr; }
  // Waits until `samples` more have been mixed from now; false only at a hang.
  bool WaitMixed(int64_t samples, int ms = kActDeadlineMs) {
    const int64_t from = m_Mixed;
    return PollUntil([&] { return m_Mixed - from >= samples; }, ms);
  }

 private:
  static void *Count(void *, void *buffer, int length, void *user) {
    static_cast<MixCounter *>(user)->m_Mixed += length;
    return buffer;
  }
  OSND_DSPUNIT *m_Unit;
  std::atomic<int64_t> m_Mixed{0};
};

// Lets the streamer thread begin `passes` more passes: every pass begun
// before the last has ended once this returns (whatever it refilled or
// called back in it).
inline void PassStreamer(int passes) {
  for (int i = 0; i < passes; ++i) {
    SystemPausePoint pass("streamer.pass");
    ASSERT_TRUE(pass.WaitReached(kActDeadlineMs)) << "the streamer made no pass";
  }
}
