#pragma once

namespace Qmv2 {

// An axis-aligned rectangle.
struct RectF {
    // x <= px < x + width and y <= py < y + height.
    bool Contains(float px, float py) const;
    // Whether other lies inside, edges included; false unless this has a
    // positive size and other no negative one.
    bool ContainsRect(const RectF& other) const;
    // Strict overlap (touching edges do not count); same size conditions.
    bool Intersects(const RectF& other) const;

    float x = 0;
    float y = 0;
    float width = 0;
    float height = 0;
};

} // namespace Qmv2
