// The players of the machine, one of them current, and their files in the
// game data folder, all stored scrambled: the players list
// (players/players.plrs), one profile per player (players/<name>.plr) and
// saved games (savegames/<name>/<save>.sav). Everything read back is
// untrusted: entries that do not make players are kept aside, never lost.
#pragma once

#include <cstdint>
#include <string>

#include "framework/core/data/AbstractPlayer.h"
#include "framework/core/object/GFVector.h"
#include "framework/core/object/SmartPtr.h"
#include "framework/core/object/iInstance.h"
#include "framework/core/properties/PropertyStore.h"

namespace Qmv2 {

// The name a game mode saves its round under. A distinct type, so that a save
// name and a player name can never change places in a call.
struct SaveGameName {
    explicit SaveGameName(std::string text) : m_Text(std::move(text)) {}
    std::string m_Text;
};

struct PlayerName {
    explicit PlayerName(std::string text) : m_Text(std::move(text)) {}
    std::string m_Text;
};

class PlayerManager : public BaseObject, public iInstance<PlayerManager> {
    QMV_INDEXED_TYPE(PlayerManager)

    using Players = GFVector<SmartPtr<AbstractPlayer>>;

    // Makes the singleton with the version (PLAYERS_VERSION of the basic
    // properties when empty), scrambled files on. Answers it.
    static PlayerManager* Create(const std::string& version);

    explicit PlayerManager(const std::string& version);
    ~PlayerManager() override;

    // Fills the list from the node: a player per "playernames" entry whose
    // type word makes an AbstractPlayer, then the current player by name.
    virtual void LoadFromNode(PropertyNode* node);
    virtual void SaveToNode(PropertyNode* node) const;

    // Reads the players list and the current player's profile.
    void LoadPlayers();
    // Writes the players list and the current player's profile; false when a
    // file could not be written or there is no data folder.
    bool SavePlayers();
    void LoadPlayer();
    bool SavePlayer();

    // Appends the player; the first player becomes current.
    void AddPlayer(AbstractPlayer* player);
    bool HasPlayer(const std::string& name) const;
    // Position of the first player whose escaped name equals the escaped
    // `name`; GetPlayers().GetCount() when none does.
    std::int32_t FindPlayer(const std::string& name) const;
    // Saves and deselects the current player, then makes `name` current and
    // loads its profile; an unknown name leaves no current player.
    void SetCurrentPlayer(const std::string& name);
    // Removes the player with its profile and saved games and saves the list.
    // An empty or unknown name removes nothing.
    void DeletePlayer(const std::string& name);

    AbstractPlayer* GetCurrentPlayer() const { return m_CurrentPlayer; }
    const Players& GetPlayers() const { return m_Players; }
    const std::string& GetVersion() const { return m_Version; }
    void SetScrambled(bool scrambled) { m_Scrambled = scrambled; }

    // Paths before the scrambled-file suffix; empty without a data folder.
    std::string GetPlayersListFile() const;
    std::string GetProfileFile(const std::string& name) const;
    std::string GetSaveGameFolder(const PlayerName& player) const;
    // The stored name of a saved game (with ".!" when scrambling).
    std::string GetSaveGameFile(const SaveGameName& save, const PlayerName& player) const;
    bool SaveGameExists(const SaveGameName& save, const PlayerName& player) const;
    // Removes the saved game, unless it is a damaged one that could not be
    // copied aside (KeepDamagedSaveGame): that stays as it is.
    void DeleteSaveGame(const SaveGameName& save, const PlayerName& player) const;
    // A saved game that could not be read or used: kept as "<file>.damaged"
    // and the player told. False when no copy could be made.
    bool KeepDamagedSaveGame(const SaveGameName& save, const PlayerName& player) const;
    // Reads the saved game into the store; false when it is missing or damaged.
    bool LoadGame(PropertyStore* store, const SaveGameName& save, const PlayerName& player) const;
    // Writes the store's contents as the saved game; false on failure.
    bool SaveGame(PropertyStore* store, const SaveGameName& save, const PlayerName& player) const;

private:
    std::uint32_t Flags() const;
    std::string PlayersFolder() const;
    std::string SaveGamePath(const SaveGameName& save, const PlayerName& player) const;
    void KeepDamagedList(const std::string& path) const;

    Players m_Players;
    std::string m_Version;
    std::string m_PlayersFolderName = "players";
    std::string m_SaveGamesFolderName = "savegames";
    AbstractPlayer* m_CurrentPlayer = nullptr;
    bool m_Scrambled = false;
    // Players-list entries that made no player, written back unchanged.
    GFVector<SmartPtr<AbstractProperty>> m_Unreadable;
};

}  // namespace Qmv2
