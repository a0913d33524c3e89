// Mouse capture, cursors and coordinate conversions.
//
// Screen coordinates are the display's pixels; client coordinates are the
// window's logical size, mapped through the letterbox (see WinWindow.h).
// Cursors are the system cursors of the display, made when first shown.
#pragma once

#include "platform/win32/WinTypes.h"

#define MAKEINTRESOURCEA(i) (reinterpret_cast<LPSTR>(static_cast<UINT_PTR>(static_cast<WORD>(i))))
#define IS_INTRESOURCE(r) ((reinterpret_cast<UINT_PTR>(r) >> 16) == 0)

#define IDC_ARROW MAKEINTRESOURCEA(32512)
#define IDC_IBEAM MAKEINTRESOURCEA(32513)
#define IDC_WAIT MAKEINTRESOURCEA(32514)
#define IDC_HAND MAKEINTRESOURCEA(32649)
#define IDC_APPSTARTING MAKEINTRESOURCEA(32650)
#define IDC_HELP MAKEINTRESOURCEA(32651)


// The window that receives every mouse message, inside the window or not,
// until ReleaseCapture. Answers the window that had the capture before; a
// window that loses the capture receives WM_CAPTURECHANGED.
HWND SetCapture(HWND hwnd);
BOOL ReleaseCapture();
HWND GetCapture();

// System cursors by IDC_ id, with a null instance; the same id answers the same
// handle. Anything else answers null.
HCURSOR LoadCursorA(HINSTANCE instance, LPCSTR name);
// The program carries no icon resources: null.
HICON LoadIconA(HINSTANCE instance, LPCSTR name);
// Answers the previous cursor; a null cursor hides the pointer.
HCURSOR SetCursor(HCURSOR cursor);
HCURSOR GetCursor();
// Raises or lowers the display count (0 at start) and answers the new count;
// the pointer shows while the count is 0 or more and a cursor is set.
int ShowCursor(BOOL show);
// Keeps the pointer inside the screen rectangle (over the first window); null frees it.
BOOL ClipCursor(const RECT* rect);

BOOL GetCursorPos(POINT* point);
BOOL ScreenToClient(HWND hwnd, POINT* point);
BOOL ClientToScreen(HWND hwnd, POINT* point);
