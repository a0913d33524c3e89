#include "framework/graphics/particles/ParticleImageData.h"

#include <algorithm>
#include <cstddef>
#include <cstring>

namespace Qmv2 {

ParticleImageData::ParticleImageData(ImageData* data) : m_Data(data) {}

bool ParticleImageData::LockTexture()
{
    return m_Data != nullptr && m_Data->Lock(false);
}

bool ParticleImageData::UnlockTexture()
{
    return m_Data != nullptr && m_Data->Unlock();
}

void* ParticleImageData::GetTextureBits()
{
    return m_Data != nullptr ? m_Data->GetBits() : nullptr;
}

bool ParticleImageData::Fill(const void* pixels, std::int32_t width, std::int32_t height)
{
    if (!LockTexture()) {
        return false;
    }
    auto* destination = static_cast<std::byte*>(GetTextureBits());
    const auto row = static_cast<std::size_t>(std::max(width, 0)) * static_cast<std::size_t>(m_Data->GetBytesPerPixel());
    const auto pitch = static_cast<std::size_t>(std::max(m_Data->GetPitch(), 0));
    // Rows longer than the texture's pitch, or more rows than it has, do not fit.
    if (destination == nullptr || row > pitch || height > m_Data->GetHeight()) {
        UnlockTexture();
        return false;
    }
    if (pixels != nullptr) {
        const auto* source = static_cast<const std::byte*>(pixels);
        for (std::int32_t y = 0; y < height; ++y) {
            std::memcpy(destination + static_cast<std::size_t>(y) * pitch, source + static_cast<std::size_t>(y) * row,
                        row);
        }
    }
    return UnlockTexture();
}

}  // namespace Qmv2
