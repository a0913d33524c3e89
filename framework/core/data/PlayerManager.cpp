#include "framework/core/data/PlayerManager.h"

#include "framework/core/data/StoredObject.h"
#include "framework/core/files/FileLoader.h"
#include "framework/core/files/FilePath.h"
#include "framework/core/files/FileProblems.h"
#include "framework/core/properties/BasicProperties.h"
#include "framework/core/util/FileSystem.h"
#include "framework/core/util/Platform.h"
#include "platform/win32/AtomicFile.h"

namespace Qmv2 {

namespace {

// A folder name from a player's name. A trailing "." is escaped as well: the
// path rules drop every "./", which would fuse the folder with the file name.
std::string PlayerFolderName(const std::string& name)
{
    std::string escaped = EscapeFileName(name);
    if (!escaped.empty() && escaped.back() == '.') {
        escaped.replace(escaped.size() - 1, 1, "#2E");
    }
    return escaped;
}

}  // namespace

PlayerManager* PlayerManager::Create(const std::string& version)
{
    std::string effective = version;
    if (effective.empty()) {
        if (BasicProperties* basic = BasicProperties::GetInstance()) {
            effective = basic->GetString("PLAYERS_VERSION");
        }
    }
    auto* manager = new PlayerManager(effective);
    SetInstance(manager);
    manager->m_Scrambled = true;
    return manager;
}

PlayerManager::PlayerManager(const std::string& version) : m_Version(version) {}

PlayerManager::~PlayerManager()
{
    m_CurrentPlayer = nullptr;
    m_Players.Clear();
}

std::uint32_t PlayerManager::Flags() const
{
    return m_Scrambled ? LOAD_SCRAMBLED : 0;
}

std::string PlayerManager::PlayersFolder() const
{
    const std::string& data = GameDataFolder();
    return data.empty() ? std::string() : data + "/" + m_PlayersFolderName;
}

std::string PlayerManager::GetPlayersListFile() const
{
    const std::string folder = PlayersFolder();
    return folder.empty() ? folder : folder + "/" + m_PlayersFolderName + ".plrs";
}

std::string PlayerManager::GetProfileFile(const std::string& name) const
{
    const std::string folder = PlayersFolder();
    const std::string escaped = EscapeFileName(name);
    return folder.empty() || escaped.empty() ? std::string() : folder + "/" + escaped + ".plr";
}

std::string PlayerManager::GetSaveGameFolder(const PlayerName& player) const
{
    const std::string& data = GameDataFolder();
    const std::string escaped = PlayerFolderName(player.m_Text);
    return data.empty() || escaped.empty() ? std::string() : data + "/" + m_SaveGamesFolderName + "/" + escaped;
}

std::string PlayerManager::SaveGamePath(const SaveGameName& save, const PlayerName& player) const
{
    const std::string folder = GetSaveGameFolder(player);
    const std::string file = EscapeFileName(save.m_Text);
    return folder.empty() || file.empty() ? std::string() : folder + "/" + file + ".sav";
}

std::string PlayerManager::GetSaveGameFile(const SaveGameName& save, const PlayerName& player) const
{
    std::uint32_t flags = Flags();
    const std::string path = SaveGamePath(save, player);
    return path.empty() ? path : GetLoadFileName(flags, path);
}

bool PlayerManager::SaveGameExists(const SaveGameName& save, const PlayerName& player) const
{
    const std::string file = GetSaveGameFile(save, player);
    return !file.empty() && FileExists(file);
}

void PlayerManager::DeleteSaveGame(const SaveGameName& save, const PlayerName& player) const
{
    if (SaveGameExists(save, player) && !platform::IsProtectedFile(GetSaveGameFile(save, player))) {
        DeleteFile(GetSaveGameFile(save, player));
    }
}

bool PlayerManager::KeepDamagedSaveGame(const SaveGameName& save, const PlayerName& player) const
{
    const std::string path = SaveGamePath(save, player);
    return path.empty() || FileProblems::KeepDamagedFile(path, Flags(), "The saved game", "a new game starts instead");
}

bool PlayerManager::LoadGame(PropertyStore* store, const SaveGameName& save, const PlayerName& player) const
{
    const std::string path = SaveGamePath(save, player);
    if (store == nullptr || path.empty()) {
        return false;
    }
    store->SetLoadFlags(Flags());
    return store->AddFile(path);
}

bool PlayerManager::SaveGame(PropertyStore* store, const SaveGameName& save, const PlayerName& player) const
{
    const std::string path = SaveGamePath(save, player);
    if (store == nullptr || path.empty()) {
        return false;
    }
    CreateDirectoryChain(GetSaveGameFolder(player));
    SmartPtr<PropertyStore> target(new PropertyStore(path));
    target->SetLoadFlags(Flags());
    for (const SmartPtr<AbstractProperty>& child : store->GetChildren()) {
        target->AddChild(child.Get());
    }
    return target->SaveFile();
}

void PlayerManager::LoadFromNode(PropertyNode* node)
{
    node = PropertyNode::AsNode(node);
    for (const SmartPtr<AbstractProperty>& item : node->GetVector("playernames")->GetItems()) {
        SmartPtr<BaseObject> made = CreateStoredObject(item.Get(), AbstractPlayer::s_Type);
        auto* player = static_cast<AbstractPlayer*>(made.Get());
        if (player == nullptr || player->GetName().empty() || HasPlayer(player->GetName())) {
            m_Unreadable.PushBack(item);
            continue;
        }
        m_Players.PushBack(SmartPtr<AbstractPlayer>(player));
    }
    if (node->HasChild("currentplayer")) {
        const std::int32_t found = FindPlayer(node->GetString("currentplayer"));
        m_CurrentPlayer = found < m_Players.GetCount() ? m_Players[found].Get() : nullptr;
    }
}

void PlayerManager::SaveToNode(PropertyNode* node) const
{
    node = PropertyNode::AsNode(node);
    node->AddChild(new PropertyValue("version", m_Version, true));
    if (m_CurrentPlayer != nullptr) {
        node->AddChild(new PropertyValue("currentplayer", m_CurrentPlayer->GetName(), true));
    }
    auto* names = new PropertyVector("playernames");
    node->AddChild(names);
    for (const SmartPtr<AbstractPlayer>& player : m_Players) {
        auto* entry = new PropertyNode();
        names->AddItem(entry);
        player->Save(entry);
    }
    for (const SmartPtr<AbstractProperty>& kept : m_Unreadable) {
        names->AddItem(kept.Get());
    }
}

void PlayerManager::KeepDamagedList(const std::string& path) const
{
    FileProblems::KeepDamagedFile(path, Flags(), "The list of players", "the game goes on without the players in it");
}

void PlayerManager::LoadPlayers()
{
    const std::string path = GetPlayersListFile();
    if (path.empty()) {
        return;
    }
    SmartPtr<PropertyStore> store(new PropertyStore());
    store->SetLoadFlags(Flags());
    if (!store->CanLoad(path) || !store->AddFile(path)) {
        KeepDamagedList(path);
        return;
    }
    PropertyNode* players = PropertyNode::AsNode(store->GetChild("players"));
    if (players->GetString("version") != m_Version) {
        Platform::Log("The players list has version '%s', not '%s'; not read\n",
                      players->GetString("version").c_str(), m_Version.c_str());
        KeepDamagedList(path);
        return;
    }
    LoadFromNode(players);
    if (m_Players.GetCount() > 0) {
        LoadPlayer();
    }
}

bool PlayerManager::SavePlayers()
{
    const std::string path = GetPlayersListFile();
    if (path.empty()) {
        return false;
    }
    CreateDirectoryChain(PlayersFolder());
    SmartPtr<PropertyStore> store(new PropertyStore(path));
    auto* node = new PropertyNode("players", "Players");
    store->AddChild(node);
    SaveToNode(node);
    store->SetLoadFlags(Flags());
    bool saved = store->SaveFile();
    if (m_Players.GetCount() > 0) {
        saved = SavePlayer() && saved;
    }
    return saved;
}

void PlayerManager::LoadPlayer()
{
    if (m_CurrentPlayer == nullptr) {
        return;
    }
    const std::string path = GetProfileFile(m_CurrentPlayer->GetName());
    if (path.empty()) {
        return;
    }
    SmartPtr<PropertyStore> store(new PropertyStore());
    store->SetLoadFlags(Flags());
    if (!store->CanLoad(path) || !store->AddFile(path)) {
        FileProblems::KeepDamagedFile(path, Flags(), "The player profile", "the player goes on with a new profile");
        return;
    }
    if (!store->HasChild("version") || store->GetString("version") != m_Version) {
        Platform::Log("The profile of %s has another version; not read\n", m_CurrentPlayer->GetName().c_str());
        return;
    }
    m_CurrentPlayer->LoadProfile(PropertyNode::AsNode(store->GetChild("player")));
}

bool PlayerManager::SavePlayer()
{
    if (m_CurrentPlayer == nullptr) {
        return true;
    }
    SmartPtr<PropertyNode> node(new PropertyNode("player", "Player"));
    m_CurrentPlayer->SaveProfile(node.Get());
    if (node->GetChildCount() == 0) {
        return true;
    }
    const std::string path = GetProfileFile(m_CurrentPlayer->GetName());
    if (path.empty()) {
        return false;
    }
    CreateDirectoryChain(PlayersFolder());
    SmartPtr<PropertyStore> store(new PropertyStore(path));
    store->SetLoadFlags(Flags());
    store->AddChild(new PropertyValue("version", m_Version, false));
    store->AddChild(node.Get());
    return store->SaveFile();
}

void PlayerManager::AddPlayer(AbstractPlayer* player)
{
    if (player == nullptr) {
        return;
    }
    m_Players.PushBack(SmartPtr<AbstractPlayer>(player));
    if (m_Players.GetCount() == 1) {
        m_CurrentPlayer = player;
    }
}

bool PlayerManager::HasPlayer(const std::string& name) const
{
    return FindPlayer(name) < m_Players.GetCount();
}

std::int32_t PlayerManager::FindPlayer(const std::string& name) const
{
    const std::string wanted = EscapeFileName(name);
    for (std::int32_t i = 0; i < m_Players.GetCount(); ++i) {
        if (EscapeFileName(m_Players[i]->GetName()) == wanted) {
            return i;
        }
    }
    return m_Players.GetCount();
}

void PlayerManager::SetCurrentPlayer(const std::string& name)
{
    if (m_CurrentPlayer != nullptr) {
        SavePlayer();
        m_CurrentPlayer->Deselect();
    }
    const std::int32_t found = FindPlayer(name);
    m_CurrentPlayer = found < m_Players.GetCount() ? m_Players[found].Get() : nullptr;
    LoadPlayer();
}

void PlayerManager::DeletePlayer(const std::string& name)
{
    const std::int32_t found = FindPlayer(name);
    if (name.empty() || found >= m_Players.GetCount()) {
        return;
    }
    SmartPtr<AbstractPlayer> player = m_Players[found];
    if (player.Get() == m_CurrentPlayer) {
        m_CurrentPlayer->Deselect();
        m_CurrentPlayer = nullptr;
    }
    const std::string folder = GetSaveGameFolder(PlayerName(player->GetName()));
    if (!folder.empty()) {
        DeleteDirectoryTree(folder);
    }
    const std::string profile = GetProfileFile(player->GetName());
    if (!profile.empty()) {
        std::uint32_t flags = Flags();
        DeleteFile(GetLoadFileName(flags, profile));
    }
    m_Players.Erase(m_Players.begin() + found, m_Players.begin() + found + 1);
    SavePlayers();
}

}  // namespace Qmv2
