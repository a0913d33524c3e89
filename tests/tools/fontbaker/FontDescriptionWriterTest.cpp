#include "tools/fontbaker/FontDescriptionWriter.h"
#include "tools/fontbaker/FontFileSupport.h"

#include <gtest/gtest.h>

#include <fstream>

namespace fontbaker {
namespace {

std::string WriteAndKeep(const BakedFont& font, const std::string& folder)
{
    const std::string path = test::FreshFolder(folder) + "/" + font.name + ".xml";
    std::ofstream(path, std::ios::binary) << FontDescriptionWriter::Write(font);
    return path;
}

// Characters that XML, the "c" rule or the kerning notation treat specially
// must come back as the same code points.
TEST(FontDescriptionWriterTest, AwkwardCharactersReadBackUnchanged)
{
    const std::vector<char32_t> codes{'A', '#', '"', '&', '<', '>', '\'', ',', ';', '0', 0xA0, 0xE9, 0x2026, 0x201C};
    BakedFont font;
    font.name = "awkward";
    int n = 0;
    for (char32_t code : codes) {
        BakedGlyph glyph;
        glyph.code = code;
        glyph.sx = n;
        glyph.sw = n + 1;
        glyph.advance = 10 + n;
        glyph.ix = n;
        glyph.by = n % 3;
        glyph.bx = -1;
        font.glyphs.push_back(glyph);
        ++n;
    }
    font.kerning[{'A', 'V'}] = -2;
    font.kerning[{'A', ','}] = -2;
    font.kerning[{'#', ';'}] = -1;
    font.kerning[{',', '#'}] = 3;
    font.kerning[{0x201C, 0xC6}] = -3;
    font.kerning[{' ', 'T'}] = -1;

    const test::ReadFont read = test::ReadFontFile(WriteAndKeep(font, "awkward"));
    ASSERT_EQ(read.glyphs.size(), codes.size());
    for (const BakedGlyph& glyph : font.glyphs) {
        ASSERT_EQ(read.glyphs.count(glyph.code), 1u) << "U+" << std::hex << static_cast<unsigned>(glyph.code);
        const test::ReadGlyph& back = read.glyphs.at(glyph.code);
        EXPECT_EQ(back.sx, glyph.sx);
        EXPECT_EQ(back.sw, glyph.sw);
        EXPECT_EQ(back.width, glyph.advance);
        EXPECT_EQ(back.ix, glyph.ix);
        EXPECT_EQ(back.bx, -1.0f);
        EXPECT_EQ(back.by, glyph.by);
    }
    std::map<std::pair<char32_t, char32_t>, float> expected;
    for (const auto& [pair, amount] : font.kerning)
        expected[pair] = static_cast<float>(amount);
    EXPECT_EQ(read.kerning, expected);
}

TEST(FontDescriptionWriterTest, CharTextsFollowTheReadingRule)
{
    EXPECT_EQ(FontDescriptionWriter::CharText('A'), "A");
    EXPECT_EQ(FontDescriptionWriter::CharText('#'), "#23") << "a lone # would read as code point 0";
    EXPECT_EQ(FontDescriptionWriter::CharText(' '), "#20");
    EXPECT_EQ(FontDescriptionWriter::CharText(0x2026), "#2026");
    EXPECT_EQ(test::ReadCharText("#"), 0u);
    EXPECT_EQ(test::ReadCharText(""), 0xFFFFFFFFu);
    EXPECT_EQ(FontDescriptionWriter::KerningCharText(','), "#2C;");
    EXPECT_EQ(FontDescriptionWriter::KerningCharText('T'), "T");
    // The reading rule's own example.
    const auto pairs = test::ReadKerningEntry("AVW,T#2C;", -2.0f);
    const std::map<std::pair<char32_t, char32_t>, float> expected{
        {{'A', 'V'}, -2.0f}, {{'A', 'W'}, -2.0f}, {{'T', ','}, -2.0f}};
    EXPECT_EQ(pairs, expected);
}

} // namespace
} // namespace fontbaker
