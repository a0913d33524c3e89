#include "platform/d3d9/gl/DamageTracker.h"

#include "platform/d3d9/gl/GlTexture9.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <utility>

namespace platform::d3d9 {

PixelRect PixelRect::Union(const PixelRect& other) const
{
    if (Empty()) {
        return other;
    }
    if (other.Empty()) {
        return *this;
    }
    return {std::min(left, other.left), std::min(top, other.top), std::max(right, other.right),
            std::max(bottom, other.bottom)};
}

PixelRect PixelRect::Intersection(const PixelRect& other) const
{
    return {std::max(left, other.left), std::max(top, other.top), std::min(right, other.right),
            std::min(bottom, other.bottom)};
}

RecordedDraw::RecordedDraw(RecordedDraw&& other) noexcept
{
    *this = std::move(other);
}

RecordedDraw& RecordedDraw::operator=(RecordedDraw&& other) noexcept
{
    if (this != &other) {
        DropTexture();
        clear = other.clear;
        color = other.color;
        rects = std::move(other.rects);
        type = other.type;
        layout = other.layout;
        stride = other.stride;
        vertices = std::move(other.vertices);
        indexed = other.indexed;
        indices = std::move(other.indices);
        count = other.count;
        renderStates = other.renderStates;
        stageStates = other.stageStates;
        samplerStates = other.samplerStates;
        texture = std::exchange(other.texture, nullptr);
        textureStamp = other.textureStamp;
        bounds = other.bounds;
    }
    return *this;
}

RecordedDraw::~RecordedDraw()
{
    DropTexture();
}

void RecordedDraw::HoldTexture(GlTexture9* held, std::uint64_t stamp)
{
    if (held != nullptr) {
        held->AddRef();
    }
    DropTexture();
    texture = held;
    textureStamp = stamp;
}

void RecordedDraw::DropTexture()
{
    if (GlTexture9* old = std::exchange(texture, nullptr)) {
        old->Release();
    }
}

bool RecordedDraw::SameAs(const RecordedDraw& other) const
{
    if (clear != other.clear) {
        return false;
    }
    if (clear) {
        if (color != other.color || rects.size() != other.rects.size()) {
            return false;
        }
        for (size_t i = 0; i < rects.size(); ++i) {
            const D3DRECT& a = rects[i];
            const D3DRECT& b = other.rects[i];
            if (a.x1 != b.x1 || a.y1 != b.y1 || a.x2 != b.x2 || a.y2 != b.y2) {
                return false;
            }
        }
        return true;
    }
    return type == other.type && layout.pretransformed == other.layout.pretransformed &&
           layout.positionOffset == other.layout.positionOffset && layout.colorOffset == other.layout.colorOffset &&
           layout.texCoordOffset == other.layout.texCoordOffset && layout.size == other.layout.size &&
           stride == other.stride && indexed == other.indexed && count == other.count &&
           textureStamp == other.textureStamp && vertices == other.vertices && indices == other.indices &&
           renderStates == other.renderStates && stageStates == other.stageStates &&
           samplerStates == other.samplerStates;
}

PixelRect DamageTracker::DrawBounds(const VertexLayout& layout, UINT stride, const std::vector<BYTE>& vertices,
                                    int width, int height)
{
    const PixelRect target{0, 0, width, height};
    if (stride == 0 || vertices.size() < layout.positionOffset + 2 * sizeof(float)) {
        return target;
    }
    float left = std::numeric_limits<float>::max();
    float top = left;
    float right = std::numeric_limits<float>::lowest();
    float bottom = right;
    for (size_t at = layout.positionOffset; at + 2 * sizeof(float) <= vertices.size(); at += stride) {
        float xy[2];
        std::memcpy(xy, vertices.data() + at, sizeof xy);
        // A position that is not a number could land anywhere.
        if (!std::isfinite(xy[0]) || !std::isfinite(xy[1])) {
            return target;
        }
        left = std::min(left, xy[0]);
        top = std::min(top, xy[1]);
        right = std::max(right, xy[0]);
        bottom = std::max(bottom, xy[1]);
    }
    if (left > right) {
        return PixelRect{};
    }
    const auto grow = [](float value, int margin, int limit) {
        const double moved = static_cast<double>(margin < 0 ? std::floor(value) : std::ceil(value)) + margin;
        return static_cast<int>(std::clamp(moved, -1.0, static_cast<double>(limit) + 1.0));
    };
    PixelRect bounds{grow(left, -kMargin, width), grow(top, -kMargin, height), grow(right, kMargin, width),
                     grow(bottom, kMargin, height)};
    return bounds.Intersection(target);
}

bool DamageTracker::StartsWithFullClear(const std::vector<RecordedDraw>& frame, int width, int height)
{
    if (frame.empty() || !frame.front().clear) {
        return false;
    }
    const std::vector<D3DRECT>& rects = frame.front().rects;
    if (rects.empty()) {
        return true;
    }
    for (const D3DRECT& r : rects) {
        if (r.x1 <= 0 && r.y1 <= 0 && r.x2 >= width && r.y2 >= height) {
            return true;
        }
    }
    return false;
}

std::vector<PixelRect> DamageTracker::Damage(const std::vector<RecordedDraw>& before,
                                             const std::vector<RecordedDraw>& after)
{
    size_t head = 0;
    const size_t shorter = std::min(before.size(), after.size());
    while (head < shorter && after[head].SameAs(before[head])) {
        ++head;
    }
    size_t tail = 0;
    while (tail < shorter - head && after[after.size() - 1 - tail].SameAs(before[before.size() - 1 - tail])) {
        ++tail;
    }
    std::vector<PixelRect> rects;
    for (size_t i = head; i + tail < before.size(); ++i) {
        if (!before[i].bounds.Empty()) {
            rects.push_back(before[i].bounds);
        }
    }
    for (size_t i = head; i + tail < after.size(); ++i) {
        if (!after[i].bounds.Empty()) {
            rects.push_back(after[i].bounds);
        }
    }
    return Merge(std::move(rects));
}

std::vector<PixelRect> DamageTracker::Merge(std::vector<PixelRect> rects)
{
    // Overlapping rectangles become their union until none overlap; then the
    // pair whose union adds the least area is merged while there are too many.
    // Very many become one: finding pairs would cost more than it saves.
    if (rects.size() > kManyRects) {
        PixelRect all;
        for (const PixelRect& r : rects) {
            all = all.Union(r);
        }
        return {all};
    }
    bool merged = true;
    while (merged) {
        merged = false;
        for (size_t i = 0; i < rects.size() && !merged; ++i) {
            for (size_t j = i + 1; j < rects.size(); ++j) {
                if (rects[i].Intersects(rects[j])) {
                    rects[i] = rects[i].Union(rects[j]);
                    rects.erase(rects.begin() + static_cast<long>(j));
                    merged = true;
                    break;
                }
            }
        }
    }
    while (rects.size() > kMaxRects) {
        size_t bestI = 0;
        size_t bestJ = 1;
        long long bestGrowth = std::numeric_limits<long long>::max();
        for (size_t i = 0; i < rects.size(); ++i) {
            for (size_t j = i + 1; j < rects.size(); ++j) {
                const long long growth = rects[i].Union(rects[j]).Area() - rects[i].Area() - rects[j].Area();
                if (growth < bestGrowth) {
                    bestGrowth = growth;
                    bestI = i;
                    bestJ = j;
                }
            }
        }
        rects[bestI] = rects[bestI].Union(rects[bestJ]);
        rects.erase(rects.begin() + static_cast<long>(bestJ));
    }
    return rects;
}

}  // namespace platform::d3d9
