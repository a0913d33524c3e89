#include "sound/src/system/system_pause.h"

#if QMV_PAUSE_POINTS

#include <algorithm>
#include <cstdint>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

struct SystemPausePoint::State {
  uint64_t arm = 0;  // which arm: a later arm's state may reuse this one's memory
  std::string name;
  std::function<bool()> when;
  bool reached = false, released = false;
};

namespace {

std::atomic<int> gArmed{0};
std::mutex gLock;
std::condition_variable gChanged;
std::vector<SystemPausePoint::State *> gPoints;
uint64_t gArms = 0;

// A stopped thread goes on by itself after this long, so that a test that
// forgot to release it fails on its own checks instead of hanging the run.
// Longer than a test gives the other party to act (a minute), so that a
// starved act never finds the party already gone on.
constexpr auto kLongestStop = std::chrono::seconds(90);


bool Armed(SystemPausePoint::State *point) {
  return std::find(gPoints.begin(), gPoints.end(), point) != gPoints.end();
}

// Whether the arm `arm` still stands, at `point`: a stopped thread looks its
// arm up by number, since the state of an arm that ended may already be the
// state of the next one, made at the same address.
bool StillArmed(SystemPausePoint::State *point, uint64_t arm) { return Armed(point) && point->arm == arm; }

}  // namespace

void SystemPause_At(const char *name) {
  if (gArmed.load(std::memory_order_acquire) == 0) return;
  std::unique_lock<std::mutex> guard(gLock);
  std::vector<uint64_t> declined;  // arms whose condition said no
  for (;;) {
    SystemPausePoint::State *point = nullptr;
    for (SystemPausePoint::State *armed : gPoints)
      if (!armed->reached && armed->name == name &&
          std::find(declined.begin(), declined.end(), armed->arm) == declined.end())
        point = armed;
    if (!point) return;
    // The condition runs outside the lock: it may ask the engine whose
    // thread this is. The arm may end or be taken meanwhile.
    const uint64_t arm = point->arm;
    if (point->when) {
      const std::function<bool()> when = point->when;
      guard.unlock();
      const bool stop = when();
      guard.lock();
      if (!stop) {
        declined.push_back(arm);
        continue;
      }
      if (!StillArmed(point, arm) || point->reached) continue;
    }
    point->reached = true;
    gChanged.notify_all();
    gChanged.wait_for(guard, kLongestStop, [point, arm] { return !StillArmed(point, arm) || point->released; });
    return;
  }
}

SystemPausePoint::SystemPausePoint(const char *name, std::function<bool()> when) : m_State(new State) {
  m_State->name = name;
  m_State->when = std::move(when);
  std::lock_guard<std::mutex> guard(gLock);
  m_State->arm = ++gArms;
  gPoints.push_back(m_State);
  gArmed.fetch_add(1, std::memory_order_release);
}

SystemPausePoint::~SystemPausePoint() {
  {
    std::lock_guard<std::mutex> guard(gLock);
    gPoints.erase(std::find(gPoints.begin(), gPoints.end(), m_State));
    gArmed.fetch_sub(1, std::memory_order_release);
    gChanged.notify_all();
  }
  delete m_State;
}

bool SystemPausePoint::WaitReached(int ms) {
  std::unique_lock<std::mutex> guard(gLock);
  return gChanged.wait_for(guard, std::chrono::milliseconds(ms), [this] { return m_State->reached; });
}

bool SystemPausePoint::Reached() const {
  std::lock_guard<std::mutex> guard(gLock);
  return m_State->reached;
}

void SystemPausePoint::Release() {
  std::lock_guard<std::mutex> guard(gLock);
  m_State->released = true;
  gChanged.notify_all();
}

#endif
