#include "platform/winmm/MultimediaTimer.h"

#include <chrono>
#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <thread>

namespace {

struct Timer {
  std::thread thread;
  std::mutex lock;
  std::condition_variable wake;
  bool killed = false;
};

// The table of live timers. A one-shot timer's thread ends by itself after it
// fired and looks the table up as it goes, possibly after the process's exit
// handlers ran: the table is never destroyed, so that it is still there.
struct TimerTable {
  std::mutex lock;
  std::map<UINT, std::shared_ptr<Timer>> timers;
  UINT nextId = 1;
};
TimerTable &Table() {
  static TimerTable *const table = new TimerTable;
  return *table;
}

void Run(std::shared_ptr<Timer> timer, UINT id, UINT delayMs, LPTIMECALLBACK procedure, DWORD_PTR user,
         bool periodic) {
  auto due = std::chrono::steady_clock::now();
  do {
    due += std::chrono::milliseconds(delayMs);
    {
      std::unique_lock<std::mutex> hold(timer->lock);
      if (timer->wake.wait_until(hold, due, [&] { return timer->killed; })) return;
    }
    procedure(id, 0, user, 0, 0);
  } while (periodic);
  // A one-shot timer that has fired is gone; its thread is left to end by itself.
  TimerTable &table = Table();
  std::lock_guard<std::mutex> hold(table.lock);
  auto it = table.timers.find(id);
  if (it != table.timers.end() && it->second == timer) {
    timer->thread.detach();
    table.timers.erase(it);
  }
}

}  // namespace

MMRESULT timeSetEvent(UINT delayMs, UINT, LPTIMECALLBACK procedure, DWORD_PTR user, UINT flags) {
  if (delayMs == 0 || !procedure) return 0;
  auto timer = std::make_shared<Timer>();
  TimerTable &table = Table();
  std::lock_guard<std::mutex> hold(table.lock);
  UINT id = table.nextId++;
  if (id == 0) id = table.nextId++;
  table.timers[id] = timer;
  timer->thread = std::thread(Run, timer, id, delayMs, procedure, user, (flags & TIME_PERIODIC) != 0);
  return id;
}

MMRESULT timeKillEvent(UINT id) {
  std::shared_ptr<Timer> timer;
  {
    TimerTable &table = Table();
    std::lock_guard<std::mutex> hold(table.lock);
    auto it = table.timers.find(id);
    if (it == table.timers.end()) return TIMERR_NOCANDO;
    timer = it->second;
    table.timers.erase(it);
  }
  {
    std::lock_guard<std::mutex> hold(timer->lock);
    timer->killed = true;
  }
  timer->wake.notify_all();
  if (timer->thread.get_id() == std::this_thread::get_id())
    timer->thread.detach();
  else if (timer->thread.joinable())
    timer->thread.join();
  return TIMERR_NOERROR;
}
