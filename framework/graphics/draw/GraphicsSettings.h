// The appearance and placement state of anything drawn: colour, flips, blend
// mode, image frame, bounds polygon, skew, scale, rotation, anchor and pivot,
// and the local transform built from them. Sprites and the drawing object
// carry it as a sub-object.
#pragma once

#include <cstdint>

#include "framework/core/object/Interface.h"
#include "framework/core/util/AnchorPoint.h"
#include "framework/core/util/Color.h"
#include "framework/core/util/Matrix3x3.h"
#include "framework/core/util/Polygon.h"
#include "framework/core/util/Rect.h"

namespace Qmv2 {

class ImageFrame;

class GraphicsSettings : public Interface {
public:
    QMV_CLASS_TYPE(GraphicsSettings, Interface)

    enum FlipFlags : std::uint32_t { kFlipHorizontal = 1, kFlipVertical = 2 };
    // Colour inheritance: 0x200 passes on alpha only, 0x400 r, g, b only.
    enum Inheritance : std::uint32_t { kInheritAlpha = 0x200, kInheritRGB = 0x400 };
    static constexpr float kTolerance = 0.001f;

    GraphicsSettings();
    GraphicsSettings(const GraphicsSettings&) = delete;
    GraphicsSettings& operator=(const GraphicsSettings&) = delete;
    ~GraphicsSettings() override;

    virtual void CopyFrom(GraphicsSettings& other);
    virtual void Reset();
    virtual void SetRGB(const Color& color);
    virtual void SetPackedColor(std::uint32_t argb);
    virtual void SetColor(const Color& color);
    virtual void SetAlpha(float alpha);
    virtual void SetFlipHorizontal(bool flip);
    virtual void SetFlipVertical(bool flip);
    virtual void SetBlendMode(std::int32_t mode) { m_BlendMode = mode; }
    virtual void SetUseAlphaChannel(bool use) { m_UseAlphaChannel = use; }
    virtual void SetSolidFill(bool solid) { m_SolidFill = solid; }
    virtual ImageFrame* GetImage() const { return m_Image; }
    virtual std::int32_t GetImageWidth() const;
    virtual std::int32_t GetImageHeight() const;
    virtual void UpdateMatrix();
    virtual bool HasTransform();
    // m = m x local placement x translation(image offset - anchor offset);
    // answers whether anything was applied.
    virtual bool ApplyTransform(Matrix3x3& m);
    virtual float GetX() const { return 0.0f; }
    virtual float GetY() const { return 0.0f; }
    // Where the drawing is placed: the position, unless an owner draws away
    // from its position (a label keeps its glyphs' padding outside it).
    virtual float GetDrawX() const { return GetX(); }
    virtual float GetDrawY() const { return GetY(); }
    virtual void SetSkewX(float value);
    virtual void SetSkewY(float value);
    virtual void SetScaleX(float value);
    virtual void SetScaleY(float value);
    virtual void SetScale(float value);
    virtual void SetRotation(float radians);
    virtual void SetAnchor(std::int32_t kind);
    virtual void SetAnchorPoint(const AnchorPoint& anchor);
    virtual void SetAnchorXY(float x, float y);
    virtual void SetPivot(std::int32_t kind);
    virtual void SetPivotPoint(const AnchorPoint& pivot);
    virtual void SetPivotXY(float x, float y);
    virtual bool IsPivotLinked() const { return m_PivotLinked; }
    virtual void SetPivotLinked(bool linked) { m_PivotLinked = linked; }

    // The frame drawn (an image's frame: texture, rectangle and offset).
    void SetImage(ImageFrame* image);
    void SetBoundsRect(const RectF& rect);
    // The bounds polygon through ApplyTransform; false (and an empty output)
    // without bounds.
    bool GetTransformedBounds(PolygonF& out);

    float GetSkewX() const { return m_SkewX; }
    float GetSkewY() const { return m_SkewY; }
    float GetScaleX() const { return m_ScaleX; }
    float GetScaleY() const { return m_ScaleY; }
    float GetRotation() const { return m_Rotation; }
    const AnchorPoint& GetAnchor() const { return m_Anchor; }
    const AnchorPoint& GetPivot() const { return m_Pivot; }
    const Matrix3x3& GetLocalMatrix() const { return m_LocalMatrix; }
    const Matrix3x3& GetInverseLocalMatrix() const { return m_InverseLocalMatrix; }
    bool IsMatrixDirty() const { return m_MatrixDirty; }
    Color& GetColor() { return m_Color; }
    std::uint32_t GetFlipFlags() const { return m_FlipFlags; }
    std::int32_t GetBlendMode() const { return m_BlendMode; }
    bool GetUseAlphaChannel() const { return m_UseAlphaChannel; }
    bool IsSolidFill() const { return m_SolidFill; }
    PolygonF* GetBoundsPolygon() const { return m_Bounds; }
    bool IsBoundsShared() const { return m_BoundsShared; }
    std::uint32_t GetColorInheritance() const { return m_ColorInheritance; }
    void SetColorInheritance(std::uint32_t flags) { m_ColorInheritance = flags; }

protected:
    void MarkDirty() { m_MatrixDirty = true; }
    void SetScalar(float& field, float value);
    void SetBounds(PolygonF* bounds);
    // Takes the matrices `other` keeps for its drawing state instead of working
    // them out again. Only right when this object's draw position and transform
    // settings were just copied from `other`.
    void CopyMatrixFrom(GraphicsSettings& other);

    float m_SkewX = 0.0f;
    float m_SkewY = 0.0f;
    float m_ScaleX = 1.0f;
    float m_ScaleY = 1.0f;
    float m_Rotation = 0.0f;
    AnchorPoint m_Anchor;
    AnchorPoint m_Pivot;
    bool m_PivotLinked = true;
    Matrix3x3 m_LocalMatrix;
    Matrix3x3 m_InverseLocalMatrix;
    bool m_HasTransform = false;
    bool m_MatrixDirty = true;
    Color m_Color;
    std::uint32_t m_FlipFlags = 0;
    std::int32_t m_BlendMode = 0;
    bool m_UseAlphaChannel = true;
    bool m_SolidFill = false;
    ImageFrame* m_Image = nullptr;
    PolygonF* m_Bounds = nullptr;
    bool m_BoundsShared = true;
    std::uint32_t m_ColorInheritance = kInheritAlpha;
};

}  // namespace Qmv2
