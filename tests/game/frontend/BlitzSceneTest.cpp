// The Blitz scene played through its own entry points with the real word
// files and the game's player record: words solved by typing, the clock's
// refills and warnings, hints that cost points, moving between words, the
// end of a round and of the game, and a game left mid-way and restored.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "framework/core/app/Message.h"
#include "framework/core/data/HighScoreManager.h"
#include "framework/core/data/HighScoreTable.h"
#include "framework/core/data/PlayerManager.h"
#include "framework/core/object/SmartPtr.h"
#include "framework/core/properties/PropertyStore.h"
#include "framework/scene/AnimTree.h"
#include "game/frontend/Quorvel2Player.h"
#include "game/words/BlitzRules.h"
#include "game/words/BlitzSave.h"
#include "game/words/BlitzScene.h"
#include "game/words/ClassicRack.h"
#include "game/words/GameMode.h"
#include "game/words/LetterBox.h"
#include "platform/win32/WinShell.h"
#include "tests/framework/core/data/DataTestSupport.h"
#include "tests/game/frontend/DialogTestSupport.h"
#include "tests/game/frontend/PlayingSceneTestSupport.h"

namespace blitz_scene_test {

using namespace Qmv2;

namespace {

class BlitzSceneTest : public frontendtest::PlayingSceneTest {
protected:
    void SetUp() override
    {
        PlayingSceneTest::SetUp();
        HighScoreManager::Create("1");
        GameMode::Set(GameMode::kBlitz);
    }
    void TearDown() override
    {
        scene = nullptr;
        HighScoreManager::ReleaseInstance();
        PlayingSceneTest::TearDown();
    }

    BlitzScene* Enter()
    {
        if (!scene) {
            SmartPtr<PropertyNode> empty(new PropertyNode("scene"));
            scene = new BlitzScene(empty.Get());
            scene->SetName("SCENE_BLITZ");
        }
        scene->Show();
        scene->Activate();
        return scene.Get();
    }
    void Frame(std::int32_t dt)
    {
        AnimTree::UpdateTree(scene->GetAnimations(), static_cast<std::uint32_t>(dt));
        scene->Update(dt);
    }
    // Lets every running move and wait finish, without the clock.
    void Settle()
    {
        AnimTree::UpdateTree(scene->GetAnimations(), 5000u);
    }
    void Key(std::int32_t code, std::uint32_t character = 0)
    {
        KeyboardMessageData data(character, code);
        scene->OnKeyDown(&data);
    }
    void Type(const std::string& word, bool enter = true)
    {
        for (char c : word) {
            Key(0, static_cast<unsigned char>(c));
        }
        if (enter) {
            Key(5);
        }
    }
    std::string Word(std::size_t i) const { return scene->GetRacks()[i]->GetSourceWord().GetString(); }
    std::string SavePath() const
    {
        return PlayerManager::GetInstance()->GetSaveGameFile(SaveGameName("BLITZ"), PlayerName("Ann"));
    }
    static Quorvel2Player* Ann()
    {
        return static_cast<Quorvel2Player*>(PlayerManager::GetInstance()->GetCurrentPlayer());
    }

    SmartPtr<BlitzScene> scene;
};

}  // namespace

// Round 1 deals five words of five or six letters, each accepting exactly
// the full-length words of the second dictionary. Solving them refills the
// clock by 8 s up to the full clock, leaves the word spelled in the column
// and moves on to the next open word; a
// word too short is ignored; the last word pays the round bonus, wins the
// round with its trophies, and the next-round dialog deals round 2 with the
// score kept. Round 2 won and left at once keeps the game for round 3.
TEST_F(BlitzSceneTest, SolvingEveryWordRefillsTheClockAndWinsTheRound)
{
    Enter();
    ASSERT_TRUE(scene->HasWords());
    ASSERT_EQ(scene->GetRacks().size(), 5u);
    EXPECT_FLOAT_EQ(scene->GetColumnTop(), 185.0f);
    EXPECT_EQ(scene->GetTimeLeft(), BlitzRules::kFullClock);
    for (std::size_t i = 0; i < 5; ++i) {
        const ClassicRack& rack = *scene->GetRacks()[i];
        const std::int32_t n = rack.GetSourceWord().GetLength();
        EXPECT_TRUE(n == 5 || n == 6) << Word(i);
        EXPECT_NE(rack.GetRackBox()->GetAllText().GetString(), Word(i)) << "the letters come shuffled";
        for (const std::string& accepted : rack.GetTable()->GetAccepted()) {
            EXPECT_EQ(UTF8String(accepted).GetLength(), n) << Word(i) << " accepts " << accepted;
        }
    }
    EXPECT_EQ(scene->GetCurrentIndex(), 0);
    Settle();

    // Too short: ignored, letters stay, nothing scored.
    const std::string first = Word(0);
    Type(first.substr(0, first.size() - 1));
    EXPECT_EQ(scene->GetScore(), 0);
    EXPECT_EQ(scene->GetCurrentRack()->GetAnswerBox()->GetText().GetString(), first.substr(0, first.size() - 1));
    Key(4);  // Delete clears them
    EXPECT_TRUE(scene->GetCurrentRack()->GetAnswerBox()->GetText().IsEmpty());

    // Words 0..3 with the clock at known values: 80300 -> 75000 -> 80300,
    // then 4500 -> 12500 (mark 10000) and 1700 -> 9700 (mark 9000).
    const std::int32_t lefts[] = {75000, 40000, 4500, 1700};
    const std::int32_t afters[] = {80300, 48000, 12500, 9700};
    const std::int32_t marks[] = {10000, 10000, 10000, 9000};
    std::int32_t expected = 0;
    for (std::size_t i = 0; i < 4; ++i) {
        ASSERT_EQ(scene->GetCurrentIndex(), static_cast<std::int32_t>(i));
        Frame(scene->GetTimeLeft() - lefts[i]);
        ASSERT_EQ(scene->GetTimeLeft(), lefts[i]);
        // Long frames bring the automatic hints; each costs a letter.
        const std::int32_t hints = scene->GetCurrentRack()->hintsUsed;
        Type(Word(i));
        const auto n = static_cast<std::int32_t>(Word(i).size());
        expected += 10 * n * (n - std::min(hints, n));
        EXPECT_EQ(scene->GetScore(), expected) << Word(i);
        EXPECT_TRUE(scene->GetRacks()[i]->solved);
        EXPECT_EQ(scene->GetTimeLeft(), afters[i]) << "refill after " << lefts[i];
        EXPECT_EQ(scene->GetCountdownMark(), marks[i]) << "mark after " << lefts[i];
        EXPECT_TRUE(scene->IsBusy()) << "the clock stops while the bar fills";
        Frame(16);
        EXPECT_EQ(scene->GetTimeLeft(), afters[i]) << "no time runs during the refill";
        Settle();
        Frame(0);
        EXPECT_FALSE(scene->IsBusy());
        Settle();
        // Back in the column the found word is spelled in its small boxes.
        EXPECT_EQ(scene->GetRacks()[i]->GetRackBox()->GetAllText().GetString(), Word(i));
        EXPECT_TRUE(scene->GetRacks()[i]->GetAnswerBox()->GetText().IsEmpty());
    }
    // Moving on skips solved words both ways.
    EXPECT_EQ(scene->GetCurrentIndex(), 4);
    Key(22);
    EXPECT_EQ(scene->GetCurrentIndex(), 4);
    Key(21);
    EXPECT_EQ(scene->GetCurrentIndex(), 4);
    EXPECT_TRUE(scene->UsedSkip());

    const std::int32_t hints = scene->GetCurrentRack()->hintsUsed;
    Type(Word(4));
    const auto n = static_cast<std::int32_t>(Word(4).size());
    expected += 10 * n * (n - std::min(hints, n)) + BlitzRules::kRoundBonus;
    EXPECT_EQ(scene->GetScore(), expected);
    EXPECT_EQ(scene->GetGameState(), GameScene::kWon);
    EXPECT_EQ(Ann()->GetAchievement(3), Quorvel2Player::kEarned) << "no shuffle";
    EXPECT_NE(Ann()->GetAchievement(4), Quorvel2Player::kEarned) << "the word was changed by key";
    EXPECT_TRUE(scene->UsedHint());
    EXPECT_NE(Ann()->GetAchievement(5), Quorvel2Player::kEarned) << "hints came during the long frames";
    EXPECT_NE(Ann()->GetAchievement(6), Quorvel2Player::kEarned) << "more than 3 s were left";

    // The reveal, then the next-round dialog; its continue deals round 2.
    for (int i = 0; i < 40 && scene->GetPendingDialog() == GameScene::kNoDialog && !scene->IsDialogOpen(); ++i) {
        Frame(100);
    }
    Frame(16);
    EXPECT_EQ(scene->GetLastOpened(), "DIALOG_NEXTROUND");
    scene->OnNextRoundConfirmed();
    EXPECT_EQ(scene->GetRound(), 2);
    EXPECT_EQ(scene->GetScore(), expected);
    EXPECT_EQ(scene->GetTimeLeft(), BlitzRules::kFullClock);
    EXPECT_EQ(scene->GetRacks().size(), 5u);
    EXPECT_FALSE(scene->UsedSkip()) << "each round starts without its flags";
    EXPECT_EQ(Ann()->GetModeCount(GameMode::kBlitz), 1);

    // Round 2 won and left before its next-round dialog is answered: the
    // game comes back as round 3 with the score, not lost with the round.
    // The menu comes up (Ctrl+P) while the round's words are revealed, and
    // the game is stopped from it once the reveal has ended.
    Settle();
    const std::size_t count = scene->GetRacks().size();
    for (std::size_t i = 0; i < count; ++i) {
        ASSERT_EQ(scene->GetCurrentIndex(), static_cast<std::int32_t>(i));
        Type(Word(i));
        const auto letters = static_cast<std::int32_t>(Word(i).size());
        expected += 10 * letters * letters;
        if (i + 1 < count) {
            Settle();
            Frame(0);
            Settle();
        }
    }
    expected += BlitzRules::kRoundBonus;
    ASSERT_EQ(scene->GetGameState(), GameScene::kWon);
    ASSERT_EQ(scene->GetScore(), expected);
    scene->OnMessage(Message(Message::kCtrlP, nullptr));
    Frame(0);
    ASSERT_EQ(scene->GetLastOpened(), "DIALOG_MENU");
    Settle();
    Frame(0);
    scene->SaveAndQuit(nullptr, nullptr);
    scene->Deactivate();
    ASSERT_TRUE(std::filesystem::exists(SavePath())) << "a won round keeps its game";
    Enter();
    EXPECT_EQ(scene->GetRound(), 3);
    EXPECT_EQ(scene->GetScore(), expected);
    EXPECT_EQ(scene->GetGameState(), GameScene::kPlaying);
    EXPECT_EQ(scene->GetTimeLeft(), BlitzRules::kFullClock);
    // Round 3 is there to be played: round 2's next-round dialog, due when
    // the game was left, does not come now to deal round 4.
    Frame(16);
    EXPECT_FALSE(scene->IsDialogOpen()) << scene->GetLastOpened();
    EXPECT_EQ(scene->GetRound(), 3);
}

// Hints come on their own after 9 s, then every 4 s, but wait while letters
// are typed; each costs a letter of the word's score. The warnings sound on
// each whole second below ten; at zero the game is lost, every word is shown
// in the column, the save is deleted and the score enters the "blitz" table.
TEST_F(BlitzSceneTest, HintsTheClockAndTheEndOfTheGame)
{
    Enter();
    Settle();
    ClassicRack* rack = scene->GetCurrentRack();
    const std::string word = Word(0);
    Frame(8999);
    EXPECT_EQ(rack->hintsUsed, 0);
    Frame(1);
    EXPECT_EQ(rack->hintsUsed, 1);
    EXPECT_TRUE(scene->UsedHint());
    Type(word.substr(0, 1), false);
    Frame(4000);
    EXPECT_EQ(rack->hintsUsed, 1) << "no hint while letters are typed";
    Key(4);
    Frame(1);
    EXPECT_EQ(rack->hintsUsed, 2) << "the waiting hint comes once they are cleared";
    Type(word);
    const auto n = static_cast<std::int32_t>(word.size());
    EXPECT_EQ(scene->GetScore(), 10 * n * (n - 2));
    Settle();
    Frame(0);

    scene->SaveRound();
    ASSERT_TRUE(std::filesystem::exists(SavePath()));
    Frame(scene->GetTimeLeft() - 10000);
    EXPECT_EQ(scene->GetCountdownMark(), 10000);
    Frame(1);
    EXPECT_EQ(scene->GetCountdownMark(), 9000);
    Frame(3000);
    EXPECT_EQ(scene->GetCountdownMark(), 8000) << "one warning a frame";
    Frame(10000);
    EXPECT_EQ(scene->GetGameState(), GameScene::kLost);
    EXPECT_TRUE(scene->IsDialogOpen());
    for (int i = 0; i < 40; ++i) {
        Frame(100);
    }
    // Every word now stands in its letters box: found or missed.
    for (std::size_t i = 0; i < scene->GetRacks().size(); ++i) {
        EXPECT_EQ(scene->GetRacks()[i]->GetRackBox()->GetAllText().GetString(), Word(i)) << i;
    }
    EXPECT_FALSE(std::filesystem::exists(SavePath())) << "a lost game is not kept";
    HighScoreTable* table = HighScoreManager::GetInstance()->FindTable("blitz");
    ASSERT_NE(table, nullptr);
    ASSERT_EQ(table->GetCount(), 1);
    EXPECT_EQ(table->GetEntries()[0]->GetScore(), 10 * n * (n - 2));
    // The test data has no congratulations dialog: the end-of-game one stands in.
    EXPECT_EQ(scene->GetLastOpened(), "DIALOG_ENDGAME");
    const std::int32_t round = scene->GetRound();
    Frame(100000);
    EXPECT_EQ(scene->GetRound(), round) << "nothing runs on after the end of the game";

    // After the game a click on a word's box opens its definition: only an
    // http(s) base, the word percent-encoded, and nothing in the game changes.
    std::vector<std::string> opened;
    platform::SetUrlOpener([&](const std::string& address) {
        opened.push_back(address);
        return true;
    });
    BasicProperties::GetInstance()->SetString("BASE_URL", "https://words.example/define?w=");
    scene->OnLetterBoxClick(scene->GetRacks()[1]->GetRackBox(), nullptr);
    BasicProperties::GetInstance()->SetString("BASE_URL", "file:///etc/");
    scene->OnLetterBoxClick(scene->GetRacks()[2]->GetRackBox(), nullptr);
    platform::SetUrlOpener({});
    EXPECT_EQ(opened, std::vector<std::string>{"https://words.example/define?w=" + Word(1)});
    EXPECT_EQ(scene->GetRacks()[1]->GetRackBox()->GetAllText().GetString(), Word(1)) << "the word stays shown";
    EXPECT_EQ(scene->GetScore(), 10 * n * (n - 2));
    EXPECT_EQ(scene->GetGameState(), GameScene::kLost);
}

// Closing the window during the reveal that ends a game enters the score at
// once and deletes the game's save: the lost game cannot come back to be
// played on, its score is not lost, and the end still to come does not
// enter it again.
TEST_F(BlitzSceneTest, ClosingTheWindowDuringTheLastRevealKeepsTheScoreNotTheGame)
{
    Enter();
    Settle();
    Type(Word(0));
    Settle();
    Frame(0);
    const std::int32_t score = scene->GetScore();
    ASSERT_GT(score, 0);
    scene->SaveRound();
    ASSERT_TRUE(std::filesystem::exists(SavePath()));
    for (int i = 0; i < 200 && scene->GetGameState() != GameScene::kLost; ++i) {
        Frame(1000);
    }
    ASSERT_EQ(scene->GetGameState(), GameScene::kLost);
    Frame(500);
    ASSERT_EQ(HighScoreManager::GetInstance()->FindTable("blitz"), nullptr) << "the reveal is still running";
    scene->OnMessage(Message(Message::kQuit));
    EXPECT_FALSE(std::filesystem::exists(SavePath()));
    HighScoreTable* table = HighScoreManager::GetInstance()->FindTable("blitz");
    ASSERT_NE(table, nullptr);
    ASSERT_EQ(table->GetCount(), 1);
    EXPECT_EQ(table->GetEntries()[0]->GetScore(), score);
    for (int i = 0; i < 40; ++i) {
        Frame(100);
    }
    EXPECT_EQ(scene->GetLastOpened(), "DIALOG_ENDGAME");
    EXPECT_EQ(table->GetCount(), 1) << "the score is entered once";
}

// Leaving mid-game saves round, clock, score and the words with their found
// flags; entering again restores them once, on the first open word, with a
// countdown mark from the clock. A click on another open word's box selects
// it; typed letters are cleared first and hold further changes for 500 ms.
// A save whose words are all found, or unknown, gives a fresh game; a game
// lost and left during its reveal is neither saved nor revealed later.
TEST_F(BlitzSceneTest, ALeftGameComesBackOnceAndBadSavesGiveAFreshOne)
{
    Enter();
    Settle();
    Type(Word(0));
    Settle();
    Frame(0);
    Frame(scene->GetTimeLeft() - 7400);
    const std::int32_t score = scene->GetScore();
    std::vector<std::string> words;
    for (std::size_t i = 0; i < scene->GetRacks().size(); ++i) {
        words.push_back(Word(i));
    }
    scene->SaveAndQuit(nullptr, nullptr);
    scene->Deactivate();
    ASSERT_TRUE(std::filesystem::exists(SavePath()));

    Enter();
    EXPECT_FALSE(std::filesystem::exists(SavePath())) << "a save is played once";
    ASSERT_EQ(scene->GetRacks().size(), words.size());
    for (std::size_t i = 0; i < words.size(); ++i) {
        EXPECT_EQ(Word(i), words[i]);
        EXPECT_EQ(scene->GetRacks()[i]->solved, i == 0) << i;
    }
    EXPECT_EQ(scene->GetRacks()[0]->GetRackBox()->GetAllText().GetString(), words[0]) << "a found word is shown";
    EXPECT_EQ(scene->GetScore(), score);
    EXPECT_EQ(scene->GetTimeLeft(), 7400);
    EXPECT_EQ(scene->GetCountdownMark(), 7000);
    EXPECT_EQ(scene->GetCurrentIndex(), 1) << "the first open word";
    Settle();

    // A click on word 3's box, with letters typed in word 1.
    Type(Word(1).substr(0, 2), false);
    scene->OnLetterBoxClick(scene->GetRacks()[3]->GetRackBox(), nullptr);
    EXPECT_EQ(scene->GetCurrentIndex(), 3);
    EXPECT_TRUE(scene->UsedSkip());
    EXPECT_TRUE(scene->GetRacks()[1]->GetAnswerBox()->GetText().IsEmpty()) << "the typed letters go back";
    EXPECT_TRUE(scene->IsSwitching());
    scene->OnLetterBoxClick(scene->GetRacks()[2]->GetRackBox(), nullptr);
    EXPECT_EQ(scene->GetCurrentIndex(), 3) << "no change while one waits";
    AnimTree::UpdateTree(scene->GetAnimations(), 500u);
    EXPECT_FALSE(scene->IsSwitching());
    scene->OnLetterBoxClick(scene->GetRacks()[0]->GetRackBox(), nullptr);
    EXPECT_EQ(scene->GetCurrentIndex(), 3) << "a found word cannot be selected";

    // Hostile saves: every word found, then a word not in the dictionary.
    for (const char* word : {"", "qzxvw"}) {
        scene->Deactivate();
        BlitzSave save;
        save.round = 4;
        save.timeLeft = 30000;
        save.score = 999;
        save.words = {{UTF8String(words[0]), true}, {UTF8String(*word ? word : words[1].c_str()), *word == 0}};
        PropertyStore store;
        store.AddChild(save.ToNode());
        ASSERT_TRUE(PlayerManager::GetInstance()->SaveGame(&store, SaveGameName("BLITZ"), PlayerName("Ann")));
        Enter();
        EXPECT_EQ(scene->GetRound(), 1) << word;
        EXPECT_EQ(scene->GetScore(), 0) << word;
        EXPECT_EQ(scene->GetRacks().size(), 5u) << word;
        EXPECT_FALSE(std::filesystem::exists(SavePath())) << word;
    }

    // The clock runs out and the player leaves during the reveal: nothing is
    // saved, and the reveal still waiting in the suspended scene does not
    // show the words of the game dealt at the next entry.
    Settle();
    Frame(scene->GetTimeLeft());
    AnimTree::UpdateTree(scene->GetAnimations(), 16u);
    EXPECT_TRUE(scene->IsBusy()) << "the reveal is under way";
    scene->SaveAndQuit(nullptr, nullptr);
    scene->Deactivate();
    EXPECT_FALSE(std::filesystem::exists(SavePath())) << "a lost game is not saved";
    Enter();
    Settle();
    Frame(16);
    EXPECT_EQ(scene->GetGameState(), GameScene::kPlaying);
    EXPECT_FALSE(scene->IsBusy());
    for (std::size_t i = 0; i < scene->GetRacks().size(); ++i) {
        EXPECT_NE(scene->GetRacks()[i]->GetRackBox()->GetAllText().GetString(), Word(i)) << "word " << i << " shown";
    }
}

}  // namespace blitz_scene_test
