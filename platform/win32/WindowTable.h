// The windows and window classes of the process, shared by the window,
// message, input and event stand-ins. Look-ups answer copies, so callers hold
// no lock while they call a window procedure.
#pragma once

#include "platform/win32/WinWindow.h"

#include <cstdint>
#include <string>
#include <mutex>
#include <thread>
#include <vector>

struct SDL_Window;

namespace platform {

struct WindowClass {
    std::string name;
    UINT style = 0;
    WNDPROC proc = nullptr;
    HCURSOR cursor = nullptr;
};

struct WindowInfo {
    HWND hwnd = nullptr;
    SDL_Window* sdl = nullptr;
    WindowClass windowClass;
    std::string title;
    DWORD style = 0;
    DWORD exStyle = 0;
    std::thread::id owner;
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
};

class WindowTable {
public:
    static WindowTable& Instance();

    bool AddClass(const WindowClass& windowClass);
    bool RemoveClass(const std::string& name);
    bool FindClass(const std::string& name, WindowClass& out) const;

    void Add(const WindowInfo& info);
    void Remove(HWND hwnd);
    bool Find(HWND hwnd, WindowInfo& out) const;
    // The window created first among those that exist, message-only windows left out.
    bool FindFirst(WindowInfo& out) const;
    bool FindBySdlId(std::uint32_t sdlWindowId, WindowInfo& out) const;
    // The first window of the class (empty: any) and title (empty: any).
    HWND FindByName(const std::string* className, const std::string* title) const;
    // Applies the change to the stored window; false when it does not exist.
    template <typename Change>
    bool Update(HWND hwnd, Change change);

private:
    WindowInfo* Lookup(HWND hwnd);
    mutable std::mutex m_lock;
    std::vector<WindowClass> m_classes;
    std::vector<WindowInfo> m_windows;
};

template <typename Change>
bool WindowTable::Update(HWND hwnd, Change change)
{
    std::lock_guard<std::mutex> hold(m_lock);
    WindowInfo* info = Lookup(hwnd);
    if (info == nullptr) {
        return false;
    }
    change(*info);
    return true;
}

}  // namespace platform
