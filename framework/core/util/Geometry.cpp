#include "framework/core/util/Geometry.h"

#include <cmath>

namespace Qmv2 {

int Orientation(const PointF& a, const PointF& b, const PointF& c)
{
    const float cross = (b.x - a.x) * (c.y - a.y) - (b.y - a.y) * (c.x - a.x);
    if (std::fabs(cross) <= kGeometryTolerance)
        return 1;
    return cross > 0 ? 0 : 2;
}

int SegmentIntersect(const PointF& p1, const PointF& p2, const PointF& q1, const PointF& q2,
                     SegmentCrossing* crossing)
{
    const float d = (q2.y - q1.y) * (p2.x - p1.x) - (q2.x - q1.x) * (p2.y - p1.y);
    const float na = (p1.y - q1.y) * (q2.x - q1.x) - (p1.x - q1.x) * (q2.y - q1.y);
    const float nb = (p1.y - q1.y) * (p2.x - p1.x) - (p2.y - p1.y) * (p1.x - q1.x);
    if (std::fabs(d) < kGeometryTolerance) {
        if (std::fabs(na) <= kGeometryTolerance && std::fabs(nb) <= kGeometryTolerance)
            return kSegmentsCollinear;
        return kSegmentsParallel;
    }
    const float ua = na / d;
    const float ub = nb / d;
    const float side = (p1.x - q2.x) * (p2.y - q2.y) - (p1.y - q2.y) * (p2.x - q2.x);
    const bool within = ua > -kGeometryTolerance && ua < 1 && ub > -kGeometryTolerance && ub < 1;
    if (!within || side < 0)
        return kSegmentsApart;
    if (crossing) {
        if (std::fabs(ua) < kGeometryTolerance) {
            crossing->point = p1;
            crossing->isNew = false;
        } else {
            crossing->point = PointF(p1.x + ua * (p2.x - p1.x), p1.y + ua * (p2.y - p1.y));
            crossing->isNew = true;
        }
        crossing->weightP = 1 - ua;
        crossing->weightQ = 1 - ub;
    }
    return kSegmentsCross;
}

float ClosestPointOnSegment(const PointF& a, const PointF& b, const PointF& p, PointF* out)
{
    const float t = (b.x - a.x) * (p.x - a.x) + (b.y - a.y) * (p.y - a.y);
    if (t < 0) {
        if (out)
            *out = a;
        return t;
    }
    const float u = (a.x - b.x) * (p.x - b.x) + (a.y - b.y) * (p.y - b.y);
    if (u < 0) {
        if (out)
            *out = b;
        return -u;
    }
    if (out) {
        const float sum = t + u;
        const float f = sum > 0 ? t / sum : 0;   // zero-length segment: a
        *out = PointF(a.x + (b.x - a.x) * f, a.y + (b.y - a.y) * f);
    }
    return 0;
}

float FloatMod(float a, float b)
{
    if (b == 0)
        return 0;
    return a - b * std::floor(a / b);
}

PointF NormaliseVector(const PointF& v)
{
    const float length = std::sqrt(v.x * v.x + v.y * v.y);
    if (length == 0)
        return PointF(0, 0);
    return PointF(v.x / length, v.y / length);
}

} // namespace Qmv2
