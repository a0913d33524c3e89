// What the back buffer was drawn from, frame by frame, and which of its pixels
// a frame changes. Every clear and draw into the back buffer is kept with all
// that decides its pixels: the states, its own copy of the vertices and the
// texture by a stamp that changes with the texture's pixels. Where the kept
// operations of two frames are the same in the same order, so are the pixels:
// a pixel can differ only under an operation that one frame has and the other
// lacks (matched in order), so the damage is the union of those operations'
// rectangles. That holds when each frame starts with a clear
// of the whole target, which makes its picture independent of the one before.
#pragma once

#include "platform/d3d9/D3D9Types.h"
#include "platform/d3d9/gl/VertexLayout.h"

#include <array>
#include <cstdint>
#include <vector>

namespace platform::d3d9 {

class GlTexture9;

// Pixels [left, right) x [top, bottom), rows top-down.
struct PixelRect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;

    bool Empty() const { return right <= left || bottom <= top; }
    bool Intersects(const PixelRect& other) const
    {
        return left < other.right && other.left < right && top < other.bottom && other.top < bottom;
    }
    long long Area() const { return Empty() ? 0 : static_cast<long long>(right - left) * (bottom - top); }
    PixelRect Union(const PixelRect& other) const;
    PixelRect Intersection(const PixelRect& other) const;
};

// One clear or draw into the back buffer.
struct RecordedDraw {
    RecordedDraw() = default;
    RecordedDraw(const RecordedDraw&) = delete;
    RecordedDraw& operator=(const RecordedDraw&) = delete;
    RecordedDraw(RecordedDraw&& other) noexcept;
    RecordedDraw& operator=(RecordedDraw&& other) noexcept;
    ~RecordedDraw();

    // Holds a reference on `texture` (null: none) while the draw waits to be drawn.
    void HoldTexture(GlTexture9* texture, std::uint64_t stamp);
    void DropTexture();
    // Whether the two put the same pixels in the same places.
    bool SameAs(const RecordedDraw& other) const;
    // Whether two draws draw alike: the same states, texture and vertex layout.
    bool SameStateAs(const RecordedDraw& other) const;

    bool clear = false;
    // A clear: its colour and rectangles (none: the whole target).
    D3DCOLOR color = 0;
    std::vector<D3DRECT> rects;
    // A draw: the primitives over its own vertices, indexed from the first one kept.
    D3DPRIMITIVETYPE type = D3DPT_TRIANGLELIST;
    VertexLayout layout;
    UINT stride = 0;
    std::vector<BYTE> vertices;
    bool indexed = false;
    std::vector<std::uint32_t> indices;
    long long count = 0;  // vertices (indices when indexed) drawn
    std::array<DWORD, D3DRS_MAX_STATE> renderStates{};
    std::array<DWORD, D3DTSS_MAX_STATE> stageStates{};
    std::array<DWORD, D3DSAMP_MAX_STATE> samplerStates{};
    GlTexture9* texture = nullptr;
    std::uint64_t textureStamp = 0;
    // Every pixel the operation may touch, within the target.
    PixelRect bounds;
    // A triangle list's rectangle of each triangle, in order (empty for other operations).
    std::vector<PixelRect> triangleBounds;
};

class DamageTracker {
public:
    // The most rectangles a damage is drawn as; beyond it, one rectangle
    // holding them all. Each costs every operation that meets it drawn again, cut to it.
    static constexpr size_t kMaxRects = 64;
    // More rectangles than this before merging become one at once: merging
    // them pair by pair would cost more than it saves.
    static constexpr size_t kManyRects = 256;
    // What drawing one more rectangle costs, in pixels drawn: two are merged
    // where their union adds no more than this.
    static constexpr long long kPassArea = 512;

    // How far past its corners a triangle may still be drawn, in pixels: the
    // rasteriser snaps corners to its sub-pixel grid (1/256 of a pixel).
    static constexpr double kSnap = 1.0 / 32;

    // Every pixel that primitives of `type` over the vertices may touch, cut to
    // the target. Pixel x covers [x - 0.5, x + 0.5] in vertex coordinates: a
    // triangle takes the pixels whose centres it holds, x from the least to the
    // greatest of its corners; a line or a point (one pixel wide, the only
    // width drawn) reaches half a pixel further.
    static PixelRect DrawBounds(D3DPRIMITIVETYPE type, const VertexLayout& layout, UINT stride,
                                const std::vector<BYTE>& vertices, int width, int height);
    // Fills `draw.triangleBounds` for a triangle list, one rectangle per triangle.
    static void SetTriangleBounds(RecordedDraw& draw, int width, int height);
    // Whether the first operation clears the whole target.
    static bool StartsWithFullClear(const std::vector<RecordedDraw>& frame, int width, int height);
    // The rectangles where `after` may differ from `before`, at most kMaxRects,
    // cut to the target; none when the two draw the same. Triangle lists are
    // compared triangle by triangle.
    static std::vector<PixelRect> Damage(const std::vector<RecordedDraw>& before,
                                         const std::vector<RecordedDraw>& after, int width, int height);
    // Rectangles merged where they overlap or where their union adds at most
    // kPassArea to the two; more than kMaxRects left become their union. The
    // rectangles returned do not overlap.
    static std::vector<PixelRect> Merge(std::vector<PixelRect> rects);
};

}  // namespace platform::d3d9
