#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <thread>

#include "platform/win32/WinLastError.h"
#include "platform/win32/WinRegistry.h"

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

const std::string kRunDir = QMV_RUN_DIR;
const std::string kScript = std::string(QMV_SOURCE_DIR) + "/tests/framework/core/app/close_window.py";

pid_t StartGame()
{
    const pid_t pid = fork();
    if (pid == 0) {
        if (chdir("/") != 0) {
            _exit(126);
        }
        const std::string program = kRunDir + "/quorvel";
        execl(program.c_str(), program.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    return pid;
}

// Waits up to `seconds` for the process; -1 while it still runs.
int WaitExit(pid_t pid, int seconds)
{
    for (int i = 0; i < seconds * 20; ++i) {
        int status = 0;
        if (waitpid(pid, &status, WNOHANG) == pid) {
            return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return -1;
}

std::string RunScript(const std::string& arguments)
{
    std::string output;
    FILE* pipe = popen(("/usr/bin/python3 " + kScript + " " + arguments).c_str(), "r");
    if (pipe == nullptr) {
        return output;
    }
    char buffer[256];
    while (fgets(buffer, sizeof buffer, pipe) != nullptr) {
        output += buffer;
    }
    pclose(pipe);
    return output;
}

// The game's "shutdowncorrect" registry text; "<missing>" when absent.
std::string ShutdownCorrect()
{
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Orvendale\\Quorvel", 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) {
        return "<missing>";
    }
    char text[64] = {};
    DWORD size = sizeof text - 1;
    DWORD type = 0;
    const LONG result = RegQueryValueExA(key, "shutdowncorrect", nullptr, &type, reinterpret_cast<BYTE*>(text), &size);
    RegCloseKey(key);
    return result == ERROR_SUCCESS && type == REG_SZ ? std::string(text) : "<missing>";
}

}  // namespace

TEST(GameE2ETest, WindowOpensSecondInstanceEndsAndClosingEndsTheGame)
{
    if (getenv("DISPLAY") == nullptr) {
        GTEST_SKIP() << "needs a display (run under xvfb-run)";
    }
    const pid_t game = StartGame();
    ASSERT_GT(game, 0);
    EXPECT_EQ(RunScript("Quorvel 20 --size-only"), "800x600\n");
    EXPECT_EQ(ShutdownCorrect(), "false") << "a running game marks its end as not yet orderly";

    const pid_t second = StartGame();
    EXPECT_EQ(WaitExit(second, 10), 0);
    EXPECT_EQ(WaitExit(game, 1), -1) << "the first instance must keep running";

    EXPECT_EQ(RunScript("Quorvel 10"), "800x600\n");
    const int code = WaitExit(game, 15);
    if (code == -1) {
        kill(game, SIGKILL);
        waitpid(game, nullptr, 0);
    }
    EXPECT_EQ(code, 0);
    EXPECT_EQ(ShutdownCorrect(), "true") << "an orderly end is recorded in the registry";
}
