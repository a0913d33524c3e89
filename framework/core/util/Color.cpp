#include "framework/core/util/Color.h"

namespace Qmv2 {

namespace {

float ByteToFloat(std::uint32_t value, int shift)
{
    return static_cast<float>((value >> shift) & 0xFF) / 255.0f;
}

std::uint32_t FloatToByte(float value)
{
    const float scaled = value * 255.0f + 0.5f;
    if (!(scaled >= 1.0f))          // also catches NaN
        return 0;
    if (scaled >= 255.0f)
        return 255;
    return static_cast<std::uint32_t>(scaled);
}

} // namespace

Color::Color()
    : a(1.0f), r(1.0f), g(1.0f), b(1.0f), dirty(true), packed(0)
{
}

Color::Color(std::uint32_t packedArgb)
    : a(ByteToFloat(packedArgb, 24)), r(ByteToFloat(packedArgb, 16)), g(ByteToFloat(packedArgb, 8)),
      b(ByteToFloat(packedArgb, 0)), dirty(false), packed(packedArgb)
{
}

Color::Color(float alpha, float red, float green, float blue)
    : a(alpha), r(red), g(green), b(blue), dirty(true), packed(0)
{
}

void Color::SetRGB(std::uint32_t packedRgb)
{
    r = ByteToFloat(packedRgb, 16);
    g = ByteToFloat(packedRgb, 8);
    b = ByteToFloat(packedRgb, 0);
    packed = (packedRgb & 0x00FFFFFFu) | FloatToByte(a) << 24;
    dirty = false;
}

std::uint32_t Color::Pack()
{
    if (dirty) {
        packed = FloatToByte(a) << 24 | FloatToByte(r) << 16 | FloatToByte(g) << 8 | FloatToByte(b);
        dirty = false;
    }
    return packed;
}

bool Color::operator==(const Color& other) const
{
    return a == other.a && r == other.r && g == other.g && b == other.b;
}

} // namespace Qmv2
