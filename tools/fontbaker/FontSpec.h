#pragma once

#include <cstdint>
#include <cstdio>
#include <stdexcept>
#include <string>
#include <vector>

namespace fontbaker {

// Everything the baker reports as a failure: bad font lists, missing font
// files, glyph sets that do not fit a texture, unwritable outputs.
class FontBakeError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// "U+00E9" for messages.
inline std::string CodePointName(char32_t code)
{
    char text[16];
    std::snprintf(text, sizeof text, "U+%04X", static_cast<unsigned>(code));
    return text;
}

// One layer of a font, drawn under the layers that follow it. The face
// coverage, optionally widened by a stroke, is shifted by (dx, dy) and
// painted in one packed ARGB colour.
struct LayerSpec {
    std::string label;        // lower case; names the sheet "<font>_<label>.png"
    std::uint32_t color = 0xFFFFFFFFu;
    float stroke = 0.0f;      // outline radius in pixels, 0 for the plain face
    int dx = 0;
    int dy = 0;
};

// One font the game uses: a font file rendered at a pixel size into layers,
// bottom layer first.
struct FontSpec {
    std::string name;         // lower case; names the description "<name>.xml"
    std::string file;         // font file, relative to the font folder
    int pixelSize = 0;
    std::vector<LayerSpec> layers;
};

} // namespace fontbaker
