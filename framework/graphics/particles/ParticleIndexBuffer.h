// A buffer of 16-bit indices handed to the particle library.
#pragma once

#include "framework/graphics/GraphicsRecords.h"
#include "framework/graphics/particles/ParticleBuffer.h"
#include "framework/graphics/particles/PyroGraphics.h"

namespace Qmv2 {

class ParticleIndexBuffer : public ParticleBuffer<PyroParticles::PyroGraphics::IIndexBuffer> {
    QMV_INDEXED_TYPE(ParticleIndexBuffer)

    ParticleIndexBuffer(std::unique_ptr<std::byte[]> bytes, std::size_t size) : ParticleBuffer(std::move(bytes), size)
    {
    }
};

}  // namespace Qmv2
