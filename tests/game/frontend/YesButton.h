// Where a question's Yes button lies in a picture of the window, so that an
// end-to-end test can answer a question whose size follows its text.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstdlib>

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

}  // namespace frontendtest
