#pragma once

#include "tools/fontbaker/BakedFont.h"
#include "tools/fontbaker/FontSpec.h"

#include <string>
#include <vector>

namespace fontbaker {

// Renders a font into its layer sheets and description.
class FontBaker {
public:
    // The largest texture side every supported device accepts.
    static constexpr int kMaxSheetSide = 1024;

    // The characters the game's texts need: printable ASCII, Latin-1, the
    // curly quotes and dashes of typeset text, and the ellipsis that
    // truncated labels end with.
    static std::vector<char32_t> GameCharset();

    // Characters the font cannot draw are left out (the game shows a
    // substitute or a box); each is reported in "missing" when given.
    static BakedFont Bake(const FontSpec& spec, const std::string& fontFolder, const std::vector<char32_t>& charset,
                          std::vector<char32_t>* missing = nullptr);

    // Writes "<name>.xml" and one PNG per layer into the folder. Every file is
    // written beside its final name and renamed over it, so an interrupted
    // run never leaves a half-written file behind.
    static void Save(const BakedFont& font, const std::string& folder);
};

} // namespace fontbaker
