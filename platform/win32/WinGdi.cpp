#include "platform/win32/WinGdi.h"

#include "platform/win32/Letterbox.h"
#include "platform/win32/WinEvents.h"
#include "platform/win32/WinWindow.h"
#include "platform/win32/WindowTable.h"

#include <SDL.h>

#include <algorithm>
#include <map>
#include <mutex>
#include <set>

struct HBRUSH__ {
    COLORREF color;
    bool stock;
};

namespace platform {
namespace {

// The few GL entry points painting needs, looked up from the context's library.
struct GlClear {
    using ClearColor = void (*)(float, float, float, float);
    using Clear = void (*)(unsigned);
    using Scissor = void (*)(int, int, int, int);
    using Toggle = void (*)(unsigned);
    ClearColor clearColor = nullptr;
    Clear clear = nullptr;
    Scissor scissor = nullptr;
    Toggle enable = nullptr;
    Toggle disable = nullptr;

    bool Load()
    {
        clearColor = reinterpret_cast<ClearColor>(SDL_GL_GetProcAddress("glClearColor"));
        clear = reinterpret_cast<Clear>(SDL_GL_GetProcAddress("glClear"));
        scissor = reinterpret_cast<Scissor>(SDL_GL_GetProcAddress("glScissor"));
        enable = reinterpret_cast<Toggle>(SDL_GL_GetProcAddress("glEnable"));
        disable = reinterpret_cast<Toggle>(SDL_GL_GetProcAddress("glDisable"));
        return clearColor && clear && scissor && enable && disable;
    }
};

constexpr unsigned kColorBufferBit = 0x00004000;
constexpr unsigned kScissorTest = 0x0C11;

std::mutex g_gdiLock;
std::map<HDC, HWND> g_contexts;
std::set<HBRUSH> g_brushes;
UINT_PTR g_nextContext = 0x6000;
HBRUSH__ g_stockWhite{RGB(255, 255, 255), true};
HBRUSH__ g_stockBlack{RGB(0, 0, 0), true};

bool LiveBrush(HBRUSH brush)
{
    std::lock_guard<std::mutex> hold(g_gdiLock);
    return brush == &g_stockWhite || brush == &g_stockBlack || g_brushes.count(brush) != 0;
}

HWND WindowOf(HDC dc)
{
    std::lock_guard<std::mutex> hold(g_gdiLock);
    auto it = g_contexts.find(dc);
    return it == g_contexts.end() ? nullptr : it->second;
}

}  // namespace
}  // namespace platform

HDC GetDC(HWND hwnd)
{
    if (!IsWindow(hwnd)) {
        return nullptr;
    }
    std::lock_guard<std::mutex> hold(platform::g_gdiLock);
    HDC dc = reinterpret_cast<HDC>(platform::g_nextContext);
    platform::g_nextContext += 0x10;
    platform::g_contexts[dc] = hwnd;
    return dc;
}

int ReleaseDC(HWND, HDC dc)
{
    std::lock_guard<std::mutex> hold(platform::g_gdiLock);
    return platform::g_contexts.erase(dc) != 0 ? 1 : 0;
}

HBRUSH CreateSolidBrush(COLORREF color)
{
    HBRUSH brush = new HBRUSH__{color & 0x00FFFFFFu, false};
    std::lock_guard<std::mutex> hold(platform::g_gdiLock);
    platform::g_brushes.insert(brush);
    return brush;
}

HGDIOBJ GetStockObject(int object)
{
    switch (object) {
    case WHITE_BRUSH:
        return reinterpret_cast<HGDIOBJ>(&platform::g_stockWhite);
    case BLACK_BRUSH:
        return reinterpret_cast<HGDIOBJ>(&platform::g_stockBlack);
    default:
        return nullptr;
    }
}

BOOL DeleteObject(HGDIOBJ object)
{
    HBRUSH brush = reinterpret_cast<HBRUSH>(object);
    {
        std::lock_guard<std::mutex> hold(platform::g_gdiLock);
        if (platform::g_brushes.erase(brush) == 0) {
            // Stock objects may be "deleted" and stay; anything else is no object of ours.
            return brush == &platform::g_stockWhite || brush == &platform::g_stockBlack ? TRUE : FALSE;
        }
    }
    delete brush;
    return TRUE;
}

int FillRect(HDC dc, const RECT* rect, HBRUSH brush)
{
    const HWND hwnd = platform::WindowOf(dc);
    platform::WindowInfo info;
    if (rect == nullptr || !platform::LiveBrush(brush) || !platform::WindowTable::Instance().Find(hwnd, info) ||
        info.sdl == nullptr || !platform::IsEventThread() || platform::SharedGlContext() == nullptr) {
        return 0;
    }
    platform::GlClear gl;
    if (SDL_GL_MakeCurrent(info.sdl, platform::SharedGlContext()) != 0 || !gl.Load()) {
        return 0;
    }
    platform::Letterbox box;
    platform::DrawableLetterbox(hwnd, box);
    int drawableHeight = 0;
    int drawableWidth = 0;
    SDL_GL_GetDrawableSize(info.sdl, &drawableWidth, &drawableHeight);
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
    box.ToSurface(std::clamp<int>(rect->left, 0, info.width), std::clamp<int>(rect->top, 0, info.height), left, top);
    box.ToSurface(std::clamp<int>(rect->right, 0, info.width), std::clamp<int>(rect->bottom, 0, info.height), right, bottom);
    if (right <= left || bottom <= top) {
        return 1;  // nothing to paint is painted
    }
    const COLORREF color = brush->color;
    gl.clearColor(GetRValue(color) / 255.0f, GetGValue(color) / 255.0f, GetBValue(color) / 255.0f, 1.0f);
    gl.enable(platform::kScissorTest);
    // GL counts rows from the bottom.
    gl.scissor(left, drawableHeight - bottom, right - left, bottom - top);
    for (int buffer = 0; buffer < 2; ++buffer) {
        gl.clear(platform::kColorBufferBit);
        SDL_GL_SwapWindow(info.sdl);
    }
    gl.disable(platform::kScissorTest);
    gl.clearColor(0.0f, 0.0f, 0.0f, 0.0f);
    return 1;
}
