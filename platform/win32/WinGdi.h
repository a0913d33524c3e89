// The little of GDI the window uses: filling its client area with a solid
// colour before the renderer draws anything. A window's device context paints
// through the window's GL context: the rectangle (client coordinates) is
// cleared to the brush colour in both buffers, so the colour shows at once
// and stays until the first frame.
#pragma once

#include "platform/win32/WinTypes.h"

using COLORREF = DWORD;
struct HGDIOBJ__;
using HGDIOBJ = HGDIOBJ__*;

#define RGB(r, g, b) (static_cast<COLORREF>(static_cast<BYTE>(r) | (static_cast<WORD>(static_cast<BYTE>(g)) << 8) | \
                                            (static_cast<DWORD>(static_cast<BYTE>(b)) << 16)))
#define GetRValue(c) (static_cast<BYTE>((c) & 0xFF))
#define GetGValue(c) (static_cast<BYTE>(((c) >> 8) & 0xFF))
#define GetBValue(c) (static_cast<BYTE>(((c) >> 16) & 0xFF))

#define WHITE_BRUSH 0
#define BLACK_BRUSH 4

// A device context for the window's client area; null for an unknown window.
HDC GetDC(HWND hwnd);
int ReleaseDC(HWND hwnd, HDC dc);
HBRUSH CreateSolidBrush(COLORREF color);
// WHITE_BRUSH and BLACK_BRUSH; stock objects are never freed.
HGDIOBJ GetStockObject(int object);
BOOL DeleteObject(HGDIOBJ object);
// Answers nonzero when the rectangle was painted.
int FillRect(HDC dc, const RECT* rect, HBRUSH brush);
