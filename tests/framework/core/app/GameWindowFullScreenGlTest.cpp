// A full-screen game window under a small window manager (evilwm) that loses
// the focus and the screen to another virtual desktop and gets it back: the
// loop below draws as the application's does, a frame whenever the window is
// not minimised, and the screen must show the picture again without the
// pointer coming near it. The test starts its own X server, larger than the
// game, and the window manager, so that the shared test display stays
// without one.
#include <gtest/gtest.h>

#include <SDL.h>
// After the test framework: the X headers define names it uses.
#include <SDL_syswm.h>

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>

#include "framework/core/app/GameWindowWin32.h"
#include "framework/core/app/Message.h"
#include "framework/core/app/MessageData.h"
#include "framework/core/app/MessageRecorder.h"
#include "framework/core/util/Color.h"
#include "framework/graphics/image/ImageManager.h"
#include "framework/graphics/render/Renderer.h"
#include "platform/d3d9/Direct3D9Library.h"
#include "platform/win32/WinMessages.h"
#include "platform/win32/WindowHandle.h"
#include "tests/ShellOutput.h"
#include "tests/SkipOutsideCi.h"
#include "tests/platform/win32/WindowManagerDisplay.h"

namespace game_window_full_screen_gl_test {

using Qmv2::GameWindow;
using Qmv2::GameWindowWin32;
using Qmv2::Renderer;

namespace {

constexpr int kScreenWidth = 1280;
constexpr int kScreenHeight = 1024;

// What the screen shows at (x, y), as ImageMagick names the colour.
std::string ScreenPixel(int x, int y)
{
    return ShellOutput("import -window root -format '%[pixel:p{" + std::to_string(x) + "," + std::to_string(y) +
                       "}]' info: 2>/dev/null");
}

// The X window of the game window, for xwininfo.
std::string XWindow(GameWindowWin32& window)
{
    SDL_SysWMinfo wm;
    SDL_VERSION(&wm.version);
    SDL_Window* sdl = platform::SdlWindowFromHwnd(window.GetHandle());
    if (sdl == nullptr || SDL_GetWindowWMInfo(sdl, &wm) != SDL_TRUE || wm.subsystem != SDL_SYSWM_X11) {
        return "0";
    }
    return std::to_string(wm.info.x11.window);
}

// "<width>x<height> <map state>" of the window as the X server has it.
std::string ServerState(GameWindowWin32& window)
{
    const std::string info = ShellOutput("xwininfo -id " + XWindow(window) + " 2>/dev/null");
    const auto field = [&](const std::string& name) {
        const std::size_t at = info.find(name);
        return at == std::string::npos ? std::string("?")
                                       : info.substr(at + name.size(), info.find('\n', at) - at - name.size());
    };
    return field("Width: ") + "x" + field("Height: ") + " " + field("Map State: ");
}

class GameWindowFullScreenGlTest : public ::testing::Test {
protected:
    void TearDown() override
    {
        if (Renderer* renderer = Renderer::GetInstance()) {
            renderer->ReleaseResources();
        }
        Renderer::ReleaseInstance();
        Qmv2::ImageManager::ReleaseInstance();
        if (GameWindow* window = GameWindow::GetInstance()) {
            window->GetMessageHandler().RemoveListener(&recorder);
            window->Destroy();
            GameWindow::ReleaseInstance();
        }
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
    }

    // Runs the application's loop until `done`, for half a minute at the
    // most: the window's messages first, then a frame of one colour whenever
    // the window is not minimised.
    template <typename Done>
    bool Run(Done done)
    {
        return WindowManagerDisplay::Poll(
            [&] {
                MSG message{};
                while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
                    TranslateMessage(&message);
                    DispatchMessageA(&message);
                }
                if (!GameWindow::GetInstance()->IsMinimized()) {
                    Qmv2::Color colour(1.0f, 1.0f, 0.5f, 0.0f);  // opaque orange
                    Renderer::GetInstance()->Clear(colour);
                    Renderer::GetInstance()->Present();
                }
                return done();
            },
            30000);
    }

    // How many of the window's messages `id` carried `flag`.
    int Count(std::uint32_t id, bool flag) const
    {
        int count = 0;
        for (std::size_t i = 0; i < recorder.received.size(); ++i) {
            auto* data = recorder.DataAt<Qmv2::TemplateMessageData<bool>>(i);
            count += recorder.received[i].id == id && data != nullptr && data->m_Value == flag ? 1 : 0;
        }
        return count;
    }

    // Outlives the window, which is destroyed in TearDown.
    std::unique_ptr<WindowManagerDisplay> display;
    QmvTest::MessageRecorder recorder;
};

}  // namespace

TEST_F(GameWindowFullScreenGlTest, AFocusLossOrADesktopSwitchLeavesThePictureOnTheScreen)
{
    if (SDL_WasInit(SDL_INIT_VIDEO) != 0) {
        QMV_SKIP_OUTSIDE_CI("needs a process of its own (ctest runs each test alone)");
    }
    if (!ShellOutput("for t in Xvfb evilwm xwininfo xprop xdotool import; do command -v $t >/dev/null || echo $t; done")
             .empty()) {
        QMV_SKIP_OUTSIDE_CI("Xvfb, evilwm, xwininfo, xprop, xdotool and ImageMagick are installed by scripts/setup.sh");
    }
    display = std::make_unique<WindowManagerDisplay>(kScreenWidth, kScreenHeight);
    ASSERT_EQ(display->Error(), "");
    ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_VIDEO), 0) << SDL_GetError();
    platform::d3d9::RegisterDirect3D9Library();
    GameWindowWin32::CreateGameWindow("Full screen", 800, 600, true);
    auto& window = static_cast<GameWindowWin32&>(*GameWindow::GetInstance());
    Qmv2::ImageManager::Create();
    ASSERT_EQ(Renderer::Create(800, 600), 0);
    window.SetFullscreen(true);
    const std::string fullScreen = std::to_string(kScreenWidth) + "x" + std::to_string(kScreenHeight) + " IsViewable";
    ASSERT_TRUE(Run([&] { return ServerState(window) == fullScreen; })) << ServerState(window);
    // The middle of the screen shows the picture; the pointer rests in a
    // corner, outside where a window of the game's own size would stand.
    const std::string picture = "srgb(255,128,0)";
    ASSERT_TRUE(Run([&] { return ScreenPixel(kScreenWidth / 2, kScreenHeight / 2) == picture; }))
        << ScreenPixel(kScreenWidth / 2, kScreenHeight / 2);
    ASSERT_EQ(std::system("xdotool mousemove 5 5"), 0);

    // The focus goes elsewhere while the window stays on the screen.
    window.GetMessageHandler().AddListener(&recorder);
    SDL_SysWMinfo wm;
    SDL_VERSION(&wm.version);
    ASSERT_TRUE(SDL_GetWindowWMInfo(platform::SdlWindowFromHwnd(window.GetHandle()), &wm));
    XSetInputFocus(wm.info.x11.display, None, RevertToNone, CurrentTime);
    XSync(wm.info.x11.display, False);
    using Qmv2::Message;
    ASSERT_TRUE(Run([&] { return Count(Message::kActivationChanged, false) > 0; })) << "the focus loss is told";
    EXPECT_FALSE(window.IsMinimized());
    EXPECT_EQ(Count(Message::kMinimizedChanged, true), 0) << "a focus loss is no minimise";
    EXPECT_EQ(ServerState(window), fullScreen);

    // Another desktop and back: the picture shows again.
    ASSERT_EQ(std::system("xdotool set_desktop 1"), 0);
    EXPECT_TRUE(Run([&] { return ServerState(window).find("IsViewable") == std::string::npos; }))
        << "off the screen on the other desktop: " << ServerState(window);
    ASSERT_EQ(std::system("xdotool set_desktop 0"), 0);
    EXPECT_TRUE(Run([&] {
        return ServerState(window) == fullScreen && ScreenPixel(kScreenWidth / 2, kScreenHeight / 2) == picture;
    })) << ServerState(window) << ", " << ScreenPixel(kScreenWidth / 2, kScreenHeight / 2);
}

}  // namespace game_window_full_screen_gl_test
