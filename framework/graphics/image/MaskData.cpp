#include "framework/graphics/image/MaskData.h"

#include <memory>

#include "framework/core/files/FileLoader.h"
#include "framework/graphics/image/DecodedImage.h"
#include "framework/graphics/image/PngDecoder.h"

namespace Qmv2 {

namespace {

std::size_t ByteCount(std::int32_t width, std::int32_t height, std::int32_t bitsPerPixel)
{
    if (width <= 0 || height <= 0) {
        return 0;
    }
    const std::size_t pixels = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
    return bitsPerPixel == 1 ? (pixels + 7) / 8 : pixels * static_cast<std::size_t>(bitsPerPixel / 8);
}

}  // namespace

MaskData::MaskData(std::int32_t width, std::int32_t height, std::int32_t bitsPerPixel)
    : m_Data(ByteCount(width, height, bitsPerPixel), 0),
      m_Width(width > 0 && height > 0 ? width : 0),
      m_Height(width > 0 && height > 0 ? height : 0),
      m_BitsPerPixel(bitsPerPixel)
{
}

std::uint8_t MaskData::GetValue(std::int32_t x, std::int32_t y) const
{
    return m_BitsPerPixel == 8 && Contains(x, y) ? m_Data[Index(x, y)] : 0;
}

bool MaskData::GetBit(std::int32_t x, std::int32_t y) const
{
    if (m_BitsPerPixel != 1 || !Contains(x, y)) {
        return false;
    }
    const std::size_t i = Index(x, y);
    return ((m_Data[i / 8] >> (7 - i % 8)) & 1) != 0;
}

std::uint32_t MaskData::GetColor(std::int32_t x, std::int32_t y) const
{
    if (m_BitsPerPixel != 32 || !Contains(x, y)) {
        return 0;
    }
    const std::uint8_t* p = m_Data.data() + Index(x, y) * 4;
    return std::uint32_t{p[0]} | (std::uint32_t{p[1]} << 8) | (std::uint32_t{p[2]} << 16) |
           (std::uint32_t{p[3]} << 24);
}

void MaskData::PackBits(std::int32_t threshold)
{
    if (m_BitsPerPixel != 8) {
        return;
    }
    const std::size_t pixels = m_Data.size();
    std::vector<std::uint8_t> bits((pixels + 7) / 8, 0);
    for (std::size_t i = 0; i < pixels; ++i) {
        if (m_Data[i] >= threshold) {
            bits[i / 8] |= static_cast<std::uint8_t>(0x80u >> (i % 8));
        }
    }
    m_Data = std::move(bits);
    m_BitsPerPixel = 1;
}

MaskData* MakeMaskData(const DecodedImage& image, std::int32_t kind)
{
    if (kind < 0 || kind > 2) {
        return nullptr;
    }
    auto* mask = new MaskData(image.width, image.height, kind == 2 ? 32 : 8);
    std::uint8_t* out = mask->GetData().data();
    for (std::int32_t y = 0; y < mask->GetHeight(); ++y) {
        for (std::int32_t x = 0; x < mask->GetWidth(); ++x) {
            if (kind == 2) {
                // Stored as the texture pixels are: little-endian ARGB.
                const std::uint32_t color = image.Argb(x, y);
                for (int b = 0; b < 4; ++b) {
                    *out++ = static_cast<std::uint8_t>(color >> (8 * b));
                }
            } else {
                *out++ = image.MaskValue(x, y);
            }
        }
    }
    return mask;
}

MaskData* ReadPngMaskFile(const std::string& path, std::int32_t kind)
{
    std::unique_ptr<std::FILE, decltype(&std::fclose)> file(OpenFile("rb", path), &std::fclose);
    if (file == nullptr) {
        return nullptr;
    }
    DecodedImage image;
    PngDecoder decoder(file.get());
    return decoder.Decode(image) ? MakeMaskData(image, kind) : nullptr;
}

MaskData* ReadPngMaskMemory(const std::uint8_t* memory, std::size_t size, std::int32_t kind)
{
    if (!PngDecoder::HasSignature(memory, size)) {
        return nullptr;
    }
    DecodedImage image;
    PngDecoder decoder(memory, size);
    return decoder.Decode(image) ? MakeMaskData(image, kind) : nullptr;
}

}  // namespace Qmv2
