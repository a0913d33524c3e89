#include "sound/src/system/system_thread.h"

#include "sound/src/system/system_memory.h"
#include "sound/src/system/system_pause.h"

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <new>
#include <thread>

#include <pthread.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

struct ThreadRecord {
  std::thread thread;
  int systemPriority = 0;
};

struct EventRecord {
  std::mutex mutex;
  std::condition_variable signalled;
  bool set = false;
};

// Best effort: Linux threads get a nice value matching the requested priority;
// raising priority needs privileges, so a refusal is ignored.
void ApplyPriority(int systemPriority) {
  int nice = 0;
  switch (systemPriority) {
    case -1: nice = 5; break;
    case 1: nice = -5; break;
    case 2: nice = -10; break;
    case 15: nice = -15; break;
    default: return;
  }
  setpriority(PRIO_PROCESS, pid_t(syscall(SYS_gettid)), nice);
}

}  // namespace

bool SystemThread_MapPriority(int code, int *systemPriority) {
  switch (code) {
    case -1: *systemPriority = -1; return true;
    case 0: *systemPriority = 1; return true;
    case 2: *systemPriority = 2; return true;
    case 3: *systemPriority = 15; return true;
    default: *systemPriority = 0; return false;  // 1 keeps normal; others unknown
  }
}

SystemThreadHandle SystemThread_CreateThread(SystemThreadProc procedure, void *parameter,
                                             int priority) {
  auto *record = new (std::nothrow) ThreadRecord;
  if (!record) return nullptr;
  int systemPriority = 0;
  const bool setPriority = SystemThread_MapPriority(priority, &systemPriority);
  record->systemPriority = setPriority ? systemPriority : 0;
  try {
    record->thread = std::thread([procedure, parameter, setPriority, systemPriority] {
      if (setPriority) ApplyPriority(systemPriority);
      procedure(parameter);
    });
  } catch (...) {
    delete record;
    return nullptr;
  }
  return record;
}

SystemThreadHandle SystemThread_Create(const char *name, SystemThreadProc procedure,
                                       void *parameter, int priority, int) {
  SystemThreadHandle handle = SystemThread_CreateThread(procedure, parameter, priority);
  if (handle && name) {
    char shortName[16] = {};
    for (int i = 0; i < 15 && name[i]; ++i) shortName[i] = name[i];
    pthread_setname_np(static_cast<ThreadRecord *>(handle)->thread.native_handle(), shortName);
  }
  return handle;
}

void SystemThread_CloseThread(SystemThreadHandle thread) {
  if (!thread) return;
  auto *record = static_cast<ThreadRecord *>(thread);
  // Joined in every mode so that nothing the thread uses is freed under it.
  if (record->thread.joinable()) {
    if (record->thread.get_id() == std::this_thread::get_id())
      record->thread.detach();
    else {
      OSND_PAUSE_POINT("thread.joining");  // a test may see a stop wait for the thread
      record->thread.join();
    }
  }
  delete record;
}

int SystemThread_GetPriority(SystemThreadHandle thread) {
  return thread ? static_cast<ThreadRecord *>(thread)->systemPriority : 0;
}

namespace {
std::atomic<bool> gNonRealtime{false};
}  // namespace

void SystemThread_SetNonRealtime(bool nonRealtime) { gNonRealtime = nonRealtime; }

bool SystemThread_NonRealtime() { return gNonRealtime; }

uint64_t SystemThread_CurrentId() { return uint64_t(pthread_self()); }

SystemCriticalSection SystemThread_CreateCriticalSection(bool evenNonRealtime) {
  if (SystemThread_NonRealtime() && !evenNonRealtime) return nullptr;
  void *storage = SystemMemory_PoolAlloc(nullptr, int(sizeof(std::recursive_mutex)));
  if (!storage) return nullptr;
  return new (storage) std::recursive_mutex;
}

void SystemThread_DeleteCriticalSection(SystemCriticalSection section) {
  if (!section) return;
  static_cast<std::recursive_mutex *>(section)->~recursive_mutex();
  OSND_FREE_MEM(section);
}

#if QMV_PAUSE_POINTS
namespace {
thread_local SystemCriticalSection tWaitingFor = nullptr;
}  // namespace

SystemCriticalSection SystemThread_LockWaitedFor() { return tWaitingFor; }
#endif

void SystemThread_EnterCriticalSection(SystemCriticalSection section) {
  if (!section) return;
  auto *lock = static_cast<std::recursive_mutex *>(section);
#if QMV_PAUSE_POINTS
  // Held by another thread: a test may see this one begin to wait, and for which lock.
  if (lock->try_lock()) return;
  tWaitingFor = section;
  OSND_PAUSE_POINT("lock.waiting");
  tWaitingFor = nullptr;
#endif
  lock->lock();
}

bool SystemThread_TryEnterCriticalSection(SystemCriticalSection section) {
  return !section || static_cast<std::recursive_mutex *>(section)->try_lock();
}

void SystemThread_LeaveCriticalSection(SystemCriticalSection section) {
  if (section) static_cast<std::recursive_mutex *>(section)->unlock();
}

SystemEventHandle SystemThread_CreateEvent() {
  if (SystemThread_NonRealtime()) return nullptr;
  return new (std::nothrow) EventRecord;
}

void SystemThread_CloseEvent(SystemEventHandle event) { delete static_cast<EventRecord *>(event); }

void SystemThread_WaitEvent(SystemEventHandle event) {
  if (!event) return;
  auto *record = static_cast<EventRecord *>(event);
  std::unique_lock<std::mutex> lock(record->mutex);
  record->signalled.wait(lock, [record] { return record->set; });
  record->set = false;  // auto-reset
}

void SystemThread_SetEvent(SystemEventHandle event) {
  if (!event) return;
  auto *record = static_cast<EventRecord *>(event);
  {
    std::lock_guard<std::mutex> lock(record->mutex);
    record->set = true;
  }
  record->signalled.notify_one();
}
