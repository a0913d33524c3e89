#include "framework/graphics/render/ImageDataD3D.h"

#include <cstring>
#include <utility>

namespace Qmv2 {

ImageDataD3D::ImageDataD3D(std::int32_t width, std::int32_t height, std::int32_t textureWidth,
                           std::int32_t textureHeight, bool textureKind, IDirect3DTexture9* texture)
    : ImageData(width, height, textureWidth, textureHeight, textureKind), m_Texture(texture)
{
    if (m_Texture != nullptr) {
        m_Texture->AddRef();
    }
}

ImageDataD3D::~ImageDataD3D()
{
    ReleaseTexture();
}

void ImageDataD3D::ReleaseTexture()
{
    if (IDirect3DTexture9* old = std::exchange(m_Texture, nullptr)) {
        old->Release();
    }
}

bool ImageDataD3D::DoLock(bool readOnly)
{
    if (m_Texture == nullptr) {
        return false;
    }
    D3DLOCKED_RECT locked{};
    if (FAILED(m_Texture->LockRect(0, &locked, nullptr, readOnly ? D3DLOCK_READONLY : 0))) {
        return false;
    }
    m_Bits = locked.pBits;
    m_Pitch = locked.Pitch;
    m_Modified = true;
    return true;
}

bool ImageDataD3D::DoUnlock()
{
    if (m_Texture == nullptr) {
        return false;
    }
    if (FAILED(m_Texture->UnlockRect(0))) {
        return false;
    }
    m_Bits = nullptr;
    return true;
}

void ImageDataD3D::UnloadTexture()
{
    ReleaseTexture();
    m_Bits = nullptr;
    ImageData::UnloadTexture();
}

bool ImageDataD3D::ClearPixels()
{
    if (!Lock(false)) {
        return false;
    }
    if (auto* bytes = static_cast<std::uint8_t*>(GetBits())) {
        const std::uint32_t transparentWhite = 0x00FFFFFFu;
        for (std::int32_t y = 0; y < m_TextureHeight; ++y) {
            auto* row = reinterpret_cast<std::uint32_t*>(bytes + static_cast<std::ptrdiff_t>(y) * m_Pitch);
            std::fill_n(row, m_TextureWidth, transparentWhite);
        }
    }
    return Unlock();
}

IDirect3DTexture9* ImageDataD3D::GetTexture()
{
    if (m_Texture == nullptr) {
        ReloadTexture();
    }
    return m_Texture;
}

}  // namespace Qmv2
