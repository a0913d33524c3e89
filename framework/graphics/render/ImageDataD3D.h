// Image data over a Direct3D texture. Textures made from pixels live in the
// managed pool, so the device keeps them across a reset.
#pragma once

#include "framework/graphics/render/ImageData.h"
#include "platform/d3d9/IDirect3DTexture9.h"

namespace Qmv2 {

class ImageDataD3D : public ImageData {
public:
    QMV_CLASS_TYPE(ImageDataD3D, ImageData)

    // Takes a reference on the texture (when given).
    ImageDataD3D(std::int32_t width, std::int32_t height, std::int32_t textureWidth, std::int32_t textureHeight,
                 bool textureKind, IDirect3DTexture9* texture);
    ~ImageDataD3D() override;

    void UnloadTexture() override;
    void* GetBits() override { return m_Bits; }
    bool ClearPixels() override;
    // The texture; a released drawable texture is made again first.
    virtual IDirect3DTexture9* GetTexture();
    // The texture as it is now, without re-making it.
    IDirect3DTexture9* PeekTexture() const { return m_Texture; }

protected:
    bool DoLock(bool readOnly) override;
    bool DoUnlock() override;
    void ReleaseTexture();

    void* m_Bits = nullptr;
    IDirect3DTexture9* m_Texture = nullptr;
};

}  // namespace Qmv2
