// Named pause points: steps of the engine's own threads and calls (between a
// call's hold and its lock, between a free's mark and its release) at which a
// test can stop one party while another acts, so that an interleaving a few
// instructions wide is made on purpose rather than hoped for. Only test
// builds compile them in (QMV_PAUSE_POINTS); elsewhere a point is nothing.
#pragma once

#if QMV_PAUSE_POINTS

#include <functional>

// Stops the calling thread here while a test has armed `name` and the arm's
// condition holds on this thread; returns at once otherwise (one atomic load
// while nothing is armed).
void SystemPause_At(const char *name);
#define OSND_PAUSE_POINT(name) SystemPause_At(name)

// A test's arm of one point: the first thread to reach it (for which `when`,
// evaluated on that thread, answers true) stops there until Release or the
// arm's end. One thread stops per arm; later ones pass.
class SystemPausePoint {
 public:
  explicit SystemPausePoint(const char *name, std::function<bool()> when = {});
  ~SystemPausePoint();  // releases a stopped thread and disarms
  SystemPausePoint(const SystemPausePoint &) = delete;
  SystemPausePoint &operator=(const SystemPausePoint &) = delete;
  // Waits until a thread has stopped at the point; false after `ms`, which
  // by default only a party that never comes waits out, not a starved one.
  bool WaitReached(int ms = 60000);
  // Whether a thread has stopped there (it may have been released since).
  bool Reached() const;
  // Lets the stopped thread go on (and any that comes later pass).
  void Release();

 // What a point's arm keeps (system_pause.cpp).
  struct State;

 private:
  State *m_State;
};

#else

#define OSND_PAUSE_POINT(name) ((void)0)

#endif

// Holds `lock` for a scope. A thread that finds it held by another passes the
// point `waiting` before it waits, so that a test which stopped one party
// inside the lock sees another begin to wait for it, as a step of its own,
// rather than giving it a while and looking whether it went on.
template <class Mutex>
class SystemWaitingLock {
 public:
  SystemWaitingLock(Mutex &lock, const char *waiting) : m_Lock(lock) {
#if QMV_PAUSE_POINTS
    if (m_Lock.try_lock()) return;
    OSND_PAUSE_POINT(waiting);
#endif
    (void)waiting;
    m_Lock.lock();
  }
  ~SystemWaitingLock() { m_Lock.unlock(); }
  SystemWaitingLock(const SystemWaitingLock &) = delete;
  SystemWaitingLock &operator=(const SystemWaitingLock &) = delete;

 private:
  Mutex &m_Lock;
};
