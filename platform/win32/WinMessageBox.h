// Message boxes: a real SDL message box when a display is there; written to
// stderr and answered at once with the default button when QMV_HEADLESS=1 is
// set or no display can be had, so that tests and servers never block.
#pragma once

#include "platform/win32/WinTypes.h"

#include <cstddef>
#include <string>

#define MB_OK 0x00000000L
#define MB_OKCANCEL 0x00000001L
#define MB_YESNOCANCEL 0x00000003L
#define MB_YESNO 0x00000004L
#define MB_ICONERROR 0x00000010L
#define MB_ICONQUESTION 0x00000020L
#define MB_ICONEXCLAMATION 0x00000030L
#define MB_ICONINFORMATION 0x00000040L
#define MB_DEFBUTTON2 0x00000100L
#define MB_DEFBUTTON3 0x00000200L
#define MB_SETFOREGROUND 0x00010000L
#define MB_TOPMOST 0x00040000L

#define IDOK 1
#define IDCANCEL 2
#define IDYES 6
#define IDNO 7

int MessageBoxW(HWND owner, LPCWSTR text, LPCWSTR caption, UINT type);
int MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type);

namespace platform {

// The text as lines of at most `columns` characters, broken at spaces (a word
// longer than a line is broken where the line ends; line breaks already there
// stay): the box shows each line whole on one row and would otherwise run a
// long message out of itself and off the screen.
std::string WrapMessageText(const std::string& text, std::size_t columns);

}  // namespace platform
