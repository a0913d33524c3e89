#include "framework/graphics/image/iImageLoader.h"

#include <algorithm>
#include <cstddef>

#include "framework/graphics/image/DecodedImage.h"
#include "framework/graphics/render/Renderer.h"

namespace Qmv2 {

bool iImageLoader::WriteFrames(const DecodedImage& image)
{
    Renderer* renderer = Renderer::GetInstance();
    const std::int32_t rows = (m_FrameCount + m_ColumnCount - 1) / m_ColumnCount;
    const std::int32_t frameWidth = image.width / m_ColumnCount;
    const std::int32_t frameHeight = image.height / rows;
    for (std::int32_t i = 0; i < m_FrameCount && renderer != nullptr; ++i) {
        SmartPtr<ImageData> texture(renderer->CreateTexture(frameWidth, frameHeight));
        if (!texture ||
            !WriteFrame(*texture, image, (i % m_ColumnCount) * frameWidth, (i / m_ColumnCount) * frameHeight,
                        frameWidth, frameHeight)) {
            break;
        }
        m_ImageData.PushBack(texture);
    }
    return m_ImageData.GetCount() == m_FrameCount;
}

bool iImageLoader::WriteFrame(ImageData& texture, const DecodedImage& image, std::int32_t left, std::int32_t top,
                              std::int32_t width, std::int32_t height)
{
    if (!texture.Lock(false) || texture.GetBits() == nullptr) {
        texture.Unlock();
        return false;
    }
    const bool maskOnly = (m_Flags & kMaskOnly) != 0;
    const bool padX = (m_Flags & kPadding) != 0 && texture.GetTextureWidth() > width;
    const bool padY = (m_Flags & kPadding) != 0 && texture.GetTextureHeight() > height;
    auto* bits = static_cast<std::uint8_t*>(texture.GetBits());
    const auto channels = static_cast<std::size_t>(image.channels);
    // All alpha bytes of a four-channel picture ANDed: 0xFF when it is opaque.
    std::uint8_t alphas = 0xFFu;
    for (std::int32_t y = 0; y < height + (padY ? 1 : 0); ++y) {
        // The padding row and column repeat the last ones.
        const std::uint8_t* source = image.Row(top + std::min(y, height - 1)) + static_cast<std::size_t>(left) * channels;
        auto* row = reinterpret_cast<std::uint32_t*>(bits + static_cast<std::ptrdiff_t>(y) * texture.GetPitch());
        if (maskOnly) {
            // Only alpha is drawn from an alpha-only texture; the colour
            // comes from the vertices. The mask reads alpha of a
            // four-channel picture, else red.
            for (std::int32_t x = 0; x < width; ++x) {
                row[x] = 0x00FFFFFFu | (std::uint32_t{source[static_cast<std::size_t>(x) * channels]} << 24);
            }
        } else if (channels == 4) {
            for (std::int32_t x = 0; x < width; ++x) {
                const std::uint8_t* p = source + static_cast<std::size_t>(x) * 4;
                row[x] = (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8) | p[3];
                alphas &= p[0];
            }
        } else {
            for (std::int32_t x = 0; x < width; ++x) {
                const std::uint8_t* p = source + static_cast<std::size_t>(x) * channels;
                row[x] = 0xFF000000u | (std::uint32_t{p[0]} << 16) | (std::uint32_t{p[1]} << 8) | p[2];
            }
        }
        if (padX && width > 0) {
            row[width] = row[width - 1];
        }
    }
    const bool hasAlpha = maskOnly || alphas != 0xFFu;
    texture.SetHasAlpha(hasAlpha);
    texture.SetAlphaOnly(maskOnly);
    texture.Unlock();
    // Filled by the loader, not changed by the program.
    texture.SetModified(false);
    return true;
}

}  // namespace Qmv2
