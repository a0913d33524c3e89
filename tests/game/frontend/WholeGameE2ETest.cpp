// The whole game as a player meets it: the real program under Xvfb with
// folders of its own and its sound captured through SDL's disk driver. A
// new player is made, the high scores are read, an untimed round is won by
// typing every answer the answer table knows, and the window is closed at
// the next-round dialog. Started again, the program goes on with the saved
// game at its round, shows the in-game menu, and the game is given up after
// two passes, its score entering the high scores; the settings turn the
// music down to nothing and the longest source word to seven and show the
// credits; a timed round is won against its clock and its second round is
// stopped and kept; the menu's Quit asks before the program ends with 0. A
// third start visits the trophy room, how to play and the player selection.
// The stored files are read back descrambled and must be well-formed XML;
// sox measures the capture over the stretches in which the menu music and
// the game music were due, against the silent splash, over the menu once the
// music was turned down, and around the Return that enters a word, whose
// sound must follow it out of silence. With QMV_SCREENSHOT_DIR set the suite
// also leaves its pictures there.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
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

#include "framework/core/object/SmartPtr.h"
#include "game/words/AnagramTable.h"
#include "game/words/WordTree.h"
#include "tests/framework/core/app/GameProcess.h"
#include "tests/game/frontend/RoundAnswers.h"
#include "tests/game/frontend/YesButton.h"
#include "tests/framework/core/data/DataTestSupport.h"
#include "tests/framework/graphics/GoldenImage.h"

namespace whole_game_e2_e_test {

using namespace gameprocess;
namespace fs = std::filesystem;

namespace {

// The capture's format: what the sound engine opens the output with.
constexpr int kBytesPerSecond = 44100 * 2 * 2;

class WholeGameE2ETest : public ::testing::Test {
protected:
    void SetUp() override
    {
        folder = UseOwnFolders("qmv_wholegame_e2e_");
        fs::permissions(folder / "XDG_RUNTIME_DIR", fs::perms::owner_all);
        capture = folder / "capture.raw";
        setenv("QMV_RANDOM_SEED", "7", 1);
        setenv("SDL_AUDIODRIVER", "disk", 1);
        setenv("SDL_DISKAUDIOFILE", capture.c_str(), 1);
        stored = folder / "XDG_DATA_HOME/Orvendale/Games/Quorvel";
    }
    void TearDown() override
    {
        if (game > 0 && WaitExit(game, 0) == -1) {
            kill(game, SIGKILL);
            waitpid(game, nullptr, 0);
        }
        for (const char* name : {"QMV_RANDOM_SEED", "SDL_AUDIODRIVER", "SDL_DISKAUDIOFILE"}) {
            unsetenv(name);
        }
        if (std::getenv("QMV_KEEP_E2E") == nullptr) {
            fs::remove_all(folder);
        }
    }

    void Start(const std::string& log)
    {
        logFile = folder / log;
        seen = 0;
        game = StartGame(logFile.string());
        ASSERT_GT(game, 0);
        window = RunScript("Quorvel 60 --id-only --pid " + std::to_string(game));
        window = window.substr(0, window.find('\n'));
        ASSERT_FALSE(window.empty());
    }
    void Click(int x, int y)
    {
        EXPECT_TRUE(Xdo("mousemove --window " + window + " " + std::to_string(x) + " " + std::to_string(y) +
                        " sleep 0.2 click 1"));
        Xdo("mousemove --window " + window + " 790 595");
    }
    // The window closed as a window manager would; the exit status.
    int Close()
    {
        const int code = gameprocess::CloseAndWait(game);
        if (code != -1) {
            game = -1;
        }
        return code;
    }
    // Waits for the program to log `text` after what the last wait saw (a
    // scene or a dialog that takes input, a dialog closed, a word found): a
    // busy machine slows the game's animations, so each step waits for the
    // game rather than for a fixed time.
    void Await(const std::string& text, int seconds = 90)
    {
        EXPECT_TRUE(WaitForTextAfter(logFile, text, seen, seconds)) << "waited for \"" << text << "\" in\n"
                                                                    << ReadText(logFile);
    }
    // Waits until the capture holds `seconds` of sound more than at `from`.
    void AwaitCapture(double from, double seconds)
    {
        for (int i = 0; i < 600 && CaptureSeconds() < from + seconds; ++i) {
            Sleep(100);
        }
        EXPECT_GE(CaptureSeconds(), from + seconds) << "the capture stopped growing";
    }
    // The in-game menu's Stop, answered Yes: back to the main menu.
    void StopFromTheGameMenu()
    {
        Click(90, 560);    // Menu
        Await("The dialog DIALOG_MENU takes input");
        Click(400, 352);   // Stop game
        Await("The dialog CTEXT_MENU_STOP opens");
        Click(316, 366);   // Yes
        Await("The scene SCENE_SELECTION takes input");
        WaitForStill();
    }
    void Type(const std::string& word)
    {
        EXPECT_TRUE(Xdo("type --delay 40 " + word));
        EXPECT_TRUE(Xdo("key Return"));
    }
    // Waits out the splash and the loading screen; with `newPlayer`, also for
    // the new-player dialog's cream panel.
    void WaitForMenu(bool newPlayer)
    {
        ASSERT_TRUE(gameprocess::WaitForMenu(logFile, 90)) << ReadText(logFile);
        if (newPlayer) {
            const std::string cream = "srgb(255,248,231)";
            ASSERT_EQ(PixelColour(window, 200, 200, cream, 30), cream) << "the new-player dialog opens";
        }
        WaitForStill();
    }
    std::string WaitForLog(const std::string& pattern, int seconds) const
    {
        const std::regex re(pattern);
        for (int i = 0; i <= seconds * 10; ++i) {
            const std::string log = ReadText(logFile);
            std::smatch match;
            if (std::regex_search(log, match, re)) {
                return match.size() > 1 ? match[1].str() : match[0].str();
            }
            Sleep(100);
        }
        return std::string();
    }
    graphicstest::Picture Grab(const std::string& name)
    {
        const fs::path file = folder / (name + ".png");
        std::system(("import -window " + window + " png:" + file.string() + " 2>/dev/null").c_str());
        graphicstest::Picture picture;
        EXPECT_TRUE(graphicstest::ReadPng(file.string(), picture)) << name;
        return picture;
    }
    // Waits until the window's picture holds still (a fade or the balls'
    // roll has ended).
    void WaitForStill() { EXPECT_TRUE(gameprocess::WaitForStill(window, folder, 60)) << "the picture holds still"; }
    graphicstest::Picture Shot(const std::string& name)
    {
        const fs::path file = folder / (name + ".png");
        graphicstest::Picture picture = Grab(name);
        if (const char* keep = std::getenv("QMV_SCREENSHOT_DIR")) {
            fs::create_directories(keep);
            fs::copy_file(file, fs::path(keep) / (name + ".png"), fs::copy_options::overwrite_existing);
        }
        return picture;
    }
    // How far the capture has come, in seconds of sound.
    double CaptureSeconds() const
    {
        std::error_code error;
        const auto size = fs::file_size(capture, error);
        return error ? 0.0 : static_cast<double>(size) / kBytesPerSecond;
    }
    // sox's RMS amplitude of the capture over [from, from + seconds).
    double Rms(double from, double seconds) const
    {
        char command[512];
        std::snprintf(command, sizeof command,
                      "sox -t raw -r 44100 -e signed -b 16 -c 2 '%s' -n trim %.3f %.3f stat 2>&1",
                      capture.c_str(), from, seconds);
        const std::string report = ShellOutput(command);
        std::smatch match;
        const std::regex rms("RMS +amplitude: +([0-9.e+-]+)");
        return std::regex_search(report, match, rms) ? std::stod(match[1]) : -1.0;
    }
    std::string StoredXml(const fs::path& file)
    {
        if (!fs::exists(file)) {
            return std::string();
        }
        const std::string xml = QmvTest::ReadScrambled(file.string());
        const fs::path plain = folder / (file.filename().string() + ".xml");
        std::ofstream(plain) << xml;
        EXPECT_EQ(std::system(("xmllint --noout '" + plain.string() + "'").c_str()), 0) << xml;
        return xml;
    }
    // The number of pixels within `radius` of (x, y), in a square, dark
    // enough to be a ball's letter: no channel above 95, where the rack's
    // panel, its slots and the balls are all lighter.
    static int InkPixels(const graphicstest::Picture& picture, int x, int y, int radius)
    {
        int ink = 0;
        for (int py = y - radius; py <= y + radius; ++py) {
            for (int px = x - radius; px <= x + radius; ++px) {
                const std::uint32_t argb = picture.At(px, py);
                if (((argb >> 16) & 0xFF) < 95 && ((argb >> 8) & 0xFF) < 95 && (argb & 0xFF) < 95) {
                    ++ink;
                }
            }
        }
        return ink;
    }
    // The number of pixels of `b` that differ clearly from `a`.
    static int Changed(const graphicstest::Picture& a, const graphicstest::Picture& b)
    {
        if (a.argb.size() != b.argb.size()) {
            return -1;
        }
        int changed = 0;
        for (std::size_t i = 0; i < a.argb.size(); ++i) {
            for (int shift = 0; shift < 24; shift += 8) {
                if (std::abs(static_cast<int>((a.argb[i] >> shift) & 0xFF) -
                             static_cast<int>((b.argb[i] >> shift) & 0xFF)) > 24) {
                    ++changed;
                    break;
                }
            }
        }
        return changed;
    }

    fs::path folder;
    fs::path capture;
    fs::path stored;
    fs::path logFile;
    std::size_t seen = 0;  // how far Await has read the log
    pid_t game = -1;
    std::string window;
};

}  // namespace

TEST_F(WholeGameE2ETest, ANewPlayerWinsARoundKeepsTheGameReadsTheScoresAndQuitsByTheQuestion)
{
    ASSERT_NE(getenv("DISPLAY"), nullptr) << "needs a display (run under xvfb-run)";
    ASSERT_NO_FATAL_FAILURE(Start("first.log"));
    // Before the menu's music starts, the splash is silent: the stretch that
    // tells the floor of the capture.
    AwaitCapture(0.0, 1.2);
    const double floor = Rms(0.2, 1.0);
    ASSERT_NO_FATAL_FAILURE(WaitForMenu(true));   // the menu asks for a player
    EXPECT_TRUE(Xdo("windowfocus --sync " + window));
    Click(400, 310);
    EXPECT_TRUE(Xdo("type --delay 60 Ann"));
    EXPECT_TRUE(Xdo("key Return"));
    Await("The dialog DIALOG_NEWPLAYER is closed");
    WaitForStill();
    const graphicstest::Picture menu = Shot("menu");
    const double menuFrom = CaptureSeconds();
    AwaitCapture(menuFrom, 2.0);
    const double menuMusic = Rms(menuFrom, 2.0);
    EXPECT_GT(menuMusic, 0.01) << "the menu music plays (floor " << floor << ")";
    EXPECT_GT(menuMusic, 10.0 * floor + 1e-4);

    // The high scores open over the menu and their OK closes them again.
    Click(144, 335);
    Await("The dialog DIALOG_HIGHSCORES takes input");
    EXPECT_GT(Changed(menu, Shot("highscores")), 800 * 600 / 4) << "the high scores cover the menu";
    Click(395, 510);
    Await("The dialog DIALOG_HIGHSCORES is closed");
    WaitForStill();
    EXPECT_LT(Changed(menu, Shot("menu_again")), 800 * 600 / 50) << "OK closes the high scores";

    // An untimed round: every answer typed wins it.
    Click(440, 242);
    const std::string word = WaitForLog("Round 1 of CLASSIC_UNTIMED: the source word is ([a-z]+)", 20);
    ASSERT_FALSE(word.empty()) << ReadText(logFile);
    const std::vector<std::string> answers = frontendtest::RoundAnswers(kRunDir, word);
    ASSERT_GE(answers.size(), 3u);
    Await("The dialog DIALOG_TUTORIAL takes input");
    Xdo("key Return");
    Await("The dialog DIALOG_TUTORIAL is closed");
    WaitForStill();   // the balls have rolled in and show their letters
    const graphicstest::Picture dealt = Shot("classic");
    for (std::size_t i = 0; i < word.size(); ++i) {
        // The rack's slots are 69 pixels apart, centred on the window.
        const int x = 400 + static_cast<int>(std::lround((i - (word.size() - 1) / 2.0) * 69));
        EXPECT_GE(InkPixels(dealt, x, 330, 14), 20) << "ball " << i + 1 << " shows its letter";
    }
    const double gameFrom = CaptureSeconds();
    AwaitCapture(gameFrom, 1.5);
    const double gameMusic = Rms(gameFrom, 1.5);
    EXPECT_GT(gameMusic, 10.0 * floor + 1e-4) << "the game music plays";
    for (const std::string& answer : answers) {
        Type(answer);
        Await("Round 1 of CLASSIC_UNTIMED: " + answer + " found");
    }
    std::printf("capture RMS: floor %.5f, menu music %.5f, game music %.5f\n", floor, menuMusic, gameMusic);
    EXPECT_FALSE(WaitForLog("The game scene opens (DIALOG_NEXTROUND)", 10).empty()) << ReadText(logFile);
    Await("The dialog DIALOG_NEXTROUND takes input");
    Shot("classic_won");
    EXPECT_EQ(Close(), 0) << "closing the window at the next round saves and ends";

    const std::string save = StoredXml(stored / "savegames/Ann/CLASSIC_UNTIMED.sav.!");
    ASSERT_FALSE(save.empty()) << "the won round leaves round 2 to play";
    EXPECT_NE(save.find("ROUND=\"2\""), std::string::npos) << save;
    const std::string players = StoredXml(stored / "players/players.plrs.!");
    EXPECT_NE(players.find("name=\"Ann\""), std::string::npos) << players;

    // The second start goes on with the saved game at its own round, shows
    // the in-game menu and resumes, then passes twice and gives up: the game
    // ends, its score takes a place in the untimed table, and the
    // high scores lead back to the menu.
    ASSERT_NO_FATAL_FAILURE(Start("second.log"));
    ASSERT_NO_FATAL_FAILURE(WaitForMenu(false));
    EXPECT_TRUE(Xdo("windowfocus --sync " + window));
    Click(440, 242);
    EXPECT_FALSE(WaitForLog("The saved game CLASSIC_UNTIMED (is restored)", 20).empty()) << ReadText(logFile);
    EXPECT_EQ(WaitForLog("Round ([0-9]+) of CLASSIC_UNTIMED: the source word is ([a-z]+)", 5), "2")
        << "the restored round is logged as round 2\n" << ReadText(logFile);
    Await("The scene SCENE_GAME takes input");
    WaitForStill();
    EXPECT_FALSE(fs::exists(stored / "savegames/Ann/CLASSIC_UNTIMED.sav.!")) << "a restored game is played once";
    const graphicstest::Picture restored = Shot("restored");
    Click(90, 560);   // Menu
    Await("The dialog DIALOG_MENU takes input");
    EXPECT_GT(Changed(restored, Shot("game_menu")), 800 * 600 / 4) << "the in-game menu darkens the round";
    Click(400, 412);   // Resume
    Await("The dialog DIALOG_MENU is closed");
    WaitForStill();
    EXPECT_LT(Changed(restored, Shot("resumed")), 800 * 600 / 20) << "Resume closes the in-game menu";
    struct Step {
        const char* question;   // the dialog the button opens
        const char* next;       // what its Yes leads to
    };
    for (const Step& step : {Step{"TEXT_DIALOG_PASS", "Round 3 of CLASSIC_UNTIMED"},
                             Step{"TEXT_DIALOG_PASS_LAST", "Round 4 of CLASSIC_UNTIMED"},
                             Step{"TEXT_DIALOG_GIVEUP", "The game scene opens (DIALOG_CONGRATS)"}}) {
        const std::string next = step.next;
        Click(400, 467);   // Pass, and the third time Give up
        Await(std::string("The dialog ") + step.question + " takes input");
        int x = 0;
        int y = 0;
        ASSERT_TRUE(frontendtest::AwaitYes([this] { return Shot("question"); }, x, y)) << next;
        Click(x, y);
        ASSERT_FALSE(WaitForLog(next, 90).empty()) << ReadText(logFile);
        if (next.find("DIALOG_CONGRATS") != std::string::npos) {
            Await("The dialog DIALOG_CONGRATS takes input");
        } else {
            WaitForStill();   // the next round's balls have rolled in
        }
    }
    Shot("gave_up");
    Click(402, 400);   // the congratulation's OK: the high scores
    Await("The dialog DIALOG_HIGHSCORES takes input");
    Shot("gave_up_scores");
    Click(385, 510);   // Main menu
    Await("The scene SCENE_SELECTION takes input");
    WaitForStill();
    const graphicstest::Picture menuAgain = Shot("menu_after_give_up");
    // Settings: the music slider pulled to nothing and the longest source
    // word set to seven; Info shows the credits over them; OK keeps both,
    // and the menu falls silent.
    Click(144, 455);
    Await("The dialog DIALOG_SETTINGS takes input");
    const graphicstest::Picture settings = Shot("settings");
    EXPECT_GT(Changed(menuAgain, settings), 800 * 600 / 4) << "the settings darken the menu";
    EXPECT_TRUE(Xdo("mousemove --window " + window + " 402 318 sleep 0.3 mousedown 1 sleep 0.2 mousemove --window " +
                    window + " 330 318 sleep 0.2 mousemove --window " + window + " 240 318 sleep 0.3 mouseup 1"));
    Click(380, 390);   // 7
    WaitForStill();
    const graphicstest::Picture chosen = Shot("settings_chosen");
    Click(552, 458);   // Info
    Await("The dialog DIALOG_CREDITS opens");
    WaitForStill();
    // Centred on the screen, the credits' panel lies mostly on the settings'
    // panel of the same colour: their frame and text are what changes.
    EXPECT_GT(Changed(chosen, Shot("credits")), 800 * 600 / 24) << "the credits show over the settings";
    Click(402, 418);   // the credits' OK
    Await("The dialog DIALOG_CREDITS is closed");
    WaitForStill();
    EXPECT_LT(Changed(chosen, Shot("settings_again")), 800 * 600 / 50) << "OK closes the credits";
    Click(252, 458);   // OK
    Await("The dialog DIALOG_SETTINGS is closed");

    // A timed round against its clock. With the music at nothing the round
    // is silent until a sound is made, so the first word's sound stands
    // alone: the letters are typed and die away, the capture is silent for a
    // second, and the sound is there within the stretch the capture gains
    // after Return. Then every other answer is typed at speed and wins the
    // round before the clock runs out.
    Click(440, 172);
    const std::string timed = WaitForLog("Round 1 of CLASSIC_TIMED: the source word is ([a-z]+)", 20);
    ASSERT_FALSE(timed.empty()) << ReadText(logFile);
    const std::vector<std::string> timedAnswers = frontendtest::RoundAnswers(kRunDir, timed);
    ASSERT_GE(timedAnswers.size(), 3u);
    Await("The dialog DIALOG_TUTORIAL takes input");
    Xdo("key Return");   // the tutorial
    Await("The dialog DIALOG_TUTORIAL is closed");
    WaitForStill();
    Shot("classic_timed");
    EXPECT_TRUE(Xdo("type --delay 40 " + timedAnswers.front()));
    AwaitCapture(CaptureSeconds(), 1.5);   // the letters' sounds die away
    const double silentFrom = CaptureSeconds();
    AwaitCapture(silentFrom, 1.0);   // a second of the output's silence
    const double keyAt = CaptureSeconds();
    EXPECT_TRUE(Xdo("key Return"));
    AwaitCapture(keyAt, 1.5);
    const double effectTo = CaptureSeconds();
    const double silent = Rms(silentFrom, keyAt - silentFrom);
    const double effect = Rms(keyAt, effectTo - keyAt);
    std::printf("capture RMS with the music at nothing: before Return %.5f (%.2f s to %.2f s), after it %.5f "
                "(to %.2f s)\n",
                silent, silentFrom, keyAt, effect, effectTo);
    EXPECT_GT(keyAt - silentFrom, 0.5) << "the capture keeps pace with the clock";
    EXPECT_LT(silent, gameMusic / 20.0) << "the music turned down to nothing is not heard";
    EXPECT_GT(effect, 0.005) << "the word's sound follows its Return";
    EXPECT_GT(effect, 10.0 * silent + 1e-4);
    for (std::size_t i = 0; i < timedAnswers.size(); ++i) {
        if (i > 0) {
            EXPECT_TRUE(Xdo("type --delay 30 " + timedAnswers[i]));
            EXPECT_TRUE(Xdo("key Return"));
        }
        Await("Round 1 of CLASSIC_TIMED: " + timedAnswers[i] + " found");
    }
    EXPECT_FALSE(WaitForLog("The game scene opens (DIALOG_NEXTROUND)", 90).empty()) << ReadText(logFile);
    Await("The dialog DIALOG_NEXTROUND takes input");
    Shot("classic_timed_won");
    Xdo("key Return");
    EXPECT_FALSE(WaitForLog("Round 2 of CLASSIC_TIMED", 90).empty()) << ReadText(logFile);
    Await("The dialog DIALOG_NEXTROUND is closed");
    WaitForStill();
    StopFromTheGameMenu();   // the round is kept for the next time

    // Quit asks first; Yes ends the program with 0.
    Click(144, 520);
    Await("The dialog CTEXT_QUESTION_QUIT opens");
    WaitForStill();
    Shot("quit");
    Click(316, 344);   // Yes
    EXPECT_EQ(WaitExit(game, 20), 0);
    game = -1;
    EXPECT_TRUE(StoredXml(stored / "savegames/Ann/CLASSIC_UNTIMED.sav.!").empty()) << "the given-up game is over";
    const std::string timedSave = StoredXml(stored / "savegames/Ann/CLASSIC_TIMED.sav.!");
    EXPECT_NE(timedSave.find("ROUND=\"2\""), std::string::npos) << "the stopped round is kept\n" << timedSave;
    const std::string scores = StoredXml(stored / "players/scores.xml.!");
    std::smatch kept;
    ASSERT_TRUE(std::regex_search(save, kept, std::regex(" SCORE=\"([0-9]+)\""))) << save;
    EXPECT_NE(scores.find("scorevalue=\"" + kept[1].str() + "\" playername=\"Ann\""), std::string::npos)
        << "the given-up game's score " << kept[1] << " is in the table\n" << scores;
    EXPECT_NE(StoredXml(stored / "players/players.plrs.!").find("MAX=\"7\""), std::string::npos)
        << "the longest source word is the player's setting";
}

// The other modes from the same menu: the word of the day takes an answer
// and goes back to the menu by its own Stop; a Blitz round and a crossword
// round are each played to a win; each game is kept with the score of what
// was typed.
TEST_F(WholeGameE2ETest, TheWordOfTheDayBlitzAndCrisscrossArePlayedAndKept)
{
    ASSERT_NE(getenv("DISPLAY"), nullptr) << "needs a display (run under xvfb-run)";
    auto score = [](const std::string& word) { return std::to_string(10 * word.size() * word.size()); };
    ASSERT_NO_FATAL_FAILURE(Start("wotd.log"));
    ASSERT_NO_FATAL_FAILURE(WaitForMenu(true));
    EXPECT_TRUE(Xdo("windowfocus --sync " + window));
    Click(400, 310);
    EXPECT_TRUE(Xdo("type --delay 60 Ann"));
    EXPECT_TRUE(Xdo("key Return"));
    Await("The dialog DIALOG_NEWPLAYER is closed");
    Click(440, 312);   // Word of the day
    const std::string word = WaitForLog("Round 1 of WORD_OF_THE_DAY: the source word is ([a-z]+)", 20);
    ASSERT_FALSE(word.empty()) << ReadText(logFile);
    Await("The dialog DIALOG_TUTORIAL takes input");
    Xdo("key Return");   // the tutorial
    Await("The dialog DIALOG_TUTORIAL is closed");
    const std::string first = frontendtest::RoundAnswers(kRunDir, word).front();
    Type(first);
    Await("Round 1 of WORD_OF_THE_DAY: " + first + " found");
    WaitForStill();
    Shot("word_of_the_day");
    StopFromTheGameMenu();
    const std::string wotd = StoredXml(stored / "savegames/Ann/WORD_OF_THE_DAY.sav.!");
    EXPECT_NE(wotd.find("SCORE=\"" + score(first) + "\""), std::string::npos) << first << "\n" << wotd;

    // A whole Blitz round: every dealt word typed, each after the clock's
    // refill and the move to the next word. The round is won with its bonus
    // and the next-round dialog comes; the window closed over it keeps the
    // game as round 2 with that score.
    Click(440, 380);   // Blitz
    // The tutorial may take input before the transition to the scene ends.
    std::size_t entered = seen;
    Await("The dialog DIALOG_TUTORIAL takes input");
    Click(285, 414);   // the tutorial's OK
    Await("The dialog DIALOG_TUTORIAL is closed");
    EXPECT_TRUE(WaitForTextAfter(logFile, "The scene SCENE_BLITZ takes input", entered, 90)) << ReadText(logFile);
    ASSERT_FALSE(WaitForLog("Round 1 of BLITZ, word 1: ([a-z]+)", 10).empty()) << ReadText(logFile);
    std::vector<std::string> blitzWords;
    for (std::size_t i = 1;; ++i) {
        const std::string dealt = WaitForLog("Round 1 of BLITZ, word " + std::to_string(i) + ": ([a-z]+)", 0);
        if (dealt.empty()) {
            break;
        }
        blitzWords.push_back(dealt);
    }
    ASSERT_GE(blitzWords.size(), 5u) << ReadText(logFile);
    long blitzScore = 1000;   // the round's bonus
    for (std::size_t i = 0; i < blitzWords.size(); ++i) {
        Type(blitzWords[i]);
        blitzScore += 10L * static_cast<long>(blitzWords[i].size() * blitzWords[i].size());
        // Solved, the word refills the clock and the next one comes into play.
        Await("Round 1 of BLITZ, word " + std::to_string(i + 1) + " solved");
        if (i + 1 < blitzWords.size()) {
            Await("Round 1 of BLITZ, word " + std::to_string(i + 2) + " in play");
        }
        if (i == 0) {
            // The next word has slid into the middle once the solve's pop-up has gone.
            Await("The comment pop-up 6 has gone");
            Shot("blitz");
        }
    }
    EXPECT_FALSE(WaitForLog("The game scene opens (DIALOG_NEXTROUND)", 90).empty())
        << "every word found wins the round\n" << ReadText(logFile);
    Await("The dialog DIALOG_NEXTROUND takes input");
    Shot("blitz_won");
    EXPECT_EQ(Close(), 0);
    const std::string blitz = StoredXml(stored / "savegames/Ann/BLITZ.sav.!");
    EXPECT_NE(blitz.find("ROUND=\"2\""), std::string::npos) << blitz;
    EXPECT_NE(blitz.find("SCORE=\"" + std::to_string(blitzScore) + "\""), std::string::npos)
        << "the words' scores and the round's bonus are kept\n" << blitz;

    // The third start visits the rest of the front end before Crisscross:
    // the trophy room, how to play and the player selection each cover the
    // menu and give it back when left.
    ASSERT_NO_FATAL_FAILURE(Start("crisscross.log"));
    ASSERT_NO_FATAL_FAILURE(WaitForMenu(false));
    EXPECT_TRUE(Xdo("windowfocus --sync " + window));
    Xdo("mousemove --window " + window + " 790 595");
    WaitForStill();
    const graphicstest::Picture menu = Shot("menu_third");
    struct Visit {
        const char* name;
        int openX, openY;
        int closeX, closeY;
        const char* opened;   // what the game says once the visit shows
        const char* left;     // and once it is left
    };
    for (const Visit& visit :
         {Visit{"trophy_room", 144, 275, 680, 536, "The scene SCENE_TROPHY takes input",
                "The scene SCENE_SELECTION takes input"},
          Visit{"how_to_play", 144, 395, 402, 464, "The dialog DIALOG_HELP opens", "The dialog DIALOG_HELP is closed"},
          Visit{"player_select", 144, 215, 402, 489, "The dialog DIALOG_PLAYERSELECT opens",
                "The dialog DIALOG_PLAYERSELECT is closed"}}) {
        Click(visit.openX, visit.openY);
        Await(visit.opened);
        WaitForStill();
        EXPECT_GT(Changed(menu, Shot(visit.name)), 800 * 600 / 4) << visit.name << " covers the menu";
        Click(visit.closeX, visit.closeY);
        Await(visit.left);
        WaitForStill();
        EXPECT_LT(Changed(menu, Shot(std::string(visit.name) + "_left")), 800 * 600 / 50)
            << "the menu is back after " << visit.name;
    }
    // A crossword round played to its end: the log names the board's words
    // in the order the round takes them; each is typed whole (a crossing
    // letter already on the board is taken as typed) and given time for the
    // board to turn and zoom. The finished board leads to the next-round
    // dialog, and closing the window there keeps the game as round 2 with
    // every word's score and the bonus for a full board.
    Click(440, 450);   // Crisscross
    const std::string board =
        WaitForLog("Round 1 of CROSSWORD: the source word is [a-z]+; the board:((?: [a-z]+)+)", 20);
    ASSERT_FALSE(board.empty()) << ReadText(logFile);
    std::vector<std::string> boardWords;
    std::istringstream split(board);
    for (std::string placed; split >> placed;) {
        boardWords.push_back(placed);
    }
    ASSERT_GE(boardWords.size(), 2u) << board;
    // The tutorial may take input before the transition to the scene ends,
    // and the first word may come into play before or after it opens.
    const std::size_t dealt = seen;
    Await("The dialog DIALOG_TUTORIAL takes input");
    Xdo("key Return");   // the tutorial
    Await("The dialog DIALOG_TUTORIAL is closed");
    for (const char* ready : {"The scene SCENE_CRISSCROSS takes input", "Round 1 of CROSSWORD, word 1 in play"}) {
        std::size_t from = dealt;
        EXPECT_TRUE(WaitForTextAfter(logFile, ready, from, 90)) << ReadText(logFile);
    }
    WaitForStill();
    Shot("crisscross");
    long crossScore = 1000;   // the full board's bonus
    for (std::size_t i = 0; i < boardWords.size(); ++i) {
        const std::string& placed = boardWords[i];
        EXPECT_TRUE(Xdo("type --delay 100 " + placed));
        EXPECT_TRUE(Xdo("key Return"));
        crossScore += 10L * static_cast<long>(placed.size() * placed.size());
        // Found, the word gives way to the next once the board has turned
        // and zoomed to it.
        Await("Round 1 of CROSSWORD: " + placed + " found");
        if (i + 1 < boardWords.size()) {
            Await("Round 1 of CROSSWORD, word ");
            Await(" in play");
        }
    }
    EXPECT_FALSE(WaitForLog("The game scene opens (DIALOG_NEXTROUND)", 90).empty())
        << "the whole board found ends the round\n" << ReadText(logFile);
    Await("The dialog DIALOG_NEXTROUND takes input");
    Shot("crisscross_won");
    EXPECT_EQ(Close(), 0);
    const std::string cross = StoredXml(stored / "savegames/Ann/CROSSWORD.sav.!");
    EXPECT_NE(cross.find("ROUND=\"2\""), std::string::npos) << cross;
    EXPECT_NE(cross.find("SCORE=\"" + std::to_string(crossScore) + "\""), std::string::npos)
        << "every word's score and the board's bonus are kept\n" << cross;
    EXPECT_FALSE(StoredXml(stored / "players/players.plrs.!").empty());
}

}  // namespace whole_game_e2_e_test
