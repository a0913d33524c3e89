#include "framework/graphics/draw/Graphics.h"

#include <cmath>

#include "framework/graphics/image/ImageFrame.h"
#include "framework/graphics/render/Renderer.h"
#include "framework/graphics/render/iRenderTarget.h"

namespace Qmv2 {

GFVector<Graphics*> Graphics::s_Active;

namespace {

constexpr std::uint32_t kClipAllAttributes = kVertexColorAll | kVertexTexture;  // 0x3C
constexpr std::uint32_t kClipColorAttributes = kVertexColorAll;                  // 0x0C

bool Significant(float value)
{
    return std::fabs(value) > GraphicsSettings::kTolerance;
}

}  // namespace

Graphics::Graphics(iRenderTarget* target) : m_Target(target)
{
    if (target != nullptr) {
        m_TargetOwner = target->GetOwner();
    }
    m_Clips.PushBack(PolygonF());
    m_Slices.Resize(kInitialSlices);
}

Graphics::~Graphics()
{
    if (m_Active) {
        // A pass that never ended leaves the stack of active passes.
        for (Graphics** entry = s_Active.begin(); entry != s_Active.end(); ++entry) {
            if (*entry == this) {
                s_Active.Erase(entry, entry + 1);
                break;
            }
        }
    }
}

iRenderTarget* Graphics::GetTarget() const
{
    if (m_Target != nullptr) {
        return m_Target;
    }
    Renderer* renderer = Renderer::GetInstance();
    return renderer != nullptr ? renderer->GetScreenTarget() : nullptr;
}

void Graphics::LockBuffers(bool discard)
{
    Renderer* renderer = Renderer::GetInstance();
    if (renderer == nullptr) {
        return;
    }
    VertexBuffer* vertices = renderer->GetVertexBuffer();
    IndexBuffer* indices = renderer->GetIndexBuffer();
    const bool verticesLocked = vertices != nullptr && vertices->LockDiscard(discard);
    const bool indicesLocked = indices != nullptr && indices->Lock(discard);
    if (!verticesLocked || !indicesLocked) {
        renderer->SetDeviceLost();
    }
}

void Graphics::UnlockBuffers()
{
    Renderer* renderer = Renderer::GetInstance();
    if (renderer == nullptr) {
        return;
    }
    bool ok = true;
    if (VertexBuffer* vertices = renderer->GetVertexBuffer(); vertices != nullptr && vertices->IsLocked()) {
        ok = vertices->Unlock() && ok;
    }
    if (IndexBuffer* indices = renderer->GetIndexBuffer(); indices != nullptr && indices->IsLocked()) {
        ok = indices->Unlock() && ok;
    }
    if (!ok) {
        renderer->SetDeviceLost();
    }
}

bool Graphics::Begin()
{
    m_Active = true;
    if (s_Active.IsEmpty()) {
        LockBuffers(true);
    }
    m_SlicesUsed = 0;
    s_Active.PushBack(this);
    m_View = RectF();
    if (iRenderTarget* target = GetTarget()) {
        if (ImageData* data = target->GetImageData()) {
            m_View.width = static_cast<float>(data->GetWidth());
            m_View.height = static_cast<float>(data->GetHeight());
        } else {
            m_View.width = static_cast<float>(target->GetTargetWidth());
            m_View.height = static_cast<float>(target->GetTargetHeight());
        }
    }
    m_Clips.Resize(1);
    m_Clips[0].SetRect(m_View.x - kClipMargin, m_View.y - kClipMargin, m_View.width + 2 * kClipMargin,
                       m_View.height + 2 * kClipMargin);
    return true;
}

bool Graphics::End()
{
    m_Active = false;
    UnlockBuffers();
    Renderer* renderer = Renderer::GetInstance();
    iRenderTarget* target = GetTarget();
    bool drawn = false;
    bool sceneFailed = false;
    if (renderer != nullptr && m_SlicesUsed > 0 && target != nullptr && target->IsReady()) {
        renderer->SetRenderTarget(target);
        renderer->BeginScene();
        target->OnBeginDraw();
        FlushSlices();
        drawn = renderer->EndScene();
        sceneFailed = !drawn;
        if (drawn) {
            target->OnEndDraw();
        }
    }
    m_SlicesUsed = 0;
    for (std::int32_t i = s_Active.GetCount() - 1; i >= 0; --i) {
        if (s_Active[i] == this) {
            s_Active.Erase(&s_Active[i], &s_Active[i] + 1);
            break;
        }
    }
    if (renderer != nullptr) {
        if (!s_Active.IsEmpty()) {
            LockBuffers(sceneFailed);
        } else {
            renderer->SetRenderTarget(renderer->GetScreenTarget());
        }
    }
    return drawn;
}

VertexBufferSlice* Graphics::AllocSlice(std::uint32_t vertexCount, std::uint32_t indexCount)
{
    if (m_SlicesUsed >= static_cast<std::uint32_t>(m_Slices.GetCount())) {
        m_Slices.Resize(static_cast<std::int32_t>(m_SlicesUsed) + kSliceGrowth);
    }
    VertexBufferSlice& slice = m_Slices[static_cast<std::int32_t>(m_SlicesUsed)];
    Renderer* renderer = Renderer::GetInstance();
    VertexBuffer* vertices = renderer != nullptr ? renderer->GetVertexBuffer() : nullptr;
    IndexBuffer* indices = renderer != nullptr ? renderer->GetIndexBuffer() : nullptr;
    const bool fails =
        vertices == nullptr || (vertexCount > 0 && !vertices->IsLocked()) ||
        (indexCount > 0 && (indices == nullptr || !indices->IsLocked())) ||
        static_cast<std::uint64_t>(vertices->GetWritePosition()) + vertexCount > vertices->GetCapacity() ||
        (indexCount > 0 &&
         static_cast<std::uint64_t>(indices->GetWritePosition()) + indexCount >= indices->GetCapacity());
    if (fails) {
        slice.firstVertex = slice.vertexCount = slice.firstIndex = slice.indexCount = 0;
        slice.vertexBuffer = nullptr;
        slice.indexBuffer = nullptr;
        return &slice;
    }
    slice.firstVertex = vertices->GetWritePosition();
    slice.vertexCount = vertexCount;
    slice.vertexBuffer = vertices;
    vertices->SetWritePosition(slice.firstVertex + vertexCount);
    if (indexCount > 0) {
        slice.firstIndex = indices->GetWritePosition();
        slice.indexCount = indexCount;
        slice.indexBuffer = indices;
        indices->SetWritePosition(slice.firstIndex + indexCount);
    } else {
        slice.firstIndex = slice.indexCount = 0;
        slice.indexBuffer = nullptr;
    }
    ++m_SlicesUsed;
    return &slice;
}

void Graphics::EmitPolygon(PolygonF& polygon, ImageFrame* image, bool alphaBlending)
{
    const std::int32_t n = polygon.GetVertexCount();
    if (n < 3) {
        return;
    }
    VertexBufferSlice* slice =
        AllocSlice(static_cast<std::uint32_t>(n), static_cast<std::uint32_t>(3 * (n - 2)));
    if (slice->vertexBuffer == nullptr || slice->indexBuffer == nullptr) {
        return;
    }
    slice->texture = image != nullptr ? image->GetImageData() : nullptr;
    slice->alphaBlending = alphaBlending;
    slice->blendMode = m_BlendMode;
    slice->kind = VertexBufferSlice::kTriangles;
    slice->topology = VertexBufferSlice::kList;
    GraphicsVertex* out = slice->vertexBuffer->GetData() + slice->firstVertex;
    for (std::int32_t i = 0; i < n; ++i) {
        const PolygonPointF& p = polygon.GetVertex(i);
        Color color = p.color;
        out[i] = {p.x - 0.5f, p.y - 0.5f, 0.0f, 1.0f, color.Pack(), p.u, p.v};
    }
    Renderer* renderer = Renderer::GetInstance();
    renderer->OnSliceWritten(*slice, GetTarget());
    if (renderer->IsDeviceLost()) {
        return;
    }
    std::uint16_t* indices = slice->indexBuffer->GetData() + slice->firstIndex;
    const auto first = slice->firstVertex;
    for (std::int32_t k = 0; k < n - 2; ++k) {
        indices[3 * k] = static_cast<std::uint16_t>(first);
        indices[3 * k + 1] = static_cast<std::uint16_t>(first + k + 1);
        indices[3 * k + 2] = static_cast<std::uint16_t>(first + k + 2);
    }
}

std::int32_t Graphics::ClassifyAgainstClip()
{
    if (m_Clips.IsEmpty()) {
        return PolygonF::kInside;
    }
    return m_Clips[m_Clips.GetCount() - 1].Classify(m_Work);
}

void Graphics::EmitClipped(std::int32_t relation, ImageFrame* image, bool alphaBlending, std::uint32_t attributes)
{
    if (relation == PolygonF::kInside || m_Clips.IsEmpty()) {
        EmitPolygon(m_Work, image, alphaBlending);
        return;
    }
    const PolygonF& clip = m_Clips[m_Clips.GetCount() - 1];
    if (relation == PolygonF::kCrossing) {
        m_Clipped.Clear();
        PolygonF::Intersect(clip, m_Work, m_Clipped, attributes);
        EmitPolygon(m_Clipped, image, alphaBlending);
    } else if (relation == PolygonF::kEnclosed) {
        m_Clipped = clip;
        m_Clipped.InterpolateFrom(m_Work, attributes);
        EmitPolygon(m_Clipped, image, alphaBlending);
    }
}

void Graphics::DrawImage()
{
    if (m_SolidFill) {
        if (m_Bounds == nullptr || m_Bounds->GetVertexCount() <= 2) {
            return;
        }
        GetTransformedBounds(m_Work);
        const std::int32_t relation = ClassifyAgainstClip();
        if (relation == PolygonF::kApart) {
            return;
        }
        m_Work.MultiplyColor(GetCurrentColor());
        EmitClipped(relation, nullptr, true, kClipColorAttributes);
        return;
    }
    Color color = GetCurrentColor();
    if (color.a == 0.0f || m_Bounds == nullptr || m_Image == nullptr) {
        return;
    }
    GetTransformedBounds(m_Work);
    m_Work.MarkDirty();
    if (!m_Work.GetBounds().Intersects(m_View)) {
        return;
    }
    const std::int32_t relation = ClassifyAgainstClip();
    if (relation == PolygonF::kApart) {
        return;
    }
    ImageData* data = m_Image->GetImageData();
    const ImageRectF& rect = m_Image->GetRect();
    const float extentU = data != nullptr ? data->GetExtentU() : 1.0f;
    const float extentV = data != nullptr ? data->GetExtentV() : 1.0f;
    const float u = rect.u * extentU;
    const float v = rect.v * extentV;
    const float width = rect.width * extentU;
    const float height = rect.height * extentV;
    const bool flipU = (m_FlipFlags & kFlipHorizontal) != 0;
    const bool flipV = (m_FlipFlags & kFlipVertical) != 0;
    if (flipU || flipV || Significant(u) || Significant(v) || Significant(width - 1.0f) ||
        Significant(height - 1.0f)) {
        m_Work.MapTexture(u, v, width, height, flipU, flipV);
    }
    m_Work.MultiplyColor(color);
    // The colour's alpha includes what the parents pushed, so a fading parent
    // blends its children even when their textures are opaque.
    const bool translucent = color.a < 1.0f;
    bool alphaBlending;
    if (m_BlendMode == 5) {
        alphaBlending = translucent;
    } else if (m_BlendMode == 0 || m_BlendMode == 4) {
        alphaBlending = (data != nullptr && data->HasAlpha()) || translucent;
    } else {
        alphaBlending = m_UseAlphaChannel || translucent;
    }
    EmitClipped(relation, m_Image, alphaBlending, kClipAllAttributes);
}

void Graphics::DrawRect(const RectF& rect)
{
    m_Work.SetRect(rect.x, rect.y, rect.width, rect.height);
    Matrix3x3 m;
    if (ApplyTransform(m)) {
        m_Work.Transform(m);
    }
    const std::int32_t relation = ClassifyAgainstClip();
    if (relation == PolygonF::kApart) {
        return;
    }
    m_Work.SetColor(GetCurrentColor());
    EmitClipped(relation, nullptr, true, kClipColorAttributes);
}

void Graphics::DrawLines()
{
    if (m_Bounds == nullptr || m_Bounds->GetVertexCount() <= 2) {
        return;
    }
    GetTransformedBounds(m_Work);
    m_Work.AdjustForOutline();
    // Bounds polygons are closed: the strip returns to the first vertex.
    const std::int32_t n = m_Work.GetVertexCount();
    const auto count = static_cast<std::uint32_t>(n + 1);
    VertexBufferSlice* slice = AllocSlice(count, 0);
    if (slice->vertexBuffer == nullptr) {
        return;
    }
    slice->texture = nullptr;
    slice->blendMode = m_BlendMode;
    slice->alphaBlending = true;
    slice->kind = VertexBufferSlice::kLines;
    slice->topology = VertexBufferSlice::kStrip;
    const std::uint32_t packed = GetCurrentColor().Pack();
    GraphicsVertex* out = slice->vertexBuffer->GetData() + slice->firstVertex;
    for (std::uint32_t i = 0; i < count; ++i) {
        const PolygonPointF& p = m_Work.GetVertex(static_cast<std::int32_t>(i % static_cast<std::uint32_t>(n)));
        out[i] = {p.x, p.y, 0.0f, 1.0f, packed, p.u, p.v};
    }
}

void Graphics::ClearTarget()
{
    if (m_SlicesUsed >= static_cast<std::uint32_t>(m_Slices.GetCount())) {
        m_Slices.Resize(static_cast<std::int32_t>(m_SlicesUsed) + kSliceGrowth);
    }
    VertexBufferSlice& slice = m_Slices[static_cast<std::int32_t>(m_SlicesUsed)];
    Renderer* renderer = Renderer::GetInstance();
    VertexBuffer* vertices = renderer != nullptr ? renderer->GetVertexBuffer() : nullptr;
    if (vertices == nullptr || vertices->GetWritePosition() > vertices->GetCapacity()) {
        slice = VertexBufferSlice();
        slice.alphaBlending = false;
        slice.kind = VertexBufferSlice::kClear;
        slice.vertexBuffer = nullptr;
        return;
    }
    slice.firstVertex = vertices->GetWritePosition();
    slice.vertexCount = 0;
    slice.firstIndex = 0;
    slice.indexCount = 0;
    slice.vertexBuffer = vertices;
    slice.indexBuffer = renderer->GetIndexBuffer();
    slice.kind = VertexBufferSlice::kClear;
    slice.texture = nullptr;
    slice.color = GetCurrentColor();
    ++m_SlicesUsed;
}

bool Graphics::CanMerge(const VertexBufferSlice& first, const VertexBufferSlice& next)
{
    if (first.vertexBuffer != next.vertexBuffer || first.indexBuffer != next.indexBuffer ||
        first.kind != next.kind) {
        return false;
    }
    if (first.kind == VertexBufferSlice::kClear) {
        return first.color.a == next.color.a && first.color.r == next.color.r && first.color.g == next.color.g &&
               first.color.b == next.color.b;
    }
    return first.texture == next.texture && first.blendMode == next.blendMode &&
           first.alphaBlending == next.alphaBlending && first.topology == VertexBufferSlice::kList &&
           next.topology == VertexBufferSlice::kList;
}

void Graphics::FlushSlices()
{
    Renderer* renderer = Renderer::GetInstance();
    if (renderer == nullptr) {
        return;
    }
    const auto used = static_cast<std::int32_t>(m_SlicesUsed);
    for (std::int32_t i = 0; i < used;) {
        VertexBufferSlice merged = m_Slices[i];
        std::int32_t j = i + 1;
        while (j < used && CanMerge(merged, m_Slices[j])) {
            merged.vertexCount += m_Slices[j].vertexCount;
            merged.indexCount += m_Slices[j].indexCount;
            ++j;
        }
        // Slices written before a restore refer to buffers that are gone.
        if (merged.kind == VertexBufferSlice::kClear || merged.vertexBuffer == renderer->GetVertexBuffer()) {
            renderer->Draw(merged);
        }
        i = j;
    }
}

void Graphics::PushClip(const PolygonF& polygon)
{
    PolygonF added(polygon);
    if (!m_Matrices.IsEmpty()) {
        added.Transform(m_Matrices[m_Matrices.GetCount() - 1]);
    }
    if (m_Clips.IsEmpty()) {
        m_Clips.PushBack(added);
        return;
    }
    const PolygonF& top = m_Clips[m_Clips.GetCount() - 1];
    switch (added.Classify(top)) {
    case PolygonF::kInside:
        m_Clips.PushBack(top);
        break;
    case PolygonF::kEnclosed:
        m_Clips.PushBack(added);
        break;
    case PolygonF::kCrossing: {
        PolygonF cut;
        PolygonF::Intersect(top, added, cut, 0);
        m_Clips.PushBack(cut);
        break;
    }
    default:
        m_Clips.PushBack(PolygonF());
        break;
    }
}

void Graphics::PopClip()
{
    // The bottom entry (the view grown by the margin) stays for the whole pass.
    if (m_Clips.GetCount() > 1) {
        m_Clips.Resize(m_Clips.GetCount() - 1);
    }
}

void Graphics::PushMatrix(const Matrix3x3& matrix)
{
    if (m_Matrices.IsEmpty()) {
        m_Matrices.PushBack(matrix);
    } else {
        m_Matrices.PushBack(m_Matrices[m_Matrices.GetCount() - 1] * matrix);
    }
}

void Graphics::PopMatrix()
{
    if (!m_Matrices.IsEmpty()) {
        m_Matrices.Resize(m_Matrices.GetCount() - 1);
    }
}

void Graphics::PushColor(const Color& color)
{
    Color pushed = color;
    if (!m_Colors.IsEmpty()) {
        const Color& top = m_Colors[m_Colors.GetCount() - 1];
        pushed = Color(top.a * color.a, top.r * color.r, top.g * color.g, top.b * color.b);
    }
    pushed.dirty = true;
    m_Colors.PushBack(pushed);
}

void Graphics::PushRGB(float r, float g, float b)
{
    Color pushed(1.0f, r, g, b);
    if (!m_Colors.IsEmpty()) {
        const Color& top = m_Colors[m_Colors.GetCount() - 1];
        pushed = Color(top.a, top.r * r, top.g * g, top.b * b);
    }
    pushed.dirty = true;
    m_Colors.PushBack(pushed);
}

void Graphics::PushAlpha(float alpha)
{
    Color pushed(alpha, 1.0f, 1.0f, 1.0f);
    if (!m_Colors.IsEmpty()) {
        const Color& top = m_Colors[m_Colors.GetCount() - 1];
        pushed = Color(top.a * alpha, top.r, top.g, top.b);
    }
    pushed.dirty = true;
    m_Colors.PushBack(pushed);
}

void Graphics::PopColor()
{
    if (!m_Colors.IsEmpty()) {
        m_Colors.Resize(m_Colors.GetCount() - 1);
    }
}

Color Graphics::GetCurrentColor()
{
    if (m_Colors.IsEmpty()) {
        return m_Color;
    }
    const Color& top = m_Colors[m_Colors.GetCount() - 1];
    Color color(m_Color.a * top.a, m_Color.r * top.r, m_Color.g * top.g, m_Color.b * top.b);
    color.dirty = true;
    return color;
}

void Graphics::SetPosition(float x, float y)
{
    if (m_Position.x != x || m_Position.y != y) {
        m_Position = PointF(x, y);
        MarkDirty();
    }
}

void Graphics::CopyFrom(GraphicsSettings& other)
{
    GraphicsSettings::CopyFrom(other);
    m_Position = PointF(other.GetDrawX(), other.GetDrawY());
    // A node drawn frame after frame keeps its matrices between frames; every
    // value they are made from is now the same here.
    CopyMatrixFrom(other);
}

void Graphics::Reset()
{
    GraphicsSettings::Reset();
    m_Position = PointF();
}

bool Graphics::ApplyTransform(Matrix3x3& m)
{
    bool applied = false;
    if (!m_Matrices.IsEmpty()) {
        m = m_Matrices[m_Matrices.GetCount() - 1];
        applied = true;
    }
    return GraphicsSettings::ApplyTransform(m) || applied;
}

Interface* Graphics::GetInterface(const ClassType* type)
{
    if (type == &GraphicsSettings::s_Type) {
        return static_cast<GraphicsSettings*>(this);
    }
    return BaseObject::GetInterface(type);
}

}  // namespace Qmv2
