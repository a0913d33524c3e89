#pragma once

namespace Qmv2 {

// A 2-D point or vector.
template <typename T>
class Point_t {
public:
    Point_t() : x(0), y(0) {}
    Point_t(T px, T py) : x(px), y(py) {}
    Point_t(const Point_t&) = default;
    Point_t& operator=(const Point_t&) = default;
    virtual ~Point_t() = default;

    bool operator==(const Point_t& other) const { return x == other.x && y == other.y; }
    bool operator!=(const Point_t& other) const { return !(*this == other); }

    T x;
    T y;
};

using PointF = Point_t<float>;
using PointI = Point_t<int>;

} // namespace Qmv2
