#include <gtest/gtest.h>

#include <tuple>
#include <vector>

#include "framework/core/app/Application.h"
#include "framework/core/app/GameWindowWin32.h"
#include "framework/core/app/MessageRecorder.h"
#include "platform/win32/WinEvents.h"
#include "platform/win32/WinKeys.h"

namespace game_window_proc_test {

using Qmv2::GameWindow;
using Qmv2::GameWindowWin32;
using Qmv2::KeyboardMessageData;
using Qmv2::Message;
using Qmv2::MouseMessageData;
using QmvTest::MessageRecorder;

namespace {

constexpr LPARAM kExtended = LPARAM(1) << 24;

class GameWindowProcTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        window = new GameWindowWin32("Window procedure test", true);
        GameWindow::SetInstance(window);
        window->SetSize(800, 600);
        window->GetMessageHandler().AddListener(&recorder);
    }
    void TearDown() override
    {
        window->GetMessageHandler().RemoveListener(&recorder);
        window->Destroy();
        GameWindow::ReleaseInstance();
        Qmv2::Application::s_Running = true;
    }
    LRESULT Send(UINT message, WPARAM wParam, LPARAM lParam = 0)
    {
        return GameWindowWin32::WindowProc(window->GetHandle(), message, wParam, lParam);
    }
    KeyboardMessageData* Key(std::size_t index) const { return recorder.DataAt<KeyboardMessageData>(index); }
    MouseMessageData* Mouse(std::size_t index) const { return recorder.DataAt<MouseMessageData>(index); }
    bool Flag(std::size_t index) const
    {
        auto* data = recorder.DataAt<Qmv2::TemplateMessageData<bool>>(index);
        EXPECT_NE(data, nullptr);
        return data != nullptr && data->m_Value;
    }

    GameWindowWin32* window = nullptr;
    MessageRecorder recorder;
};

struct KeyRow {
    int virtualKey;
    std::int32_t code;
    std::uint32_t character;
};

// Every key with a framework code; the Windows keys (27, 28) travel as 26.
const std::vector<KeyRow> kKeyTable = {
    {VK_BACK, 1, 0x08},      {VK_TAB, 2, 0x09},        {VK_INSERT, 3, 0},        {VK_DELETE, 4, 0x7F},
    {VK_RETURN, 5, 0x0A},    {VK_SHIFT, 6, 0},         {VK_LSHIFT, 7, 0},        {VK_RSHIFT, 8, 0},
    {VK_CONTROL, 9, 0},      {VK_LCONTROL, 10, 0},     {VK_RCONTROL, 11, 0},     {VK_MENU, 12, 0},
    {VK_LMENU, 13, 0},       {VK_RMENU, 14, 0},        {VK_PAUSE, 15, 0},        {VK_ESCAPE, 16, 0x1B},
    {VK_SPACE, 17, 0x20},    {VK_END, 18, 0},          {VK_HOME, 19, 0},         {VK_LEFT, 20, 0},
    {VK_UP, 21, 0},          {VK_RIGHT, 22, 0},        {VK_DOWN, 23, 0},         {VK_NEXT, 24, 0},
    {VK_PRIOR, 25, 0},       {VK_LWIN, 26, 0},         {VK_RWIN, 26, 0},         {VK_APPS, 29, 0},
    {VK_CAPITAL, 30, 0},     {VK_NUMLOCK, 31, 0},      {VK_SCROLL, 32, 0},       {VK_MULTIPLY, 43, 0x2A},
    {VK_ADD, 44, 0x2B},      {VK_SEPARATOR, 45, 0x0A}, {VK_SUBTRACT, 46, 0x2D},  {VK_DECIMAL, 47, 0x2E},
    {VK_DIVIDE, 48, 0x2F},   {VK_OEM_PLUS, 49, 0x2B},  {VK_OEM_COMMA, 50, 0x2C}, {VK_OEM_MINUS, 51, 0x2D},
    {VK_OEM_PERIOD, 52, 0x2E},
};

}  // namespace

TEST_F(GameWindowProcTest, EveryRowOfTheKeyTablePostsItsCodeAndCharacter)
{
    std::vector<KeyRow> rows = kKeyTable;
    for (int i = 0; i < 10; ++i) {
        rows.push_back({VK_NUMPAD0 + i, 33 + i, static_cast<std::uint32_t>('0' + i)});
    }
    for (int i = 0; i < 24; ++i) {
        rows.push_back({VK_F1 + i, 53 + i, 0});
    }
    ASSERT_EQ(rows.size(), 75u);  // 76 codes; 26 stands for both Windows keys
    for (const KeyRow& row : rows) {
        recorder.received.clear();
        Send(WM_KEYDOWN, row.virtualKey, 1);
        Send(WM_KEYUP, row.virtualKey, 1);
        ASSERT_EQ(recorder.Ids(), (std::vector<std::uint32_t>{0x102, 0x104})) << "virtual key " << row.virtualKey;
        for (std::size_t i = 0; i < 2; ++i) {
            ASSERT_NE(Key(i), nullptr);
            EXPECT_EQ(Key(i)->m_KeyCode, row.code) << "virtual key " << row.virtualKey;
            EXPECT_EQ(Key(i)->m_Character, row.character) << "virtual key " << row.virtualKey;
            EXPECT_TRUE(Key(i)->m_Repeat);
        }
    }
}

TEST_F(GameWindowProcTest, ModifiersCarryTheirLocationAndVariant)
{
    const std::vector<std::tuple<int, LPARAM, std::int32_t, std::int32_t, std::int32_t>> cases = {
        // virtual key, lParam, code, location, variant
        {VK_CONTROL, kExtended, 9, 2, 11}, {VK_CONTROL, 0, 9, 1, 10}, {VK_SHIFT, 0, 6, 1, 7},
        {VK_SHIFT, kExtended, 6, 2, 8},    {VK_MENU, 0, 12, 1, 13},   {VK_MENU, kExtended, 12, 2, 14},
        {VK_LWIN, kExtended, 26, 2, 27},   {VK_RWIN, kExtended, 26, 2, 28}, {VK_HOME, kExtended, 19, 0, 19},
    };
    for (const auto& [vk, lParam, code, location, variant] : cases) {
        recorder.received.clear();
        Send(WM_KEYDOWN, vk, lParam);
        ASSERT_NE(Key(0), nullptr);
        EXPECT_EQ(Key(0)->m_KeyCode, code) << vk;
        EXPECT_EQ(Key(0)->m_Location, location) << vk;
        EXPECT_EQ(Key(0)->m_VariantKeyCode, variant) << vk;
        EXPECT_FALSE(Key(0)->m_Repeat);
    }
}

TEST_F(GameWindowProcTest, LettersAndDigitsTravelWithCodeZeroOtherKeysNotAtAll)
{
    Send(WM_KEYDOWN, 'A', 1);
    Send(WM_CHAR, 'A', 1);
    Send(WM_SYSKEYDOWN, '7', 1);
    Send(WM_KEYDOWN, VK_OEM_1, 1);
    Send(WM_DEADCHAR, '^', 1);
    ASSERT_EQ(recorder.Ids(), (std::vector<std::uint32_t>{0x102, 0x105, 0x102}));
    EXPECT_EQ(Key(0)->m_KeyCode, 0);
    EXPECT_EQ(Key(0)->m_Character, 0x41u);
    EXPECT_EQ(Key(0)->m_Text, "a");
    EXPECT_EQ(Key(1)->m_Character, 0x41u);
    EXPECT_EQ(Key(1)->m_KeyCode, 0);
    EXPECT_EQ(Key(2)->m_Character, static_cast<std::uint32_t>('7'));
}

TEST_F(GameWindowProcTest, CharactersKeepTheirWholeUtf16Unit)
{
    Send(WM_CHAR, 0x0151, 1);  // o with double acute
    ASSERT_NE(Key(0), nullptr);
    EXPECT_EQ(Key(0)->m_Character, 0x151u);
    EXPECT_EQ(Key(0)->m_Text, "\xC5\x91");
}

TEST_F(GameWindowProcTest, CtrlPPostsItsMessageBeforeTheKey)
{
    MSG control{nullptr, WM_KEYDOWN, VK_CONTROL, 1, 0, {0, 0}};
    platform::MessageKeys().Apply(control);
    Send(WM_KEYDOWN, 'P', 1);
    control.message = WM_KEYUP;
    platform::MessageKeys().Apply(control);
    Send(WM_KEYDOWN, 'P', 1);
    EXPECT_EQ(recorder.Ids(), (std::vector<std::uint32_t>{0x601, 0x102, 0x102}));
}

TEST_F(GameWindowProcTest, EscapeInFullScreenLeavesItAndIsStillDelivered)
{
    window->SetFullscreenFlag(true);
    Send(WM_KEYDOWN, VK_ESCAPE, 1);
    EXPECT_FALSE(window->IsFullscreen());
    ASSERT_EQ(recorder.Ids(), (std::vector<std::uint32_t>{0x202, 0x102}));
    EXPECT_FALSE(Flag(0));
    EXPECT_EQ(Key(1)->m_KeyCode, 16);
    recorder.received.clear();
    Send(WM_KEYDOWN, VK_ESCAPE, 1);  // windowed: only the key
    EXPECT_EQ(recorder.Ids(), (std::vector<std::uint32_t>{0x102}));
}

TEST_F(GameWindowProcTest, MousePositionsAreClampedToTheClientArea)
{
    Send(WM_LBUTTONDOWN, MK_LBUTTON | MK_SHIFT, MAKELPARAM(10, 20));
    Send(WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(-3, 20));  // dragged past the left edge
    Send(WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(900, 700));
    Send(WM_LBUTTONUP, 0, MAKELPARAM(799, -1));
    Send(WM_RBUTTONDBLCLK, MK_RBUTTON | MK_CONTROL | MK_MBUTTON, MAKELPARAM(5, 5));
    ASSERT_EQ(recorder.Ids(), (std::vector<std::uint32_t>{2, 1, 1, 3, 6}));
    EXPECT_FLOAT_EQ(Mouse(0)->x, 10.0f);
    EXPECT_EQ(Mouse(0)->m_Buttons, 1u | 8u);
    EXPECT_FALSE(Mouse(0)->m_DoubleClick);
    EXPECT_FLOAT_EQ(Mouse(1)->x, -1.0f);
    EXPECT_FLOAT_EQ(Mouse(1)->y, 20.0f);
    EXPECT_FLOAT_EQ(Mouse(2)->x, 800.0f);
    EXPECT_FLOAT_EQ(Mouse(2)->y, 600.0f);
    EXPECT_FLOAT_EQ(Mouse(3)->x, 799.0f);
    EXPECT_FLOAT_EQ(Mouse(3)->y, -1.0f);
    EXPECT_TRUE(Mouse(4)->m_DoubleClick);
    EXPECT_EQ(Mouse(4)->m_Buttons, 2u | 4u | 16u);
}

TEST_F(GameWindowProcTest, WheelNotchesAreSignedDeltasOverOneHundredTwenty)
{
    Send(WM_MOUSEWHEEL, MAKEWPARAM(0, -240));
    Send(WM_MOUSEWHEEL, MAKEWPARAM(0, 60));
    auto* down = recorder.DataAt<Qmv2::ScrollMessageData>(0);
    auto* up = recorder.DataAt<Qmv2::ScrollMessageData>(1);
    ASSERT_NE(down, nullptr);
    ASSERT_NE(up, nullptr);
    EXPECT_FLOAT_EQ(down->m_Delta, -2.0f);
    EXPECT_FALSE(down->m_Upward);
    EXPECT_FLOAT_EQ(up->m_Delta, 0.5f);
    EXPECT_TRUE(up->m_Upward);
}

TEST_F(GameWindowProcTest, ActivationAndMinimiseStates)
{
    Send(WM_ACTIVATE, WA_INACTIVE);
    Send(WM_NCACTIVATE, FALSE);  // already inactive: nothing
    EXPECT_FALSE(window->IsMinimized());  // windowed: not minimised
    Send(WM_ACTIVATE, WA_CLICKACTIVE);
    Send(WM_SIZE, SIZE_MINIMIZED);
    Send(WM_SIZE, SIZE_MINIMIZED);
    Send(WM_SIZE, SIZE_RESTORED);
    ASSERT_EQ(recorder.Ids(), (std::vector<std::uint32_t>{0x206, 0x206, 0x205, 0x205}));
    EXPECT_FALSE(Flag(0));
    EXPECT_TRUE(Flag(1));
    EXPECT_TRUE(Flag(2));
    EXPECT_FALSE(Flag(3));
}

// A window without the focus may still be on the screen: in full screen too,
// only a minimise stops the drawing.
TEST_F(GameWindowProcTest, LosingActivationInFullScreenIsNoMinimise)
{
    window->SetFullscreenFlag(true);
    Send(WM_ACTIVATE, WA_INACTIVE);
    EXPECT_FALSE(window->IsMinimized());
    Send(WM_SIZE, SIZE_MINIMIZED);
    EXPECT_TRUE(window->IsMinimized());
    Send(WM_ACTIVATE, WA_ACTIVE);
    Send(WM_SIZE, SIZE_RESTORED);
    EXPECT_FALSE(window->IsMinimized());
    EXPECT_EQ(recorder.Ids(), (std::vector<std::uint32_t>{0x206, 0x205, 0x206, 0x205}));
}

TEST_F(GameWindowProcTest, SessionLockMinimisesEvenWhenWindowed)
{
    Send(WM_WTSSESSION_CHANGE, WTS_SESSION_LOCK);
    Send(WM_WTSSESSION_CHANGE, WTS_SESSION_UNLOCK);
    Send(WM_POWERBROADCAST, PBT_APMSUSPEND);  // windowed: ignored
    EXPECT_EQ(recorder.Ids(), (std::vector<std::uint32_t>{0x207, 0x205, 0x208}));
    EXPECT_TRUE(window->IsMinimized());
}

TEST_F(GameWindowProcTest, CloseEndsTheRunAndFrameClickIsReported)
{
    Send(WM_NCLBUTTONDOWN, HTCAPTION);
    EXPECT_TRUE(Qmv2::Application::s_Running);
    Send(WM_CLOSE, 0);
    EXPECT_EQ(recorder.Ids(), (std::vector<std::uint32_t>{0x602, 0x402}));
    EXPECT_FALSE(Qmv2::Application::s_Running);
}

TEST_F(GameWindowProcTest, StylesFollowFullScreenAndMaximiseBox)
{
    EXPECT_EQ(window->GetStyle(), 0x00CB0000u);
    window->SetFullscreenFlag(true);
    EXPECT_EQ(window->GetStyle(), 0x80000000u);
    GameWindowWin32 small("No maximise", false);
    EXPECT_EQ(small.GetStyle(), 0x00CA0000u);
}

namespace {

class CountedWindow : public GameWindowWin32 {
public:
    explicit CountedWindow(bool& deleted) : GameWindowWin32("Lifetime test", true), m_Deleted(deleted) {}
    ~CountedWindow() override { m_Deleted = true; }

private:
    bool& m_Deleted;
};

}  // namespace

// Closing the platform window must not stand in for the end of the object:
// the window lives while it is held and goes with its last holder.
TEST(GameWindowLifetimeTest, LastReleaseDeletesTheWindowEvenAfterItsDestroy)
{
    bool deleted = false;
    auto* window = new CountedWindow(deleted);
    GameWindow::SetInstance(window);
    {
        Qmv2::SmartPtr<GameWindow> holder(window);
        window->Destroy();
        GameWindow::ReleaseInstance();
        EXPECT_FALSE(deleted);
        EXPECT_EQ(window->GetRefCount(), 1);
        EXPECT_EQ(window->GetHandle(), nullptr);
    }
    EXPECT_TRUE(deleted);
    EXPECT_EQ(GameWindow::GetInstance(), nullptr);
}

}  // namespace game_window_proc_test
