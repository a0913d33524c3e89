#include <gtest/gtest.h>

#include <filesystem>
#include <type_traits>

#include "DataTestSupport.h"
#include "framework/core/data/PlayerManager.h"
#include "framework/core/object/ObjectFactory.h"
#include "framework/core/properties/BasicProperties.h"

namespace player_manager_test {

namespace fs = std::filesystem;
using Qmv2::PlayerManager;
using Qmv2::PlayerName;
using Qmv2::SaveGameName;

namespace {

class TestPlayer : public Qmv2::AbstractPlayer {
public:
    QMV_CLASS_TYPE(TestPlayer, Qmv2::AbstractPlayer)

    explicit TestPlayer(const std::string& name, std::int32_t levelValue = 0) : AbstractPlayer(name), level(levelValue) {}
    explicit TestPlayer(Qmv2::PropertyNode* node) : AbstractPlayer(node) {}

    void Save(Qmv2::PropertyNode* node) const override
    {
        AbstractPlayer::Save(node);
        node->SetTypeWord("TestPlayer");
    }
    void SaveProfile(Qmv2::PropertyNode* node) const override
    {
        if (level != 0) {
            node->AddChild(new Qmv2::PropertyValue("level", "Integer", level));
        }
    }
    void LoadProfile(Qmv2::PropertyNode* node) override { level = node->GetValue("level")->GetInt(); }
    void Deselect() override { ++deselected; }

    std::int32_t level = 0;
    int deselected = 0;
};

// Players and saved games must never swap places in a call.
static_assert(!std::is_invocable_v<decltype(&PlayerManager::SaveGameExists), PlayerManager&, PlayerName, SaveGameName>);
static_assert(!std::is_invocable_v<decltype(&PlayerManager::SaveGameExists), PlayerManager&, std::string, std::string>);
static_assert(std::is_invocable_v<decltype(&PlayerManager::SaveGameExists), PlayerManager&, SaveGameName, PlayerName>);

class PlayerManagerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        Qmv2::ObjectFactory::GetInstance()->Register<TestPlayer>("TestPlayer");
        scope = std::make_unique<QmvTest::DataFolderScope>(
            std::string("PlayerTest_") + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    }
    void TearDown() override
    {
        PlayerManager::ReleaseInstance();
        scope.reset();
    }
    // A manager as the start-up command makes it, with its list read.
    static PlayerManager* Start(const std::string& version = "3")
    {
        PlayerManager* manager = PlayerManager::Create(version);
        manager->LoadPlayers();
        return manager;
    }
    static TestPlayer* Player(std::int32_t index)
    {
        return static_cast<TestPlayer*>(PlayerManager::GetInstance()->GetPlayers()[index].Get());
    }
    static std::string StoredList() { return PlayerManager::GetInstance()->GetPlayersListFile() + ".!"; }

    std::unique_ptr<QmvTest::DataFolderScope> scope;
};

}  // namespace

TEST_F(PlayerManagerTest, PlayersProfilesAndTheCurrentPlayerRoundTrip)
{
    PlayerManager* manager = Start();
    EXPECT_EQ(manager->GetPlayers().GetCount(), 0);
    auto* ann = new TestPlayer("Ann", 5);
    manager->AddPlayer(ann);
    manager->AddPlayer(new TestPlayer("Bob", 7));
    EXPECT_EQ(manager->GetCurrentPlayer(), ann) << "the first player becomes current";
    manager->SetCurrentPlayer("Bob");
    EXPECT_EQ(ann->deselected, 1);
    EXPECT_TRUE(manager->SavePlayers());

    PlayerManager::ReleaseInstance();
    manager = Start();
    ASSERT_EQ(manager->GetPlayers().GetCount(), 2);
    EXPECT_EQ(Player(0)->GetName(), "Ann");
    EXPECT_EQ(Player(1)->GetName(), "Bob");
    ASSERT_EQ(manager->GetCurrentPlayer(), Player(1));
    EXPECT_EQ(Player(1)->level, 7) << "the current player's profile is read at start";
    EXPECT_EQ(Player(0)->level, 0);
    manager->SetCurrentPlayer("Ann");
    EXPECT_EQ(Player(0)->level, 5) << "Ann's profile was saved when she stopped being current";
}

TEST_F(PlayerManagerTest, StoredFilesAreScrambledPropertyFiles)
{
    PlayerManager* manager = Start();
    manager->AddPlayer(new TestPlayer("Ann & <Co>", 9));
    ASSERT_TRUE(manager->SavePlayers());
    const std::string raw = QmvTest::ReadBytes(StoredList());
    EXPECT_EQ(raw.find("<?xml"), std::string::npos) << "stored scrambled";
    EXPECT_EQ(QmvTest::ReadScrambled(StoredList()),
              "<?xml version=\"1.0\" encoding=\"utf-8\" ?>\n"
              "<root>\n"
              "\t<Players id=\"players\" version=\"3\" currentplayer=\"Ann &amp; &lt;Co&gt;\">\n"
              "\t\t<Vector id=\"playernames\">\n"
              "\t\t\t<TestPlayer name=\"Ann &amp; &lt;Co&gt;\" />\n"
              "\t\t</Vector>\n"
              "\t</Players>\n"
              "</root>\n");
    EXPECT_EQ(QmvTest::ReadScrambled(manager->GetProfileFile("Ann & <Co>") + ".!"),
              "<?xml version=\"1.0\" encoding=\"utf-8\" ?>\n"
              "<root>\n"
              "\t<String id=\"version\">3</String>\n"
              "\t<Player id=\"player\">\n"
              "\t\t<Integer id=\"level\">9</Integer>\n"
              "\t</Player>\n"
              "</root>\n");
}

TEST_F(PlayerManagerTest, FileNamesComeFromEscapedPlayerNames)
{
    PlayerManager* manager = Start();
    const std::string folder = scope->Folder();
    EXPECT_EQ(manager->GetProfileFile("CON"), folder + "/players/#43ON.plr");
    EXPECT_EQ(manager->GetPlayersListFile(), folder + "/players/players.plrs");
    EXPECT_EQ(manager->GetSaveGameFile(SaveGameName("N"), PlayerName("Bob")), folder + "/savegames/Bob/N.sav.!");
    EXPECT_EQ(manager->GetSaveGameFile(SaveGameName("../x"), PlayerName("Bob.")),
              folder + "/savegames/Bob#2E/#2E.#2Fx.sav.!")
        << "neither name can leave the player's folder or fuse with the next path part";
    manager->AddPlayer(new TestPlayer("Ann"));
    manager->AddPlayer(new TestPlayer("a:b"));
    EXPECT_FALSE(manager->HasPlayer("ann")) << "names compare byte for byte";
    EXPECT_EQ(manager->FindPlayer("a:b"), 1);
    EXPECT_EQ(manager->FindPlayer("a#3Ab"), 2) << "the escaping is one-to-one: no two names share files";
    EXPECT_EQ(manager->FindPlayer("Zed"), 2);
}

TEST_F(PlayerManagerTest, DeletingTheCurrentPlayerRemovesItsFilesAndNothingElse)
{
    PlayerManager* manager = Start();
    auto* ann = new TestPlayer("Ann", 1);
    manager->AddPlayer(ann);
    manager->AddPlayer(new TestPlayer("Bob", 2));
    manager->SavePlayers();
    Qmv2::SmartPtr<Qmv2::PropertyStore> round(new Qmv2::PropertyStore());
    round->AddChild(new Qmv2::PropertyValue("score", "Integer", 12));
    ASSERT_TRUE(manager->SaveGame(round.Get(), SaveGameName("classic"), PlayerName("Ann")));
    ASSERT_TRUE(manager->SaveGame(round.Get(), SaveGameName("classic"), PlayerName("Bob")));
    const std::string annProfile = manager->GetProfileFile("Ann") + ".!";
    ASSERT_TRUE(fs::exists(annProfile));

    manager->DeletePlayer("");
    EXPECT_EQ(manager->GetPlayers().GetCount(), 2) << "an empty name deletes nothing";
    EXPECT_TRUE(fs::exists(scope->Folder() + "/savegames/Bob"));

    Qmv2::SmartPtr<TestPlayer> keep(ann);
    manager->DeletePlayer("Ann");
    EXPECT_EQ(ann->deselected, 1);
    EXPECT_EQ(manager->GetCurrentPlayer(), nullptr);
    EXPECT_FALSE(fs::exists(annProfile));
    EXPECT_FALSE(fs::exists(scope->Folder() + "/savegames/Ann"));
    EXPECT_TRUE(manager->SaveGameExists(SaveGameName("classic"), PlayerName("Bob")));
    const std::string list = QmvTest::ReadScrambled(StoredList());
    EXPECT_EQ(list.find("currentplayer"), std::string::npos);
    EXPECT_NE(list.find("name=\"Bob\""), std::string::npos);
    EXPECT_EQ(list.find("name=\"Ann\""), std::string::npos);
}

TEST_F(PlayerManagerTest, SavedGamesRoundTripAndCanBeDeleted)
{
    PlayerManager* manager = Start();
    const SaveGameName save("blitz");
    const PlayerName bob("Bob");
    EXPECT_FALSE(manager->SaveGameExists(save, bob));
    Qmv2::SmartPtr<Qmv2::PropertyStore> round(new Qmv2::PropertyStore());
    round->AddChild(new Qmv2::PropertyValue("word", "String", "rivets"));
    ASSERT_TRUE(manager->SaveGame(round.Get(), save, bob));
    EXPECT_TRUE(manager->SaveGameExists(save, bob));
    Qmv2::SmartPtr<Qmv2::PropertyStore> loaded(new Qmv2::PropertyStore());
    ASSERT_TRUE(manager->LoadGame(loaded.Get(), save, bob));
    EXPECT_EQ(loaded->GetString("word"), "rivets");
    manager->DeleteSaveGame(save, bob);
    EXPECT_FALSE(manager->SaveGameExists(save, bob));
    Qmv2::SmartPtr<Qmv2::PropertyStore> none(new Qmv2::PropertyStore());
    EXPECT_FALSE(manager->LoadGame(none.Get(), save, bob));
}

// A saved game the player may not read cannot be copied aside: it is said
// once, and neither the next save nor the deletion that ends a game touch it.
TEST_F(PlayerManagerTest, AnUnreadableSavedGameIsSaidOnceAndNeverDeletedOrSavedOver)
{
    PlayerManager* manager = Start();
    Qmv2::SmartPtr<Qmv2::PropertyStore> round(new Qmv2::PropertyStore());
    round->AddChild(new Qmv2::PropertyValue("word", "String", "rivets"));
    ASSERT_TRUE(manager->SaveGame(round.Get(), SaveGameName("blitz"), PlayerName("Bob")));
    const std::string file = manager->GetSaveGameFile(SaveGameName("blitz"), PlayerName("Bob"));
    const std::string whole = QmvTest::ReadBytes(file);
    fs::permissions(file, fs::perms::none);
    std::string said;
    EXPECT_EQ(QmvTest::AsPlayer(
                  [] {
                      PlayerManager* player = PlayerManager::GetInstance();
                      const SaveGameName save("blitz");
                      const PlayerName bob("Bob");
                      Qmv2::SmartPtr<Qmv2::PropertyStore> store(new Qmv2::PropertyStore());
                      if (player->LoadGame(store.Get(), save, bob) || player->KeepDamagedSaveGame(save, bob) ||
                          player->KeepDamagedSaveGame(save, bob)) {
                          return 1;
                      }
                      player->DeleteSaveGame(save, bob);
                      return player->SaveGame(store.Get(), save, bob) ? 2 : 0;
                  },
                  &said),
              0);
    std::error_code gone;
    fs::permissions(file, fs::perms::owner_read | fs::perms::owner_write, gone);
    EXPECT_EQ(QmvTest::ReadBytes(file), whole) << "the saved game is still there";
    EXPECT_FALSE(fs::exists(file + ".damaged"));
    EXPECT_NE(said.find("The saved game " + file + " could not be read ("), std::string::npos) << said;
    EXPECT_NE(said.find("no copy of it could be made"), std::string::npos) << said;
    EXPECT_EQ(said.find("[message box]", said.find("[message box]") + 1), std::string::npos) << "said once: " << said;
}

TEST_F(PlayerManagerTest, HostileEntriesMakeNoPlayersAndAreKept)
{
    Qmv2::BasicProperties::SetInstance(new Qmv2::BasicProperties);
    Qmv2::BasicProperties::GetInstance()->SetString("GAME_TITLE", "Quorvel");
    const std::string list = scope->Folder() + "/players/players.plrs.!";
    QmvTest::WriteScrambled(list, "<root><Players id=\"players\" version=\"3\" currentplayer=\"Ghost\">"
                                  "<Vector id=\"playernames\">"
                                  "<HighScoreEntry playername=\"Mallory\" scorevalue=\"1\"/>"
                                  "<String id=\"GAME_TITLE\">owned</String>"
                                  "<NoSuchClass name=\"Eve\"/>"
                                  "<TestPlayer name=\"Ann\"/>"
                                  "<TestPlayer name=\"Ann\"/>"
                                  "<TestPlayer/>"
                                  "</Vector></Players></root>");
    PlayerManager* manager = Start();
    ASSERT_EQ(manager->GetPlayers().GetCount(), 1);
    EXPECT_EQ(Player(0)->GetName(), "Ann");
    EXPECT_EQ(manager->GetCurrentPlayer(), nullptr) << "a current player that is not in the list is ignored";
    EXPECT_EQ(Qmv2::BasicProperties::GetInstance()->GetString("GAME_TITLE"), "Quorvel");
    ASSERT_TRUE(manager->SavePlayers());
    const std::string written = QmvTest::ReadScrambled(list);
    EXPECT_NE(written.find("Mallory"), std::string::npos) << "entries that made no player are written back";
    EXPECT_NE(written.find("Eve"), std::string::npos);
    Qmv2::BasicProperties::ReleaseInstance();
}

TEST_F(PlayerManagerTest, DamagedOrForeignListsLoadNothingAndAreKeptAside)
{
    PlayerManager* manager = Start("3");
    manager->AddPlayer(new TestPlayer("Ann", 4));
    ASSERT_TRUE(manager->SavePlayers());
    const std::string list = StoredList();
    const std::string whole = QmvTest::ReadBytes(list);
    PlayerManager::ReleaseInstance();

    manager = Start("4");
    EXPECT_EQ(manager->GetPlayers().GetCount(), 0) << "a list of another version is not read";
    EXPECT_EQ(QmvTest::ReadBytes(list + ".damaged"), whole);
    PlayerManager::ReleaseInstance();

    QmvTest::WriteBytes(list, whole.substr(0, whole.size() / 2));
    manager = Start("3");
    EXPECT_EQ(manager->GetPlayers().GetCount(), 0);
    EXPECT_EQ(QmvTest::ReadBytes(list + ".damaged").size(), whole.size() / 2);
    PlayerManager::ReleaseInstance();

    QmvTest::WriteBytes(list, std::string(1 << 16, '\xA5'));
    manager = Start("3");
    EXPECT_EQ(manager->GetPlayers().GetCount(), 0);
}

TEST_F(PlayerManagerTest, UnreadableListsStayAsTheyAreAndFailedSavesAreSaid)
{
    PlayerManager* manager = Start("3");
    manager->AddPlayer(new TestPlayer("Ann", 4));
    manager->AddPlayer(new TestPlayer("Bob"));
    ASSERT_TRUE(manager->SavePlayers());
    const std::string list = StoredList();
    const fs::path folder = fs::path(list).parent_path();
    const std::string whole = QmvTest::ReadBytes(list);
    PlayerManager::ReleaseInstance();

    // A list the player may not read: no copy can be made, so the game goes
    // on without it and never saves over it.
    fs::permissions(list, fs::perms::none);
    std::string said;
    EXPECT_EQ(QmvTest::AsPlayer(
                  [] {
                      PlayerManager* unread = Start("3");
                      if (unread->GetPlayers().GetCount() != 0) {
                          return 1;
                      }
                      unread->AddPlayer(new TestPlayer("Cy"));
                      return unread->SavePlayers() ? 2 : 0;
                  },
                  &said),
              0);
    fs::permissions(list, fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_EQ(QmvTest::ReadBytes(list), whole) << "every player in it is still there";
    EXPECT_FALSE(fs::exists(list + ".damaged"));
    EXPECT_NE(said.find(list + " could not be read"), std::string::npos) << said;
    EXPECT_NE(said.find("no copy of it could be made"), std::string::npos) << said;
    EXPECT_EQ(said.find("is kept as"), std::string::npos) << said;

    // A folder the player may not write to: the list is read, every save
    // fails, and the player is told once.
    fs::permissions(folder, fs::perms::owner_read | fs::perms::owner_exec);
    EXPECT_EQ(QmvTest::AsPlayer(
                  [] {
                      PlayerManager* readOnly = Start("3");
                      if (readOnly->GetPlayers().GetCount() != 2) {
                          return 1;
                      }
                      readOnly->AddPlayer(new TestPlayer("Cy"));
                      return readOnly->SavePlayers() || readOnly->SavePlayers() ? 2 : 0;
                  },
                  &said),
              0);
    fs::permissions(folder, fs::perms::owner_all);
    EXPECT_EQ(QmvTest::ReadBytes(list), whole);
    const std::size_t first = said.find("Could not save " + list);
    EXPECT_NE(first, std::string::npos) << said;
    EXPECT_EQ(said.find("[message box]", said.find("[message box]") + 1), std::string::npos)
        << "one message a run: " << said;
}

TEST(AbstractPlayerTest, ARecordIsNamedOnlyWhenItReceivedAName)
{
    EXPECT_TRUE(TestPlayer("Ann").IsNamed());
    EXPECT_FALSE(TestPlayer("").IsNamed());

    // An entry whose "name" is empty was still given one; an entry without
    // the key was not, though both read as the empty name.
    Qmv2::SmartPtr<Qmv2::PropertyNode> given(new Qmv2::PropertyNode("player"));
    given->AddChild(new Qmv2::PropertyValue("name", "", true));
    Qmv2::SmartPtr<Qmv2::PropertyNode> bare(new Qmv2::PropertyNode("player"));
    TestPlayer fromGiven(given.Get());
    TestPlayer fromBare(bare.Get());
    EXPECT_TRUE(fromGiven.IsNamed());
    EXPECT_FALSE(fromBare.IsNamed());
    EXPECT_EQ(fromBare.GetName(), "");

    // Saving writes the empty name as well, so the saved entry reads back named.
    Qmv2::SmartPtr<Qmv2::PropertyNode> saved(new Qmv2::PropertyNode("player"));
    fromBare.Save(saved.Get());
    ASSERT_TRUE(saved->HasChild("name"));
    EXPECT_TRUE(TestPlayer(saved.Get()).IsNamed());
    EXPECT_EQ(saved->GetString("name"), "");
}

}  // namespace player_manager_test
