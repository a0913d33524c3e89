#include "platform/win32/XErrorFilter.h"

#include <SDL.h>
#include <X11/Xlib.h>
#include <X11/Xproto.h>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <mutex>

namespace {

XErrorHandler gPrevious = nullptr;
std::atomic<int> gDropped{0};

int FilterXError(Display* display, XErrorEvent* error)
{
    const bool windowGone = error->error_code == BadWindow;
    const bool focusOnHidden = error->error_code == BadMatch && error->request_code == X_SetInputFocus;
    if (windowGone || focusOnHidden) {
        ++gDropped;
        char text[128] = {};
        XGetErrorText(display, error->error_code, text, sizeof text - 1);
        std::fprintf(stderr, "X error dropped (the window changed meanwhile): %s, request %d, resource 0x%lx\n", text,
                     static_cast<int>(error->request_code), static_cast<unsigned long>(error->resourceid));
        return 0;
    }
    return gPrevious != nullptr ? gPrevious(display, error) : 0;
}

}  // namespace

namespace platform {

void InstallXErrorFilter()
{
    static std::once_flag once;
    const char* driver = SDL_GetCurrentVideoDriver();
    if (driver == nullptr || std::strcmp(driver, "x11") != 0) {
        return;
    }
    std::call_once(once, [] { gPrevious = XSetErrorHandler(FilterXError); });
}

int DroppedXErrors()
{
    return gDropped.load();
}

}  // namespace platform
