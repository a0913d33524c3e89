#pragma once

#include "framework/core/object/ClassType.h"
#include "framework/core/util/Point.h"

namespace Qmv2 {

// Names of the anchor kinds 0..8, indexed by kind.
extern const char* const AnchorNames[9];

// A named point of a box (kinds 0..8, row by row from the top left) or a free
// point (kind 9) that keeps its offset.
class AnchorPoint {
    QMV_TYPE_RECORD(AnchorPoint)

public:
    enum Kind {
        TopLeft, Top, TopRight, Left, Center, Right, BottomLeft, Bottom, BottomRight, Free
    };

    AnchorPoint() = default;
    AnchorPoint(int kind, const PointF& offset, bool rounding);
    AnchorPoint(const AnchorPoint&) = default;
    AnchorPoint& operator=(const AnchorPoint&) = default;
    virtual ~AnchorPoint() = default;

    // Recomputes the offset of a named kind for a box of this size; rounds
    // down to whole numbers when the rounding flag is set.
    void Update(float width, float height);

    int kind = TopLeft;
    PointF offset;
    bool rounding = true;
};

} // namespace Qmv2
