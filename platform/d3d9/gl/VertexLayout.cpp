#include "platform/d3d9/gl/VertexLayout.h"

#include <algorithm>

namespace platform::d3d9 {
namespace {

UINT TypeSize(BYTE type)
{
    switch (type) {
    case D3DDECLTYPE_FLOAT1:
        return 4;
    case D3DDECLTYPE_FLOAT2:
        return 8;
    case D3DDECLTYPE_FLOAT3:
        return 12;
    case D3DDECLTYPE_FLOAT4:
        return 16;
    case D3DDECLTYPE_D3DCOLOR:
        return 4;
    default:
        return 0;
    }
}

}  // namespace

std::optional<VertexLayout> LayoutFromFvf(DWORD fvf)
{
    const DWORD known = D3DFVF_POSITION_MASK | D3DFVF_DIFFUSE | D3DFVF_SPECULAR | D3DFVF_TEXCOUNT_MASK;
    if ((fvf & ~known) != 0) {
        return std::nullopt;  // normals, point sizes or texture-coordinate sizes other than two
    }
    VertexLayout layout;
    UINT offset = 0;
    switch (fvf & D3DFVF_POSITION_MASK) {
    case D3DFVF_XYZ:
        offset = 12;
        break;
    case D3DFVF_XYZRHW:
        layout.pretransformed = true;
        offset = 16;
        break;
    default:
        return std::nullopt;
    }
    if ((fvf & D3DFVF_DIFFUSE) != 0) {
        layout.colorOffset = static_cast<int>(offset);
        offset += 4;
    }
    if ((fvf & D3DFVF_SPECULAR) != 0) {
        offset += 4;
    }
    UINT texCount = (fvf & D3DFVF_TEXCOUNT_MASK) >> D3DFVF_TEXCOUNT_SHIFT;
    if (texCount > 8) {
        return std::nullopt;
    }
    if (texCount > 0) {
        layout.texCoordOffset = static_cast<int>(offset);
        offset += 8 * texCount;
    }
    layout.size = offset;
    return layout;
}

std::optional<VertexLayout> LayoutFromElements(const D3DVERTEXELEMENT9* elements)
{
    if (elements == nullptr) {
        return std::nullopt;
    }
    VertexLayout layout;
    bool hasPosition = false;
    // A declaration longer than this has lost its end marker.
    for (int i = 0; i < 64; ++i) {
        const D3DVERTEXELEMENT9& e = elements[i];
        if (e.Stream == 0xFF) {
            if (!hasPosition) {
                return std::nullopt;
            }
            return layout;
        }
        UINT size = TypeSize(e.Type);
        if (e.Stream != 0 || size == 0) {
            return std::nullopt;
        }
        layout.size = std::max<UINT>(layout.size, e.Offset + size);
        if (e.UsageIndex != 0) {
            continue;
        }
        if (e.Usage == D3DDECLUSAGE_POSITIONT && e.Type == D3DDECLTYPE_FLOAT4) {
            layout.pretransformed = true;
            layout.positionOffset = e.Offset;
            hasPosition = true;
        } else if (e.Usage == D3DDECLUSAGE_POSITION && e.Type == D3DDECLTYPE_FLOAT3) {
            layout.pretransformed = false;
            layout.positionOffset = e.Offset;
            hasPosition = true;
        } else if (e.Usage == D3DDECLUSAGE_COLOR && e.Type == D3DDECLTYPE_D3DCOLOR) {
            layout.colorOffset = e.Offset;
        } else if (e.Usage == D3DDECLUSAGE_TEXCOORD && e.Type == D3DDECLTYPE_FLOAT2) {
            layout.texCoordOffset = e.Offset;
        } else if (e.Usage == D3DDECLUSAGE_POSITIONT || e.Usage == D3DDECLUSAGE_POSITION ||
                   e.Usage == D3DDECLUSAGE_COLOR || e.Usage == D3DDECLUSAGE_TEXCOORD) {
            return std::nullopt;  // a known usage in a type the draw cannot read
        }
    }
    return std::nullopt;
}

}  // namespace platform::d3d9
