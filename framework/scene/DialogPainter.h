// A nine-part dialog frame: four corners drawn once, four edges and the
// centre tiled, on a cleared target. Requested dialog sizes are snapped so
// that the edges tile a whole number of times.
//
// Image indices: 0 top-left, 1 top, 2 top-right, 3 left, 4 centre, 5 right,
// 6 bottom-left, 7 bottom, 8 bottom-right.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

#include "framework/core/util/Color.h"
#include "framework/core/util/Point.h"
#include "framework/scene/AbstractPainter.h"
#include "framework/scene/SceneRecords.h"

namespace Qmv2 {

// The sizes of the nine frames; a missing frame counts as 0 by 0.
struct PainterFrameSizes {
    std::array<float, 9> width{};
    std::array<float, 9> height{};
};

// A grid of equal tiles: the top-left corner of the first, the counts and
// the steps between them.
struct PainterTiling {
    PointF origin;
    std::int32_t columns = 0;
    std::int32_t rows = 0;
    float stepX = 0.0f;
    float stepY = 0.0f;

    std::int32_t GetCount() const { return columns * rows; }
    PointF TileAt(std::int32_t column, std::int32_t row) const
    {
        return PointF(origin.x + static_cast<float>(column) * stepX, origin.y + static_cast<float>(row) * stepY);
    }
};

// One part of the frame: the area it covers (drawing is clipped to it) and
// the tiles of its frame.
struct PainterPart {
    std::int32_t frame = 0;
    RectF area{};
    PainterTiling tiling;
};

// Where everything goes for one target size.
struct PainterLayout {
    float width = 0.0f;
    float height = 0.0f;
    RectF centre{};
    // No centre frame: the centre is a plain fill in the centre colour.
    bool fillCentre = true;
    // In drawing order: the centre (when it has a frame), the edges top,
    // bottom, left, right, then the corners; missing frames are left out.
    std::vector<PainterPart> parts;
};

class DialogPainter : public AbstractPainter {
    QMV_INDEXED_TYPE(DialogPainter)

    static constexpr std::int32_t kFrameCount = 9;
    // Renderer blend modes: the source replaces the target, and source-alpha blending.
    static constexpr std::int32_t kBlendReplace = 4;
    static constexpr std::int32_t kBlendAlpha = 6;

    struct Offsets {
        std::int32_t left = 0;
        std::int32_t right = 0;
        std::int32_t top = 0;
        std::int32_t bottom = 0;
    };

    DialogPainter() = default;
    // Reads the image keys, then "clearcolor", "centercolor", "centeralpha",
    // "centerimages" and the four "offset..." keys.
    explicit DialogPainter(PropertyNode* description);

    void Paint(Graphics& graphics, const RectF& rect) override;
    float AdjustWidth(float requested) override { return SnapWidth(GetFrameSizes(), requested); }
    float AdjustHeight(float requested) override { return SnapHeight(GetFrameSizes(), requested); }

    // The sizes of the frames this painter holds.
    PainterFrameSizes GetFrameSizes();
    // Where the parts go in a target of `targetWidth` by `targetHeight`
    // (used when `rect` has no positive size).
    PainterLayout ComputeLayout(const PainterFrameSizes& sizes, const RectF& rect, float targetWidth,
                                float targetHeight) const;

    // The least size not below `requested` at which the edges tile whole.
    static float SnapWidth(const PainterFrameSizes& sizes, float requested);
    static float SnapHeight(const PainterFrameSizes& sizes, float requested);
    // The tiles of a `tileWidth` by `tileHeight` frame over `area`; `centred`
    // splits the cut tiles equally between both ends, else the grid starts
    // at the area's top-left corner. A tile without a positive size, or an
    // empty area, gives no tiles.
    static PainterTiling Tile(const RectF& area, float tileWidth, float tileHeight, bool centred);

    const Color& GetCenterColor() const noexcept { return m_CenterColor; }
    const Color& GetClearColor() const noexcept { return m_ClearColor; }
    bool GetCenterImages() const noexcept { return m_CenterImages; }
    const std::optional<Offsets>& GetOffsets() const noexcept { return m_Offsets; }

private:
    void DrawPart(Graphics& graphics, const PainterPart& part);

    Color m_CenterColor{1.0f, 0.0f, 0.0f, 0.0f};
    Color m_ClearColor{1.0f, 0.0f, 0.0f, 0.0f};
    bool m_CenterImages = false;
    std::optional<Offsets> m_Offsets;
};

}  // namespace Qmv2
