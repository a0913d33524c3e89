#pragma once

#include "tools/fontbaker/BakedFont.h"

#include <string>

namespace fontbaker {

// Writes a baked font as the game's font file: an XML property file whose
// node "font" describes the glyphs, spacing and kerning and whose vector
// "layers" names the sheets, bottom first, with their padding and colour.
//
// Characters are written as themselves where that reads back unchanged and
// as "#hex" otherwise; kerning uses the comma-separated notation
// ("newkerning": a left character followed by its right characters, one
// entry per amount), which stays plain text inside an XML attribute.
class FontDescriptionWriter {
public:
    static std::string Write(const BakedFont& font);

    // The "c" text of a glyph: printable ASCII other than '#' as itself,
    // everything else as "#" and upper-case hex digits.
    static std::string CharText(char32_t code);

    // One character inside a kerning entry: itself, or "#hex;" for the
    // characters that would split or start an entity (',', '#', ';'), for
    // blanks and for everything outside printable ASCII.
    static std::string KerningCharText(char32_t code);

    static std::string EscapeAttribute(const std::string& text);
};

} // namespace fontbaker
