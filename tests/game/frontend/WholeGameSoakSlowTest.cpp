// One process of the real program plays rounds of every mode for
// QMV_SOAK_MINUTES (30 unless set) under Xvfb, driven with xdotool: each
// timed and untimed round is solved by typing every answer and the next
// round begins, the word of the day takes an answer, Blitz takes its dealt words, a crossword round is dealt; every
// mode is left by its menu's Stop and entered again. The program comes from
// QMV_SOAK_RUN_DIR (a build with address and undefined-behaviour sanitizers,
// see the README); without it the soak is skipped. Its resident memory is sampled
// every minute; the soak holds when no sanitizer spoke, the program ends
// with 0 by the Quit question, and memory grew by less than 10 MB between
// minute 5 and the end.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include "framework/core/object/SmartPtr.h"
#include "game/words/AnagramTable.h"
#include "game/words/WordTree.h"
#include "tests/framework/core/app/GameProcess.h"
#include "tests/game/frontend/RoundAnswers.h"

namespace whole_game_soak_slow_test {

using namespace gameprocess;
namespace fs = std::filesystem;

namespace {

using Clock = std::chrono::steady_clock;

// Resident memory of the process in kB; -1 once it is gone.
long ResidentKb(pid_t pid)
{
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(status, line);) {
        if (line.rfind("VmRSS:", 0) == 0) {
            return std::atol(line.c_str() + 6);
        }
    }
    return -1;
}

// The last match's first group of `pattern` in `text`.
std::string Last(const std::string& text, const std::string& pattern)
{
    std::string found;
    const std::regex re(pattern);
    for (std::sregex_iterator it(text.begin(), text.end(), re), end; it != end; ++it) {
        found = (*it)[1].str();
    }
    return found;
}

std::vector<std::string> Answers(const WordTree& main, const WordTree& second, const std::string& word)
{
    return frontendtest::RoundAnswers(main, second, word);
}

}  // namespace

TEST(WholeGameSoak, EveryModePlayedForHalfAnHourInOneProcess)
{
    const char* runDirText = std::getenv("QMV_SOAK_RUN_DIR");
    if (runDirText == nullptr) {
        GTEST_SKIP() << "half an hour long: runs only when QMV_SOAK_RUN_DIR names the program's folder";
    }
    ASSERT_NE(getenv("DISPLAY"), nullptr) << "needs a display (run under xvfb-run)";
    const char* minutesText = std::getenv("QMV_SOAK_MINUTES");
    const int minutes = minutesText != nullptr ? std::atoi(minutesText) : 30;
    ASSERT_GE(minutes, 6) << "the growth is measured from minute 5";
    const std::string program = std::string(runDirText) + "/quorvel";
    const fs::path folder = UseOwnFolders("qmv_soak_");
    fs::permissions(folder / "XDG_RUNTIME_DIR", fs::perms::owner_all);
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    setenv("QMV_RANDOM_SEED", "7", 1);
    if (std::getenv("ASAN_OPTIONS") == nullptr) {
        setenv("ASAN_OPTIONS", "quarantine_size_mb=16", 1);
    }
    // Leaks inside system libraries are not the game's, as in every
    // sanitizer test run.
    if (std::getenv("LSAN_OPTIONS") == nullptr) {
        const std::string suppressions =
            "suppressions=" + std::string(QMV_SOURCE_DIR) + "/tests/lsan.supp:print_suppressions=0";
        setenv("LSAN_OPTIONS", suppressions.c_str(), 1);
    }
    WordTree main;
    WordTree second;
    ASSERT_TRUE(main.LoadFile(kRunDir + "/data/Quorvel2Words.tree"));
    ASSERT_TRUE(second.LoadFile(kRunDir + "/data/TollivaneWords.tree"));

    const fs::path log = folder / "soak.log";
    const pid_t game = fork();
    if (game == 0) {
        if (freopen(log.c_str(), "w", stderr) == nullptr || chdir("/") != 0) {
            _exit(126);
        }
        execl(program.c_str(), program.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    ASSERT_GT(game, 0);
    std::string window = RunScript("Quorvel 120 --id-only --pid " + std::to_string(game));
    window = window.substr(0, window.find('\n'));
    ASSERT_FALSE(window.empty());
    auto click = [&window](int x, int y) {
        Xdo("mousemove --window " + window + " " + std::to_string(x) + " " + std::to_string(y) + " sleep 0.2 click 1");
        Xdo("mousemove --window " + window + " 790 595");
    };
    auto type = [](const std::string& word) {
        Xdo("type --delay 40 " + word);
        Xdo("key Return");
        Sleep(400);
    };
    Sleep(25000);   // the splash and the loading, slower under the sanitizers
    Xdo("windowfocus --sync " + window);
    click(400, 310);
    Xdo("type --delay 60 Ann");
    Xdo("key Return");
    Sleep(3000);

    struct Mode {
        const char* name;
        int x, y;        // its button in the menu
        int menuX, menuY;  // its scene's Menu button
    };
    const std::vector<Mode> modes = {{"CLASSIC_TIMED", 440, 172, 90, 560},
                                     {"CLASSIC_UNTIMED", 440, 242, 90, 560},
                                     {"WORD_OF_THE_DAY", 440, 312, 90, 560},
                                     {"BLITZ", 440, 380, 76, 560},
                                     {"CROSSWORD", 440, 450, 724, 538}};
    const Clock::time_point start = Clock::now();
    std::vector<long> resident{ResidentKb(game)};
    int rounds = 0;
    while (Clock::now() - start < std::chrono::minutes(minutes) && ResidentKb(game) > 0) {
        for (const Mode& mode : modes) {
            click(mode.x, mode.y);
            Sleep(5000);
            click(285, 414);   // a first visit's tutorial
            Sleep(1500);
            const std::string text = ReadText(log);
            if (std::string(mode.name) == "BLITZ") {
                for (int i = 1; i <= 5; ++i) {
                    type(Last(text, "Round [0-9]+ of BLITZ, word " + std::to_string(i) + ": ([a-z]+)"));
                }
            } else if (std::string(mode.name) != "CROSSWORD") {
                const std::string word = Last(text, std::string("of ") + mode.name + ": the source word is ([a-z]+)");
                const std::vector<std::string> answers = Answers(main, second, word);
                if (std::string(mode.name) == "WORD_OF_THE_DAY") {
                    // One round a day: an answer, and the round kept.
                    type(answers.front());
                } else {
                    for (const std::string& answer : answers) {
                        type(answer);
                    }
                    Sleep(3000);
                    Xdo("key Return");   // the next round
                    Sleep(3000);
                }
            }
            click(mode.menuX, mode.menuY);
            Sleep(1500);
            click(400, 352);   // Stop game
            Sleep(1500);
            click(316, 366);   // Yes
            Sleep(3000);
            ++rounds;
            const auto elapsed = std::chrono::duration_cast<std::chrono::minutes>(Clock::now() - start).count();
            while (static_cast<long>(resident.size()) <= elapsed) {
                resident.push_back(ResidentKb(game));
            }
        }
    }
    for (std::size_t minute = 0; minute < resident.size(); ++minute) {
        std::printf("minute %zu: %ld kB resident\n", minute, resident[minute]);
    }
    std::printf("%d modes entered and left\n", rounds);
    click(144, 520);   // Quit
    Sleep(2000);
    click(316, 344);   // Yes
    const int status = WaitExit(game, 60);
    if (status == -1) {
        kill(game, SIGKILL);
        waitpid(game, nullptr, 0);
    }
    const std::string text = ReadText(log);
    EXPECT_EQ(status, 0) << text.substr(text.size() > 4000 ? text.size() - 4000 : 0);
    EXPECT_EQ(text.find("Sanitizer"), std::string::npos) << text;
    EXPECT_EQ(text.find("runtime error"), std::string::npos) << text;
    EXPECT_EQ(text.find("could not be loaded"), std::string::npos) << "every sound played was loaded: " << text;
    ASSERT_GT(resident.size(), 5u);
    EXPECT_GT(rounds, minutes) << "every mode was entered again and again";
    EXPECT_LT(resident.back() - resident[5], 10 * 1024) << "memory grew between minute 5 and the end";
    unsetenv("SDL_AUDIODRIVER");
    unsetenv("QMV_RANDOM_SEED");
    fs::remove_all(folder);
}

}  // namespace whole_game_soak_slow_test
