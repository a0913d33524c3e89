#include "platform/win32/EventTranslator.h"

#include "platform/win32/KeyboardMap.h"
#include "platform/win32/Letterbox.h"
#include "platform/win32/WinDragDrop.h"
#include "platform/win32/WinKeys.h"
#include "platform/win32/WinText.h"
#include "platform/win32/WinWindow.h"

#include <algorithm>
#include <cmath>

namespace platform {
namespace {

// The generic virtual key Windows puts in wParam for either side of a modifier.
BYTE GenericKey(BYTE virtualKey)
{
    switch (virtualKey) {
    case VK_LSHIFT:
    case VK_RSHIFT:
        return VK_SHIFT;
    case VK_LCONTROL:
    case VK_RCONTROL:
        return VK_CONTROL;
    case VK_LMENU:
    case VK_RMENU:
        return VK_MENU;
    default:
        return virtualKey;
    }
}

WORD Signed16(long value)
{
    return static_cast<WORD>(static_cast<SHORT>(std::clamp<long>(value, -32768, 32767)));
}

LPARAM PointParam(long x, long y)
{
    return MAKELPARAM(Signed16(x), Signed16(y));
}

}  // namespace

EventTranslator::EventTranslator(TargetLookup lookup)
    : m_lookup(std::move(lookup))
{
}

void EventTranslator::Emit(std::vector<MSG>& out, HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    MSG msg{};
    msg.hwnd = hwnd;
    msg.message = message;
    msg.wParam = wParam;
    msg.lParam = lParam;
    m_keys.Apply(msg);
    out.push_back(msg);
}

bool EventTranslator::AltWithoutCtrl() const
{
    return m_keys.IsDown(VK_MENU) && !m_keys.IsDown(VK_CONTROL);
}

WPARAM EventTranslator::MouseFlags() const
{
    WPARAM flags = 0;
    flags |= m_keys.IsDown(VK_LBUTTON) ? MK_LBUTTON : 0;
    flags |= m_keys.IsDown(VK_RBUTTON) ? MK_RBUTTON : 0;
    flags |= m_keys.IsDown(VK_MBUTTON) ? MK_MBUTTON : 0;
    flags |= m_keys.IsDown(VK_SHIFT) ? MK_SHIFT : 0;
    flags |= m_keys.IsDown(VK_CONTROL) ? MK_CONTROL : 0;
    return flags;
}

LPARAM EventTranslator::ClientPoint(const EventTarget& target, int windowX, int windowY)
{
    Letterbox box(target.logicalWidth, target.logicalHeight, target.windowWidth, target.windowHeight);
    int x = 0;
    int y = 0;
    box.ToLogical(windowX, windowY, x, y);
    m_lastClientPoint = POINT{x, y};
    return PointParam(x, y);
}

void EventTranslator::Translate(const SDL_Event& event, std::vector<MSG>& out)
{
    switch (event.type) {
    case SDL_KEYDOWN:
    case SDL_KEYUP:
        TranslateKey(event.key, out);
        break;
    case SDL_TEXTINPUT:
        TranslateText(event.text, out);
        break;
    case SDL_MOUSEMOTION:
        TranslateMotion(event.motion, out);
        break;
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP:
        TranslateButton(event.button, out);
        break;
    case SDL_MOUSEWHEEL:
        TranslateWheel(event.wheel, out);
        break;
    case SDL_WINDOWEVENT:
        TranslateWindow(event.window, out);
        break;
    case SDL_DROPBEGIN:
    case SDL_DROPFILE:
    case SDL_DROPTEXT:
    case SDL_DROPCOMPLETE:
        TranslateDrop(event.drop, out);
        break;
    case SDL_QUIT: {
        EventTarget target;
        if (m_lookup(0, target)) {
            Emit(out, target.hwnd, WM_CLOSE, 0, 0);
        }
        break;
    }
    default:
        break;
    }
}

void EventTranslator::TranslateKey(const SDL_KeyboardEvent& key, std::vector<MSG>& out)
{
    EventTarget target;
    KeyInfo info;
    if (!m_lookup(key.windowID, target) || !KeyFromSdl(key.keysym, info)) {
        return;
    }
    const bool down = key.type == SDL_KEYDOWN;
    const BYTE generic = GenericKey(info.virtualKey);
    const bool isAlt = generic == VK_MENU;
    const bool ctrl = m_keys.IsDown(VK_CONTROL) || generic == VK_CONTROL;
    const bool altHeld = m_keys.IsDown(VK_MENU) || (isAlt && down);
    const bool system = !ctrl && (altHeld || isAlt || generic == VK_F10);
    const bool wasDown = m_keys.IsDown(info.virtualKey) || key.repeat != 0;

    DWORD bits = 1;
    bits |= static_cast<DWORD>(info.scanCode) << 16;
    bits |= info.extended ? 1u << 24 : 0;
    bits |= altHeld ? 1u << 29 : 0;
    bits |= (!down || wasDown) ? 1u << 30 : 0;
    bits |= !down ? 1u << 31 : 0;
    if (down) {
        m_lastScanCode = info.scanCode;
    }
    const UINT message = down ? (system ? WM_SYSKEYDOWN : WM_KEYDOWN) : (system ? WM_SYSKEYUP : WM_KEYUP);
    Emit(out, target.hwnd, message, generic, static_cast<LPARAM>(bits));
}

void EventTranslator::TranslateText(const SDL_TextInputEvent& text, std::vector<MSG>& out)
{
    EventTarget target;
    if (!m_lookup(text.windowID, target)) {
        return;
    }
    const UINT message = AltWithoutCtrl() ? WM_SYSCHAR : WM_CHAR;
    const LPARAM bits = static_cast<LPARAM>(1u | (static_cast<DWORD>(m_lastScanCode) << 16));
    for (char16_t unit : Utf8ToWide(text.text)) {
        Emit(out, target.hwnd, message, unit, bits);
    }
}

void EventTranslator::TranslateMotion(const SDL_MouseMotionEvent& motion, std::vector<MSG>& out)
{
    EventTarget target;
    if (motion.which == SDL_TOUCH_MOUSEID || !m_lookup(motion.windowID, target)) {
        return;
    }
    const LPARAM point = ClientPoint(target, motion.x, motion.y);
    Emit(out, target.hwnd, WM_SETCURSOR, reinterpret_cast<WPARAM>(target.hwnd), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
    Emit(out, target.hwnd, WM_MOUSEMOVE, MouseFlags(), point);
}

void EventTranslator::TranslateButton(const SDL_MouseButtonEvent& button, std::vector<MSG>& out)
{
    EventTarget target;
    if (button.which == SDL_TOUCH_MOUSEID || !m_lookup(button.windowID, target)) {
        return;
    }
    UINT down = 0;
    UINT up = 0;
    UINT twice = 0;
    switch (button.button) {
    case SDL_BUTTON_LEFT:
        down = WM_LBUTTONDOWN, up = WM_LBUTTONUP, twice = WM_LBUTTONDBLCLK;
        break;
    case SDL_BUTTON_RIGHT:
        down = WM_RBUTTONDOWN, up = WM_RBUTTONUP, twice = WM_RBUTTONDBLCLK;
        break;
    case SDL_BUTTON_MIDDLE:
        down = WM_MBUTTONDOWN, up = WM_MBUTTONUP, twice = WM_MBUTTONDBLCLK;
        break;
    default:
        return;
    }
    const LPARAM point = ClientPoint(target, button.x, button.y);
    UINT message = up;
    if (button.state == SDL_PRESSED) {
        // Every second click of a run counts as the double click.
        const bool second = button.clicks >= 2 && button.clicks % 2 == 0;
        message = second && (target.classStyle & CS_DBLCLKS) != 0 ? twice : down;
    }
    // The flags tell the buttons held after the change, as on Windows.
    MSG change{};
    change.message = message;
    m_keys.Apply(change);
    Emit(out, target.hwnd, message, MouseFlags(), point);
}

void EventTranslator::TranslateWheel(const SDL_MouseWheelEvent& wheel, std::vector<MSG>& out)
{
    EventTarget target;
    if (wheel.which == SDL_TOUCH_MOUSEID || !m_lookup(wheel.windowID, target)) {
        return;
    }
    float notches = wheel.preciseY;
    if (wheel.direction == SDL_MOUSEWHEEL_FLIPPED) {
        notches = -notches;
    }
    const long delta = std::lround(notches * WHEEL_DELTA);
    if (delta == 0) {
        return;
    }
    // Wheel messages carry screen coordinates.
    const LPARAM point = PointParam(target.screenX + wheel.mouseX, target.screenY + wheel.mouseY);
    Emit(out, target.hwnd, WM_MOUSEWHEEL, MAKEWPARAM(static_cast<WORD>(MouseFlags()), Signed16(delta)), point);
}

void EventTranslator::TranslateWindow(const SDL_WindowEvent& window, std::vector<MSG>& out)
{
    EventTarget target;
    if (!m_lookup(window.windowID, target)) {
        return;
    }
    const HWND hwnd = target.hwnd;
    const LPARAM size = MAKELPARAM(target.logicalWidth, target.logicalHeight);
    switch (window.event) {
    case SDL_WINDOWEVENT_CLOSE:
        Emit(out, hwnd, WM_CLOSE, 0, 0);
        break;
    case SDL_WINDOWEVENT_FOCUS_GAINED:
        Emit(out, hwnd, WM_ACTIVATEAPP, TRUE, 0);
        Emit(out, hwnd, WM_NCACTIVATE, TRUE, 0);
        Emit(out, hwnd, WM_ACTIVATE, WA_ACTIVE, 0);
        break;
    case SDL_WINDOWEVENT_FOCUS_LOST:
        Emit(out, hwnd, WM_NCACTIVATE, FALSE, 0);
        Emit(out, hwnd, WM_ACTIVATE, WA_INACTIVE, 0);
        Emit(out, hwnd, WM_ACTIVATEAPP, FALSE, 0);
        break;
    case SDL_WINDOWEVENT_MINIMIZED:
        Emit(out, hwnd, WM_SIZE, SIZE_MINIMIZED, 0);
        break;
    case SDL_WINDOWEVENT_RESTORED:
        Emit(out, hwnd, WM_SIZE, SIZE_RESTORED, size);
        break;
    case SDL_WINDOWEVENT_MAXIMIZED:
        Emit(out, hwnd, WM_SIZE, SIZE_MAXIMIZED, size);
        break;
    default:
        break;
    }
}

void EventTranslator::TranslateDrop(const SDL_DropEvent& drop, std::vector<MSG>& out)
{
    if (drop.type == SDL_DROPBEGIN || (drop.type == SDL_DROPFILE && !m_dropOpen)) {
        m_dropOpen = true;
        m_dropWindow = drop.windowID;
        m_dropFiles.clear();
    }
    if (drop.type == SDL_DROPFILE && drop.file != nullptr) {
        m_dropFiles.emplace_back(drop.file);
    }
    if (drop.type != SDL_DROPCOMPLETE) {
        return;
    }
    m_dropOpen = false;
    EventTarget target;
    if (m_dropFiles.empty() || !m_lookup(m_dropWindow, target) || !target.acceptsFiles) {
        m_dropFiles.clear();
        return;
    }
    HDROP handle = MakeDrop(std::move(m_dropFiles), m_lastClientPoint, target.logicalWidth, target.logicalHeight);
    m_dropFiles.clear();
    Emit(out, target.hwnd, WM_DROPFILES, reinterpret_cast<WPARAM>(handle), 0);
}

}  // namespace platform
