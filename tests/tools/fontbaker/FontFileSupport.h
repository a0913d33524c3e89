#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace fontbaker::test {

// A font file read back the way the game reads it: character texts ("c"),
// numbers with "%f", cell indices as integers and kerning in the
// comma-separated notation with "#hex;" entities.
struct ReadGlyph {
    float sx = 0, sy = 0, sw = 0, sh = 0, width = 0, bx = 0, by = 0;
    int ix = 0, iy = 0;
};

struct ReadLayer {
    std::string image;
    float padding = 0;
    std::uint32_t color = 0;
};

struct ReadFont {
    float lineHeight = 0, baseline = 0, spaceWidth = 0, charSpacing = 0;
    std::map<char32_t, ReadGlyph> glyphs;
    std::map<std::pair<char32_t, char32_t>, float> kerning;
    std::vector<ReadLayer> layers;
};

// Fails the calling test (and answers an empty font) when the file does not
// parse or lacks the font node.
ReadFont ReadFontFile(const std::string& path);

// The code point of a "c" text, by the game's rule.
char32_t ReadCharText(const std::string& text);

// Kerning pairs of one comma-separated entry, by the game's rule.
std::map<std::pair<char32_t, char32_t>, float> ReadKerningEntry(const std::string& chars, float amount);

struct DecodedPng {
    int width = 0;
    int height = 0;
    std::uint32_t format = 0;   // libpng's simplified format of the file
    std::vector<std::uint8_t> rgba;

    std::uint8_t Alpha(int x, int y) const { return rgba[(static_cast<std::size_t>(y) * width + x) * 4 + 3]; }
};

DecodedPng DecodePng(const std::string& path);

std::string ReadBytes(const std::string& path);

// A fresh, empty folder under the build tree for one test.
std::string FreshFolder(const std::string& name);

} // namespace fontbaker::test
