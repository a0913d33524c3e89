#include "platform/win32/WinMessageBox.h"

#include "platform/win32/WinText.h"
#include "platform/win32/WindowHandle.h"

#include <SDL.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

// Long enough for a sentence, short enough that a box of it stays inside a
// small screen.
constexpr std::size_t kMessageColumns = 60;

struct Button {
    int id;
    const char* label;
};

std::vector<Button> ButtonsOf(UINT type)
{
    switch (type & 0xF) {
    case MB_OKCANCEL:
        return {{IDOK, "OK"}, {IDCANCEL, "Cancel"}};
    case MB_YESNOCANCEL:
        return {{IDYES, "Yes"}, {IDNO, "No"}, {IDCANCEL, "Cancel"}};
    case MB_YESNO:
        return {{IDYES, "Yes"}, {IDNO, "No"}};
    default:
        return {{IDOK, "OK"}};
    }
}

std::size_t DefaultIndex(UINT type, std::size_t count)
{
    std::size_t index = 0;
    if ((type & MB_DEFBUTTON3) != 0) {
        index = 2;
    } else if ((type & MB_DEFBUTTON2) != 0) {
        index = 1;
    }
    return index < count ? index : 0;
}

bool Headless()
{
    const char* headless = std::getenv("QMV_HEADLESS");
    if (headless != nullptr && std::strcmp(headless, "1") == 0) {
        return true;
    }
    const char* x11 = std::getenv("DISPLAY");
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    return (x11 == nullptr || *x11 == 0) && (wayland == nullptr || *wayland == 0);
}

int ShowOnStderr(const std::string& text, const std::string& caption, const Button& answer)
{
    std::fprintf(stderr, "[message box] %s: %s\n", caption.c_str(), text.c_str());
    std::fflush(stderr);
    return answer.id;
}

int Show(HWND owner, const std::string& text, const std::string& caption, UINT type)
{
    std::vector<Button> buttons = ButtonsOf(type);
    std::size_t defaultIndex = DefaultIndex(type, buttons.size());
    if (Headless()) {
        return ShowOnStderr(text, caption, buttons[defaultIndex]);
    }
    std::vector<SDL_MessageBoxButtonData> data;
    for (std::size_t k = 0; k < buttons.size(); ++k) {
        Uint32 flags = 0;
        if (k == defaultIndex) {
            flags |= SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT;
        }
        if (buttons[k].id == IDCANCEL || (buttons[k].id == IDNO && buttons.size() == 2)) {
            flags |= SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT;
        }
        data.push_back({flags, buttons[k].id, buttons[k].label});
    }
    Uint32 icon = SDL_MESSAGEBOX_INFORMATION;
    switch (type & 0xF0) {
    case MB_ICONERROR:
        icon = SDL_MESSAGEBOX_ERROR;
        break;
    case MB_ICONEXCLAMATION:
        icon = SDL_MESSAGEBOX_WARNING;
        break;
    default:
        break;
    }
    SDL_MessageBoxData box{};
    box.flags = icon;
    box.window = platform::SdlWindowFromHwnd(owner);
    box.title = caption.c_str();
    const std::string wrapped = platform::WrapMessageText(text, kMessageColumns);
    box.message = wrapped.c_str();
    box.numbuttons = static_cast<int>(data.size());
    box.buttons = data.data();
    int pressed = -1;
    if (SDL_ShowMessageBox(&box, &pressed) != 0) {
        return ShowOnStderr(text, caption, buttons[defaultIndex]);
    }
    // Closing the box without a button answers like Escape.
    if (pressed < 0) {
        return buttons.size() == 1 ? IDOK : (buttons.size() == 2 && buttons[1].id == IDNO ? IDNO : IDCANCEL);
    }
    return pressed;
}

}  // namespace

namespace platform {

std::string WrapMessageText(const std::string& text, std::size_t columns)
{
    const auto isContinuation = [](char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; };
    std::string result;
    std::size_t lineLength = 0; // characters on the line being written
    std::size_t pos = 0;
    while (pos < text.size()) {
        if (text[pos] == '\n') {
            result += '\n';
            lineLength = 0;
            ++pos;
            continue;
        }
        if (text[pos] == ' ') {
            // A space at a line's end becomes the break; others stay.
            if (lineLength > 0 && lineLength < columns) {
                result += ' ';
                ++lineLength;
            }
            ++pos;
            continue;
        }
        std::size_t end = pos;
        std::size_t wordLength = 0;
        while (end < text.size() && text[end] != ' ' && text[end] != '\n') {
            wordLength += isContinuation(text[end]) ? 0 : 1;
            ++end;
        }
        if (lineLength > 0 && lineLength + wordLength > columns) {
            while (!result.empty() && result.back() == ' ') {
                result.pop_back();
            }
            result += '\n';
            lineLength = 0;
        }
        // A word longer than a whole line is cut where each line ends.
        for (; pos < end; ++pos) {
            if (!isContinuation(text[pos])) {
                if (lineLength == columns) {
                    result += '\n';
                    lineLength = 0;
                }
                ++lineLength;
            }
            result += text[pos];
        }
    }
    return result;
}

}  // namespace platform

int MessageBoxW(HWND owner, LPCWSTR text, LPCWSTR caption, UINT type)
{
    return Show(owner, platform::WideToUtf8(text), caption == nullptr ? "Error" : platform::WideToUtf8(caption), type);
}

int MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type)
{
    std::string utf8Text;
    std::string utf8Caption = "Error";
    if (text != nullptr && *text != 0) {
        // ANSI text: convert through the ANSI code page.
        std::u16string wide(std::strlen(text) + 1, u'\0');
        MultiByteToWideChar(CP_ACP, 0, text, -1, wide.data(), static_cast<int>(wide.size()));
        utf8Text = platform::WideToUtf8(wide.c_str());
    }
    if (caption != nullptr) {
        std::u16string wide(std::strlen(caption) + 1, u'\0');
        MultiByteToWideChar(CP_ACP, 0, caption, -1, wide.data(), static_cast<int>(wide.size()));
        utf8Caption = platform::WideToUtf8(wide.c_str());
    }
    return Show(owner, utf8Text, utf8Caption, type);
}
