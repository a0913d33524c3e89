#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>

#include "platform/win32/WinLastError.h"
#include "tests/framework/core/app/GameProcess.h"
#include "platform/win32/WinRegistry.h"

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using gameprocess::kRunDir;
using gameprocess::RunScript;
using gameprocess::StartGame;
using gameprocess::WaitExit;
using gameprocess::Xdo;

// The colour at (x, y) of the window with the X id `window`, as
// ImageMagick names it; the first frames may still be on their way, so it
// waits for `expected`.
std::string PixelColour(const std::string& window, int x, int y, const std::string& expected, int seconds)
{
    std::string colour;
    const std::string command = "import -window '" + window + "' -format '%[pixel:p{" + std::to_string(x) + "," +
                                std::to_string(y) + "}]' info: 2>/dev/null";
    for (int i = 0; i < seconds * 10; ++i) {
        colour.clear();
        FILE* pipe = popen(command.c_str(), "r");
        if (pipe != nullptr) {
            char buffer[128];
            while (fgets(buffer, sizeof buffer, pipe) != nullptr) {
                colour += buffer;
            }
            pclose(pipe);
        }
        if (colour == expected) {
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return colour;
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

class GameE2ETest : public ::testing::Test {
protected:
    void SetUp() override { folder = gameprocess::UseOwnFolders("qmv_e2e_"); }
    void TearDown() override { std::filesystem::remove_all(folder); }

    std::filesystem::path folder;
};

}  // namespace

TEST_F(GameE2ETest, WindowOpensSecondInstanceEndsAndClosingEndsTheGame)
{
    ASSERT_NE(getenv("DISPLAY"), nullptr) << "needs a display (run under xvfb-run)";
    const pid_t game = StartGame();
    ASSERT_GT(game, 0);
    const std::string ofGame = " --pid " + std::to_string(game);
    EXPECT_EQ(RunScript("Quorvel 60 --size-only" + ofGame), "800x600\n");
    std::string window = RunScript("Quorvel 5 --id-only" + ofGame);
    window = window.substr(0, window.find('\n'));
    // Which scene shows by now depends on how fast the machine starts the
    // game (the splash's backdrop, the loading screen or the menu), but some
    // picture must be drawn: never the black of a window nothing presents to.
    // The splash fades in from black, so black is waited out first.
    std::string corner;
    for (int second = 0; second < 15 && (corner.empty() || corner == "srgb(0,0,0)"); ++second) {
        corner = PixelColour(window, 8, 8, "srgb(29,53,87)", 1);
    }
    EXPECT_NE(corner, "") << "the window can be read";
    EXPECT_NE(corner, "srgb(0,0,0)") << "the game presents its frames";
    EXPECT_EQ(ShutdownCorrect(), "false") << "a running game marks its end as not yet orderly";

    const pid_t second = StartGame();
    EXPECT_EQ(WaitExit(second, 10), 0);
    EXPECT_EQ(WaitExit(game, 1), -1) << "the first instance must keep running";

    EXPECT_EQ(RunScript("Quorvel 10" + ofGame), "800x600\n");
    const int code = WaitExit(game, 15);
    if (code == -1) {
        kill(game, SIGKILL);
        waitpid(game, nullptr, 0);
    }
    EXPECT_EQ(code, 0);
    EXPECT_EQ(ShutdownCorrect(), "true") << "an orderly end is recorded in the registry";
}

namespace {

struct Ended {
    int code = -1;
    std::string errors;
};

// Runs the program to its end, with or without a display, and answers its
// exit status and what it wrote on stderr.
Ended RunToEnd(const std::string& program, bool display)
{
    Ended ended;
    int pipeEnds[2];
    if (pipe(pipeEnds) != 0) {
        return ended;
    }
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(pipeEnds[1], STDERR_FILENO);
        close(pipeEnds[0]);
        close(pipeEnds[1]);
        if (!display) {
            unsetenv("DISPLAY");
            unsetenv("WAYLAND_DISPLAY");
            unsetenv("SDL_VIDEODRIVER");
        }
        if (chdir("/") == 0) {
            execl(program.c_str(), program.c_str(), static_cast<char*>(nullptr));
        }
        _exit(127);
    }
    close(pipeEnds[1]);
    char buffer[4096];
    for (ssize_t got; (got = read(pipeEnds[0], buffer, sizeof buffer)) > 0;) {
        ended.errors.append(buffer, static_cast<std::size_t>(got));
    }
    close(pipeEnds[0]);
    ended.code = WaitExit(pid, 30);
    if (ended.code == -1) {
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
    }
    return ended;
}

// A copy of the program beside the run folder's data, with its own
// properties folder where one file is cut short.
std::string ProgramWithDamaged(const std::filesystem::path& where, const std::string& damaged)
{
    namespace fs = std::filesystem;
    fs::create_directories(where / "properties");
    for (const auto& entry : fs::directory_iterator(kRunDir)) {
        const std::string name = entry.path().filename().string();
        if (name != "properties" && name != "quorvel") {
            fs::create_directory_symlink(entry.path(), where / name);
        }
    }
    fs::copy_file(kRunDir + "/quorvel", where / "quorvel");
    for (const auto& entry : fs::directory_iterator(kRunDir + "/properties")) {
        fs::copy_file(entry.path(), where / "properties" / entry.path().filename());
    }
    const fs::path cut = where / "properties" / damaged;
    fs::resize_file(cut, fs::file_size(cut) / 2);
    return (where / "quorvel").string();
}

}  // namespace

TEST_F(GameE2ETest, FailedStartsSayWhyAndEndWithAFailureStatus)
{
    ASSERT_NE(getenv("DISPLAY"), nullptr) << "needs a display (run under xvfb-run)";
    const Ended noDisplay = RunToEnd(kRunDir + "/quorvel", false);
    EXPECT_EQ(noDisplay.code, 1);
    EXPECT_NE(noDisplay.errors.find("No graphics driver is available for this display"), std::string::npos)
        << noDisplay.errors;

    const Ended manifest = RunToEnd(ProgramWithDamaged(folder / "manifest", "application.xml"), true);
    EXPECT_EQ(manifest.code, 1);
    EXPECT_NE(manifest.errors.find("properties/application.xml is damaged and could not be read"), std::string::npos)
        << manifest.errors;

    const Ended strings = RunToEnd(ProgramWithDamaged(folder / "strings", "strings.xml"), true);
    EXPECT_EQ(strings.code, 1);
    EXPECT_NE(strings.errors.find("properties/strings.xml are damaged and could not be read"), std::string::npos)
        << strings.errors;
}

TEST_F(GameE2ETest, APlayerIsMadeInTheMenuAndQuittingAsksFirst)
{
    ASSERT_NE(getenv("DISPLAY"), nullptr) << "needs a display (run under xvfb-run)";
    const pid_t game = StartGame();
    ASSERT_GT(game, 0);
    const std::string ofGame = " --pid " + std::to_string(game);
    std::string window = RunScript("Quorvel 60 --id-only" + ofGame);
    window = window.substr(0, window.find('\n'));
    ASSERT_FALSE(window.empty());
    // The splash card is cream in the middle of the window; after it and the
    // loading screen (about seven seconds together) the menu opens the
    // new-player dialog, whose cream panel lies at the same place.
    EXPECT_EQ(PixelColour(window, 200, 200, "srgb(255,248,231)", 30), "srgb(255,248,231)") << "the splash shows";
    std::this_thread::sleep_for(std::chrono::seconds(8));
    const std::string panel = PixelColour(window, 200, 200, "srgb(255,248,231)", 30);
    EXPECT_EQ(panel, "srgb(255,248,231)") << "the new-player dialog opens over the menu";
    EXPECT_TRUE(Xdo("windowfocus --sync " + window));
    EXPECT_TRUE(Xdo("mousemove --window " + window + " 400 310 click 1"));
    EXPECT_TRUE(Xdo("type --delay 60 ' Ann '"));
    EXPECT_TRUE(Xdo("key Return"));
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    EXPECT_TRUE(Xdo("mousemove --window " + window + " 110 522 click 1"));
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    EXPECT_TRUE(Xdo("mousemove --window " + window + " 316 344 click 1"));
    const int code = WaitExit(game, 15);
    if (code == -1) {
        kill(game, SIGKILL);
        waitpid(game, nullptr, 0);
    }
    EXPECT_EQ(code, 0) << "yes to the quit question ends the game";
    EXPECT_EQ(ShutdownCorrect(), "true");
    EXPECT_TRUE(std::filesystem::exists(folder / "XDG_DATA_HOME/Orvendale/Games/Quorvel/players/players.plrs.!"))
        << "the new player is stored";
}
