#include "platform/d3d9/gl/WindowShow.h"

#include <GL/glx.h>

#include <cstring>

namespace platform::d3d9 {
namespace {

bool Lists(const char* extensions, const char* name)
{
    const std::size_t length = std::strlen(name);
    for (const char* at = extensions; at != nullptr && (at = std::strstr(at, name)) != nullptr; at += length) {
        const bool starts = at == extensions || at[-1] == ' ';
        if (starts && (at[length] == ' ' || at[length] == '\0')) {
            return true;
        }
    }
    return false;
}

}  // namespace

bool WindowShow::Open()
{
    copy_ = nullptr;
    Display* display = glXGetCurrentDisplay();
    GLXContext context = glXGetCurrentContext();
    int screen = 0;
    // Not GLX (another window system's context), or no context current.
    if (display == nullptr || context == nullptr || glXQueryContext(display, context, GLX_SCREEN, &screen) != Success) {
        return false;
    }
    if (!Lists(glXQueryExtensionsString(display, screen), "GLX_MESA_copy_sub_buffer")) {
        return false;
    }
    copy_ = reinterpret_cast<Copy>(glXGetProcAddressARB(reinterpret_cast<const GLubyte*>("glXCopySubBufferMESA")));
    return copy_ != nullptr;
}

void WindowShow::Show(int x, int y, int width, int height) const
{
    copy_(glXGetCurrentDisplay(), glXGetCurrentDrawable(), x, y, width, height);
}

}  // namespace platform::d3d9
