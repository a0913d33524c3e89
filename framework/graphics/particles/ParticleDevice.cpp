#include "framework/graphics/particles/ParticleDevice.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "framework/graphics/draw/Graphics.h"
#include "framework/graphics/particles/ParticleImageData.h"
#include "framework/graphics/particles/ParticleIndexBuffer.h"
#include "framework/graphics/particles/ParticleVertexBuffer.h"
#include "framework/graphics/render/GraphicsVertex.h"
#include "framework/graphics/render/Renderer.h"

namespace Qmv2 {

namespace {

using PyroParticles::PyroGraphics::Vertex;

constexpr std::uint32_t kOpaqueWhite = 0xFFFFFFFFu;

// The library's colour (red in the low byte) as ARGB, tinted by the drawing colour.
std::uint32_t ConvertColor(std::uint32_t abgr, std::uint32_t tint)
{
    std::uint32_t argb = (abgr & 0xFF00FF00u) | ((abgr & 0xFFu) << 16) | ((abgr >> 16) & 0xFFu);
    if (tint == kOpaqueWhite) {
        return argb;
    }
    std::uint32_t result = 0;
    for (int shift = 0; shift < 32; shift += 8) {
        const std::uint32_t channel = ((argb >> shift) & 0xFFu) * ((tint >> shift) & 0xFFu) / 256u;
        result |= channel << shift;
    }
    return result;
}

}  // namespace

std::int32_t ParticleDevice::BlendModeFor(std::uint32_t sourceFactor, std::uint32_t destinationFactor)
{
    struct Pair {
        std::uint32_t source;
        std::uint32_t destination;
        std::int32_t mode;
    };
    static constexpr Pair kPairs[] = {{4, 5, 0}, {4, 1, 1}, {1, 1, 2}, {2, 0, 3}, {1, 0, 4}};
    for (const Pair& pair : kPairs) {
        if (pair.source == sourceFactor && pair.destination == destinationFactor) {
            return pair.mode;
        }
    }
    return 0;
}

std::int32_t ParticleDevice::SetRenderState(std::uint32_t state, std::uint32_t value)
{
    if (state == kRenderStateAlphaChannel && m_Graphics != nullptr) {
        m_Graphics->SetUseAlphaChannel(value != 0);
    }
    return 1;
}

std::int32_t ParticleDevice::SetBlending(std::uint32_t sourceFactor, std::uint32_t destinationFactor)
{
    if (m_Graphics != nullptr) {
        m_Graphics->SetBlendMode(BlendModeFor(sourceFactor, destinationFactor));
    }
    return 1;
}

std::int32_t ParticleDevice::CreateVertexBuffer(IVertexBuffer** buffer, std::uint32_t count, std::uint32_t size)
{
    if (buffer == nullptr) {
        return 0;
    }
    *buffer = count == 0 ? nullptr
                         : ParticleVertexBuffer::Make<ParticleVertexBuffer>(static_cast<std::uint64_t>(count) * size);
    return *buffer != nullptr ? 1 : 0;
}

std::int32_t ParticleDevice::CreateIndexBuffer(IIndexBuffer** buffer, std::uint32_t count)
{
    if (buffer == nullptr) {
        return 0;
    }
    *buffer = ParticleIndexBuffer::Make<ParticleIndexBuffer>(static_cast<std::uint64_t>(count) * sizeof(std::uint16_t));
    return *buffer != nullptr ? 1 : 0;
}

std::int32_t ParticleDevice::CreateTexture(ITexture** texture, CBitmap* bitmap)
{
    if (texture == nullptr) {
        return 0;
    }
    *texture = nullptr;
    Renderer* renderer = Renderer::GetInstance();
    if (bitmap == nullptr || renderer == nullptr || bitmap->m_Width > Renderer::kTextureSizeLimit ||
        bitmap->m_Height > Renderer::kTextureSizeLimit) {
        return 0;
    }
    const auto width = static_cast<std::int32_t>(bitmap->m_Width);
    const auto height = static_cast<std::int32_t>(bitmap->m_Height);
    SmartPtr<ImageData> data(renderer->CreateTexture(width, height));
    if (data == nullptr) {
        return 0;
    }
    auto* result = new ParticleImageData(data.Get());
    if (!result->Fill(bitmap->m_Pixels, width, height)) {
        delete result;
        return 0;
    }
    m_Frames.PushBack(SmartPtr<ImageFrame>(new ImageFrame(data.Get())));
    *texture = result;
    return 1;
}

std::int32_t ParticleDevice::CreateBitmap(CBitmap** bitmap, void* pixels, std::uint32_t width, std::uint32_t height,
                                          std::uint32_t extra)
{
    if (bitmap != nullptr) {
        *bitmap = new (std::nothrow) CBitmap(pixels, width, height, extra);
    }
    return 1;
}

std::int32_t ParticleDevice::SetTexture(ITexture* texture)
{
    auto* image = dynamic_cast<ParticleImageData*>(texture);
    m_CurrentFrame = new ImageFrame(image != nullptr ? image->GetImageData() : nullptr);
    return 1;
}

std::int32_t ParticleDevice::DrawQuads(IVertexBuffer* vertices, std::uint32_t, std::uint32_t quadCount, std::uint32_t)
{
    if (quadCount == 0) {
        return 1;
    }
    if (m_Graphics == nullptr) {
        return 0;
    }
    Color color = m_Graphics->GetCurrentColor();
    if (color.a == 0.0f || m_CurrentFrame == nullptr) {
        return 1;
    }
    auto* buffer = dynamic_cast<ParticleVertexBuffer*>(vertices);
    if (buffer == nullptr || buffer->Lock() == 0) {
        return 0;
    }
    // Only the quads the buffer holds, and no more vertices than 16-bit indices reach.
    const std::uint64_t held = buffer->GetByteSize() / (4 * sizeof(Vertex));
    const auto count = static_cast<std::uint32_t>(
        std::min<std::uint64_t>({quadCount, held, static_cast<std::uint64_t>(Renderer::kMaxVertexBudget / 4)}));
    VertexBufferSlice* slice = count > 0 ? m_Graphics->AllocSlice(4 * count, 6 * count) : nullptr;
    if (slice == nullptr || slice->vertexBuffer == nullptr || slice->indexBuffer == nullptr) {
        buffer->Unlock();
        return 0;
    }
    ImageData* texture = m_CurrentFrame->GetImageData();
    const std::int32_t blendMode = m_Graphics->GetBlendMode();
    slice->texture = texture;
    slice->blendMode = blendMode;
    slice->kind = VertexBufferSlice::kTriangles;
    slice->topology = VertexBufferSlice::kList;
    if (color.a < 1.0f) {
        slice->alphaBlending = true;
    } else if (blendMode == 0 || blendMode == 4) {
        slice->alphaBlending = texture != nullptr && texture->HasAlpha();
    } else if (blendMode == 5) {
        slice->alphaBlending = false;
    } else {
        slice->alphaBlending = m_Graphics->GetUseAlphaChannel();
    }

    std::uint16_t* indices = slice->indexBuffer->GetData() + slice->firstIndex;
    for (std::uint32_t q = 0; q < count; ++q) {
        const auto b = static_cast<std::uint16_t>(slice->firstVertex + 4 * q);
        const std::uint16_t quad[6] = {b, static_cast<std::uint16_t>(b + 1), static_cast<std::uint16_t>(b + 2),
                                       b, static_cast<std::uint16_t>(b + 2), static_cast<std::uint16_t>(b + 3)};
        std::memcpy(indices + 6 * q, quad, sizeof quad);
    }

    const auto* in = static_cast<const Vertex*>(buffer->GetData());
    GraphicsVertex* out = slice->vertexBuffer->GetData() + slice->firstVertex;
    const GFVector<Matrix3x3>& matrices = m_Graphics->GetMatrixStack();
    const Matrix3x3* m = matrices.IsEmpty() ? nullptr : &matrices[matrices.GetCount() - 1];
    const std::uint32_t tint = color.Pack();
    for (std::uint32_t i = 0; i < 4 * count; ++i) {
        const Vertex& v = in[i];
        float x = v.x;
        float y = v.y;
        if (m != nullptr) {
            x = v.x * m->m00 + v.y * m->m01 + m->m02;
            y = v.x * m->m10 + v.y * m->m11 + m->m12;
        }
        out[i] = {x, y, v.z, 1.0f, ConvertColor(v.color, tint), v.u, v.v};
    }
    if (Renderer* renderer = Renderer::GetInstance()) {
        renderer->OnSliceWritten(*slice, m_Graphics->GetTarget());
    }
    buffer->Unlock();
    return 1;
}

}  // namespace Qmv2
