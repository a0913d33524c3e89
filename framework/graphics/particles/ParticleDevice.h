// The graphics device the program hands to the particle library: buffers,
// bitmaps and textures on request, blending and textures set on the drawing
// object it draws into, and quads drawn as batched triangles of that object.
#pragma once

#include <cstdint>

#include "framework/core/object/BaseObject.h"
#include "framework/graphics/GraphicsRecords.h"
#include "framework/core/object/GFVector.h"
#include "framework/core/object/SmartPtr.h"
#include "framework/graphics/image/ImageFrame.h"
#include "framework/graphics/particles/PyroGraphics.h"

namespace Qmv2 {

class Graphics;

class ParticleDevice : public BaseObject, public PyroParticles::PyroGraphics::IDevice {
    QMV_INDEXED_TYPE(ParticleDevice)

    using ITexture = PyroParticles::PyroGraphics::ITexture;
    using IVertexBuffer = PyroParticles::PyroGraphics::IVertexBuffer;
    using IIndexBuffer = PyroParticles::PyroGraphics::IIndexBuffer;
    using CBitmap = PyroParticles::PyroGraphics::CBitmap;

    // Render state 0 switches the use of the texture's alpha channel.
    static constexpr std::uint32_t kRenderStateAlphaChannel = 0;

    ParticleDevice() = default;

    // State 0: the drawing object's alpha-channel use becomes value != 0.
    std::int32_t SetRenderState(std::uint32_t state, std::uint32_t value) override;
    // The library's factor pair as a blend mode of the drawing object.
    std::int32_t SetBlending(std::uint32_t sourceFactor, std::uint32_t destinationFactor) override;
    std::int32_t CreateVertexBuffer(IVertexBuffer** buffer, std::uint32_t count, std::uint32_t size) override;
    std::int32_t CreateIndexBuffer(IIndexBuffer** buffer, std::uint32_t count) override;
    // A renderer texture of the bitmap's size filled with its pixels; the
    // device keeps a frame over it until the device goes.
    std::int32_t CreateTexture(ITexture** texture, CBitmap* bitmap) override;
    std::int32_t CreateBitmap(CBitmap** bitmap, void* pixels, std::uint32_t width, std::uint32_t height,
                              std::uint32_t extra) override;
    std::int32_t Reserved6() override { return 1; }
    std::int32_t SetTexture(ITexture* texture) override;
    std::int32_t DrawQuads(IVertexBuffer* vertices, std::uint32_t unused1, std::uint32_t quadCount,
                           std::uint32_t unused2) override;
    std::int32_t Reserved9() override { return 1; }

    // The blend mode of the drawing settings for a factor pair (0 for pairs it does not know).
    static std::int32_t BlendModeFor(std::uint32_t sourceFactor, std::uint32_t destinationFactor);

    // The drawing object drawn into (not owned). Nothing is set or drawn without one.
    Graphics* GetGraphics() const { return m_Graphics; }
    void SetGraphics(Graphics* graphics) { m_Graphics = graphics; }
    ImageFrame* GetCurrentFrame() const { return m_CurrentFrame.Get(); }
    const GFVector<SmartPtr<ImageFrame>>& GetFrames() const { return m_Frames; }

private:
    Graphics* m_Graphics = nullptr;
    SmartPtr<ImageFrame> m_CurrentFrame;
    GFVector<SmartPtr<ImageFrame>> m_Frames;
};

}  // namespace Qmv2
