// The clipboard over SDL's text clipboard, with the movable global memory
// blocks the clipboard functions exchange. Text is the only format SDL
// offers: CF_UNICODETEXT (UTF-16) and CF_TEXT (ANSI) are views of it.
// The clipboard can be opened only while SDL's video subsystem runs.
#pragma once

#include "platform/win32/WinTypes.h"

#define CF_TEXT 1
#define CF_UNICODETEXT 13

#define GMEM_FIXED 0x0000
#define GMEM_MOVEABLE 0x0002
#define GMEM_ZEROINIT 0x0040
#define GHND (GMEM_MOVEABLE | GMEM_ZEROINIT)

HGLOBAL GlobalAlloc(UINT flags, SIZE_T bytes);
LPVOID GlobalLock(HGLOBAL memory);
BOOL GlobalUnlock(HGLOBAL memory);
SIZE_T GlobalSize(HGLOBAL memory);
// Answers null on success, the block itself when it is unknown.
HGLOBAL GlobalFree(HGLOBAL memory);

BOOL OpenClipboard(HWND owner);
BOOL CloseClipboard();
BOOL EmptyClipboard();
BOOL IsClipboardFormatAvailable(UINT format);
// The first of the formats that is available; 0 when the clipboard is empty,
// -1 when it holds data in none of them.
int GetPriorityClipboardFormat(UINT* formats, int count);
// A block owned by the clipboard, valid until it is closed.
HANDLE GetClipboardData(UINT format);
// Takes ownership of the block; answers it on success, null on failure.
HANDLE SetClipboardData(UINT format, HANDLE memory);
