// The 2D drawing object: draws one frame, or one render-to-texture pass, into
// a render target. Every drawing operation writes screen-space vertices
// straight into the renderer's shared buffers and records a slice; End hands
// the slices, merged where possible, to the renderer. Passes may nest.
#pragma once

#include <cstdint>

#include "framework/core/object/BaseObject.h"
#include "framework/core/object/GFVector.h"
#include "framework/core/object/SmartPtr.h"
#include "framework/core/util/Polygon.h"
#include "framework/graphics/draw/GraphicsSettings.h"
#include "framework/graphics/render/VertexBufferSlice.h"

namespace Qmv2 {

class iRenderTarget;
class Renderer;

class Graphics : public BaseObject, public GraphicsSettings {
public:
    QMV_TYPE_RECORD(Graphics, BaseObject, GraphicsSettings)
    const ClassType* GetType() const override { return &s_Type; }

    static constexpr float kClipMargin = 1024.0f;
    static constexpr std::int32_t kInitialSlices = 20;
    static constexpr std::int32_t kSliceGrowth = 100;

    // Without a target the drawing object draws into the renderer's screen target.
    explicit Graphics(iRenderTarget* target = nullptr);
    ~Graphics() override;

    bool Begin();
    // True when something was drawn and the scene ended without device loss.
    bool End();

    void PushClip(const PolygonF& polygon);
    void PopClip();
    void PushMatrix(const Matrix3x3& matrix);
    void PopMatrix();
    void PushColor(const Color& color);
    void PushRGB(float r, float g, float b);
    void PushAlpha(float alpha);
    void PopColor();
    Color GetCurrentColor();

    // Draws the image frame of this object's drawing state (copied in first
    // with CopyFrom) over its bounds polygon.
    void DrawImage();
    void DrawRect(const RectF& rect);
    // The outline of the transformed bounds polygon as a line strip.
    void DrawLines();
    // Records a clear of the whole target in the current colour.
    void ClearTarget();
    // The next slice record over n vertices and k indices of the shared
    // buffers. A record that could not be placed has null buffers and is not
    // counted.
    VertexBufferSlice* AllocSlice(std::uint32_t vertexCount, std::uint32_t indexCount);

    float GetX() const override { return m_Position.x; }
    float GetY() const override { return m_Position.y; }
    void SetPosition(float x, float y);
    void CopyFrom(GraphicsSettings& other) override;
    void Reset() override;
    bool ApplyTransform(Matrix3x3& m) override;
    Interface* GetInterface(const ClassType* type) override;
    BaseObject* GetOwner() override { return this; }

    // The target drawn into: the one given, else the screen target.
    iRenderTarget* GetTarget() const;
    bool IsActive() const { return m_Active; }
    std::uint32_t GetSlicesUsed() const { return m_SlicesUsed; }
    const VertexBufferSlice& GetSlice(std::int32_t index) const { return m_Slices[index]; }
    std::int32_t GetSliceRecordCount() const { return m_Slices.GetCount(); }
    const RectF& GetViewRect() const { return m_View; }
    const GFVector<PolygonF>& GetClipStack() const { return m_Clips; }
    const GFVector<Matrix3x3>& GetMatrixStack() const { return m_Matrices; }
    const GFVector<Color>& GetColorStack() const { return m_Colors; }
    // The drawing objects between their Begin and End, outermost first.
    static const GFVector<Graphics*>& GetActiveStack() { return s_Active; }

private:
    void EmitPolygon(PolygonF& polygon, ImageFrame* image, bool alphaBlending);
    // Emits the work polygon cut by the top clip as `relation` says.
    void EmitClipped(std::int32_t relation, ImageFrame* image, bool alphaBlending, std::uint32_t attributes);
    std::int32_t ClassifyAgainstClip();
    void FlushSlices();
    void LockBuffers(bool discard);
    void UnlockBuffers();
    static bool CanMerge(const VertexBufferSlice& first, const VertexBufferSlice& next);

    iRenderTarget* m_Target;
    SmartPtr<BaseObject> m_TargetOwner;
    GFVector<PolygonF> m_Clips;
    GFVector<Matrix3x3> m_Matrices;
    GFVector<Color> m_Colors;
    RectF m_View;
    PolygonF m_Work;
    PolygonF m_Clipped;
    GFVector<VertexBufferSlice> m_Slices;
    std::uint32_t m_SlicesUsed = 0;
    bool m_Active = false;
    PointF m_Position;

    static GFVector<Graphics*> s_Active;
};

}  // namespace Qmv2
