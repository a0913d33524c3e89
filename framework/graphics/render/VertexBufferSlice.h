// One recorded draw command: a range of the shared vertex and index buffers
// with the state to draw it in, or a clear of the whole target.
#pragma once

#include <cstdint>

#include "framework/core/util/Color.h"

namespace Qmv2 {

class ImageData;
class VertexBuffer;
class IndexBuffer;

struct VertexBufferSlice {
    enum Kind : std::uint32_t { kClear = 0, kTriangles = 1, kLines = 2 };
    // Triangles: 0 indexed list, 1 strip, 2 fan. Lines: 0 list, 1 strip.
    enum Topology : std::uint32_t { kList = 0, kStrip = 1, kFan = 2 };

    std::uint32_t kind = kTriangles;
    std::uint32_t topology = kList;
    ImageData* texture = nullptr;
    std::int32_t blendMode = 0;
    bool alphaBlending = true;
    Color color;
    std::uint32_t firstVertex = 0;
    std::uint32_t vertexCount = 0;
    std::uint32_t firstIndex = 0;
    std::uint32_t indexCount = 0;
    VertexBuffer* vertexBuffer = nullptr;
    IndexBuffer* indexBuffer = nullptr;
};

}  // namespace Qmv2
