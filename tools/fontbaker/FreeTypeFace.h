#pragma once

#include <cstdint>
#include <string>
#include <vector>

typedef struct FT_LibraryRec_* FT_Library;
typedef struct FT_FaceRec_* FT_Face;
typedef struct FT_StrokerRec_* FT_Stroker;

namespace fontbaker {

// A grey coverage bitmap with its position relative to the pen: "left"
// pixels right of the pen, "top" pixels above the baseline.
struct CoverageBitmap {
    int width = 0;
    int height = 0;
    int left = 0;
    int top = 0;
    std::vector<std::uint8_t> coverage;   // width * height bytes, row by row

    std::uint8_t At(int x, int y) const { return coverage[static_cast<std::size_t>(y) * width + x]; }
};

// One font file opened at one pixel size. Glyphs are hinted, so advances
// and kerning are whole pixels and the same on every run.
class FreeTypeFace {
public:
    FreeTypeFace(const std::string& path, int pixelSize);
    ~FreeTypeFace();
    FreeTypeFace(const FreeTypeFace&) = delete;
    FreeTypeFace& operator=(const FreeTypeFace&) = delete;

    std::string FamilyName() const;
    std::string StyleName() const;
    bool HasChar(char32_t code) const;

    // The glyph's coverage; with a stroke radius above 0, the glyph widened
    // by that many pixels all round (its outer border, filled).
    CoverageBitmap Render(char32_t code, float strokeRadius) const;

    int Advance(char32_t code) const;
    int Kerning(char32_t left, char32_t right) const;
    bool HasKerning() const;
    int LineHeight() const;

private:
    void LoadGlyph(char32_t code) const;

    FT_Library m_Library = nullptr;
    FT_Face m_Face = nullptr;
    FT_Stroker m_Stroker = nullptr;
    std::string m_Path;
};

} // namespace fontbaker
