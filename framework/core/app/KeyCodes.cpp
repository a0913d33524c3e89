#include "framework/core/app/KeyCodes.h"

#include "platform/win32/WinKeys.h"

namespace Qmv2 {
namespace {

struct KeyRow {
    int virtualKey;
    unsigned character;
};

// Row i is the key of code i + 1.
constexpr KeyRow kKeys[kKeyCodeCount] = {
    {VK_BACK, 0x08},     {VK_TAB, 0x09},       {VK_INSERT, 0},       {VK_DELETE, 0x7F},    {VK_RETURN, 0x0A},
    {VK_SHIFT, 0},       {VK_LSHIFT, 0},       {VK_RSHIFT, 0},       {VK_CONTROL, 0},      {VK_LCONTROL, 0},
    {VK_RCONTROL, 0},    {VK_MENU, 0},         {VK_LMENU, 0},        {VK_RMENU, 0},        {VK_PAUSE, 0},
    {VK_ESCAPE, 0x1B},   {VK_SPACE, 0x20},     {VK_END, 0},          {VK_HOME, 0},         {VK_LEFT, 0},
    {VK_UP, 0},          {VK_RIGHT, 0},        {VK_DOWN, 0},         {VK_NEXT, 0},         {VK_PRIOR, 0},
    {VK_LWIN, 0},        {VK_LWIN, 0},         {VK_RWIN, 0},         {VK_APPS, 0},         {VK_CAPITAL, 0},
    {VK_NUMLOCK, 0},     {VK_SCROLL, 0},       {VK_NUMPAD0, 0x30},   {VK_NUMPAD1, 0x31},   {VK_NUMPAD2, 0x32},
    {VK_NUMPAD3, 0x33},  {VK_NUMPAD4, 0x34},   {VK_NUMPAD5, 0x35},   {VK_NUMPAD6, 0x36},   {VK_NUMPAD7, 0x37},
    {VK_NUMPAD8, 0x38},  {VK_NUMPAD9, 0x39},   {VK_MULTIPLY, 0x2A},  {VK_ADD, 0x2B},       {VK_SEPARATOR, 0x0A},
    {VK_SUBTRACT, 0x2D}, {VK_DECIMAL, 0x2E},   {VK_DIVIDE, 0x2F},    {VK_OEM_PLUS, 0x2B},  {VK_OEM_COMMA, 0x2C},
    {VK_OEM_MINUS, 0x2D}, {VK_OEM_PERIOD, 0x2E}, {VK_F1, 0},         {VK_F2, 0},           {VK_F3, 0},
    {VK_F4, 0},          {VK_F5, 0},           {VK_F6, 0},           {VK_F7, 0},           {VK_F8, 0},
    {VK_F9, 0},          {VK_F10, 0},          {VK_F11, 0},          {VK_F12, 0},          {VK_F13, 0},
    {VK_F14, 0},         {VK_F15, 0},          {VK_F16, 0},          {VK_F17, 0},          {VK_F18, 0},
    {VK_F19, 0},         {VK_F20, 0},          {VK_F21, 0},          {VK_F22, 0},          {VK_F23, 0},
    {VK_F24, 0},
};

bool ValidCode(int code)
{
    return code >= 1 && code <= kKeyCodeCount;
}

}  // namespace

namespace Platform {

int TranslateVirtualKey(int virtualKey)
{
    for (int code = 1; code <= kKeyCodeCount; ++code) {
        // Code 26 is never the answer: the Windows keys have codes for their sides.
        if (code != kKeyCodeWindowsKey && kKeys[code - 1].virtualKey == virtualKey) {
            return code;
        }
    }
    return 0;
}

int VirtualKeyOfCode(int code)
{
    return ValidCode(code) ? kKeys[code - 1].virtualKey : 0;
}

unsigned KeyCodeCharacter(int code)
{
    return ValidCode(code) ? kKeys[code - 1].character : 0;
}

}  // namespace Platform

int IsKeyDown(int code)
{
    return (GetKeyState(Platform::VirtualKeyOfCode(code)) & 0x80) != 0 ? 1 : 0;
}

}  // namespace Qmv2
