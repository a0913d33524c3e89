#include "platform/d3d9/gl/DamageRegion.h"

#include <algorithm>
#include <bit>
#include <utility>

namespace platform::d3d9 {

DamageRegion::DamageRegion(std::vector<PixelRect> rects, int width, int height)
    : rects_(std::move(rects)),
      columns_((std::max(width, 0) + kCell - 1) / kCell),
      rows_((std::max(height, 0) + kCell - 1) / kCell),
      cells_(static_cast<size_t>(columns_) * static_cast<size_t>(rows_), 0)
{
    for (size_t i = 0; i < rects_.size(); ++i) {
        const PixelRect& r = rects_[i];
        if (r.Empty()) {
            continue;
        }
        const int left = std::clamp(r.left / kCell, 0, columns_ - 1);
        const int right = std::clamp((r.right - 1) / kCell, 0, columns_ - 1);
        const int top = std::clamp(r.top / kCell, 0, rows_ - 1);
        const int bottom = std::clamp((r.bottom - 1) / kCell, 0, rows_ - 1);
        for (int y = top; y <= bottom; ++y) {
            for (int x = left; x <= right; ++x) {
                cells_[static_cast<size_t>(y * columns_ + x)] |= std::uint64_t{1} << i;
            }
        }
    }
}

std::uint64_t DamageRegion::Met(const PixelRect& rect) const
{
    if (rect.Empty() || cells_.empty()) {
        return 0;
    }
    const int left = std::clamp(rect.left / kCell, 0, columns_ - 1);
    const int right = std::clamp((rect.right - 1) / kCell, 0, columns_ - 1);
    const int top = std::clamp(rect.top / kCell, 0, rows_ - 1);
    const int bottom = std::clamp((rect.bottom - 1) / kCell, 0, rows_ - 1);
    std::uint64_t near = 0;
    for (int y = top; y <= bottom; ++y) {
        for (int x = left; x <= right; ++x) {
            near |= cells_[static_cast<size_t>(y * columns_ + x)];
        }
    }
    std::uint64_t met = 0;
    for (; near != 0; near &= near - 1) {
        const int i = std::countr_zero(near);
        if (rects_[static_cast<size_t>(i)].Intersects(rect)) {
            met |= std::uint64_t{1} << i;
        }
    }
    return met;
}

bool DamageRegion::CheaperWhole(const std::vector<RecordedDraw>& frame) const
{
    long long whole = 0;
    long long cut = 0;
    const auto within = [this](const PixelRect& bounds, std::uint64_t met) {
        long long area = 0;
        for (; met != 0; met &= met - 1) {
            area += bounds.Intersection(rects_[static_cast<size_t>(std::countr_zero(met))]).Area() +
                    DamageTracker::kPassArea;
        }
        return area;
    };
    for (const RecordedDraw& draw : frame) {
        if (draw.clear && draw.rects.empty()) {
            whole += draw.bounds.Area() / kWholeClearShare;
            cut += within(draw.bounds, Met(draw.bounds));
        } else if (draw.triangleBounds.empty()) {
            whole += draw.bounds.Area();
            cut += within(draw.bounds, Met(draw.bounds));
        } else {
            for (const PixelRect& triangle : draw.triangleBounds) {
                whole += triangle.Area();
                cut += within(triangle, Met(triangle));
            }
        }
    }
    return whole <= cut;
}

}  // namespace platform::d3d9
