// The crossword scene played through its own entry points with the real
// word files and the game's player record: every word typed key by key
// (crossing letters typed again are swallowed once), the score counted
// independently of the scene, a solved word reopened and found again for
// nothing, a word one letter short ignored, the game left after its round
// kept as the start of the next; a round left mid-way comes back
// with its solved words, turned once where they run down, on the word in
// play or the first still to find; giving up reveals
// the words not found and ends the game, and leaves nothing to restore.
// Each test deals from a seed of the clock, named with any failure
// (QMV_DEAL_SEED deals it again).
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>

#include "framework/core/app/Message.h"
#include "framework/core/app/MessageData.h"
#include "framework/core/data/HighScoreManager.h"
#include "framework/core/data/PlayerManager.h"
#include "framework/core/object/SmartPtr.h"
#include "framework/core/properties/PropertyNode.h"
#include "framework/core/properties/PropertyStore.h"
#include "framework/scene/AnimTree.h"
#include "framework/scene/ClickableSprite.h"
#include "game/frontend/Quorvel2Player.h"
#include "game/words/CrisscrossScene.h"
#include "game/words/CrosswordRack.h"
#include "game/words/CrosswordTable.h"
#include "game/words/GameMode.h"
#include "game/words/LetterBall.h"
#include "game/words/LetterBox.h"
#include "tests/framework/core/data/DataTestSupport.h"
#include "tests/game/frontend/DialogTestSupport.h"
#include "tests/game/frontend/PlayingSceneTestSupport.h"

namespace crisscross_scene_test {

using namespace Qmv2;

namespace {

constexpr std::int32_t kKeyBackspace = 1;
constexpr std::int32_t kKeyDelete = 4;
constexpr std::int32_t kKeyEnter = 5;
constexpr std::int32_t kKeyLeft = 20;
constexpr std::int32_t kKeyUp = 21;
constexpr std::int32_t kKeyRight = 22;

class CrisscrossSceneTest : public frontendtest::PlayingSceneTest {
protected:
    void SetUp() override
    {
        PlayingSceneTest::SetUp();
        GameMode::Set(GameMode::kCrisscross);
    }
    void TearDown() override
    {
        scene = nullptr;
        HighScoreManager::ReleaseInstance();
        PlayingSceneTest::TearDown();
    }

    CrisscrossScene* Enter()
    {
        SmartPtr<PropertyNode> empty(new PropertyNode("scene"));
        scene = new CrisscrossScene(empty.Get());
        scene->SetName("SCENE_CRISSCROSS");
        scene->Show();
        scene->Activate();
        Settle();
        return scene.Get();
    }
    // Runs frames until the board's moves have ended.
    void Settle()
    {
        for (int frame = 0; frame < 400 && (frame < 3 || scene->IsBusy()); ++frame) {
            AnimTree::UpdateTree(scene->GetAnimations(), 50);
            scene->TickTree(50);
        }
        ASSERT_FALSE(scene->IsBusy() && scene->GetGameState() == GameScene::kPlaying);
    }
    void Key(std::int32_t code, std::uint32_t character = 0)
    {
        KeyboardMessageData data(character, code);
        scene->OnKeyDown(&data);
    }
    void Type(const std::string& text)
    {
        for (char c : text) {
            Key(0, static_cast<unsigned char>(c));
        }
    }
    std::string Word(std::size_t i) const { return scene->GetTable()->GetPlacements()[i]->word; }
    std::string SavePath() const
    {
        return PlayerManager::GetInstance()->GetSaveGameFile(SaveGameName("CROSSWORD"), PlayerName("Ann"));
    }
    static Quorvel2Player* Ann()
    {
        return static_cast<Quorvel2Player*>(PlayerManager::GetInstance()->GetCurrentPlayer());
    }

    SmartPtr<CrisscrossScene> scene;
};

std::int32_t WordScore(const std::string& word)
{
    const auto n = static_cast<std::int32_t>(word.size());
    return 10 * n * n;
}

}  // namespace

TEST_F(CrisscrossSceneTest, EveryWordTypedFinishesTheRoundWithItsScores)
{
    Enter();
    ASSERT_TRUE(scene->HasWords());
    const auto& racks = scene->GetRacks();
    ASSERT_GE(racks.size(), 2u);
    ASSERT_EQ(racks.size(), scene->GetTable()->GetPlacements().size());
    EXPECT_EQ(scene->GetBoard()->GetScaleX(), CrisscrossScene::kZoomedOut);
    EXPECT_EQ(scene->GetCurrentIndex(), 0);

    // One letter short: Enter does nothing at all.
    const std::string first = Word(0);
    Type(first.substr(0, first.size() - 1));
    Key(kKeyEnter);
    EXPECT_FALSE(racks[0]->solved);
    EXPECT_EQ(scene->GetScore(), 0);
    EXPECT_EQ(scene->PopComment(), -1) << "no popup either";
    Key(kKeyDelete);
    EXPECT_TRUE(racks[0]->GetAnswerBox()->GetAllText().IsEmpty());

    std::int32_t expected = 0;
    for (std::size_t i = 0; i < racks.size(); ++i) {
        if (i > 0) {
            // The reopened first word was found again; the next unsolved
            // word comes by itself.
            ASSERT_EQ(scene->GetCurrentIndex(), static_cast<std::int32_t>(i)) << "the next word comes by itself";
        }
        Type(Word(i));
        EXPECT_EQ(racks[i]->GetAnswerBox()->GetAllText().GetString(), Word(i))
            << "crossing letters typed again are swallowed";
        Key(kKeyEnter);
        expected += WordScore(Word(i));
        if (i + 1 == racks.size()) {
            expected += CrisscrossScene::kAllWordsBonus;
        }
        EXPECT_TRUE(racks[i]->solved) << Word(i);
        EXPECT_EQ(scene->GetScore(), expected) << Word(i);
        Settle();
        if (i == 0) {
            // Back to the solved first word: Backspace reopens it, and
            // finding it again adds nothing.
            ASSERT_EQ(scene->GetCurrentIndex(), 1);
            Key(kKeyLeft);
            Settle();
            ASSERT_EQ(scene->GetCurrentIndex(), 0);
            Key(kKeyBackspace);
            EXPECT_FALSE(racks[0]->solved);
            EXPECT_TRUE(racks[0]->solvedText.IsEmpty());
            Type(Word(0));
            Key(kKeyEnter);
            EXPECT_TRUE(racks[0]->solved);
            EXPECT_EQ(scene->GetScore(), expected) << "a word found again scores nothing";
            Settle();
        }
    }
    EXPECT_EQ(scene->GetGameState(), GameScene::kWon);
    EXPECT_EQ(Ann()->GetAchievement(CrisscrossScene::kAchievementNoShuffle), Quorvel2Player::kEarned);
    EXPECT_NE(Ann()->GetAchievement(CrisscrossScene::kAchievementNoReopen), Quorvel2Player::kEarned)
        << "a word was reopened";
    for (int frame = 0; frame < 200 && scene->GetLastOpened() != "DIALOG_NEXTROUND"; ++frame) {
        AnimTree::UpdateTree(scene->GetAnimations(), 50);
        scene->TickTree(50);
    }
    ASSERT_EQ(scene->GetLastOpened(), "DIALOG_NEXTROUND");
    // Leaving now keeps the game as the start of round 2, score carried.
    scene->SaveAndQuit(nullptr, nullptr);
    ASSERT_TRUE(std::filesystem::exists(SavePath()));
    scene->Deactivate();
    Enter();
    EXPECT_EQ(scene->GetRound(), 2);
    EXPECT_EQ(scene->GetScore(), expected);
    EXPECT_EQ(scene->GetGameState(), GameScene::kPlaying);
    ASSERT_FALSE(scene->GetRacks().empty());
    for (const auto& rack : scene->GetRacks()) {
        EXPECT_FALSE(rack->solved);
    }
    scene->OnNextRoundConfirmed();
    EXPECT_EQ(scene->GetRound(), 3) << "the next-round dialog deals the round after";
    EXPECT_EQ(scene->GetScore(), expected);
}

TEST_F(CrisscrossSceneTest, ALeftRoundComesBackAndGivingUpEndsTheGame)
{
    Enter();
    const std::size_t count = scene->GetRacks().size();
    ASSERT_GE(count, 2u);
    // Every word that crosses the first one runs down.
    for (std::size_t i = 0; i < 2; ++i) {
        Type(Word(i));
        Key(kKeyEnter);
        Settle();
    }
    const std::int32_t score = scene->GetScore();
    ASSERT_EQ(score, WordScore(Word(0)) + WordScore(Word(1)));
    ASSERT_FALSE(scene->GetTable()->GetPlacements()[1]->horizontal);
    std::vector<std::string> words;
    for (std::size_t i = 0; i < count; ++i) {
        words.push_back(Word(i));
    }
    scene->SaveAndQuit(nullptr, nullptr);
    ASSERT_TRUE(std::filesystem::exists(SavePath()));
    scene->Deactivate();

    Enter();
    EXPECT_FALSE(std::filesystem::exists(SavePath())) << "a save is played once";
    const auto& racks = scene->GetRacks();
    ASSERT_EQ(racks.size(), count);
    EXPECT_EQ(scene->GetScore(), score);
    for (std::size_t i = 0; i < count; ++i) {
        EXPECT_EQ(Word(i), words[i]);
        EXPECT_EQ(racks[i]->solved, i < 2) << words[i];
    }
    EXPECT_EQ(racks[1]->solvedText.GetString(), words[1]);
    // The word running down stands turned a quarter on the board and its
    // balls turned back exactly once, so that its letters stay upright.
    LetterBox* down = racks[1]->GetAnswerBox();
    EXPECT_NEAR(down->GetRotation(), CrosswordRack::kUpright * -1.0f, 1e-6f);
    for (std::int32_t slot = 0; slot < down->GetSlotCount(); ++slot) {
        ASSERT_NE(down->GetBall(slot), nullptr);
        const float turn = down->GetBall(slot)->GetRotation() + down->GetRotation() + scene->GetBoard()->GetRotation();
        EXPECT_NEAR(std::remainder(turn, 6.2831853f), 0.0f, 1e-4f) << "upright on screen";
    }
    // Giving up: the words not found show their letters, then the game ends.
    scene->PassOrGiveUp();
    EXPECT_EQ(scene->GetGameState(), GameScene::kLost);
    for (int frame = 0; frame < 400 && !scene->IsDialogOpen(); ++frame) {
        AnimTree::UpdateTree(scene->GetAnimations(), 50);
        scene->TickTree(50);
    }
    EXPECT_TRUE(scene->GetLastOpened() == "DIALOG_ENDGAME" || scene->GetLastOpened() == "DIALOG_CONGRATS")
        << scene->GetLastOpened();
    for (std::size_t i = 2; i < count; ++i) {
        LetterBox* box = racks[i]->GetAnswerBox();
        for (std::int32_t slot = 0; slot < box->GetSlotCount(); ++slot) {
            if (box->GetBall(slot) == nullptr) {
                EXPECT_TRUE(box->GetHintLetter(slot)->IsVisible()) << words[i] << " slot " << slot;
            }
        }
    }
    scene->Deactivate();
    EXPECT_FALSE(std::filesystem::exists(SavePath())) << "a game given up leaves nothing to restore";
}

// The end of a round runs for a few seconds after its last word or after
// giving up; the menu can come up meanwhile (Ctrl+P or the window losing
// focus) and the player can stop the game from it. The game comes back as
// it was kept: the round found whole comes back as the next round, to be
// played, and a game given up gives a new game, with no word of it changed,
// no dialog of the old round's end and no next round dealt unplayed; the
// score of the game given up is in the high-score table, once.
TEST_F(CrisscrossSceneTest, AGameStoppedDuringItsRoundsEndComesBackToBePlayed)
{
    HighScoreManager::Create("1");
    auto* scores = new HighScoreTable();
    scores->SetDescending(true);
    scores->SetMaxEntries(10);
    HighScoreManager::GetInstance()->GetTables()["crossword"] = scores;
    const auto stopDuringTheEnd = [this] {
        scene->OnMessage(Message(Message::kCtrlP, nullptr));
        scene->Update(0);
        ASSERT_EQ(scene->GetLastOpened(), "DIALOG_MENU");
        for (int frame = 0; frame < 40; ++frame) {
            AnimTree::UpdateTree(scene->GetAnimations(), 50);
            scene->TickTree(50);
        }
        scene->SaveAndQuit(nullptr, nullptr);
        scene->Deactivate();
        // The same scene entered again, as the game does.
        scene->Show();
        scene->Activate();
        for (int frame = 0; frame < 200; ++frame) {
            AnimTree::UpdateTree(scene->GetAnimations(), 50);
            scene->TickTree(50);
        }
    };
    Enter();
    const std::size_t count = scene->GetRacks().size();
    for (std::size_t i = 0; i < count; ++i) {
        Type(Word(i));
        Key(kKeyEnter);
        if (i + 1 < count) {
            Settle();
        }
    }
    ASSERT_EQ(scene->GetGameState(), GameScene::kWon);
    ASSERT_TRUE(scene->IsBusy()) << "the round's end is running";
    const std::int32_t score = scene->GetScore();
    stopDuringTheEnd();
    EXPECT_EQ(scene->GetRound(), 2);
    EXPECT_EQ(scene->GetScore(), score);
    EXPECT_EQ(scene->GetGameState(), GameScene::kPlaying);
    EXPECT_NE(scene->GetLastOpened(), "DIALOG_NEXTROUND") << "round 2 is there to be played";
    EXPECT_FALSE(scene->IsDialogOpen());

    // Given up in round 2, and left while its words are being shown.
    scene->PassOrGiveUp();
    AnimTree::UpdateTree(scene->GetAnimations(), 50);
    scene->TickTree(50);
    ASSERT_TRUE(scene->IsBusy());
    stopDuringTheEnd();
    EXPECT_EQ(scene->GetRound(), 1) << "a game given up is over";
    EXPECT_EQ(scene->GetGameState(), GameScene::kPlaying);
    EXPECT_FALSE(scene->IsDialogOpen()) << scene->GetLastOpened();
    ASSERT_EQ(scores->GetCount(), 1) << "the game's score is kept, once";
    EXPECT_EQ(scores->GetEntries()[0]->GetScore(), score);
}

// A round left and restored opens on the word that was in play, with its
// rack and typing taken; where that word was solved (or the file, written
// before the word in play was kept, does not say), on the first word still
// to find.
TEST_F(CrisscrossSceneTest, ARestoredRoundOpensOnTheWordInPlayOrTheFirstStillToFind)
{
    Enter();
    const auto count = static_cast<std::int32_t>(scene->GetRacks().size());
    ASSERT_GE(count, 3);
    Type(Word(0));
    Key(kKeyEnter);
    Settle();
    ASSERT_EQ(scene->GetCurrentIndex(), 1);
    Key(kKeyRight);
    Settle();
    ASSERT_EQ(scene->GetCurrentIndex(), 2);
    const auto leaveAndRestore = [this](const std::function<void()>& between) {
        scene->SaveAndQuit(nullptr, nullptr);
        ASSERT_TRUE(std::filesystem::exists(SavePath()));
        scene->Deactivate();
        between();
        Enter();
        ASSERT_TRUE(scene->GetRacks()[0]->solved);
    };
    const auto expectTypingAt = [this](std::int32_t index) {
        ASSERT_EQ(scene->GetCurrentIndex(), index);
        CrosswordRack* rack = scene->GetCurrentRack();
        EXPECT_TRUE(rack->GetRackBox()->IsVisible()) << "the word's rack shows";
        Type(Word(static_cast<std::size_t>(index)));
        Key(kKeyEnter);
        EXPECT_TRUE(rack->solved) << Word(static_cast<std::size_t>(index)) << " typed in";
        Settle();
    };

    ASSERT_NO_FATAL_FAILURE(leaveAndRestore([] {}));
    ASSERT_NO_FATAL_FAILURE(expectTypingAt(2));

    // A file without the word in play, left on the last word: word 1 is the
    // first still to find.
    scene->SelectWord(count - 1);
    Settle();
    ASSERT_NO_FATAL_FAILURE(leaveAndRestore([] {
        PlayerManager* players = PlayerManager::GetInstance();
        SmartPtr<PropertyStore> store(new PropertyStore());
        ASSERT_TRUE(players->LoadGame(store.Get(), SaveGameName("CROSSWORD"), PlayerName("Ann")));
        PropertyNode* game = store->GetNode("GAME");
        ASSERT_TRUE(game->HasChild("CURRENT"));
        game->RemoveChild("CURRENT");
        ASSERT_TRUE(players->SaveGame(store.Get(), SaveGameName("CROSSWORD"), PlayerName("Ann")));
    }));
    ASSERT_EQ(scene->GetCurrentIndex(), 1);

    // Back on the solved first word when left.
    scene->SelectWord(0);
    Settle();
    ASSERT_NO_FATAL_FAILURE(leaveAndRestore([] {}));
    expectTypingAt(1);
}

// A word that crosses a solved one starts with that crossing's letter fixed
// in its box. What the player types around it is what Enter and Delete act
// on: a word typed short and cleared comes back with Enter, as on a word
// with no fixed letter, also when the fixed letter is the word's first.
TEST_F(CrisscrossSceneTest, EnterBringsTheLastWordBackAroundAFixedFirstLetter)
{
    Enter();
    std::int32_t crossing = -1;
    for (int deal = 0; deal < 40 && crossing < 0; ++deal) {
        if (deal > 0) {
            scene->StartRound(1, nullptr);
            Settle();
        }
        const auto& placements = scene->GetTable()->GetPlacements();
        for (std::size_t i = 1; i < placements.size() && crossing < 0; ++i) {
            const auto at = placements[i]->intersections.find(0);
            if (at != placements[i]->intersections.end() && at->second == 0) {
                crossing = static_cast<std::int32_t>(i);
            }
        }
    }
    ASSERT_GE(crossing, 0) << "a board with a word whose first letter crosses the first word";
    Type(Word(0));
    Key(kKeyEnter);
    ASSERT_TRUE(scene->GetRacks()[0]->solved);
    Settle();
    scene->SelectWord(crossing);
    Settle();
    LetterBox* box = scene->GetRacks()[crossing]->GetAnswerBox();
    const std::string word = Word(crossing);
    ASSERT_NE(box->GetBall(0), nullptr) << word << ": the crossing letter stands fixed";
    EXPECT_TRUE(box->GetBall(0)->IsPlacedExplicitly());
    Type(word.substr(0, 2));
    ASSERT_EQ(box->GetAllText().GetString(), word.substr(0, 2)) << "the fixed letter typed again is swallowed";
    Key(kKeyEnter);
    EXPECT_FALSE(scene->GetRacks()[crossing]->solved) << "too short";
    Key(kKeyDelete);
    ASSERT_EQ(box->GetAllText().GetString(), word.substr(0, 1)) << "the fixed letter stays";
    Key(kKeyEnter);
    EXPECT_EQ(box->GetAllText().GetString(), word.substr(0, 2)) << "Enter brings the last word back";
}

// A letter typed zoomed in, and Up pressed while its ball still flies: the
// board zooms out, and the ball stands in its slot of the word, at the
// board's scale, not where the slot was on screen when the key went down.
TEST_F(CrisscrossSceneTest, ALetterStillFlyingWhenTheBoardZoomsOutLandsInItsSlot)
{
    Enter();
    Key(kKeyUp);
    Settle();
    ASSERT_EQ(scene->GetBoard()->GetScaleX(), CrisscrossScene::kZoomedIn);
    LetterBox* answer = scene->GetRacks()[0]->GetAnswerBox();
    std::int32_t slot = 0;
    while (answer->GetBall(slot) != nullptr) {
        ++slot;
    }
    Key(0, static_cast<unsigned char>(Word(0)[static_cast<std::size_t>(slot)]));
    AnimTree::UpdateTree(scene->GetAnimations(), 16);
    Key(kKeyUp);
    Settle();
    EXPECT_EQ(scene->GetBoard()->GetScaleX(), CrisscrossScene::kZoomedOut);
    LetterBall* ball = answer->GetBall(slot);
    ASSERT_NE(ball, nullptr);
    EXPECT_EQ(ball->GetParent(), answer);
    EXPECT_NEAR(ball->GetX(), LetterBox::SlotCentre(slot), 0.5f);
    EXPECT_NEAR(ball->GetY(), LetterBox::kSlotCentre, 0.5f);
}

}  // namespace crisscross_scene_test
