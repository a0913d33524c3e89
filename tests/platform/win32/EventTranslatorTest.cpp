#include "platform/win32/EventTranslator.h"
#include "platform/win32/WinDragDrop.h"
#include "platform/win32/WinKeys.h"
#include "platform/win32/WinWindow.h"

#include <gtest/gtest.h>

#include <cstring>

namespace event_translator_test {

namespace {

using platform::EventTarget;
using platform::EventTranslator;

const HWND kWindow = reinterpret_cast<HWND>(static_cast<UINT_PTR>(0x5000));

class EventTranslatorTest : public ::testing::Test {
protected:
    EventTranslatorTest()
        : translator([this](std::uint32_t id, EventTarget& out) {
            if (id != 0 && id != 7) {
                return false;
            }
            out = target;
            return true;
        })
    {
        target.hwnd = kWindow;
        target.classStyle = CS_DBLCLKS;
        target.logicalWidth = 800;
        target.logicalHeight = 600;
        target.windowWidth = 800;
        target.windowHeight = 600;
    }

    std::vector<MSG> Key(bool down, SDL_Scancode scancode, SDL_Keycode sym, Uint16 mod = KMOD_NONE, bool repeat = false)
    {
        SDL_Event event{};
        event.type = down ? SDL_KEYDOWN : SDL_KEYUP;
        event.key.windowID = 7;
        event.key.state = down ? SDL_PRESSED : SDL_RELEASED;
        event.key.repeat = repeat ? 1 : 0;
        event.key.keysym.scancode = scancode;
        event.key.keysym.sym = sym;
        event.key.keysym.mod = mod;
        return Run(event);
    }

    std::vector<MSG> Text(const char* text)
    {
        SDL_Event event{};
        event.type = SDL_TEXTINPUT;
        event.text.windowID = 7;
        std::strncpy(event.text.text, text, sizeof(event.text.text) - 1);
        return Run(event);
    }

    std::vector<MSG> Motion(int x, int y)
    {
        SDL_Event event{};
        event.type = SDL_MOUSEMOTION;
        event.motion.windowID = 7;
        event.motion.x = x;
        event.motion.y = y;
        return Run(event);
    }

    std::vector<MSG> Button(bool down, Uint8 button, Uint8 clicks, int x = 10, int y = 20)
    {
        SDL_Event event{};
        event.type = down ? SDL_MOUSEBUTTONDOWN : SDL_MOUSEBUTTONUP;
        event.button.windowID = 7;
        event.button.button = button;
        event.button.state = down ? SDL_PRESSED : SDL_RELEASED;
        event.button.clicks = clicks;
        event.button.x = x;
        event.button.y = y;
        return Run(event);
    }

    std::vector<MSG> Wheel(float y, bool flipped = false)
    {
        SDL_Event event{};
        event.type = SDL_MOUSEWHEEL;
        event.wheel.windowID = 7;
        event.wheel.preciseY = y;
        event.wheel.y = static_cast<Sint32>(y);
        event.wheel.direction = flipped ? SDL_MOUSEWHEEL_FLIPPED : SDL_MOUSEWHEEL_NORMAL;
        event.wheel.mouseX = 30;
        event.wheel.mouseY = 40;
        return Run(event);
    }

    std::vector<MSG> Window(SDL_WindowEventID id)
    {
        SDL_Event event{};
        event.type = SDL_WINDOWEVENT;
        event.window.windowID = 7;
        event.window.event = static_cast<Uint8>(id);
        return Run(event);
    }

    std::vector<MSG> Drop(Uint32 type, char* file = nullptr)
    {
        SDL_Event event{};
        event.type = type;
        event.drop.windowID = 7;
        event.drop.file = file;
        return Run(event);
    }

    std::vector<MSG> Run(const SDL_Event& event)
    {
        std::vector<MSG> out;
        translator.Translate(event, out);
        return out;
    }

    // The client point of the WM_MOUSEMOVE a move to window pixel (x, y) gives, as signed values.
    POINT MovedTo(int x, int y)
    {
        auto out = Motion(x, y);
        EXPECT_EQ(out.size(), 2u);
        return POINT{GET_X_LPARAM(out.back().lParam), GET_Y_LPARAM(out.back().lParam)};
    }

    EventTarget target;
    EventTranslator translator;
};

DWORD Bits(const MSG& msg)
{
    return static_cast<DWORD>(msg.lParam);
}

TEST_F(EventTranslatorTest, ShiftAPostsShiftKeyThenLetterThenCharacter)
{
    auto shift = Key(true, SDL_SCANCODE_LSHIFT, SDLK_LSHIFT);
    ASSERT_EQ(shift.size(), 1u);
    EXPECT_EQ(shift[0].message, static_cast<UINT>(WM_KEYDOWN));
    EXPECT_EQ(shift[0].wParam, static_cast<WPARAM>(VK_SHIFT));
    EXPECT_EQ((Bits(shift[0]) >> 16) & 0xFF, 0x2Au);

    auto letter = Key(true, SDL_SCANCODE_A, SDLK_a, KMOD_LSHIFT);
    ASSERT_EQ(letter.size(), 1u);
    EXPECT_EQ(letter[0].message, static_cast<UINT>(WM_KEYDOWN));
    EXPECT_EQ(letter[0].wParam, static_cast<WPARAM>('A'));
    EXPECT_EQ(letter[0].hwnd, kWindow);

    auto text = Text("A");
    ASSERT_EQ(text.size(), 1u);
    EXPECT_EQ(text[0].message, static_cast<UINT>(WM_CHAR));
    EXPECT_EQ(text[0].wParam, 0x41u);
    EXPECT_EQ((Bits(text[0]) >> 16) & 0xFF, 0x1Eu) << "the character carries the scan code of its key";
    EXPECT_TRUE(translator.Keys().IsDown(VK_SHIFT));
    EXPECT_TRUE(translator.Keys().IsDown(VK_LSHIFT));
    EXPECT_FALSE(translator.Keys().IsDown(VK_RSHIFT));
}

TEST_F(EventTranslatorTest, KeyParameterBitsFollowWindows)
{
    auto down = Key(true, SDL_SCANCODE_RCTRL, SDLK_RCTRL);
    ASSERT_EQ(down.size(), 1u);
    EXPECT_EQ(down[0].wParam, static_cast<WPARAM>(VK_CONTROL));
    EXPECT_EQ(Bits(down[0]) & 0xFFFF, 1u) << "repeat count";
    EXPECT_EQ((Bits(down[0]) >> 16) & 0xFF, 0x1Du);
    EXPECT_NE(Bits(down[0]) & (1u << 24), 0u) << "right Ctrl is an extended key";
    EXPECT_EQ(Bits(down[0]) & (3u << 30), 0u) << "fresh press: not down before, no transition";
    EXPECT_TRUE(translator.Keys().IsDown(VK_RCONTROL));
    EXPECT_FALSE(translator.Keys().IsDown(VK_LCONTROL));

    auto repeat = Key(true, SDL_SCANCODE_RCTRL, SDLK_RCTRL, KMOD_RCTRL, true);
    EXPECT_EQ(Bits(repeat[0]) & (3u << 30), 1u << 30) << "auto-repeat: was down before";

    auto up = Key(false, SDL_SCANCODE_RCTRL, SDLK_RCTRL);
    EXPECT_EQ(up[0].message, static_cast<UINT>(WM_KEYUP));
    EXPECT_EQ(Bits(up[0]) & (3u << 30), 3u << 30);
    EXPECT_FALSE(translator.Keys().IsDown(VK_CONTROL));

    auto left = Key(true, SDL_SCANCODE_LCTRL, SDLK_LCTRL);
    EXPECT_EQ(Bits(left[0]) & (1u << 24), 0u) << "left Ctrl is not extended";
}

TEST_F(EventTranslatorTest, AltMakesSystemKeysUnlessCtrlIsHeld)
{
    auto alt = Key(true, SDL_SCANCODE_LALT, SDLK_LALT);
    EXPECT_EQ(alt[0].message, static_cast<UINT>(WM_SYSKEYDOWN));
    EXPECT_EQ(alt[0].wParam, static_cast<WPARAM>(VK_MENU));
    EXPECT_NE(Bits(alt[0]) & (1u << 29), 0u);
    auto letter = Key(true, SDL_SCANCODE_F, SDLK_f, KMOD_LALT);
    EXPECT_EQ(letter[0].message, static_cast<UINT>(WM_SYSKEYDOWN));
    EXPECT_NE(Bits(letter[0]) & (1u << 29), 0u);
    EXPECT_EQ(Text("f")[0].message, static_cast<UINT>(WM_SYSCHAR));
    EXPECT_EQ(Key(false, SDL_SCANCODE_F, SDLK_f, KMOD_LALT)[0].message, static_cast<UINT>(WM_SYSKEYUP));

    Key(true, SDL_SCANCODE_LCTRL, SDLK_LCTRL, KMOD_LALT);
    auto withCtrl = Key(true, SDL_SCANCODE_E, SDLK_e, KMOD_LALT | KMOD_LCTRL);
    EXPECT_EQ(withCtrl[0].message, static_cast<UINT>(WM_KEYDOWN)) << "Ctrl+Alt (AltGr) keys are plain keys";
    EXPECT_EQ(Text("e")[0].message, static_cast<UINT>(WM_CHAR));
    Key(false, SDL_SCANCODE_LCTRL, SDLK_LCTRL);
    EXPECT_EQ(Key(false, SDL_SCANCODE_LALT, SDLK_LALT)[0].message, static_cast<UINT>(WM_SYSKEYUP));

    EXPECT_EQ(Key(true, SDL_SCANCODE_F10, SDLK_F10)[0].message, static_cast<UINT>(WM_SYSKEYDOWN));
    EXPECT_EQ(Key(true, SDL_SCANCODE_F9, SDLK_F9)[0].message, static_cast<UINT>(WM_KEYDOWN));
}

TEST_F(EventTranslatorTest, LettersFollowTheLayoutAndUnknownKeysAreDropped)
{
    // On a layout with Q where A sits, the key at A's place types "q".
    EXPECT_EQ(Key(true, SDL_SCANCODE_A, SDLK_q)[0].wParam, static_cast<WPARAM>('Q'));
    EXPECT_EQ(Key(true, SDL_SCANCODE_7, SDLK_7)[0].wParam, static_cast<WPARAM>('7'));
    EXPECT_TRUE(Key(true, SDL_SCANCODE_AUDIOPLAY, SDLK_AUDIOPLAY).empty());
    EXPECT_TRUE(Key(true, SDL_SCANCODE_UNKNOWN, SDLK_UNKNOWN).empty());
}

TEST_F(EventTranslatorTest, KeypadDigitsDependOnNumLock)
{
    auto on = Key(true, SDL_SCANCODE_KP_7, SDLK_KP_7, KMOD_NUM);
    EXPECT_EQ(on[0].wParam, static_cast<WPARAM>(VK_NUMPAD7));
    auto off = Key(true, SDL_SCANCODE_KP_1, SDLK_KP_1);
    EXPECT_EQ(off[0].wParam, static_cast<WPARAM>(VK_END));
    EXPECT_EQ(Bits(off[0]) & (1u << 24), 0u) << "the keypad's End is not the extended End";
    EXPECT_NE(Bits(Key(true, SDL_SCANCODE_END, SDLK_END)[0]) & (1u << 24), 0u);
}

TEST_F(EventTranslatorTest, TextBecomesUtf16Units)
{
    auto text = Text("\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80");  // e-acute, euro sign, a face beyond the BMP
    ASSERT_EQ(text.size(), 4u);
    EXPECT_EQ(text[0].wParam, 0xE9u);
    EXPECT_EQ(text[1].wParam, 0x20ACu);
    EXPECT_EQ(text[2].wParam, 0xD83Du);
    EXPECT_EQ(text[3].wParam, 0xDE00u);
    auto broken = Text("a\xC3");  // cut in the middle of a sequence
    ASSERT_EQ(broken.size(), 2u);
    EXPECT_EQ(broken[0].wParam, static_cast<WPARAM>('a'));
    EXPECT_EQ(broken[1].wParam, 0xFFFDu);
}

TEST_F(EventTranslatorTest, MousePositionsMapBackThroughTheLetterbox)
{
    POINT p = MovedTo(123, 456);
    EXPECT_EQ(p.x, 123);
    EXPECT_EQ(p.y, 456);

    target.windowWidth = 1600;
    target.windowHeight = 1200;
    p = MovedTo(801, 601);
    EXPECT_EQ(p.x, 400);
    EXPECT_EQ(p.y, 300);

    // 16:9: scale 1.8, picture 1440 wide starting at x = 240.
    target.windowWidth = 1920;
    target.windowHeight = 1080;
    p = MovedTo(240, 0);
    EXPECT_EQ(p.x, 0);
    EXPECT_EQ(p.y, 0);
    p = MovedTo(1679, 1079);
    EXPECT_EQ(p.x, 799);
    EXPECT_EQ(p.y, 599);
    p = MovedTo(100, 500);
    EXPECT_LT(p.x, 0) << "the left bar lies left of the client area";
    p = MovedTo(1800, 500);
    EXPECT_GE(p.x, 800);

    // Narrower than 4:3: bars above and below.
    target.windowWidth = 400;
    target.windowHeight = 600;
    p = MovedTo(200, 300);
    EXPECT_EQ(p.x, 400);
    EXPECT_EQ(p.y, 300);
}

TEST_F(EventTranslatorTest, PositionsLeftOfTheWindowTravelAsSigned16Bits)
{
    auto out = Motion(-5, 10);
    ASSERT_EQ(out.size(), 2u);
    EXPECT_EQ(out[0].message, static_cast<UINT>(WM_SETCURSOR));
    EXPECT_EQ(LOWORD(out[0].lParam), HTCLIENT);
    EXPECT_EQ(out[1].message, static_cast<UINT>(WM_MOUSEMOVE));
    EXPECT_EQ(LOWORD(out[1].lParam), 65531) << "read as unsigned, as the window procedure does";
    EXPECT_EQ(HIWORD(out[1].lParam), 10);
}

TEST_F(EventTranslatorTest, ButtonsCarryTheHeldButtonsAndDoubleClicks)
{
    Key(true, SDL_SCANCODE_LSHIFT, SDLK_LSHIFT);
    auto down = Button(true, SDL_BUTTON_LEFT, 1, 15, 25);
    ASSERT_EQ(down.size(), 1u);
    EXPECT_EQ(down[0].message, static_cast<UINT>(WM_LBUTTONDOWN));
    EXPECT_EQ(down[0].wParam, static_cast<WPARAM>(MK_LBUTTON | MK_SHIFT));
    EXPECT_EQ(LOWORD(down[0].lParam), 15);
    EXPECT_EQ(HIWORD(down[0].lParam), 25);
    auto right = Button(true, SDL_BUTTON_RIGHT, 1);
    EXPECT_EQ(right[0].wParam, static_cast<WPARAM>(MK_LBUTTON | MK_RBUTTON | MK_SHIFT));
    auto up = Button(false, SDL_BUTTON_LEFT, 1);
    EXPECT_EQ(up[0].message, static_cast<UINT>(WM_LBUTTONUP));
    EXPECT_EQ(up[0].wParam, static_cast<WPARAM>(MK_RBUTTON | MK_SHIFT));
    EXPECT_EQ(Button(true, SDL_BUTTON_LEFT, 2)[0].message, static_cast<UINT>(WM_LBUTTONDBLCLK));
    EXPECT_EQ(Button(true, SDL_BUTTON_LEFT, 3)[0].message, static_cast<UINT>(WM_LBUTTONDOWN));
    EXPECT_EQ(Button(true, SDL_BUTTON_MIDDLE, 2)[0].message, static_cast<UINT>(WM_MBUTTONDBLCLK));
    EXPECT_TRUE(Button(true, SDL_BUTTON_X1, 1).empty());

    target.classStyle = 0;
    EXPECT_EQ(Button(true, SDL_BUTTON_RIGHT, 2)[0].message, static_cast<UINT>(WM_RBUTTONDOWN))
        << "no double clicks without CS_DBLCLKS";
}

TEST_F(EventTranslatorTest, WheelDeltasAreInWheelUnits)
{
    auto away = Wheel(1.0f);
    ASSERT_EQ(away.size(), 1u);
    EXPECT_EQ(away[0].message, static_cast<UINT>(WM_MOUSEWHEEL));
    EXPECT_EQ(GET_WHEEL_DELTA_WPARAM(away[0].wParam), 120);
    EXPECT_EQ(GET_WHEEL_DELTA_WPARAM(Wheel(-2.0f)[0].wParam), -240);
    EXPECT_EQ(GET_WHEEL_DELTA_WPARAM(Wheel(0.5f)[0].wParam), 60);
    EXPECT_EQ(GET_WHEEL_DELTA_WPARAM(Wheel(1.0f, true)[0].wParam), -120);
    EXPECT_TRUE(Wheel(0.0f).empty());
    target.screenX = 1000;
    target.screenY = 2000;
    auto screen = Wheel(1.0f);
    EXPECT_EQ(GET_X_LPARAM(screen[0].lParam), 1030) << "wheel messages carry screen coordinates";
    EXPECT_EQ(GET_Y_LPARAM(screen[0].lParam), 2040);
}

TEST_F(EventTranslatorTest, WindowEventsBecomeWindowMessages)
{
    auto close = Window(SDL_WINDOWEVENT_CLOSE);
    ASSERT_EQ(close.size(), 1u);
    EXPECT_EQ(close[0].message, static_cast<UINT>(WM_CLOSE));

    auto lost = Window(SDL_WINDOWEVENT_FOCUS_LOST);
    ASSERT_EQ(lost.size(), 3u);
    EXPECT_EQ(lost[0].message, static_cast<UINT>(WM_NCACTIVATE));
    EXPECT_EQ(lost[0].wParam, static_cast<WPARAM>(FALSE));
    EXPECT_EQ(lost[1].message, static_cast<UINT>(WM_ACTIVATE));
    EXPECT_EQ(LOWORD(lost[1].wParam), WA_INACTIVE);
    EXPECT_EQ(lost[2].message, static_cast<UINT>(WM_ACTIVATEAPP));

    auto gained = Window(SDL_WINDOWEVENT_FOCUS_GAINED);
    ASSERT_EQ(gained.size(), 3u);
    EXPECT_EQ(gained[2].message, static_cast<UINT>(WM_ACTIVATE));
    EXPECT_EQ(LOWORD(gained[2].wParam), WA_ACTIVE);

    auto minimised = Window(SDL_WINDOWEVENT_MINIMIZED);
    ASSERT_EQ(minimised.size(), 1u);
    EXPECT_EQ(minimised[0].message, static_cast<UINT>(WM_SIZE));
    EXPECT_EQ(minimised[0].wParam, static_cast<WPARAM>(SIZE_MINIMIZED));
    auto restored = Window(SDL_WINDOWEVENT_RESTORED);
    EXPECT_EQ(restored[0].wParam, static_cast<WPARAM>(SIZE_RESTORED));
    EXPECT_EQ(LOWORD(restored[0].lParam), 800);
    EXPECT_EQ(HIWORD(restored[0].lParam), 600);
    EXPECT_EQ(Window(SDL_WINDOWEVENT_MAXIMIZED)[0].wParam, static_cast<WPARAM>(SIZE_MAXIMIZED));

    SDL_Event quit{};
    quit.type = SDL_QUIT;
    auto closing = Run(quit);
    ASSERT_EQ(closing.size(), 1u);
    EXPECT_EQ(closing[0].message, static_cast<UINT>(WM_CLOSE));
    EXPECT_EQ(closing[0].hwnd, kWindow);
}

TEST_F(EventTranslatorTest, DroppedFilesReachOnlyWindowsThatAcceptThem)
{
    char first[] = "/home/player/a.txt";
    char second[] = "/home/player/b b.txt";
    const std::size_t open = platform::OpenDrops();

    Drop(SDL_DROPBEGIN);
    Drop(SDL_DROPFILE, first);
    EXPECT_TRUE(Drop(SDL_DROPCOMPLETE).empty()) << "the window does not accept files";
    EXPECT_EQ(platform::OpenDrops(), open);

    target.acceptsFiles = true;
    MovedTo(50, 60);
    Drop(SDL_DROPBEGIN);
    EXPECT_TRUE(Drop(SDL_DROPFILE, first).empty());
    Drop(SDL_DROPFILE, second);
    auto out = Drop(SDL_DROPCOMPLETE);
    ASSERT_EQ(out.size(), 1u);
    EXPECT_EQ(out[0].message, static_cast<UINT>(WM_DROPFILES));
    HDROP drop = reinterpret_cast<HDROP>(out[0].wParam);
    ASSERT_EQ(DragQueryFileA(drop, 0xFFFFFFFFu, nullptr, 0), 2u);
    EXPECT_EQ(DragQueryFileA(drop, 1, nullptr, 0), std::strlen(second));
    char name[64];
    EXPECT_EQ(DragQueryFileA(drop, 1, name, sizeof(name)), std::strlen(second));
    EXPECT_STREQ(name, second);
    char small[5];
    EXPECT_EQ(DragQueryFileA(drop, 0, small, sizeof(small)), 4u);
    EXPECT_STREQ(small, "/hom");
    EXPECT_EQ(DragQueryFileA(drop, 2, name, sizeof(name)), 0u);
    POINT point{};
    EXPECT_TRUE(DragQueryPoint(drop, &point));
    EXPECT_EQ(point.x, 50);
    EXPECT_EQ(point.y, 60);
    DragFinish(drop);
    EXPECT_EQ(platform::OpenDrops(), open);
    EXPECT_EQ(DragQueryFileA(drop, 0xFFFFFFFFu, nullptr, 0), 0u) << "a finished drop is no handle any more";
}

TEST_F(EventTranslatorTest, EventsOfUnknownWindowsAreDropped)
{
    SDL_Event event{};
    event.type = SDL_KEYDOWN;
    event.key.windowID = 99;
    event.key.keysym.scancode = SDL_SCANCODE_A;
    event.key.keysym.sym = SDLK_a;
    EXPECT_TRUE(Run(event).empty());
    EXPECT_FALSE(translator.Keys().IsDown('A'));
}

}  // namespace

}  // namespace event_translator_test
