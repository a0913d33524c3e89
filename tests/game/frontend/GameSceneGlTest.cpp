// The classic scene built from the shipped layout, pictures and fonts, as the
// player sees it: a round whose answers put long words in every column lays
// out a table wider than the window, and still every tile, the frame round
// the table and its found words stand inside the window where they answer
// the pointer.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "framework/core/data/PlayerManager.h"
#include "framework/core/object/SmartPtr.h"
#include "framework/core/properties/PropertyStore.h"
#include "framework/scene/AnimTree.h"
#include "framework/scene/SceneManager.h"
#include "framework/scene/Sprite.h"
#include "game/words/AnagramTable.h"
#include "game/words/ClassicRack.h"
#include "game/words/ClassicRoundSave.h"
#include "game/words/GameMode.h"
#include "game/words/GameScene.h"
#include "tests/game/frontend/DialogTestSupport.h"
#include "tests/game/frontend/ShippedSceneTestSupport.h"

using namespace Qmv2;

namespace {

class GameSceneGlTest : public frontendtest::ShippedSceneGlTest {
protected:
    GameSceneGlTest() : ShippedSceneGlTest("classic test") {}
};

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
    for (char c : found) {
        KeyboardMessageData key(static_cast<unsigned char>(c), 0);
        scene->OnKeyDown(&key);
    }
    KeyboardMessageData enter(0, 5);
    scene->OnKeyDown(&enter);
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
    for (const char* name : {"PANEL_LEFT", "PANEL_RIGHT", "PANEL_LEFTCORNER", "PANEL_RIGHTCORNER", "PANEL_BOTTOM"}) {
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
    EXPECT_LE(frame.bottom, OnScreen(*rack->GetAnswerBox()).top + 5.0f) << "the table stays above the typed word";

    // The found word answers the pointer where its letters are drawn.
    for (Anagram* slot : table->GetSlots()) {
        if (slot->GetWord().GetString() == found) {
            const NodeBounds b = OnScreen(*slot->GetTile(slot->GetLength() - 1));
            EXPECT_TRUE(table->OpenDefinition((b.left + b.right) / 2.0f, (b.top + b.bottom) / 2.0f, false));
        }
    }
}
