// The crossword mode played as a player plays it, in the real program under
// Xvfb: a new player starts the mode and closes the window mid-round, which
// keeps the round; the round is swapped for a known board, which comes back
// on the next start; every word is typed (crossing letters typed again are
// swallowed once), the board turns for words running down and zooms in and
// out, and the finished round leads to round 2. The board is compared with
// golden pictures at three moments.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "framework/core/files/Descramble.h"
#include "tests/ShellOutput.h"
#include "tests/framework/core/app/GameProcess.h"

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

namespace crisscross_e2_e_test {

namespace {

namespace fs = std::filesystem;

const std::string kRunDir = QMV_RUN_DIR;
const std::string kClose = std::string(QMV_SOURCE_DIR) + "/tests/framework/core/app/close_window.py";
const std::string kData = QMV_TEST_DATA_DIR;
// The board's window on the screen.
const char* const kBoardCrop = "630x340+85+20";
// The known board's words, in the order the round takes them.
const std::vector<std::string> kWords = {"slotted", "soled", "lets", "dole", "dotes", "doles", "tost", "doe"};

void Sleep(int ms)
{
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

std::string ReadFile(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

class CrisscrossE2ETest : public ::testing::Test {
protected:
    void SetUp() override
    {
        folder = fs::temp_directory_path() / ("qmv_crisscross_" + std::to_string(getpid()));
        for (const char* name : {"XDG_RUNTIME_DIR", "XDG_CONFIG_HOME", "XDG_DATA_HOME"}) {
            fs::create_directories(folder / name);
            setenv(name, (folder / name).c_str(), 1);
        }
        setenv("QMV_RANDOM_SEED", "7", 1);
    }
    void TearDown() override
    {
        if (game > 0) {
            kill(game, SIGKILL);
            waitpid(game, nullptr, 0);
        }
        fs::remove_all(folder);
    }

    // Starts the program with its output in the log; answers its window's id.
    std::string Start()
    {
        game = fork();
        if (game == 0) {
            const std::string log = (folder / "game.log").string();
            if (freopen(log.c_str(), "a", stdout) == nullptr || freopen(log.c_str(), "a", stderr) == nullptr ||
                chdir("/") != 0) {
                _exit(126);
            }
            const std::string program = kRunDir + "/quorvel";
            execl(program.c_str(), program.c_str(), static_cast<char*>(nullptr));
            _exit(127);
        }
        const std::string id =
            ShellOutput("/usr/bin/python3 " + kClose + " Quorvel 60 --id-only --pid " + std::to_string(game));
        window = id.substr(0, id.find('\n'));
        ShellOutput("xdotool mousemove --window " + window + " 400 300");
        return window;
    }

    int Close()
    {
        const int code = gameprocess::CloseAndWait(game);
        if (code == -1) {
            kill(game, SIGKILL);
            waitpid(game, nullptr, 0);
        }
        game = -1;
        return code;
    }

    static void Key(const std::string& key) { ShellOutput("xdotool key --delay 120 " + key); }
    static void Type(const std::string& text) { ShellOutput("xdotool type --delay 150 " + text); }
    // A click at a point of the game's window (which also has the pointer,
    // and so the keys, from then on).
    void Click(int x, int y)
    {
        ShellOutput("xdotool mousemove --window " + window + " " + std::to_string(x) + " " + std::to_string(y) +
              " sleep 0.3 mousedown 1 sleep 0.1 mouseup 1");
    }

    // Waits for the program to log `text` after what the last wait saw (the
    // scene or a dialog taking input, a word found or in play): a word change
    // (a slide, a turn and a zoom) takes long on a slow software rasteriser,
    // whose frames the animations wait for, so each step waits for the game
    // rather than for a fixed time.
    void Await(const std::string& text)
    {
        EXPECT_TRUE(gameprocess::WaitForTextAfter(folder / "game.log", text, seen, 90))
            << "waited for \"" << text << "\" in\n" << Log();
    }
    // Waits for the next word to come into play and the board to hold still.
    void AwaitWordInPlay()
    {
        Await("Round 1 of CROSSWORD, word ");
        Await(" in play");
        EXPECT_TRUE(gameprocess::WaitForStill(window, folder, 60)) << "the board comes to rest";
    }
    // Clicks the menu's Crisscross button (the menu taking input) until the
    // mode has dealt or restored a round, each click given ten seconds to,
    // then waits for the scene to take input and the board to settle.
    void StartCrisscross()
    {
        const auto rounds = [this] {
            std::size_t count = 0;
            for (std::size_t at = Log().find("of CROSSWORD"); at != std::string::npos;
                 at = Log().find("of CROSSWORD", at + 1)) {
                ++count;
            }
            return count;
        };
        const std::size_t before = rounds();
        for (int tries = 0; tries < 9 && rounds() == before; ++tries) {
            Click(440, 450);
            for (int i = 0; i < 100 && rounds() == before; ++i) {
                Sleep(100);
            }
        }
        Await("The scene SCENE_CRISSCROSS takes input");
        EXPECT_TRUE(gameprocess::WaitForStill(window, folder, 60)) << "the board comes to rest";
    }

    std::string Log() const { return ReadFile(folder / "game.log"); }
    // Waits out the splash and the loading screen: true once the menu shows
    // and its new-player dialog's cream panel is there.
    bool WaitForMenu() const
    {
        for (int i = 0; i < 900 && Log().find("The menu shows") == std::string::npos; ++i) {
            Sleep(100);
        }
        const std::string cream = "srgb(255,248,231)";
        const std::string command = "import -window '" + window + "' -format '%[pixel:p{200,200}]' info: 2>/dev/null";
        for (int i = 0; i < 300; ++i) {
            if (ShellOutput(command) == cream) {
                return true;
            }
            Sleep(100);
        }
        return false;
    }

    // Compares the board's window with a golden picture; QMV_UPDATE_GOLDEN=1
    // writes the picture as the golden one.
    void ExpectBoard(const std::string& name)
    {
        const fs::path shot = folder / (name + ".png");
        const fs::path golden = fs::path(kData) / "golden" / (name + ".png");
        ShellOutput("import -window '" + window + "' -crop " + kBoardCrop + " +repage '" + shot.string() + "'");
        ASSERT_TRUE(fs::exists(shot)) << name;
        const char* update = std::getenv("QMV_UPDATE_GOLDEN");
        if (update != nullptr && std::string(update) == "1") {
            fs::create_directories(golden.parent_path());
            fs::copy_file(shot, golden, fs::copy_options::overwrite_existing);
            return;
        }
        ASSERT_TRUE(fs::exists(golden)) << golden;
        // Differing pixels beyond a small colour tolerance (the software
        // rasteriser may round edges differently).
        const std::string count =
            ShellOutput("compare -metric AE -fuzz 8% '" + shot.string() + "' '" + golden.string() + "' null: 2>&1");
        const double differing = std::atof(count.c_str());
        EXPECT_LT(differing, 630.0 * 340.0 * 0.01) << name << ": " << count << " pixels differ; see " << shot;
        if (differing >= 630.0 * 340.0 * 0.01) {
            fs::copy_file(shot, fs::path(QMV_BINARY_DIR) / (name + "-actual.png"), fs::copy_options::overwrite_existing);
        }
    }

    fs::path folder;
    pid_t game = -1;
    std::string window;
    std::size_t seen = 0;  // how far Await has read the log (kept across starts)
};

}  // namespace

TEST_F(CrisscrossE2ETest, ARoundIsKeptRestoredFilledTurnedZoomedAndFinished)
{
    ASSERT_NE(getenv("DISPLAY"), nullptr) << "needs a display (run under xvfb-run)";
    // A new player starts the mode; closing the window mid-round keeps it.
    ASSERT_FALSE(Start().empty());
    // The new-player dialog comes over the menu.
    ASSERT_TRUE(WaitForMenu()) << Log();
    Type("Tester");
    Key("Return");
    Await("The dialog DIALOG_NEWPLAYER is closed");
    // The tutorial may take input before the transition to the scene ends.
    std::size_t tutorial = seen;
    StartCrisscross();
    ASSERT_NE(Log().find("Round 1 of CROSSWORD"), std::string::npos) << Log();
    EXPECT_TRUE(gameprocess::WaitForTextAfter(folder / "game.log", "The dialog DIALOG_TUTORIAL takes input", tutorial,
                                              90))
        << Log();
    Key("Return");  // the mode's tutorial
    Await("The dialog DIALOG_TUTORIAL is closed");
    ASSERT_EQ(Close(), 0);
    fs::path save;
    for (const auto& entry : fs::recursive_directory_iterator(folder)) {
        if (entry.path().filename() == "CROSSWORD.sav.!") {
            save = entry.path();
        }
    }
    ASSERT_FALSE(save.empty()) << "closing the window during a round keeps it";

    // The kept round is swapped for a known one, which the next start restores.
    std::string known = ReadFile(fs::path(kData) / "crisscross_round.xml");
    ASSERT_FALSE(known.empty());
    Qmv2::DescrambleBuffer(reinterpret_cast<unsigned char*>(known.data()), known.size());
    std::ofstream(save, std::ios::binary | std::ios::trunc) << known;

    ASSERT_FALSE(Start().empty());
    Await("The scene SCENE_SELECTION takes input");
    StartCrisscross();
    EXPECT_EQ(Log().find("is not used"), std::string::npos) << Log();
    EXPECT_FALSE(fs::exists(save)) << "a restored round is played once";
    ExpectBoard("crisscross_restored");

    // The first word runs across; the second runs down, so the board turns.
    Type(kWords[0]);
    Key("Return");
    Await("Round 1 of CROSSWORD: " + kWords[0] + " found");
    AwaitWordInPlay();
    ExpectBoard("crisscross_turned");
    Key("Up");
    AwaitWordInPlay();
    ExpectBoard("crisscross_zoomed");
    Key("Down");
    AwaitWordInPlay();
    for (std::size_t i = 1; i < kWords.size(); ++i) {
        Type(kWords[i]);
        Key("Return");
        Await("Round 1 of CROSSWORD: " + kWords[i] + " found");
        if (i + 1 < kWords.size()) {
            Await("Round 1 of CROSSWORD, word ");
            Await(" in play");
        }
    }
    // The sheen over the finished board, then the next-round dialog.
    Await("The dialog DIALOG_NEXTROUND takes input");
    Key("Return");
    Click(400, 404);
    Await("Round 2 of CROSSWORD");
    EXPECT_EQ(Close(), 0);
}

}  // namespace crisscross_e2_e_test
