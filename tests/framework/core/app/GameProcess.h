// The real program run by the end-to-end tests: started in its own process,
// its window found, closed and waited for, and driven by xdotool.
#pragma once

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>
#include <sstream>
#include <string>
#include <thread>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include "tests/ShellOutput.h"

namespace gameprocess {

inline void Sleep(int milliseconds)
{
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

// A file's whole text (empty when it cannot be read).
inline std::string ReadText(const std::filesystem::path& path)
{
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// Waits up to `seconds` for `text` to appear in the file (the program's log)
// at or after the offset `from`; once it has, moves `from` past it and answers
// true. Events awaited one after another this way are never confused with an
// earlier line of the same words.
inline bool WaitForTextAfter(const std::filesystem::path& path, const std::string& text, std::size_t& from,
                             int seconds)
{
    for (int i = 0; i <= seconds * 10; ++i) {
        const std::string log = ReadText(path);
        const std::size_t found = from <= log.size() ? log.find(text, from) : std::string::npos;
        if (found != std::string::npos) {
            from = found + text.size();
            return true;
        }
        Sleep(100);
    }
    return false;
}

// Waits up to `seconds` for `text` to appear anywhere in the file.
inline bool WaitForText(const std::filesystem::path& path, const std::string& text, int seconds)
{
    std::size_t from = 0;
    return WaitForTextAfter(path, text, from, seconds);
}

// What the program logs once its menu shows after the splash and the loading
// screen (and, with no player yet, has opened the new-player dialog).
inline const std::string kMenuShows = "The menu shows";

// Waits up to `seconds` for the menu to show and to take input, the
// transition to it over (it shows first): what a test waits for before it
// clicks or types into the menu after the program started.
inline bool WaitForMenu(const std::filesystem::path& path, int seconds)
{
    return WaitForText(path, kMenuShows, seconds) && WaitForText(path, "The scene SCENE_SELECTION takes input", seconds);
}

inline const std::string kRunDir = QMV_RUN_DIR;
inline const std::string kCloseScript = std::string(QMV_SOURCE_DIR) + "/tests/framework/core/app/close_window.py";

// Gives the games a test starts folders of their own for the registry, the
// saved data and the single-instance lock (under a temporary folder named
// after `stem` and this process), so that tests running meanwhile cannot look
// like a first instance or change the recorded settings; answers the folder.
inline std::filesystem::path UseOwnFolders(const std::string& stem)
{
    const std::filesystem::path folder = std::filesystem::temp_directory_path() / (stem + std::to_string(getpid()));
    for (const char* name : {"XDG_RUNTIME_DIR", "XDG_CONFIG_HOME", "XDG_DATA_HOME"}) {
        const std::filesystem::path own = folder / name;
        std::filesystem::create_directories(own);
        setenv(name, own.c_str(), 1);
    }
    return folder;
}

// Starts the program from "/" (it finds its data beside itself); with
// `errors` its stderr goes to that file.
inline pid_t StartGame(const std::string& errors = std::string())
{
    const pid_t pid = fork();
    if (pid == 0) {
        if (!errors.empty()) {
            const int file = open(errors.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            if (file >= 0) {
                dup2(file, STDERR_FILENO);
                close(file);
            }
        }
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
inline int WaitExit(pid_t pid, int seconds)
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


// Runs the window script (close_window.py) and answers what it printed.
inline std::string RunScript(const std::string& arguments)
{
    return ShellOutput("/usr/bin/python3 " + kCloseScript + " " + arguments);
}

// Closes the window of the game `pid` as a window manager would, once (the
// script returns only when the X server has taken the request), and waits up
// to `seconds` for the game to end; its exit status, -1 while it still runs.
inline int CloseAndWait(pid_t pid, int seconds = 60)
{
    RunScript("Quorvel 60 --pid " + std::to_string(pid));
    return WaitExit(pid, seconds);
}

// Runs an xdotool command line; true when it succeeded.
inline bool Xdo(const std::string& arguments)
{
    return std::system(("xdotool " + arguments + " >/dev/null 2>&1").c_str()) == 0;
}

// The colour at (x, y) of the window with the X id `window` now, as
// ImageMagick names it (empty when it cannot be read).
inline std::string PixelNow(const std::string& window, int x, int y)
{
    std::string colour;
    const std::string command = "import -window '" + window + "' -format '%[pixel:p{" + std::to_string(x) + "," +
                                std::to_string(y) + "}]' info: 2>/dev/null";
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe != nullptr) {
        char buffer[128];
        while (fgets(buffer, sizeof buffer, pipe) != nullptr) {
            colour += buffer;
        }
        pclose(pipe);
    }
    return colour;
}

// The colour at (x, y) of the window `window`; the first frames may still be
// on their way, so it waits up to `seconds` for `expected`.
inline std::string PixelColour(const std::string& window, int x, int y, const std::string& expected, int seconds)
{
    std::string colour;
    for (int i = 0; i < seconds * 10; ++i) {
        colour = PixelNow(window, x, y);
        if (colour == expected) {
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return colour;
}

// The colour at (x, y) of the window `window` once it is no longer
// `gone` (the last one read after `seconds` when it still is).
inline std::string PixelColourOtherThan(const std::string& window, int x, int y, const std::string& gone, int seconds)
{
    std::string colour;
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    do {
        colour = PixelNow(window, x, y);
        if (!colour.empty() && colour != gone) {
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    } while (std::chrono::steady_clock::now() < until);
    return colour;
}

// Waits up to `seconds` until the window's picture holds still (its
// animations have ended): two grabs half a second apart, written into
// `folder`, differ in fewer than `pixels` pixels by more than a tenth of a
// channel's range. True once they do.
inline bool WaitForStill(const std::string& window, const std::filesystem::path& folder, int seconds,
                         int pixels = 800 * 600 / 200)
{
    const std::string before = (folder / "still-before.png").string();
    const std::string now = (folder / "still-now.png").string();
    const auto grab = [&window](const std::string& file) {
        return std::system(("import -window '" + window + "' png:'" + file + "' 2>/dev/null").c_str()) == 0;
    };
    grab(before);
    for (int i = 0; i < seconds * 2; ++i) {
        Sleep(500);
        if (!grab(now)) {
            continue;
        }
        const std::string counted =
            ShellOutput("compare -metric AE -fuzz 10% '" + before + "' '" + now + "' null: 2>&1");
        if (!counted.empty() && counted[0] >= '0' && counted[0] <= '9' && std::atof(counted.c_str()) < pixels) {
            return true;
        }
        std::filesystem::rename(now, before);
    }
    return false;
}

// How many lines of the log say that a pop-up (a comment or a trophy) `what`
// ("shows" or "has gone").
inline std::size_t CountPopups(const std::string& log, const std::string& what)
{
    const std::regex line("pop-up -?[0-9]+ " + what + "\n");
    return static_cast<std::size_t>(
        std::distance(std::sregex_iterator(log.begin(), log.end(), line), std::sregex_iterator()));
}

// Waits up to `seconds` until every pop-up the program showed has gone and
// the window's picture holds still. A pop-up queued by the last move shows a
// frame later: the picture holding still gives it the time to, and the log
// is read again after it.
inline bool WaitForPopupsGone(const std::filesystem::path& log, const std::string& window,
                              const std::filesystem::path& folder, int seconds)
{
    const auto balanced = [&log]() {
        const std::string text = ReadText(log);
        return CountPopups(text, "shows") == CountPopups(text, "has gone");
    };
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (std::chrono::steady_clock::now() < until) {
        if (balanced() && WaitForStill(window, folder, seconds) && balanced()) {
            return true;
        }
        Sleep(100);
    }
    return false;
}

}  // namespace gameprocess
