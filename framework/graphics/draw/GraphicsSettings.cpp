#include "framework/graphics/draw/GraphicsSettings.h"

#include <cmath>
#include <numbers>

#include "framework/core/util/Geometry.h"
#include "framework/graphics/image/ImageFrame.h"

namespace Qmv2 {

namespace {

constexpr float kTwoPi = 6.2831855f;

bool BeyondTolerance(float value)
{
    return std::fabs(value) > GraphicsSettings::kTolerance;
}

PointF OffsetOf(const ImageFrame* image)
{
    return image != nullptr ? image->GetOffset() : PointF();
}

}  // namespace

GraphicsSettings::GraphicsSettings() = default;

GraphicsSettings::~GraphicsSettings()
{
    SetImage(nullptr);
    SetBounds(nullptr);
}

void GraphicsSettings::SetBounds(PolygonF* bounds)
{
    if (bounds != nullptr) {
        bounds->AddRef();
    }
    if (PolygonF* old = std::exchange(m_Bounds, bounds)) {
        old->Release();
    }
}

void GraphicsSettings::CopyFrom(GraphicsSettings& other)
{
    if (&other == this) {
        return;
    }
    m_Color = other.m_Color;
    m_FlipFlags = other.m_FlipFlags;
    m_BlendMode = other.m_BlendMode;
    m_UseAlphaChannel = other.m_UseAlphaChannel;
    m_SolidFill = other.m_SolidFill;
    SetImage(other.GetImage());
    SetBounds(other.m_Bounds);
    m_BoundsShared = true;
    m_SkewX = other.m_SkewX;
    m_SkewY = other.m_SkewY;
    m_ScaleX = other.m_ScaleX;
    m_ScaleY = other.m_ScaleY;
    m_Rotation = other.m_Rotation;
    m_Anchor = other.m_Anchor;
    m_Pivot = other.m_Pivot;
    m_PivotLinked = other.m_PivotLinked;
    m_ColorInheritance = other.m_ColorInheritance;
    MarkDirty();
}

void GraphicsSettings::Reset()
{
    m_Color = Color();
    m_FlipFlags = 0;
    m_BlendMode = 0;
    SetImage(nullptr);
    SetBounds(nullptr);
    m_UseAlphaChannel = true;
    m_SolidFill = false;
    m_BoundsShared = false;
    m_SkewX = m_SkewY = 0.0f;
    m_ScaleX = m_ScaleY = 1.0f;
    m_Rotation = 0.0f;
    m_Anchor.kind = AnchorPoint::TopLeft;
    m_Anchor.Update(0.0f, 0.0f);
    m_Pivot.kind = AnchorPoint::TopLeft;
    m_Pivot.Update(0.0f, 0.0f);
    m_PivotLinked = true;
    MarkDirty();
    m_ColorInheritance = kInheritAlpha;
}

void GraphicsSettings::SetRGB(const Color& color)
{
    m_Color.r = color.r;
    m_Color.g = color.g;
    m_Color.b = color.b;
    m_Color.dirty = true;
}

void GraphicsSettings::SetPackedColor(std::uint32_t argb)
{
    m_Color = Color(argb);
}

void GraphicsSettings::SetColor(const Color& color)
{
    m_Color = color;
}

void GraphicsSettings::SetAlpha(float alpha)
{
    m_Color.a = alpha;
    m_Color.dirty = true;
}

void GraphicsSettings::SetFlipHorizontal(bool flip)
{
    m_FlipFlags = flip ? (m_FlipFlags | kFlipHorizontal) : (m_FlipFlags & ~kFlipHorizontal);
}

void GraphicsSettings::SetFlipVertical(bool flip)
{
    m_FlipFlags = flip ? (m_FlipFlags | kFlipVertical) : (m_FlipFlags & ~kFlipVertical);
}

std::int32_t GraphicsSettings::GetImageWidth() const
{
    return m_Image != nullptr ? m_Image->GetPixelRect().width : 0;
}

std::int32_t GraphicsSettings::GetImageHeight() const
{
    return m_Image != nullptr ? m_Image->GetPixelRect().height : 0;
}

void GraphicsSettings::UpdateMatrix()
{
    if (!m_MatrixDirty) {
        return;
    }
    const float x = GetDrawX();
    const float y = GetDrawY();
    m_HasTransform = BeyondTolerance(x) || BeyondTolerance(y) || BeyondTolerance(m_SkewX) || BeyondTolerance(m_SkewY) ||
                     BeyondTolerance(m_ScaleX - 1.0f) || BeyondTolerance(m_ScaleY - 1.0f) ||
                     BeyondTolerance(FloatMod(m_Rotation, kTwoPi));
    if (m_HasTransform) {
        const PointF p(m_Pivot.offset.x - m_Anchor.offset.x, m_Pivot.offset.y - m_Anchor.offset.y);
        m_LocalMatrix.SetTransform(x, y, m_Rotation, m_ScaleX, m_ScaleY, m_SkewX, m_SkewY, p);
        m_InverseLocalMatrix.SetInverseTransform(x, y, m_Rotation, m_ScaleX, m_ScaleY, m_SkewX, m_SkewY, p);
    } else {
        m_LocalMatrix = Matrix3x3();
        m_InverseLocalMatrix = Matrix3x3();
    }
    m_MatrixDirty = false;
}

void GraphicsSettings::CopyMatrixFrom(GraphicsSettings& other)
{
    other.UpdateMatrix();
    m_LocalMatrix = other.m_LocalMatrix;
    m_InverseLocalMatrix = other.m_InverseLocalMatrix;
    m_HasTransform = other.m_HasTransform;
    m_MatrixDirty = false;
}

bool GraphicsSettings::HasTransform()
{
    UpdateMatrix();
    return m_HasTransform;
}

bool GraphicsSettings::ApplyTransform(Matrix3x3& m)
{
    bool applied = false;
    if (HasTransform()) {
        UpdateMatrix();
        m *= m_LocalMatrix;
        applied = true;
    }
    const PointF imageOffset = OffsetOf(m_Image);
    const float dx = imageOffset.x - m_Anchor.offset.x;
    const float dy = imageOffset.y - m_Anchor.offset.y;
    if (BeyondTolerance(dx) || BeyondTolerance(dy)) {
        m.m02 += m.m00 * dx + m.m01 * dy;
        m.m12 += m.m10 * dx + m.m11 * dy;
        m.m22 += m.m20 * dx + m.m21 * dy;
        return true;
    }
    return applied;
}

void GraphicsSettings::SetScalar(float& field, float value)
{
    if (field != value) {
        field = value;
        MarkDirty();
    }
}

void GraphicsSettings::SetSkewX(float value)
{
    SetScalar(m_SkewX, value);
}

void GraphicsSettings::SetSkewY(float value)
{
    SetScalar(m_SkewY, value);
}

void GraphicsSettings::SetScaleX(float value)
{
    SetScalar(m_ScaleX, value);
}

void GraphicsSettings::SetScaleY(float value)
{
    SetScalar(m_ScaleY, value);
}

void GraphicsSettings::SetScale(float value)
{
    SetScaleX(value);
    SetScaleY(value);
}

void GraphicsSettings::SetRotation(float radians)
{
    SetScalar(m_Rotation, radians);
}

void GraphicsSettings::SetAnchor(std::int32_t kind)
{
    MarkDirty();
    const auto width = static_cast<float>(GetImageWidth());
    const auto height = static_cast<float>(GetImageHeight());
    m_Anchor.kind = kind;
    m_Anchor.Update(width, height);
    if (m_PivotLinked) {
        m_Pivot.kind = kind;
        m_Pivot.Update(width, height);
    }
}

void GraphicsSettings::SetPivot(std::int32_t kind)
{
    MarkDirty();
    m_Pivot.kind = kind;
    m_Pivot.Update(static_cast<float>(GetImageWidth()), static_cast<float>(GetImageHeight()));
    m_PivotLinked = false;
}

void GraphicsSettings::SetAnchorXY(float x, float y)
{
    if (m_Anchor.kind == AnchorPoint::Free && m_Anchor.offset.x == x && m_Anchor.offset.y == y) {
        return;
    }
    MarkDirty();
    m_Anchor.kind = AnchorPoint::Free;
    m_Anchor.offset = PointF(x, y);
    if (m_PivotLinked) {
        m_Pivot.kind = AnchorPoint::Free;
        m_Pivot.offset = PointF(x, y);
    }
}

void GraphicsSettings::SetPivotXY(float x, float y)
{
    if (!m_PivotLinked && m_Pivot.kind == AnchorPoint::Free && m_Pivot.offset.x == x && m_Pivot.offset.y == y) {
        return;
    }
    MarkDirty();
    m_PivotLinked = false;
    m_Pivot.kind = AnchorPoint::Free;
    m_Pivot.offset = PointF(x, y);
}

namespace {

bool SameAnchor(const AnchorPoint& a, const AnchorPoint& b)
{
    return a.kind == b.kind && (a.kind != AnchorPoint::Free || a.offset == b.offset);
}

}  // namespace

void GraphicsSettings::SetAnchorPoint(const AnchorPoint& anchor)
{
    if (SameAnchor(m_Anchor, anchor)) {
        return;
    }
    MarkDirty();
    m_Anchor = anchor;
    if (m_PivotLinked) {
        m_Pivot = anchor;
    }
}

void GraphicsSettings::SetPivotPoint(const AnchorPoint& pivot)
{
    if (!m_PivotLinked && SameAnchor(m_Pivot, pivot)) {
        return;
    }
    MarkDirty();
    m_PivotLinked = false;
    m_Pivot = pivot;
}

void GraphicsSettings::SetImage(ImageFrame* image)
{
    if (image == m_Image) {
        return;
    }
    if (image != nullptr) {
        image->AddRef();
    }
    ImageFrame* old = std::exchange(m_Image, image);
    if (OffsetOf(old) != OffsetOf(image)) {
        MarkDirty();
    }
    if (old != nullptr) {
        old->Release();
    }
}

void GraphicsSettings::SetBoundsRect(const RectF& rect)
{
    if (m_Bounds != nullptr && !m_BoundsShared) {
        m_Bounds->SetRect(rect.x, rect.y, rect.width, rect.height);
        return;
    }
    SetBounds(new PolygonF(rect.x, rect.y, rect.width, rect.height));
    m_BoundsShared = false;
}

bool GraphicsSettings::GetTransformedBounds(PolygonF& out)
{
    if (m_Bounds == nullptr) {
        out.Clear();
        return false;
    }
    out = *m_Bounds;
    Matrix3x3 m;
    if (ApplyTransform(m)) {
        out.Transform(m);
    }
    return true;
}

}  // namespace Qmv2
