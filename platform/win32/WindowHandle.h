// The link between a window handle and the SDL window behind it. The window
// stand-in registers each window it creates; other stand-ins (the Direct3D 9
// device, the clipboard) find the SDL window from the handle they are given.
#pragma once

#include "platform/win32/WinTypes.h"

struct SDL_Window;

namespace platform {

// Answers a new handle for the window; the same window always gets the same handle.
HWND RegisterSdlWindow(SDL_Window* window);
// Answers a new handle for a window that has no SDL window (a message-only window).
HWND NewMessageWindowHandle();
// Forgets the handle; later look-ups of it answer null.
void UnregisterSdlWindow(HWND hwnd);
// The SDL window of a registered handle, or null.
SDL_Window* SdlWindowFromHwnd(HWND hwnd);
// The handle of a registered SDL window, or null.
HWND HwndFromSdlWindow(SDL_Window* window);

}  // namespace platform
