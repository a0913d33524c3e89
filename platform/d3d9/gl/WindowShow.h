// Shows a rectangle of the window's back buffer in the window without
// touching the back buffer (GLX_MESA_copy_sub_buffer), so that buffer can hold
// the picture from one frame to the next. A buffer swap may leave the back
// buffer undefined; this copy may not.
#pragma once

namespace platform::d3d9 {

class WindowShow {
public:
    // For the GLX context current on this thread; false where there is none
    // or its GLX offers no such copy.
    bool Open();
    bool IsOpen() const { return copy_ != nullptr; }
    // Shows the rectangle (GL window coordinates, rows bottom-up) of the current
    // drawable's back buffer; flushes GL first, as a swap does.
    void Show(int x, int y, int width, int height) const;

private:
    using Copy = void (*)(void* display, unsigned long drawable, int x, int y, int width, int height);
    Copy copy_ = nullptr;
};

}  // namespace platform::d3d9
