// WinMM's multimedia timers: timeSetEvent calls a procedure once (or every
// period) on a thread of the timer's own, and timeKillEvent ends a timer
// and waits until no call of it is under way (unless asked from inside its
// own procedure).
#pragma once

#include "platform/winmm/WinMM.h"

using LPTIMECALLBACK = void (*)(UINT id, UINT message, DWORD_PTR user, DWORD_PTR reserved1, DWORD_PTR reserved2);

#define TIME_ONESHOT 0x0000u
#define TIME_PERIODIC 0x0001u
#define TIMERR_NOERROR 0u
#define TIMERR_NOCANDO 97u

// The timer's id, 0 when it cannot be made (a delay of 0 or a null procedure).
MMRESULT timeSetEvent(UINT delayMs, UINT resolutionMs, LPTIMECALLBACK procedure, DWORD_PTR user, UINT flags);
MMRESULT timeKillEvent(UINT id);
