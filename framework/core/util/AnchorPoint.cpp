#include "framework/core/util/AnchorPoint.h"

#include <cmath>

namespace Qmv2 {

const char* const AnchorNames[9] = {
    "topleft", "top", "topright", "left", "center", "right", "bottomleft", "bottom", "bottomright",
};

AnchorPoint::AnchorPoint(int k, const PointF& o, bool round)
    : kind(k), offset(o), rounding(round)
{
}

void AnchorPoint::Update(float width, float height)
{
    if (kind < TopLeft || kind > BottomRight)
        return;
    const int column = kind % 3;
    const int row = kind / 3;
    offset.x = column == 0 ? 0 : column == 1 ? width / 2 : width;
    offset.y = row == 0 ? 0 : row == 1 ? height / 2 : height;
    if (rounding) {
        offset.x = std::floor(offset.x);
        offset.y = std::floor(offset.y);
    }
}

} // namespace Qmv2
