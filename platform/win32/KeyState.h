// A table of 256 virtual keys, each down or up and toggled or not, kept up to
// date from the keyboard and mouse-button messages applied to it.
#pragma once

#include "platform/win32/WinMessages.h"

#include <array>

namespace platform {

class KeyState {
public:
    // Key messages set or clear their key, the side-specific key (Shift,
    // Ctrl and Alt) and the generic key; a fresh press flips the toggle bit.
    // Mouse-button messages set or clear VK_LBUTTON, VK_RBUTTON, VK_MBUTTON.
    void Apply(const MSG& msg);
    bool IsDown(int virtualKey) const;
    bool IsToggled(int virtualKey) const;
    // The GetKeyState form of the key's state.
    SHORT Query(int virtualKey) const;
    void Clear();

private:
    void Set(int virtualKey, bool down);

    std::array<BYTE, 256> m_keys{};
};

}  // namespace platform
