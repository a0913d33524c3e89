// Named mutexes, the one kernel lock the program uses across processes (to
// find out whether another instance of the game runs).
//
// A named mutex exists while a process holds a handle made by CreateMutexA:
// that handle holds an exclusive flock on a file named after the mutex in
// $XDG_RUNTIME_DIR (else /tmp), which the kernel frees when the process ends
// however it ends. Handles are closed with CloseHandle.
#pragma once

#include "platform/win32/WinTypes.h"

#define ERROR_NOT_OWNER 288L
#define SYNCHRONIZE 0x00100000L
#define MUTEX_ALL_ACCESS 0x001F0001L

struct SECURITY_ATTRIBUTES;

// Answers a handle and clears the last error when the mutex is new; when
// another handle (of this or another process) already holds the name, answers a
// handle that does not own it with ERROR_ALREADY_EXISTS. An unnamed mutex is
// always new. Null (with the last error) when the lock file cannot be made.
HANDLE CreateMutexA(SECURITY_ATTRIBUTES* attributes, BOOL initialOwner, LPCSTR name);
// A handle to an existing named mutex; null with ERROR_FILE_NOT_FOUND when none exists.
HANDLE OpenMutexA(DWORD access, BOOL inherit, LPCSTR name);
// FALSE with ERROR_NOT_OWNER when the handle does not own the mutex.
BOOL ReleaseMutex(HANDLE mutex);
