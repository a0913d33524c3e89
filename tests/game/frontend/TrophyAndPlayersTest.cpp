#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "framework/core/app/MessageData.h"
#include "framework/core/data/DataTestSupport.h"
#include "framework/core/data/PlayerManager.h"
#include "framework/core/object/SmartPtr.h"
#include "framework/scene/Button.h"
#include "framework/scene/Label.h"
#include "framework/scene/SceneManager.h"
#include "game/frontend/DialogPlayerSelect.h"
#include "game/frontend/Quorvel2Player.h"
#include "game/frontend/TrophyScene.h"
#include "tests/game/frontend/DialogTestSupport.h"

namespace trophy_and_players_test {

using namespace Qmv2;

namespace {

// A players list in a data folder of its own, with the dialog definitions
// and a scene manager.
class PlayersWorld : public ::testing::Test {
protected:
    void SetUp() override
    {
        frontendtest::SetUpDialogWorld();
        scope = std::make_unique<QmvTest::DataFolderScope>(
            std::string("FrontendPlayers_") + ::testing::UnitTest::GetInstance()->current_test_info()->name());
        PlayerManager::Create("3")->LoadPlayers();
    }
    void TearDown() override
    {
        PlayerManager::ReleaseInstance();
        scope.reset();
        frontendtest::TearDownDialogWorld();
    }
    static void AddPlayers(const std::vector<std::string>& names)
    {
        for (const std::string& name : names) {
            PlayerManager::GetInstance()->AddPlayer(new Quorvel2Player(name));
        }
    }
    static Quorvel2Player* Current()
    {
        return static_cast<Quorvel2Player*>(PlayerManager::GetInstance()->GetCurrentPlayer());
    }
    static std::string CurrentName() { return Current() != nullptr ? Current()->GetName() : std::string("<none>"); }
    static std::vector<std::string> Names()
    {
        std::vector<std::string> names;
        for (const auto& player : PlayerManager::GetInstance()->GetPlayers()) {
            names.push_back(player->GetName());
        }
        return names;
    }

    std::unique_ptr<QmvTest::DataFolderScope> scope;
};

class TrophyRoom : public PlayersWorld {
protected:
    void SetUp() override
    {
        PlayersWorld::SetUp();
        SceneManager* scenes = SceneManager::GetInstance();
        menu = scenes->CreateScene("SCENE_SELECTION", std::string());
        Scene* made = scenes->CreateScene("SCENE_TROPHY", std::string());
        ASSERT_NE(made, nullptr);
        ASSERT_TRUE(made->IsOfType(&TrophyScene::s_Type));
        room = static_cast<TrophyScene*>(made);
    }
    std::string Description() const { return room->GetDescriptionLabel()->GetText().GetString(); }
    // Moves the mouse to the middle of trophy `id`.
    bool HoverTrophy(std::int32_t id)
    {
        Sprite* trophy = room->GetTrophy(id);
        MouseMessageData move(trophy->GetX() + 40.0f, trophy->GetY() + 40.0f, 0);
        return room->OnMouseMove(&move);
    }

    Scene* menu = nullptr;
    TrophyScene* room = nullptr;
};

TEST_F(TrophyRoom, NewTrophiesPopInOnceAndStayShownAfterTheMenuSavesThem)
{
    AddPlayers({"Ann"});
    Current()->SetAchievement(0, Quorvel2Player::kEarned);
    Current()->SetAchievement(1, Quorvel2Player::kShown);
    room->Show();
    ASSERT_NE(room->GetTrophy(23), nullptr);
    EXPECT_EQ(room->GetTrophy(24), nullptr);

    Sprite* fresh = room->GetTrophy(0);
    EXPECT_TRUE(fresh->IsVisible());
    EXPECT_FLOAT_EQ(fresh->GetScaleX(), TrophyScene::kStartScale) << "a new trophy starts small and grows";
    EXPECT_FLOAT_EQ(fresh->GetColor().a, 0.0f);
    EXPECT_EQ(Current()->GetAchievement(0), Quorvel2Player::kShown);
    EXPECT_TRUE(room->GetTrophy(1)->IsVisible());
    EXPECT_FLOAT_EQ(room->GetTrophy(1)->GetColor().a, 1.0f);
    EXPECT_FLOAT_EQ(room->GetTrophy(1)->GetScaleX(), 1.0f) << "an old trophy does not pop in";
    EXPECT_FALSE(room->GetTrophy(2)->IsVisible());

    // The pop-in runs to its rest size: fade, grow past it, settle.
    room->Activate();
    for (int step = 0; step < 20; ++step) {
        AnimTree::UpdateTree(room->GetAnimations(), 100);
        AnimTree::PurgeTree(room->GetAnimations());
    }
    EXPECT_FLOAT_EQ(fresh->GetColor().a, 1.0f);
    EXPECT_NEAR(fresh->GetScaleX(), TrophyScene::kRestScale, 1e-4);

    room->BackToMenu();
    EXPECT_EQ(SceneManager::GetInstance()->GetPendingScene(), menu);
    // The shown flag was written: a fresh manager reads it back.
    PlayerManager::ReleaseInstance();
    PlayerManager::Create("3")->LoadPlayers();
    ASSERT_NE(Current(), nullptr);
    EXPECT_EQ(Current()->GetAchievement(0), Quorvel2Player::kShown);
    EXPECT_EQ(Current()->GetAchievement(2), Quorvel2Player::kNotEarned);
}

TEST_F(TrophyRoom, HoveringDescribesEveryTrophyKeepsTheLastSecretAndSparklesOnlyOnEarnedOnes)
{
    AddPlayers({"Ann"});
    Current()->SetAchievement(1, Quorvel2Player::kShown);
    room->Show();
    EXPECT_EQ(Description(), "Point at a trophy");

    EXPECT_TRUE(HoverTrophy(1));
    EXPECT_EQ(Description(), "trophy 1");
    EXPECT_TRUE(room->GetSparkle()->IsVisible());
    EXPECT_FLOAT_EQ(room->GetSparkle()->GetX(), room->GetTrophy(1)->GetX());
    EXPECT_TRUE(room->IsHandCursorOn());

    EXPECT_TRUE(HoverTrophy(2)) << "a trophy not yet earned still tells how to earn it";
    EXPECT_EQ(Description(), "trophy 2");
    EXPECT_FALSE(room->GetSparkle()->IsVisible());

    EXPECT_TRUE(HoverTrophy(23));
    EXPECT_EQ(Description(), "Secret");

    MouseMessageData away(790.0f, 590.0f, 0);
    EXPECT_FALSE(room->OnMouseMove(&away));
    EXPECT_EQ(Description(), "Point at a trophy");
    EXPECT_FALSE(room->IsHandCursorOn());

    // Once earned, the last trophy has no secret; the data holds no text
    // for it, which reads as empty rather than past the list.
    Current()->SetAchievement(23, Quorvel2Player::kShown);
    EXPECT_TRUE(HoverTrophy(23));
    EXPECT_EQ(Description(), "");
    EXPECT_TRUE(room->GetSparkle()->IsVisible());
    room->Deactivate();
    EXPECT_FALSE(room->IsHandCursorOn()) << "leaving the room gives the normal cursor back";
}

TEST_F(TrophyRoom, WithoutAPlayerTheRoomIsEmptyAndStillAnswers)
{
    room->Show();
    for (std::int32_t id = 0; id < TrophyScene::kTrophyCount; ++id) {
        EXPECT_FALSE(room->GetTrophy(id)->IsVisible()) << id;
    }
    EXPECT_TRUE(HoverTrophy(23));
    EXPECT_EQ(Description(), "Secret");
    EXPECT_FALSE(room->GetSparkle()->IsVisible());
    room->BackToMenu();
    EXPECT_EQ(SceneManager::GetInstance()->GetPendingScene(), menu);
}

class PlayerList : public PlayersWorld {
protected:
    void SetUp() override
    {
        PlayersWorld::SetUp();
        SmartPtr<PropertyNode> empty(new PropertyNode("scene"));
        scene = new Scene(empty.Get());
    }
    void TearDown() override
    {
        scene = nullptr;
        PlayersWorld::TearDown();
    }
    DialogPlayerSelect* Open() { return frontendtest::OpenDialog<DialogPlayerSelect>(*scene, "DIALOG_PLAYERSELECT"); }
    static bool Enabled(DialogPlayerSelect* dialog, const std::string& name)
    {
        auto* button = static_cast<Button*>(dialog->FindChild(name, true));
        return button != nullptr && button->IsEnabled();
    }
    static std::string Row(DialogPlayerSelect* dialog, std::int32_t slot)
    {
        return dialog->GetNameLabel(slot)->GetText().GetString();
    }
    // Removes the selected player as the question's yes does.
    void Remove(DialogPlayerSelect* dialog)
    {
        dialog->AskRemove();
        Dialog* question = scene->FindDialog("CTEXT_REMOVE_PLAYER");
        ASSERT_NE(question, nullptr);
        frontendtest::Fire(question, "BUTTON_YES");
        EXPECT_EQ(scene->FindDialog("CTEXT_REMOVE_PLAYER"), nullptr) << "the question closes";
    }
    float BorderY(DialogPlayerSelect* dialog, std::int32_t slot)
    {
        return dialog->GetNameButton(slot)->GetY() + (-6.0f);
    }

    SmartPtr<Scene> scene;
};

TEST_F(PlayerList, RemovingTheCurrentPlayerHandsOnToTheNextRowOrTheOneBefore)
{
    AddPlayers({"Ann", "Bo", "Cy", "Di"});
    PlayerManager::GetInstance()->SetCurrentPlayer("Cy");
    DialogPlayerSelect* dialog = Open();
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(dialog->GetSelectedSlot(), 2);
    EXPECT_EQ(Row(dialog, 3), "Di");
    EXPECT_EQ(Row(dialog, 4), "");
    EXPECT_TRUE(Enabled(dialog, "BUTTON_ADD"));
    EXPECT_FLOAT_EQ(dialog->GetBorder()->GetY(), BorderY(dialog, 2));
    EXPECT_FLOAT_EQ(dialog->GetNameButton(1)->GetY() - dialog->GetNameButton(0)->GetY(), 54.0f);

    Remove(dialog);
    EXPECT_EQ(Names(), (std::vector<std::string>{"Ann", "Bo", "Di"}));
    EXPECT_EQ(CurrentName(), "Di") << "slot 2 of 4: the next row's player";
    EXPECT_EQ(dialog->GetSelectedSlot(), 2);

    Remove(dialog);
    EXPECT_EQ(CurrentName(), "Bo") << "the last row: the one before";
    EXPECT_EQ(dialog->GetSelectedSlot(), 1);
    EXPECT_FLOAT_EQ(dialog->GetBorder()->GetY(), BorderY(dialog, 1));

    dialog->PickSlot(0);
    EXPECT_EQ(CurrentName(), "Ann");
    EXPECT_FLOAT_EQ(dialog->GetBorder()->GetY(), BorderY(dialog, 0));
    // The choice is stored at once: a program killed now starts with Ann.
    PlayerManager::Create("3")->LoadPlayers();
    EXPECT_EQ(Names(), (std::vector<std::string>{"Ann", "Bo"}));
    EXPECT_EQ(CurrentName(), "Ann");
}

TEST_F(PlayerList, TheOnlyPlayerRemovedLeavesNobodyCurrentAndAsksForANewOne)
{
    AddPlayers({"Ann"});
    DialogPlayerSelect* dialog = Open();
    ASSERT_NE(dialog, nullptr);
    Remove(dialog);
    EXPECT_TRUE(Names().empty());
    EXPECT_EQ(Current(), nullptr);
    EXPECT_EQ(dialog->GetSelectedSlot(), DialogPlayerSelect::kNoSlot);
    EXPECT_FALSE(dialog->GetBorder()->IsVisible());
    EXPECT_FALSE(Enabled(dialog, "BUTTON_REMOVE"));
    Dialog* naming = scene->FindDialog("DIALOG_NEWPLAYER");
    ASSERT_NE(naming, nullptr);
    GameNode* cancel = naming->FindChild("BUTTON_CANCEL", true);
    EXPECT_TRUE(cancel == nullptr || cancel->IsObsolete()) << "the new first player cannot be cancelled";
    // Nothing selected: another yes removes nothing and does not crash.
    dialog->RemoveConfirmed();
    EXPECT_TRUE(Names().empty());
}

TEST_F(PlayerList, MoreStoredPlayersThanRowsShowTheFirstFiveAndAnEmptyRowAddsOnlyBelowFive)
{
    AddPlayers({"P1", "P2", "P3", "P4", "P5", "P6", "P7"});
    PlayerManager::GetInstance()->SetCurrentPlayer("P7");
    DialogPlayerSelect* dialog = Open();
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(Row(dialog, 4), "P5");
    EXPECT_EQ(dialog->GetSelectedSlot(), DialogPlayerSelect::kNoSlot) << "the current player has no row";
    EXPECT_FALSE(dialog->GetBorder()->IsVisible());
    EXPECT_FALSE(Enabled(dialog, "BUTTON_ADD"));
    dialog->AddPlayer();
    EXPECT_EQ(scene->FindDialog("DIALOG_NEWPLAYER"), nullptr);

    dialog->PickSlot(3);
    EXPECT_EQ(CurrentName(), "P4");
    EXPECT_TRUE(dialog->GetBorder()->IsVisible());
    EXPECT_FLOAT_EQ(dialog->GetBorder()->GetY(), BorderY(dialog, 3));

    for (const char* name : {"P7", "P6", "P5"}) {
        PlayerManager::GetInstance()->DeletePlayer(name);
    }
    dialog->RefreshList();
    EXPECT_EQ(Row(dialog, 4), "");
    EXPECT_TRUE(Enabled(dialog, "BUTTON_ADD"));
    dialog->PickSlot(4);
    EXPECT_NE(scene->FindDialog("DIALOG_NEWPLAYER"), nullptr) << "an empty row asks for a new player";
    EXPECT_EQ(CurrentName(), "P4");
}

}  // namespace

}  // namespace trophy_and_players_test
