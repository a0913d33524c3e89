#include "platform/win32/WinDisplay.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

namespace win_display_test {

namespace {

// Runs the body in a child with no display of any kind in its environment,
// so that SDL's start-up there does not touch this process; the child's exit
// status is the number of the first check that failed (0: all held).
int WithoutDisplay(int (*body)())
{
    const pid_t pid = fork();
    if (pid == 0) {
        unsetenv("DISPLAY");
        unsetenv("WAYLAND_DISPLAY");
        unsetenv("SDL_VIDEODRIVER");
        _exit(body());
    }
    int status = 0;
    if (pid < 0 || waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) {
        return -1;
    }
    return WEXITSTATUS(status);
}

TEST(WinDisplayTest, NoDisplayIsNotHiddenBehindAnOffScreenDriver)
{
    const int failed = WithoutDisplay([] {
        DEVMODEA mode{};
        mode.dmSize = sizeof mode;
        if (EnumDisplaySettingsA(nullptr, ENUM_CURRENT_SETTINGS, &mode) != FALSE) {
            return 1;  // an off-screen driver stood in for the missing display
        }
        if (platform::StartVideoSubsystem()) {
            return 2;
        }
        // Asked for by name, the off-screen driver is there for tools and tests.
        setenv("SDL_VIDEODRIVER", "offscreen", 1);
        if (EnumDisplaySettingsA(nullptr, ENUM_CURRENT_SETTINGS, &mode) == FALSE) {
            return 3;
        }
        return std::strncmp(reinterpret_cast<const char*>(mode.dmDeviceName), "offscreen", CCHDEVICENAME) == 0 ? 0 : 4;
    });
    EXPECT_EQ(failed, 0);
}

}  // namespace

}  // namespace win_display_test
