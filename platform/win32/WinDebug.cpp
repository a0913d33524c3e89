#include "platform/win32/WinDebug.h"

#include <cstdio>

void OutputDebugStringA(LPCSTR text)
{
    if (text == nullptr) {
        return;
    }
    std::fputs(text, stderr);
    std::fflush(stderr);
}
