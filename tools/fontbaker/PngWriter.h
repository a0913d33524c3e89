#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace fontbaker {

// Encodes 8-bit RGBA pixels as a PNG file image. The output holds no time
// stamp or other varying chunk, so equal pixels give equal bytes.
class PngWriter {
public:
    static std::string Encode(int width, int height, const std::vector<std::uint8_t>& rgba);
};

} // namespace fontbaker
