#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>

#include "framework/core/data/DataTestSupport.h"
#include "framework/core/data/PlayerManager.h"
#include "framework/core/properties/PropertyStore.h"
#include "game/frontend/FrontendClasses.h"
#include "game/frontend/Quorvel2Player.h"
#include "platform/win32/WinTime.h"

namespace quorvel2_player_test {

using Qmv2::PlayerManager;
using Qmv2::PropertyNode;
using Qmv2::PropertyValue;
using Qmv2::SmartPtr;

namespace {

// A players-list entry as a hand-edited or damaged file may hold it.
class Entry {
public:
    Entry() : m_Node(new PropertyNode("", "Quorvel2Player"))
    {
        m_Node->AddChild(new PropertyValue("name", "Ann", true));
    }
    Entry& Value(const std::string& key, const std::string& text)
    {
        m_Node->AddChild(new PropertyValue(key, text, true));
        return *this;
    }
    Entry& In(const std::string& child, const std::string& key, const std::string& text)
    {
        PropertyNode* holder = m_Node->GetNode(child);
        if (holder->IsSharedEmpty()) {
            holder = static_cast<PropertyNode*>(m_Node->AddChild(new PropertyNode(child, "Node")));
        }
        holder->AddChild(new PropertyValue(key, text, true));
        return *this;
    }
    SmartPtr<Quorvel2Player> Make() const { return SmartPtr<Quorvel2Player>(new Quorvel2Player(m_Node.Get())); }

private:
    SmartPtr<PropertyNode> m_Node;
};

class PlayerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        RegisterFrontendClasses();
        platform::SetClockHooks({[this] { return clock; }, {}});
    }
    void TearDown() override { platform::SetClockHooks({}); }

    std::uint64_t clock = 0x1'2345'6789ull;  // the 32-bit view is 0x23456789
};

class PlayerFileTest : public PlayerTest {
protected:
    void SetUp() override
    {
        PlayerTest::SetUp();
        scope = std::make_unique<QmvTest::DataFolderScope>(
            std::string("FrontendPlayerTest_") + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    }
    void TearDown() override
    {
        PlayerManager::ReleaseInstance();
        scope.reset();
        PlayerTest::TearDown();
    }
    static PlayerManager* Start()
    {
        PlayerManager::ReleaseInstance();
        PlayerManager* manager = PlayerManager::Create("3");
        manager->LoadPlayers();
        return manager;
    }
    static Quorvel2Player* Current()
    {
        Qmv2::AbstractPlayer* player = PlayerManager::GetInstance()->GetCurrentPlayer();
        return player != nullptr && player->IsOfType(&Quorvel2Player::s_Type) ? static_cast<Quorvel2Player*>(player)
                                                                             : nullptr;
    }
    static std::string StoredList() { return PlayerManager::GetInstance()->GetPlayersListFile() + ".!"; }

    std::unique_ptr<QmvTest::DataFolderScope> scope;
};

}  // namespace

TEST_F(PlayerTest, ResetValues)
{
    SmartPtr<Quorvel2Player> player(new Quorvel2Player("Ann"));
    EXPECT_EQ(player->GetName(), "Ann");
    EXPECT_FALSE(player->IsLoaded());
    EXPECT_EQ(player->GetSeed(), 0x23456789) << "the seed is the millisecond clock";
    EXPECT_EQ(player->GetIndex(), 0);
    EXPECT_EQ(player->GetWordOfDay(), -1);
    EXPECT_EQ(player->GetMaxLength(), 8);
    player->CountGamePlayed(3);
    player->SetAchievement(5, 2);
    player->SetTutorialSeen(4, true);
    clock = 0xFFFF'FFFFull;
    player->Reset();
    EXPECT_EQ(player->GetModeCount(3), 0);
    EXPECT_EQ(player->GetAchievement(5), 0);
    EXPECT_FALSE(player->IsTutorialSeen(4));
    EXPECT_EQ(player->GetSeed(), -1) << "a clock past 2^31 gives a negative seed, not a clamped one";
}

TEST_F(PlayerFileTest, ProfileRoundTripsThroughTheScrambledPlayersList)
{
    PlayerManager* manager = Start();
    auto* ann = new Quorvel2Player("Ann");
    iWordPoolPosition* position = ann;
    position->SetSeed(-42);
    position->SetIndex(311);
    ann->SetWordOfDay(5123);
    ann->SetMaxLength(6);
    ann->SetAchievement(0, 2);
    ann->CheckStreakAchievement(5);  // 11 earned, not yet shown
    ann->CountSolved();
    ann->CountSolved();
    ann->CountHardSolved();
    ann->CountMivel();
    ann->CountGamePlayed(4);
    ann->CountGamePlayed(4);
    ann->SetTutorialSeen(2, true);
    manager->AddPlayer(ann);
    ASSERT_TRUE(manager->SavePlayers());

    std::string achievements;
    for (int id = 0; id < 24; ++id) {
        const char* flag = id == 0 ? "2" : id == 11 ? "1" : "0";
        achievements += " ACHIEVEMENT_" + std::to_string(id) + "=\"" + flag + "\"";
    }
    EXPECT_EQ(QmvTest::ReadScrambled(StoredList()),
              "<?xml version=\"1.0\" encoding=\"utf-8\" ?>\n"
              "<root>\n"
              "\t<Players id=\"players\" version=\"3\" currentplayer=\"Ann\">\n"
              "\t\t<Vector id=\"playernames\">\n"
              "\t\t\t<Quorvel2Player name=\"Ann\" SEED=\"-42\" INDEX=\"311\" WOD=\"5123\" MAX=\"6\">\n"
              "\t\t\t\t<Node id=\"ACHIEVEMENT\"" + achievements + " />\n"
              "\t\t\t\t<Node id=\"TRACKER\" MIVELS=\"1\" SOLVED=\"2\" HARD_SOLVED=\"1\" MODE_0=\"0\" MODE_1=\"0\" "
              "MODE_2=\"0\" MODE_3=\"0\" MODE_4=\"2\" TUTORIAL_0=\"false\" TUTORIAL_1=\"false\" TUTORIAL_2=\"true\" "
              "TUTORIAL_3=\"false\" TUTORIAL_4=\"false\" />\n"
              "\t\t\t</Quorvel2Player>\n"
              "\t\t</Vector>\n"
              "\t</Players>\n"
              "</root>\n");
    EXPECT_FALSE(std::filesystem::exists(manager->GetProfileFile("Ann") + ".!"))
        << "the whole record lives in the players list";

    clock = 7;  // a fresh reset would show this seed
    Start();
    Quorvel2Player* back = Current();
    ASSERT_NE(back, nullptr);
    EXPECT_TRUE(back->IsLoaded());
    EXPECT_EQ(back->GetName(), "Ann");
    EXPECT_EQ(back->GetSeed(), -42);
    EXPECT_EQ(back->GetIndex(), 311);
    EXPECT_EQ(back->GetWordOfDay(), 5123);
    EXPECT_EQ(back->GetMaxLength(), 6);
    EXPECT_EQ(back->GetAchievement(0), 2);
    EXPECT_EQ(back->GetAchievement(11), 1);
    EXPECT_EQ(back->GetAchievement(12), 0);
    EXPECT_EQ(back->GetSolved(), 2);
    EXPECT_EQ(back->GetHardSolved(), 1);
    EXPECT_EQ(back->GetMivels(), 1);
    EXPECT_EQ(back->GetModeCount(4), 2);
    EXPECT_EQ(back->GetModeCount(0), 0);
    EXPECT_TRUE(back->IsTutorialSeen(2));
    EXPECT_FALSE(back->IsTutorialSeen(1));
    EXPECT_EQ(back->CheckStreakAchievement(5), -1) << "an earned flag is stored with the record";
}

TEST_F(PlayerTest, RoundAndStreakChecksFireOnceAtTheirExactCounts)
{
    SmartPtr<Quorvel2Player> player(new Quorvel2Player("Ann"));
    EXPECT_EQ(player->CheckWordsFoundAchievement(4), -1);
    EXPECT_EQ(player->CheckWordsFoundAchievement(6), -1) << "passing 5 without hitting it earns nothing";
    EXPECT_EQ(player->CheckWordsFoundAchievement(5), 0);
    EXPECT_EQ(player->GetAchievement(0), Quorvel2Player::kEarned);
    EXPECT_EQ(player->CheckWordsFoundAchievement(5), -1);
    EXPECT_EQ(player->CheckWordsFoundAchievement(10), 1);
    EXPECT_EQ(player->CheckWordsFoundAchievement(20), 2);
    EXPECT_EQ(player->CheckWordsFoundAchievement(20), -1);

    player->SetAchievement(12, Quorvel2Player::kShown);
    EXPECT_EQ(player->CheckStreakAchievement(5), 11);
    EXPECT_EQ(player->CheckStreakAchievement(10), -1) << "already earned and shown";
    EXPECT_EQ(player->GetAchievement(12), Quorvel2Player::kShown) << "a shown flag is not lowered";
    EXPECT_EQ(player->CheckStreakAchievement(20), 13);
    EXPECT_EQ(player->CheckStreakAchievement(0), -1);
    EXPECT_EQ(player->GetAchievement(1), Quorvel2Player::kEarned) << "streaks and round counts are separate";
}

TEST_F(PlayerTest, TrackersCountAndEarnAtTheirThresholdsOnce)
{
    SmartPtr<Quorvel2Player> player(new Quorvel2Player("Ann"));
    std::vector<std::pair<std::int32_t, std::int32_t>> mivels;  // (count, id)
    std::vector<std::pair<std::int32_t, std::int32_t>> solved;
    for (std::int32_t i = 1; i <= 10001; ++i) {
        if (const std::int32_t id = player->CountMivel(); id != -1) {
            mivels.emplace_back(player->GetMivels(), id);
        }
        if (const std::int32_t id = player->CountSolved(); id != -1) {
            solved.emplace_back(player->GetSolved(), id);
        }
    }
    using Fired = std::vector<std::pair<std::int32_t, std::int32_t>>;
    EXPECT_EQ(mivels, (Fired{{1000, 14}, {5000, 15}, {10000, 16}}));
    EXPECT_EQ(solved, (Fired{{1000, 17}, {5000, 18}, {10000, 19}}));
    EXPECT_EQ(player->GetMivels(), 10001);

    std::int32_t hardFired = 0;
    for (std::int32_t i = 1; i <= 600; ++i) {
        const std::int32_t id = player->CountHardSolved();
        if (id != -1) {
            EXPECT_EQ(id, 23);
            EXPECT_EQ(player->GetHardSolved(), 500);
            ++hardFired;
        }
    }
    EXPECT_EQ(hardFired, 1);
}

TEST_F(PlayerTest, GamesPlayedEarnByTheLeastModeCount)
{
    SmartPtr<Quorvel2Player> player(new Quorvel2Player("Ann"));
    for (std::int32_t mode = 0; mode < 4; ++mode) {
        EXPECT_EQ(player->CountGamePlayed(mode), -1) << "mode " << mode;
    }
    EXPECT_EQ(player->CountGamePlayed(4), 20) << "counts (1,1,1,1,1)";
    EXPECT_EQ(player->CountGamePlayed(4), -1);

    for (std::int32_t mode = 0; mode < 5; ++mode) {
        while (player->GetModeCount(mode) < (mode == 2 ? 9 : 10)) {
            EXPECT_EQ(player->CountGamePlayed(mode), -1);
        }
    }
    EXPECT_EQ(player->CountGamePlayed(2), 21) << "the last mode to reach 10 earns it";

    EXPECT_EQ(player->CountGamePlayed(5), -1);
    EXPECT_EQ(player->CountGamePlayed(-1), -1);
    EXPECT_EQ(player->GetModeCount(4), 10) << "a mode out of range counts nothing";
}

TEST_F(PlayerTest, GamesPlayedTryOnlyTheBandTheLeastCountFallsIn)
{
    // 21 earned by hand while 20 never was: games below 30 earn nothing.
    SmartPtr<Quorvel2Player> player = Entry()
                                          .In("ACHIEVEMENT", "ACHIEVEMENT_21", "1")
                                          .In("TRACKER", "MODE_0", "12")
                                          .In("TRACKER", "MODE_1", "12")
                                          .In("TRACKER", "MODE_2", "12")
                                          .In("TRACKER", "MODE_3", "12")
                                          .In("TRACKER", "MODE_4", "28")
                                          .Make();
    for (std::int32_t i = 0; i < 18; ++i) {
        for (std::int32_t mode = 0; mode < 4; ++mode) {
            EXPECT_EQ(player->CountGamePlayed(mode), -1);
        }
    }
    EXPECT_EQ(player->GetAchievement(20), 0);
    EXPECT_EQ(player->GetModeCount(0), 30);
    EXPECT_EQ(player->CountGamePlayed(4), -1) << "least count 29";
    EXPECT_EQ(player->CountGamePlayed(4), 22) << "least count 30";
    EXPECT_EQ(player->GetAchievement(20), 0) << "the lower bands are not tried";
}

TEST_F(PlayerTest, TutorialFlagsAreFalseOnlyForEmptyOrFalseText)
{
    SmartPtr<Quorvel2Player> player = Entry()
                                          .In("TRACKER", "TUTORIAL_0", "false")
                                          .In("TRACKER", "TUTORIAL_1", "")
                                          .In("TRACKER", "TUTORIAL_2", "TRUE")
                                          .In("TRACKER", "TUTORIAL_3", "1")
                                          .In("TRACKER", "TUTORIAL_4", "FALSE")
                                          .Make();
    EXPECT_FALSE(player->IsTutorialSeen(0));
    EXPECT_FALSE(player->IsTutorialSeen(1));
    EXPECT_TRUE(player->IsTutorialSeen(2));
    EXPECT_TRUE(player->IsTutorialSeen(3));
    EXPECT_TRUE(player->IsTutorialSeen(4)) << "only the exact text \"false\" means not seen";
    EXPECT_FALSE(player->IsTutorialSeen(5));
}

TEST_F(PlayerTest, HostileValuesGiveDefaults)
{
    SmartPtr<Quorvel2Player> player = Entry()
                                          .Value("MAX", "300")
                                          .Value("WOD", "0x7fffffff")
                                          .In("ACHIEVEMENT", "ACHIEVEMENT_0", "7")
                                          .In("ACHIEVEMENT", "ACHIEVEMENT_1", "-1")
                                          .In("ACHIEVEMENT", "ACHIEVEMENT_2", "2")
                                          .In("ACHIEVEMENT", "ACHIEVEMENT_99", "1")
                                          .In("TRACKER", "MIVELS", "-5")
                                          .In("TRACKER", "MODE_2", "-2147483648")
                                          .In("TRACKER", "SOLVED", "99999999999999999999")
                                          .In("TRACKER", "HARD_SOLVED", "2147483647")
                                          .In("TRACKER", "MODE_1", "7")
                                          .Make();
    EXPECT_EQ(player->GetMaxLength(), 8);
    EXPECT_EQ(player->GetWordOfDay(), 0x7fffffff);
    EXPECT_EQ(player->GetSeed(), 0x23456789) << "a missing key keeps its reset value";
    EXPECT_EQ(player->GetModeCount(1), 7);
    EXPECT_EQ(player->GetAchievement(0), 0);
    EXPECT_EQ(player->GetAchievement(1), 0);
    EXPECT_EQ(player->GetAchievement(2), 2);
    EXPECT_EQ(player->GetAchievement(99), 0);
    EXPECT_EQ(player->GetMivels(), 0);
    EXPECT_EQ(player->GetModeCount(2), 0);
    EXPECT_GE(player->GetSolved(), 0);
    EXPECT_EQ(player->CountHardSolved(), -1);
    EXPECT_EQ(player->GetHardSolved(), 2147483647) << "a counter stops at the largest value";
    EXPECT_EQ(player->CheckWordsFoundAchievement(5), 0) << "a flag out of range reads as not earned";

    EXPECT_EQ(Entry().Value("MAX", "4").Make()->GetMaxLength(), 8);
    EXPECT_EQ(Entry().Value("MAX", "5").Make()->GetMaxLength(), 5);

    // Nodes where values belong and values where nodes belong read as 0.
    SmartPtr<PropertyNode> node(new PropertyNode("", "Quorvel2Player"));
    node->AddChild(new PropertyNode("SEED", "Node"));
    node->AddChild(new PropertyValue("ACHIEVEMENT", "1", true));
    SmartPtr<Quorvel2Player> mistyped(new Quorvel2Player(node.Get()));
    EXPECT_EQ(mistyped->GetSeed(), 0);
    EXPECT_EQ(mistyped->GetAchievement(0), 0);
    EXPECT_EQ(mistyped->GetName(), "");
}

TEST_F(PlayerFileTest, TruncatedOrForeignListsLoadNoPlayers)
{
    PlayerManager* manager = Start();
    auto* ann = new Quorvel2Player("Ann");
    ann->CountSolved();
    manager->AddPlayer(ann);
    ASSERT_TRUE(manager->SavePlayers());
    const std::string whole = QmvTest::ReadScrambled(StoredList());

    QmvTest::WriteScrambled(StoredList(), whole.substr(0, whole.size() / 2));
    manager = Start();
    EXPECT_EQ(manager->GetPlayers().GetCount(), 0);
    EXPECT_EQ(Current(), nullptr);
    EXPECT_TRUE(std::filesystem::exists(StoredList() + ".damaged")) << "the damaged list is kept aside";

    // An entry whose type word makes something else than a player.
    std::string foreign = whole;
    foreign.replace(foreign.find("<Quorvel2Player"), 15, "<Quorvel2Score");
    foreign.replace(foreign.find("</Quorvel2Player"), 16, "</Quorvel2Score");
    QmvTest::WriteScrambled(StoredList(), foreign);
    manager = Start();
    EXPECT_EQ(manager->GetPlayers().GetCount(), 0);
    EXPECT_EQ(Current(), nullptr);
}

}  // namespace quorvel2_player_test
