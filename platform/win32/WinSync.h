// Critical sections: in-process locks that the owning thread may enter again
// (each Enter is matched by one Leave).
#pragma once

#include "platform/win32/WinTypes.h"

#include <pthread.h>

struct CRITICAL_SECTION {
    pthread_mutex_t mutex;
};
using LPCRITICAL_SECTION = CRITICAL_SECTION*;

void InitializeCriticalSection(LPCRITICAL_SECTION section);
void DeleteCriticalSection(LPCRITICAL_SECTION section);
void EnterCriticalSection(LPCRITICAL_SECTION section);
// Leaving a section the calling thread does not hold does nothing.
void LeaveCriticalSection(LPCRITICAL_SECTION section);
BOOL TryEnterCriticalSection(LPCRITICAL_SECTION section);
