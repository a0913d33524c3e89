#include "platform/win32/WinKeys.h"

#include "platform/win32/WinEvents.h"

SHORT GetKeyState(int virtualKey)
{
    return platform::MessageKeys().Query(virtualKey);
}

SHORT GetAsyncKeyState(int virtualKey)
{
    return platform::AsyncKeys().IsDown(virtualKey) ? static_cast<SHORT>(0x8000) : 0;
}
