#include "platform/win32/Letterbox.h"

#include <gtest/gtest.h>

namespace letterbox_test {

namespace {

using platform::Letterbox;

TEST(LetterboxTest, FitsThePictureWithItsAspectCentred)
{
    Letterbox same(800, 600, 800, 600);
    EXPECT_EQ(same.ViewportX(), 0);
    EXPECT_EQ(same.ViewportWidth(), 800);
    EXPECT_DOUBLE_EQ(same.Scale(), 1.0);

    Letterbox wide(800, 600, 1920, 1080);
    EXPECT_EQ(wide.ViewportX(), 240);
    EXPECT_EQ(wide.ViewportY(), 0);
    EXPECT_EQ(wide.ViewportWidth(), 1440);
    EXPECT_EQ(wide.ViewportHeight(), 1080);

    Letterbox tall(800, 600, 800, 1000);
    EXPECT_EQ(tall.ViewportX(), 0);
    EXPECT_EQ(tall.ViewportY(), 200);
    EXPECT_EQ(tall.ViewportHeight(), 600);

    Letterbox odd(800, 600, 1366, 768);
    EXPECT_EQ(odd.ViewportWidth(), 1024);
    EXPECT_EQ(odd.ViewportX(), 171);
}

TEST(LetterboxTest, MapsBothWaysWithoutDrift)
{
    Letterbox box(800, 600, 1280, 1024);  // scale 1.6, bars above and below
    for (int x : {0, 1, 5, 399, 799}) {
        for (int y : {0, 3, 300, 599}) {
            int sx = 0;
            int sy = 0;
            box.ToSurface(x, y, sx, sy);
            int lx = -1;
            int ly = -1;
            box.ToLogical(sx, sy, lx, ly);
            EXPECT_EQ(lx, x);
            EXPECT_EQ(ly, y);
        }
    }
    int lx = 0;
    int ly = 0;
    box.ToLogical(0, 0, lx, ly);
    EXPECT_EQ(lx, 0);
    EXPECT_LT(ly, 0) << "the top bar is above the picture";
}

TEST(LetterboxTest, EmptySizesMapOneToOne)
{
    Letterbox minimised(800, 600, 0, 0);
    int lx = 0;
    int ly = 0;
    minimised.ToLogical(10, 20, lx, ly);
    EXPECT_EQ(lx, 10);
    EXPECT_EQ(ly, 20);
}

}  // namespace

}  // namespace letterbox_test
