// The damaged rectangles of a frame, with a coarse grid over the target that
// answers quickly which of them a small rectangle (a triangle's) meets: a
// batch of a thousand sprites asks once for each of its triangles.
#pragma once

#include "platform/d3d9/gl/DamageTracker.h"

#include <cstdint>
#include <vector>

namespace platform::d3d9 {

class DamageRegion {
public:
    // `rects` do not overlap and lie within the target; at most DamageTracker::kMaxRects.
    DamageRegion(std::vector<PixelRect> rects, int width, int height);

    const std::vector<PixelRect>& Rects() const { return rects_; }
    // Bit i set: `rect` meets Rects()[i].
    std::uint64_t Met(const PixelRect& rect) const;
    // Whether drawing `frame` whole costs less than drawing it cut to the
    // rectangles: counted in pixels filled, each rectangle an operation
    // meets costing a draw of its own, and a whole clear a fraction of its
    // pixels (it is a fill of memory, not a pass through the pixel pipeline).
    bool CheaperWhole(const std::vector<RecordedDraw>& frame) const;

private:
    static constexpr int kCell = 32;  // pixels a side
    static constexpr long long kWholeClearShare = 4;  // a whole clear costs 1/4 of its pixels filled
    static_assert(DamageTracker::kMaxRects <= 64, "a cell holds its rectangles as bits of 64");

    std::vector<PixelRect> rects_;
    int columns_ = 0;
    int rows_ = 0;
    std::vector<std::uint64_t> cells_;  // bit i: rects_[i] meets the cell
};

}  // namespace platform::d3d9
