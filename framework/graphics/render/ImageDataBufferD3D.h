// A drawable texture: a render target over a texture in video memory, plus a
// copy of its pixels in system memory. The video memory may be given up at any
// time (device loss, idle unloading); it is rebuilt from the copy on next use.
#pragma once

#include "framework/graphics/render/BufferD3D.h"
#include "framework/graphics/render/ImageDataD3D.h"

namespace Qmv2 {

class ImageDataBufferD3D : public BufferD3D, public ImageDataD3D {
public:
    QMV_TYPE_RECORD(ImageDataBufferD3D, BufferD3D, ImageDataD3D)
    const ClassType* GetType() const override { return &s_Type; }

    // Takes a reference on the surface and the texture and takes over the
    // caller's reference on the system copy.
    ImageDataBufferD3D(IDirect3DSurface9* surface, IDirect3DTexture9* texture, IDirect3DSurface9* systemCopy,
                       std::int32_t width, std::int32_t height, D3DFORMAT format, std::int32_t textureWidth,
                       std::int32_t textureHeight);
    ~ImageDataBufferD3D() override;

    void UnloadTexture() override;
    void ReloadTexture() override;

    void OnEndDraw() override;
    void CreateSurface() override;
    Graphics* CreateGraphics() override { return BufferD3D::CreateGraphics(); }
    ImageData* GetImageData() override { return this; }
    Interface* GetInterface(const ClassType* type) override;
    BaseObject* GetOwner() override { return static_cast<ImageData*>(this); }

    IDirect3DSurface9* GetSystemCopy() const { return m_SystemCopy; }
    D3DFORMAT GetFormat() const { return m_Format; }

protected:
    bool DoLock(bool readOnly) override;
    bool DoUnlock() override;

private:
    IDirect3DSurface9* m_SystemCopy;
    D3DFORMAT m_Format;
    bool m_LockReadOnly = false;
};

}  // namespace Qmv2
