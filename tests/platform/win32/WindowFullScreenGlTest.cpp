// Full screen under a window manager that takes the request only from a window
// already on the screen and ignores the state a window is mapped with: the
// test starts its own X server and such a window manager, so that the shared
// test display stays without one.
#include "platform/win32/Letterbox.h"
#include "platform/win32/WinMessages.h"
#include "platform/win32/WinWindow.h"
#include "platform/win32/WinDisplay.h"
#include "platform/win32/WindowHandle.h"
#include "platform/win32/XErrorFilter.h"

#include "ShellOutput.h"
#include "WindowManagerDisplay.h"

#include <gtest/gtest.h>

#include <SDL.h>
// After the test framework: the X headers define names it uses.
#include <SDL_syswm.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <thread>

#include <unistd.h>
#include "tests/SkipOutsideCi.h"

namespace window_full_screen_gl_test {

namespace {

constexpr int kScreenWidth = 1280;
constexpr int kScreenHeight = 1024;

template <typename Done>
bool WaitFor(Done done, int milliseconds = 30000)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    while (std::chrono::steady_clock::now() < end) {
        SDL_PumpEvents();
        MSG msg{};
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            DispatchMessageA(&msg);
        }
        if (done()) {
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
}

// The size of the window as the X server has it, not as SDL believes it.
std::string ServerGeometry(SDL_Window* sdl)
{
    SDL_SysWMinfo wm;
    SDL_VERSION(&wm.version);
    if (SDL_GetWindowWMInfo(sdl, &wm) != SDL_TRUE || wm.subsystem != SDL_SYSWM_X11) {
        return "not an X window";
    }
    const std::string info = ShellOutput("xwininfo -id " + std::to_string(wm.info.x11.window) + " 2>/dev/null");
    const auto field = [&](const char* name) {
        const std::size_t at = info.find(name);
        return at == std::string::npos ? std::string("?") : std::to_string(std::atoi(info.c_str() + at + std::string(name).size()));
    };
    return field("Width:") + "x" + field("Height:");
}

}  // namespace

TEST(WindowFullScreenGlTest, RecreatedFullScreenWindowCoversTheScreenAndLeavesItAtItsOwnSize)
{
    if (SDL_WasInit(SDL_INIT_VIDEO) != 0) {
        QMV_SKIP_OUTSIDE_CI("needs a process of its own (ctest runs each test alone)");
    }
    if (!ShellOutput("for t in Xvfb evilwm xwininfo xprop; do command -v $t >/dev/null || echo $t; done").empty()) {
        QMV_SKIP_OUTSIDE_CI("Xvfb, evilwm, xwininfo and xprop are installed by scripts/setup.sh");
    }
    WindowManagerDisplay display(kScreenWidth, kScreenHeight);
    ASSERT_EQ(display.Error(), "");

    WNDCLASSEXA windowClass{};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.lpfnWndProc = DefWindowProcA;
    windowClass.lpszClassName = "WindowFullScreenGlTest";
    ASSERT_NE(RegisterClassExA(&windowClass), 0);
    const auto create = [](DWORD style) {
        return CreateWindowExA(0, "WindowFullScreenGlTest", "Full screen", style, 10, 20, 800, 600,
                               (style & WS_POPUP) != 0 ? nullptr : GetDesktopWindow(), nullptr, nullptr, nullptr);
    };

    // Windowed first, then re-created full screen and shown, as the game's switch does.
    HWND hwnd = create(WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_MAXIMIZEBOX);
    ASSERT_NE(hwnd, nullptr);
    ShowWindow(hwnd, SW_SHOWDEFAULT);
    SDL_Window* sdl = platform::SdlWindowFromHwnd(hwnd);
    ASSERT_TRUE(WaitFor([&] { return ServerGeometry(sdl) == "800x600"; })) << ServerGeometry(sdl);
    ASSERT_TRUE(DestroyWindow(hwnd));
    hwnd = create(WS_POPUP);
    ASSERT_NE(hwnd, nullptr);
    ShowWindow(hwnd, SW_SHOWDEFAULT);
    sdl = platform::SdlWindowFromHwnd(hwnd);
    const std::string screen = std::to_string(kScreenWidth) + "x" + std::to_string(kScreenHeight);
    EXPECT_TRUE(WaitFor([&] { return ServerGeometry(sdl) == screen; })) << "full screen: " << ServerGeometry(sdl);

    // The picture keeps its shape on the whole screen: 800x600 scaled by 1.6, bars above and below.
    platform::Letterbox box;
    ASSERT_TRUE(platform::DrawableLetterbox(hwnd, box));
    EXPECT_EQ(box.ViewportX(), 0);
    EXPECT_EQ(box.ViewportY(), (kScreenHeight - 960) / 2);
    EXPECT_EQ(box.ViewportWidth(), kScreenWidth);
    EXPECT_EQ(box.ViewportHeight(), 960);

    // A full-screen window minimised and restored comes back to full screen.
    ShowWindow(hwnd, SW_MINIMIZE);
    ShowWindow(hwnd, SW_RESTORE);
    EXPECT_TRUE(WaitFor([&] { return ServerGeometry(sdl) == screen; })) << "restored: " << ServerGeometry(sdl);

    // Leaving full screen gives the window its own size back.
    ASSERT_TRUE(DestroyWindow(hwnd));
    hwnd = create(WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_MAXIMIZEBOX);
    ShowWindow(hwnd, SW_SHOWDEFAULT);
    sdl = platform::SdlWindowFromHwnd(hwnd);
    EXPECT_TRUE(WaitFor([&] { return ServerGeometry(sdl) == "800x600"; })) << "windowed: " << ServerGeometry(sdl);
    ASSERT_TRUE(platform::DrawableLetterbox(hwnd, box));
    EXPECT_EQ(box.ViewportY(), 0);
    EXPECT_EQ(box.ViewportHeight(), 600);
    DestroyWindow(hwnd);
    UnregisterClassA("WindowFullScreenGlTest", nullptr);
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
}

int gPassedOn = 0;

int CountPassedOn(Display*, XErrorEvent*)
{
    ++gPassedOn;
    return 0;
}

// A window manager may unmap or destroy a window between a request about it
// and the request's arrival; Xlib's own handler would end the program.
TEST(XErrorFilterGlTest, ErrorsOfAWindowThatWentAwayAreDroppedAndOthersPassedOn)
{
    if (SDL_WasInit(SDL_INIT_VIDEO) != 0) {
        QMV_SKIP_OUTSIDE_CI("needs a process of its own (ctest runs each test alone)");
    }
    // The handler the filter finds is the one it passes other errors to.
    XSetErrorHandler(CountPassedOn);
    ASSERT_TRUE(platform::StartVideoSubsystem()) << SDL_GetError();
    ASSERT_STREQ(SDL_GetCurrentVideoDriver(), "x11");
    SDL_Window* window = SDL_CreateWindow("filter", 0, 0, 32, 32, SDL_WINDOW_HIDDEN);
    ASSERT_NE(window, nullptr) << SDL_GetError();
    SDL_SysWMinfo wm;
    SDL_VERSION(&wm.version);
    ASSERT_TRUE(SDL_GetWindowWMInfo(window, &wm));
    Display* display = wm.info.x11.display;
    const int dropped = platform::DroppedXErrors();

    // Focus to a window that is not on the screen: BadMatch.
    XSetInputFocus(display, wm.info.x11.window, RevertToParent, CurrentTime);
    XSync(display, False);
    // A window destroyed meanwhile: BadWindow.
    const ::Window gone = XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, 8, 8, 0, 0, 0);
    XDestroyWindow(display, gone);
    int x = 0;
    int y = 0;
    ::Window child = 0;
    XTranslateCoordinates(display, gone, DefaultRootWindow(display), 0, 0, &x, &y, &child);
    XSync(display, False);
    EXPECT_EQ(platform::DroppedXErrors(), dropped + 2);
    EXPECT_EQ(gPassedOn, 0);

    // Any other error still reaches the handler before the filter: a focus
    // change with a revert mode that does not exist is BadValue.
    XSetInputFocus(display, DefaultRootWindow(display), 77, CurrentTime);
    XSync(display, False);
    EXPECT_EQ(gPassedOn, 1);
    EXPECT_EQ(platform::DroppedXErrors(), dropped + 2);

    SDL_DestroyWindow(window);
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
}

}  // namespace window_full_screen_gl_test
