#include "framework/core/files/FilePath.h"

#include <gtest/gtest.h>

namespace file_path_test {

namespace {

TEST(FilePathTest, NormalisePath)
{
    EXPECT_EQ(Qmv2::NormalisePath("a\\b//c/./d"), "a/b/c/d");
    EXPECT_EQ(Qmv2::NormalisePath("../data/x"), ".data/x");
    EXPECT_EQ(Qmv2::NormalisePath("a////b\\\\c"), "a/b/c");
    EXPECT_EQ(Qmv2::NormalisePath(""), "");
}

TEST(FilePathTest, ResourceNamesDirectoriesAndExtensions)
{
    EXPECT_EQ(Qmv2::NormaliseResourceName("/Images/Logo.PNG"), "images/logo.png");
    EXPECT_EQ(Qmv2::NormaliseResourceName("\\\\Fonts\\Big.XML"), "fonts/big.xml");
    EXPECT_EQ(Qmv2::GetFileExtension("Image.PNG"), "png");
    EXPECT_EQ(Qmv2::GetFileExtension("README"), "README");
    EXPECT_EQ(Qmv2::GetFileExtension("name."), "");
    EXPECT_EQ(Qmv2::GetFileExtension(""), "");
    EXPECT_EQ(Qmv2::GetPathDirectory("fonts/big/font.xml"), "fonts/big");
    EXPECT_EQ(Qmv2::GetPathDirectory("fonts\\big\\font.xml"), "fonts/big");
    EXPECT_EQ(Qmv2::GetPathDirectory("font.xml"), "font.xml");
    EXPECT_EQ(Qmv2::GetPathDirectory(""), "");
}

TEST(FilePathTest, EscapeFileName)
{
    EXPECT_EQ(Qmv2::EscapeFileName("CON"), "#43ON");
    EXPECT_EQ(Qmv2::EscapeFileName("CON.sav"), "#43ON.sav");
    EXPECT_EQ(Qmv2::EscapeFileName("CONSOLE"), "CONSOLE");
    EXPECT_EQ(Qmv2::EscapeFileName("con"), "con");
    EXPECT_EQ(Qmv2::EscapeFileName("LPT9"), "#4CPT9");
    EXPECT_EQ(Qmv2::EscapeFileName(".abc"), "#2Eabc");
    EXPECT_EQ(Qmv2::EscapeFileName(" a"), "#20a");
    EXPECT_EQ(Qmv2::EscapeFileName("a b"), "a b");
    EXPECT_EQ(Qmv2::EscapeFileName("a:b"), "a#3Ab");
    EXPECT_EQ(Qmv2::EscapeFileName("#1"), "#231");
    EXPECT_EQ(Qmv2::EscapeFileName("../x\\y"), "#2E.#2Fx#5Cy");
    EXPECT_EQ(Qmv2::EscapeFileName("<untitled>"), "#3Cuntitled#3E");
    // UTF-8: lead bytes stay, continuation bytes are escaped.
    EXPECT_EQ(Qmv2::EscapeFileName("\xC3\xA9"), "\xC3#A9");
    EXPECT_EQ(Qmv2::EscapeFileName(std::string("a\x01\x7F", 3)), "a#01#7F");
}

TEST(FilePathTest, EscapingIsOneToOne)
{
    // Texts that differ only where escaping happens must not meet.
    EXPECT_NE(Qmv2::EscapeFileName("#3A"), Qmv2::EscapeFileName(":"));
    EXPECT_NE(Qmv2::EscapeFileName("a#"), Qmv2::EscapeFileName("a#23"));
}

}  // namespace

}  // namespace file_path_test
