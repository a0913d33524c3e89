// Turns SDL events into the Windows messages a window procedure expects.
//
// Keys: WM_KEYDOWN / WM_KEYUP, or WM_SYSKEYDOWN / WM_SYSKEYUP for F10, for Alt
// itself and for keys pressed while Alt is held without Ctrl. wParam is the
// virtual key (VK_SHIFT, VK_CONTROL, VK_MENU for either side of a modifier);
// lParam carries the repeat count (always 1: every auto-repeat is a message of
// its own), the PC scan code (bits 16-23), the extended-key bit (24: right
// Ctrl and Alt, the navigation block, keypad Enter and /, Num Lock, the
// Windows and menu keys), the Alt context bit (29), the previous state (30:
// set on auto-repeat and on every key-up) and the transition bit (31: key-up).
// Typed text comes as one WM_CHAR per UTF-16 unit (WM_SYSCHAR while Alt is
// held without Ctrl).
//
// Mouse: client coordinates in the window's logical size, mapped back through
// the letterbox; outside the picture (on the bars, or beyond the window while
// the mouse is captured) they run negative or past the size, and travel as
// signed 16-bit values as on Windows. Every move is preceded by WM_SETCURSOR.
// A second click of a double click is a WM_xBUTTONDBLCLK when the window class
// has CS_DBLCLKS. Wheel deltas are in units of WHEEL_DELTA per notch.
//
// Window: focus changes become WM_ACTIVATEAPP, WM_NCACTIVATE and WM_ACTIVATE;
// minimise, restore and maximise become WM_SIZE; the close request, and SDL's
// quit request (for the first window), WM_CLOSE; a drop of files on a window
// that accepts them one WM_DROPFILES.
#pragma once

#include "platform/win32/KeyState.h"

#include <SDL_events.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace platform {

// What the translation needs to know of the window an event belongs to.
struct EventTarget {
    HWND hwnd = nullptr;
    UINT classStyle = 0;
    bool acceptsFiles = false;
    int logicalWidth = 0;   // the client size the program sees
    int logicalHeight = 0;
    int windowWidth = 0;    // the size of the real window, in SDL window coordinates
    int windowHeight = 0;
    int screenX = 0;        // the real window's position on the screen
    int screenY = 0;
};

// Finds the target of an SDL window id; id 0 asks for the first window.
using TargetLookup = std::function<bool(std::uint32_t windowId, EventTarget& target)>;

class EventTranslator {
public:
    explicit EventTranslator(TargetLookup lookup);

    // Appends the messages of one event, in the order they are to be delivered.
    void Translate(const SDL_Event& event, std::vector<MSG>& out);
    // The keyboard and mouse buttons as the translated events left them.
    const KeyState& Keys() const { return m_keys; }

private:
    void TranslateKey(const SDL_KeyboardEvent& key, std::vector<MSG>& out);
    void TranslateText(const SDL_TextInputEvent& text, std::vector<MSG>& out);
    void TranslateMotion(const SDL_MouseMotionEvent& motion, std::vector<MSG>& out);
    void TranslateButton(const SDL_MouseButtonEvent& button, std::vector<MSG>& out);
    void TranslateWheel(const SDL_MouseWheelEvent& wheel, std::vector<MSG>& out);
    void TranslateWindow(const SDL_WindowEvent& window, std::vector<MSG>& out);
    void TranslateDrop(const SDL_DropEvent& drop, std::vector<MSG>& out);
    // The MK_ flags of the buttons and modifiers held now.
    WPARAM MouseFlags() const;
    LPARAM ClientPoint(const EventTarget& target, int windowX, int windowY);
    bool AltWithoutCtrl() const;
    void Emit(std::vector<MSG>& out, HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

    TargetLookup m_lookup;
    KeyState m_keys;
    BYTE m_lastScanCode = 0;
    POINT m_lastClientPoint{0, 0};
    std::uint32_t m_dropWindow = 0;
    bool m_dropOpen = false;
    std::vector<std::string> m_dropFiles;
};

}  // namespace platform
