#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace fontbaker {

// One glyph as the font description states it: its rectangle in the
// unpadded sheet, its cell, its advance and the offset of its image from
// the pen (bx right, by down from the top of the line).
struct BakedGlyph {
    char32_t code = 0;
    int sx = 0, sy = 0, sw = 0, sh = 0;
    int ix = 0, iy = 0;
    int advance = 0;
    int bx = 0, by = 0;
};

// One layer sheet: 32-bit RGBA pixels, row by row, top row first; white,
// with the glyph coverage times the layer colour's alpha as alpha.
struct BakedLayer {
    std::string label;
    std::string imageFile;    // "<font>_<label>.png"
    std::uint32_t color = 0;  // packed ARGB
    int padding = 0;
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> rgba;

    std::uint8_t Alpha(int x, int y) const { return rgba[(static_cast<std::size_t>(y) * width + x) * 4 + 3]; }
};

struct BakedFont {
    std::string name;
    int spaceWidth = 0;
    int lineHeight = 0;
    int baseline = 0;                  // from the top of the line
    std::vector<BakedGlyph> glyphs;    // by code point, spaces excluded
    std::vector<BakedLayer> layers;    // bottom layer first
    std::map<std::pair<char32_t, char32_t>, int> kerning;   // non-zero pairs only

    const BakedGlyph* Find(char32_t code) const
    {
        for (const BakedGlyph& glyph : glyphs)
            if (glyph.code == code)
                return &glyph;
        return nullptr;
    }
};

} // namespace fontbaker
