#include "framework/graphics/render/ImageDataBufferD3D.h"

#include <utility>

#include "framework/graphics/render/RendererD3D.h"

namespace Qmv2 {

ImageDataBufferD3D::ImageDataBufferD3D(IDirect3DSurface9* surface, IDirect3DTexture9* texture,
                                       IDirect3DSurface9* systemCopy, std::int32_t width, std::int32_t height,
                                       D3DFORMAT format, std::int32_t textureWidth, std::int32_t textureHeight)
    : BufferD3D(textureWidth, textureHeight, surface),
      ImageDataD3D(width, height, textureWidth, textureHeight, false, texture),
      m_SystemCopy(systemCopy),
      m_Format(format)
{
}

ImageDataBufferD3D::~ImageDataBufferD3D()
{
    if (IDirect3DSurface9* copy = std::exchange(m_SystemCopy, nullptr)) {
        copy->Release();
    }
}

bool ImageDataBufferD3D::DoLock(bool readOnly)
{
    m_LockReadOnly = readOnly;
    if (m_SystemCopy == nullptr) {
        return false;
    }
    D3DLOCKED_RECT locked{};
    if (FAILED(m_SystemCopy->LockRect(&locked, nullptr, readOnly ? D3DLOCK_READONLY : 0))) {
        return false;
    }
    m_Bits = locked.pBits;
    m_Pitch = locked.Pitch;
    m_Modified = true;
    return true;
}

bool ImageDataBufferD3D::DoUnlock()
{
    if (m_SystemCopy == nullptr || FAILED(m_SystemCopy->UnlockRect())) {
        return false;
    }
    m_Bits = nullptr;
    RendererD3D* renderer = RendererD3D::GetD3D();
    if (m_LockReadOnly || renderer == nullptr || renderer->GetDevice() == nullptr) {
        return true;
    }
    if (m_Surface == nullptr) {
        CreateSurface();
    }
    if (m_Surface == nullptr) {
        return false;
    }
    return SUCCEEDED(renderer->GetDevice()->UpdateSurface(m_SystemCopy, nullptr, m_Surface, nullptr));
}

void ImageDataBufferD3D::OnEndDraw()
{
    RendererD3D* renderer = RendererD3D::GetD3D();
    if (renderer == nullptr || renderer->GetDevice() == nullptr) {
        return;
    }
    if (IDirect3DTexture9* texture = GetTexture()) {
        texture->AddDirtyRect(nullptr);
    }
    if (m_Surface == nullptr) {
        CreateSurface();
    }
    if (m_Surface != nullptr && m_SystemCopy != nullptr) {
        renderer->GetDevice()->GetRenderTargetData(m_Surface, m_SystemCopy);
    }
}

void ImageDataBufferD3D::UnloadTexture()
{
    ReleaseSurface();
    ImageDataD3D::UnloadTexture();
}

void ImageDataBufferD3D::ReloadTexture()
{
    RendererD3D* renderer = RendererD3D::GetD3D();
    if (renderer == nullptr || renderer->GetDevice() == nullptr) {
        return;
    }
    IDirect3DDevice9* device = renderer->GetDevice();
    std::int32_t width = ImageData::m_Width;
    std::int32_t height = ImageData::m_Height;
    renderer->AdjustTextureSize(width, height);
    IDirect3DTexture9* texture = nullptr;
    if (FAILED(device->CreateTexture(static_cast<UINT>(width), static_cast<UINT>(height), 1, D3DUSAGE_RENDERTARGET,
                                     m_Format, D3DPOOL_DEFAULT, &texture, nullptr)) ||
        texture == nullptr) {
        return;
    }
    IDirect3DSurface9* surface = nullptr;
    if (FAILED(texture->GetSurfaceLevel(0, &surface)) || surface == nullptr) {
        texture->Release();
        return;
    }
    ReleaseTexture();
    m_Texture = texture;
    ReleaseSurface();
    m_Surface = surface;
    if (m_SystemCopy != nullptr && SUCCEEDED(device->UpdateSurface(m_SystemCopy, nullptr, m_Surface, nullptr))) {
        m_Released = false;
    }
}

void ImageDataBufferD3D::CreateSurface()
{
    ReloadTexture();
}

Interface* ImageDataBufferD3D::GetInterface(const ClassType* type)
{
    if (type == &iRenderTarget::s_Type) {
        return static_cast<iRenderTarget*>(this);
    }
    if (type == &Interface::s_Type) {
        return static_cast<Lockable*>(this);
    }
    return nullptr;
}

}  // namespace Qmv2
