#include "framework/graphics/render/BufferD3D.h"

#include <utility>

#include "framework/graphics/draw/Graphics.h"
#include "framework/graphics/render/Renderer.h"

namespace Qmv2 {

BufferD3D::BufferD3D(std::int32_t width, std::int32_t height, IDirect3DSurface9* surface)
    : m_Width(width), m_Height(height)
{
    SetSurface(surface);
}

BufferD3D::~BufferD3D()
{
    if (Renderer* renderer = Renderer::GetInstance()) {
        renderer->ForgetTarget(this);
    }
    ReleaseSurface();
}

void BufferD3D::ReleaseSurface()
{
    if (IDirect3DSurface9* old = std::exchange(m_Surface, nullptr)) {
        old->Release();
    }
}

void BufferD3D::SetSurface(IDirect3DSurface9* surface)
{
    if (surface != nullptr) {
        surface->AddRef();
    }
    if (IDirect3DSurface9* old = std::exchange(m_Surface, surface)) {
        old->Release();
    }
}

bool BufferD3D::IsReady()
{
    if (m_Surface == nullptr) {
        CreateSurface();
    }
    return m_Surface != nullptr;
}

Graphics* BufferD3D::CreateGraphics()
{
    return new Graphics(this);
}

Interface* BufferD3D::GetInterface(const ClassType* type)
{
    return type == &iRenderTarget::s_Type ? static_cast<iRenderTarget*>(this) : nullptr;
}

}  // namespace Qmv2
