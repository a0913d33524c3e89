// Threads, locks and events of the engine. With the non-realtime output every
// lock and event operation is a no-operation and no objects are made.
#pragma once

#include <cstdint>

typedef void *SystemThreadHandle;        // 0 = none
typedef void *SystemCriticalSection;     // 0 = no lock
typedef void *SystemEventHandle;         // 0 = no event
typedef unsigned (*SystemThreadProc)(void *parameter);

// The engine runs without threads of its own with the non-realtime output:
// then no lock or event is made and sleeps return at once. The engine sets
// this when its output is chosen.
void SystemThread_SetNonRealtime(bool nonRealtime);
bool SystemThread_NonRealtime();

// Priority codes: -1 below normal, 0 above normal, 1 normal, 2 highest, 3 time critical.
// Answers whether a priority is set for the code, and which system priority.
bool SystemThread_MapPriority(int code, int *systemPriority);

SystemThreadHandle SystemThread_Create(const char *name, SystemThreadProc procedure,
                                       void *parameter, int priority, int stackSize);
SystemThreadHandle SystemThread_CreateThread(SystemThreadProc procedure, void *parameter,
                                             int priority);
// Waits for the thread to end and releases its handle.
void SystemThread_CloseThread(SystemThreadHandle thread);
// The system priority the thread was given, or 0 when none was set.
int SystemThread_GetPriority(SystemThreadHandle thread);
uint64_t SystemThread_CurrentId();

// With the non-realtime output no lock is made (null) unless evenNonRealtime is
// set: locks that a background thread of its own shares with the caller.
SystemCriticalSection SystemThread_CreateCriticalSection(bool evenNonRealtime = false);
void SystemThread_DeleteCriticalSection(SystemCriticalSection section);
void SystemThread_EnterCriticalSection(SystemCriticalSection section);
// Enters the section only when that needs no wait; true when entered (always
// for a null section).
bool SystemThread_TryEnterCriticalSection(SystemCriticalSection section);
void SystemThread_LeaveCriticalSection(SystemCriticalSection section);
#if QMV_PAUSE_POINTS
// On a thread stopped at the point "lock.waiting" (a lock it found held by
// another, which it is about to wait for): that lock; null elsewhere.
SystemCriticalSection SystemThread_LockWaitedFor();
#endif

SystemEventHandle SystemThread_CreateEvent();
void SystemThread_CloseEvent(SystemEventHandle event);
void SystemThread_WaitEvent(SystemEventHandle event);
void SystemThread_SetEvent(SystemEventHandle event);

// Scoped holder for a critical section (null sections are accepted).
class SystemLockGuard {
 public:
  explicit SystemLockGuard(SystemCriticalSection section) : m_Section(section) {
    SystemThread_EnterCriticalSection(m_Section);
  }
  ~SystemLockGuard() { SystemThread_LeaveCriticalSection(m_Section); }
  SystemLockGuard(const SystemLockGuard &) = delete;
  SystemLockGuard &operator=(const SystemLockGuard &) = delete;

 private:
  SystemCriticalSection m_Section;
};
