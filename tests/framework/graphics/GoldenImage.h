// Compares a captured picture with a PNG under data/golden. With
// QMV_UPDATE_GOLDEN=1 the picture is written as the new golden image.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace Qmv2 {
class Renderer;
}

namespace graphicstest {

struct Picture {
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> argb;   // row by row, top row first

    std::uint32_t At(int x, int y) const { return argb[static_cast<std::size_t>(y) * width + x]; }
};

// The renderer's back buffer, `width` x `height` pixels from the top left, opaque.
Picture CaptureScreen(Qmv2::Renderer& renderer, int width, int height);

bool WritePng(const std::string& path, const Picture& picture);
bool ReadPng(const std::string& path, Picture& picture);

// Empty when every channel of every pixel is within `tolerance`, else a
// description of the first difference and the count of differing pixels.
std::string CompareWithGolden(const std::string& name, const Picture& picture, int tolerance = 3);

}  // namespace graphicstest
