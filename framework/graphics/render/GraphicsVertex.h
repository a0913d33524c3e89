// The one vertex layout of the framework's drawing: already in target pixels
// (x, y, z, rhw), a packed ARGB colour and one pair of texture coordinates.
#pragma once

#include <cstdint>

namespace Qmv2 {

struct GraphicsVertex {
    float x;
    float y;
    float z;
    float rhw;
    std::uint32_t color;
    float u;
    float v;
};
static_assert(sizeof(GraphicsVertex) == 28, "the shared vertex buffer has a stride of 28 bytes");

}  // namespace Qmv2
