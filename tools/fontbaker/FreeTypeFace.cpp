#include "tools/fontbaker/FreeTypeFace.h"
#include "tools/fontbaker/FontSpec.h"

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_GLYPH_H
#include FT_STROKER_H

#include <cstring>

namespace fontbaker {

namespace {

// Hinted outlines only: embedded bitmaps would not take a stroke.
constexpr FT_Int32 kLoadFlags = FT_LOAD_DEFAULT | FT_LOAD_NO_BITMAP;

int RoundPixels(FT_Pos value26_6)
{
    return static_cast<int>((value26_6 + 32) >> 6);
}

// Releases an FT_Glyph on every path out of Render.
struct GlyphHolder {
    FT_Glyph glyph = nullptr;
    ~GlyphHolder()
    {
        if (glyph)
            FT_Done_Glyph(glyph);
    }
};

} // namespace

FreeTypeFace::FreeTypeFace(const std::string& path, int pixelSize) : m_Path(path)
{
    if (FT_Init_FreeType(&m_Library) != 0)
        throw FontBakeError("FreeType could not be started");
    if (FT_New_Face(m_Library, path.c_str(), 0, &m_Face) != 0) {
        FT_Done_FreeType(m_Library);
        throw FontBakeError("cannot open the font file " + path);
    }
    if (!FT_IS_SCALABLE(m_Face) || FT_Set_Pixel_Sizes(m_Face, 0, static_cast<FT_UInt>(pixelSize)) != 0 ||
        FT_Stroker_New(m_Library, &m_Stroker) != 0) {
        FT_Done_Face(m_Face);
        FT_Done_FreeType(m_Library);
        throw FontBakeError("cannot size the font " + path + " to " + std::to_string(pixelSize) + " pixels");
    }
}

FreeTypeFace::~FreeTypeFace()
{
    FT_Stroker_Done(m_Stroker);
    FT_Done_Face(m_Face);
    FT_Done_FreeType(m_Library);
}

std::string FreeTypeFace::FamilyName() const
{
    return m_Face->family_name ? m_Face->family_name : "";
}

std::string FreeTypeFace::StyleName() const
{
    return m_Face->style_name ? m_Face->style_name : "";
}

bool FreeTypeFace::HasChar(char32_t code) const
{
    return FT_Get_Char_Index(m_Face, code) != 0;
}

void FreeTypeFace::LoadGlyph(char32_t code) const
{
    const FT_UInt index = FT_Get_Char_Index(m_Face, code);
    if (index == 0 || FT_Load_Glyph(m_Face, index, kLoadFlags) != 0)
        throw FontBakeError("the font " + m_Path + " cannot draw " + CodePointName(code));
}

CoverageBitmap FreeTypeFace::Render(char32_t code, float strokeRadius) const
{
    LoadGlyph(code);
    GlyphHolder holder;
    if (FT_Get_Glyph(m_Face->glyph, &holder.glyph) != 0)
        throw FontBakeError("cannot copy a glyph of " + m_Path);
    if (strokeRadius > 0.0f) {
        FT_Stroker_Set(m_Stroker, static_cast<FT_Fixed>(strokeRadius * 64.0f + 0.5f), FT_STROKER_LINECAP_ROUND,
                       FT_STROKER_LINEJOIN_ROUND, 0);
        // The outer border alone, filled, is the glyph grown by the radius.
        if (FT_Glyph_StrokeBorder(&holder.glyph, m_Stroker, 0, 1) != 0)
            throw FontBakeError("cannot stroke a glyph of " + m_Path);
    }
    if (FT_Glyph_To_Bitmap(&holder.glyph, FT_RENDER_MODE_NORMAL, nullptr, 1) != 0)
        throw FontBakeError("cannot render a glyph of " + m_Path);

    const auto* bitmapGlyph = reinterpret_cast<FT_BitmapGlyph>(holder.glyph);
    const FT_Bitmap& bitmap = bitmapGlyph->bitmap;
    if (bitmap.pixel_mode != FT_PIXEL_MODE_GRAY)
        throw FontBakeError("a glyph of " + m_Path + " did not render as grey levels");

    CoverageBitmap out;
    out.width = static_cast<int>(bitmap.width);
    out.height = static_cast<int>(bitmap.rows);
    out.left = bitmapGlyph->left;
    out.top = bitmapGlyph->top;
    out.coverage.resize(static_cast<std::size_t>(out.width) * out.height);
    const int pitch = bitmap.pitch < 0 ? -bitmap.pitch : bitmap.pitch;
    for (int y = 0; y < out.height; ++y) {
        // A negative pitch stores the rows bottom up.
        const int sourceRow = bitmap.pitch < 0 ? out.height - 1 - y : y;
        std::memcpy(&out.coverage[static_cast<std::size_t>(y) * out.width],
                    bitmap.buffer + static_cast<std::ptrdiff_t>(sourceRow) * pitch, out.width);
    }
    return out;
}

int FreeTypeFace::Advance(char32_t code) const
{
    LoadGlyph(code);
    return RoundPixels(m_Face->glyph->advance.x);
}

bool FreeTypeFace::HasKerning() const
{
    return FT_HAS_KERNING(m_Face);
}

int FreeTypeFace::Kerning(char32_t left, char32_t right) const
{
    FT_Vector delta{0, 0};
    const FT_UInt a = FT_Get_Char_Index(m_Face, left);
    const FT_UInt b = FT_Get_Char_Index(m_Face, right);
    if (a == 0 || b == 0 || FT_Get_Kerning(m_Face, a, b, FT_KERNING_DEFAULT, &delta) != 0)
        return 0;
    return RoundPixels(delta.x);
}

int FreeTypeFace::LineHeight() const
{
    return RoundPixels(m_Face->size->metrics.height);
}

} // namespace fontbaker
