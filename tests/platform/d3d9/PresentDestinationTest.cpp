#include "platform/d3d9/PresentDestination.h"

#include <gtest/gtest.h>

namespace platform {
namespace {

void ExpectRect(const RECT& r, LONG left, LONG top, LONG right, LONG bottom)
{
    EXPECT_EQ(r.left, left);
    EXPECT_EQ(r.top, top);
    EXPECT_EQ(r.right, right);
    EXPECT_EQ(r.bottom, bottom);
}

TEST(PresentDestinationTest, LetterboxKeepsTheAspectRatioCentred)
{
    ExpectRect(LetterboxRect(800, 600, 800, 600), 0, 0, 800, 600);
    ExpectRect(LetterboxRect(800, 600, 1600, 1200), 0, 0, 1600, 1200);
    ExpectRect(LetterboxRect(800, 600, 1920, 1080), 240, 0, 1680, 1080);  // bars left and right
    ExpectRect(LetterboxRect(800, 600, 1024, 1000), 0, 116, 1024, 884);   // bars above and below
    ExpectRect(LetterboxRect(800, 600, 0, 600), 0, 0, 0, 0);
    ExpectRect(LetterboxRect(0, 600, 800, 600), 0, 0, 0, 0);
    // A destination too small for even one row still gets a pixel.
    RECT tiny = LetterboxRect(800, 600, 1000, 1);
    EXPECT_EQ(tiny.bottom - tiny.top, 1);
    EXPECT_GE(tiny.right - tiny.left, 1);
}

TEST(PresentDestinationTest, DestinationIsKeptPerWindowUntilCleared)
{
    HWND a = reinterpret_cast<HWND>(0x5010);
    HWND b = reinterpret_cast<HWND>(0x5020);
    RECT set{10, 20, 30, 40};
    SetPresentDestination(a, &set);
    RECT got{};
    ASSERT_TRUE(GetPresentDestination(a, &got));
    ExpectRect(got, 10, 20, 30, 40);
    EXPECT_FALSE(GetPresentDestination(b, &got));
    SetPresentDestination(a, nullptr);
    EXPECT_FALSE(GetPresentDestination(a, &got));
}

}  // namespace
}  // namespace platform
