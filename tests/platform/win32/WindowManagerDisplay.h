// An X server of a test's own with a small window manager (evilwm) on it, for
// the tests of full-screen windows, so that the shared test display stays
// without a window manager. The server and the manager end with the object.
#pragma once

#include <chrono>
#include <cstdlib>
#include <memory>
#include <string>
#include <thread>

#include <unistd.h>

#include "tests/ShellOutput.h"
#include "tests/platform/win32/ChildProcess.h"

class WindowManagerDisplay {
public:
    // Starts the server with one screen of `width` x `height`, points DISPLAY
    // at it and starts the window manager; Error() says what did not start.
    WindowManagerDisplay(int width, int height)
    {
        int displayPipe[2];
        if (pipe(displayPipe) != 0) {
            m_Error = "no pipe for the X server's display number";
            return;
        }
        m_Server = std::make_unique<ChildProcess>([&] {
            dup2(displayPipe[1], 3);
            const std::string screen = std::to_string(width) + "x" + std::to_string(height) + "x24";
            execlp("Xvfb", "Xvfb", "-displayfd", "3", "-screen", "0", screen.c_str(), "-nolisten", "tcp", "-noreset",
                   static_cast<char*>(nullptr));
        });
        close(displayPipe[1]);
        // The server writes its number and then a newline: the pipe stays
        // open until the newline, or the second write fails and the server
        // stops.
        std::string number;
        char c = 0;
        while (read(displayPipe[0], &c, 1) == 1 && c != '\n') {
            number += c;
        }
        close(displayPipe[0]);
        if (number.empty()) {
            m_Error = "the X server gives no display number";
            return;
        }
        const std::string display = ":" + number;
        setenv("DISPLAY", display.c_str(), 1);
        if (!Poll([] { return ShellOutput("xprop -root _NET_SUPPORTED 2>&1").find("unable to open") == std::string::npos; },
                  60000)) {
            m_Error = "the X server takes no clients on " + display;
            return;
        }
        // On a loaded machine the window manager has been seen to give up on
        // a server that had just started; it gets three tries.
        for (int attempt = 0; attempt < 3; ++attempt) {
            m_Manager.reset();  // a second manager beside a slow first is refused
            m_Manager = std::make_unique<ChildProcess>(
                [] { execlp("evilwm", "evilwm", "-fn", "fixed", static_cast<char*>(nullptr)); });
            if (Poll([] { return ShellOutput("xprop -root _NET_SUPPORTING_WM_CHECK").find("window id") != std::string::npos; },
                     30000)) {
                return;
            }
        }
        m_Error = "the window manager does not start on " + display;
    }

    // Empty once the server and the window manager run.
    const std::string& Error() const { return m_Error; }

    // Waits up to `milliseconds` for `done`, asking again every 20 ms.
    template <typename Done>
    static bool Poll(Done done, int milliseconds)
    {
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
        while (!done()) {
            if (std::chrono::steady_clock::now() > end) {
                return false;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return true;
    }

private:
    std::unique_ptr<ChildProcess> m_Server;
    std::unique_ptr<ChildProcess> m_Manager;
    std::string m_Error;
};
