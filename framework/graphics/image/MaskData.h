// Mask pixels: 8 bits per pixel (one value each), 1 bit per pixel (packed,
// the first pixel in the most significant bit of the first byte, rows not
// padded) or 32 bits per pixel (ARGB colour values). Rows follow each other
// with no gap.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace Qmv2 {

struct DecodedImage;

class MaskData {
public:
    MaskData(std::int32_t width, std::int32_t height, std::int32_t bitsPerPixel);
    virtual ~MaskData() = default;

    std::int32_t GetWidth() const { return m_Width; }
    std::int32_t GetHeight() const { return m_Height; }
    std::int32_t GetBitsPerPixel() const { return m_BitsPerPixel; }
    std::vector<std::uint8_t>& GetData() { return m_Data; }
    const std::vector<std::uint8_t>& GetData() const { return m_Data; }

    bool Contains(std::int32_t x, std::int32_t y) const { return x >= 0 && y >= 0 && x < m_Width && y < m_Height; }
    // The byte of an 8-bit mask; 0 outside it or for other depths.
    std::uint8_t GetValue(std::int32_t x, std::int32_t y) const;
    // The bit of a 1-bit mask; false outside it or for other depths.
    bool GetBit(std::int32_t x, std::int32_t y) const;
    // The colour of a 32-bit mask; 0 outside it or for other depths.
    std::uint32_t GetColor(std::int32_t x, std::int32_t y) const;

    // Packs an 8-bit mask into 1 bit per pixel: a pixel is set when its value
    // is at least `threshold`. Other depths stay as they are.
    void PackBits(std::int32_t threshold);

private:
    std::size_t Index(std::int32_t x, std::int32_t y) const
    {
        return static_cast<std::size_t>(y) * static_cast<std::size_t>(m_Width) + static_cast<std::size_t>(x);
    }

    std::vector<std::uint8_t> m_Data;
    std::int32_t m_Width;
    std::int32_t m_Height;
    std::int32_t m_BitsPerPixel;
};

// Mask kinds: 0 alpha mask and 1 bit mask give 8-bit values (the alpha of a
// picture with alpha, else its red), 2 a colour table gives 32-bit colours.
// Any other kind gives null.
MaskData* MakeMaskData(const DecodedImage& image, std::int32_t kind);
// The mask of a PNG file on disk, or null when it cannot be read.
MaskData* ReadPngMaskFile(const std::string& path, std::int32_t kind);
// The mask of a PNG held in memory (never read past `size`), or null.
MaskData* ReadPngMaskMemory(const std::uint8_t* memory, std::size_t size, std::int32_t kind);

}  // namespace Qmv2
