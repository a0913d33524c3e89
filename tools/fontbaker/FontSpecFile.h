#pragma once

#include "tools/fontbaker/FontSpec.h"

#include <string>
#include <string_view>
#include <vector>

namespace fontbaker {

// Reads the list of fonts the game uses. The file is a sequence of
// "[name]" sections with "key = value" lines; '#' starts a comment line:
//
//   [title]
//   file = DejaVuSans-Bold.ttf
//   size = 44
//   layer = outline color=#ff1d3557 stroke=2
//   layer = face color=#ffffffff
//
// Layers come bottom first; a layer takes "color" (#AARRGGBB), "stroke"
// (pixels) and "offset" (dx,dy). Every fault is reported with its line.
class FontSpecFile {
public:
    static std::vector<FontSpec> Parse(std::string_view text, const std::string& sourceName);
    static std::vector<FontSpec> Load(const std::string& path);
};

} // namespace fontbaker
