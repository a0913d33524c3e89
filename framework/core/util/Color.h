#pragma once

#include <cstdint>

namespace Qmv2 {

// An ARGB colour as four floats (nominally 0 to 1) with a cached packed form.
struct Color {
    Color();                                  // opaque white, packed value stale
    explicit Color(std::uint32_t packedArgb);
    Color(float alpha, float red, float green, float blue);

    // Red, green and blue from the three low bytes; the alpha float stays.
    void SetRGB(std::uint32_t packedRgb);

    // The packed ARGB value, recomputed from the floats when they changed.
    std::uint32_t Pack();

    bool operator==(const Color& other) const;
    bool operator!=(const Color& other) const { return !(*this == other); }

    float a;
    float r;
    float g;
    float b;
    bool dirty;
    std::uint32_t packed;
};

} // namespace Qmv2
