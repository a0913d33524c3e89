#pragma once

#include "framework/core/util/Color.h"
#include "framework/core/util/Point.h"

#include <cstdint>

namespace Qmv2 {

// Which vertex attributes an operation compares or carries over.
enum VertexAttribute : std::uint32_t {
    kVertexX = 0x01,
    kVertexY = 0x02,
    kVertexColor = 0x04,
    kVertexAlpha = 0x08,
    kVertexU = 0x10,
    kVertexV = 0x20,
    kVertexColorAll = kVertexColor | kVertexAlpha,    // colour is interpolated when both are set
    kVertexTexture = kVertexU | kVertexV,             // texture likewise
};

// A polygon vertex: position, colour (default opaque white) and texture
// coordinates (default 0, 0).
class PolygonPointF : public PointF {
public:
    PolygonPointF() = default;
    PolygonPointF(float px, float py, float pu = 0, float pv = 0);
    PolygonPointF(const PolygonPointF&) = default;
    PolygonPointF& operator=(const PolygonPointF&) = default;

    // Positions and texture coordinates within 0.001, colours exactly; only
    // the attributes whose flag is set are compared.
    bool Equals(const PolygonPointF& other, std::uint32_t attributes) const;

    // The attributes of the flag set taken as the weighted sum of the points'
    // (weights summing to 1).
    void BlendAttributes(const PolygonPointF* const points[], const float weights[], int count,
                         std::uint32_t attributes);

    Color color;
    float u = 0;
    float v = 0;
};

} // namespace Qmv2
