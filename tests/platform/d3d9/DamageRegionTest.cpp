// Which damaged rectangles a triangle's rectangle meets, and when a frame is
// cheaper drawn whole than cut to its damage.
#include "platform/d3d9/gl/DamageRegion.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace damage_region_test {

namespace {

using platform::d3d9::DamageRegion;
using platform::d3d9::PixelRect;
using platform::d3d9::RecordedDraw;

constexpr int kWidth = 800;
constexpr int kHeight = 600;

TEST(DamageRegionTest, ARectangleMeetsExactlyTheDamagedRectanglesItOverlaps)
{
    // Rectangles on and across the grid's cell borders, one a pixel wide,
    // one along the target's last row and column.
    const std::vector<PixelRect> rects{{31, 31, 33, 33}, {64, 0, 65, 600}, {100, 100, 164, 130},
                                       {700, 590, 800, 600}, {0, 200, 800, 201}, {300, 300, 301, 301}};
    const DamageRegion region(rects, kWidth, kHeight);
    int met = 0;
    for (int top = 0; top < kHeight; top += 7) {
        for (int left = 0; left < kWidth; left += 7) {
            for (const int side : {1, 5, 40}) {
                const PixelRect probe{left, top, left + side, top + side};
                std::uint64_t expected = 0;
                for (size_t i = 0; i < rects.size(); ++i) {
                    if (rects[i].Intersects(probe)) {
                        expected |= std::uint64_t{1} << i;
                    }
                }
                ASSERT_EQ(region.Met(probe), expected) << left << ", " << top << ", side " << side;
                met += expected != 0 ? 1 : 0;
            }
        }
    }
    EXPECT_GT(met, 1000) << "the probes met the rectangles often";
    EXPECT_EQ(region.Met(PixelRect{}), 0u) << "an empty rectangle meets nothing";
}

TEST(DamageRegionTest, AFrameMostlyDamagedIsCheaperDrawnWhole)
{
    // A whole clear and a list of 1 000 sprites of 32 x 32 spread over the target.
    std::vector<RecordedDraw> frame(2);
    frame[0].clear = true;
    frame[0].bounds = {0, 0, kWidth, kHeight};
    std::vector<PixelRect> sprites;
    for (int i = 0; i < 1000; ++i) {
        const int x = (i * 37) % (kWidth - 32);
        const int y = (i * 53) % (kHeight - 32);
        sprites.push_back({x, y, x + 32, y + 32});
        frame[1].triangleBounds.push_back(sprites.back());
        frame[1].triangleBounds.push_back(sprites.back());
    }
    frame[1].bounds = {0, 0, kWidth, kHeight};
    // Fifty of them damaged: cut.
    std::vector<PixelRect> few;
    for (int i = 0; i < 1000; i += 20) {
        few.push_back(sprites[static_cast<size_t>(i)]);
    }
    EXPECT_FALSE(DamageRegion(few, kWidth, kHeight).CheaperWhole(frame));
    // Nearly all the target damaged, in a few bands: whole.
    const std::vector<PixelRect> most{{0, 0, kWidth, 290}, {0, 300, kWidth, kHeight}};
    EXPECT_TRUE(DamageRegion(most, kWidth, kHeight).CheaperWhole(frame));
}

}  // namespace

}  // namespace damage_region_test
