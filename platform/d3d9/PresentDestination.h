// Where Present puts the back buffer inside its window. By default the picture
// is scaled to the window with its aspect ratio kept and centred (letterbox);
// the window layer can set the rectangle itself, and uses LetterboxRect to map
// mouse positions back.
#pragma once

#include "platform/win32/WinTypes.h"

namespace platform {

// The largest rectangle of the source's aspect ratio centred in the destination
// (both in pixels); an empty source or destination gives an empty rectangle.
RECT LetterboxRect(int sourceWidth, int sourceHeight, int destWidth, int destHeight);

// Sets the rectangle (window pixels, top-left origin) Present fills in the
// window; null returns the window to the default letterbox.
void SetPresentDestination(HWND window, const RECT* rect);

// The rectangle set for the window, if any.
bool GetPresentDestination(HWND window, RECT* rect);

}  // namespace platform
