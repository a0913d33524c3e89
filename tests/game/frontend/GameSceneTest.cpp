// The classic scene played through its own entry points with the real word
// files, the game's player record and the round dialogs: every answer typed
// key by key, the score counted independently of the scene, the clock and
// the passes run out, and a round left mid-way and restored.
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <ctime>
#include <filesystem>
#include <memory>
#include <string>

#include "framework/core/app/Message.h"
#include "framework/core/app/MessageData.h"
#include "framework/core/data/HighScoreManager.h"
#include "framework/core/data/HighScoreTable.h"
#include "framework/core/data/PlayerManager.h"
#include "framework/core/object/SmartPtr.h"
#include "framework/core/properties/PropertyStore.h"
#include "framework/scene/AnimTree.h"
#include "game/frontend/Quorvel2Player.h"
#include "game/frontend/Quorvel2ScoreEntry.h"
#include "game/words/ClassicRack.h"
#include "game/words/GameMode.h"
#include "game/words/GameScene.h"
#include "game/words/LetterBox.h"
#include "tests/framework/core/data/DataTestSupport.h"
#include "tests/game/frontend/DialogTestSupport.h"
#include "tests/game/frontend/PlayingSceneTestSupport.h"

namespace game_scene_test {

using namespace Qmv2;
namespace fs = std::filesystem;

namespace {

class GameSceneTest : public frontendtest::PlayingSceneTest {
protected:
    void SetUp() override
    {
        PlayingSceneTest::SetUp();
    }
    void TearDown() override
    {
        scene = nullptr;
        HighScoreManager::ReleaseInstance();
        PlayingSceneTest::TearDown();
    }

    GameScene* Enter(std::int32_t mode)
    {
        GameMode::Set(mode);
        SmartPtr<PropertyNode> empty(new PropertyNode("scene"));
        scene = new GameScene(empty.Get());
        scene->SetName("SCENE_GAME");
        scene->Show();
        scene->Activate();
        return scene.Get();
    }
    static Quorvel2Player* Ann()
    {
        return static_cast<Quorvel2Player*>(PlayerManager::GetInstance()->GetCurrentPlayer());
    }
    // Runs the frame: the scene's timers and then its own update.
    void Frame(std::int32_t dt)
    {
        AnimTree::UpdateTree(scene->GetAnimations(), static_cast<std::uint32_t>(dt));
        scene->Update(dt);
    }
    void Key(std::int32_t code, std::uint32_t character = 0)
    {
        KeyboardMessageData data(character, code);
        EXPECT_FALSE(scene->OnKeyDown(&data)) << "keys stay with the other listeners";
    }
    void Type(const std::string& word)
    {
        for (char c : word) {
            Key(0, static_cast<unsigned char>(c));
        }
        Key(5);
    }
    std::string SavePath() const
    {
        return PlayerManager::GetInstance()->GetSaveGameFile(SaveGameName(scene->GetModeName()), PlayerName("Ann"));
    }
    static std::int32_t WordScore(const std::string& word)
    {
        const auto n = static_cast<std::int32_t>(word.size());
        return 10 * n * n;
    }

    SmartPtr<GameScene> scene;
};

}  // namespace

// Every answer typed with its keys: each new word scores 10 n^2, the first
// full-length word 1000 more, filling the table 100 per slot; a repeated
// word and a non-word score nothing and refuse with their own popups; the
// round is won, its missed words none, and the next-round dialog leads to
// round 2 with the score kept and the won game counted.
TEST_F(GameSceneTest, EveryAnswerTypedWinsTheRoundWithTheBonuses)
{
    Enter(GameMode::kTimed);
    ASSERT_TRUE(scene->HasWords());
    ClassicRack* rack = scene->GetRack();
    ASSERT_NE(rack, nullptr);
    const std::string source = rack->GetSourceWord().GetString();
    EXPECT_GE(source.size(), 5u);
    EXPECT_LE(source.size(), 8u);
    EXPECT_EQ(rack->GetRackBox()->GetAllText().GetLength(), rack->GetSourceWord().GetLength());
    EXPECT_EQ(scene->GetTimeLeft(), GameScene::kRoundTime);

    std::vector<std::string> words;
    for (Anagram* slot : rack->GetTable()->GetSlots()) {
        ASSERT_TRUE(slot->GetWord().IsEmpty());
    }
    for (const std::string& word : rack->GetTable()->GetAnswers()) {
        words.push_back(word);
    }
    ASSERT_EQ(words.size(), rack->GetTable()->GetSlots().size());

    // Three of the rack's letters in an order no list accepts.
    std::string nonWord;
    const auto& accepted = rack->GetTable()->GetAccepted();
    for (std::size_t a = 0; a < source.size() && nonWord.empty(); ++a) {
        for (std::size_t b = 0; b < source.size() && nonWord.empty(); ++b) {
            for (std::size_t c = 0; c < source.size() && nonWord.empty(); ++c) {
                const std::string candidate{source[a], source[b], source[c]};
                if (a != b && b != c && a != c &&
                    std::find(accepted.begin(), accepted.end(), candidate) == accepted.end()) {
                    nonWord = candidate;
                }
            }
        }
    }
    ASSERT_FALSE(nonWord.empty());
    Type(nonWord);
    EXPECT_EQ(scene->GetScore(), 0) << "a non-word scores nothing";
    EXPECT_EQ(scene->PopComment(), GameScene::kCommentNoWord);
    EXPECT_EQ(rack->GetAnswerBox()->GetText().GetLength(), 0) << "the typed word goes back to the rack";

    std::int32_t expected = 0;
    bool bingo = false;
    for (std::size_t i = 0; i < words.size(); ++i) {
        Type(words[i]);
        expected += WordScore(words[i]);
        if (words[i].size() == source.size() && !bingo) {
            expected += GameScene::kBingoBonus;
            bingo = true;
        }
        if (i + 1 < words.size()) {
            EXPECT_EQ(scene->GetScore(), expected) << words[i];
            EXPECT_EQ(scene->GetGameState(), GameScene::kPlaying);
            if (i == 0) {
                Type(words[0]);
                EXPECT_EQ(scene->GetScore(), expected) << "a word already shown scores nothing";
            }
        }
    }
    expected += GameScene::kAllWordsBonusPerSlot * static_cast<std::int32_t>(words.size());
    EXPECT_TRUE(bingo) << "the source word is one of its own answers";
    EXPECT_EQ(scene->GetScore(), expected);
    EXPECT_EQ(scene->GetGameState(), GameScene::kWon);
    EXPECT_TRUE(scene->IsBusy());
    EXPECT_TRUE(rack->solved);
    for (Anagram* slot : rack->GetTable()->GetSlots()) {
        EXPECT_FALSE(slot->IsMissed()) << slot->GetWord().GetString();
    }
    // Typing is refused once the round is over.
    Type(words[0]);
    EXPECT_EQ(scene->GetScore(), expected);
    EXPECT_EQ(Ann()->GetAchievement(GameScene::kAchievementQuickWin), Quorvel2Player::kEarned)
        << "the round was won with the whole clock left";
    EXPECT_EQ(Ann()->GetAchievement(GameScene::kAchievementNoShuffle), Quorvel2Player::kEarned);

    // "All words found!" is the one comment still to come.
    EXPECT_EQ(scene->PopComment(), GameScene::kCommentAllWords);
    EXPECT_FALSE(scene->CommentsWaiting());
    scene->PushComment(GameScene::kCommentAllWords);
    Frame(999);
    EXPECT_TRUE(scene->IsBusy()) << "the missed words show for a second";
    // and the dialog waits for its pop-up to go.
    for (int frame = 0; frame < 300 && (scene->IsCommentShowing() || scene->CommentsWaiting()); ++frame) {
        EXPECT_FALSE(scene->IsDialogOpen());
        Frame(16);
    }
    Frame(16);
    EXPECT_TRUE(scene->IsDialogOpen());
    EXPECT_EQ(scene->GetLastOpened(), "DIALOG_NEXTROUND");
    ASSERT_NE(scene->FindDialog("DIALOG_NEXTROUND"), nullptr);
    // Closing the window now keeps the game as the start of round 2.
    scene->OnMessage(Message(Message::kQuit));
    ASSERT_TRUE(std::filesystem::exists(SavePath()));
    EXPECT_EQ(Ann()->GetModeCount(GameMode::kTimed), 1) << "the won round counts a played game";
    scene->Deactivate();
    scene->Show();
    EXPECT_EQ(scene->GetRound(), 2);
    EXPECT_EQ(scene->GetScore(), expected);
    EXPECT_EQ(scene->GetGameState(), GameScene::kPlaying);
    EXPECT_EQ(scene->GetTimeLeft(), GameScene::kRoundTime);
    EXPECT_EQ(scene->GetRack()->GetTable()->GetFoundCount(), 0) << "the new round's table is empty";
    EXPECT_EQ(Ann()->GetModeCount(GameMode::kTimed), 1);
}

// The clock: one countdown tick per frame below ten seconds, however long
// the frame; at zero the round is passed, its missed words revealed, and the
// pass-round dialog leads on. Two passes by the question and the third by
// the clock end the game, delete the save and open the end-of-game dialog.
TEST_F(GameSceneTest, TheClockAndThreePassesEndTheGame)
{
    Enter(GameMode::kTimed);
    Frame(110000);
    EXPECT_EQ(scene->GetTimeLeft(), 10000);
    EXPECT_EQ(scene->GetCountdownMark(), 10000);
    Frame(1);
    EXPECT_EQ(scene->GetCountdownMark(), 9000);
    Frame(5000);
    EXPECT_EQ(scene->GetCountdownMark(), 8000) << "a long frame moves the mark by one second only";
    Frame(5000);
    EXPECT_EQ(scene->GetPassCount(), 1);
    EXPECT_EQ(scene->GetGameState(), GameScene::kLost);
    bool missed = false;
    for (Anagram* slot : scene->GetRack()->GetTable()->GetSlots()) {
        missed = missed || slot->IsMissed();
    }
    EXPECT_TRUE(missed) << "the missed words are revealed";
    Frame(3000);
    Frame(16);
    EXPECT_EQ(scene->GetLastOpened(), "DIALOG_PASSROUND");
    scene->OnNextRoundConfirmed();
    EXPECT_EQ(scene->GetRound(), 2);
    EXPECT_EQ(scene->GetPassCount(), 1) << "passes carry over to the next round";
    EXPECT_EQ(Ann()->GetModeCount(GameMode::kTimed), 0) << "a passed round counts no game";

    // The second pass through the question.
    scene->OnButton(UTF8String("BUTTON_Pass"), nullptr);
    Frame(16);
    scene->OnPassQuestionYes();
    EXPECT_EQ(scene->GetPassCount(), 2);
    Frame(3000);
    EXPECT_EQ(scene->GetRound(), 3) << "a pass by the question deals the next round itself";

    // Saving is what leaving does; the third pass deletes the save.
    scene->SaveRound();
    ASSERT_TRUE(std::filesystem::exists(SavePath()));
    scene->OnButton(UTF8String("BUTTON_GiveUp"), nullptr);
    Frame(16);
    scene->OnPassQuestionYes();
    EXPECT_EQ(scene->GetPassCount(), 3);
    EXPECT_FALSE(std::filesystem::exists(SavePath()));
    Frame(3000);
    EXPECT_EQ(scene->GetLastOpened(), "DIALOG_ENDGAME");
    Frame(100000);
    EXPECT_EQ(scene->GetRound(), 3) << "nothing runs on after the end of the game";
}

// A round left mid-way comes back with its word, round, score, clock,
// passes and found words; the restored words count as found, so finishing
// the table still wins the round with its bonus. The file is played once.
TEST_F(GameSceneTest, ALeftRoundComesBackAndCanStillBeWon)
{
    Enter(GameMode::kUntimed);
    ClassicRack* rack = scene->GetRack();
    const std::string source = rack->GetSourceWord().GetString();
    std::vector<std::string> words;
    for (const std::string& word : rack->GetTable()->GetAnswers()) {
        if (word.size() < source.size()) {
            words.push_back(word);
        }
    }
    ASSERT_GE(words.size(), 3u);
    Type(words[0]);
    Type(words[1]);
    Frame(30500);
    const std::int32_t score = scene->GetScore();
    ASSERT_EQ(score, WordScore(words[0]) + WordScore(words[1]));
    scene->SaveAndQuit(nullptr, nullptr);
    ASSERT_TRUE(std::filesystem::exists(SavePath()));
    const std::string xml = QmvTest::ReadScrambled(SavePath());
    EXPECT_NE(xml.find(source), std::string::npos);
    scene->Deactivate();
    // Left at round 2, the game comes back as round 2, and the log says so.
    PropertyStore left;
    ASSERT_TRUE(PlayerManager::GetInstance()->LoadGame(&left, SaveGameName("CLASSIC_UNTIMED"), PlayerName("Ann")));
    left.GetNode("GAME")->GetValue("ROUND")->SetInt(2);
    ASSERT_TRUE(PlayerManager::GetInstance()->SaveGame(&left, SaveGameName("CLASSIC_UNTIMED"), PlayerName("Ann")));

    testing::internal::CaptureStderr();
    scene->Show();
    scene->Activate();
    const std::string log = testing::internal::GetCapturedStderr();
    EXPECT_EQ(scene->GetRound(), 2);
    EXPECT_NE(log.find("Round 2 of CLASSIC_UNTIMED: the source word is " + source + "\n"), std::string::npos) << log;
    EXPECT_EQ(log.find("Round 1 of"), std::string::npos) << log;
    EXPECT_FALSE(std::filesystem::exists(SavePath())) << "a save is played once";
    rack = scene->GetRack();
    EXPECT_EQ(rack->GetSourceWord().GetString(), source);
    EXPECT_EQ(scene->GetScore(), score);
    EXPECT_EQ(scene->GetTimeLeft(), GameScene::kRoundTime - 30500);
    EXPECT_EQ(rack->GetTable()->GetFoundCount(), 2);
    EXPECT_TRUE(rack->GetTable()->IsShown(UTF8String(words[0])));
    EXPECT_EQ(rack->GetAnswerBox()->GetText().GetLength(), 0);
    Type(words[0]);
    EXPECT_EQ(scene->GetScore(), score) << "a restored word is already shown";

    // The remaining words, the full-length one among them: its 1000 are paid
    // once, since the saved round had none, and the full table pays its bonus.
    std::int32_t expected = score + GameScene::kBingoBonus +
                            GameScene::kAllWordsBonusPerSlot * static_cast<std::int32_t>(rack->GetTable()->GetSlots().size());
    for (const std::string& word : rack->GetTable()->GetAnswers()) {
        if (!rack->GetTable()->IsShown(UTF8String(word))) {
            Type(word);
            expected += WordScore(word);
        }
    }
    EXPECT_EQ(scene->GetGameState(), GameScene::kWon) << "the restored words count towards the full table";
    EXPECT_EQ(scene->GetScore(), expected);

    // A word-of-the-day save of another day is dropped for a fresh round.
    scene->Deactivate();
    GameMode::Set(GameMode::kWordOfTheDay);
    scene->Show();
    const std::int32_t today = GameScene::DayNumber(std::time(nullptr));
    EXPECT_EQ(scene->GetDayNumber(), today);
    Type(scene->GetRack()->GetTable()->GetAnswers()[0]);
    scene->SaveRound();
    PropertyStore store;
    ASSERT_TRUE(PlayerManager::GetInstance()->LoadGame(&store, SaveGameName("WORD_OF_THE_DAY"), PlayerName("Ann")));
    store.GetNode("GAME")->GetValue("DAY")->SetInt(today - 1);
    ASSERT_TRUE(PlayerManager::GetInstance()->SaveGame(&store, SaveGameName("WORD_OF_THE_DAY"), PlayerName("Ann")));
    scene->Deactivate();
    scene->Show();
    EXPECT_EQ(scene->GetScore(), 0) << "yesterday's word of the day is not restored";
    EXPECT_EQ(scene->GetRack()->GetTable()->GetFoundCount(), 0);
    EXPECT_FALSE(std::filesystem::exists(SavePath()));
    EXPECT_FALSE(std::filesystem::exists(SavePath() + ".damaged")) << "a save of another day is not damaged";
}

// Without readable word files the mode is refused: no round is dealt. A
// save that fails its checks (a clock past the full two minutes) is kept as
// "<file>.damaged", the player is told, and a fresh round is dealt instead.
TEST_F(GameSceneTest, NoWordFilesRefuseTheModeAndABadSaveGivesAFreshRound)
{
    const fs::path empty = fs::temp_directory_path() / ("qmv_no_words_" + std::to_string(getpid()));
    fs::create_directories(empty);
    fs::current_path(empty);
    Enter(GameMode::kTimed);
    EXPECT_FALSE(scene->HasWords());
    EXPECT_EQ(scene->GetRack(), nullptr);
    scene = nullptr;
    fs::current_path(QMV_RUN_DIR);
    fs::remove_all(empty);

    Enter(GameMode::kTimed);
    ClassicRack* rack = scene->GetRack();
    Type(rack->GetTable()->GetAnswers()[0]);
    scene->SaveRound();
    PropertyStore store;
    ASSERT_TRUE(PlayerManager::GetInstance()->LoadGame(&store, SaveGameName("CLASSIC_TIMED"), PlayerName("Ann")));
    store.GetNode("GAME")->GetValue("TIME")->SetInt(GameScene::kRoundTime + 1);
    ASSERT_TRUE(PlayerManager::GetInstance()->SaveGame(&store, SaveGameName("CLASSIC_TIMED"), PlayerName("Ann")));
    const std::string refused = QmvTest::ReadBytes(SavePath());
    scene->Deactivate();
    ::testing::internal::CaptureStderr();
    scene->Show();
    const std::string said = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(scene->GetScore(), 0);
    EXPECT_EQ(scene->GetTimeLeft(), GameScene::kRoundTime);
    EXPECT_EQ(scene->GetRack()->GetTable()->GetFoundCount(), 0);
    EXPECT_FALSE(std::filesystem::exists(SavePath())) << "the refused save is gone";
    EXPECT_EQ(QmvTest::ReadBytes(SavePath() + ".damaged"), refused);
    EXPECT_NE(said.find("[message box] Saved data: The saved game " + SavePath() + " could not be read. A copy is kept as " +
                        SavePath() + ".damaged; a new game starts instead."),
              std::string::npos)
        << said;
}

// What the end of a round still has on its way (the reveal's wait, the
// dialog it leads to) belongs to that round. Stopping the game from the
// menu meanwhile keeps the game at its next round; coming back to it plays
// that round instead of finishing it unseen.
TEST_F(GameSceneTest, LeavingDuringTheEndOfARoundKeepsTheNextRoundToPlay)
{
    struct Leave {
        const char* why;
        bool won;             // won by its full-length word, else passed by the clock
        std::int32_t waited;  // time spent in the menu before stopping
    };
    for (const Leave& leave : {Leave{"stopped during the reveal", true, 500},
                               Leave{"stopped after the reveal", true, 4000},
                               Leave{"passed by the clock, stopped after the reveal", false, 4000}}) {
        SCOPED_TRACE(leave.why);
        Enter(GameMode::kTimed);
        if (leave.won) {
            Type(scene->GetRack()->GetSourceWord().GetString());
            ASSERT_TRUE(scene->GetRack()->solved);
            scene->OnButton(UTF8String("BUTTON_NextRound"), nullptr);
        } else {
            Frame(GameScene::kRoundTime);
            ASSERT_EQ(scene->GetPassCount(), 1);
        }
        ASSERT_TRUE(scene->IsBusy());
        // Ctrl+P brings the menu up over the reveal; the stop question is
        // answered yes after a while.
        scene->OnMessage(Message(Message::kCtrlP));
        Frame(16);
        ASSERT_EQ(scene->GetLastOpened(), "DIALOG_MENU");
        Frame(leave.waited);
        scene->SaveAndQuit(nullptr, nullptr);
        Frame(16);
        EXPECT_NE(scene->GetLastOpened(), leave.won ? "DIALOG_NEXTROUND" : "DIALOG_PASSROUND")
            << "the next round is dealt: the last one's dialog does not come up on the way out";
        scene->Deactivate();

        scene->Show();
        scene->Activate();
        EXPECT_EQ(scene->GetRound(), 2);
        const std::int32_t score = scene->GetScore();
        for (std::int32_t frame = 0; frame < 300; ++frame) {
            Frame(16);
        }
        EXPECT_EQ(scene->GetRound(), 2);
        EXPECT_EQ(scene->GetGameState(), GameScene::kPlaying) << "the restored round is still to be played";
        EXPECT_FALSE(scene->IsDialogOpen());
        EXPECT_FALSE(scene->GetRack()->solved);
        EXPECT_EQ(scene->GetScore(), score);
        EXPECT_EQ(scene->GetTimeLeft(), GameScene::kRoundTime - 300 * 16);
        scene->Deactivate();
        scene = nullptr;
        std::filesystem::remove(PlayerManager::GetInstance()->GetSaveGameFile(SaveGameName("CLASSIC_TIMED"),
                                                                                  PlayerName("Ann")));
    }
}

// A word of the day whose clock runs out without its full-length word is
// over: its day is recorded, and leaving it from the end-of-game dialog, or
// closing the window, keeps no save of it.
TEST_F(GameSceneTest, AWordOfTheDayLostOnTheClockLeavesNoSave)
{
    HighScoreManager::SetInstance(new HighScoreManager("1"));
    Enter(GameMode::kWordOfTheDay);
    Type(scene->GetRack()->GetTable()->GetAnswers()[0]);
    ASSERT_FALSE(scene->GetRack()->solved);
    ASSERT_GT(scene->GetScore(), 0);
    Frame(GameScene::kRoundTime);
    EXPECT_EQ(Ann()->GetWordOfDay(), scene->GetDayNumber()) << "the day is done";
    Frame(3000);
    Frame(16);
    EXPECT_TRUE(scene->GetLastOpened() == "DIALOG_CONGRATS" || scene->GetLastOpened() == "DIALOG_ENDGAME")
        << "the game ends: " << scene->GetLastOpened();
    scene->OnMessage(Message(Message::kQuit));
    EXPECT_FALSE(std::filesystem::exists(SavePath())) << "closing the window keeps no save";
    scene->SaveAndQuit(nullptr, nullptr);
    EXPECT_FALSE(std::filesystem::exists(SavePath())) << "leaving keeps no save";
    // The score's day reads as the calendar writes it, zero-padded, so that
    // the days of a month line up in the table.
    HighScoreTable* days = HighScoreManager::GetInstance()->FindTable("wotd");
    ASSERT_NE(days, nullptr);
    ASSERT_GE(days->GetLastScore(), 0);
    const auto* entry = dynamic_cast<const Quorvel2ScoreEntry*>(days->GetEntries()[days->GetLastScore()].Get());
    ASSERT_NE(entry, nullptr);
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char today[16];
    std::strftime(today, sizeof today, "%Y-%m-%d", &local);
    EXPECT_EQ(entry->GetExtra(), today);
}

// Closing the window while the end of a game still shows, before its score
// has gone to the high-score table, enters the score there and then, written
// to disk; the end that would have followed enters it no second time.
TEST_F(GameSceneTest, ClosingTheWindowAsTheGameEndsKeepsItsScore)
{
    HighScoreManager::Create("1");
    Enter(GameMode::kTimed);
    Type(scene->GetRack()->GetTable()->GetAnswers()[0]);
    const std::int32_t score = scene->GetScore();
    ASSERT_GT(score, 0);
    for (std::int32_t pass = 1; pass <= GameScene::kPassesPerGame; ++pass) {
        scene->OnButton(UTF8String("BUTTON_GiveUp"), nullptr);
        Frame(16);
        scene->OnPassQuestionYes();
        Frame(pass < GameScene::kPassesPerGame ? 3000 : 1000);
    }
    ASSERT_EQ(scene->GetPassCount(), GameScene::kPassesPerGame);
    ASSERT_EQ(HighScoreManager::GetInstance()->FindTable("timed"), nullptr) << "the end is still showing";
    scene->OnMessage(Message(Message::kQuit));
    EXPECT_FALSE(std::filesystem::exists(SavePath())) << "an ended game is not kept";

    HighScoreManager::ReleaseInstance();
    HighScoreManager::Create("1")->Load();
    const HighScoreTable* table = HighScoreManager::GetInstance()->FindTable("timed");
    ASSERT_NE(table, nullptr) << "the score was written";
    ASSERT_EQ(table->GetCount(), 1);
    EXPECT_EQ(table->GetEntries()[0]->GetScore(), score);
    Frame(2000);
    Frame(16);
    EXPECT_EQ(scene->GetLastOpened(), "DIALOG_ENDGAME");
    table = HighScoreManager::GetInstance()->FindTable("timed");
    ASSERT_NE(table, nullptr);
    EXPECT_EQ(table->GetCount(), 1) << "the score is entered once";
}

// A pause asked for while a dialog is up (the window lost its focus behind
// the in-game menu or the end-of-game dialog) waits for that dialog; when
// the player leaves the game from it, the wait ends with the visit, and the
// next game starts without the menu over it.
TEST_F(GameSceneTest, APauseAskedForBeforeLeavingDoesNotGreetTheNextGame)
{
    Enter(GameMode::kTimed);
    scene->OnButton(UTF8String("BUTTON_Menu"), nullptr);
    Frame(16);
    ASSERT_TRUE(scene->IsDialogOpen());
    ASSERT_NE(scene->FindDialog("DIALOG_MENU"), nullptr);
    scene->OnMessage(Message(Message::kCtrlP));
    scene->SaveAndQuit(nullptr, nullptr);
    scene->Deactivate();

    scene->Show();
    scene->Activate();
    Frame(16);
    Frame(16);
    EXPECT_FALSE(scene->IsDialogOpen());
    EXPECT_EQ(scene->FindDialog("DIALOG_MENU"), nullptr) << "no menu greets the game";
    EXPECT_LT(scene->GetTimeLeft(), GameScene::kRoundTime) << "the clock runs";
}

}  // namespace game_scene_test
