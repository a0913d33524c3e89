// The real program plays classic rounds under Xvfb, driven with xdotool as a
// player would: a stored player with a known pool seed and QMV_RANDOM_SEED
// fix the dealt word, which the program logs. Every answer is typed; the
// score the save keeps is counted here from the word files themselves. The
// dealt rack, a half-solved board and the end of the round are compared
// with golden pictures: every channel within kChannelTolerance, at most
// kPixelShare of the pixels beyond it (QMV_UPDATE_GOLDEN=1 writes them).
// A second game passes, lets the clock run out and gives up; a third checks
// under libfaketime that a word-of-the-day save is kept on its own UTC day
// only.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "framework/core/object/SmartPtr.h"
#include "game/words/AnagramTable.h"
#include "game/words/GameScene.h"
#include "game/words/WordTree.h"
#include "tests/framework/core/app/GameProcess.h"
#include "tests/game/frontend/RoundAnswers.h"
#include "tests/game/frontend/YesButton.h"
#include "tests/framework/core/data/DataTestSupport.h"
#include "tests/framework/graphics/GoldenImage.h"

namespace classic_round_e2_e_test {

namespace fs = std::filesystem;

namespace {

using gameprocess::kRunDir;
using gameprocess::ReadText;
using gameprocess::Sleep;
using gameprocess::RunScript;
using gameprocess::Xdo;
constexpr int kChannelTolerance = 8;
constexpr double kPixelShare = 0.005;
// The player's stored pool position and the framework generator's seed.
constexpr const char* kPlayerSeed = "20261207";
constexpr const char* kRandomSeed = "7";

// One run of the program, its stderr (the log) kept in a file.
class Game {
public:
    // `environment` ("NAME=value") is given to this run of the program only.
    Game(const fs::path& log, const std::vector<std::string>& environment) : m_Log(log)
    {
        std::vector<std::pair<std::string, const char*>> kept;
        for (const std::string& pair : environment) {
            const std::string name = pair.substr(0, pair.find('='));
            const char* before = std::getenv(name.c_str());
            kept.emplace_back(name, before != nullptr ? strdup(before) : nullptr);
            setenv(name.c_str(), pair.substr(name.size() + 1).c_str(), 1);
        }
        m_Pid = gameprocess::StartGame(log.string());
        for (const auto& [name, before] : kept) {
            if (before != nullptr) {
                setenv(name.c_str(), before, 1);
                free(const_cast<char*>(before));
            } else {
                unsetenv(name.c_str());
            }
        }
        const std::string id = RunScript("Quorvel 60 --id-only --pid " + std::to_string(m_Pid));
        m_Window = id.substr(0, id.find('\n'));
    }
    ~Game()
    {
        if (m_Pid > 0 && Wait(0) == -1) {
            kill(m_Pid, SIGKILL);
            waitpid(m_Pid, nullptr, 0);
        }
    }
    const std::string& Window() const { return m_Window; }
    // Waits out the splash and the loading screen: true once the menu shows.
    bool WaitForMenu() const { return gameprocess::WaitForMenu(m_Log, 90); }
    std::string Log() const { return ReadText(m_Log); }
    // Waits for the program to log `text` after what the last wait saw (a
    // scene or a dialog that takes input, a dialog closed): a busy machine
    // slows the game's animations, so each step waits for the game rather
    // than for a fixed time.
    bool Await(const std::string& text, int seconds = 90)
    {
        return gameprocess::WaitForTextAfter(m_Log, text, m_Seen, seconds);
    }
    // Waits until the comments and trophies shown have gone and the picture
    // holds still.
    bool WaitForPopupsGone(const fs::path& folder) const
    {
        return gameprocess::WaitForPopupsGone(m_Log, m_Window, folder, 90);
    }
    // Waits up to `seconds` for the log to match; the first group of the match.
    std::string WaitForLog(const std::string& pattern, int seconds) const
    {
        const std::regex re(pattern);
        for (int i = 0; i <= seconds * 10; ++i) {
            const std::string log = Log();
            std::smatch match;
            if (std::regex_search(log, match, re)) {
                return match.size() > 1 ? match[1].str() : match[0].str();
            }
            Sleep(100);
        }
        return std::string();
    }
    void Click(int x, int y) const
    {
        Xdo("mousemove --window " + m_Window + " " + std::to_string(x) + " " + std::to_string(y) + " click 1");
        // The pointer leaves the buttons, so no hover glow stays in a picture.
        Xdo("mousemove --window " + m_Window + " 790 595");
    }
    // Clicks a menu button until the log shows `pattern` (the menu may still
    // be loading on a busy machine); the first group of the match.
    std::string Choose(int x, int y, const std::string& pattern) const
    {
        Xdo("windowfocus --sync " + m_Window);
        for (int attempt = 0; attempt < 30; ++attempt) {
            Click(x, y);
            const std::string found = WaitForLog(pattern, 2);
            if (!found.empty()) {
                return found;
            }
        }
        return std::string();
    }
    void Type(const std::string& word) const
    {
        Xdo("type --delay 40 " + word);
        Xdo("key Return");
        Sleep(250);
    }
    graphicstest::Picture Shot(const fs::path& file) const
    {
        graphicstest::Picture picture;
        std::system(("import -window " + m_Window + " png:" + file.string() + " 2>/dev/null").c_str());
        graphicstest::ReadPng(file.string(), picture);
        return picture;
    }
    // The window closed as a window manager would; the exit status.
    int Close()
    {
        const int code = gameprocess::CloseAndWait(m_Pid);
        if (code != -1) {
            m_Pid = -1;
        }
        return code;
    }
    int Wait(int seconds)
    {
        const int code = gameprocess::WaitExit(m_Pid, seconds);
        if (code != -1) {
            m_Pid = -1;
        }
        return code;
    }

private:
    fs::path m_Log;
    std::size_t m_Seen = 0;  // how far Await has read the log
    pid_t m_Pid = -1;
    std::string m_Window;
};

// Compares with the golden picture under the stated tolerance.
std::string CompareGolden(const std::string& name, const graphicstest::Picture& picture)
{
    const std::string path = std::string(QMV_TEST_DATA_DIR) + "/golden/" + name + ".png";
    const char* update = std::getenv("QMV_UPDATE_GOLDEN");
    if (update != nullptr && std::string(update) == "1") {
        return graphicstest::WritePng(path, picture) ? std::string() : "cannot write " + path;
    }
    graphicstest::Picture golden;
    if (!graphicstest::ReadPng(path, golden)) {
        return "no golden picture " + path;
    }
    if (golden.width != picture.width || golden.height != picture.height) {
        return "the size differs from " + path;
    }
    int differing = 0;
    for (std::size_t i = 0; i < golden.argb.size(); ++i) {
        for (int shift = 0; shift < 32; shift += 8) {
            const int a = static_cast<int>((golden.argb[i] >> shift) & 0xFF);
            const int b = static_cast<int>((picture.argb[i] >> shift) & 0xFF);
            if (std::abs(a - b) > kChannelTolerance) {
                ++differing;
                break;
            }
        }
    }
    const auto allowed = static_cast<int>(kPixelShare * static_cast<double>(golden.argb.size()));
    return differing <= allowed ? std::string()
                                : std::to_string(differing) + " pixels differ from " + path + " (at most " +
                                      std::to_string(allowed) + " may)";
}

std::string Attribute(const std::string& xml, const std::string& name)
{
    std::smatch match;
    return std::regex_search(xml, match, std::regex(" " + name + "=\"([^\"]*)\"")) ? match[1].str() : std::string();
}

class ClassicRoundE2ETest : public ::testing::Test {
protected:
    void SetUp() override
    {
        folder = gameprocess::UseOwnFolders("qmv_classic_e2e_");
        fs::permissions(folder / "XDG_RUNTIME_DIR", fs::perms::owner_all);
        setenv("QMV_RANDOM_SEED", kRandomSeed, 1);
        game = folder / "XDG_DATA_HOME/Orvendale/Games/Quorvel";
        fs::create_directories(game / "players");
        // Ann, with every tutorial seen and a known pool position.
        std::string player = "<?xml version=\"1.0\" encoding=\"utf-8\" ?>\n<root>\n"
                             "<Players id=\"players\" version=\"1\" currentplayer=\"Ann\"><Vector id=\"playernames\">"
                             "<Quorvel2Player name=\"Ann\" SEED=\"";
        player += kPlayerSeed;
        player += "\" INDEX=\"0\" WOD=\"-1\" MAX=\"8\"><Node id=\"TRACKER\" TUTORIAL_0=\"true\" TUTORIAL_1=\"true\" "
                  "TUTORIAL_2=\"true\" TUTORIAL_3=\"true\" TUTORIAL_4=\"true\" /></Quorvel2Player>"
                  "</Vector></Players>\n</root>\n";
        QmvTest::WriteScrambled((game / "players/players.plrs.!").string(), player);
    }
    void TearDown() override
    {
        if (std::getenv("QMV_KEEP_E2E") == nullptr) {
            fs::remove_all(folder);
        }
    }
    std::string SaveXml(const std::string& mode) const
    {
        const fs::path save = game / "savegames/Ann" / (mode + ".sav.!");
        if (!fs::exists(save)) {
            return std::string();
        }
        const std::string xml = QmvTest::ReadScrambled(save.string());
        const fs::path plain = folder / (mode + ".xml");
        std::ofstream(plain) << xml;
        EXPECT_EQ(std::system(("xmllint --noout " + plain.string()).c_str()), 0) << xml;
        return xml;
    }
    std::string PlayersXml() const
    {
        const std::string xml = QmvTest::ReadScrambled((game / "players/players.plrs.!").string());
        const fs::path plain = folder / "players.xml";
        std::ofstream(plain) << xml;
        EXPECT_EQ(std::system(("xmllint --noout " + plain.string()).c_str()), 0) << xml;
        return xml;
    }

    fs::path folder;
    fs::path game;
};

}  // namespace

// Every answer of an untimed round typed: all slots fill, the round is won,
// and closing the window at the next-round dialog keeps the game as round 2
// with the score counted here.
TEST_F(ClassicRoundE2ETest, EveryAnswerTypedWinsTheRoundAndClosingKeepsTheGame)
{
    ASSERT_NE(getenv("DISPLAY"), nullptr) << "needs a display (run under xvfb-run)";
    Game run(folder / "untimed.log", {});
    ASSERT_FALSE(run.Window().empty());
    ASSERT_TRUE(run.WaitForMenu()) << run.Log();
    const std::string word = run.Choose(440, 242, "Round 1 of CLASSIC_UNTIMED: the source word is ([a-z]+)");
    ASSERT_FALSE(word.empty()) << run.Log();
    const std::vector<std::string> answers = frontendtest::RoundAnswers(kRunDir, word);
    ASSERT_GE(answers.size(), 3u);
    ASSERT_TRUE(run.Await("The scene SCENE_GAME takes input")) << run.Log();
    EXPECT_TRUE(gameprocess::WaitForStill(run.Window(), folder, 60)) << "the balls roll in";
    EXPECT_EQ(CompareGolden("classic_dealt", run.Shot(folder / "dealt.png")), "");

    std::int32_t expected = 0;
    const std::size_t half = answers.size() / 2;
    for (std::size_t i = 0; i < answers.size(); ++i) {
        run.Type(answers[i]);
        expected += 10 * static_cast<std::int32_t>(answers[i].size() * answers[i].size());
        if (i + 1 == half) {
            ASSERT_TRUE(run.Await("Round 1 of CLASSIC_UNTIMED: " + answers[i] + " found")) << run.Log();
            EXPECT_TRUE(run.WaitForPopupsGone(folder)) << "the comments and the trophies have gone\n" << run.Log();
            EXPECT_EQ(CompareGolden("classic_half", run.Shot(folder / "half.png")), "");
        }
    }
    expected += GameScene::kBingoBonus + GameScene::kAllWordsBonusPerSlot * static_cast<std::int32_t>(answers.size());
    EXPECT_FALSE(run.WaitForLog("The game scene opens (DIALOG_NEXTROUND)", 10).empty()) << run.Log();
    EXPECT_TRUE(run.Await("The dialog DIALOG_NEXTROUND takes input")) << run.Log();
    EXPECT_TRUE(gameprocess::WaitForStill(run.Window(), folder, 60)) << "the dialog's letter balls land";
    EXPECT_EQ(CompareGolden("classic_won", run.Shot(folder / "won.png")), "");
    EXPECT_EQ(run.Close(), 0);

    const std::string save = SaveXml("CLASSIC_UNTIMED");
    ASSERT_FALSE(save.empty()) << "the game goes on at round 2";
    EXPECT_EQ(Attribute(save, "ROUND"), "2");
    EXPECT_EQ(Attribute(save, "SCORE"), std::to_string(expected));
    EXPECT_EQ(Attribute(save, "TIME"), std::to_string(GameScene::kRoundTime));
    EXPECT_EQ(Attribute(PlayersXml(), "MODE_1"), "1") << "the won round counts a played game";

    // Back in the mode, the game goes on where it was left.
    Game again(folder / "untimed2.log", {});
    ASSERT_TRUE(again.WaitForMenu()) << again.Log();
    EXPECT_FALSE(again.Choose(440, 242, "The saved game CLASSIC_UNTIMED (is restored)").empty()) << again.Log();
    EXPECT_EQ(again.Close(), 0);
    EXPECT_EQ(Attribute(SaveXml("CLASSIC_UNTIMED"), "SCORE"), std::to_string(expected));
}

// A timed game: a pass by the question, a pass when the clock runs out, a
// round won with its full-length word, and the give-up ends the game: its
// score enters the high-score table (a well-formed file) and no save is kept.
// The round clocks run fast here; the Blitz and whole-game tests keep real
// time.
TEST_F(ClassicRoundE2ETest, PassingTheClockAndGivingUpEndTheGame)
{
    ASSERT_NE(getenv("DISPLAY"), nullptr) << "needs a display (run under xvfb-run)";
    // The round clocks run six times as fast: round 2's two minutes run out
    // in twenty seconds.
    Game run(folder / "timed.log", {"QMV_CLOCK_RATE=6"});
    ASSERT_FALSE(run.Window().empty());
    ASSERT_TRUE(run.WaitForMenu()) << run.Log();
    ASSERT_FALSE(run.Choose(440, 172, "Round 1 of CLASSIC_TIMED").empty()) << run.Log();   // Timed game
    EXPECT_FALSE(run.WaitForLog("The round clocks run 6 times as fast", 10).empty()) << run.Log();
    ASSERT_TRUE(run.Await("The scene SCENE_GAME takes input")) << run.Log();
    auto answer = [&run, this](const std::string& pattern) {
        run.Click(400, 467);   // the pass or give-up button
        EXPECT_TRUE(run.Await("The dialog TEXT_DIALOG_")) << run.Log();
        EXPECT_TRUE(run.Await(" takes input")) << run.Log();
        int x = 0;
        int y = 0;
        EXPECT_TRUE(frontendtest::AwaitYes([&run, this] { return run.Shot(folder / "question.png"); }, x, y))
            << pattern;
        run.Click(x, y);
        return run.WaitForLog(pattern, 10);
    };
    EXPECT_FALSE(answer("Round 2 of CLASSIC_TIMED").empty()) << run.Log();
    // The clock of round 2 runs out: the pass-round dialog, then round 3.
    EXPECT_FALSE(run.WaitForLog("The game scene opens (DIALOG_PASSROUND)", 140).empty()) << run.Log();
    ASSERT_TRUE(run.Await("The dialog DIALOG_PASSROUND takes input", 140)) << run.Log();
    Xdo("key Return");
    const std::string third = run.WaitForLog("Round 3 of CLASSIC_TIMED: the source word is ([a-z]+)", 10);
    ASSERT_FALSE(third.empty()) << run.Log();
    ASSERT_TRUE(run.Await("The dialog DIALOG_PASSROUND is closed")) << run.Log();
    // The full-length word wins round 3 (its 1000 and more beat the lowest
    // of the table's first scores); round 4 is given up.
    run.Type(third);
    const auto n = static_cast<std::int32_t>(third.size());
    const std::int32_t score = 10 * n * n + GameScene::kBingoBonus;
    ASSERT_TRUE(run.Await("Round 3 of CLASSIC_TIMED: " + third + " found")) << run.Log();
    run.Click(400, 467);   // Next round
    EXPECT_FALSE(run.WaitForLog("The game scene opens (DIALOG_NEXTROUND)", 10).empty()) << run.Log();
    ASSERT_TRUE(run.Await("The dialog DIALOG_NEXTROUND takes input")) << run.Log();
    Xdo("key Return");
    EXPECT_FALSE(run.WaitForLog("Round 4 of CLASSIC_TIMED", 10).empty()) << run.Log();
    ASSERT_TRUE(run.Await("The dialog DIALOG_NEXTROUND is closed")) << run.Log();
    EXPECT_FALSE(answer("The game scene opens (DIALOG_CONGRATS)").empty()) << run.Log();
    EXPECT_EQ(run.Close(), 0);
    EXPECT_EQ(SaveXml("CLASSIC_TIMED"), "") << "a finished game leaves no save";
    const fs::path scores = game / "players/scores.xml.!";
    ASSERT_TRUE(fs::exists(scores));
    const std::string table = QmvTest::ReadScrambled(scores.string());
    std::ofstream(folder / "scores.xml") << table;
    EXPECT_EQ(std::system(("xmllint --noout " + (folder / "scores.xml").string()).c_str()), 0);
    EXPECT_NE(table.find("scorevalue=\"" + std::to_string(score) + "\" playername=\"Ann\""), std::string::npos)
        << "the score " << score << " is in the table:\n" << table;
}

// Under libfaketime, for a player fourteen hours east of UTC: a
// word-of-the-day save comes back on its own UTC day, even when the local
// calendar has turned meanwhile, and is dropped on the next UTC day.
TEST_F(ClassicRoundE2ETest, AWordOfTheDaySaveIsKeptOnItsOwnDayOnly)
{
    ASSERT_NE(getenv("DISPLAY"), nullptr) << "needs a display (run under xvfb-run)";
    const std::string library = "/usr/lib/x86_64-linux-gnu/faketime/libfaketime.so.1";
    ASSERT_TRUE(fs::exists(library)) << "needs libfaketime (scripts/setup.sh installs it)";
    auto day = [&](const char* when, const char* log) {
        return std::make_unique<Game>(folder / log, std::vector<std::string>{
                                                        "LD_PRELOAD=" + library, std::string("FAKETIME=@") + when,
                                                        "FAKETIME_DONT_FAKE_MONOTONIC=1", "TZ=Pacific/Kiritimati"});
    };
    {
        auto run = day("2026-03-01 23:00:00", "wotd1.log");   // 09:00 UTC
        ASSERT_TRUE(run->WaitForMenu()) << run->Log();
        const std::string word = run->Choose(440, 312, "Round 1 of WORD_OF_THE_DAY: the source word is ([a-z]+)");
        ASSERT_FALSE(word.empty()) << run->Log();
        ASSERT_TRUE(run->Await("The scene SCENE_GAME takes input")) << run->Log();
        run->Type(frontendtest::RoundAnswers(kRunDir, word).front());
        EXPECT_EQ(run->Close(), 0);
    }
    const std::string save = SaveXml("WORD_OF_THE_DAY");
    ASSERT_FALSE(save.empty());
    const std::time_t march1 = 1772323200;   // 2026-03-01 00:00:00 UTC
    EXPECT_EQ(Attribute(save, "DAY"), std::to_string(GameScene::DayNumber(march1)));
    {
        auto run = day("2026-03-02 01:00:00", "wotd2.log");   // 11:00 UTC, March 1
        ASSERT_TRUE(run->WaitForMenu()) << run->Log();
        EXPECT_FALSE(run->Choose(440, 312, "The saved game WORD_OF_THE_DAY (is restored)").empty()) << run->Log();
        EXPECT_EQ(run->Close(), 0);
    }
    ASSERT_FALSE(SaveXml("WORD_OF_THE_DAY").empty()) << "leaving again keeps the round";
    {
        auto run = day("2026-03-02 14:30:00", "wotd3.log");   // 00:30 UTC, March 2
        ASSERT_TRUE(run->WaitForMenu()) << run->Log();
        EXPECT_FALSE(run->Choose(440, 312, "WORD_OF_THE_DAY (is of another day)").empty()) << run->Log();
        EXPECT_EQ(run->Close(), 0);
    }
}

// A saved game cut short (as a full disk or a copy gone wrong leaves it)
// cannot be played: the mode deals a new game, the file is kept as
// "<file>.damaged" and the player is told once, even when the mode is
// entered again in the same run.
TEST_F(ClassicRoundE2ETest, ADamagedSaveIsKeptAsideSaidOnceAndANewGameIsDealt)
{
    ASSERT_NE(getenv("DISPLAY"), nullptr) << "needs a display (run under xvfb-run)";
    const fs::path save = game / "savegames/Ann/CLASSIC_UNTIMED.sav.!";
    fs::create_directories(save.parent_path());
    QmvTest::WriteScrambled(save.string(), "<?xml version=\"1.0\" encoding=\"utf-8\" ?>\n<root>\n"
                                           "<Node id=\"GAME\" ROUND=\"3\" SCORE=\"1200\" TIME=\"-1\" WO");
    const std::string damaged = QmvTest::ReadBytes(save.string());
    Game run(folder / "damaged.log", {});
    ASSERT_FALSE(run.Window().empty());
    ASSERT_TRUE(run.WaitForMenu()) << run.Log();
    EXPECT_FALSE(run.Choose(440, 242, "Round 1 of CLASSIC_UNTIMED").empty()) << run.Log();
    EXPECT_EQ(QmvTest::ReadBytes(save.string() + ".damaged"), damaged);
    const std::string told = "[message box] Saved data: The saved game " + save.string() +
                             " could not be read. A copy is kept as " + save.string() +
                             ".damaged; a new game starts instead.";
    EXPECT_NE(run.Log().find(told), std::string::npos) << run.Log();
    EXPECT_EQ(run.Log().find("[message box]", run.Log().find(told) + 1), std::string::npos) << run.Log();
    EXPECT_EQ(run.Close(), 0);
    EXPECT_EQ(Attribute(SaveXml("CLASSIC_UNTIMED"), "ROUND"), "1") << "the new game is kept in its place";

    // Entered again, the mode goes on with the new game and says nothing more.
    Game again(folder / "again.log", {});
    ASSERT_TRUE(again.WaitForMenu()) << again.Log();
    EXPECT_FALSE(again.Choose(440, 242, "The saved game CLASSIC_UNTIMED (is restored)").empty()) << again.Log();
    EXPECT_EQ(again.Log().find("[message box]"), std::string::npos) << again.Log();
    EXPECT_EQ(again.Close(), 0);
    EXPECT_EQ(QmvTest::ReadBytes(save.string() + ".damaged"), damaged) << "the copy stays as it was";
}

}  // namespace classic_round_e2_e_test
