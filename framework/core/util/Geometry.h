#pragma once

#include "framework/core/util/Point.h"

namespace Qmv2 {

// The tolerance of every geometric comparison.
constexpr float kGeometryTolerance = 0.001f;

// Turn of a -> b -> c: 1 when collinear within the tolerance, 0 for a
// positive cross product, 2 for a negative one.
int Orientation(const PointF& a, const PointF& b, const PointF& c);

// Where segment p1-p2 crosses segment q1-q2.
struct SegmentCrossing {
    PointF point;
    float weightP = 0;   // 1 - parameter of the point on p1-p2
    float weightQ = 0;   // 1 - parameter of the point on q1-q2
    bool isNew = false;  // false when the point is p1 itself
};

enum SegmentRelation { kSegmentsApart = 0, kSegmentsParallel = 1, kSegmentsCollinear = 2, kSegmentsCross = 3 };

// Crossing test; a crossing counts only when q2 is not on the negative side
// of p1 -> p2. The crossing record is filled on a crossing when given.
int SegmentIntersect(const PointF& p1, const PointF& p2, const PointF& q1, const PointF& q2,
                     SegmentCrossing* crossing = nullptr);

// The point of segment a-b nearest to p. Answers the negative projection
// when it is a (before the start), a positive distance past b when it is b,
// else 0. A segment of zero length answers a and 0.
float ClosestPointOnSegment(const PointF& a, const PointF& b, const PointF& p, PointF* out = nullptr);

// a - b floor(a / b): the remainder with the sign of b; 0 when b is 0.
float FloatMod(float a, float b);

// The vector scaled to length 1; a zero vector stays zero.
PointF NormaliseVector(const PointF& v);

} // namespace Qmv2
