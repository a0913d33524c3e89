#include "platform/win32/WinGdi.h"
#include "platform/win32/WinInput.h"
#include "platform/win32/WinMessages.h"
#include "platform/win32/WinWindow.h"
#include "platform/win32/WindowHandle.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include <chrono>
#include <thread>
#include <vector>

namespace window_gl_test {

namespace {

std::vector<UINT> g_seen;
std::vector<WPARAM> g_activations;  // WM_ACTIVATE's state, in order

LRESULT CALLBACK RecordingProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    g_seen.push_back(message);
    if (message == WM_ACTIVATE) {
        g_activations.push_back(LOWORD(wParam));
    }
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

bool Seen(UINT message)
{
    for (UINT m : g_seen) {
        if (m == message) {
            return true;
        }
    }
    return false;
}

// Pumps and dispatches until the window procedure has seen the message; false
// when it has not within a deadline generous enough for a loaded machine.
bool PumpUntilSeen(UINT message)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (std::chrono::steady_clock::now() < end) {
        MSG msg{};
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        if (Seen(message)) {
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return false;
}

class WindowGlTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        WNDCLASSEXA windowClass{};
        windowClass.cbSize = sizeof(windowClass);
        windowClass.style = CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS;
        windowClass.lpfnWndProc = RecordingProc;
        windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
        windowClass.lpszClassName = "WindowGlTest";
        ASSERT_NE(RegisterClassExA(&windowClass), 0);
        EXPECT_EQ(RegisterClassExA(&windowClass), 0) << "a class name is registered once";
    }

    HWND Create(DWORD style = WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_VISIBLE)
    {
        g_seen.clear();
        return CreateWindowExA(0, "windowgltest", "Window test", style, 10, 20, 800, 600, GetDesktopWindow(), nullptr,
                               nullptr, nullptr);
    }
};

TEST_F(WindowGlTest, CloseRequestReachesTheWindowProcedureAndDestroysTheWindow)
{
    HWND hwnd = Create();
    ASSERT_NE(hwnd, nullptr);
    EXPECT_TRUE(Seen(WM_NCCREATE));
    EXPECT_TRUE(Seen(WM_CREATE));
    EXPECT_TRUE(IsWindow(hwnd));
    SDL_Window* sdl = platform::SdlWindowFromHwnd(hwnd);
    ASSERT_NE(sdl, nullptr);
    EXPECT_NE(platform::SharedGlContext(), nullptr);
    EXPECT_EQ(FindWindowA("WindowGlTest", nullptr), hwnd);
    EXPECT_EQ(FindWindowA("WindowGlTest", "Window test"), hwnd);
    EXPECT_EQ(FindWindowA("WindowGlTest", "Another title"), nullptr);

    RECT client{};
    ASSERT_TRUE(GetClientRect(hwnd, &client));
    EXPECT_EQ(client.right, 800);
    EXPECT_EQ(client.bottom, 600);

    g_seen.clear();
    SDL_Event close{};
    close.type = SDL_WINDOWEVENT;
    close.window.event = SDL_WINDOWEVENT_CLOSE;
    close.window.windowID = SDL_GetWindowID(sdl);
    ASSERT_EQ(SDL_PushEvent(&close), 1);
    ASSERT_TRUE(PumpUntilSeen(WM_CLOSE));
    EXPECT_TRUE(Seen(WM_DESTROY)) << "the default procedure destroys a window asked to close";
    EXPECT_FALSE(IsWindow(hwnd));
    EXPECT_FALSE(PostMessageA(hwnd, WM_USER, 0, 0));
}

// A window manager putting a window up takes its focus away and gives it
// straight back; the window is not told (a full-screen game would minimise and
// come back). A loss that lasts is told a moment later.
// The window stays hidden: a shown window takes the display's focus, and any
// window another program shows on the same display takes it away again, a
// real loss the window is rightly told, in the middle of these.
TEST_F(WindowGlTest, AFocusLossIsToldOnlyWhenTheFocusStaysAway)
{
    HWND hwnd = Create(WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX);
    ASSERT_NE(hwnd, nullptr);
    SDL_Window* sdl = platform::SdlWindowFromHwnd(hwnd);
    ASSERT_NE(sdl, nullptr);
    if ((SDL_GetWindowFlags(sdl) & SDL_WINDOW_INPUT_FOCUS) != 0) {
        // A window kept from an earlier test that had the focus is told its
        // loss first, once the server has said it.
        ASSERT_TRUE(PumpUntilSeen(WM_ACTIVATE));
    }
    const auto push = [&](Uint8 which) {
        SDL_Event focus{};
        focus.type = SDL_WINDOWEVENT;
        focus.window.event = which;
        focus.window.windowID = SDL_GetWindowID(sdl);
        return SDL_PushEvent(&focus) == 1;
    };
    g_activations.clear();
    g_seen.clear();
    ASSERT_TRUE(push(SDL_WINDOWEVENT_FOCUS_LOST));
    ASSERT_TRUE(push(SDL_WINDOWEVENT_FOCUS_GAINED));
    const auto lost = std::chrono::steady_clock::now();
    ASSERT_TRUE(push(SDL_WINDOWEVENT_FOCUS_LOST));
    // The loss given straight back, had it been told, would come before the
    // lasting one, and with its regain.
    ASSERT_TRUE(PumpUntilSeen(WM_ACTIVATE));
    EXPECT_GE(std::chrono::steady_clock::now() - lost, std::chrono::milliseconds(90));
    ASSERT_EQ(g_activations.size(), 1u) << "a focus given straight back was told";
    EXPECT_EQ(g_activations[0], static_cast<WPARAM>(WA_INACTIVE));
    DestroyWindow(hwnd);
}

TEST_F(WindowGlTest, QuitRequestClosesTheWindow)
{
    HWND hwnd = Create();
    ASSERT_NE(hwnd, nullptr);
    SDL_Event quit{};
    quit.type = SDL_QUIT;
    ASSERT_EQ(SDL_PushEvent(&quit), 1);
    ASSERT_TRUE(PumpUntilSeen(WM_CLOSE));
    EXPECT_FALSE(IsWindow(hwnd));
}

TEST_F(WindowGlTest, RecreatedWindowKeepsItsHandleAndContext)
{
    HWND first = Create();
    ASSERT_NE(first, nullptr);
    void* context = platform::SharedGlContext();
    SDL_Window* sdl = platform::SdlWindowFromHwnd(first);
    ASSERT_TRUE(DestroyWindow(first));
    EXPECT_FALSE(DestroyWindow(first));
    HWND again = Create(WS_POPUP | WS_VISIBLE);
    ASSERT_NE(again, nullptr);
    EXPECT_EQ(again, first);
    EXPECT_EQ(platform::SdlWindowFromHwnd(again), sdl);
    EXPECT_EQ(platform::SharedGlContext(), context);
    RECT client{};
    GetClientRect(again, &client);
    EXPECT_EQ(client.right, 800) << "full screen keeps the logical size";
    EXPECT_TRUE(DestroyWindow(again));
}

TEST_F(WindowGlTest, PostedAndSentMessagesReachTheProcedure)
{
    HWND hwnd = Create();
    ASSERT_NE(hwnd, nullptr);
    g_seen.clear();
    EXPECT_TRUE(PostMessageA(hwnd, WM_USER + 3, 0, 0));
    EXPECT_FALSE(Seen(WM_USER + 3));
    ASSERT_TRUE(PumpUntilSeen(WM_USER + 3));
    SendMessageA(hwnd, WM_USER + 4, 0, 0);
    EXPECT_EQ(g_seen.back(), static_cast<UINT>(WM_USER + 4));

    // The capture: a window that loses it hears of it once.
    g_seen.clear();
    EXPECT_EQ(SetCapture(hwnd), nullptr);
    EXPECT_EQ(GetCapture(), hwnd);
    EXPECT_TRUE(ReleaseCapture());
    EXPECT_EQ(GetCapture(), nullptr);
    EXPECT_TRUE(ReleaseCapture());
    int changes = 0;
    for (UINT m : g_seen) {
        changes += m == WM_CAPTURECHANGED ? 1 : 0;
    }
    EXPECT_EQ(changes, 1);

    POINT point{100, 50};
    ASSERT_TRUE(ClientToScreen(hwnd, &point));
    ASSERT_TRUE(ScreenToClient(hwnd, &point));
    EXPECT_EQ(point.x, 100);
    EXPECT_EQ(point.y, 50);

    EXPECT_TRUE(SetWindowTextA(hwnd, "Renamed"));
    EXPECT_STREQ(SDL_GetWindowTitle(platform::SdlWindowFromHwnd(hwnd)), "Renamed");
    EXPECT_EQ(FindWindowA(nullptr, "Renamed"), hwnd);
    EXPECT_TRUE(SetWindowTextW(hwnd, u"Caf\u00e9"));
    EXPECT_STREQ(SDL_GetWindowTitle(platform::SdlWindowFromHwnd(hwnd)), "Caf\xC3\xA9");
    EXPECT_EQ(FindWindowA(nullptr, "Caf\xC3\xA9"), hwnd);
    EXPECT_TRUE(DestroyWindow(hwnd));
    EXPECT_FALSE(UnregisterClassA("NoSuchClass", nullptr));
}

// The colour of one drawable pixel (rows counted from the top) of the current back buffer.
COLORREF PixelAt(SDL_Window* sdl, int x, int y)
{
    using ReadPixels = void (*)(int, int, int, int, unsigned, unsigned, void*);
    auto readPixels = reinterpret_cast<ReadPixels>(SDL_GL_GetProcAddress("glReadPixels"));
    int width = 0;
    int height = 0;
    SDL_GL_GetDrawableSize(sdl, &width, &height);
    unsigned char rgba[4] = {};
    readPixels(x, height - 1 - y, 1, 1, 0x1908 /* RGBA */, 0x1401 /* unsigned bytes */, rgba);
    return RGB(rgba[0], rgba[1], rgba[2]);
}

TEST_F(WindowGlTest, FillRectPaintsTheClientAreaThroughTheContext)
{
    HWND hwnd = Create();
    ASSERT_NE(hwnd, nullptr);
    SDL_Window* sdl = platform::SdlWindowFromHwnd(hwnd);
    HDC dc = GetDC(hwnd);
    ASSERT_NE(dc, nullptr);
    HBRUSH red = CreateSolidBrush(RGB(200, 30, 10));
    RECT all{0, 0, 800, 600};
    ASSERT_NE(FillRect(dc, &all, red), 0);
    RECT left{0, 0, 400, 600};
    ASSERT_NE(FillRect(dc, &left, reinterpret_cast<HBRUSH>(GetStockObject(BLACK_BRUSH))), 0);
    EXPECT_EQ(PixelAt(sdl, 100, 300), RGB(0, 0, 0));
    EXPECT_EQ(PixelAt(sdl, 700, 300), RGB(200, 30, 10));
    EXPECT_TRUE(DeleteObject(reinterpret_cast<HGDIOBJ>(red)));
    EXPECT_EQ(FillRect(dc, &all, red), 0) << "a deleted brush paints nothing";
    EXPECT_EQ(PixelAt(sdl, 100, 300), RGB(0, 0, 0));
    EXPECT_EQ(ReleaseDC(hwnd, dc), 1);
    EXPECT_EQ(FillRect(dc, &all, reinterpret_cast<HBRUSH>(GetStockObject(WHITE_BRUSH))), 0);
    EXPECT_TRUE(DestroyWindow(hwnd));
    EXPECT_EQ(GetDC(hwnd), nullptr);
}

}  // namespace

}  // namespace window_gl_test
