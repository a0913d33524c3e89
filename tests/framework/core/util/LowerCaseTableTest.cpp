#include "framework/core/util/LowerCaseTable.h"
#include "framework/core/util/UTF8String.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cwctype>
#include <map>
#include "tests/SkipOutsideCi.h"

namespace lower_case_table_test {

namespace {

using Qmv2::LowerCaseTable;

TEST(LowerCaseTableTest, RowsPerBlock)
{
    ASSERT_EQ(LowerCaseTable::RowCount(), 880);
    std::map<std::uint32_t, int> perBlock;
    for (int i = 0; i < LowerCaseTable::RowCount(); ++i)
        ++perBlock[LowerCaseTable::Rows()[i].codePoint & ~0xFFu];
    const std::map<std::uint32_t, int> expected = {
        {0x0000, 56}, {0x0100, 131}, {0x0200, 39}, {0x0300, 52}, {0x0400, 124}, {0x0500, 48},
        {0x1000, 38}, {0x1E00, 120}, {0x1F00, 96}, {0x2100, 5}, {0x2C00, 105}, {0xFF00, 26},
        {0x10400, 40},
    };
    EXPECT_EQ(perBlock, expected);
    EXPECT_EQ(LowerCaseTable::Rows()[880].codePoint, 0u);
}

TEST(LowerCaseTableTest, RowsAreSortedAndWellFormed)
{
    const Qmv2::LowerCaseRow* rows = LowerCaseTable::Rows();
    int multi = 0;
    for (int i = 0; i < LowerCaseTable::RowCount(); ++i) {
        if (i > 0) {
            EXPECT_LT(rows[i - 1].codePoint, rows[i].codePoint);
        }
        EXPECT_NE(rows[i].lower[0], 0u);
        EXPECT_NE(rows[i].lower[0], rows[i].codePoint);
        if (rows[i].lower[1] != 0)
            ++multi;
        EXPECT_EQ(LowerCaseTable::Find(rows[i].codePoint), &rows[i]);
    }
    EXPECT_EQ(multi, 1);   // only U+0130
    const Qmv2::LowerCaseRow* dotted = LowerCaseTable::Find(0x130);
    ASSERT_NE(dotted, nullptr);
    EXPECT_EQ(dotted->lower[0], 0x69u);
    EXPECT_EQ(dotted->lower[1], 0x307u);
}

TEST(LowerCaseTableTest, ChosenRowsAndGaps)
{
    EXPECT_EQ(LowerCaseTable::Find(0x2126)->lower[0], 0x3C9u);   // ohm sign
    EXPECT_EQ(LowerCaseTable::Find(0x212A)->lower[0], 0x6Bu);    // kelvin sign
    EXPECT_EQ(LowerCaseTable::Find(0x212B)->lower[0], 0xE5u);
    EXPECT_EQ(LowerCaseTable::Find(0x2183)->lower[0], 0x2184u);
    EXPECT_EQ(LowerCaseTable::Find(0x10427)->lower[0], 0x1044Fu);
    EXPECT_EQ(LowerCaseTable::Find(0x2C75)->lower[0], 0x2C76u);
    EXPECT_EQ(LowerCaseTable::Find(0x1E9E), nullptr);   // added after the table's version
    EXPECT_EQ(LowerCaseTable::Find(0xA640), nullptr);
    EXPECT_EQ(LowerCaseTable::Find(0x2160), nullptr);   // roman numerals are not letters
    EXPECT_EQ(LowerCaseTable::Find(0x24B6), nullptr);   // nor are circled letters
    EXPECT_EQ(LowerCaseTable::Find(0x61), nullptr);
    EXPECT_EQ(LowerCaseTable::Find(0), nullptr);
    EXPECT_EQ(LowerCaseTable::Find(0x10FFFF), nullptr);
}

// The C library's own case data (a newer Unicode) agrees on every row that
// maps to one code point, and lowers nothing the table leaves out except
// characters of later versions and non-letters.
TEST(LowerCaseTableTest, AgreesWithTheCLibrary)
{
    if (!std::setlocale(LC_CTYPE, "C.UTF-8"))
        QMV_SKIP_OUTSIDE_CI("no C.UTF-8 locale");
    for (int i = 0; i < LowerCaseTable::RowCount(); ++i) {
        const Qmv2::LowerCaseRow& row = LowerCaseTable::Rows()[i];
        if (row.lower[1] == 0) {
            EXPECT_EQ(static_cast<std::uint32_t>(std::towlower(row.codePoint)), row.lower[0]) << std::hex << row.codePoint;
        }
    }
    int libraryOnly = 0;
    for (std::uint32_t cp = 1; cp < 0x10500; ++cp) {
        if (static_cast<std::uint32_t>(std::towlower(cp)) != cp && !LowerCaseTable::Find(cp))
            ++libraryOnly;
        // Everything without a row maps to itself.
        if (!LowerCaseTable::Find(cp)) {
            ASSERT_EQ(Qmv2::CodePointToLower(cp), Qmv2::EncodeCodePoint(cp)) << std::hex << cp;
        }
    }
    std::setlocale(LC_CTYPE, "C");
    // Roman numerals (16), circled letters (26) and the later additions.
    EXPECT_GE(libraryOnly, 42);
    EXPECT_LT(libraryOnly, 400);
}

} // namespace

}  // namespace lower_case_table_test
