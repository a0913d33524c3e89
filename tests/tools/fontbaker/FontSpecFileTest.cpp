#include "tools/fontbaker/FontSpecFile.h"

#include <gtest/gtest.h>


namespace fontbaker {
namespace {

TEST(FontSpecFileTest, ReadsFontsWithTheirLayersInOrder)
{
    const auto fonts = FontSpecFile::Parse("# the fonts\n"
                                           "[title]\n"
                                           "file = DejaVuSans-Bold.ttf\n"
                                           "size = 40\n"
                                           "layer = shadow color=#66000000 stroke=2 offset=2,-3\n"
                                           "layer = face color=#fff8e7\n"
                                           "\n"
                                           "[small]\r\n"
                                           "  size=14\r\n"
                                           "file=DejaVuSans.ttf\r\n"
                                           "layer = face color=#ff1d3557\r\n",
                                           "fonts.txt");
    ASSERT_EQ(fonts.size(), 2u);
    EXPECT_EQ(fonts[0].name, "title");
    EXPECT_EQ(fonts[0].file, "DejaVuSans-Bold.ttf");
    EXPECT_EQ(fonts[0].pixelSize, 40);
    ASSERT_EQ(fonts[0].layers.size(), 2u);
    EXPECT_EQ(fonts[0].layers[0].label, "shadow");
    EXPECT_EQ(fonts[0].layers[0].color, 0x66000000u);
    EXPECT_FLOAT_EQ(fonts[0].layers[0].stroke, 2.0f);
    EXPECT_EQ(fonts[0].layers[0].dx, 2);
    EXPECT_EQ(fonts[0].layers[0].dy, -3);
    EXPECT_EQ(fonts[0].layers[1].label, "face");
    EXPECT_EQ(fonts[0].layers[1].color, 0xFFFFF8E7u) << "six digits are an opaque colour";
    EXPECT_EQ(fonts[0].layers[1].stroke, 0.0f);
    EXPECT_EQ(fonts[1].name, "small");
    EXPECT_EQ(fonts[1].pixelSize, 14);
    EXPECT_EQ(fonts[1].file, "DejaVuSans.ttf");
}

// Each bad list is refused with a message that names the line and the fault.
TEST(FontSpecFileTest, RefusesBadListsNamingTheLine)
{
    const struct {
        const char* text;
        const char* expected;
    } cases[] = {
        {"[Title]\n", "fonts.txt:1: a font name uses lower-case"},
        {"size = 12\n", "fonts.txt:1: a setting before the first [font] section"},
        {"[a]\nfile = x.ttf\nsize = 12\nweight = bold\n", "fonts.txt:4: unknown key \"weight\""},
        {"[a]\nfile = x.ttf\nsize = 2\n", "fonts.txt:3: size must be a whole number from 6 to 200"},
        {"[a]\nlayer = face color=#12345\n", "fonts.txt:2: a colour is #AARRGGBB or #RRGGBB"},
        {"[a]\nlayer = face\n", "fonts.txt:2: layer \"face\" has no color"},
        {"[a]\nlayer = face color=#ffffff glow=2\n", "fonts.txt:2: unknown layer setting \"glow\""},
        {"[a]\nlayer = face color=#ffffff offset=3\n", "fonts.txt:2: offset is dx,dy"},
        {"[a]\nlayer = face color=#ffffff\nlayer = face color=#000000\n", "fonts.txt:3: layer \"face\" is listed twice"},
        {"[a]\nfile = ../x.ttf\n", "fonts.txt:2: file must name a font file inside the font folder"},
        {"[a]\nfile = x.ttf\nsize = 12\nlayer = f color=#ffffff\n[a]\n", "fonts.txt:5: font \"a\" is listed twice"},
        {"[a]\nfile = x.ttf\nlayer = f color=#ffffff\n[b]\n", "font \"a\" has no size"},
        {"[a]\nfile\n", "fonts.txt:2: expected key = value"},
    };
    for (const auto& c : cases) {
        try {
            FontSpecFile::Parse(c.text, "fonts.txt");
            ADD_FAILURE() << "accepted: " << c.text;
        } catch (const FontBakeError& error) {
            EXPECT_NE(std::string(error.what()).find(c.expected), std::string::npos)
                << "for " << c.text << "got: " << error.what();
        }
    }
}

TEST(FontSpecFileTest, AMissingListIsAnError)
{
    EXPECT_THROW(FontSpecFile::Load("/nonexistent/fonts.txt"), FontBakeError);
}

} // namespace
} // namespace fontbaker
