#include "tools/fontbaker/FontBaker.h"
#include "tools/fontbaker/FontFileSupport.h"
#include "tools/fontbaker/FontSpecFile.h"

#include <gtest/gtest.h>

#include <ft2build.h>
#include FT_FREETYPE_H

#include <png.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

namespace fontbaker {
namespace {

const std::string kFontFolder = "/usr/share/fonts/truetype/dejavu";

FontSpec ThreeLayerSpec()
{
    FontSpec spec;
    spec.name = "sample";
    spec.file = "DejaVuSans.ttf";
    spec.pixelSize = 20;
    spec.layers = {{"shadow", 0x80000000u, 0.0f, 2, 2}, {"outline", 0xFF102030u, 2.0f, 0, 0},
                   {"face", 0xFFFFFFFFu, 0.0f, 0, 0}};
    return spec;
}

// FreeType opened by the test itself, to check the baker's figures against.
class ReferenceFace {
public:
    ReferenceFace(const std::string& file, int pixelSize)
    {
        FT_Init_FreeType(&m_Library);
        FT_New_Face(m_Library, (kFontFolder + "/" + file).c_str(), 0, &m_Face);
        FT_Set_Pixel_Sizes(m_Face, 0, pixelSize);
    }
    ~ReferenceFace()
    {
        FT_Done_Face(m_Face);
        FT_Done_FreeType(m_Library);
    }
    long Advance(char32_t code)
    {
        FT_Load_Char(m_Face, code, FT_LOAD_DEFAULT | FT_LOAD_NO_BITMAP);
        return (m_Face->glyph->advance.x + 32) >> 6;
    }
    long Kerning(char32_t left, char32_t right)
    {
        FT_Vector delta{0, 0};
        FT_Get_Kerning(m_Face, FT_Get_Char_Index(m_Face, left), FT_Get_Char_Index(m_Face, right), FT_KERNING_DEFAULT,
                       &delta);
        return (delta.x + 32) >> 6;
    }

private:
    FT_Library m_Library = nullptr;
    FT_Face m_Face = nullptr;
};

struct Box {
    int x, y, w, h;
};

Box PaddedCell(const test::ReadGlyph& glyph, int padding)
{
    return {static_cast<int>(glyph.sx) + 2 * padding * glyph.ix, static_cast<int>(glyph.sy) + 2 * padding * glyph.iy,
            static_cast<int>(glyph.sw) + 2 * padding, static_cast<int>(glyph.sh) + 2 * padding};
}

// Columns of a cell that hold any coverage: (first, last), or (-1, -1).
std::pair<int, int> InkColumns(const test::DecodedPng& sheet, const Box& cell)
{
    int first = -1;
    int last = -1;
    for (int x = 0; x < cell.w; ++x)
        for (int y = 0; y < cell.h; ++y)
            if (sheet.Alpha(cell.x + x, cell.y + y) > 0) {
                if (first < 0)
                    first = x;
                last = x;
            }
    return {first, last};
}

// One bake of a three-layer font, saved and read back, shared by the tests.
class FontBakerTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        s_Folder = test::FreshFolder("sample");
        const BakedFont font = FontBaker::Bake(ThreeLayerSpec(), kFontFolder, FontBaker::GameCharset());
        FontBaker::Save(font, s_Folder);
        s_Font = new test::ReadFont(test::ReadFontFile(s_Folder + "/sample.xml"));
        for (const test::ReadLayer& layer : s_Font->layers)
            s_Sheets.push_back(test::DecodePng(s_Folder + "/" + layer.image));
    }
    static void TearDownTestSuite()
    {
        delete s_Font;
        s_Font = nullptr;
        s_Sheets.clear();
    }

    static const test::ReadGlyph& Glyph(char32_t code) { return s_Font->glyphs.at(code); }

    static std::string s_Folder;
    static test::ReadFont* s_Font;
    static std::vector<test::DecodedPng> s_Sheets;
};

std::string FontBakerTest::s_Folder;
test::ReadFont* FontBakerTest::s_Font = nullptr;
std::vector<test::DecodedPng> FontBakerTest::s_Sheets;

TEST_F(FontBakerTest, DescriptionHoldsTheGamesCharactersAndLayers)
{
    for (char32_t code : FontBaker::GameCharset()) {
        if (code == 0x20 || code == 0xA0)
            EXPECT_EQ(s_Font->glyphs.count(code), 0u) << "spaces come from spacewidth";
        else
            EXPECT_EQ(s_Font->glyphs.count(code), 1u) << "U+" << std::hex << static_cast<unsigned>(code);
    }
    ReferenceFace reference("DejaVuSans.ttf", 20);
    EXPECT_EQ(s_Font->spaceWidth, reference.Advance(' '));
    EXPECT_GT(s_Font->lineHeight, 20.0f);

    ASSERT_EQ(s_Font->layers.size(), 3u);
    EXPECT_EQ(s_Font->layers[0].image, "sample_shadow.png");
    EXPECT_EQ(s_Font->layers[1].image, "sample_outline.png");
    EXPECT_EQ(s_Font->layers[2].image, "sample_face.png");
    EXPECT_EQ(s_Font->layers[1].color, 0xFF102030u);
    ASSERT_EQ(s_Sheets.size(), 3u);
    for (const test::DecodedPng& sheet : s_Sheets) {
        EXPECT_EQ(sheet.format, static_cast<std::uint32_t>(PNG_FORMAT_RGBA)) << "8-bit RGBA";
        EXPECT_LE(sheet.width, 1024);
        EXPECT_LE(sheet.height, 1024);
        EXPECT_EQ(sheet.width & (sheet.width - 1), 0) << "power of two";
        EXPECT_EQ(sheet.height & (sheet.height - 1), 0) << "power of two";
    }
}

TEST_F(FontBakerTest, GlyphCellsLieInsideTheirSheetAndApart)
{
    for (std::size_t l = 0; l < s_Font->layers.size(); ++l) {
        const int padding = static_cast<int>(s_Font->layers[l].padding);
        std::vector<std::pair<char32_t, Box>> cells;
        for (const auto& [code, glyph] : s_Font->glyphs) {
            const Box box = PaddedCell(glyph, padding);
            EXPECT_GE(box.x, 0);
            EXPECT_GE(box.y, 0);
            EXPECT_LE(box.x + box.w, s_Sheets[l].width);
            EXPECT_LE(box.y + box.h, s_Sheets[l].height);
            cells.emplace_back(code, box);
        }
        for (std::size_t i = 0; i < cells.size(); ++i)
            for (std::size_t j = i + 1; j < cells.size(); ++j) {
                const Box& a = cells[i].second;
                const Box& b = cells[j].second;
                const bool overlap = a.x < b.x + b.w && b.x < a.x + a.w && a.y < b.y + b.h && b.y < a.y + a.h;
                EXPECT_FALSE(overlap) << "layer " << l << ": U+" << std::hex << static_cast<unsigned>(cells[i].first)
                                      << " and U+" << static_cast<unsigned>(cells[j].first);
            }
    }
}

TEST_F(FontBakerTest, AdvancesMatchFreeType)
{
    ReferenceFace reference("DejaVuSans.ttf", 20);
    for (char32_t code : {U'A', U'W', U'i', U'm', U'1', U'\u00E9', U'\u2014', U'\u2026'})
        EXPECT_EQ(Glyph(code).width, reference.Advance(code)) << "U+" << std::hex << static_cast<unsigned>(code);
    EXPECT_GT(Glyph('W').width, Glyph('i').width);
}

TEST_F(FontBakerTest, KerningPairsOfTheFontAreEmitted)
{
    ReferenceFace reference("DejaVuSans.ttf", 20);
    const auto av = s_Font->kerning.find({'A', 'V'});
    ASSERT_NE(av, s_Font->kerning.end()) << "A V is a kerning pair of DejaVu Sans";
    EXPECT_LT(av->second, 0.0f);
    EXPECT_EQ(av->second, reference.Kerning('A', 'V'));
    for (const auto& [pair, amount] : s_Font->kerning) {
        EXPECT_NE(amount, 0.0f);
        EXPECT_EQ(amount, reference.Kerning(pair.first, pair.second));
    }
    EXPECT_EQ(s_Font->kerning.count({'A', 'B'}), 0u);
}

TEST_F(FontBakerTest, OutlineLayerIsWiderThanTheFace)
{
    const int outlinePadding = static_cast<int>(s_Font->layers[1].padding);
    const int facePadding = static_cast<int>(s_Font->layers[2].padding);
    EXPECT_EQ(facePadding, 0);
    EXPECT_GE(outlinePadding, 2) << "a stroke of 2 pixels needs at least 2 pixels round the glyph";
    EXPECT_LE(outlinePadding, 4);

    const auto face = InkColumns(s_Sheets[2], PaddedCell(Glyph('O'), facePadding));
    const auto outline = InkColumns(s_Sheets[1], PaddedCell(Glyph('O'), outlinePadding));
    ASSERT_GE(face.first, 0);
    ASSERT_GE(outline.first, 0);
    const int faceWidth = face.second - face.first + 1;
    const int outlineWidth = outline.second - outline.first + 1;
    EXPECT_GE(outlineWidth, faceWidth + 3);
    EXPECT_LE(outlineWidth, faceWidth + 6);
}

// The shadow is the face's coverage moved by its offset, in its colour.
TEST_F(FontBakerTest, ShadowIsTheFaceMovedByItsOffset)
{
    const int shadowPadding = static_cast<int>(s_Font->layers[0].padding);
    EXPECT_EQ(shadowPadding, 2);
    for (char32_t code : {U'g', U'.', U'Q'}) {
        const test::ReadGlyph& glyph = Glyph(code);
        const Box face = PaddedCell(glyph, 0);
        const Box shadow = PaddedCell(glyph, shadowPadding);
        for (int y = 0; y < face.h; ++y)
            for (int x = 0; x < face.w; ++x) {
                const unsigned coverage = s_Sheets[2].Alpha(face.x + x, face.y + y);
                const unsigned expected = (coverage * 0x80 + 127) / 255;
                ASSERT_EQ(s_Sheets[0].Alpha(shadow.x + shadowPadding + 2 + x, shadow.y + shadowPadding + 2 + y),
                          expected)
                    << "glyph " << static_cast<char>(code) << " at " << x << "," << y;
            }
    }
}

TEST_F(FontBakerTest, SheetsHaveCoverageOnlyWhereGlyphsAre)
{
    for (std::size_t l = 0; l < s_Font->layers.size(); ++l) {
        const test::DecodedPng& sheet = s_Sheets[l];
        const int padding = static_cast<int>(s_Font->layers[l].padding);
        std::vector<bool> inCell(static_cast<std::size_t>(sheet.width) * sheet.height, false);
        for (const auto& [code, glyph] : s_Font->glyphs) {
            const Box box = PaddedCell(glyph, padding);
            if (glyph.sw > 0 && glyph.sh > 0) {
                EXPECT_GE(InkColumns(sheet, box).first, 0)
                    << "layer " << l << ": U+" << std::hex << static_cast<unsigned>(code) << " is blank";
            }
            for (int y = box.y; y < box.y + box.h; ++y)
                for (int x = box.x; x < box.x + box.w; ++x)
                    inCell[static_cast<std::size_t>(y) * sheet.width + x] = true;
        }
        const std::uint32_t color = s_Font->layers[l].color;
        int stray = 0;
        for (int y = 0; y < sheet.height; ++y)
            for (int x = 0; x < sheet.width; ++x) {
                const std::uint8_t* pixel = &sheet.rgba[(static_cast<std::size_t>(y) * sheet.width + x) * 4];
                if (pixel[3] > 0 && !inCell[static_cast<std::size_t>(y) * sheet.width + x])
                    ++stray;
                // Every pixel is white; alpha carries the coverage, at most
                // the layer colour's alpha (the colour itself tints at draw time).
                ASSERT_EQ(pixel[0], 0xFF);
                ASSERT_EQ(pixel[1], 0xFF);
                ASSERT_EQ(pixel[2], 0xFF);
                ASSERT_LE(pixel[3], color >> 24);
            }
        EXPECT_EQ(stray, 0) << "layer " << l;
    }
}

TEST_F(FontBakerTest, GlyphsHangFromOneBaseline)
{
    float topmost = 1e9f;
    float tallest = 0;
    for (const auto& [code, glyph] : s_Font->glyphs) {
        topmost = std::min(topmost, glyph.by);
        tallest = std::max(tallest, glyph.sh + glyph.by);
    }
    EXPECT_EQ(topmost, 0.0f) << "the highest glyph touches the top of the line";
    // Capitals stand on the baseline; descenders reach below it.
    EXPECT_EQ(Glyph('H').by + Glyph('H').sh, s_Font->baseline);
    EXPECT_EQ(Glyph('x').by + Glyph('x').sh, s_Font->baseline);
    EXPECT_GT(Glyph('x').by, Glyph('H').by);
    EXPECT_GT(Glyph('g').by + Glyph('g').sh, s_Font->baseline);
    EXPECT_GT(Glyph(0xC9).sh, Glyph('E').sh) << "the accent of E acute is kept";
    EXPECT_GE(tallest, s_Font->baseline);
}

TEST(FontBakerRunTest, TwoRunsWriteIdenticalBytes)
{
    const FontSpec spec = ThreeLayerSpec();
    const std::string first = test::FreshFolder("run1");
    const std::string second = test::FreshFolder("run2");
    FontBaker::Save(FontBaker::Bake(spec, kFontFolder, FontBaker::GameCharset()), first);
    FontBaker::Save(FontBaker::Bake(spec, kFontFolder, FontBaker::GameCharset()), second);
    int files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(first)) {
        const std::string name = entry.path().filename().string();
        EXPECT_EQ(test::ReadBytes(first + "/" + name), test::ReadBytes(second + "/" + name)) << name;
        EXPECT_EQ(entry.path().extension() == ".tmp", false) << "left behind: " << name;
        ++files;
    }
    EXPECT_EQ(files, 4) << "the description and three sheets";
}

TEST(FontBakerRunTest, CharactersTheFontLacksAreLeftOutAndReported)
{
    FontSpec spec = ThreeLayerSpec();
    spec.layers.resize(1);
    std::vector<char32_t> missing;
    const BakedFont font = FontBaker::Bake(spec, kFontFolder, {U'A', U'\u4E00', U'A', U' '}, &missing);
    ASSERT_EQ(font.glyphs.size(), 1u);
    EXPECT_EQ(font.glyphs[0].code, U'A');
    EXPECT_EQ(missing, std::vector<char32_t>{U'\u4E00'});
}

TEST(FontBakerRunTest, RefusesWhatCannotBeBaked)
{
    FontSpec spec = ThreeLayerSpec();
    spec.file = "NoSuchFont.ttf";
    EXPECT_THROW(FontBaker::Bake(spec, kFontFolder, FontBaker::GameCharset()), FontBakeError);

    FontSpec huge = ThreeLayerSpec();
    huge.pixelSize = 200;
    huge.layers[1].stroke = 16.0f;
    try {
        FontBaker::Bake(huge, kFontFolder, FontBaker::GameCharset());
        ADD_FAILURE() << "a 200 pixel font with a 16 pixel outline fits no 1024 sheet";
    } catch (const FontBakeError& error) {
        EXPECT_NE(std::string(error.what()).find("1024x1024"), std::string::npos) << error.what();
    }

    FontSpec noLayers = ThreeLayerSpec();
    noLayers.layers.clear();
    EXPECT_THROW(FontBaker::Bake(noLayers, kFontFolder, FontBaker::GameCharset()), FontBakeError);
}

TEST(FontBakerRunTest, SavingIntoAFileFails)
{
    const std::string folder = test::FreshFolder("blocked");
    const BakedFont font = FontBaker::Bake(ThreeLayerSpec(), kFontFolder, {U'A'});
    std::ofstream(folder + "/file") << "x";
    EXPECT_THROW(FontBaker::Save(font, folder + "/file"), FontBakeError);
}

// The build bakes every font of the game's list into the run folder.
TEST(FontBakerRunTest, TheGamesFontsAreInTheRunFolder)
{
    const std::string folder = std::string(QMV_RUN_DIR) + "/fonts";
    const auto specs = FontSpecFile::Load(QMV_SOURCE_DIR "/content/fonts/fonts.txt");
    EXPECT_GE(specs.size(), 4u);
    for (const FontSpec& spec : specs) {
        EXPECT_LE(spec.pixelSize, 64) << spec.name << " is too large for an 800x600 screen";
        const test::ReadFont font = test::ReadFontFile(folder + "/" + spec.name + ".xml");
        EXPECT_GE(font.glyphs.size(), 190u) << spec.name;
        ASSERT_EQ(font.layers.size(), spec.layers.size()) << spec.name;
        for (const test::ReadLayer& layer : font.layers) {
            const test::DecodedPng sheet = test::DecodePng(folder + "/" + layer.image);
            EXPECT_GT(sheet.width, 0) << layer.image;
            EXPECT_LE(sheet.width, 1024) << layer.image;
            EXPECT_LE(sheet.height, 1024) << layer.image;
        }
    }
}

} // namespace
} // namespace fontbaker
