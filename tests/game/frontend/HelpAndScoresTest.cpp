#include <gtest/gtest.h>

#include <cctype>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <map>
#include <regex>
#include <vector>
#include <string>

#include "framework/core/data/HighScoreManager.h"
#include "framework/core/data/HighScoreTable.h"
#include "framework/core/object/SmartPtr.h"
#include "framework/scene/Button.h"
#include "framework/scene/Label.h"
#include "framework/scene/Scene.h"
#include "framework/scene/Switch.h"
#include "game/frontend/DialogHelp.h"
#include "game/frontend/DialogHighScore.h"
#include "game/frontend/Quorvel2ScoreEntry.h"
#include "game/words/GameMode.h"
#include "tests/framework/core/data/DataTestSupport.h"
#include "tests/game/frontend/DialogTestSupport.h"

namespace help_and_scores_test {

using namespace Qmv2;

namespace {

class HelpAndScoresTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        frontendtest::SetUpDialogWorld();
        HighScoreManager::SetInstance(new HighScoreManager("1"));
        SmartPtr<PropertyNode> empty(new PropertyNode("scene"));
        scene = new Scene(empty.Get());
    }
    void TearDown() override
    {
        scene = nullptr;
        GameMode::Set(GameMode::kTimed);
        HighScoreManager::ReleaseInstance();
        frontendtest::TearDownDialogWorld();
    }
    template <typename T>
    T* Open(const std::string& key)
    {
        return frontendtest::OpenDialog<T>(*scene, key);
    }
    static void Fire(Dialog* dialog, const std::string& name) { frontendtest::Fire(dialog, name); }
    static std::string Text(Label* label) { return label != nullptr ? label->GetText().GetString() : "<none>"; }

    SmartPtr<Scene> scene;
};

}  // namespace

TEST_F(HelpAndScoresTest, HelpOpensOnTheModesPageAndPagesOnlyThroughItsPictures)
{
    GameMode::Set(GameMode::kBlitz);
    auto* help = Open<DialogHelp>("DIALOG_HELP");
    ASSERT_NE(help, nullptr);
    EXPECT_EQ(help->GetPageCount(), 4);    // five headers, four pictures
    help->Show();
    EXPECT_EQ(help->GetCurrentPage(), 2);
    auto* prev = static_cast<Button*>(help->FindChild("BUTTON_PREV", true));
    auto* next = static_cast<Button*>(help->FindChild("BUTTON_NEXT", true));
    EXPECT_TRUE(prev->IsEnabled());
    help->Show();    // shown again while open: the page stays
    EXPECT_EQ(help->GetCurrentPage(), 2);
    help->ChangePage(1);
    EXPECT_FALSE(next->IsEnabled());
    help->ChangePage(1);
    EXPECT_EQ(help->GetCurrentPage(), 3);
    for (int i = 0; i < 3; ++i) {
        help->ChangePage(-1);
    }
    EXPECT_EQ(help->GetCurrentPage(), 0);
    EXPECT_FALSE(prev->IsEnabled());
    EXPECT_TRUE(next->IsEnabled());
    auto* first = static_cast<Sprite*>(help->FindChild("HELP_PAGE01", true));
    for (int i = 0; i < 3; ++i) {
        first->Tick(100);
    }
    EXPECT_FLOAT_EQ(first->GetColor().a, 1.0f);
}

TEST_F(HelpAndScoresTest, CreditsShowTheBuildsVersionAndCloseOnAnyClick)
{
    auto* credits = Open<DialogCredits>("DIALOG_CREDITS");
    ASSERT_NE(credits, nullptr);
    const std::string version = Text(static_cast<Label*>(credits->FindChild("VERSION", true)));
    EXPECT_TRUE(std::regex_match(version, std::regex("[0-9]+\\.[0-9]+\\.[0-9]+\\.[0-9]+"))) << version;
    credits->Show();
    MouseMessageData click(250.0f, 10.0f, MouseMessageData::kLeftButton);
    EXPECT_TRUE(credits->OnLeftButtonDown(&click));
    for (int i = 0; i < 3; ++i) {
        credits->Tick(100);
    }
    EXPECT_EQ(scene->FindDialog("DIALOG_CREDITS"), nullptr);
}

// A new table gets ten defaults, best first; a stored table of three without
// a limit is topped up once, not at every fill, and shows its best ten.
TEST_F(HelpAndScoresTest, TablesAreToppedUpOnceAndShowTenRows)
{
    HighScoreTable* fresh = DialogHighScore::GetTable("blitz");
    ASSERT_EQ(fresh->GetCount(), 10);
    EXPECT_EQ(fresh->GetEntries()[0]->GetScore(), 10000);
    EXPECT_EQ(fresh->GetEntries()[9]->GetScore(), 1000);
    EXPECT_EQ(fresh->GetLastScore(), -1) << "no default is highlighted as a new score";
    for (int i = 0; i < 10; ++i) {
        const std::string& name = fresh->GetEntries()[i]->GetName();
        EXPECT_TRUE(name == "Ada" || name == "Bo" || name == "Cy") << name;
    }

    SmartPtr<HighScoreTable> stored(new HighScoreTable());
    stored->SetDescending(true);
    stored->SetMaxEntries(-1);
    for (int score : {1500, 25000, 700}) {
        stored->AddEntry(new Quorvel2ScoreEntry("Me", score, 1, 0, "WORDS"));
    }
    HighScoreManager::GetInstance()->GetTables()["untimed"] = stored;
    EXPECT_EQ(DialogHighScore::GetTable("untimed")->GetCount(), 13);
    EXPECT_EQ(DialogHighScore::GetTable("untimed")->GetCount(), 13);

    GameMode::Set(GameMode::kUntimed);
    auto* dialog = Open<DialogHighScore>("DIALOG_HIGHSCORES");
    ASSERT_NE(dialog, nullptr);
    dialog->Show();
    EXPECT_EQ(Text(dialog->GetRowLabel(0, 1)), "25000");
    EXPECT_EQ(Text(dialog->GetRowLabel(0, 2)), "WORDS");
    EXPECT_EQ(Text(dialog->GetRowLabel(9, 1)), "2000");    // 1500 and 700 fall below the ten
    EXPECT_EQ(dialog->GetRowLabel(1, 0)->GetY(), 0.0f);
    EXPECT_EQ(dialog->GetRowLabel(1, 0)->GetParent()->GetY(), 130.0f);
    EXPECT_TRUE(static_cast<Switch*>(dialog->FindChild("SWITCH_UNTIMED", true))->IsChecked());
    EXPECT_FALSE(dialog->FindChild("BUTTON_OK", true)->IsVisible());    // in a game it leaves through the menu

    // The word-of-the-day tab: a fresh table, the date over the extra column;
    // the game's mode stays.
    Fire(dialog, "SWITCH_WOD");
    EXPECT_EQ(Text(static_cast<Label*>(dialog->FindChild("LABEL_EXTRA", true))), "Day");
    EXPECT_EQ(Text(dialog->GetRowLabel(0, 1)), "10000");
    EXPECT_EQ(static_cast<Sprite*>(dialog->FindChild("TAB_PAGE01", true))->GetFrame(), 2);
    EXPECT_EQ(GameMode::Get(), GameMode::kUntimed);
}

TEST_F(HelpAndScoresTest, AShortTableFillsItsOtherRowsWithDashes)
{
    SmartPtr<HighScoreTable> stored(new HighScoreTable());
    stored->SetDescending(true);
    stored->SetMaxEntries(5);
    HighScoreManager::GetInstance()->GetTables()["crossword"] = stored;
    auto* dialog = Open<DialogHighScore>("DIALOG_HIGHSCORES");
    ASSERT_NE(dialog, nullptr);
    dialog->FillTable(GameMode::kCrisscross);
    EXPECT_EQ(stored->GetCount(), 5);
    EXPECT_EQ(Text(dialog->GetRowLabel(4, 1)), "6000");
    for (int column = 0; column < 3; ++column) {
        EXPECT_EQ(Text(dialog->GetRowLabel(5, column)), "-");
        EXPECT_EQ(Text(dialog->GetRowLabel(9, column)), "-");
    }
    dialog->SetFromMenu(true);
    dialog->Show();
    EXPECT_TRUE(dialog->FindChild("BUTTON_OK", true)->IsVisible());
    EXPECT_FALSE(dialog->FindChild("BUTTON_MAINMENU", true)->IsVisible());
}

// Stored tables as the score file gives them: empty, or longer than the ten
// rows (a stored limit above ten). The empty one gets ten defaults; the long
// one keeps its entries, gets none added, and shows its best ten.
TEST_F(HelpAndScoresTest, EmptyAndLongStoredTablesShowTenRows)
{
    SmartPtr<HighScoreTable> empty(new HighScoreTable());
    empty->SetDescending(true);
    empty->SetMaxEntries(-1);
    SmartPtr<HighScoreTable> longer(new HighScoreTable());
    longer->SetDescending(true);
    longer->SetMaxEntries(30);
    for (int i = 1; i <= 25; ++i) {
        longer->AddEntry(new Quorvel2ScoreEntry("P" + std::to_string(i), 100 * i, 0, 0, ""));
    }
    HighScoreManager::GetInstance()->GetTables()["timed"] = empty;
    HighScoreManager::GetInstance()->GetTables()["blitz"] = longer;
    auto* dialog = Open<DialogHighScore>("DIALOG_HIGHSCORES");
    ASSERT_NE(dialog, nullptr);
    dialog->FillTable(GameMode::kTimed);
    dialog->FillTable(GameMode::kTimed);
    EXPECT_EQ(empty->GetCount(), 10);
    EXPECT_EQ(Text(dialog->GetRowLabel(0, 1)), "10000");
    dialog->FillTable(GameMode::kBlitz);
    EXPECT_EQ(longer->GetCount(), 25);
    EXPECT_EQ(Text(dialog->GetRowLabel(0, 0)), "P25");
    EXPECT_EQ(Text(dialog->GetRowLabel(9, 1)), "1600");
}

namespace {

// The rows the dialog shows now, as "name score extra" lines.
std::vector<std::string> Rows(const DialogHighScore& dialog)
{
    std::vector<std::string> rows;
    for (int row = 0; row < 10; ++row) {
        rows.push_back(dialog.GetRowLabel(row, 0)->GetText().GetString() + " " +
                       dialog.GetRowLabel(row, 1)->GetText().GetString() + " " +
                       dialog.GetRowLabel(row, 2)->GetText().GetString());
    }
    return rows;
}

}  // namespace

// Score files as the game stores them (descrambled in the fixtures) with
// 0, 3, 10 and 25 entries in each of the five tables: each tab shows its own
// table's best ten, tables under ten are topped up with the defaults once,
// and nothing is added to the full or longer ones, however often they show.
TEST_F(HelpAndScoresTest, StoredScoreFilesOfEverySizeShowTheirBestTen)
{
    const std::string fixtures = std::string(QMV_TEST_DATA_DIR) + "/scores/";
    const char* switches[] = {"SWITCH_TIMED", "SWITCH_UNTIMED", "SWITCH_BLITZ", "SWITCH_CROSSWORD", "SWITCH_WOD"};
    // The fixtures' scores carry their table's place in name order.
    const std::map<std::string, int> offset = {{"blitz", 0}, {"crossword", 1}, {"timed", 2}, {"untimed", 3}, {"wotd", 4}};
    for (int size : {0, 3, 10, 25}) {
        SCOPED_TRACE(size);
        const std::string fixture = fixtures + "scores" + std::to_string(size) + ".xml";
        ASSERT_EQ(std::system(("xmllint --noout " + fixture).c_str()), 0) << fixture << " is well formed";
        QmvTest::DataFolderScope folder("DialogScores" + std::to_string(size));
        std::ifstream in(fixture);
        QmvTest::WriteScrambled(HighScoreManager::FilePath() + ".!",
                                std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()));
        HighScoreManager::ReleaseInstance();
        HighScoreManager::SetInstance(new HighScoreManager("2"));
        HighScoreManager::GetInstance()->Load();
        ASSERT_EQ(HighScoreManager::GetInstance()->GetTables().size(), 5u);

        scene = new Scene(SmartPtr<PropertyNode>(new PropertyNode("scene")).Get());
        auto* dialog = Open<DialogHighScore>("DIALOG_HIGHSCORES");
        ASSERT_NE(dialog, nullptr);
        dialog->SetFromMenu(true);
        dialog->Show();
        for (int pass = 0; pass < 2; ++pass) {
            for (int mode = 0; mode < 5; ++mode) {
                Fire(dialog, switches[mode]);
                const std::string table = DialogHighScore::TableName(mode);
                const int t = offset.at(table);
                const std::string first(1, static_cast<char>(std::toupper(table[0])));
                const std::string extra = mode == 4 ? "2026-12-01" : "WORD0";
                const std::vector<std::string> rows = Rows(*dialog);
                HighScoreTable* stored = HighScoreManager::GetInstance()->FindTable(table);
                switch (size) {
                case 0:
                    EXPECT_EQ(stored->GetCount(), 10) << table;
                    EXPECT_NE(rows[0].find(" 10000 "), std::string::npos) << rows[0];
                    EXPECT_NE(rows[9].find(" 1000 "), std::string::npos) << rows[9];
                    break;
                case 3:
                    EXPECT_EQ(stored->GetCount(), 13) << table;
                    EXPECT_EQ(rows[0], first + "0 " + std::to_string(15000 + t) + " " + extra);
                    EXPECT_NE(rows[1].find(" 10000 "), std::string::npos) << rows[1];
                    EXPECT_EQ(rows[6].substr(0, 2), first + "1") << "5500 between 6000 and 5000";
                    EXPECT_NE(rows[9].find(" 3000 "), std::string::npos) << rows[9];
                    break;
                case 10:
                    EXPECT_EQ(stored->GetCount(), 10) << table;
                    EXPECT_EQ(rows[0], first + "0 " + std::to_string(8200 + t) + " " + extra);
                    EXPECT_EQ(rows[9].substr(0, 3), first + "9 ");
                    break;
                default:
                    EXPECT_EQ(stored->GetCount(), 25) << table;
                    EXPECT_EQ(rows[0], first + "0 " + std::to_string(25000 + t) + " " + extra);
                    EXPECT_EQ(rows[9], first + "9 " + std::to_string(16000 + t) + " " +
                                           (mode == 4 ? "2026-12-10" : "WORD9"));
                    break;
                }
            }
        }
        scene = nullptr;
    }
}

}  // namespace help_and_scores_test
