// A whole decoded picture as the image loaders hand it on: rows of 8-bit
// channels, either red, green, blue (3 channels) or alpha, red, green, blue
// (4 channels).
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace Qmv2 {

struct DecodedImage {
    // Pictures larger than this are refused before their pixels are allocated.
    static constexpr std::int32_t kMaxSide = 32768;
    static constexpr std::int64_t kMaxPixels = std::int64_t{32} << 20;

    std::int32_t width = 0;
    std::int32_t height = 0;
    std::int32_t channels = 0;
    std::vector<std::uint8_t> pixels;

    static bool IsAcceptableSize(std::int64_t width, std::int64_t height)
    {
        return width > 0 && height > 0 && width <= kMaxSide && height <= kMaxSide && width * height <= kMaxPixels;
    }

    std::size_t RowBytes() const { return static_cast<std::size_t>(width) * static_cast<std::size_t>(channels); }
    const std::uint8_t* Row(std::int32_t y) const { return pixels.data() + RowBytes() * static_cast<std::size_t>(y); }
    std::uint8_t* Row(std::int32_t y) { return pixels.data() + RowBytes() * static_cast<std::size_t>(y); }

    // The pixel as a 32-bit ARGB value (opaque for 3 channels).
    std::uint32_t Argb(std::int32_t x, std::int32_t y) const
    {
        const std::uint8_t* p = Row(y) + static_cast<std::size_t>(x) * static_cast<std::size_t>(channels);
        if (channels == 4) {
            return (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8) | p[3];
        }
        return 0xFF000000u | (std::uint32_t{p[0]} << 16) | (std::uint32_t{p[1]} << 8) | p[2];
    }
    // The byte a mask reads from the pixel: alpha of a 4-channel picture, else red.
    std::uint8_t MaskValue(std::int32_t x, std::int32_t y) const
    {
        return Row(y)[static_cast<std::size_t>(x) * static_cast<std::size_t>(channels)];
    }
};

}  // namespace Qmv2
