#include "framework/core/util/PolygonPointF.h"

#include <cmath>

namespace Qmv2 {

namespace {

bool Near(float a, float b)
{
    return std::fabs(a - b) <= 0.001f;
}

} // namespace

PolygonPointF::PolygonPointF(float px, float py, float pu, float pv)
    : PointF(px, py), u(pu), v(pv)
{
}

bool PolygonPointF::Equals(const PolygonPointF& other, std::uint32_t attributes) const
{
    if ((attributes & kVertexX) && !Near(x, other.x))
        return false;
    if ((attributes & kVertexY) && !Near(y, other.y))
        return false;
    if ((attributes & kVertexColor) && color != other.color)
        return false;
    if ((attributes & kVertexAlpha) && color.a != other.color.a)
        return false;
    if ((attributes & kVertexU) && !Near(u, other.u))
        return false;
    if ((attributes & kVertexV) && !Near(v, other.v))
        return false;
    return true;
}

void PolygonPointF::BlendAttributes(const PolygonPointF* const points[], const float weights[],
                                    int count, std::uint32_t attributes)
{
    if ((attributes & kVertexColorAll) == kVertexColorAll) {
        Color mixed(0, 0, 0, 0);
        for (int i = 0; i < count; ++i) {
            mixed.a += weights[i] * points[i]->color.a;
            mixed.r += weights[i] * points[i]->color.r;
            mixed.g += weights[i] * points[i]->color.g;
            mixed.b += weights[i] * points[i]->color.b;
        }
        color = mixed;
    }
    if ((attributes & kVertexTexture) == kVertexTexture) {
        float mu = 0;
        float mv = 0;
        for (int i = 0; i < count; ++i) {
            mu += weights[i] * points[i]->u;
            mv += weights[i] * points[i]->v;
        }
        u = mu;
        v = mv;
    }
}

} // namespace Qmv2
