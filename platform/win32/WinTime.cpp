#include "platform/win32/WinTime.h"

#include <chrono>
#include <ctime>
#include <mutex>
#include <thread>

namespace platform {
namespace {

std::mutex g_timeLock;
ClockHooks g_hooks;
int g_openPeriods = 0;

std::uint64_t RealNanoseconds()
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<std::uint64_t>(now.tv_sec) * 1000000000u + static_cast<std::uint64_t>(now.tv_nsec);
}

// Answers the hooked clock in nanoseconds when one is set.
bool HookedNanoseconds(std::uint64_t& out)
{
    std::function<std::uint64_t()> clock;
    {
        std::lock_guard<std::mutex> hold(g_timeLock);
        clock = g_hooks.milliseconds;
    }
    if (!clock) {
        return false;
    }
    out = clock() * 1000000u;
    return true;
}

std::uint64_t Nanoseconds()
{
    std::uint64_t ns = 0;
    return HookedNanoseconds(ns) ? ns : RealNanoseconds();
}

}  // namespace

void SetClockHooks(ClockHooks hooks)
{
    std::lock_guard<std::mutex> hold(g_timeLock);
    g_hooks = std::move(hooks);
}

int OpenTimerPeriods()
{
    std::lock_guard<std::mutex> hold(g_timeLock);
    return g_openPeriods;
}

}  // namespace platform

ULONGLONG GetTickCount64()
{
    return platform::Nanoseconds() / 1000000u;
}

DWORD timeGetTime()
{
    return static_cast<DWORD>(GetTickCount64());
}

DWORD GetTickCount()
{
    return static_cast<DWORD>(GetTickCount64());
}

MMRESULT timeBeginPeriod(UINT period)
{
    if (period == 0) {
        return TIMERR_NOCANDO;
    }
    std::lock_guard<std::mutex> hold(platform::g_timeLock);
    ++platform::g_openPeriods;
    return TIMERR_NOERROR;
}

MMRESULT timeEndPeriod(UINT period)
{
    std::lock_guard<std::mutex> hold(platform::g_timeLock);
    if (period == 0 || platform::g_openPeriods == 0) {
        return TIMERR_NOCANDO;
    }
    --platform::g_openPeriods;
    return TIMERR_NOERROR;
}

void Sleep(DWORD milliseconds)
{
    std::function<void(DWORD)> sleep;
    {
        std::lock_guard<std::mutex> hold(platform::g_timeLock);
        sleep = platform::g_hooks.sleep;
    }
    if (sleep) {
        sleep(milliseconds);
    } else if (milliseconds == 0) {
        std::this_thread::yield();
    } else {
        std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
    }
}

BOOL QueryPerformanceCounter(LARGE_INTEGER* count)
{
    if (count == nullptr) {
        return FALSE;
    }
    count->QuadPart = static_cast<LONGLONG>(platform::Nanoseconds());
    return TRUE;
}

BOOL QueryPerformanceFrequency(LARGE_INTEGER* frequency)
{
    if (frequency == nullptr) {
        return FALSE;
    }
    frequency->QuadPart = 1000000000;
    return TRUE;
}
