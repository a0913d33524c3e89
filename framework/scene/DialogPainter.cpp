#include "framework/scene/DialogPainter.h"

#include <algorithm>
#include <cmath>

#include "framework/core/properties/PropertyNode.h"
#include "framework/core/util/Polygon.h"
#include "framework/core/util/StringFunctions.h"
#include "framework/graphics/draw/Graphics.h"
#include "framework/graphics/render/iRenderTarget.h"

namespace Qmv2 {

namespace {

// Far more tiles than any target can show; keeps a degenerate tile size or
// area from running away.
constexpr double kMaxTilesPerAxis = 16384.0;

// How many tiles of size `tile` start within `span`.
std::int32_t TileCount(double span, double tile)
{
    if (!(tile > 0.0) || !(span > 0.0) || !std::isfinite(span) || !std::isfinite(tile)) {
        return 0;
    }
    return static_cast<std::int32_t>(std::min(std::ceil(span / tile), kMaxTilesPerAxis));
}

// The least fixed + n * tile not below `requested`; each of fixed and tile
// falls back to its second value when the first is 0.
float Extent(float requested, float fixed, float fixedFallback, float tile, float tileFallback)
{
    if (fixed == 0.0f) {
        fixed = fixedFallback;
    }
    if (tile == 0.0f) {
        tile = tileFallback;
    }
    float n = 0.0f;
    if (tile != 0.0f && requested > fixed) {
        n = std::ceil((requested - fixed) / tile);
    }
    return std::max(fixed + n * tile, requested);
}

}  // namespace

DialogPainter::DialogPainter(PropertyNode* description) : AbstractPainter(description)
{
    const PropertyNode& node = *PropertyNode::AsNode(description);
    if (node.HasChild("clearcolor")) {
        m_ClearColor.SetRGB(static_cast<std::uint32_t>(ParseColor(node.GetString("clearcolor"))));
    }
    if (node.HasChild("centercolor")) {
        m_CenterColor.SetRGB(static_cast<std::uint32_t>(ParseColor(node.GetString("centercolor"))));
    }
    if (node.HasChild("centeralpha")) {
        m_CenterColor.a = node.GetValue("centeralpha")->GetFloat();
        m_CenterColor.dirty = true;
    }
    if (node.HasChild("centerimages")) {
        m_CenterImages = node.GetValue("centerimages")->GetBool();
    }
    static const char* const kOffsetKeys[] = {"offsetleft", "offsetright", "offsettop", "offsetbottom"};
    const bool anyOffset = std::any_of(std::begin(kOffsetKeys), std::end(kOffsetKeys),
                                       [&node](const char* key) { return node.HasChild(key); });
    if (anyOffset) {
        Offsets offsets;
        std::int32_t* fields[] = {&offsets.left, &offsets.right, &offsets.top, &offsets.bottom};
        for (int i = 0; i < 4; ++i) {
            if (node.HasChild(kOffsetKeys[i])) {
                *fields[i] = ParseColor(node.GetString(kOffsetKeys[i]));
            }
        }
        m_Offsets = offsets;
    }
}

PainterFrameSizes DialogPainter::GetFrameSizes()
{
    PainterFrameSizes sizes;
    for (std::int32_t i = 0; i < kFrameCount; ++i) {
        if (ImageFrame* frame = GetImage(i)) {
            // A mirrored frame has a negative extent but covers as much.
            sizes.width[i] = static_cast<float>(std::abs(frame->GetPixelRect().width));
            sizes.height[i] = static_cast<float>(std::abs(frame->GetPixelRect().height));
        }
    }
    return sizes;
}

float DialogPainter::SnapWidth(const PainterFrameSizes& s, float requested)
{
    const auto& w = s.width;
    return Extent(requested, std::max(w[0], w[6]) + std::max(w[2], w[8]), w[3] + w[5], std::max(w[1], w[7]), w[4]);
}

float DialogPainter::SnapHeight(const PainterFrameSizes& s, float requested)
{
    const auto& h = s.height;
    return Extent(requested, std::max(h[0], h[2]) + std::max(h[6], h[8]), h[1] + h[7], std::max(h[3], h[5]), h[4]);
}

PainterTiling DialogPainter::Tile(const RectF& area, float tileWidth, float tileHeight, bool centred)
{
    PainterTiling tiling;
    if (!(tileWidth > 0.0f) || !(tileHeight > 0.0f)) {
        return tiling;
    }
    double ex = 0.0;
    double ey = 0.0;
    if (centred) {
        ex = std::ceil(area.width / tileWidth) * tileWidth - area.width;
        ey = std::ceil(area.height / tileHeight) * tileHeight - area.height;
    }
    // Tile k of a row starts at x - ex/2 + k * tileWidth and is drawn while
    // that start lies before the area's right edge.
    tiling.columns = TileCount(area.width + ex / 2.0, tileWidth);
    tiling.rows = TileCount(area.height + ey / 2.0, tileHeight);
    if (tiling.columns == 0 || tiling.rows == 0) {
        tiling.columns = 0;
        tiling.rows = 0;
    }
    tiling.origin = PointF(static_cast<float>(area.x - ex / 2.0), static_cast<float>(area.y - ey / 2.0));
    tiling.stepX = tileWidth;
    tiling.stepY = tileHeight;
    return tiling;
}

PainterLayout DialogPainter::ComputeLayout(const PainterFrameSizes& s, const RectF& rect, float targetWidth,
                                           float targetHeight) const
{
    const auto& w = s.width;
    const auto& h = s.height;
    PainterLayout layout;
    const bool ownSize = rect.width > 0.0f && rect.height > 0.0f;
    const float W = ownSize ? rect.width : targetWidth;
    const float H = ownSize ? rect.height : targetHeight;
    layout.width = W;
    layout.height = H;

    const float left = m_Offsets ? static_cast<float>(m_Offsets->left) : w[3];
    const float top = m_Offsets ? static_cast<float>(m_Offsets->top) : h[1];
    const float right = m_Offsets ? static_cast<float>(m_Offsets->right) : w[5];
    const float bottom = m_Offsets ? static_cast<float>(m_Offsets->bottom) : h[7];
    layout.centre = {rect.x + left, rect.y + top, W - (left + right), H - (top + bottom)};

    auto present = [&s](std::int32_t k) { return s.width[k] > 0.0f && s.height[k] > 0.0f; };
    auto tiled = [&](std::int32_t k, const RectF& area, bool centred) {
        if (present(k)) {
            layout.parts.push_back({k, area, Tile(area, w[k], h[k], centred)});
        }
    };

    layout.fillCentre = !present(4);
    tiled(4, layout.centre, m_CenterImages);
    tiled(1, {rect.x + w[0], rect.y, W - (w[0] + w[2]), h[1]}, m_CenterImages);
    tiled(7, {rect.x + w[6], rect.y + H - h[7], W - (w[6] + w[8]), h[7]}, m_CenterImages);
    tiled(3, {rect.x, rect.y + h[0], w[3], H - (h[0] + h[6])}, m_CenterImages);
    tiled(5, {rect.x + W - w[5], rect.y + h[2], w[5], H - (h[2] + h[8])}, m_CenterImages);
    // A corner is one tile of its own size.
    tiled(0, {rect.x, rect.y, w[0], h[0]}, false);
    tiled(2, {rect.x + W - w[2], rect.y, w[2], h[2]}, false);
    tiled(6, {rect.x, rect.y + H - h[6], w[6], h[6]}, false);
    tiled(8, {rect.x + W - w[8], rect.y + H - h[8], w[8], h[8]}, false);
    return layout;
}

void DialogPainter::Paint(Graphics& graphics, const RectF& rect)
{
    iRenderTarget* target = graphics.GetTarget();
    const float targetWidth = target != nullptr ? static_cast<float>(target->GetTargetWidth()) : 0.0f;
    const float targetHeight = target != nullptr ? static_cast<float>(target->GetTargetHeight()) : 0.0f;
    const PainterLayout layout = ComputeLayout(GetFrameSizes(), rect, targetWidth, targetHeight);

    graphics.PushClip(PolygonF(0.0f, 0.0f, layout.width, layout.height));
    graphics.SetColor(Color(0.0f, m_ClearColor.r, m_ClearColor.g, m_ClearColor.b));
    graphics.ClearTarget();
    graphics.SetColor(Color(1.0f, 1.0f, 1.0f, 1.0f));
    graphics.SetBlendMode(kBlendReplace);

    std::size_t next = 0;
    if (layout.fillCentre) {
        if (layout.centre.width > 0.0f && layout.centre.height > 0.0f) {
            graphics.SetColor(m_CenterColor);
            graphics.DrawRect(layout.centre);
        }
    } else {
        DrawPart(graphics, layout.parts[next++]);
    }

    graphics.SetColor(Color(1.0f, 1.0f, 1.0f, 1.0f));
    graphics.SetBlendMode(kBlendAlpha);
    for (; next < layout.parts.size(); ++next) {
        DrawPart(graphics, layout.parts[next]);
    }
    graphics.PopClip();
    SetDirty(false);
}

void DialogPainter::DrawPart(Graphics& graphics, const PainterPart& part)
{
    ImageFrame* frame = GetImage(part.frame);
    if (frame == nullptr || part.tiling.GetCount() == 0) {
        return;
    }
    graphics.SetImage(frame);
    graphics.SetBoundsRect({0.0f, 0.0f, std::abs(static_cast<float>(frame->GetPixelRect().width)),
                            std::abs(static_cast<float>(frame->GetPixelRect().height))});
    graphics.PushClip(PolygonF(part.area.x, part.area.y, part.area.width, part.area.height));
    for (std::int32_t row = 0; row < part.tiling.rows; ++row) {
        for (std::int32_t column = 0; column < part.tiling.columns; ++column) {
            const PointF tile = part.tiling.TileAt(column, row);
            graphics.SetPosition(tile.x, tile.y);
            graphics.DrawImage();
        }
    }
    graphics.SetPosition(0.0f, 0.0f);
    graphics.PopClip();
    graphics.SetImage(nullptr);
}

}  // namespace Qmv2
