#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "framework/core/app/MessageData.h"
#include "framework/core/data/HighScoreManager.h"
#include "framework/core/object/SmartPtr.h"
#include "framework/core/properties/BasicProperties.h"
#include "framework/core/properties/DataManager.h"
#include "framework/scene/AnimTree.h"
#include "framework/scene/Button.h"
#include "framework/scene/GameTree.h"
#include "framework/scene/Label.h"
#include "framework/scene/ModifierDelay.h"
#include "framework/scene/Scene.h"
#include "framework/scene/SceneManager.h"
#include "game/frontend/DialogCongrats.h"
#include "game/frontend/DialogEndGame.h"
#include "game/frontend/DialogMenu.h"
#include "game/frontend/DialogTutorial.h"
#include "game/frontend/DialogYesNo.h"
#include "tests/framework/core/data/DataTestSupport.h"
#include "tests/game/frontend/DialogTestSupport.h"
#include "game/words/GameMode.h"
#include "game/words/LetterBall.h"
#include "game/words/iDialogOwnerScene.h"

namespace round_dialogs_test {

using namespace Qmv2;

namespace {

using frontendtest::LoggingGameScene;

class RoundDialogsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        frontendtest::SetUpDialogWorld();
        SmartPtr<PropertyNode> empty(new PropertyNode("scene"));
        scene = new LoggingGameScene(empty.Get());
    }
    void TearDown() override
    {
        scene = nullptr;
        GameMode::Set(GameMode::kTimed);
        frontendtest::TearDownDialogWorld();
    }

    template <typename T>
    T* Open(const std::string& key)
    {
        T* dialog = frontendtest::OpenDialog<T>(*scene, key);
        if (dialog != nullptr) {
            dialog->Show();
            Settle(dialog);
        }
        return dialog;
    }
    // Runs the dialog's own modifiers past any fade.
    static void Settle(GameNode* node)
    {
        for (int i = 0; i < 5; ++i) {
            node->Tick(100);
        }
    }
    static bool Key(Dialog* dialog, std::int32_t code)
    {
        KeyboardMessageData data(0, code);
        return dialog->OnKeyDown(&data);
    }
    static void Fire(Dialog* dialog, const std::string& button) { frontendtest::Fire(dialog, button); }
    bool IsOpen(const std::string& name) const { return scene->FindDialog(name) != nullptr; }

    SmartPtr<LoggingGameScene> scene;
};

}  // namespace

// GOOD JOB: seven balls on placeholders 0 to 6, 200 ms apart from 500 ms on,
// blanks counted in the timing but not in the numbering; a missing
// placeholder ("4") skips its letter only.
TEST_F(RoundDialogsTest, TheBurstSpellsItsTextOnThePlaceholders)
{
    auto* dialog = Open<DialogNextRound>("DIALOG_NEXTROUND");
    ASSERT_NE(dialog, nullptr);
    std::vector<std::uint32_t> letters;
    std::vector<std::int32_t> delays;
    int particles = 0;
    GameNode* previous = nullptr;
    for (GameNode* n = dialog->GetFirstChild(); n != nullptr; n = n->GetNextSibling()) {
        if (n->IsOfType(&LetterBall::s_Type)) {
            auto* ball = static_cast<LetterBall*>(n);
            letters.push_back(ball->GetLetter());
            ASSERT_FALSE(ball->GetModifiers().empty());
            delays.push_back(static_cast<ModifierDelay*>(ball->GetModifiers()[0])->GetRemaining());
            // The particles lie right below their ball.
            EXPECT_TRUE(previous != nullptr && !previous->IsOfType(&LetterBall::s_Type));
        } else if (n->IsOfType(&Sprite::s_Type) && n->GetName().empty()) {
            ++particles;
        }
        previous = n;
    }
    EXPECT_EQ(letters, (std::vector<std::uint32_t>{'G', 'O', 'O', 'D', 'O', 'B'}));
    EXPECT_EQ(delays.size(), 6u);
    EXPECT_EQ(delays[0], 500);
    EXPECT_EQ(delays[4], 500 + 6 * 200);    // the O of JOB, six bytes on
    EXPECT_EQ(particles, 6 * 8);
    int waits = 0;
    for (Modifier* m = scene->GetAnimations()->GetFirstChild(); m != nullptr; m = m->GetNextSibling()) {
        ++waits;
        ASSERT_TRUE(m->IsOfType(&ModifierDelay::s_Type));
        EXPECT_NE(m->GetFirstChild(), nullptr);
    }
    EXPECT_EQ(waits, 6 * 8);
}

// The score behind a congratulation is on disk as soon as the dialog shows:
// a program killed there finds it in its table on the next start.
TEST_F(RoundDialogsTest, TheScoreBehindACongratulationIsStoredAtOnce)
{
    QmvTest::DataFolderScope folder("FrontendCongratsScores");
    HighScoreManager::SetInstance(new HighScoreManager("1"));
    auto* table = new HighScoreTable();
    table->SetDescending(true);
    table->SetMaxEntries(10);
    HighScoreManager::GetInstance()->GetTables()["untimed"] = table;
    SmartPtr<HighScoreEntry> entry(new HighScoreEntry("Ann", 4321));
    ASSERT_GE(table->AddEntry(entry.Get()), 0);

    // The test data has no congratulation of its own (the game scenes'
    // tests rely on that): one made from an empty description stands in.
    SmartPtr<PropertyNode> empty(new PropertyNode("DIALOG_CONGRATS"));
    SmartPtr<DialogCongrats> congrats(new DialogCongrats(empty.Get()));
    scene->AddChild(congrats.Get());
    congrats->Show();
    SmartPtr<HighScoreManager> restarted(new HighScoreManager("1"));
    restarted->Load();
    HighScoreManager::ReleaseInstance();
    HighScoreTable* stored = restarted->FindTable("untimed");
    ASSERT_NE(stored, nullptr) << "nothing was written";
    ASSERT_EQ(stored->GetCount(), 1);
    EXPECT_EQ(stored->GetEntries()[0]->GetName(), "Ann");
    EXPECT_EQ(stored->GetEntries()[0]->GetScore(), 4321);
}

TEST_F(RoundDialogsTest, OkAndEnterGoOnToTheNextRoundOrLeaveOnTheWordOfTheDay)
{
    auto* next = Open<DialogNextRound>("DIALOG_NEXTROUND");
    ASSERT_NE(next, nullptr);
    EXPECT_FALSE(Key(next, 16));
    EXPECT_TRUE(Key(next, 5));
    EXPECT_FALSE(IsOpen("DIALOG_NEXTROUND"));
    auto* wotd = Open<DialogNextRound>("DIALOG_NEXTROUND");
    ASSERT_NE(wotd, nullptr);
    wotd->SetWordOfTheDay();
    EXPECT_EQ(static_cast<Label*>(wotd->FindChild("BODY_TEXT", true))->GetText().GetString(), "Come back tomorrow");
    Fire(wotd, "BUTTON_OK");

    auto* pass = Open<DialogPassRound>("DIALOG_PASSROUND");
    ASSERT_NE(pass, nullptr);
    EXPECT_FALSE(Key(pass, 'a'));
    Fire(pass, "BUTTON_OK");
    Settle(pass);
    EXPECT_FALSE(IsOpen("DIALOG_PASSROUND"));
    EXPECT_EQ(scene->log, (std::vector<std::string>{"next round", "save and quit DIALOG_NEXTROUND", "next round"}));
}

TEST_F(RoundDialogsTest, TheEndOfTheGameReplaysOrLeaves)
{
    auto* end = Open<DialogEndGame>("DIALOG_ENDGAME");
    ASSERT_NE(end, nullptr);
    EXPECT_TRUE(Key(end, 5));
    EXPECT_TRUE(IsOpen("DIALOG_ENDGAME"));    // leaving is the scene's business
    Fire(end, "BUTTON_REPLAY");
    Settle(end);
    EXPECT_FALSE(IsOpen("DIALOG_ENDGAME"));

    auto* wotd = Open<DialogEndGame>("DIALOG_ENDGAME");
    ASSERT_NE(wotd, nullptr);
    wotd->SetWordOfTheDay();
    auto* replay = static_cast<Button*>(wotd->FindChild("BUTTON_REPLAY", true));
    EXPECT_FALSE(replay->IsVisible());
    EXPECT_FALSE(replay->IsEnabled());
    EXPECT_FLOAT_EQ(wotd->FindChild("BUTTON_OK", true)->GetX(), DialogEndGame::kSingleButtonX);
    Fire(wotd, "BUTTON_OK");
    EXPECT_EQ(scene->log,
              (std::vector<std::string>{"save and quit DIALOG_ENDGAME", "new round", "save and quit DIALOG_ENDGAME"}));
}

TEST_F(RoundDialogsTest, TheTutorialShowsTheModeResumesAndOpensHelpOverTheScene)
{
    GameMode::Set(GameMode::kCrisscross);
    auto* tutorial = Open<DialogTutorial>("DIALOG_TUTORIAL");
    ASSERT_NE(tutorial, nullptr);
    EXPECT_EQ(static_cast<Label*>(tutorial->FindChild("HEADER", true))->GetText().GetString(), "Crisscross");
    EXPECT_EQ(static_cast<Label*>(tutorial->FindChild("BODY_TEXT", true))->GetText().GetString(), "Fill the board");
    Fire(tutorial, "BUTTON_HELP");
    Fire(tutorial, "BUTTON_HELP");
    ASSERT_TRUE(IsOpen("DIALOG_HELP"));
    EXPECT_EQ(scene->FindDialog("DIALOG_HELP")->GetParent(), scene.Get());
    EXPECT_EQ(scene->GetDialogs().GetCount(), 2);
    EXPECT_TRUE(Key(tutorial, 5));
    EXPECT_EQ(scene->log, std::vector<std::string>{"refresh DIALOG_TUTORIAL"});
    Settle(tutorial);
    EXPECT_FALSE(IsOpen("DIALOG_TUTORIAL"));
    EXPECT_TRUE(IsOpen("DIALOG_HELP"));
}

TEST_F(RoundDialogsTest, TheMenuStopsOnlyOnYesAndResumesAfterItsFade)
{
    auto* menu = Open<DialogMenu>("DIALOG_MENU");
    ASSERT_NE(menu, nullptr);
    Fire(menu, "BUTTON_STOP");
    auto* question = static_cast<DialogYesNo*>(scene->FindDialog("CTEXT_MENU_STOP"));
    ASSERT_NE(question, nullptr);
    EXPECT_EQ(question->GetParent(), scene.Get());
    Fire(question, "BUTTON_NO");
    Settle(question);
    EXPECT_FALSE(IsOpen("CTEXT_MENU_STOP"));
    EXPECT_TRUE(IsOpen("DIALOG_MENU"));
    EXPECT_TRUE(scene->log.empty());

    Fire(menu, "BUTTON_STOP");
    Fire(scene->FindDialog("CTEXT_MENU_STOP"), "BUTTON_YES");
    EXPECT_EQ(scene->log, std::vector<std::string>{"save and quit DIALOG_MENU"});

    scene->log.clear();
    Fire(menu, "BUTTON_RESUME");
    EXPECT_TRUE(scene->log.empty());
    Settle(menu);
    EXPECT_FALSE(IsOpen("DIALOG_MENU"));
    EXPECT_EQ(scene->log, std::vector<std::string>{"refresh DIALOG_MENU"});
}

TEST_F(RoundDialogsTest, APauseResumesOnAClickAnywhereOnceItTakesInput)
{
    auto* pause = static_cast<DialogPause*>(scene->GetDialog("DIALOG_PAUSE", std::string()));
    ASSERT_NE(pause, nullptr);
    scene->AddChild(pause);
    pause->Show();
    MouseMessageData click(5.0f, 5.0f, MouseMessageData::kLeftButton);
    EXPECT_FALSE(pause->OnLeftButtonUp(&click));    // still fading in
    Settle(pause);
    EXPECT_TRUE(pause->OnLeftButtonUp(&click));
    Settle(pause);
    EXPECT_FALSE(IsOpen("DIALOG_PAUSE"));
    EXPECT_EQ(scene->log, std::vector<std::string>{"refresh DIALOG_PAUSE"});
}

}  // namespace round_dialogs_test
