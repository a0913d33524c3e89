#include "sound/src/core/osnd_lifetime.h"

#include "sound/src/system/system_pause.h"

#include <atomic>
#include <mutex>

namespace {

// Guards every record's holds and mark. Innermost: no other lock is taken
// while it is held, so any thread may take it under any engine lock.
std::mutex gHoldLock;

std::atomic_ref<uint8_t> Mark(OsndLifetime *life) { return std::atomic_ref<uint8_t>(life->closing); }

}  // namespace

void OsndLifetime_Hold(OsndLifetime *life) {
  SystemWaitingLock<std::mutex> guard(gHoldLock, "lifetime.hold-lock.waiting");
  ++life->holds;
}

bool OsndLifetime_HoldOpen(OsndLifetime *life) {
  SystemWaitingLock<std::mutex> guard(gHoldLock, "lifetime.hold-lock.waiting");
  if (Mark(life).load()) return false;
  ++life->holds;
  return true;
}

bool OsndLifetime_BeginClose(OsndLifetime *life) {
  SystemWaitingLock<std::mutex> guard(gHoldLock, "lifetime.hold-lock.waiting");
  if (Mark(life).load()) return false;
  // Checked and not yet marked: another close waits at the lock until the mark is set.
  OSND_PAUSE_POINT("lifetime.close.checked");
  Mark(life).store(1);
  ++life->holds;
  return true;
}

bool OsndLifetime_LetGo(OsndLifetime *life) {
  SystemWaitingLock<std::mutex> guard(gHoldLock, "lifetime.hold-lock.waiting");
  return --life->holds == 0 && Mark(life).load();
}

bool OsndLifetime_Closing(const OsndLifetime *life) {
  return std::atomic_ref<uint8_t>(const_cast<OsndLifetime *>(life)->closing).load() != 0;
}
