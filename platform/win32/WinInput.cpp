#include "platform/win32/WinInput.h"

#include "platform/win32/Letterbox.h"
#include "platform/win32/WinEvents.h"
#include "platform/win32/WinMessages.h"
#include "platform/win32/WindowTable.h"

#include <SDL.h>

#include <map>
#include <mutex>

// A system cursor: its IDC_ id and, once shown, the display's cursor.
struct HICON__ {
    WORD id;
    SDL_Cursor* sdl;
};

namespace platform {
namespace {

std::mutex g_inputLock;
HWND g_capture = nullptr;
std::map<WORD, HICON__> g_cursors;
HCURSOR g_current = nullptr;
int g_showCount = 0;
// What the display was last given: the program sets the same cursor each
// frame, and each time the display would be told again (a round trip to the
// X server), so an unchanged cursor is not passed on.
bool g_applied = false;
HCURSOR g_appliedCursor = nullptr;
bool g_appliedVisible = false;

SDL_SystemCursor SystemCursor(WORD id)
{
    switch (id) {
    case 32513:
        return SDL_SYSTEM_CURSOR_IBEAM;
    case 32514:
        return SDL_SYSTEM_CURSOR_WAIT;
    case 32649:
        return SDL_SYSTEM_CURSOR_HAND;
    case 32650:
        return SDL_SYSTEM_CURSOR_WAITARROW;
    default:
        // The arrow, and the help cursor, which the display does not offer.
        return SDL_SYSTEM_CURSOR_ARROW;
    }
}

// Shows the current cursor, or hides the pointer; with g_inputLock held.
void ApplyCursor()
{
    if (!IsEventThread()) {
        return;
    }
    const bool visible = g_current != nullptr && g_showCount >= 0;
    if (g_applied && g_appliedCursor == g_current && g_appliedVisible == visible &&
        (!visible || g_current->sdl != nullptr)) {
        return;
    }
    g_applied = true;
    g_appliedCursor = g_current;
    g_appliedVisible = visible;
    if (visible) {
        if (g_current->sdl == nullptr) {
            g_current->sdl = SDL_CreateSystemCursor(SystemCursor(g_current->id));
        }
        if (g_current->sdl != nullptr) {
            SDL_SetCursor(g_current->sdl);
        }
    }
    SDL_ShowCursor(visible ? SDL_ENABLE : SDL_DISABLE);
}

// The window's letterbox in SDL window coordinates and its screen position.
bool WindowGeometry(HWND hwnd, Letterbox& box, int& screenX, int& screenY)
{
    WindowInfo info;
    if (!WindowTable::Instance().Find(hwnd, info)) {
        return false;
    }
    int width = info.width;
    int height = info.height;
    screenX = info.x;
    screenY = info.y;
    if (info.sdl != nullptr) {
        SDL_GetWindowSize(info.sdl, &width, &height);
        SDL_GetWindowPosition(info.sdl, &screenX, &screenY);
    }
    box = Letterbox(info.width, info.height, width, height);
    return true;
}

// Screen to client point (or back) through the window's position and letterbox.
BOOL ConvertPoint(HWND hwnd, POINT* point, bool toClient)
{
    Letterbox box;
    int screenX = 0;
    int screenY = 0;
    if (point == nullptr || !WindowGeometry(hwnd, box, screenX, screenY)) {
        return FALSE;
    }
    int x = 0;
    int y = 0;
    if (toClient) {
        box.ToLogical(point->x - screenX, point->y - screenY, x, y);
    } else {
        box.ToSurface(point->x, point->y, x, y);
        x += screenX;
        y += screenY;
    }
    *point = POINT{x, y};
    return TRUE;
}

}  // namespace

}  // namespace platform

HWND SetCapture(HWND hwnd)
{
    HWND previous = nullptr;
    {
        std::lock_guard<std::mutex> hold(platform::g_inputLock);
        previous = platform::g_capture;
        platform::g_capture = hwnd;
    }
    if (platform::IsEventThread()) {
        SDL_CaptureMouse(hwnd != nullptr ? SDL_TRUE : SDL_FALSE);
    }
    if (previous != nullptr && previous != hwnd) {
        SendMessageA(previous, WM_CAPTURECHANGED, 0, reinterpret_cast<LPARAM>(hwnd));
    }
    return previous;
}

BOOL ReleaseCapture()
{
    HWND previous = nullptr;
    {
        std::lock_guard<std::mutex> hold(platform::g_inputLock);
        previous = platform::g_capture;
        platform::g_capture = nullptr;
    }
    if (previous == nullptr) {
        return TRUE;
    }
    if (platform::IsEventThread()) {
        SDL_CaptureMouse(SDL_FALSE);
    }
    // Cleared first, so a window that releases again on this message ends the chain.
    SendMessageA(previous, WM_CAPTURECHANGED, 0, 0);
    return TRUE;
}

HWND GetCapture()
{
    std::lock_guard<std::mutex> hold(platform::g_inputLock);
    return platform::g_capture;
}

HCURSOR LoadCursorA(HINSTANCE instance, LPCSTR name)
{
    const UINT_PTR id = reinterpret_cast<UINT_PTR>(name);
    const bool known = id == 32512 || id == 32513 || id == 32514 || id == 32649 || id == 32650 || id == 32651;
    if (instance != nullptr || !known) {
        return nullptr;
    }
    std::lock_guard<std::mutex> hold(platform::g_inputLock);
    auto [it, added] = platform::g_cursors.try_emplace(static_cast<WORD>(id), HICON__{static_cast<WORD>(id), nullptr});
    return &it->second;
}

HICON LoadIconA(HINSTANCE, LPCSTR)
{
    return nullptr;
}

HCURSOR SetCursor(HCURSOR cursor)
{
    std::lock_guard<std::mutex> hold(platform::g_inputLock);
    HCURSOR previous = platform::g_current;
    platform::g_current = cursor;
    platform::ApplyCursor();
    return previous;
}

HCURSOR GetCursor()
{
    std::lock_guard<std::mutex> hold(platform::g_inputLock);
    return platform::g_current;
}

int ShowCursor(BOOL show)
{
    std::lock_guard<std::mutex> hold(platform::g_inputLock);
    platform::g_showCount += show ? 1 : -1;
    platform::ApplyCursor();
    return platform::g_showCount;
}

BOOL ClipCursor(const RECT* rect)
{
    if (!platform::IsEventThread()) {
        return FALSE;
    }
    platform::WindowInfo info;
    if (!platform::WindowTable::Instance().FindFirst(info) || info.sdl == nullptr) {
        return FALSE;
    }
    if (rect == nullptr) {
        return SDL_SetWindowMouseRect(info.sdl, nullptr) == 0 ? TRUE : FALSE;
    }
    int x = 0;
    int y = 0;
    SDL_GetWindowPosition(info.sdl, &x, &y);
    const SDL_Rect area{rect->left - x, rect->top - y, rect->right - rect->left, rect->bottom - rect->top};
    return SDL_SetWindowMouseRect(info.sdl, &area) == 0 ? TRUE : FALSE;
}

BOOL GetCursorPos(POINT* point)
{
    if (point == nullptr || !platform::IsEventThread()) {
        return FALSE;
    }
    int x = 0;
    int y = 0;
    SDL_GetGlobalMouseState(&x, &y);
    *point = POINT{x, y};
    return TRUE;
}

BOOL ScreenToClient(HWND hwnd, POINT* point)
{
    return platform::ConvertPoint(hwnd, point, true);
}

BOOL ClientToScreen(HWND hwnd, POINT* point)
{
    return platform::ConvertPoint(hwnd, point, false);
}
