// A render target over a Direct3D surface: the back buffer (the screen
// target) and the target part of a drawable texture.
#pragma once

#include <cstdint>

#include "framework/graphics/render/iRenderTarget.h"
#include "platform/d3d9/IDirect3DSurface9.h"

namespace Qmv2 {

class BufferD3D : public iRenderTarget {
public:
    QMV_CLASS_TYPE(BufferD3D, iRenderTarget)

    // Takes a reference on the surface (which may be null).
    BufferD3D(std::int32_t width, std::int32_t height, IDirect3DSurface9* surface);
    ~BufferD3D() override;

    void ReleaseSurface() override;
    void OnBeginDraw() override {}
    void OnEndDraw() override {}
    void CreateSurface() override {}
    bool IsReady() override;
    Graphics* CreateGraphics() override;
    ImageData* GetImageData() override { return nullptr; }
    Interface* GetInterface(const ClassType* type) override;
    std::int32_t GetTargetWidth() const override { return m_Width; }
    std::int32_t GetTargetHeight() const override { return m_Height; }

    IDirect3DSurface9* GetSurface() const { return m_Surface; }
    // Takes a reference on the new surface and releases the old one.
    void SetSurface(IDirect3DSurface9* surface);
    void SetSize(std::int32_t width, std::int32_t height)
    {
        m_Width = width;
        m_Height = height;
    }

protected:
    std::int32_t m_Width;
    std::int32_t m_Height;
    IDirect3DSurface9* m_Surface = nullptr;
};

}  // namespace Qmv2
