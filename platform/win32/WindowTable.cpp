#include "platform/win32/WindowTable.h"

#include "platform/win32/AsciiCase.h"

#include <SDL.h>

#include <algorithm>

namespace platform {
namespace {

// Window class names ignore ASCII case.
bool SameName(const std::string& a, const std::string& b)
{
    return AsciiLower(a) == AsciiLower(b);
}

}  // namespace

WindowTable& WindowTable::Instance()
{
    static WindowTable table;
    return table;
}

bool WindowTable::AddClass(const WindowClass& windowClass)
{
    std::lock_guard<std::mutex> hold(m_lock);
    for (const auto& known : m_classes) {
        if (SameName(known.name, windowClass.name)) {
            return false;
        }
    }
    m_classes.push_back(windowClass);
    return true;
}

bool WindowTable::RemoveClass(const std::string& name)
{
    std::lock_guard<std::mutex> hold(m_lock);
    for (const auto& window : m_windows) {
        if (SameName(window.windowClass.name, name)) {
            return false;
        }
    }
    auto it = std::find_if(m_classes.begin(), m_classes.end(), [&](const WindowClass& c) { return SameName(c.name, name); });
    if (it == m_classes.end()) {
        return false;
    }
    m_classes.erase(it);
    return true;
}

bool WindowTable::FindClass(const std::string& name, WindowClass& out) const
{
    std::lock_guard<std::mutex> hold(m_lock);
    for (const auto& known : m_classes) {
        if (SameName(known.name, name)) {
            out = known;
            return true;
        }
    }
    return false;
}

void WindowTable::Add(const WindowInfo& info)
{
    std::lock_guard<std::mutex> hold(m_lock);
    m_windows.push_back(info);
}

void WindowTable::Remove(HWND hwnd)
{
    std::lock_guard<std::mutex> hold(m_lock);
    std::erase_if(m_windows, [&](const WindowInfo& w) { return w.hwnd == hwnd; });
}

WindowInfo* WindowTable::Lookup(HWND hwnd)
{
    for (auto& window : m_windows) {
        if (window.hwnd == hwnd) {
            return &window;
        }
    }
    return nullptr;
}

bool WindowTable::Find(HWND hwnd, WindowInfo& out) const
{
    std::lock_guard<std::mutex> hold(m_lock);
    for (const auto& window : m_windows) {
        if (window.hwnd == hwnd) {
            out = window;
            return true;
        }
    }
    return false;
}

bool WindowTable::FindFirst(WindowInfo& out) const
{
    std::lock_guard<std::mutex> hold(m_lock);
    // Message-only windows (no SDL window) are never the program's window.
    for (const WindowInfo& info : m_windows) {
        if (info.sdl != nullptr) {
            out = info;
            return true;
        }
    }
    return false;
}

bool WindowTable::FindBySdlId(std::uint32_t sdlWindowId, WindowInfo& out) const
{
    std::lock_guard<std::mutex> hold(m_lock);
    for (const auto& window : m_windows) {
        if (window.sdl != nullptr && SDL_GetWindowID(window.sdl) == sdlWindowId) {
            out = window;
            return true;
        }
    }
    return false;
}

HWND WindowTable::FindByName(const std::string* className, const std::string* title) const
{
    std::lock_guard<std::mutex> hold(m_lock);
    for (const auto& window : m_windows) {
        if ((className == nullptr || SameName(window.windowClass.name, *className)) && (title == nullptr || window.title == *title)) {
            return window.hwnd;
        }
    }
    return nullptr;
}

}  // namespace platform
