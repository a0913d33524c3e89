#include "platform/win32/KeyState.h"

#include "platform/win32/WinKeys.h"

namespace platform {
namespace {

constexpr BYTE kDown = 0x80;
constexpr BYTE kToggled = 0x01;
// The scan code of the right Shift key; Windows gives it no extended bit.
constexpr int kRightShiftScan = 0x36;

bool IsKeyIndex(int virtualKey)
{
    return virtualKey >= 0 && virtualKey < 256;
}

// The side-specific key behind a generic modifier, from the message's scan code and extended bit.
int SpecificKey(int virtualKey, LPARAM lParam)
{
    const bool extended = (lParam >> 24) & 1;
    switch (virtualKey) {
    case VK_SHIFT:
        return ((lParam >> 16) & 0xFF) == kRightShiftScan ? VK_RSHIFT : VK_LSHIFT;
    case VK_CONTROL:
        return extended ? VK_RCONTROL : VK_LCONTROL;
    case VK_MENU:
        return extended ? VK_RMENU : VK_LMENU;
    default:
        return virtualKey;
    }
}

}  // namespace

void KeyState::Set(int virtualKey, bool down)
{
    if (!IsKeyIndex(virtualKey)) {
        return;
    }
    if (down) {
        if ((m_keys[virtualKey] & kDown) == 0) {
            m_keys[virtualKey] ^= kToggled;
        }
        m_keys[virtualKey] |= kDown;
    } else {
        m_keys[virtualKey] &= static_cast<BYTE>(~kDown);
    }
}

void KeyState::Apply(const MSG& msg)
{
    switch (msg.message) {
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
    case WM_KEYUP:
    case WM_SYSKEYUP: {
        const bool down = msg.message == WM_KEYDOWN || msg.message == WM_SYSKEYDOWN;
        const int key = static_cast<int>(msg.wParam & 0xFF);
        const int specific = SpecificKey(key, msg.lParam);
        if (specific == key) {
            Set(key, down);
            return;
        }
        Set(specific, down);
        // The generic modifier is down while either side is.
        static constexpr struct {
            int generic, left, right;
        } kPairs[] = {{VK_SHIFT, VK_LSHIFT, VK_RSHIFT}, {VK_CONTROL, VK_LCONTROL, VK_RCONTROL}, {VK_MENU, VK_LMENU, VK_RMENU}};
        for (const auto& pair : kPairs) {
            if (pair.generic == key) {
                Set(key, IsDown(pair.left) || IsDown(pair.right));
            }
        }
        return;
    }
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
        Set(VK_LBUTTON, true);
        return;
    case WM_LBUTTONUP:
        Set(VK_LBUTTON, false);
        return;
    case WM_RBUTTONDOWN:
    case WM_RBUTTONDBLCLK:
        Set(VK_RBUTTON, true);
        return;
    case WM_RBUTTONUP:
        Set(VK_RBUTTON, false);
        return;
    case WM_MBUTTONDOWN:
    case WM_MBUTTONDBLCLK:
        Set(VK_MBUTTON, true);
        return;
    case WM_MBUTTONUP:
        Set(VK_MBUTTON, false);
        return;
    default:
        return;
    }
}

bool KeyState::IsDown(int virtualKey) const
{
    return IsKeyIndex(virtualKey) && (m_keys[virtualKey] & kDown) != 0;
}

bool KeyState::IsToggled(int virtualKey) const
{
    return IsKeyIndex(virtualKey) && (m_keys[virtualKey] & kToggled) != 0;
}

SHORT KeyState::Query(int virtualKey) const
{
    // Windows answers the key byte sign-extended: 0xFF80 when down.
    int value = IsDown(virtualKey) ? 0xFF80 : 0;
    if (IsToggled(virtualKey)) {
        value |= 1;
    }
    return static_cast<SHORT>(static_cast<USHORT>(value));
}

void KeyState::Clear()
{
    m_keys.fill(0);
}

}  // namespace platform
