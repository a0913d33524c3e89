// The Windows view of an SDL key: its virtual key (for letters and digits
// from the keyboard layout, for every other key from its position), its PC
// scan code and whether Windows marks it as an extended key.
#pragma once

#include "platform/win32/WinTypes.h"

#include <SDL_keyboard.h>

namespace platform {

struct KeyInfo {
    BYTE virtualKey = 0;  // side-specific for Shift, Ctrl and Alt (VK_LSHIFT, ...)
    BYTE scanCode = 0;
    bool extended = false;
};

// False for keys that have no virtual key here (media keys, unknown keys).
// The keypad's digit keys answer VK_NUMPAD0..9 while Num Lock is on (KMOD_NUM)
// and the navigation keys (not extended) while it is off.
bool KeyFromSdl(const SDL_Keysym& key, KeyInfo& out);

}  // namespace platform
