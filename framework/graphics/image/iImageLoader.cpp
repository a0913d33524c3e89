#include "framework/graphics/image/iImageLoader.h"

#include <algorithm>

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
    bool hasAlpha = maskOnly;
    for (std::int32_t y = 0; y < height + (padY ? 1 : 0); ++y) {
        const std::int32_t sourceY = top + std::min(y, height - 1);
        auto* row = reinterpret_cast<std::uint32_t*>(bits + static_cast<std::ptrdiff_t>(y) * texture.GetPitch());
        for (std::int32_t x = 0; x < width + (padX ? 1 : 0); ++x) {
            const std::int32_t sourceX = left + std::min(x, width - 1);
            if (maskOnly) {
                // Only alpha is drawn from an alpha-only texture; the colour
                // comes from the vertices.
                row[x] = 0x00FFFFFFu | (std::uint32_t{image.MaskValue(sourceX, sourceY)} << 24);
            } else {
                row[x] = image.Argb(sourceX, sourceY);
                hasAlpha = hasAlpha || (row[x] >> 24) != 0xFFu;
            }
        }
    }
    texture.SetHasAlpha(hasAlpha);
    texture.SetAlphaOnly(maskOnly);
    texture.Unlock();
    // Filled by the loader, not changed by the program.
    texture.SetModified(false);
    return true;
}

}  // namespace Qmv2
