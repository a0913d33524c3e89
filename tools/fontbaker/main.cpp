// fontbaker: bakes the game's bitmap fonts from the font list.
//
//   fontbaker --list fonts.txt --font-dir DIR --out DIR
//
// Writes "<name>.xml" and "<name>_<layer>.png" for every font of the list.

#include "tools/fontbaker/FontBaker.h"
#include "tools/fontbaker/FontSpecFile.h"

#include <cstdio>
#include <cstring>
#include <string>

namespace {

int Usage()
{
    std::fprintf(stderr, "usage: fontbaker --list FILE --font-dir DIR --out DIR\n");
    return 2;
}

} // namespace

int main(int argc, char** argv)
{
    std::string list;
    std::string fontDir;
    std::string outDir;
    for (int i = 1; i < argc; ++i) {
        const bool hasValue = i + 1 < argc;
        if (std::strcmp(argv[i], "--list") == 0 && hasValue)
            list = argv[++i];
        else if (std::strcmp(argv[i], "--font-dir") == 0 && hasValue)
            fontDir = argv[++i];
        else if (std::strcmp(argv[i], "--out") == 0 && hasValue)
            outDir = argv[++i];
        else
            return Usage();
    }
    if (list.empty() || fontDir.empty() || outDir.empty())
        return Usage();

    try {
        for (const fontbaker::FontSpec& spec : fontbaker::FontSpecFile::Load(list)) {
            std::vector<char32_t> missing;
            const fontbaker::BakedFont font =
                fontbaker::FontBaker::Bake(spec, fontDir, fontbaker::FontBaker::GameCharset(), &missing);
            for (char32_t code : missing)
                std::fprintf(stderr, "fontbaker: warning: %s has no glyph for %s\n", spec.file.c_str(),
                             fontbaker::CodePointName(code).c_str());
            fontbaker::FontBaker::Save(font, outDir);
            std::printf("fontbaker: %s: %zu glyphs, %zu kerning pairs, %dx%d sheets\n", spec.name.c_str(),
                        font.glyphs.size(), font.kerning.size(), font.layers.front().width,
                        font.layers.front().height);
        }
    } catch (const fontbaker::FontBakeError& error) {
        std::fprintf(stderr, "fontbaker: %s\n", error.what());
        return 1;
    }
    return 0;
}
