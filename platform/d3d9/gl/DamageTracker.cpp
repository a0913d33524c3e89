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
        triangleBounds = std::move(other.triangleBounds);
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

bool RecordedDraw::SameStateAs(const RecordedDraw& other) const
{
    return !clear && !other.clear && type == other.type && layout.pretransformed == other.layout.pretransformed &&
           layout.positionOffset == other.layout.positionOffset && layout.colorOffset == other.layout.colorOffset &&
           layout.texCoordOffset == other.layout.texCoordOffset && layout.size == other.layout.size &&
           stride == other.stride && textureStamp == other.textureStamp && renderStates == other.renderStates &&
           stageStates == other.stageStates && samplerStates == other.samplerStates;
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
    return SameStateAs(other) && indexed == other.indexed && count == other.count && vertices == other.vertices &&
           indices == other.indices;
}

namespace {

// The pixels whose centres (whole coordinates) lie within `reach` of a box of
// positions, cut to the target.
PixelRect BoxBounds(float left, float top, float right, float bottom, double reach, int width, int height)
{
    const auto first = [reach](float value, int limit) {
        return static_cast<int>(std::clamp(std::ceil(value - reach), -1.0, limit + 1.0));
    };
    const auto end = [reach](float value, int limit) {
        return static_cast<int>(std::clamp(std::floor(value + reach) + 1.0, -1.0, limit + 1.0));
    };
    const PixelRect bounds{first(left, width), first(top, height), end(right, width), end(bottom, height)};
    return bounds.Intersection(PixelRect{0, 0, width, height});
}

// How far from its vertices a primitive of the type may reach.
double Reach(D3DPRIMITIVETYPE type)
{
    const bool thin = type == D3DPT_POINTLIST || type == D3DPT_LINELIST || type == D3DPT_LINESTRIP;
    return (thin ? 0.5 : 0.0) + DamageTracker::kSnap;
}

}  // namespace

PixelRect DamageTracker::DrawBounds(D3DPRIMITIVETYPE type, const VertexLayout& layout, UINT stride,
                                    const std::vector<BYTE>& vertices, int width, int height)
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
    return BoxBounds(left, top, right, bottom, Reach(type), width, height);
}

void DamageTracker::SetTriangleBounds(RecordedDraw& draw, int width, int height)
{
    draw.triangleBounds.clear();
    if (draw.clear || draw.type != D3DPT_TRIANGLELIST || draw.count % 3 != 0) {
        return;
    }
    const PixelRect target{0, 0, width, height};
    const size_t triangles = static_cast<size_t>(draw.count / 3);
    draw.triangleBounds.reserve(triangles);
    for (size_t t = 0; t < triangles; ++t) {
        float left = std::numeric_limits<float>::max();
        float top = left;
        float right = std::numeric_limits<float>::lowest();
        float bottom = right;
        bool finite = true;
        for (size_t c = 0; c < 3; ++c) {
            const size_t corner = 3 * t + c;
            const size_t vertex = draw.indexed ? draw.indices[corner] : corner;
            const size_t at = vertex * draw.stride + draw.layout.positionOffset;
            if (at + 2 * sizeof(float) > draw.vertices.size()) {
                finite = false;
                break;
            }
            float xy[2];
            std::memcpy(xy, draw.vertices.data() + at, sizeof xy);
            if (!std::isfinite(xy[0]) || !std::isfinite(xy[1])) {
                finite = false;
                break;
            }
            left = std::min(left, xy[0]);
            top = std::min(top, xy[1]);
            right = std::max(right, xy[0]);
            bottom = std::max(bottom, xy[1]);
        }
        draw.triangleBounds.push_back(finite ? BoxBounds(left, top, right, bottom, kSnap, width, height) : target);
    }
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

namespace {

// A part of a frame compared on its own: a clear or a draw whole, or one
// triangle of a triangle list (a batch of sprites is one draw, and one sprite
// of it moving should not damage them all).
struct Piece {
    const RecordedDraw* draw = nullptr;
    long long triangle = -1;  // -1: the whole operation
    PixelRect bounds;
};

const BYTE* Corner(const RecordedDraw& draw, long long corner)
{
    const size_t vertex = draw.indexed ? draw.indices[static_cast<size_t>(corner)] : static_cast<size_t>(corner);
    return draw.vertices.data() + vertex * draw.stride;
}

void Split(const std::vector<RecordedDraw>& frame, int width, int height, std::vector<Piece>& pieces)
{
    RecordedDraw measured;
    for (const RecordedDraw& draw : frame) {
        if (draw.clear || draw.type != D3DPT_TRIANGLELIST || draw.count % 3 != 0) {
            pieces.push_back({&draw, -1, draw.bounds});
            continue;
        }
        const std::vector<PixelRect>* bounds = &draw.triangleBounds;
        if (bounds->size() != static_cast<size_t>(draw.count / 3)) {
            // Kept without its triangles' rectangles: measured here.
            measured.type = draw.type;
            measured.layout = draw.layout;
            measured.stride = draw.stride;
            measured.vertices = draw.vertices;
            measured.indexed = draw.indexed;
            measured.indices = draw.indices;
            measured.count = draw.count;
            DamageTracker::SetTriangleBounds(measured, width, height);
            bounds = &measured.triangleBounds;
        }
        for (size_t t = 0; t < bounds->size(); ++t) {
            pieces.push_back({&draw, static_cast<long long>(t), (*bounds)[t]});
        }
    }
}

// Compares pieces, remembering the last pair of draws whose states were compared.
class PieceComparer {
public:
    bool Same(const Piece& a, const Piece& b)
    {
        if ((a.triangle < 0) != (b.triangle < 0)) {
            return false;
        }
        if (a.triangle < 0) {
            return a.draw->SameAs(*b.draw);
        }
        if (a.draw != m_A || b.draw != m_B) {
            m_A = a.draw;
            m_B = b.draw;
            m_SameState = a.draw->SameStateAs(*b.draw);
        }
        if (!m_SameState) {
            return false;
        }
        for (long long c = 0; c < 3; ++c) {
            if (std::memcmp(Corner(*a.draw, 3 * a.triangle + c), Corner(*b.draw, 3 * b.triangle + c),
                            a.draw->layout.size) != 0) {
                return false;
            }
        }
        return true;
    }

private:
    const RecordedDraw* m_A = nullptr;
    const RecordedDraw* m_B = nullptr;
    bool m_SameState = false;
};

}  // namespace

std::vector<PixelRect> DamageTracker::Damage(const std::vector<RecordedDraw>& before,
                                             const std::vector<RecordedDraw>& after, int width, int height)
{
    std::vector<Piece> old;
    std::vector<Piece> now;
    Split(before, width, height, old);
    Split(after, width, height, now);
    // Pieces are paired in order: from the start, from the end, and what is
    // left between place by place. A pixel under no unpaired or changed piece
    // is drawn by the same pieces in the same order in both frames.
    PieceComparer comparer;
    size_t head = 0;
    const size_t shorter = std::min(old.size(), now.size());
    while (head < shorter && comparer.Same(old[head], now[head])) {
        ++head;
    }
    size_t tail = 0;
    while (tail < shorter - head && comparer.Same(old[old.size() - 1 - tail], now[now.size() - 1 - tail])) {
        ++tail;
    }
    std::vector<PixelRect> rects;
    const size_t oldEnd = old.size() - tail;
    const size_t nowEnd = now.size() - tail;
    for (size_t i = head; i < oldEnd || i < nowEnd; ++i) {
        if (i < oldEnd && i < nowEnd && comparer.Same(old[i], now[i])) {
            continue;
        }
        if (i < oldEnd && !old[i].bounds.Empty()) {
            rects.push_back(old[i].bounds);
        }
        if (i < nowEnd && !now[i].bounds.Empty()) {
            rects.push_back(now[i].bounds);
        }
    }
    return Merge(std::move(rects));
}

std::vector<PixelRect> DamageTracker::Merge(std::vector<PixelRect> rects)
{
    // Each rectangle is drawn again on its own, at a cost of its own, so two
    // are merged where they overlap (the overlap would be drawn twice) or the
    // union costs little more than the two; beyond kMaxRects, one holds them all.
    const auto all = [](const std::vector<PixelRect>& parts) {
        PixelRect whole;
        for (const PixelRect& r : parts) {
            whole = whole.Union(r);
        }
        return std::vector<PixelRect>{whole};
    };
    if (rects.size() > kManyRects) {
        return all(rects);
    }
    bool merged = true;
    while (merged) {
        merged = false;
        for (size_t i = 0; i < rects.size(); ++i) {
            for (size_t j = i + 1; j < rects.size();) {
                const PixelRect both = rects[i].Union(rects[j]);
                if (rects[i].Intersects(rects[j]) || both.Area() <= rects[i].Area() + rects[j].Area() + kPassArea) {
                    rects[i] = both;
                    rects.erase(rects.begin() + static_cast<long>(j));
                    merged = true;
                    j = i + 1;
                } else {
                    ++j;
                }
            }
        }
    }
    if (rects.size() > kMaxRects) {
        return all(rects);
    }
    return rects;
}

}  // namespace platform::d3d9
