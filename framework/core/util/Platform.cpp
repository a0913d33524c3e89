#include "framework/core/util/Platform.h"

#include "platform/win32/WinClipboard.h"
#include "platform/win32/WinDateTime.h"
#include "platform/win32/WinDebug.h"
#include "platform/win32/WinDisplay.h"
#include "platform/win32/WinMessageBox.h"
#include "platform/win32/WinShell.h"
#include "platform/win32/WinText.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

namespace Qmv2 {
namespace Platform {

const std::string& GetPlatformName()
{
    static const std::string name = "WIN";
    return name;
}

std::string ToNarrow(const std::u16string& wide)
{
    if (wide.empty()) {
        return {};
    }
    int size = static_cast<int>(wide.size());
    int needed = WideCharToMultiByte(CP_UTF8, 0, wide.data(), size, nullptr, 0, nullptr, nullptr);
    std::string result(static_cast<std::size_t>(needed), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.data(), size, result.data(), needed, nullptr, nullptr);
    return result;
}

std::string AnsiToUtf8(const std::string& ansi)
{
    if (ansi.empty()) {
        return {};
    }
    int size = static_cast<int>(ansi.size());
    int needed = MultiByteToWideChar(CP_ACP, 0, ansi.data(), size, nullptr, 0);
    std::u16string wide(static_cast<std::size_t>(needed), u'\0');
    MultiByteToWideChar(CP_ACP, 0, ansi.data(), size, wide.data(), needed);
    return ToNarrow(wide);
}

int ShowMessage(const std::string& text, const std::string& caption)
{
    std::u16string wideText = Utf8ToWide(text);
    std::u16string wideCaption = Utf8ToWide(caption);
    int answer = MessageBoxW(nullptr, wideText.c_str(), wideCaption.c_str(),
                             MB_OK | MB_ICONEXCLAMATION | MB_SETFOREGROUND | MB_TOPMOST);
    switch (answer) {
    case IDOK:
        return 0;
    case IDYES:
        return 2;
    case IDNO:
        return 3;
    default:
        return 1;
    }
}

void DebugOutput(const std::string& text, const std::string& prefix)
{
    if (!prefix.empty()) {
        OutputDebugStringA(prefix.c_str());
        OutputDebugStringA("\n\t");
    }
    OutputDebugStringA(text.c_str());
}

void Log(const char* format, ...)
{
    char buffer[1024];
    va_list arguments;
    va_start(arguments, format);
    std::vsnprintf(buffer, sizeof buffer, format, arguments);
    va_end(arguments);
    DebugOutput(buffer, "");
}

bool IsDisplayModeAvailable(int width, int height)
{
    DEVMODEA current{};
    current.dmSize = sizeof current;
    if (EnumDisplaySettingsA(nullptr, ENUM_CURRENT_SETTINGS, &current) == FALSE) {
        return false;
    }
    DEVMODEA mode{};
    mode.dmSize = sizeof mode;
    for (DWORD index = 0; EnumDisplaySettingsA(nullptr, index, &mode) != FALSE; ++index) {
        if (static_cast<int>(mode.dmPelsWidth) == width && static_cast<int>(mode.dmPelsHeight) == height
            && mode.dmBitsPerPel == current.dmBitsPerPel && mode.dmDisplayFrequency == current.dmDisplayFrequency) {
            return true;
        }
    }
    return false;
}

}  // namespace Platform

std::string GetDateTimeString()
{
    SYSTEMTIME now{};
    GetSystemTime(&now);
    char date[40] = {};
    char time[40] = {};
    GetDateFormatA(LOCALE_SYSTEM_DEFAULT, 0, &now, "yyyy'-'MM'-'dd", date, sizeof date);
    GetTimeFormatA(LOCALE_SYSTEM_DEFAULT, 0, &now, "HH'-'mm'-'ss", time, sizeof time);
    return std::string(date) + " " + time;
}

std::u16string Utf8ToWide(const std::string& text)
{
    if (text.empty()) {
        return {};
    }
    int size = static_cast<int>(text.size());
    int needed = MultiByteToWideChar(CP_UTF8, 0, text.data(), size, nullptr, 0);
    std::u16string result(static_cast<std::size_t>(needed), u'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), size, result.data(), needed);
    return result;
}

void OpenURL(const std::string& address)
{
    ShellExecuteA(nullptr, "open", address.c_str(), nullptr, nullptr, SW_SHOW);
}

std::string GetClipboardText()
{
    UINT formats[2] = {CF_UNICODETEXT, CF_TEXT};
    int format = GetPriorityClipboardFormat(formats, 2);
    if (format <= 0 || OpenClipboard(nullptr) == FALSE) {
        return {};
    }
    std::string result;
    HANDLE data = GetClipboardData(static_cast<UINT>(format));
    if (data != nullptr) {
        const void* bytes = GlobalLock(data);
        SIZE_T size = GlobalSize(data);
        if (bytes != nullptr && format == CF_UNICODETEXT) {
            // The block may lack its terminating zero: never read past its size.
            std::u16string wide(size / sizeof(char16_t), u'\0');
            std::memcpy(wide.data(), bytes, wide.size() * sizeof(char16_t));
            wide.resize(std::char_traits<char16_t>::length(wide.c_str()));
            result = Platform::ToNarrow(wide);
        } else if (bytes != nullptr) {
            std::string ansi(static_cast<const char*>(bytes), size);
            ansi.resize(std::strlen(ansi.c_str()));
            result = Platform::AnsiToUtf8(ansi);
        }
        GlobalUnlock(data);
    }
    CloseClipboard();
    return result;
}

void SetClipboardText(const std::string& text)
{
    if (OpenClipboard(nullptr) == FALSE) {
        return;
    }
    EmptyClipboard();
    std::u16string wide = Utf8ToWide(text);
    // Four bytes per UTF-8 byte plus four always hold the UTF-16 text and its zero.
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, text.size() * 4 + 4);
    if (memory != nullptr) {
        if (void* bytes = GlobalLock(memory)) {
            std::memset(bytes, 0, text.size() * 4 + 4);
            std::memcpy(bytes, wide.data(), wide.size() * sizeof(char16_t));
            GlobalUnlock(memory);
        }
        if (SetClipboardData(CF_UNICODETEXT, memory) == nullptr) {
            GlobalFree(memory);
        }
    }
    CloseClipboard();
}

}  // namespace Qmv2
