#include <gtest/gtest.h>

#include <filesystem>

#include "DataTestSupport.h"
#include "framework/core/CoreClasses.h"
#include "framework/core/data/HighScoreManager.h"

namespace high_score_test {

namespace fs = std::filesystem;
using Qmv2::HighScoreEntry;
using Qmv2::HighScoreManager;
using Qmv2::HighScoreTable;
using Qmv2::SmartPtr;

namespace {

std::vector<std::int32_t> Scores(const HighScoreTable& table)
{
    std::vector<std::int32_t> scores;
    for (const SmartPtr<HighScoreEntry>& entry : table.GetEntries()) {
        scores.push_back(entry->GetScore());
    }
    return scores;
}

class HighScoreManagerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        Qmv2::RegisterCoreClasses();
        scope = std::make_unique<QmvTest::DataFolderScope>(
            std::string("ScoreTest_") + ::testing::UnitTest::GetInstance()->current_test_info()->name());
        stored = HighScoreManager::FilePath() + ".!";
    }
    void TearDown() override
    {
        HighScoreManager::ReleaseInstance();
        scope.reset();
    }
    static HighScoreManager* Start(const std::string& version = "2")
    {
        HighScoreManager* manager = HighScoreManager::Create(version);
        manager->Load();
        return manager;
    }

    std::unique_ptr<QmvTest::DataFolderScope> scope;
    std::string stored;
};

}  // namespace

TEST(HighScoreTableTest, FullDescendingTableRefusesLowScoresAndPutsTiesAboveOlderEntries)
{
    SmartPtr<HighScoreTable> table(new HighScoreTable);
    table->SetMaxEntries(10);
    for (std::int32_t score = 100; score >= 10; score -= 10) {
        table->AddEntry(new HighScoreEntry("p", score));
    }
    ASSERT_EQ(table->GetCount(), 10);
    EXPECT_EQ(table->AddEntry(new HighScoreEntry("low", 5)), -1);
    EXPECT_EQ(table->GetLastScore(), -1);
    EXPECT_EQ(table->GetCount(), 10);
    HighScoreEntry* oldLast = table->GetEntries()[9].Get();
    auto* tie = new HighScoreEntry("tie", 10);
    EXPECT_EQ(table->AddEntry(tie), 9);
    EXPECT_EQ(table->GetLastScore(), 9);
    EXPECT_EQ(table->GetEntries()[9].Get(), tie);
    EXPECT_NE(table->GetEntries()[8].Get(), oldLast) << "the older equal entry dropped out";
    EXPECT_EQ(table->AddEntry(new HighScoreEntry("top", 1000)), 0);
    EXPECT_EQ(Scores(*table), (std::vector<std::int32_t>{1000, 100, 90, 80, 70, 60, 50, 40, 30, 20}));
}

TEST(HighScoreTableTest, AscendingTablesKeepTheArrivalOrderOfEqualScores)
{
    SmartPtr<HighScoreTable> table(new HighScoreTable);
    table->SetDescending(false);
    auto* first = new HighScoreEntry("first", 30);
    auto* second = new HighScoreEntry("second", 30);
    EXPECT_EQ(table->AddEntry(first), 0);
    EXPECT_EQ(table->AddEntry(new HighScoreEntry("fast", 10)), 0);
    EXPECT_EQ(table->AddEntry(second), 2);
    EXPECT_EQ(table->GetEntries()[1].Get(), first);
    EXPECT_EQ(table->GetEntries()[2].Get(), second);
}

TEST(HighScoreTableTest, BoundsOfZeroOrBelowMeanUnbounded)
{
    for (std::int32_t bound : {-1, 0}) {
        SmartPtr<HighScoreTable> table(new HighScoreTable);
        table->SetMaxEntries(bound);
        for (std::int32_t i = 0; i < 25; ++i) {
            EXPECT_EQ(table->AddEntry(new HighScoreEntry("p", 100 - i)), i);
        }
        EXPECT_EQ(table->GetCount(), 25);
    }
}

TEST(HighScoreEntryTest, OlderLayoutAndWrittenForm)
{
    SmartPtr<Qmv2::PropertyNode> old(new Qmv2::PropertyNode());
    old->AddChild(new Qmv2::PropertyValue("uid", 77));
    old->AddChild(new Qmv2::PropertyValue("name", "Ann", true));
    old->AddChild(new Qmv2::PropertyValue("score", 450));
    old->AddChild(new Qmv2::PropertyValue("isprefilledscore", "true", true));
    SmartPtr<HighScoreEntry> entry(new HighScoreEntry(old.Get()));
    EXPECT_EQ(entry->GetUid(), 77);
    EXPECT_EQ(entry->GetName(), "Ann");
    EXPECT_EQ(entry->GetScore(), 450);
    EXPECT_FALSE(entry->IsPrefilled()) << "the older layout has no prefilled mark";
    EXPECT_TRUE(entry->IsNameGiven());

    SmartPtr<HighScoreEntry> made(new HighScoreEntry("", 12));
    EXPECT_FALSE(made->IsNameGiven());
    EXPECT_TRUE(made->IsPrefilled());
    SmartPtr<Qmv2::PropertyNode> written(new Qmv2::PropertyNode());
    made->Write(written.Get());
    EXPECT_EQ(written->GetTypeWord(), "HighScoreEntry");
    EXPECT_EQ(written->GetString("isprefilledscore"), "true");
    EXPECT_EQ(written->GetString("scorevalue"), "12");
    SmartPtr<Qmv2::PropertyNode> shortForm(new Qmv2::PropertyNode());
    entry->WriteShort(shortForm.Get());
    EXPECT_EQ(shortForm->GetString("name"), "Ann");
    EXPECT_EQ(shortForm->GetString("uid"), "77");
    EXPECT_EQ(shortForm->GetString("s"), "450");
}

TEST_F(HighScoreManagerTest, TablesRoundTripThroughTheScrambledFile)
{
    HighScoreManager* manager = Start();
    EXPECT_FALSE(fs::exists(stored)) << "no file, nothing written at start";
    const std::int32_t uid = manager->GetUid();
    EXPECT_GE(uid, 0);
    SmartPtr<HighScoreTable> table(new HighScoreTable);
    table->SetMaxEntries(10);
    manager->GetTables()["classic"] = table;
    table->AddEntry(new HighScoreEntry("Ann", 300));
    table->AddEntry(new HighScoreEntry("Bob", 500));
    EXPECT_EQ(table->GetEntries()[0]->GetUid(), uid) << "entries carry the installation number";
    ASSERT_TRUE(manager->Save());
    EXPECT_EQ(QmvTest::ReadBytes(stored).find("<?xml"), std::string::npos);
    EXPECT_EQ(QmvTest::ReadScrambled(stored),
              "<?xml version=\"1.0\" encoding=\"utf-8\" ?>\n"
              "<root>\n"
              "\t<HighScoreTables id=\"highscoretables\" version=\"2\" uid=\"" + std::to_string(uid) + "\">\n"
              "\t\t<Vector id=\"scoretables\">\n"
              "\t\t\t<ScoreTable id=\"classic\" descending=\"true\" maxentries=\"10\" lastscore=\"0\">\n"
              "\t\t\t\t<Vector id=\"entries\">\n"
              "\t\t\t\t\t<HighScoreEntry scorevalue=\"500\" playername=\"Bob\" isprefilledscore=\"true\" />\n"
              "\t\t\t\t\t<HighScoreEntry scorevalue=\"300\" playername=\"Ann\" isprefilledscore=\"true\" />\n"
              "\t\t\t\t</Vector>\n"
              "\t\t\t</ScoreTable>\n"
              "\t\t</Vector>\n"
              "\t</HighScoreTables>\n"
              "</root>\n");

    HighScoreManager::ReleaseInstance();
    manager = Start();
    EXPECT_EQ(manager->GetUid(), uid);
    HighScoreTable* loaded = manager->FindTable("classic");
    ASSERT_NE(loaded, nullptr);
    EXPECT_EQ(Scores(*loaded), (std::vector<std::int32_t>{500, 300}));
    EXPECT_EQ(loaded->GetEntries()[0]->GetName(), "Bob");
    EXPECT_EQ(loaded->GetMaxEntries(), 10);
    EXPECT_EQ(loaded->GetLastScore(), -1) << "no entry is the last one added after a load";
}

// A file of another version, or a well-formed file of another kind, is kept
// as "<file>.damaged", said, and replaced at once.
TEST_F(HighScoreManagerTest, AnotherVersionOrKindIsKeptAsideAndReplacedAtOnce)
{
    const char* foreign[] = {"<root><HighScoreTables id=\"highscoretables\" version=\"1\" uid=\"5\">"
                             "<Vector id=\"scoretables\"><ScoreTable id=\"old\"/></Vector></HighScoreTables></root>",
                             "<root><Players id=\"players\" version=\"2\" uid=\"5\"><Vector id=\"playernames\">"
                             "<TestPlayer name=\"old\"/></Vector></Players></root>"};
    for (const char* text : foreign) {
        QmvTest::WriteScrambled(stored, text);
        const std::string before = QmvTest::ReadBytes(stored);
        ::testing::internal::CaptureStderr();
        HighScoreManager* manager = Start("2");
        const std::string said = ::testing::internal::GetCapturedStderr();
        EXPECT_EQ(manager->FindTable("old"), nullptr) << text;
        EXPECT_NE(manager->GetUid(), 5) << text;
        const std::string written = QmvTest::ReadScrambled(stored);
        EXPECT_NE(written.find("version=\"2\""), std::string::npos) << text;
        EXPECT_EQ(written.find("old"), std::string::npos) << text;
        EXPECT_EQ(QmvTest::ReadBytes(stored + ".damaged"), before) << text;
        EXPECT_NE(said.find("The high-score file " + stored + " could not be read. A copy is kept as " + stored +
                            ".damaged; the game goes on with empty high-score tables."),
                  std::string::npos)
            << said;
        HighScoreManager::ReleaseInstance();
    }
}

TEST_F(HighScoreManagerTest, HostileEntriesAreSkippedAndDamagedFilesKept)
{
    QmvTest::WriteScrambled(stored, "<root><HighScoreTables id=\"highscoretables\" version=\"2\" uid=\"9\">"
                                    "<Vector id=\"scoretables\">"
                                    "<ScoreTable id=\"blitz\" maxentries=\"-7\"><Vector id=\"entries\">"
                                    "<HighScoreEntry scorevalue=\"99999999999999999999\" playername=\"Big\"/>"
                                    "<Integer id=\"DIALOG_FADE_TIME\">1</Integer>"
                                    "<Players playername=\"x\"/>"
                                    "<HighScoreEntry scorevalue=\"7\" playername=\"Ann\"/>"
                                    "</Vector></ScoreTable>"
                                    "<String id=\"notatable\">x</String>"
                                    "</Vector></HighScoreTables></root>");
    HighScoreManager* manager = Start("2");
    EXPECT_EQ(manager->GetUid(), 9);
    EXPECT_EQ(manager->GetTables().size(), 1u);
    HighScoreTable* blitz = manager->FindTable("blitz");
    ASSERT_NE(blitz, nullptr);
    ASSERT_EQ(blitz->GetCount(), 2);
    EXPECT_EQ(blitz->GetEntries()[1]->GetName(), "Ann");
    EXPECT_EQ(blitz->GetMaxEntries(), -7);
    HighScoreManager::ReleaseInstance();

    const std::string whole = QmvTest::ReadBytes(stored);
    QmvTest::WriteBytes(stored, whole.substr(0, whole.size() - 40));
    manager = Start("2");
    EXPECT_TRUE(manager->GetTables().empty());
    EXPECT_EQ(QmvTest::ReadBytes(stored).size(), whole.size() - 40) << "nothing written until the next save";
    EXPECT_EQ(QmvTest::ReadBytes(stored + ".damaged").size(), whole.size() - 40);
}

TEST_F(HighScoreManagerTest, UnreadableScoresAreNeverSavedOver)
{
    QmvTest::WriteScrambled(stored, "<root><HighScoreTables id=\"highscoretables\" version=\"2\" uid=\"9\">"
                                    "<Vector id=\"scoretables\"><ScoreTable id=\"kept\"/></Vector>"
                                    "</HighScoreTables></root>");
    const std::string whole = QmvTest::ReadBytes(stored);
    fs::permissions(stored, fs::perms::none);
    std::string said;
    EXPECT_EQ(QmvTest::AsPlayer(
                  [] {
                      HighScoreManager* manager = Start("2");
                      manager->GetTables()["new"] = SmartPtr<HighScoreTable>(new HighScoreTable);
                      return manager->GetTables().size() == 1 && !manager->Save() ? 0 : 1;
                  },
                  &said),
              0);
    fs::permissions(stored, fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_EQ(QmvTest::ReadBytes(stored), whole);
    EXPECT_FALSE(fs::exists(stored + ".damaged"));
    EXPECT_NE(said.find("no copy of it could be made"), std::string::npos) << said;
}

}  // namespace high_score_test
