#include "framework/core/app/KeyCodes.h"

#include "platform/win32/EventTranslator.h"
#include "platform/win32/WinKeys.h"

#include <gtest/gtest.h>

#include <set>

namespace key_codes_test {

namespace {

using Qmv2::IsKeyDown;
using Qmv2::Platform::KeyCodeCharacter;
using Qmv2::Platform::TranslateVirtualKey;
using Qmv2::Platform::VirtualKeyOfCode;

// One key of the keyboard, the code the window makes of its key-down message
// (from wParam, with the side of Ctrl and Alt from the extended bit) and its character.
struct KeyboardKey {
    SDL_Scancode scancode;
    SDL_Keymod mod;
    int code;
    unsigned character;
};

const KeyboardKey kKeyboard[] = {
    {SDL_SCANCODE_BACKSPACE, KMOD_NONE, 1, 0x08}, {SDL_SCANCODE_TAB, KMOD_NONE, 2, 0x09},
    {SDL_SCANCODE_INSERT, KMOD_NONE, 3, 0},       {SDL_SCANCODE_DELETE, KMOD_NONE, 4, 0x7F},
    {SDL_SCANCODE_RETURN, KMOD_NONE, 5, 0x0A},    {SDL_SCANCODE_KP_ENTER, KMOD_NONE, 5, 0x0A},
    {SDL_SCANCODE_LSHIFT, KMOD_NONE, 7, 0},       {SDL_SCANCODE_RSHIFT, KMOD_NONE, 8, 0},
    {SDL_SCANCODE_LCTRL, KMOD_NONE, 10, 0},       {SDL_SCANCODE_RCTRL, KMOD_NONE, 11, 0},
    {SDL_SCANCODE_LALT, KMOD_NONE, 13, 0},        {SDL_SCANCODE_RALT, KMOD_NONE, 14, 0},
    {SDL_SCANCODE_PAUSE, KMOD_NONE, 15, 0},       {SDL_SCANCODE_ESCAPE, KMOD_NONE, 16, 0x1B},
    {SDL_SCANCODE_SPACE, KMOD_NONE, 17, 0x20},    {SDL_SCANCODE_END, KMOD_NONE, 18, 0},
    {SDL_SCANCODE_HOME, KMOD_NONE, 19, 0},        {SDL_SCANCODE_LEFT, KMOD_NONE, 20, 0},
    {SDL_SCANCODE_UP, KMOD_NONE, 21, 0},          {SDL_SCANCODE_RIGHT, KMOD_NONE, 22, 0},
    {SDL_SCANCODE_DOWN, KMOD_NONE, 23, 0},        {SDL_SCANCODE_PAGEDOWN, KMOD_NONE, 24, 0},
    {SDL_SCANCODE_PAGEUP, KMOD_NONE, 25, 0},      {SDL_SCANCODE_LGUI, KMOD_NONE, 27, 0},
    {SDL_SCANCODE_RGUI, KMOD_NONE, 28, 0},        {SDL_SCANCODE_APPLICATION, KMOD_NONE, 29, 0},
    {SDL_SCANCODE_CAPSLOCK, KMOD_NONE, 30, 0},    {SDL_SCANCODE_NUMLOCKCLEAR, KMOD_NONE, 31, 0},
    {SDL_SCANCODE_SCROLLLOCK, KMOD_NONE, 32, 0},  {SDL_SCANCODE_KP_0, KMOD_NUM, 33, '0'},
    {SDL_SCANCODE_KP_1, KMOD_NUM, 34, '1'},       {SDL_SCANCODE_KP_2, KMOD_NUM, 35, '2'},
    {SDL_SCANCODE_KP_3, KMOD_NUM, 36, '3'},       {SDL_SCANCODE_KP_4, KMOD_NUM, 37, '4'},
    {SDL_SCANCODE_KP_5, KMOD_NUM, 38, '5'},       {SDL_SCANCODE_KP_6, KMOD_NUM, 39, '6'},
    {SDL_SCANCODE_KP_7, KMOD_NUM, 40, '7'},       {SDL_SCANCODE_KP_8, KMOD_NUM, 41, '8'},
    {SDL_SCANCODE_KP_9, KMOD_NUM, 42, '9'},       {SDL_SCANCODE_KP_MULTIPLY, KMOD_NONE, 43, '*'},
    {SDL_SCANCODE_KP_PLUS, KMOD_NONE, 44, '+'},   {SDL_SCANCODE_KP_COMMA, KMOD_NONE, 45, 0x0A},
    {SDL_SCANCODE_KP_MINUS, KMOD_NONE, 46, '-'},  {SDL_SCANCODE_KP_PERIOD, KMOD_NUM, 47, '.'},
    {SDL_SCANCODE_KP_DIVIDE, KMOD_NONE, 48, '/'}, {SDL_SCANCODE_EQUALS, KMOD_NONE, 49, '+'},
    {SDL_SCANCODE_COMMA, KMOD_NONE, 50, ','},     {SDL_SCANCODE_MINUS, KMOD_NONE, 51, '-'},
    {SDL_SCANCODE_PERIOD, KMOD_NONE, 52, '.'},    {SDL_SCANCODE_F1, KMOD_NONE, 53, 0},
    {SDL_SCANCODE_F2, KMOD_NONE, 54, 0},          {SDL_SCANCODE_F3, KMOD_NONE, 55, 0},
    {SDL_SCANCODE_F4, KMOD_NONE, 56, 0},          {SDL_SCANCODE_F5, KMOD_NONE, 57, 0},
    {SDL_SCANCODE_F6, KMOD_NONE, 58, 0},          {SDL_SCANCODE_F7, KMOD_NONE, 59, 0},
    {SDL_SCANCODE_F8, KMOD_NONE, 60, 0},          {SDL_SCANCODE_F9, KMOD_NONE, 61, 0},
    {SDL_SCANCODE_F10, KMOD_NONE, 62, 0},         {SDL_SCANCODE_F11, KMOD_NONE, 63, 0},
    {SDL_SCANCODE_F12, KMOD_NONE, 64, 0},         {SDL_SCANCODE_F13, KMOD_NONE, 65, 0},
    {SDL_SCANCODE_F14, KMOD_NONE, 66, 0},         {SDL_SCANCODE_F15, KMOD_NONE, 67, 0},
    {SDL_SCANCODE_F16, KMOD_NONE, 68, 0},         {SDL_SCANCODE_F17, KMOD_NONE, 69, 0},
    {SDL_SCANCODE_F18, KMOD_NONE, 70, 0},         {SDL_SCANCODE_F19, KMOD_NONE, 71, 0},
    {SDL_SCANCODE_F20, KMOD_NONE, 72, 0},         {SDL_SCANCODE_F21, KMOD_NONE, 73, 0},
    {SDL_SCANCODE_F22, KMOD_NONE, 74, 0},         {SDL_SCANCODE_F23, KMOD_NONE, 75, 0},
    {SDL_SCANCODE_F24, KMOD_NONE, 76, 0},
};

// The side-specific code of a modifier, as the window derives it: the generic
// code plus 1 + the extended bit (the right Shift key carries scan code 0x36).
int CodeOfKeyDown(const MSG& msg)
{
    const int code = TranslateVirtualKey(static_cast<int>(msg.wParam));
    const int extended = static_cast<int>((msg.lParam >> 24) & 1);
    if (code == 6) {
        return ((msg.lParam >> 16) & 0xFF) == 0x36 ? 8 : 7;
    }
    if (code == 9 || code == 12) {
        return code + 1 + extended;
    }
    return code;
}

TEST(KeyCodesTest, EveryKeyOfTheTableArrivesWithItsCode)
{
    const HWND window = reinterpret_cast<HWND>(static_cast<UINT_PTR>(0x7000));
    platform::EventTranslator translator([window](std::uint32_t, platform::EventTarget& target) {
        target.hwnd = window;
        target.logicalWidth = 800;
        target.logicalHeight = 600;
        return true;
    });
    std::set<int> seen;
    for (const KeyboardKey& key : kKeyboard) {
        SCOPED_TRACE(SDL_GetScancodeName(key.scancode));
        SDL_Event event{};
        event.type = SDL_KEYDOWN;
        event.key.windowID = 1;
        event.key.keysym.scancode = key.scancode;
        event.key.keysym.sym = SDL_SCANCODE_TO_KEYCODE(key.scancode);
        event.key.keysym.mod = static_cast<Uint16>(key.mod);
        std::vector<MSG> out;
        translator.Translate(event, out);
        ASSERT_EQ(out.size(), 1u);
        EXPECT_EQ(CodeOfKeyDown(out[0]), key.code);
        EXPECT_EQ(KeyCodeCharacter(key.code), key.character);
        seen.insert(key.code);
        event.type = SDL_KEYUP;
        out.clear();
        translator.Translate(event, out);
        ASSERT_EQ(out.size(), 1u);
    }
    // Every code but the generic ones (6, 9, 12: posted with a side) and 26 (either Windows key).
    EXPECT_EQ(seen.size(), static_cast<std::size_t>(Qmv2::kKeyCodeCount - 4));
}

TEST(KeyCodesTest, VirtualKeysAndCodesMapBothWays)
{
    for (int code = 1; code <= Qmv2::kKeyCodeCount; ++code) {
        const int virtualKey = VirtualKeyOfCode(code);
        ASSERT_NE(virtualKey, 0) << code;
        if (code != Qmv2::kKeyCodeWindowsKey) {
            EXPECT_EQ(TranslateVirtualKey(virtualKey), code);
        }
    }
    EXPECT_EQ(VirtualKeyOfCode(26), VK_LWIN);
    EXPECT_EQ(TranslateVirtualKey(VK_LWIN), 27);
    EXPECT_EQ(TranslateVirtualKey(VK_RWIN), 28);
    EXPECT_EQ(TranslateVirtualKey(VK_RETURN), 5);
    EXPECT_EQ(TranslateVirtualKey(VK_F24), 76);
    EXPECT_EQ(TranslateVirtualKey('A'), 0);
    EXPECT_EQ(TranslateVirtualKey('7'), 0);
    EXPECT_EQ(TranslateVirtualKey(VK_SNAPSHOT), 0);
    EXPECT_EQ(VirtualKeyOfCode(0), 0);
    EXPECT_EQ(VirtualKeyOfCode(77), 0);
    EXPECT_EQ(VirtualKeyOfCode(-3), 0);
    EXPECT_EQ(KeyCodeCharacter(0), 0u);
    EXPECT_EQ(KeyCodeCharacter(77), 0u);
}

TEST(KeyCodesTest, IsKeyDownReadsTheKeyStateOfTakenMessages)
{
    MSG msg{};
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    }
    EXPECT_EQ(IsKeyDown(16), 0);
    PostMessageA(nullptr, WM_KEYDOWN, VK_ESCAPE, 0x00010001);
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(IsKeyDown(16), 1);
    EXPECT_EQ(IsKeyDown(17), 0);
    EXPECT_EQ(IsKeyDown(0), 0) << "code 0 reads virtual key 0, never down";
    PostMessageA(nullptr, WM_KEYUP, VK_ESCAPE, 0xC0010001);
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(IsKeyDown(16), 0);

    PostMessageA(nullptr, WM_KEYDOWN, VK_LWIN, 0x015B0001);
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(IsKeyDown(26), 1) << "code 26 asks for the left Windows key";
    EXPECT_EQ(IsKeyDown(27), 1);
    EXPECT_EQ(IsKeyDown(28), 0);
    PostMessageA(nullptr, WM_KEYUP, VK_LWIN, 0xC15B0001);
    PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE);
}

}  // namespace

}  // namespace key_codes_test
