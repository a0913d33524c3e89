#include "platform/win32/WindowHandle.h"

#include <cstdint>
#include <map>
#include <mutex>

namespace platform {
namespace {

std::mutex g_windowHandleLock;
std::map<HWND, SDL_Window*> g_windows;
std::uintptr_t g_nextWindowHandle = 0x1000;

}  // namespace

HWND NewMessageWindowHandle()
{
    std::lock_guard<std::mutex> hold(g_windowHandleLock);
    HWND hwnd = reinterpret_cast<HWND>(g_nextWindowHandle);
    g_nextWindowHandle += 0x10;
    return hwnd;
}

HWND RegisterSdlWindow(SDL_Window* window)
{
    if (window == nullptr) {
        return nullptr;
    }
    std::lock_guard<std::mutex> hold(g_windowHandleLock);
    for (const auto& [hwnd, sdl] : g_windows) {
        if (sdl == window) {
            return hwnd;
        }
    }
    // Handles are small tokens, never addresses, so a stale one cannot alias memory.
    HWND hwnd = reinterpret_cast<HWND>(g_nextWindowHandle);
    g_nextWindowHandle += 0x10;
    g_windows[hwnd] = window;
    return hwnd;
}

void UnregisterSdlWindow(HWND hwnd)
{
    std::lock_guard<std::mutex> hold(g_windowHandleLock);
    g_windows.erase(hwnd);
}

SDL_Window* SdlWindowFromHwnd(HWND hwnd)
{
    std::lock_guard<std::mutex> hold(g_windowHandleLock);
    auto it = g_windows.find(hwnd);
    return it == g_windows.end() ? nullptr : it->second;
}

HWND HwndFromSdlWindow(SDL_Window* window)
{
    std::lock_guard<std::mutex> hold(g_windowHandleLock);
    for (const auto& [hwnd, sdl] : g_windows) {
        if (sdl == window) {
            return hwnd;
        }
    }
    return nullptr;
}

}  // namespace platform
