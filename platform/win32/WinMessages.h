// Window messages: the message numbers and parameter values the window
// procedure reads, the MSG record, and the per-thread message queue.
//
// Every thread has its own queue. PostMessageA puts a message at the back of
// the queue of the thread that created the window (a null window posts to the
// calling thread); SendMessageA calls the window procedure at once. On the
// thread that created the first window, PeekMessageA and GetMessageA first
// read the display's events and turn them into the messages of WinEvents.h.
#pragma once

#include "platform/win32/WinTypes.h"

#ifndef CALLBACK
#define CALLBACK
#endif
#ifndef WINAPI
#define WINAPI
#endif

#define WM_NULL 0x0000
#define WM_CREATE 0x0001
#define WM_DESTROY 0x0002
#define WM_MOVE 0x0003
#define WM_SIZE 0x0005
#define WM_ACTIVATE 0x0006
#define WM_SETFOCUS 0x0007
#define WM_KILLFOCUS 0x0008
#define WM_SETTEXT 0x000C
#define WM_PAINT 0x000F
#define WM_CLOSE 0x0010
#define WM_QUIT 0x0012
#define WM_SHOWWINDOW 0x0018
#define WM_ACTIVATEAPP 0x001C
#define WM_CANCELMODE 0x001F
#define WM_SETCURSOR 0x0020
#define WM_DISPLAYCHANGE 0x007E
#define WM_NCCREATE 0x0081
#define WM_NCDESTROY 0x0082
#define WM_NCACTIVATE 0x0086
#define WM_NCLBUTTONDOWN 0x00A1
#define WM_KEYFIRST 0x0100
#define WM_KEYDOWN 0x0100
#define WM_KEYUP 0x0101
#define WM_CHAR 0x0102
#define WM_DEADCHAR 0x0103
#define WM_SYSKEYDOWN 0x0104
#define WM_SYSKEYUP 0x0105
#define WM_SYSCHAR 0x0106
#define WM_SYSDEADCHAR 0x0107
#define WM_UNICHAR 0x0109
#define WM_KEYLAST 0x0109
#define WM_MOUSEFIRST 0x0200
#define WM_MOUSEMOVE 0x0200
#define WM_LBUTTONDOWN 0x0201
#define WM_LBUTTONUP 0x0202
#define WM_LBUTTONDBLCLK 0x0203
#define WM_RBUTTONDOWN 0x0204
#define WM_RBUTTONUP 0x0205
#define WM_RBUTTONDBLCLK 0x0206
#define WM_MBUTTONDOWN 0x0207
#define WM_MBUTTONUP 0x0208
#define WM_MBUTTONDBLCLK 0x0209
#define WM_MOUSEWHEEL 0x020A
#define WM_MOUSELAST 0x020A
#define WM_CAPTURECHANGED 0x0215
#define WM_POWERBROADCAST 0x0218
#define WM_DROPFILES 0x0233
#define WM_WTSSESSION_CHANGE 0x02B1
#define WM_USER 0x0400
#define WM_APP 0x8000

#define UNICODE_NOCHAR 0xFFFF

// WM_SIZE
#define SIZE_RESTORED 0
#define SIZE_MINIMIZED 1
#define SIZE_MAXIMIZED 2
// WM_ACTIVATE
#define WA_INACTIVE 0
#define WA_ACTIVE 1
#define WA_CLICKACTIVE 2
// Button and modifier flags of mouse messages
#define MK_LBUTTON 0x0001
#define MK_RBUTTON 0x0002
#define MK_SHIFT 0x0004
#define MK_CONTROL 0x0008
#define MK_MBUTTON 0x0010
// WM_MOUSEWHEEL
#define WHEEL_DELTA 120
#define GET_WHEEL_DELTA_WPARAM(w) (static_cast<SHORT>(HIWORD(w)))
// WM_SETCURSOR hit-test codes
#define HTCLIENT 1
#define HTCAPTION 2
// WM_POWERBROADCAST
#define PBT_APMSUSPEND 0x0004
#define PBT_APMSTANDBY 0x0005
#define PBT_APMRESUMECRITICAL 0x0006
#define PBT_APMRESUMESUSPEND 0x0007
#define PBT_APMRESUMESTANDBY 0x0008
#define PBT_APMRESUMEAUTOMATIC 0x0012
// WM_WTSSESSION_CHANGE
#define WTS_SESSION_LOGON 0x5
#define WTS_SESSION_LOGOFF 0x6
#define WTS_SESSION_LOCK 0x7
#define WTS_SESSION_UNLOCK 0x8
#define NOTIFY_FOR_THIS_SESSION 0
#define NOTIFY_FOR_ALL_SESSIONS 1

// PeekMessageA
#define PM_NOREMOVE 0x0000
#define PM_REMOVE 0x0001
#define PM_NOYIELD 0x0002

struct MSG {
    HWND hwnd;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    DWORD time;
    POINT pt;
};
using LPMSG = MSG*;

using WNDPROC = LRESULT (*)(HWND, UINT, WPARAM, LPARAM);

// Answers TRUE and fills msg when a message in [filterMin, filterMax] (both 0:
// any) for the window (null: any window and thread messages; (HWND)-1: thread
// messages only) is waiting; FALSE at once otherwise. WM_QUIT is answered
// after every other waiting message.
BOOL PeekMessageA(LPMSG msg, HWND hwnd, UINT filterMin, UINT filterMax, UINT removeFlags);
// Waits for a message; answers 0 for WM_QUIT, -1 for a bad argument, else nonzero.
BOOL GetMessageA(LPMSG msg, HWND hwnd, UINT filterMin, UINT filterMax);
// For Backspace, Tab, Enter and Escape key-downs puts the WM_CHAR that Windows
// makes of them at the front of the queue and answers TRUE; characters of
// other keys come from the text input (WM_CHAR from the event translation).
BOOL TranslateMessage(const MSG* msg);
// Calls the window procedure of msg->hwnd; 0 for thread messages and dead windows.
LRESULT DispatchMessageA(const MSG* msg);
// FALSE for a window that does not exist.
BOOL PostMessageA(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT SendMessageA(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
// The calling thread's next GetMessageA or PeekMessageA, after the messages already waiting, answers WM_QUIT.
void PostQuitMessage(int exitCode);
