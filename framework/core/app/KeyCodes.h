// Framework key codes: the small numbers keyboard messages carry, with the
// Windows virtual key and the character of each. Codes 1 to 76; 0 stands for
// keys without a code (letters and digits travel with code 0 and their character).
#pragma once

namespace Qmv2 {

constexpr int kKeyCodeCount = 76;
// The Windows key of either side, as the window posts it (27 and 28 are the sides).
constexpr int kKeyCodeWindowsKey = 26;

namespace Platform {

// The framework key code of a virtual key; 27 and 28 for the left and right
// Windows keys, 0 for letters, digits and every key without a code.
int TranslateVirtualKey(int virtualKey);
// The virtual key a code stands for: codes 26 and 27 both answer the left
// Windows key; 0 for code 0 and codes outside 1..76.
int VirtualKeyOfCode(int code);
// The character a key with this code types (0x0A for Enter, "0" for keypad 0,
// ...), 0 for keys that type none and codes outside 1..76.
unsigned KeyCodeCharacter(int code);

}  // namespace Platform

// 1 while the key of the code is down (as of the last message taken from the
// window thread's queue), else 0.
int IsKeyDown(int code);

}  // namespace Qmv2
