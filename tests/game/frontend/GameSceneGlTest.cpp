// The playing scenes built from the shipped layout, pictures and fonts, as
// the player sees them: a classic round whose answers put long words in every
// column lays out a table wider than the window, and still every tile, the
// frame round the table and its found words stand inside the window where
// they answer the pointer; in every playing scene a trophy pops up where it
// hides no text, no button and no ball.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <utility>

#include "framework/core/data/PlayerManager.h"
#include "framework/core/object/SmartPtr.h"
#include "framework/core/properties/PropertyStore.h"
#include "framework/core/properties/BasicProperties.h"
#include "framework/core/properties/PropertyVector.h"
#include "framework/core/util/Random.h"
#include "framework/graphics/image/PngDecoder.h"
#include "framework/scene/AnimTree.h"
#include "framework/scene/Button.h"
#include "framework/scene/ClickableSprite.h"
#include "framework/scene/Label.h"
#include "framework/scene/SceneManager.h"
#include "framework/scene/Sprite.h"
#include "game/frontend/DialogYesNo.h"
#include "game/words/AnagramTable.h"
#include "game/words/BlitzScene.h"
#include "game/words/ClassicRack.h"
#include "game/frontend/Quorvel2Player.h"
#include "game/words/ClassicRoundSave.h"
#include "game/words/CrisscrossScene.h"
#include "game/words/CrosswordRack.h"
#include "game/words/CrosswordTable.h"
#include "game/words/LetterBox.h"
#include "game/words/GameMode.h"
#include "game/words/GameScene.h"
#include "game/words/LetterBall.h"
#include "tests/game/frontend/DialogTestSupport.h"
#include "tests/game/frontend/MixedSound.h"
#include "tests/game/frontend/ShippedSceneTestSupport.h"

namespace game_scene_gl_test {

using namespace Qmv2;

namespace {

class GameSceneGlTest : public frontendtest::ShippedSceneGlTest {
protected:
    GameSceneGlTest() : ShippedSceneGlTest("classic test") {}

    // The scene of that key in the mode, entered: round 1 dealt, its balls
    // rolled in; with `heard`, played in frames until then with the mix
    // keeping pace.
    static GameScene* Enter(const char* key, std::int32_t mode, frontendtest::MixedSound* heard = nullptr)
    {
        GameMode::Set(mode);
        Scene* made = SceneManager::GetInstance()->CreateScene(key, std::string());
        if (made == nullptr || !made->IsOfType(&GameScene::s_Type)) {
            return nullptr;
        }
        auto* scene = static_cast<GameScene*>(made);
        scene->Show();
        scene->Activate();
        if (heard != nullptr) {
            Play(scene, *heard, 3000);
        } else {
            AnimTree::UpdateTree(scene->GetAnimations(), 5000u);
            AnimTree::GetInstance()->Update(5000u);
        }
        return scene;
    }
    // Runs `ms` of play in frames of 50 ms, the mix keeping pace with them
    // (the scene's animations run under the scene manager's, in the tree).
    static void Play(Scene* scene, frontendtest::MixedSound& sound, std::int32_t ms)
    {
        for (std::int32_t t = 0; t < ms; t += 50) {
            AnimTree::GetInstance()->Update(50u);
            scene->Update(50);
            sound.Mix(50);
        }
    }
    static void Key(GameScene* scene, std::int32_t code, std::uint32_t character = 0)
    {
        KeyboardMessageData data(character, code);
        scene->OnKeyDown(&data);
    }
    // `word` typed key by key, a frame a key as a quick typist types, then
    // Enter.
    static void Submit(GameScene* scene, frontendtest::MixedSound& sound, const std::string& word)
    {
        for (char c : word) {
            Key(scene, 0, static_cast<unsigned char>(c));
            Play(scene, sound, 50);
        }
        Key(scene, 5);
    }
    // Every letter of `word` in an order that no list accepts.
    static std::string Scrambled(const std::string& word, const AnagramTable::WordList& accepted)
    {
        std::string scrambled = word;
        std::sort(scrambled.begin(), scrambled.end());
        while (scrambled == word || accepted.Contains(scrambled)) {
            std::next_permutation(scrambled.begin(), scrambled.end());
        }
        return scrambled;
    }
    // The clock run down to its last ticks and its end, heard; the scene is
    // left.
    static void HearTheLastTicks(GameScene* scene, frontendtest::MixedSound& sound)
    {
        scene->Update(scene->GetTimeLeft() - 12000);
        const std::size_t mark = sound.Frames();
        Play(scene, sound, 12000 + 4000);
        EXPECT_NE(scene->GetGameState(), GameScene::kPlaying) << "the clock ran out";
        sound.ExpectUnclipped(mark, "the clock's last ticks and its end");
        scene->Deactivate();
    }
    struct TableFilled {
        std::int32_t shown = -1;
        std::int32_t gone = -1;
        std::int32_t dialog = -1;
    };
    static TableFilled FillTheTable(GameScene* scene, frontendtest::MixedSound& sound, std::size_t& mark);
    static bool Overlap(const NodeBounds& a, const NodeBounds& b)
    {
        return a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom;
    }
    // Every visible text, button and ball under `node`, by name.
    static void CollectShown(const GameNode& node, std::vector<const GameNode*>& shown)
    {
        for (GameNode* child = node.GetFirstChild(); child != nullptr; child = child->GetNextSibling()) {
            if (!child->IsVisible()) {
                continue;
            }
            if (child->IsOfType(&Label::s_Type) || child->IsOfType(&Button::s_Type) ||
                child->IsOfType(&LetterBall::s_Type)) {
                shown.push_back(child);
            }
            CollectShown(*child, shown);
        }
    }
    static GameNode* LastChild(const GameNode& node)
    {
        GameNode* last = nullptr;
        for (GameNode* child = node.GetFirstChild(); child != nullptr; child = child->GetNextSibling()) {
            last = child;
        }
        return last;
    }

    // The Crisscross scene entered with a fixed deal.
    static CrisscrossScene* DealCrossword(std::int32_t seed)
    {
        auto* ann = static_cast<Quorvel2Player*>(PlayerManager::GetInstance()->GetCurrentPlayer());
        ann->SetSeed(seed);
        ann->SetIndex(0);
        return dynamic_cast<CrisscrossScene*>(Enter("SCENE_CRISSCROSS", GameMode::kCrisscross));
    }

    // The scene's animations and its own update run for `ms`, 50 ms a frame.
    static void Step(CrisscrossScene& scene, int ms)
    {
        for (int t = 0; t < ms; t += 50) {
            AnimTree::UpdateTree(scene.GetAnimations(), 50u);
            scene.Update(50);
        }
    }

    // Where a crossword word's cells and balls are drawn on the screen.
    static NodeBounds Cells(const LetterBox& box)
    {
        NodeBounds cells{1e9f, 1e9f, -1e9f, -1e9f};
        for (GameNode* piece = box.GetFirstChild(); piece != nullptr; piece = piece->GetNextSibling()) {
            if (piece->IsVisible() && piece->IsOfType(&Sprite::s_Type) &&
                static_cast<Sprite*>(piece)->GetImageFrame() != nullptr) {
                const NodeBounds b = OnScreen(*piece);
                cells = {std::min(cells.left, b.left), std::min(cells.top, b.top), std::max(cells.right, b.right),
                         std::max(cells.bottom, b.bottom)};
            }
        }
        return cells;
    }

    // The board's window as the overlay draws it: the pixels it leaves
    // clear, inside its rim, the rim's shadow, its hairline and its rounded
    // corners.
    class DrawnWindow {
    public:
        DrawnWindow()
        {
            if (std::FILE* file = std::fopen("images/crosswordscene/overlay.png", "rb")) {
                PngDecoder(file).Decode(m_Overlay);
                std::fclose(file);
            }
        }
        bool IsRead() const { return m_Overlay.channels == 4; }
        // Every pixel of `cells` clear (half a pixel's rounding allowed);
        // the clear part is convex, so its corners tell.
        bool Holds(const NodeBounds& cells) const
        {
            const long left = std::lround(cells.left);
            const long top = std::lround(cells.top);
            const long right = std::lround(cells.right) - 1;
            const long bottom = std::lround(cells.bottom) - 1;
            if (left > right || top > bottom) {
                return false;
            }
            for (const auto& [x, y] : {std::pair{left, top}, {right, top}, {left, bottom}, {right, bottom}}) {
                if (x < 0 || y < 0 || x >= m_Overlay.width || y >= m_Overlay.height ||
                    (m_Overlay.Argb(static_cast<std::int32_t>(x), static_cast<std::int32_t>(y)) >> 24) != 0) {
                    return false;
                }
            }
            return true;
        }

    private:
        DecodedImage m_Overlay;
    };
};

// The word typed key by key, then Enter.
void Type(GameScene& scene, const std::string& word)
{
    for (char c : word) {
        KeyboardMessageData key(static_cast<unsigned char>(c), 0);
        scene.OnKeyDown(&key);
    }
    KeyboardMessageData enter(0, 5);
    scene.OnKeyDown(&enter);
}

}  // namespace

TEST_F(GameSceneGlTest, AWideAnswerTableStaysInsideTheWindow)
{
    // The round comes back from a save, so its word is known.
    ClassicRoundSave wide;
    wide.word = UTF8String("stablest");
    wide.timeLeft = GameScene::kRoundTime;
    PropertyStore store;
    store.AddChild(wide.ToNode());
    ASSERT_TRUE(PlayerManager::GetInstance()->SaveGame(&store, SaveGameName("CLASSIC_UNTIMED"), PlayerName("Ann")));
    GameMode::Set(GameMode::kUntimed);
    Scene* made = SceneManager::GetInstance()->CreateScene("SCENE_GAME", std::string());
    ASSERT_NE(made, nullptr);
    ASSERT_TRUE(made->IsOfType(&GameScene::s_Type));
    auto* scene = static_cast<GameScene*>(made);
    scene->Show();
    scene->Activate();
    ClassicRack* rack = scene->GetRack();
    ASSERT_NE(rack, nullptr);
    ASSERT_EQ(rack->GetSourceWord().GetString(), "stablest");
    AnagramTable* table = rack->GetTable();
    ASSERT_GT(table->GetTableWidth(), 800.0f) << "the laid-out table is wider than the window";

    // One found word, revealed; one frame lays everything out.
    const AnagramTable::WordList& answers = table->GetAnswers();
    const std::string found = answers[answers.GetCount() - 1];
    Type(*scene, found);
    ASSERT_TRUE(table->IsShown(UTF8String(found)));
    AnimTree::UpdateTree(scene->GetAnimations(), 5000u);
    AnimTree::GetInstance()->Update(5000u);
    frontendtest::DrawScene(*screen_, scene, 0xFF000000u);

    NodeBounds tiles{1e9f, 1e9f, -1e9f, -1e9f};
    for (Anagram* slot : table->GetSlots()) {
        for (std::int32_t i = 0; i < slot->GetLength(); ++i) {
            const NodeBounds b = OnScreen(*slot->GetTile(i));
            tiles = {std::min(tiles.left, b.left), std::min(tiles.top, b.top), std::max(tiles.right, b.right),
                     std::max(tiles.bottom, b.bottom)};
        }
    }
    NodeBounds frame = tiles;
    for (const char* name : {"PANEL_LEFT", "PANEL_RIGHT", "PANEL_LEFTCORNER", "PANEL_RIGHTCORNER", "PANEL_BOTTOM",
                             "PANEL_TOP", "PANEL_TOPLEFT", "PANEL_TOPRIGHT"}) {
        const GameNode* panel = scene->FindChild(name, true);
        if (panel == nullptr) {
            ADD_FAILURE() << "no " << name;
            continue;
        }
        const NodeBounds b = OnScreen(*panel);
        EXPECT_GE(b.left, 0.0f) << name;
        EXPECT_LE(b.right, 800.0f) << name;
        frame = {std::min(frame.left, b.left), std::min(frame.top, b.top), std::max(frame.right, b.right),
                 std::max(frame.bottom, b.bottom)};
    }
    EXPECT_GE(tiles.left, 0.0f);
    EXPECT_LE(tiles.right, 800.0f);
    EXPECT_NEAR((tiles.left + tiles.right) / 2.0f, 400.0f, 1.0f) << "the table stays centred";
    EXPECT_LT(frame.left, tiles.left) << "the frame stands round the tiles";
    EXPECT_GT(frame.right, tiles.right);
    EXPECT_GE(frame.bottom, tiles.bottom);
    // The frame closes above the tiles too, inside the window: the table
    // does not hang from the window's top edge.
    const GameNode* top = scene->FindChild("PANEL_TOP", true);
    ASSERT_NE(top, nullptr);
    const NodeBounds edge = OnScreen(*top);
    EXPECT_GE(edge.top, 0.0f);
    EXPECT_LE(edge.bottom, tiles.top);
    EXPECT_LE(edge.left, tiles.left + 0.5f);
    EXPECT_GE(edge.right + 0.5f, tiles.right);
    EXPECT_LE(frame.bottom, OnScreen(*rack->GetAnswerBox()).top + 5.0f) << "the table stays above the typed word";

    // The found word answers the pointer where its letters are drawn.
    for (Anagram* slot : table->GetSlots()) {
        if (slot->GetWord().GetString() == found) {
            const NodeBounds b = OnScreen(*slot->GetTile(slot->GetLength() - 1));
            EXPECT_TRUE(table->OpenDefinition((b.left + b.right) / 2.0f, (b.top + b.bottom) / 2.0f, false));
        }
    }
}

// Each trophy of the game popping up in each playing scene, at the largest
// scale of its pop: the trophy and its title stay inside the window and hide
// no text, no button and no ball, nor a comment popping up at the same time;
// in Crisscross they hide no more cells of the board than at either bottom
// corner clear of the comment. Besides a deal of the moment, two fixed deals
// whose boards leave a trophy room only just beside the settled comment.
TEST_F(GameSceneGlTest, TrophyPopUpsHideNoTextNoButtonAndNoBall)
{
    const PropertyVector* titles = BasicProperties::GetInstance()->GetList("TEXT_TROPHY_TITLES");
    const std::int32_t count = titles != nullptr ? titles->GetCount() : 0;
    ASSERT_GT(count, 0);
    struct Case {
        const char* key;
        std::int32_t mode;
        std::int32_t seed;  // 0: as the round is dealt, from the player's seed (the test's deal seed)
    };
    for (const Case c : {Case{"SCENE_GAME", GameMode::kTimed, 0}, Case{"SCENE_GAME", GameMode::kWordOfTheDay, 0},
                         Case{"SCENE_BLITZ", GameMode::kBlitz, 0}, Case{"SCENE_CRISSCROSS", GameMode::kCrisscross, 0},
                         Case{"SCENE_CRISSCROSS", GameMode::kCrisscross, 47},
                         Case{"SCENE_CRISSCROSS", GameMode::kCrisscross, 65}}) {
        SCOPED_TRACE(std::string(c.key) + " in mode " + std::to_string(c.mode) +
                     (c.seed != 0 ? ", deal " + std::to_string(c.seed) : ", the deal of the moment"));
        if (c.seed != 0) {
            // The board's layout draws on both generators.
            Random::GetInstance()->Seed(c.seed);
            std::srand(static_cast<unsigned>(c.seed));
        }
        GameScene* scene = c.seed != 0 ? DealCrossword(c.seed) : Enter(c.key, c.mode);
        ASSERT_NE(scene, nullptr);
        frontendtest::DrawScene(*screen_, scene, 0xFF000000u);
        if (c.mode != GameMode::kCrisscross) {
            ExpectBottomBarCentred(*scene);
        }
        std::vector<const GameNode*> shown;
        CollectShown(*scene, shown);
        ASSERT_GT(shown.size(), 10u);
        scene->ShowPopup(GameScene::kCommentNoWord);
        auto* comment = dynamic_cast<Sprite*>(LastChild(*scene));
        ASSERT_NE(comment, nullptr);
        comment->SetScale(GameScene::kCommentPop);
        for (std::int32_t number = 0; number < count; ++number) {
            scene->ShowTrophyPopup(number);
            auto* title = dynamic_cast<Label*>(LastChild(*scene));
            ASSERT_NE(title, nullptr);
            Sprite* trophy = nullptr;
            for (GameNode* child = scene->GetFirstChild(); child != nullptr; child = child->GetNextSibling()) {
                if (child->GetNextSibling() == title) {
                    trophy = dynamic_cast<Sprite*>(child);
                }
            }
            ASSERT_NE(trophy, nullptr);
            ASSERT_FALSE(title->GetText().IsEmpty()) << number;
            trophy->SetAlpha(1.0f);
            trophy->SetScale(GameScene::kTrophyPop);
            title->SetAlpha(1.0f);
            title->SetScale(GameScene::kTrophyTitlePop);
            frontendtest::DrawScene(*screen_, scene, 0xFF000000u);
            const std::string name = title->GetText().GetString();
            for (const Sprite* popped : {static_cast<const Sprite*>(trophy), static_cast<const Sprite*>(title)}) {
                const NodeBounds b = OnScreen(*popped);
                EXPECT_GE(b.left, 0.0f) << name;
                EXPECT_GE(b.top, 0.0f) << name;
                EXPECT_LE(b.right, 800.0f) << name << " ends at x " << b.right;
                EXPECT_LE(b.bottom, 600.0f) << name;
                const NodeBounds t = OnScreen(*comment);
                EXPECT_FALSE(Overlap(b, t)) << name << " and the comment at (" << t.left << "," << t.top << ")-(" << t.right << "," << t.bottom << ")";
                for (const GameNode* other : shown) {
                    const NodeBounds o = OnScreen(*other);
                    EXPECT_FALSE(Overlap(b, o)) << name << " (" << b.left << "," << b.top << ")-(" << b.right << ","
                                                << b.bottom << ") hides " << other->GetName() << " at (" << o.left
                                                << "," << o.top << ")-(" << o.right << "," << o.bottom << ")";
                }
            }
            EXPECT_FALSE(Overlap(OnScreen(*trophy), OnScreen(*title))) << name << " beside its trophy";
            // On the crossword's board, a place that hides no more cells than
            // either of its bottom corners clear of the comment.
            if (auto* crossword = dynamic_cast<CrisscrossScene*>(scene)) {
                const PointF place(trophy->GetX(), trophy->GetY());
                const NodeBounds said = GameScene::CommentPopFootprint(PointF(comment->GetX(), comment->GetY()));
                for (float x : {CrisscrossScene::kTrophyLeftX, CrisscrossScene::kTrophyRightX}) {
                    const NodeBounds corner = GameScene::TrophyFootprint(PointF(x, CrisscrossScene::kTrophyY));
                    if (!Overlap(corner, said)) {
                        EXPECT_LE(crossword->CellsCovered(GameScene::TrophyFootprint(place)),
                                  crossword->CellsCovered(corner));
                    }
                }
            }
            trophy->SetObsolete(true);
            title->SetObsolete(true);
        }
        comment->SetObsolete(true);
        scene->Deactivate();
    }
}

// The clock of a timed round and of Blitz, and Blitz's bar, turn coral when
// the ticks of the last ten seconds begin, and not before.
TEST_F(GameSceneGlTest, TheClockTurnsCoralWithItsLastTicks)
{
    struct Case {
        const char* key;
        std::int32_t mode;
        std::int32_t fullClock;
    };
    for (const Case c : {Case{"SCENE_GAME", GameMode::kTimed, GameScene::kRoundTime},
                         Case{"SCENE_GAME", GameMode::kWordOfTheDay, GameScene::kRoundTime},
                         Case{"SCENE_BLITZ", GameMode::kBlitz, 80300}}) {
        SCOPED_TRACE(std::string(c.key) + " in mode " + std::to_string(c.mode));
        GameScene* scene = Enter(c.key, c.mode);
        ASSERT_NE(scene, nullptr);
        const GameNode* minutes = scene->FindChild("LABEL_TimerMinutes", true);
        const GameNode* seconds = scene->FindChild("LABEL_TimerSeconds", true);
        const GameNode* bar = scene->FindChild("SPRITE_TIMER", true);
        ASSERT_NE(minutes, nullptr);
        ASSERT_NE(seconds, nullptr);
        // Coral pixels drawn over the clock's digits and over the bar.
        const auto coral = [&](const GameNode* node) {
            frontendtest::DrawScene(*screen_, scene, 0xFF000000u);
            const graphicstest::Picture picture = Capture();
            const NodeBounds b = OnScreen(*node);
            int count = 0;
            for (int y = std::max(0, static_cast<int>(b.top)); y < std::min(600, static_cast<int>(b.bottom)); ++y) {
                for (int x = std::max(0, static_cast<int>(b.left)); x < std::min(800, static_cast<int>(b.right)); ++x) {
                    const std::uint32_t p = picture.At(x, y);
                    const int r = static_cast<int>((p >> 16) & 0xFF);
                    const int g = static_cast<int>((p >> 8) & 0xFF);
                    const int bl = static_cast<int>(p & 0xFF);
                    if (r > 190 && g < 110 && bl < 120) {
                        ++count;
                    }
                }
            }
            return count;
        };
        scene->Update(c.fullClock - 10500);
        EXPECT_EQ(scene->GetCountdownMark(), 10000) << "no tick yet";
        EXPECT_EQ(coral(minutes) + coral(seconds), 0) << "10 s left: the digits are not yet coral";
        if (bar != nullptr) {
            EXPECT_EQ(coral(bar), 0);
        }
        scene->Update(1000);
        EXPECT_EQ(scene->GetCountdownMark(), 9000) << "the first tick is played";
        EXPECT_GT(coral(seconds), 100) << "9 s left: the digits are coral";
        EXPECT_GT(coral(minutes), 20);
        if (bar != nullptr) {
            EXPECT_GT(coral(bar), 500) << "and so is the bar";
        }
        scene->Deactivate();
    }
}

// The dialogs at a round's end say what happened in that mode: the classic
// clock run out is not a pass the player chose, a Blitz round is won by
// every word of it and a crossword by the whole board, and the end of a game
// names the buttons it offers.
TEST_F(GameSceneGlTest, EachRoundsEndSaysWhatHappened)
{
    BasicProperties* texts = BasicProperties::GetInstance();
    const auto body = [](const GameScene& scene, const char* dialog) {
        const Dialog* shown = scene.FindDialog(dialog);
        const auto* label = shown != nullptr ? dynamic_cast<const Label*>(shown->FindChild("BODY_TEXT", true)) : nullptr;
        return label != nullptr ? label->GetText().GetString() : std::string("(no ") + dialog + ")";
    };

    GameScene* classic = Enter("SCENE_GAME", GameMode::kTimed);
    ASSERT_NE(classic, nullptr);
    classic->Update(GameScene::kRoundTime + 100);
    AnimTree::UpdateTree(classic->GetAnimations(), 3500u);
    classic->Update(0);
    ASSERT_EQ(classic->GetLastOpened(), "DIALOG_PASSROUND");
    const std::string timeUp = body(*classic, "DIALOG_PASSROUND");
    EXPECT_NE(timeUp.find("clock"), std::string::npos) << "the clock ran out: " << timeUp;
    EXPECT_EQ(timeUp.find("You passed"), std::string::npos) << timeUp;
    classic->Deactivate();

    auto* blitz = dynamic_cast<BlitzScene*>(Enter("SCENE_BLITZ", GameMode::kBlitz));
    ASSERT_NE(blitz, nullptr);
    for (std::size_t i = 0; i < blitz->GetRacks().size(); ++i) {
        const std::string word = blitz->GetRacks()[static_cast<std::size_t>(blitz->GetCurrentIndex())]->GetSourceWord().GetString();
        Type(*blitz, word);
        for (int frame = 0; frame < 10; ++frame) {
            AnimTree::UpdateTree(blitz->GetAnimations(), 500u);
            blitz->Update(0);
        }
    }
    ASSERT_EQ(blitz->GetLastOpened(), "DIALOG_NEXTROUND");
    const std::string blitzWon = body(*blitz, "DIALOG_NEXTROUND");
    EXPECT_EQ(blitzWon, texts->GetString("TEXT_NEXT_ROUND_BODY_BLITZ"));
    blitz->Deactivate();

    // Three modes, three ways of winning a round, each with its own words.
    GameScene* crossword = Enter("SCENE_CRISSCROSS", GameMode::kCrisscross);
    ASSERT_NE(crossword, nullptr);
    const std::string classicWon = texts->GetString(classic->NextRoundBodyKey());
    const std::string crosswordWon = texts->GetString(crossword->NextRoundBodyKey());
    EXPECT_FALSE(classicWon.empty());
    EXPECT_FALSE(crosswordWon.empty());
    EXPECT_NE(classicWon, blitzWon);
    EXPECT_NE(classicWon, crosswordWon);
    EXPECT_NE(blitzWon, crosswordWon);
    crossword->Deactivate();

    // The end of a game offers OK and Play again, and says what each does.
    const std::string over = texts->GetString("TEXT_END_ROUND_BODY");
    EXPECT_NE(over.find("Play again"), std::string::npos) << over;
    EXPECT_NE(over.find("OK"), std::string::npos) << over;
}

// A timed game shows how many passes are left where the player passes: the
// first Pass asks with one more pass to come, the second says it is the
// last, the third asks to give up.
TEST_F(GameSceneGlTest, ThePassQuestionTellsThePassesLeft)
{
    GameScene* scene = Enter("SCENE_GAME", GameMode::kTimed);
    ASSERT_NE(scene, nullptr);
    BasicProperties* texts = BasicProperties::GetInstance();
    std::vector<std::string> asked;
    for (int pass = 0; pass < 3; ++pass) {
        scene->OnButton(UTF8String(pass < 2 ? "BUTTON_Pass" : "BUTTON_GiveUp"), nullptr);
        scene->Update(0);
        const std::string key = scene->GetLastOpened();
        const Dialog* question = scene->FindDialog(key);
        ASSERT_NE(question, nullptr) << "pass " << pass;
        const auto* message = dynamic_cast<const Label*>(question->FindChild("MESSAGE", true));
        ASSERT_NE(message, nullptr);
        EXPECT_EQ(message->GetText().GetString(), texts->GetString(key));
        asked.push_back(message->GetText().GetString());
        if (pass < 2) {
            scene->OnPassQuestionYes();
            AnimTree::UpdateTree(scene->GetAnimations(), 3500u);
            scene->Update(0);
        }
    }
    EXPECT_NE(asked[0].find("One more pass"), std::string::npos) << asked[0];
    EXPECT_NE(asked[1].find("last pass"), std::string::npos) << asked[1];
    EXPECT_NE(asked[2].find("Give up"), std::string::npos) << asked[2];
    scene->Deactivate();
}

// The word of the day found and Done pressed: its round is shown whole, and
// the dialog that ends the day follows that reveal without a second wait.
TEST_F(GameSceneGlTest, DoneLeadsToTheDaysDialogRightAfterTheReveal)
{
    GameScene* scene = Enter("SCENE_GAME", GameMode::kWordOfTheDay);
    ASSERT_NE(scene, nullptr);
    ASSERT_NE(scene->GetRack(), nullptr);
    Type(*scene, scene->GetRack()->GetSourceWord().GetString());
    ASSERT_TRUE(scene->GetRack()->solved);
    scene->Update(0);
    scene->OnButton(UTF8String("BUTTON_NextRound"), nullptr);
    std::int32_t waited = 0;
    for (; waited < 8000 && scene->GetLastOpened().rfind("DIALOG_", 0) != 0; waited += 100) {
        AnimTree::UpdateTree(scene->GetAnimations(), 100u);
        scene->Update(100);
    }
    EXPECT_TRUE(scene->GetLastOpened() == "DIALOG_CONGRATS" || scene->GetLastOpened() == "DIALOG_NEXTROUND")
        << scene->GetLastOpened();
    EXPECT_LE(waited, 3300) << "ms from Done to the day's dialog";
    scene->Deactivate();
}

// Zoomed in on the crossword, the player moves from word to word: once the
// next word has slid to the middle, the board turns and zooms so that the
// word stays inside the board's window at every moment, its cells never cut
// by the window's edges.
TEST_F(GameSceneGlTest, TheCrosswordTurnsWithoutCuttingTheWordInPlay)
{
    int turns = 0;
    // Boards of several fixed deals, so that long words turn.
    for (std::int32_t seed = 1; seed <= 4; ++seed) {
        CrisscrossScene* scene = DealCrossword(seed);
        ASSERT_NE(scene, nullptr);
        const auto step = [scene](int ms) { Step(*scene, ms); };
        step(3000);
        scene->OnButton(UTF8String("BUTTON_Zoom"), nullptr);
        step(3000);
        ASSERT_FLOAT_EQ(scene->GetBoard()->GetScaleX(), CrisscrossScene::kZoomedIn);
        for (std::size_t word = 1; word < scene->GetRacks().size(); ++word) {
            const bool horizontal = scene->IsBoardHorizontal();
            scene->OnButton(UTF8String("BUTTON_NextWord"), nullptr);
            for (int t = 0; t < 3000; t += 50) {
                step(50);
                const NodeBounds cells = Cells(*scene->GetCurrentRack()->GetAnswerBox());
                ASSERT_LT(cells.left, cells.right);
                if (t < CrisscrossScene::kMoveTime) {
                    continue;   // the next word slides in from wherever it lies on the board
                }
                const std::string at = "deal " + std::to_string(seed) + ", word " + std::to_string(word) + " after " +
                                       std::to_string(t) + " ms";
                EXPECT_GE(cells.top, CrisscrossScene::kBoardTop - 1.0f) << at;
                EXPECT_LE(cells.bottom, CrisscrossScene::kBoardBottom + 1.0f) << at;
                EXPECT_GE(cells.left, CrisscrossScene::kBoardLeft - 1.0f) << at;
                EXPECT_LE(cells.right, CrisscrossScene::kBoardRight + 1.0f) << at;
            }
            turns += scene->IsBoardHorizontal() != horizontal ? 1 : 0;
            EXPECT_FLOAT_EQ(scene->GetBoard()->GetScaleX(), CrisscrossScene::kZoomedIn) << "zoomed in again";
        }
        scene->Deactivate();
    }
    EXPECT_GT(turns, 0) << "the board turned at least once";
}

// A crossword dealt, its typed letters cleared by the Clear button and by
// Delete, a word refused and the game given up: every clear sounds once, so
// no moment of the mix clips, and the clear is still heard.
TEST_F(GameSceneGlTest, ACrosswordsDealClearsAndGiveUpSoundWithoutClipping)
{
    frontendtest::MixedSound sound;
    ASSERT_TRUE(sound.IsUp());
    auto* scene = dynamic_cast<CrisscrossScene*>(Enter("SCENE_CRISSCROSS", GameMode::kCrisscross, &sound));
    ASSERT_NE(scene, nullptr);
    sound.ExpectUnclipped(0, "the deal");
    const auto typeAllButTheLastLetter = [scene, &sound]() {
        const std::string word = scene->GetTable()->GetPlacements()[static_cast<std::size_t>(scene->GetCurrentIndex())]->word;
        for (std::size_t i = 0; i + 1 < word.size(); ++i) {
            Key(scene, 0, static_cast<unsigned char>(word[i]));
            Play(scene, sound, 50);
        }
        return !scene->GetCurrentRack()->GetAnswerBox()->GetAllText().IsEmpty();
    };
    ASSERT_TRUE(typeAllButTheLastLetter());
    Play(scene, sound, 1000);
    std::size_t mark = sound.Frames();
    scene->OnButton(UTF8String("BUTTON_Clear"), nullptr);
    EXPECT_TRUE(scene->GetCurrentRack()->GetAnswerBox()->GetAllText().IsEmpty());
    Play(scene, sound, 1000);
    sound.ExpectUnclipped(mark, "the Clear button");
    EXPECT_GT(sound.PeakDbfs(mark), -30.0) << "the clear is heard";

    ASSERT_TRUE(typeAllButTheLastLetter());
    Play(scene, sound, 1000);
    mark = sound.Frames();
    Key(scene, 4);
    Play(scene, sound, 1000);
    sound.ExpectUnclipped(mark, "Delete");

    mark = sound.Frames();
    Submit(scene, sound,
           Scrambled(scene->GetTable()->GetPlacements()[static_cast<std::size_t>(scene->GetCurrentIndex())]->word,
                     scene->GetTable()->accepted));
    Play(scene, sound, 1500);
    sound.ExpectUnclipped(mark, "a refused word");

    mark = sound.Frames();
    scene->OnButton(UTF8String("BUTTON_GiveUp"), nullptr);
    Play(scene, sound, 500);
    scene->GiveUpConfirmed();
    Play(scene, sound, 8000);
    EXPECT_EQ(scene->GetGameState(), GameScene::kLost);
    sound.ExpectUnclipped(mark, "giving up");
    scene->Deactivate();
}

// A classic round's busiest moments: the fifth word of the round is the
// full-length word, with its pop-up, its bingo and the trophy for five
// words; then the words that fill the table; then, in a new timed round, the
// clock's last ticks and its end. No moment of the mix clips.
TEST_F(GameSceneGlTest, AClassicRoundsWordsTrophyAndLastTicksSoundWithoutClipping)
{
    frontendtest::MixedSound sound;
    ASSERT_TRUE(sound.IsUp());
    GameScene* scene = Enter("SCENE_GAME", GameMode::kTimed, &sound);
    ASSERT_NE(scene, nullptr);
    ClassicRack* rack = scene->GetRack();
    ASSERT_NE(rack, nullptr);
    const std::string source = rack->GetSourceWord().GetString();
    std::vector<std::string> others;
    for (const std::string& answer : rack->GetTable()->GetAnswers()) {
        if (answer != source) {
            others.push_back(answer);
        }
    }
    ASSERT_GE(others.size(), 4u) << source;
    for (std::size_t i = 0; i < 4; ++i) {
        Submit(scene, sound, others[i]);
        Play(scene, sound, 2000);
    }
    std::size_t mark = sound.Frames();
    Submit(scene, sound, source);
    Play(scene, sound, 4000);
    auto* ann = static_cast<Quorvel2Player*>(PlayerManager::GetInstance()->GetCurrentPlayer());
    EXPECT_NE(ann->GetAchievement(0), 0) << "the trophy for five words came with the full word";
    sound.ExpectUnclipped(mark, "a full word with its pop-ups and a trophy");

    mark = sound.Frames();
    for (std::size_t i = 4; i < others.size(); ++i) {
        Submit(scene, sound, others[i]);
        Play(scene, sound, 1500);
    }
    Play(scene, sound, 2500);
    EXPECT_EQ(scene->GetLastOpened(), "DIALOG_NEXTROUND");
    sound.ExpectUnclipped(mark, "the table filled and the round won");
    scene->Deactivate();

    scene = Enter("SCENE_GAME", GameMode::kTimed, &sound);
    ASSERT_NE(scene, nullptr);
    HearTheLastTicks(scene, sound);
}

// Blitz's busiest moments: a refused word, the last word typed again with
// Enter, the words of a round found, and the clock's last ticks to the end
// of the game. No moment of the mix clips.
TEST_F(GameSceneGlTest, BlitzsLastWordRoundAndLastTicksSoundWithoutClipping)
{
    frontendtest::MixedSound sound;
    ASSERT_TRUE(sound.IsUp());
    auto* blitz = dynamic_cast<BlitzScene*>(Enter("SCENE_BLITZ", GameMode::kBlitz, &sound));
    ASSERT_NE(blitz, nullptr);
    const auto current = [blitz]() { return blitz->GetCurrentRack()->GetSourceWord().GetString(); };
    std::size_t mark = sound.Frames();
    Submit(blitz, sound, Scrambled(current(), blitz->GetCurrentRack()->GetTable()->GetAccepted()));
    Play(blitz, sound, 1500);
    Key(blitz, 5);
    Play(blitz, sound, 1500);
    EXPECT_FALSE(blitz->GetCurrentRack()->GetAnswerBox()->GetAllText().IsEmpty()) << "the last word came back";
    sound.ExpectUnclipped(mark, "a refused word and the last word again");
    Key(blitz, 4);
    Play(blitz, sound, 500);

    mark = sound.Frames();
    for (std::size_t i = 0; i < blitz->GetRacks().size(); ++i) {
        Submit(blitz, sound, current());
        Play(blitz, sound, 1500);
    }
    Play(blitz, sound, 3000);
    EXPECT_EQ(blitz->GetLastOpened(), "DIALOG_NEXTROUND");
    sound.ExpectUnclipped(mark, "a round's words found");
    blitz->Deactivate();

    blitz = dynamic_cast<BlitzScene*>(Enter("SCENE_BLITZ", GameMode::kBlitz, &sound));
    ASSERT_NE(blitz, nullptr);
    HearTheLastTicks(blitz, sound);
}

// Both sliders at their right end, the busiest moments a player meets: the
// menu's music with the logo's springs and bounces, the quit question over
// it, and a Blitz round's words solved one after another. No moment of the
// mix clips.
TEST_F(GameSceneGlTest, AtTheSlidersTopTheMenuTheQuitQuestionAndBlitzsSolvesSoundWithoutClipping)
{
    frontendtest::MixedSound sound(1.0f, 1.0f);
    ASSERT_TRUE(sound.IsUp());
    Scene* menu = SceneManager::GetInstance()->CreateScene("SCENE_SELECTION", std::string());
    ASSERT_NE(menu, nullptr);
    menu->Show();
    menu->Activate();
    Play(menu, sound, 24000);
    sound.ExpectUnclipped(0, "the menu");
    std::size_t mark = sound.Frames();
    DialogYesNo* question =
        DialogYesNo::Open(menu, "CTEXT_QUESTION_QUIT", "CTEXT_QUIT_HEADER", nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(question, nullptr);
    menu->ShowDialog(question);
    Play(menu, sound, 3000);
    sound.ExpectUnclipped(mark, "the quit question over the menu");
    menu->Deactivate();

    auto* blitz = dynamic_cast<BlitzScene*>(Enter("SCENE_BLITZ", GameMode::kBlitz, &sound));
    ASSERT_NE(blitz, nullptr);
    mark = sound.Frames();
    for (std::size_t i = 0; i < blitz->GetRacks().size(); ++i) {
        Submit(blitz, sound, blitz->GetCurrentRack()->GetSourceWord().GetString());
        Play(blitz, sound, 1500);
    }
    Play(blitz, sound, 3000);
    EXPECT_EQ(blitz->GetLastOpened(), "DIALOG_NEXTROUND");
    sound.ExpectUnclipped(mark, "a Blitz round's words solved");
    blitz->Deactivate();
}

// The round's answers typed but the last; once no comment shows or waits,
// the last: when its "All words found!" pop-up shows and has gone, and when
// a dialog comes, in ms after its Enter (-1: not within 8 s). `mark` is the
// mix's frame at the last word.
GameSceneGlTest::TableFilled GameSceneGlTest::FillTheTable(GameScene* scene, frontendtest::MixedSound& sound,
                                                           std::size_t& mark)
{
    TableFilled at;
    const std::vector<std::string> answers(scene->GetRack()->GetTable()->GetAnswers().begin(),
                                           scene->GetRack()->GetTable()->GetAnswers().end());
    EXPECT_GE(answers.size(), 2u);
    for (std::size_t i = 0; i + 1 < answers.size(); ++i) {
        Submit(scene, sound, answers[i]);
        Play(scene, sound, 100);
    }
    for (std::int32_t t = 0; t < 8000 && (scene->IsCommentShowing() || scene->CommentsWaiting()); t += 50) {
        Play(scene, sound, 50);
    }
    EXPECT_FALSE(scene->IsCommentShowing());
    mark = sound.Frames();
    Submit(scene, sound, answers.back());
    for (std::int32_t t = 0; t <= 8000 && at.dialog < 0; t += 50) {
        Play(scene, sound, 50);
        if (at.shown < 0 && scene->IsCommentShowing()) {
            at.shown = t;
        }
        if (at.shown >= 0 && at.gone < 0 && !scene->IsCommentShowing()) {
            at.gone = t;
        }
        if (scene->GetLastOpened().rfind("DIALOG_", 0) == 0) {
            at.dialog = t;
        }
    }
    EXPECT_EQ(scene->GetGameState(), GameScene::kWon);
    EXPECT_GE(at.shown, 0) << "the pop-up shows";
    EXPECT_GE(at.dialog, 0) << "the dialog comes";
    EXPECT_TRUE(at.gone >= 0 && at.gone <= at.dialog)
        << "the pop-up, shown at " << at.shown << " ms, still runs when the dialog comes at " << at.dialog << " ms";
    return at;
}

// The word of the day's last word fills the table: the "All words found!"
// pop-up runs its course before the dialog that ends the day comes over it,
// within the three seconds the end waits, and the end sounds unclipped.
TEST_F(GameSceneGlTest, TheDaysAllWordsPopUpIsSeenBeforeTheDialogComes)
{
    frontendtest::MixedSound sound;
    ASSERT_TRUE(sound.IsUp());
    GameScene* scene = Enter("SCENE_GAME", GameMode::kWordOfTheDay, &sound);
    ASSERT_NE(scene, nullptr);
    ASSERT_NE(scene->GetRack(), nullptr);
    std::size_t mark = 0;
    const TableFilled at = FillTheTable(scene, sound, mark);
    EXPECT_LE(at.dialog, 4100) << "ms from the last word to the day's dialog";
    Play(scene, sound, 2000);
    sound.ExpectUnclipped(mark, "the day's last word and its end");
    scene->Deactivate();
}

// A classic round's last word fills the table: its "All words found!" pop-up
// runs its course, and the next-round dialog comes as it goes, not a second
// after the word over the pop-up.
TEST_F(GameSceneGlTest, TheClassicAllWordsPopUpIsSeenBeforeTheNextRoundDialog)
{
    frontendtest::MixedSound sound;
    ASSERT_TRUE(sound.IsUp());
    for (std::int32_t mode : {GameMode::kUntimed, GameMode::kTimed}) {
        SCOPED_TRACE("mode " + std::to_string(mode));
        GameScene* scene = Enter("SCENE_GAME", mode, &sound);
        ASSERT_NE(scene, nullptr);
        ASSERT_NE(scene->GetRack(), nullptr);
        std::size_t mark = 0;
        const TableFilled at = FillTheTable(scene, sound, mark);
        EXPECT_EQ(scene->GetLastOpened(), "DIALOG_NEXTROUND");
        EXPECT_LE(at.dialog - at.gone, 100) << "ms from the pop-up's end to the dialog";
        scene->Deactivate();
    }
}

// Every word of many dealt boards solved in turn, zoomed out and zoomed in,
// the last word too: at every frame of the board's move to the next word,
// measured against the board's window as the overlay draws it, the word just
// solved stays whole until the board zooms back to its scale, and the word
// brought in from the moment the board has zoomed out as far as the move
// takes (at once where it takes no zoom) to the end. The last move keeps both
// whole to its end, where the whole crossword is seen.
TEST_F(GameSceneGlTest, TheCrosswordMovesWithoutCuttingTheWordsItLeavesAndBrings)
{
    const DrawnWindow window;
    ASSERT_TRUE(window.IsRead());
    int moves = 0;
    int zoomedOut = 0;
    int cutMoves = 0;
    int cutFrames = 0;
    std::string cuts;
    for (bool zoomedIn : {false, true}) {
        for (std::int32_t seed = 1; seed <= 30; ++seed) {
            CrisscrossScene* scene = DealCrossword(seed);
            ASSERT_NE(scene, nullptr);
            const auto step = [scene](int ms) { Step(*scene, ms); };
            step(3000);
            if (zoomedIn) {
                scene->OnButton(UTF8String("BUTTON_Zoom"), nullptr);
                step(3000);
            }
            const auto whole = [&window](const CrosswordRack& r) { return window.Holds(Cells(*r.GetAnswerBox())); };
            const std::size_t words = scene->GetRacks().size();
            for (std::size_t solved = 1; solved <= words; ++solved) {
                const bool last = solved == words;
                const CrosswordRack* left = scene->GetCurrentRack();
                const std::string word = scene->GetTable()->GetPlacements()[left->GetIndex()]->word;
                Type(*scene, word);
                ASSERT_TRUE(left->solved) << word;
                struct Frame {
                    float scale;
                    bool moving;   // the next word chosen
                    bool leftWhole;
                    bool broughtWhole;
                };
                std::vector<Frame> frames;
                const CrosswordRack* brought = nullptr;
                for (int t = 0; t < 4000; t += 50) {
                    step(50);
                    if (scene->GetCurrentRack() != left || last) {
                        brought = scene->GetCurrentRack();
                    }
                    frames.push_back({scene->GetBoard()->GetScaleX(), brought != nullptr, whole(*left),
                                      brought != nullptr && whole(*brought)});
                }
                ASSERT_NE(brought, nullptr) << "deal " << seed << ": no move after " << word;
                const float rest = frames.back().scale;
                if (!last) {
                    ASSERT_FALSE(scene->IsBusy());
                    EXPECT_FLOAT_EQ(rest, zoomedIn ? CrisscrossScene::kZoomedIn : CrisscrossScene::kZoomedOut);
                }
                float least = rest;
                for (const Frame& f : frames) {
                    least = std::min(least, f.scale);
                }
                ++moves;
                zoomedOut += least < rest ? 1 : 0;
                bool out = false;   // the board zooms out no further
                bool zoomingBack = false;
                int cut = 0;
                for (std::size_t i = 0; i < frames.size(); ++i) {
                    out = out || (frames[i].moving &&
                                  (i + 1 == frames.size() || frames[i + 1].scale >= frames[i].scale));
                    zoomingBack = zoomingBack || (!last && i > 0 && frames[i].scale > frames[i - 1].scale);
                    const bool leftCut = !zoomingBack && !frames[i].leftWhole;
                    const bool broughtCut = out && !frames[i].broughtWhole;
                    if ((leftCut || broughtCut) && cut++ == 0 && cutMoves < 12) {
                        cuts += std::string("\n  ") + (zoomedIn ? "zoomed in" : "zoomed out") + ", deal " +
                                std::to_string(seed) + ", " + (last ? "the last move" : "the move") + " after " +
                                word + ": " + (leftCut ? "the word solved" : "the word brought in") + " cut at " +
                                std::to_string(50 * (i + 1)) + " ms";
                    }
                }
                if (last) {
                    for (const auto& rack : scene->GetRacks()) {
                        EXPECT_TRUE(whole(*rack)) << "deal " << seed << ": the whole crossword seen at the end, "
                                                  << scene->GetTable()->GetPlacements()[rack->GetIndex()]->word;
                    }
                }
                cutMoves += cut > 0 ? 1 : 0;
                cutFrames += cut;
            }
            scene->Deactivate();
        }
    }
    EXPECT_EQ(cutMoves, 0) << cutFrames << " frames of " << cutMoves << " of " << moves << " moves cut a word:"
                           << cuts;
    EXPECT_GT(moves, 200);
    EXPECT_GT(zoomedOut, 0) << "no move needed the board zoomed out";
}

}  // namespace game_scene_gl_test
