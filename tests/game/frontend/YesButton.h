// Where a question's Yes button lies in a picture of the window, so that an
// end-to-end test can answer a question whose size follows its text.
#pragma once

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <thread>

#include "tests/framework/graphics/GoldenImage.h"

namespace frontendtest {

// The centre of the question's Yes button: the pure coral of a quitting
// button in the middle of the window (the scene's own coral buttons lie
// under the question's darkening).
inline bool FindYes(const graphicstest::Picture& picture, int& x, int& y)
{
    int left = picture.width, right = -1, top = picture.height, bottom = -1;
    for (int py = 150; py < std::min(picture.height, 520); ++py) {
        for (int px = 150; px < std::min(picture.width, 650); ++px) {
            const std::uint32_t c = picture.At(px, py);
            const int r = static_cast<int>((c >> 16) & 0xFF), g = static_cast<int>((c >> 8) & 0xFF),
                      b = static_cast<int>(c & 0xFF);
            if (std::abs(r - 0xe6) <= 6 && std::abs(g - 0x39) <= 6 && std::abs(b - 0x46) <= 6) {
                left = std::min(left, px);
                right = std::max(right, px);
                top = std::min(top, py);
                bottom = std::max(bottom, py);
            }
        }
    }
    if (right < 0) {
        return false;
    }
    x = (left + right) / 2;
    y = (top + bottom) / 2;
    return true;
}

// The Yes button of a question that has just said it takes input, looked for
// in fresh pictures (from `shot`) until two in a row show it in the same
// place: on a busy machine the question's first frames may not be on the
// screen yet when it takes input, or may still be fading in.
template <typename Shot>
bool AwaitYes(Shot shot, int& x, int& y, int seconds = 60)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    int lastX = -1;
    int lastY = -1;
    while (std::chrono::steady_clock::now() < deadline) {
        if (FindYes(shot(), x, y)) {
            if (x == lastX && y == lastY) {
                return true;
            }
            lastX = x;
            lastY = y;
        } else {
            lastX = lastY = -1;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return false;
}

}  // namespace frontendtest
