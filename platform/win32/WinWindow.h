// Window classes and windows on SDL2.
//
// Every window is an SDL window with an OpenGL 2.1 compatibility context: RGBA
// 8-8-8-8, double buffered, 24-bit depth and 8-bit stencil buffers. There is
// one GL context for the whole run, made with the first window and current on
// the thread that created it; the Direct3D 9 stand-in reaches the window through
// platform::SdlWindowFromHwnd and the context through platform::SharedGlContext.
//
// The client area keeps the size the window was created (or last moved) with:
// that is the logical size the program draws at, and every client coordinate it
// sees (GetClientRect, mouse messages, ScreenToClient) is in it. The picture is
// letterboxed into whatever the real window measures (see Letterbox.h).
// Window frames belong to the window manager and lie outside the client area,
// so AdjustWindowRect leaves rectangles as they are.
//
// WS_POPUP windows are full screen (the desktop's mode, SDL's "desktop" full
// screen); others are normal windows, resizable when they have a maximise box
// or a sizing frame. DestroyWindow keeps the SDL window (hidden) and its
// context, and the next CreateWindowExA takes it up again under the same
// handle, so switching full screen by re-creating the window keeps the context.
#pragma once

#include "platform/win32/WinMessages.h"

#define CS_VREDRAW 0x0001
#define CS_HREDRAW 0x0002
#define CS_DBLCLKS 0x0008
#define CS_OWNDC 0x0020

#define WS_OVERLAPPED 0x00000000L
#define WS_POPUP 0x80000000L
#define WS_CHILD 0x40000000L
#define WS_MINIMIZE 0x20000000L
#define WS_VISIBLE 0x10000000L
#define WS_DISABLED 0x08000000L
#define WS_CLIPSIBLINGS 0x04000000L
#define WS_CLIPCHILDREN 0x02000000L
#define WS_MAXIMIZE 0x01000000L
#define WS_CAPTION 0x00C00000L
#define WS_BORDER 0x00800000L
#define WS_DLGFRAME 0x00400000L
#define WS_SYSMENU 0x00080000L
#define WS_THICKFRAME 0x00040000L
#define WS_MINIMIZEBOX 0x00020000L
#define WS_MAXIMIZEBOX 0x00010000L
#define WS_OVERLAPPEDWINDOW 0x00CF0000L
#define WS_EX_TOPMOST 0x00000008L
#define WS_EX_ACCEPTFILES 0x00000010L
#define WS_EX_APPWINDOW 0x00040000L

#define CW_USEDEFAULT (static_cast<int>(0x80000000u))

#define SW_HIDE 0
#define SW_SHOWNORMAL 1
#define SW_NORMAL 1
#define SW_SHOWMINIMIZED 2
#define SW_SHOWMAXIMIZED 3
#define SW_MAXIMIZE 3
#define SW_SHOWNOACTIVATE 4
#define SW_SHOW 5
#define SW_MINIMIZE 6
#define SW_SHOWMINNOACTIVE 7
#define SW_SHOWNA 8
#define SW_RESTORE 9
#define SW_SHOWDEFAULT 10

#define SWP_NOSIZE 0x0001
#define SWP_NOMOVE 0x0002
#define SWP_NOZORDER 0x0004
#define SWP_NOACTIVATE 0x0010
#define SWP_FRAMECHANGED 0x0020
#define SWP_SHOWWINDOW 0x0040
#define SWP_HIDEWINDOW 0x0080
#define HWND_TOP (reinterpret_cast<HWND>(static_cast<LONG_PTR>(0)))
#define HWND_TOPMOST (reinterpret_cast<HWND>(static_cast<LONG_PTR>(-1)))
#define HWND_NOTOPMOST (reinterpret_cast<HWND>(static_cast<LONG_PTR>(-2)))
// As the parent of CreateWindowExA: a window that only receives messages. It
// has no SDL window, is never shown and needs no display.
#define HWND_MESSAGE (reinterpret_cast<HWND>(static_cast<LONG_PTR>(-3)))

#define SPI_SETFOREGROUNDLOCKTIMEOUT 0x2001
#define SPIF_UPDATEINIFILE 0x0001
#define SPIF_SENDCHANGE 0x0002


struct WNDCLASSEXA {
    UINT cbSize;
    UINT style;
    WNDPROC lpfnWndProc;
    int cbClsExtra;
    int cbWndExtra;
    HINSTANCE hInstance;
    HICON hIcon;
    HCURSOR hCursor;
    HBRUSH hbrBackground;
    LPCSTR lpszMenuName;
    LPCSTR lpszClassName;
    HICON hIconSm;
};

struct CREATESTRUCTA {
    LPVOID lpCreateParams;
    HINSTANCE hInstance;
    HMENU hMenu;
    HWND hwndParent;
    int cy;
    int cx;
    int y;
    int x;
    LONG style;
    LPCSTR lpszName;
    LPCSTR lpszClass;
    DWORD dwExStyle;
};

// Answers the class atom, 0 when the name is taken (names ignore ASCII case).
ATOM RegisterClassExA(const WNDCLASSEXA* windowClass);
// FALSE while a window of the class exists or when the class is unknown.
BOOL UnregisterClassA(LPCSTR className, HINSTANCE instance);
// Sends WM_NCCREATE and WM_CREATE (a FALSE or -1 answer destroys the window
// and answers null); shows the window when the style has WS_VISIBLE.
HWND CreateWindowExA(DWORD exStyle, LPCSTR className, LPCSTR windowName, DWORD style, int x, int y, int width,
                     int height, HWND parent, HMENU menu, HINSTANCE instance, LPVOID param);
// Sends WM_DESTROY and WM_NCDESTROY, hides the SDL window and forgets the handle's window.
BOOL DestroyWindow(HWND hwnd);
BOOL IsWindow(HWND hwnd);
// Answers whether the window was visible before.
BOOL ShowWindow(HWND hwnd, int command);
BOOL UpdateWindow(HWND hwnd);
BOOL SetWindowTextA(HWND hwnd, LPCSTR text);
BOOL SetWindowTextW(HWND hwnd, LPCWSTR text);
BOOL SetWindowPos(HWND hwnd, HWND insertAfter, int x, int y, int width, int height, UINT flags);
BOOL MoveWindow(HWND hwnd, int x, int y, int width, int height, BOOL repaint);
// (0, 0, logical width, logical height).
BOOL GetClientRect(HWND hwnd, RECT* rect);
// The client area's screen position and logical size.
BOOL GetWindowRect(HWND hwnd, RECT* rect);
BOOL AdjustWindowRect(RECT* rect, DWORD style, BOOL menu);
BOOL AdjustWindowRectEx(RECT* rect, DWORD style, BOOL menu, DWORD exStyle);
BOOL IsIconic(HWND hwnd);
BOOL IsZoomed(HWND hwnd);
BOOL SetForegroundWindow(HWND hwnd);
HWND GetForegroundWindow();
// A top-level window by class name and title (null matches any): one of this
// process, else one of another process of ours (see WindowDirectory.h), which
// ShowWindow(SW_RESTORE) and SetForegroundWindow can bring forward.
HWND FindWindowA(LPCSTR className, LPCSTR windowName);
// WM_CLOSE destroys the window; WM_NCCREATE answers TRUE; WM_SETCURSOR sets the
// class cursor in the client area; everything else answers 0.
LRESULT DefWindowProcA(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
// A stand-in for the desktop: a handle that is no window of ours, accepted as a parent.
HWND GetDesktopWindow();
#define SM_CXSCREEN 0
#define SM_CYSCREEN 1
// The primary display's width and height in pixels (0 without a display).
int GetSystemMetrics(int index);
// Only SPI_SETFOREGROUNDLOCKTIMEOUT is known (and has nothing to change here).
BOOL SystemParametersInfoA(UINT action, UINT param, LPVOID value, UINT winIni);

namespace platform {

// The GL context shared by every window, or null before the first window.
void* SharedGlContext();
// The letterbox of the window's picture in drawable pixels (for presenting).
class Letterbox;
bool DrawableLetterbox(HWND hwnd, Letterbox& box);

}  // namespace platform
