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
    box.message = text.c_str();
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
