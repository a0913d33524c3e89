// Debugger output: on Linux the text goes to stderr as it is.
#pragma once

#include "platform/win32/WinTypes.h"

void OutputDebugStringA(LPCSTR text);
