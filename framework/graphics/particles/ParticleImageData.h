// A texture handed to the particle library: the renderer's image data behind
// it, which it fills with the library's pixels.
#pragma once

#include <cstdint>

#include "framework/core/object/BaseObject.h"
#include "framework/graphics/GraphicsRecords.h"
#include "framework/core/object/SmartPtr.h"
#include "framework/graphics/particles/PyroGraphics.h"
#include "framework/graphics/render/ImageData.h"

namespace Qmv2 {

class ParticleImageData : public BaseObject, public PyroParticles::PyroGraphics::ITexture {
    QMV_INDEXED_TYPE(ParticleImageData)

    explicit ParticleImageData(ImageData* data);

    std::int32_t Reserved0() override { return 0; }
    std::int32_t Reserved1() override { return 0; }

    // Each forwards to the image data; false or null without it.
    virtual bool LockTexture();
    virtual bool UnlockTexture();
    virtual void* GetTextureBits();

    // Copies rows of width x (bytes per pixel) bytes from `pixels`, each row
    // following the last, into the texture; false when it cannot be locked.
    bool Fill(const void* pixels, std::int32_t width, std::int32_t height);

    ImageData* GetImageData() const { return m_Data.Get(); }

private:
    // Held, so the texture outlives neither this object nor the device's frames.
    SmartPtr<ImageData> m_Data;
};

}  // namespace Qmv2
