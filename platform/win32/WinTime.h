// Timers: the millisecond clock, its resolution requests, Sleep and the
// performance counter. Underneath is one 64-bit monotonic millisecond clock
// (time since boot); timeGetTime and GetTickCount are its low 32 bits and wrap
// after about 49.7 days exactly as on Windows, so callers must take differences
// in unsigned 32-bit arithmetic.
#pragma once

#include "platform/win32/WinTypes.h"

#include <cstdint>
#include <functional>

using MMRESULT = UINT;

#define TIMERR_NOERROR 0
#define TIMERR_NOCANDO 97

DWORD timeGetTime();
DWORD GetTickCount();
ULONGLONG GetTickCount64();
// Resolution requests are counted; Linux timers already run at 1 ms or better.
// A period of 0, or an end without a matching begin, answers TIMERR_NOCANDO.
MMRESULT timeBeginPeriod(UINT period);
MMRESULT timeEndPeriod(UINT period);
// Sleep(0) gives up the rest of the time slice.
void Sleep(DWORD milliseconds);
// Nanosecond ticks: the frequency is 1000000000.
BOOL QueryPerformanceCounter(LARGE_INTEGER* count);
BOOL QueryPerformanceFrequency(LARGE_INTEGER* frequency);

namespace platform {

// Test hooks. `milliseconds` replaces the 64-bit clock behind every timer
// above (the performance counter follows it at 1000000 ticks a millisecond);
// `sleep` replaces the wait behind Sleep. An empty function restores the real one.
struct ClockHooks {
    std::function<std::uint64_t()> milliseconds;
    std::function<void(DWORD)> sleep;
};
void SetClockHooks(ClockHooks hooks);

// The number of resolution requests still open (begins minus ends).
int OpenTimerPeriods();

}  // namespace platform
