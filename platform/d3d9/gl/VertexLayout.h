// Where a draw finds position, colour and texture coordinates in a vertex,
// from a flexible vertex format or from a vertex declaration.
#pragma once

#include "platform/d3d9/D3D9Types.h"

#include <optional>

namespace platform::d3d9 {

struct VertexLayout {
    bool pretransformed = false;  // x, y in target pixels (x, y, z, rhw)
    UINT positionOffset = 0;
    int colorOffset = -1;         // packed ARGB, -1 when absent
    int texCoordOffset = -1;      // two floats, -1 when absent
    UINT size = 0;                // bytes the layout covers
};

// Nothing for bits the layer does not offer (normals, blend weights, ...).
std::optional<VertexLayout> LayoutFromFvf(DWORD fvf);
// Reads elements up to the end marker; nothing for elements outside stream 0,
// for a missing position or for element types the layer does not offer.
std::optional<VertexLayout> LayoutFromElements(const D3DVERTEXELEMENT9* elements);

}  // namespace platform::d3d9
