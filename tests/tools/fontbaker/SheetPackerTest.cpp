#include "tools/fontbaker/FontSpec.h"
#include "tools/fontbaker/SheetPacker.h"

#include <gtest/gtest.h>

#include <random>

namespace fontbaker {
namespace {

struct Rect {
    int x, y, w, h;
};

bool Overlap(const Rect& a, const Rect& b)
{
    return a.x < b.x + b.w && b.x < a.x + a.w && a.y < b.y + b.h && b.y < a.y + a.h;
}

// Every padding up to the one packed for must give cells inside the sheet
// that neither overlap nor touch (one clear pixel between them).
void ExpectCellsApart(const std::vector<SheetPacker::Size>& sizes, const SheetLayout& layout, int packedPadding)
{
    ASSERT_EQ(layout.cells.size(), sizes.size());
    for (int p = 0; p <= packedPadding; ++p) {
        std::vector<Rect> rects;
        for (std::size_t i = 0; i < sizes.size(); ++i) {
            const SheetCell& c = layout.cells[i];
            rects.push_back({c.sx + 2 * p * c.ix, c.sy + 2 * p * c.iy, sizes[i].width + 2 * p, sizes[i].height + 2 * p});
            const Rect& r = rects.back();
            EXPECT_GE(r.x, 1);
            EXPECT_GE(r.y, 1);
            EXPECT_LE(r.x + r.w, layout.width - 1);
            EXPECT_LE(r.y + r.h, layout.height - 1);
        }
        for (std::size_t i = 0; i < rects.size(); ++i)
            for (std::size_t j = i + 1; j < rects.size(); ++j) {
                const Rect grown{rects[i].x - 1, rects[i].y - 1, rects[i].w + 2, rects[i].h + 2};
                EXPECT_FALSE(Overlap(grown, rects[j])) << "cells " << i << " and " << j << " at padding " << p;
            }
    }
}

bool IsPowerOfTwo(int n)
{
    return n > 0 && (n & (n - 1)) == 0;
}

TEST(SheetPackerTest, CellsStayApartAndInsideForEveryPadding)
{
    std::mt19937 random(7);
    std::uniform_int_distribution<int> side(0, 30);
    std::vector<SheetPacker::Size> sizes;
    for (int i = 0; i < 150; ++i)
        sizes.push_back({side(random), side(random)});
    const SheetLayout layout = SheetPacker::Pack(sizes, 3, 1024);
    EXPECT_TRUE(IsPowerOfTwo(layout.width));
    EXPECT_TRUE(IsPowerOfTwo(layout.height));
    ExpectCellsApart(sizes, layout, 3);
}

TEST(SheetPackerTest, ChoosesTheSmallestSheet)
{
    // Sixteen 14x14 cells need 16 * 15 + 1 = 241 pixels in a row: a 256 x 16 sheet.
    const std::vector<SheetPacker::Size> sizes(16, {14, 14});
    const SheetLayout layout = SheetPacker::Pack(sizes, 0, 1024);
    EXPECT_EQ(layout.width * layout.height, 256 * 16);
    ExpectCellsApart(sizes, layout, 0);

    // The same cells padded by 1 no longer fit a row of 256 (16 * 17 + 1).
    const SheetLayout padded = SheetPacker::Pack(sizes, 1, 1024);
    EXPECT_GT(padded.width * padded.height, 256 * 16);
    ExpectCellsApart(sizes, padded, 1);
}

TEST(SheetPackerTest, CellIndicesCountColumnsAndShelves)
{
    const std::vector<SheetPacker::Size> sizes(40, {10, 10});
    const SheetLayout layout = SheetPacker::Pack(sizes, 2, 1024);
    // 128 x 128 is the squarest of the smallest sheets: eight padded cells of
    // 14 a row (1 + 8 * 15 = 121), five shelves.
    EXPECT_EQ(layout.width, 128);
    EXPECT_EQ(layout.height, 128);
    for (std::size_t i = 0; i < sizes.size(); ++i) {
        EXPECT_EQ(layout.cells[i].ix, static_cast<int>(i % 8));
        EXPECT_EQ(layout.cells[i].iy, static_cast<int>(i / 8));
        EXPECT_EQ(layout.cells[i].sx, 1 + 11 * layout.cells[i].ix);
        EXPECT_EQ(layout.cells[i].sy, 1 + 11 * layout.cells[i].iy);
    }
}

TEST(SheetPackerTest, RefusesWhatDoesNotFit)
{
    EXPECT_THROW(SheetPacker::Pack({{1023, 10}}, 0, 1024), FontBakeError) << "no room for the gap pixels";
    EXPECT_NO_THROW(SheetPacker::Pack({{1022, 10}}, 0, 1024));
    EXPECT_THROW(SheetPacker::Pack(std::vector<SheetPacker::Size>(400, {60, 60}), 0, 1024), FontBakeError);
}

TEST(SheetPackerTest, EmptyCellsStillGetPlaces)
{
    const std::vector<SheetPacker::Size> sizes{{0, 0}, {5, 0}, {0, 5}, {8, 8}};
    const SheetLayout layout = SheetPacker::Pack(sizes, 2, 1024);
    ExpectCellsApart(sizes, layout, 2);
}

} // namespace
} // namespace fontbaker
