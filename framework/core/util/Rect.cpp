#include "framework/core/util/Rect.h"

namespace Qmv2 {

namespace {

bool SizesUsable(const RectF& self, const RectF& other)
{
    return self.width > 0 && self.height > 0 && other.width >= 0 && other.height >= 0;
}

} // namespace

bool RectF::Contains(float px, float py) const
{
    const float dx = px - x;
    const float dy = py - y;
    return dx >= 0 && dx < width && dy >= 0 && dy < height;
}

bool RectF::ContainsRect(const RectF& other) const
{
    if (!SizesUsable(*this, other))
        return false;
    return other.x >= x && other.y >= y && other.x + other.width <= x + width
        && other.y + other.height <= y + height;
}

bool RectF::Intersects(const RectF& other) const
{
    if (!SizesUsable(*this, other))
        return false;
    return other.x < x + width && x < other.x + other.width && other.y < y + height
        && y < other.y + other.height;
}

} // namespace Qmv2
