// What the display shows in a window, for tests of presenting.
#pragma once

#include <SDL.h>
#include <cstdint>
#include <vector>

namespace d3d9test {

// The window's top-left width x height pixels as ARGB (alpha 0xFF), top row
// first, read from the X server; empty when the window is not an X window.
std::vector<std::uint32_t> ShownPixels(SDL_Window* window, int width, int height);

// Paints the window yellow behind GL's back, as another program's window
// passing over it leaves it; false when the window is not an X window.
bool ScribbleOnWindow(SDL_Window* window, int width, int height);

}  // namespace d3d9test
