// A vertex buffer handed to the particle library.
#pragma once

#include "framework/graphics/GraphicsRecords.h"
#include "framework/graphics/particles/ParticleBuffer.h"
#include "framework/graphics/particles/PyroGraphics.h"

namespace Qmv2 {

class ParticleVertexBuffer : public ParticleBuffer<PyroParticles::PyroGraphics::IVertexBuffer> {
    QMV_INDEXED_TYPE(ParticleVertexBuffer)

    ParticleVertexBuffer(std::unique_ptr<std::byte[]> bytes, std::size_t size) : ParticleBuffer(std::move(bytes), size)
    {
    }
};

}  // namespace Qmv2
