#include "platform/win32/WinWindow.h"

#include "platform/win32/Letterbox.h"
#include "platform/win32/MessageQueue.h"
#include "platform/win32/WinEvents.h"
#include "platform/win32/WinInput.h"
#include "platform/win32/WinText.h"
#include "platform/win32/WindowDirectory.h"
#include "platform/win32/WindowHandle.h"
#include "platform/win32/WindowTable.h"

#include <SDL.h>

#include <cstdio>
#include <map>
#include <mutex>
#include <vector>

namespace platform {
namespace {

std::mutex g_windowLock;
SDL_GLContext g_context = nullptr;
// SDL windows of destroyed windows, kept hidden with the context for the next window.
std::vector<SDL_Window*> g_spare;
ATOM g_nextAtom = 0xC000;

const HWND kDesktop = reinterpret_cast<HWND>(static_cast<UINT_PTR>(0x10));

// Windows of other processes found by FindWindowA, under handles of their own range.
std::map<HWND, WindowDirectory::Entry> g_remote;
UINT_PTR g_nextRemote = 0x7F000000;

bool RemoteWindow(HWND hwnd, WindowDirectory::Entry& entry)
{
    std::lock_guard<std::mutex> hold(g_windowLock);
    auto it = g_remote.find(hwnd);
    if (it == g_remote.end()) {
        return false;
    }
    entry = it->second;
    return true;
}

HWND RemoteHandle(const WindowDirectory::Entry& entry)
{
    std::lock_guard<std::mutex> hold(g_windowLock);
    for (const auto& [hwnd, known] : g_remote) {
        if (known.pid == entry.pid && known.handle == entry.handle) {
            return hwnd;
        }
    }
    HWND hwnd = reinterpret_cast<HWND>(g_nextRemote);
    g_nextRemote += 0x10;
    g_remote[hwnd] = entry;
    return hwnd;
}

void RequestGlAttributes()
{
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 2);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 1);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_COMPATIBILITY);
    SDL_GL_SetAttribute(SDL_GL_RED_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_ALPHA_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
    // Nothing draws with depth or stencil, and a software rasteriser pays for
    // the window's depth buffer on every frame drawn into the window.
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 0);
    SDL_GL_SetAttribute(SDL_GL_STENCIL_SIZE, 0);
}

bool FullScreenStyle(DWORD style)
{
    return (style & WS_POPUP) != 0;
}

// Some window managers read the full-screen request only from a mapped window
// and ignore the state a window is mapped with, so a hidden window is put into
// full screen when it is shown. Minimising leaves full screen while the window
// still counts as full screen, so a restored window asks again (again).
void EnterFullScreenWhenShown(SDL_Window* sdl, bool again = false)
{
    if ((SDL_GetWindowFlags(sdl) & SDL_WINDOW_SHOWN) == 0) {
        return;
    }
    const bool asked = (SDL_GetWindowFlags(sdl) & SDL_WINDOW_FULLSCREEN_DESKTOP) == SDL_WINDOW_FULLSCREEN_DESKTOP;
    if (asked && again) {
        SDL_SetWindowFullscreen(sdl, 0);
    }
    if ((!asked || again) && SDL_SetWindowFullscreen(sdl, SDL_WINDOW_FULLSCREEN_DESKTOP) != 0) {
        std::fprintf(stderr, "Cannot switch the window to full screen: %s\n", SDL_GetError());
    }
}

// Puts the SDL window into the state the style asks for, at the client rectangle.
void ApplyStyle(SDL_Window* sdl, DWORD style, int x, int y, int width, int height)
{
    if (FullScreenStyle(style)) {
        if ((SDL_GetWindowFlags(sdl) & SDL_WINDOW_SHOWN) == 0) {
            SDL_SetWindowFullscreen(sdl, 0);
        }
        EnterFullScreenWhenShown(sdl);
        return;
    }
    SDL_SetWindowFullscreen(sdl, 0);
    SDL_SetWindowBordered(sdl, (style & WS_CAPTION) != 0 ? SDL_TRUE : SDL_FALSE);
    SDL_SetWindowResizable(sdl, (style & (WS_MAXIMIZEBOX | WS_THICKFRAME)) != 0 ? SDL_TRUE : SDL_FALSE);
    SDL_SetWindowSize(sdl, width, height);
    SDL_SetWindowPosition(sdl, x == CW_USEDEFAULT ? static_cast<int>(SDL_WINDOWPOS_CENTERED) : x,
                          y == CW_USEDEFAULT ? static_cast<int>(SDL_WINDOWPOS_CENTERED) : y);
}

// A hidden SDL window with the shared context: a spare one, or a new one.
SDL_Window* TakeSdlWindow(const char* title, int width, int height)
{
    std::lock_guard<std::mutex> hold(g_windowLock);
    if (!g_spare.empty()) {
        SDL_Window* sdl = g_spare.back();
        g_spare.pop_back();
        SDL_SetWindowTitle(sdl, title);
        return sdl;
    }
    RequestGlAttributes();
    SDL_Window* sdl = SDL_CreateWindow(title, SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, width > 0 ? width : 1,
                                       height > 0 ? height : 1, SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
    if (sdl == nullptr) {
        std::fprintf(stderr, "Cannot create a window: %s\n", SDL_GetError());
        return nullptr;
    }
    if (g_context == nullptr) {
        g_context = SDL_GL_CreateContext(sdl);
        if (g_context == nullptr) {
            std::fprintf(stderr, "Cannot create an OpenGL 2.1 context: %s\n", SDL_GetError());
        }
    }
    return sdl;
}

void ReturnSdlWindow(SDL_Window* sdl)
{
    SDL_HideWindow(sdl);
    std::lock_guard<std::mutex> hold(g_windowLock);
    g_spare.push_back(sdl);
}

WNDPROC ProcOf(HWND hwnd)
{
    WindowInfo info;
    return WindowTable::Instance().Find(hwnd, info) ? info.windowClass.proc : nullptr;
}

}  // namespace

void* SharedGlContext()
{
    std::lock_guard<std::mutex> hold(g_windowLock);
    return g_context;
}

bool DrawableLetterbox(HWND hwnd, Letterbox& box)
{
    WindowInfo info;
    if (!WindowTable::Instance().Find(hwnd, info) || info.sdl == nullptr) {
        return false;
    }
    int width = 0;
    int height = 0;
    SDL_GL_GetDrawableSize(info.sdl, &width, &height);
    box = Letterbox(info.width, info.height, width, height);
    return true;
}

}  // namespace platform

using platform::WindowInfo;
using platform::WindowTable;

ATOM RegisterClassExA(const WNDCLASSEXA* windowClass)
{
    if (windowClass == nullptr || windowClass->lpszClassName == nullptr || IS_INTRESOURCE(windowClass->lpszClassName) ||
        windowClass->lpfnWndProc == nullptr) {
        return 0;
    }
    platform::WindowClass entry;
    entry.name = windowClass->lpszClassName;
    entry.style = windowClass->style;
    entry.proc = windowClass->lpfnWndProc;
    entry.cursor = windowClass->hCursor;
    if (!WindowTable::Instance().AddClass(entry)) {
        return 0;
    }
    std::lock_guard<std::mutex> hold(platform::g_windowLock);
    return platform::g_nextAtom++;
}

BOOL UnregisterClassA(LPCSTR className, HINSTANCE)
{
    if (className == nullptr || IS_INTRESOURCE(className)) {
        return FALSE;
    }
    return WindowTable::Instance().RemoveClass(className) ? TRUE : FALSE;
}

HWND CreateWindowExA(DWORD exStyle, LPCSTR className, LPCSTR windowName, DWORD style, int x, int y, int width,
                     int height, HWND parent, HMENU menu, HINSTANCE instance, LPVOID param)
{
    platform::WindowClass windowClass;
    if (className == nullptr || IS_INTRESOURCE(className) || !WindowTable::Instance().FindClass(className, windowClass)) {
        return nullptr;
    }
    const bool messageOnly = parent == HWND_MESSAGE;
    if (!messageOnly && !platform::StartVideo()) {
        return nullptr;
    }
    const char* title = windowName != nullptr ? windowName : "";
    SDL_Window* sdl = messageOnly ? nullptr : platform::TakeSdlWindow(title, width, height);
    if (!messageOnly && sdl == nullptr) {
        return nullptr;
    }
    WindowInfo info;
    info.hwnd = messageOnly ? platform::NewMessageWindowHandle() : platform::RegisterSdlWindow(sdl);
    info.sdl = sdl;
    info.windowClass = windowClass;
    info.title = title;
    info.style = style;
    info.exStyle = exStyle;
    info.owner = std::this_thread::get_id();
    // The creating thread's queue receives the window's messages from now on.
    platform::MessageQueue::ForThisThread();
    info.x = x == CW_USEDEFAULT ? 0 : x;
    info.y = y == CW_USEDEFAULT ? 0 : y;
    info.width = width == CW_USEDEFAULT ? 640 : width;
    info.height = height == CW_USEDEFAULT ? 480 : height;
    if (!messageOnly) {
        platform::ApplyStyle(sdl, style, x, y, info.width, info.height);
    }
    WindowTable::Instance().Add(info);

    CREATESTRUCTA create{param, instance, menu, parent, info.height, info.width, info.y, info.x,
                         static_cast<LONG>(style), title, className, exStyle};
    const LPARAM createParam = reinterpret_cast<LPARAM>(&create);
    if (SendMessageA(info.hwnd, WM_NCCREATE, 0, createParam) == FALSE ||
        SendMessageA(info.hwnd, WM_CREATE, 0, createParam) == -1) {
        DestroyWindow(info.hwnd);
        return nullptr;
    }
    if (messageOnly) {
        return info.hwnd;
    }
    if ((style & WS_VISIBLE) != 0) {
        ShowWindow(info.hwnd, SW_SHOW);
    }
    platform::WindowDirectory::Shared().Announce(info.hwnd, windowClass.name, info.title);
    return info.hwnd;
}

BOOL DestroyWindow(HWND hwnd)
{
    WindowInfo info;
    if (!WindowTable::Instance().Find(hwnd, info)) {
        return FALSE;
    }
    if (GetCapture() == hwnd) {
        ReleaseCapture();
    }
    SendMessageA(hwnd, WM_DESTROY, 0, 0);
    SendMessageA(hwnd, WM_NCDESTROY, 0, 0);
    WindowTable::Instance().Remove(hwnd);
    platform::WindowDirectory::Shared().Withdraw(hwnd);
    if (auto queue = platform::MessageQueue::ForThread(info.owner)) {
        queue->Discard(hwnd);
    }
    if (info.sdl != nullptr) {
        platform::ReturnSdlWindow(info.sdl);
    }
    return TRUE;
}

BOOL IsWindow(HWND hwnd)
{
    WindowInfo info;
    platform::WindowDirectory::Entry remote;
    if (platform::RemoteWindow(hwnd, remote)) {
        return platform::WindowDirectory::Shared().Alive(remote) ? TRUE : FALSE;
    }
    return WindowTable::Instance().Find(hwnd, info) ? TRUE : FALSE;
}

BOOL ShowWindow(HWND hwnd, int command)
{
    platform::WindowDirectory::Entry remote;
    if (platform::RemoteWindow(hwnd, remote)) {
        // Another process's window can only be asked to come back; its earlier state is not known here.
        if (command == SW_RESTORE || command == SW_SHOW || command == SW_SHOWNORMAL || command == SW_SHOWDEFAULT) {
            platform::WindowDirectory::Shared().Send(remote, platform::WindowDirectory::Request::Restore);
        }
        return FALSE;
    }
    WindowInfo info;
    if (!WindowTable::Instance().Find(hwnd, info) || info.sdl == nullptr) {
        return FALSE;
    }
    SDL_Window* sdl = info.sdl;
    const BOOL wasVisible = (SDL_GetWindowFlags(sdl) & SDL_WINDOW_SHOWN) != 0 ? TRUE : FALSE;
    switch (command) {
    case SW_HIDE:
        SDL_HideWindow(sdl);
        break;
    case SW_SHOWMINIMIZED:
    case SW_MINIMIZE:
    case SW_SHOWMINNOACTIVE:
        SDL_ShowWindow(sdl);
        SDL_MinimizeWindow(sdl);
        break;
    case SW_MAXIMIZE:
        SDL_ShowWindow(sdl);
        SDL_MaximizeWindow(sdl);
        break;
    case SW_RESTORE:
        SDL_ShowWindow(sdl);
        SDL_RestoreWindow(sdl);
        break;
    default:
        SDL_ShowWindow(sdl);
        break;
    }
    const bool minimized = command == SW_SHOWMINIMIZED || command == SW_MINIMIZE || command == SW_SHOWMINNOACTIVE;
    if (command != SW_HIDE && !minimized && platform::FullScreenStyle(info.style)) {
        platform::EnterFullScreenWhenShown(sdl, command == SW_RESTORE);
    }
    return wasVisible;
}

BOOL UpdateWindow(HWND hwnd)
{
    // Nothing is painted through window messages: the picture comes from the GL context.
    return IsWindow(hwnd);
}

BOOL SetWindowTextA(HWND hwnd, LPCSTR text)
{
    const std::string title = text != nullptr ? text : "";
    WindowInfo info;
    if (!WindowTable::Instance().Update(hwnd, [&](WindowInfo& window) { window.title = title; }) ||
        !WindowTable::Instance().Find(hwnd, info)) {
        return FALSE;
    }
    SDL_SetWindowTitle(info.sdl, title.c_str());
    platform::WindowDirectory::Shared().Announce(hwnd, info.windowClass.name, title);
    return TRUE;
}

BOOL SetWindowTextW(HWND hwnd, LPCWSTR text)
{
    return SetWindowTextA(hwnd, platform::WideToUtf8(text).c_str());
}

BOOL SetWindowPos(HWND hwnd, HWND insertAfter, int x, int y, int width, int height, UINT flags)
{
    WindowInfo info;
    const bool found = WindowTable::Instance().Update(hwnd, [&](WindowInfo& window) {
        if ((flags & SWP_NOMOVE) == 0) {
            window.x = x;
            window.y = y;
        }
        if ((flags & SWP_NOSIZE) == 0 && width > 0 && height > 0) {
            window.width = width;
            window.height = height;
        }
        info = window;
    });
    if (!found) {
        return FALSE;
    }
    if (!platform::FullScreenStyle(info.style)) {
        if ((flags & SWP_NOSIZE) == 0) {
            SDL_SetWindowSize(info.sdl, info.width, info.height);
        }
        if ((flags & SWP_NOMOVE) == 0) {
            SDL_SetWindowPosition(info.sdl, info.x, info.y);
        }
    }
    if ((flags & SWP_NOZORDER) == 0 && (insertAfter == HWND_TOPMOST || insertAfter == HWND_NOTOPMOST)) {
        SDL_SetWindowAlwaysOnTop(info.sdl, insertAfter == HWND_TOPMOST ? SDL_TRUE : SDL_FALSE);
    }
    if ((flags & SWP_SHOWWINDOW) != 0) {
        SDL_ShowWindow(info.sdl);
        if (platform::FullScreenStyle(info.style)) {
            platform::EnterFullScreenWhenShown(info.sdl);
        }
    } else if ((flags & SWP_HIDEWINDOW) != 0) {
        SDL_HideWindow(info.sdl);
    }
    return TRUE;
}

BOOL MoveWindow(HWND hwnd, int x, int y, int width, int height, BOOL)
{
    return SetWindowPos(hwnd, nullptr, x, y, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
}

BOOL GetClientRect(HWND hwnd, RECT* rect)
{
    WindowInfo info;
    if (rect == nullptr || !WindowTable::Instance().Find(hwnd, info)) {
        return FALSE;
    }
    *rect = RECT{0, 0, info.width, info.height};
    return TRUE;
}

BOOL GetWindowRect(HWND hwnd, RECT* rect)
{
    WindowInfo info;
    if (rect == nullptr || !WindowTable::Instance().Find(hwnd, info)) {
        return FALSE;
    }
    int x = info.x;
    int y = info.y;
    if (info.sdl != nullptr) {
        SDL_GetWindowPosition(info.sdl, &x, &y);
    }
    *rect = RECT{x, y, x + info.width, y + info.height};
    return TRUE;
}

BOOL AdjustWindowRect(RECT* rect, DWORD, BOOL)
{
    return rect != nullptr ? TRUE : FALSE;
}

BOOL AdjustWindowRectEx(RECT* rect, DWORD, BOOL, DWORD)
{
    return rect != nullptr ? TRUE : FALSE;
}

BOOL IsIconic(HWND hwnd)
{
    WindowInfo info;
    if (!WindowTable::Instance().Find(hwnd, info) || info.sdl == nullptr) {
        return FALSE;
    }
    return (SDL_GetWindowFlags(info.sdl) & SDL_WINDOW_MINIMIZED) != 0 ? TRUE : FALSE;
}

BOOL IsZoomed(HWND hwnd)
{
    WindowInfo info;
    if (!WindowTable::Instance().Find(hwnd, info) || info.sdl == nullptr) {
        return FALSE;
    }
    return (SDL_GetWindowFlags(info.sdl) & SDL_WINDOW_MAXIMIZED) != 0 ? TRUE : FALSE;
}

BOOL SetForegroundWindow(HWND hwnd)
{
    platform::WindowDirectory::Entry remote;
    if (platform::RemoteWindow(hwnd, remote)) {
        return platform::WindowDirectory::Shared().Send(remote, platform::WindowDirectory::Request::Raise) ? TRUE : FALSE;
    }
    WindowInfo info;
    if (!WindowTable::Instance().Find(hwnd, info) || info.sdl == nullptr) {
        return FALSE;
    }
    SDL_RaiseWindow(info.sdl);
    return TRUE;
}

HWND GetForegroundWindow()
{
    if (!platform::IsEventThread()) {
        return nullptr;
    }
    HWND hwnd = platform::HwndFromSdlWindow(SDL_GetKeyboardFocus());
    return IsWindow(hwnd) ? hwnd : nullptr;
}

HWND FindWindowA(LPCSTR className, LPCSTR windowName)
{
    const std::string name = className != nullptr && !IS_INTRESOURCE(className) ? className : "";
    const std::string title = windowName != nullptr ? windowName : "";
    const std::string* byClass = name.empty() ? nullptr : &name;
    const std::string* byTitle = windowName != nullptr ? &title : nullptr;
    if (HWND mine = WindowTable::Instance().FindByName(byClass, byTitle)) {
        return mine;
    }
    platform::WindowDirectory::Entry remote;
    if (platform::WindowDirectory::Shared().Find(byClass, byTitle, remote)) {
        return platform::RemoteHandle(remote);
    }
    return nullptr;
}

LRESULT DefWindowProcA(HWND hwnd, UINT message, WPARAM, LPARAM lParam)
{
    switch (message) {
    case WM_NCCREATE:
        return TRUE;
    case WM_CLOSE:
        DestroyWindow(hwnd);
        return 0;
    case WM_SETCURSOR: {
        WindowInfo info;
        if (LOWORD(lParam) == HTCLIENT && WindowTable::Instance().Find(hwnd, info) && info.windowClass.cursor != nullptr) {
            SetCursor(info.windowClass.cursor);
            return TRUE;
        }
        return FALSE;
    }
    default:
        return 0;
    }
}

HWND GetDesktopWindow()
{
    return platform::kDesktop;
}

int GetSystemMetrics(int index)
{
    if ((index != SM_CXSCREEN && index != SM_CYSCREEN) || !platform::StartVideo()) {
        return 0;
    }
    SDL_DisplayMode mode;
    if (SDL_GetDesktopDisplayMode(0, &mode) != 0) {
        return 0;
    }
    return index == SM_CXSCREEN ? mode.w : mode.h;
}

BOOL SystemParametersInfoA(UINT action, UINT, LPVOID, UINT)
{
    // Any program may raise its window here: there is no foreground lock to lift.
    return action == SPI_SETFOREGROUNDLOCKTIMEOUT ? TRUE : FALSE;
}

LRESULT SendMessageA(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    WNDPROC proc = platform::ProcOf(hwnd);
    return proc != nullptr ? proc(hwnd, message, wParam, lParam) : 0;
}

LRESULT DispatchMessageA(const MSG* msg)
{
    if (msg == nullptr || msg->hwnd == nullptr) {
        return 0;
    }
    return SendMessageA(msg->hwnd, msg->message, msg->wParam, msg->lParam);
}
