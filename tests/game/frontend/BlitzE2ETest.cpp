// Blitz played in the real program under Xvfb: a new player opens Blitz,
// solves words by typing and moves between them with the arrow keys; closing
// the window saves the game with a clock the refills kept full; the next
// start restores it, and giving up after more words enters the score in the
// "blitz" high-score table.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <signal.h>

#include "tests/framework/core/app/GameProcess.h"
#include "tests/framework/core/data/DataTestSupport.h"

namespace blitz_e2_e_test {

using namespace gameprocess;

namespace {

using Clock = std::chrono::steady_clock;
const std::string kCream = "srgb(255,248,231)";

class BlitzE2ETest : public ::testing::Test {
protected:
    void SetUp() override
    {
        folder = UseOwnFolders("qmv_blitz_e2e_");
        setenv("QMV_RANDOM_SEED", "20261207", 1);
    }
    void TearDown() override
    {
        if (game > 0 && WaitExit(game, 0) == -1) {
            kill(game, SIGKILL);
            waitpid(game, nullptr, 0);
        }
        unsetenv("QMV_RANDOM_SEED");
        std::filesystem::remove_all(folder);
    }

    void Start()
    {
        seen = 0;
        game = StartGame((folder / "errors.txt").string());
        ASSERT_GT(game, 0);
        window = RunScript("Quorvel 60 --id-only --pid " + std::to_string(game));
        window = window.substr(0, window.find('\n'));
        ASSERT_FALSE(window.empty());
    }
    void Click(int x, int y) { EXPECT_TRUE(Xdo("mousemove --window " + window + " " + std::to_string(x) + " " + std::to_string(y) + " click 1")); }
    void Keys(const std::string& keys) { EXPECT_TRUE(Xdo("key --delay 80 " + keys)); }
    void Type(const std::string& word)
    {
        EXPECT_TRUE(Xdo("type --delay 70 " + word));
        Keys("Return");
    }
    static void Wait(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }
    // Waits for the game to log `text` after what the last wait saw: a word
    // solved or in play, a dialog that takes input. A busy machine slows the
    // game's clock and its animations, so each step waits for the game
    // rather than for a fixed time.
    bool Logged(const std::string& text, int seconds = 90)
    {
        if (WaitForTextAfter(folder / "errors.txt", text, seen, seconds)) {
            return true;
        }
        ADD_FAILURE() << "waited " << seconds << " s for \"" << text << "\" in the log:\n"
                      << ReadText(folder / "errors.txt");
        return false;
    }
    static std::string Event(const char* what, std::size_t word)
    {
        return "Round 1 of BLITZ, word " + std::to_string(word) + " " + what + "\n";
    }
    // Closes the window as a window manager would; the game ends with 0.
    void Close()
    {
        const int code = gameprocess::CloseAndWait(game);
        EXPECT_EQ(code, 0);
        if (code == -1) {
            kill(game, SIGKILL);
            waitpid(game, nullptr, 0);
        }
        game = -1;
    }
    // Clicks the menu's Blitz button until the menu says it starts Blitz (a
    // click before the menu takes input is lost), then waits for the game to
    // say it entered Blitz: it logs the words it deals, or the restore of a
    // saved game.
    bool EnterBlitz(bool restore = false)
    {
        bool started = false;
        for (int attempt = 0; attempt < 10 && !started; ++attempt) {
            Click(440, 380);
            started = WaitForTextAfter(folder / "errors.txt", "The menu starts SCENE_BLITZ", seen, 6);
        }
        // Keys reach the scene once the transition to it is over; the first
        // visit's tutorial may open before that.
        std::size_t entered = seen;
        return started && Logged(restore ? "Blitz game restored" : "Round 1 of BLITZ, word 5: ") &&
               WaitForTextAfter(folder / "errors.txt", "The scene SCENE_BLITZ takes input", entered, 90);
    }
    // The source words the game logged for round 1, in dealing order.
    std::vector<std::string> Words() const
    {
        std::ifstream in(folder / "errors.txt");
        const std::regex line("Round 1 of BLITZ, word ([0-9]+): ([a-z]+)");
        std::vector<std::string> words;
        for (std::string text; std::getline(in, text);) {
            std::smatch match;
            if (std::regex_search(text, match, line)) {
                words.push_back(match[2]);
            }
        }
        return words;
    }
    std::string Stored(const std::string& file) const
    {
        const std::filesystem::path path = folder / "XDG_DATA_HOME/Orvendale/Games/Quorvel/players" / file;
        return std::filesystem::exists(path) ? QmvTest::ReadScrambled(path.string()) : std::string();
    }
    static std::int32_t Number(const std::string& xml, const std::string& name)
    {
        std::smatch match;
        const std::regex value(name + "=\"(-?[0-9]+)\"");
        return std::regex_search(xml, match, value) ? std::stoi(match[1]) : -1;
    }

    std::filesystem::path folder;
    pid_t game = -1;
    std::string window;
    std::size_t seen = 0;  // how far the waits have read the log
};

std::int32_t Score(const std::string& word)
{
    const auto n = static_cast<std::int32_t>(word.size());
    return 10 * n * n;
}

}  // namespace

TEST_F(BlitzE2ETest, WordsSolvedAndMovedBetweenSavedRestoredAndScored)
{
    ASSERT_NE(getenv("DISPLAY"), nullptr) << "needs a display (run under xvfb-run)";
    ASSERT_NO_FATAL_FAILURE(Start());
    // The splash card is cream in the middle; after it and the loading
    // screen the menu asks for a player in a cream panel at the same place.
    EXPECT_EQ(PixelColour(window, 200, 200, kCream, 30), kCream) << "the splash shows";
    ASSERT_TRUE(WaitForMenu(folder / "errors.txt", 90));
    EXPECT_EQ(PixelColour(window, 200, 200, kCream, 30), kCream) << "the new-player dialog opens";
    EXPECT_TRUE(Xdo("windowfocus --sync " + window));
    Click(400, 310);
    EXPECT_TRUE(Xdo("type --delay 60 Ann"));
    Keys("Return");
    ASSERT_TRUE(EnterBlitz());
    // The first visit shows the tutorial, cream at the same place.
    EXPECT_EQ(PixelColour(window, 200, 200, kCream, 20), kCream) << "the tutorial opens";
    ASSERT_TRUE(Logged("The dialog DIALOG_TUTORIAL takes input"));
    Click(285, 414);  // its OK
    ASSERT_TRUE(Logged("The dialog DIALOG_TUTORIAL is closed"));
    const std::vector<std::string> words = Words();
    ASSERT_EQ(words.size(), 5u) << "round 1 deals five words";
    for (const std::string& word : words) {
        EXPECT_TRUE(word.size() == 5 || word.size() == 6) << word;
    }

    // Six seconds go by; the first word then fills the clock back up to the
    // full 80.3 s. Down moves from the second word to the third, Up from the
    // fourth back to the second.
    Wait(6000);
    Type(words[0]);
    const Clock::time_point refilled = Clock::now();
    ASSERT_TRUE(Logged(Event("solved", 1)));
    ASSERT_TRUE(Logged(Event("in play", 2))) << "the refill ends on the next word";
    Keys("Down");
    ASSERT_TRUE(Logged(Event("in play", 3)));
    Type(words[2]);
    ASSERT_TRUE(Logged(Event("solved", 3)));
    ASSERT_TRUE(Logged(Event("in play", 4)));
    Keys("Up");
    ASSERT_TRUE(Logged(Event("in play", 2)));
    Type(words[1]);
    ASSERT_TRUE(Logged(Event("solved", 2)));
    ASSERT_TRUE(Logged(Event("in play", 4)));
    Close();
    const auto since = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - refilled).count();

    std::filesystem::path savedFile;
    for (const auto& entry :
         std::filesystem::recursive_directory_iterator(folder / "XDG_DATA_HOME/Orvendale/Games/Quorvel")) {
        if (entry.path().filename().string().find("BLITZ") != std::string::npos) {
            savedFile = entry.path();
        }
    }
    ASSERT_FALSE(savedFile.empty()) << "closing the window during play saves the game";
    const std::string xml = QmvTest::ReadScrambled(savedFile.string());
    EXPECT_EQ(Number(xml, "ROUND"), 1) << xml;
    EXPECT_EQ(Number(xml, "SCORE"), Score(words[0]) + Score(words[1]) + Score(words[2])) << xml;
    const std::int32_t time = Number(xml, "TIME");
    EXPECT_LE(time, 80300) << "the refill stops at the full clock";
    EXPECT_GT(time, 80300 - since) << "the refills made up the six seconds spent before the first word";
    std::vector<bool> completed;
    const std::regex flag("COMPLETED\">(true|false)<");
    for (std::sregex_iterator it(xml.begin(), xml.end(), flag), end; it != end; ++it) {
        completed.push_back((*it)[1] == "true");
    }
    EXPECT_EQ(completed, (std::vector<bool>{true, true, true, false, false})) << xml;

    // The next start restores the game on its first open word; a fourth word
    // and giving up end the game with a score the table takes.
    ASSERT_NO_FATAL_FAILURE(Start());
    EXPECT_EQ(PixelColour(window, 200, 200, kCream, 30), kCream) << "the splash shows";
    ASSERT_TRUE(WaitForMenu(folder / "errors.txt", 90));
    EXPECT_TRUE(Xdo("windowfocus --sync " + window));
    ASSERT_TRUE(EnterBlitz(true));
    EXPECT_FALSE(std::filesystem::exists(savedFile))
        << "a restored game is played once";
    Type(words[3]);
    ASSERT_TRUE(Logged(Event("solved", 4)));
    ASSERT_TRUE(Logged(Event("in play", 5)));
    Click(525, 463);  // Give up
    ASSERT_TRUE(Logged("The dialog TEXT_DIALOG_GIVEUP takes input"));
    Click(316, 344);  // yes
    ASSERT_TRUE(Logged("The game scene opens DIALOG_CONGRATS")) << "the score goes into the table";
    Close();
    const std::int32_t score = Score(words[0]) + Score(words[1]) + Score(words[2]) + Score(words[3]);
    const std::string scores = Stored("scores.xml.!");
    const std::size_t blitz = scores.find("id=\"blitz\"");
    ASSERT_NE(blitz, std::string::npos) << scores;
    const std::string table = scores.substr(blitz, scores.find("</HighScoreTable>", blitz) - blitz);
    EXPECT_NE(table.find("Ann"), std::string::npos) << table;
    EXPECT_NE(table.find(std::to_string(score)), std::string::npos) << "score " << score << " in\n" << table;
}

}  // namespace blitz_e2_e_test
