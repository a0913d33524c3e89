#include "tools/fontbaker/FontBaker.h"

#include "tools/fontbaker/FontDescriptionWriter.h"
#include "tools/fontbaker/FreeTypeFace.h"
#include "tools/fontbaker/PngWriter.h"
#include "tools/fontbaker/SheetPacker.h"

#include <algorithm>
#include <filesystem>
#include <fstream>

namespace fontbaker {

namespace {

bool IsSpace(char32_t code)
{
    return code == 0x20 || code == 0xA0;
}

// A layer's coverage of one glyph, placed relative to the glyph's face
// bitmap: (ox, oy) is where the layer bitmap's top-left pixel falls.
struct LayerPiece {
    const CoverageBitmap* bitmap = nullptr;
    int ox = 0;
    int oy = 0;
};

struct RenderedGlyph {
    char32_t code = 0;
    int advance = 0;
    CoverageBitmap face;
    std::vector<CoverageBitmap> strokes;   // one per layer; empty when the layer uses the face
    std::vector<LayerPiece> pieces;        // one per layer
};

// The margin a piece needs round the face rectangle to lie wholly inside it.
int MarginNeeded(const LayerPiece& piece, const CoverageBitmap& face)
{
    const CoverageBitmap& bitmap = *piece.bitmap;
    if (bitmap.width == 0 || bitmap.height == 0)
        return 0;
    return std::max({0, -piece.ox, -piece.oy, piece.ox + bitmap.width - face.width,
                     piece.oy + bitmap.height - face.height});
}

void PaintLayer(BakedLayer& layer, const std::vector<RenderedGlyph>& rendered, const std::vector<BakedGlyph>& glyphs,
                std::size_t layerIndex)
{
    // The sheet is white with the coverage (times the layer's own alpha) as
    // alpha: the game loads it as an alpha-only mask and tints it with the
    // layer's colour, which markup and labels can replace. White clear
    // pixels keep filtering at the glyph edges from darkening them.
    const unsigned alpha = layer.color >> 24;
    layer.rgba.assign(static_cast<std::size_t>(layer.width) * layer.height * 4, 0xFF);
    for (std::size_t i = 3; i < layer.rgba.size(); i += 4)
        layer.rgba[i] = 0;
    const int p = layer.padding;
    for (std::size_t g = 0; g < glyphs.size(); ++g) {
        const BakedGlyph& glyph = glyphs[g];
        const LayerPiece& piece = rendered[g].pieces[layerIndex];
        const int originX = glyph.sx + 2 * p * glyph.ix + p + piece.ox;
        const int originY = glyph.sy + 2 * p * glyph.iy + p + piece.oy;
        for (int y = 0; y < piece.bitmap->height; ++y) {
            for (int x = 0; x < piece.bitmap->width; ++x) {
                const unsigned coverage = piece.bitmap->At(x, y);
                if (coverage == 0)
                    continue;
                const std::size_t at =
                    (static_cast<std::size_t>(originY + y) * layer.width + (originX + x)) * 4 + 3;
                const auto value = static_cast<std::uint8_t>((coverage * alpha + 127) / 255);
                layer.rgba[at] = std::max(layer.rgba[at], value);
            }
        }
    }
}

void WriteReplacing(const std::filesystem::path& path, const std::string& bytes)
{
    const std::filesystem::path temporary = path.string() + ".tmp";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        out.flush();
        if (!out)
            throw FontBakeError("cannot write " + temporary.string());
    }
    std::error_code error;
    std::filesystem::rename(temporary, path, error);
    if (error)
        throw FontBakeError("cannot replace " + path.string() + ": " + error.message());
}

} // namespace

std::vector<char32_t> FontBaker::GameCharset()
{
    std::vector<char32_t> codes;
    for (char32_t c = 0x20; c <= 0x7E; ++c)
        codes.push_back(c);
    for (char32_t c = 0xA0; c <= 0xFF; ++c)
        codes.push_back(c);
    // En and em dash, single and double curly quotes, ellipsis.
    for (char32_t c : {0x2013, 0x2014, 0x2018, 0x2019, 0x201C, 0x201D, 0x2026})
        codes.push_back(c);
    return codes;
}

BakedFont FontBaker::Bake(const FontSpec& spec, const std::string& fontFolder, const std::vector<char32_t>& charset,
                          std::vector<char32_t>* missing)
{
    if (spec.layers.empty())
        throw FontBakeError("font \"" + spec.name + "\" has no layer");
    const FreeTypeFace face(fontFolder + "/" + spec.file, spec.pixelSize);

    std::vector<char32_t> codes;
    for (char32_t code : charset) {
        if (!face.HasChar(code)) {
            if (missing)
                missing->push_back(code);
        } else if (!IsSpace(code)) {
            codes.push_back(code);
        }
    }
    std::sort(codes.begin(), codes.end());
    codes.erase(std::unique(codes.begin(), codes.end()), codes.end());

    BakedFont font;
    font.name = spec.name;
    font.lineHeight = face.LineHeight();
    font.spaceWidth = face.HasChar(0x20) ? face.Advance(0x20) : (spec.pixelSize + 2) / 4;

    std::vector<RenderedGlyph> rendered(codes.size());
    std::vector<int> paddings(spec.layers.size(), 0);
    int baseline = 0;
    for (std::size_t g = 0; g < codes.size(); ++g) {
        RenderedGlyph& glyph = rendered[g];
        glyph.code = codes[g];
        glyph.advance = face.Advance(glyph.code);
        glyph.face = face.Render(glyph.code, 0.0f);
        glyph.strokes.resize(spec.layers.size());
        glyph.pieces.resize(spec.layers.size());
        for (std::size_t l = 0; l < spec.layers.size(); ++l) {
            const LayerSpec& layer = spec.layers[l];
            LayerPiece& piece = glyph.pieces[l];
            if (layer.stroke > 0.0f) {
                glyph.strokes[l] = face.Render(glyph.code, layer.stroke);
                piece.bitmap = &glyph.strokes[l];
            } else {
                piece.bitmap = &glyph.face;
            }
            piece.ox = piece.bitmap->left - glyph.face.left + layer.dx;
            piece.oy = glyph.face.top - piece.bitmap->top + layer.dy;
            paddings[l] = std::max(paddings[l], MarginNeeded(piece, glyph.face));
        }
        if (glyph.face.height > 0)
            baseline = std::max(baseline, glyph.face.top);
    }
    // The baseline sits as low as the highest-reaching glyph needs, so no
    // accent is cut off at the top of a line.
    font.baseline = baseline;

    std::vector<SheetPacker::Size> sizes;
    for (const RenderedGlyph& glyph : rendered)
        sizes.push_back({glyph.face.width, glyph.face.height});
    const int margin = *std::max_element(paddings.begin(), paddings.end());
    const SheetLayout layout = SheetPacker::Pack(sizes, margin, kMaxSheetSide);

    for (std::size_t g = 0; g < rendered.size(); ++g) {
        const RenderedGlyph& source = rendered[g];
        BakedGlyph glyph;
        glyph.code = source.code;
        glyph.sx = layout.cells[g].sx;
        glyph.sy = layout.cells[g].sy;
        glyph.ix = layout.cells[g].ix;
        glyph.iy = layout.cells[g].iy;
        glyph.sw = source.face.width;
        glyph.sh = source.face.height;
        glyph.advance = source.advance;
        if (source.face.width > 0 && source.face.height > 0) {
            glyph.bx = source.face.left;
            glyph.by = baseline - source.face.top;
        }
        font.glyphs.push_back(glyph);
    }

    for (std::size_t l = 0; l < spec.layers.size(); ++l) {
        BakedLayer layer;
        layer.label = spec.layers[l].label;
        layer.imageFile = spec.name + "_" + layer.label + ".png";
        layer.color = spec.layers[l].color;
        layer.padding = paddings[l];
        // All layers share the sheet size that the widest padding needs.
        layer.width = layout.width;
        layer.height = layout.height;
        PaintLayer(layer, rendered, font.glyphs, l);
        font.layers.push_back(std::move(layer));
    }

    if (face.HasKerning()) {
        std::vector<char32_t> kerned = codes;
        if (face.HasChar(0x20))
            kerned.push_back(0x20);
        for (char32_t left : kerned)
            for (char32_t right : kerned)
                if (const int amount = face.Kerning(left, right); amount != 0)
                    font.kerning[{left, right}] = amount;
    }
    return font;
}

void FontBaker::Save(const BakedFont& font, const std::string& folder)
{
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    if (error)
        throw FontBakeError("cannot create the folder " + folder + ": " + error.message());
    const std::filesystem::path base(folder);
    for (const BakedLayer& layer : font.layers)
        WriteReplacing(base / layer.imageFile, PngWriter::Encode(layer.width, layer.height, layer.rgba));
    // The description last: it names the sheets, which are then in place.
    WriteReplacing(base / (font.name + ".xml"), FontDescriptionWriter::Write(font));
}

} // namespace fontbaker
