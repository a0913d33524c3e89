// The window's pixels as the display holds them, read from the X server, so
// that a test sees what was shown rather than what GL keeps behind it. Kept
// apart from the device headers: Xlib's macros clash with their names.
#include "tests/platform/d3d9/WindowPixels.h"

#include <SDL_syswm.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace d3d9test {
namespace {

bool X11Window(SDL_Window* window, Display** display, ::Window* handle)
{
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (SDL_GetWindowWMInfo(window, &info) != SDL_TRUE || info.subsystem != SDL_SYSWM_X11) {
        return false;
    }
    *display = info.info.x11.display;
    *handle = info.info.x11.window;
    return true;
}

}  // namespace

std::vector<std::uint32_t> ShownPixels(SDL_Window* window, int width, int height)
{
    Display* display = nullptr;
    ::Window handle = 0;
    if (!X11Window(window, &display, &handle)) {
        return {};
    }
    XImage* image = XGetImage(display, handle, 0, 0, static_cast<unsigned>(width), static_cast<unsigned>(height),
                              AllPlanes, ZPixmap);
    if (image == nullptr) {
        return {};
    }
    std::vector<std::uint32_t> pixels(static_cast<size_t>(width) * height);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            // A 24-bit visual: red, green and blue in the low three bytes.
            pixels[static_cast<size_t>(y) * width + x] = 0xFF000000u | (XGetPixel(image, x, y) & 0xFFFFFFu);
        }
    }
    XDestroyImage(image);
    return pixels;
}

bool ScribbleOnWindow(SDL_Window* window, int width, int height)
{
    Display* display = nullptr;
    ::Window handle = 0;
    if (!X11Window(window, &display, &handle)) {
        return false;
    }
    GC gc = XCreateGC(display, handle, 0, nullptr);
    XSetForeground(display, gc, 0xFFFF00u);
    XFillRectangle(display, handle, gc, 0, 0, static_cast<unsigned>(width), static_cast<unsigned>(height));
    XFreeGC(display, gc);
    XSync(display, False);
    return true;
}

}  // namespace d3d9test
