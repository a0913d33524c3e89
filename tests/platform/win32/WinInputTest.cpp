#include "platform/win32/WinInput.h"

#include <gtest/gtest.h>

namespace win_input_test {

namespace {

TEST(WinInputTest, SystemCursorsAreLoadedOncePerId)
{
    HCURSOR arrow = LoadCursorA(nullptr, IDC_ARROW);
    HCURSOR hand = LoadCursorA(nullptr, IDC_HAND);
    ASSERT_NE(arrow, nullptr);
    ASSERT_NE(hand, nullptr);
    EXPECT_NE(arrow, hand);
    EXPECT_EQ(LoadCursorA(nullptr, IDC_ARROW), arrow);
    for (LPCSTR id : {IDC_IBEAM, IDC_WAIT, IDC_APPSTARTING, IDC_HELP}) {
        EXPECT_NE(LoadCursorA(nullptr, id), nullptr);
    }
    EXPECT_EQ(LoadCursorA(nullptr, MAKEINTRESOURCEA(1)), nullptr);
    EXPECT_EQ(LoadCursorA(reinterpret_cast<HINSTANCE>(static_cast<UINT_PTR>(0x400000)), IDC_ARROW), nullptr)
        << "the program has no cursor resources of its own";
    EXPECT_EQ(LoadIconA(nullptr, MAKEINTRESOURCEA(1)), nullptr);
}

TEST(WinInputTest, SetCursorAnswersThePreviousCursorAndShowCursorCounts)
{
    HCURSOR arrow = LoadCursorA(nullptr, IDC_ARROW);
    HCURSOR beam = LoadCursorA(nullptr, IDC_IBEAM);
    SetCursor(arrow);
    EXPECT_EQ(SetCursor(beam), arrow);
    EXPECT_EQ(GetCursor(), beam);
    EXPECT_EQ(SetCursor(nullptr), beam) << "a null cursor hides the pointer";
    EXPECT_EQ(GetCursor(), nullptr);
    SetCursor(arrow);

    const int start = ShowCursor(TRUE) - 1;
    EXPECT_EQ(ShowCursor(FALSE), start);
    EXPECT_EQ(ShowCursor(FALSE), start - 1);
    EXPECT_EQ(ShowCursor(TRUE), start);
}

TEST(WinInputTest, CaptureAndPointsNeedAWindow)
{
    const HWND none = reinterpret_cast<HWND>(static_cast<UINT_PTR>(0x9990));
    POINT point{1, 2};
    EXPECT_FALSE(ScreenToClient(none, &point));
    EXPECT_FALSE(ClientToScreen(none, &point));
    EXPECT_EQ(point.x, 1);
    EXPECT_FALSE(ScreenToClient(none, nullptr));
    EXPECT_TRUE(ReleaseCapture()) << "releasing without a capture is harmless";
    EXPECT_EQ(GetCapture(), nullptr);
}

}  // namespace

}  // namespace win_input_test
