// The game's stored player data from outside, read as the game reads it: the
// first byte picks the players list (with the current player's profile), the
// high-score tables or a saved game; the rest is the file's text, stored
// scrambled as the game stores it. What loads becomes the game's own objects
// and is saved back.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

#include "framework/core/app/Application.h"
#include "framework/core/data/HighScoreManager.h"
#include "framework/core/data/PlayerManager.h"
#include "framework/core/files/Descramble.h"
#include "framework/core/properties/PropertyStore.h"
#include "framework/core/util/FileSystem.h"
#include "game/frontend/FrontendClasses.h"

namespace {

using namespace Qmv2;

void WriteScrambled(const std::string& path, const std::uint8_t* data, std::size_t size)
{
    std::string bytes(reinterpret_cast<const char*>(data), size);
    DescrambleBuffer(reinterpret_cast<unsigned char*>(bytes.data()), bytes.size());
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const bool ready = [] {
        setenv("XDG_DATA_HOME", ("/dev/shm/qmv-fuzz-players-" + std::to_string(getpid())).c_str(), 1);
        RegisterFrontendClasses();
        Application::s_GameId = "Quorvel";
        SetDataFolderGameId("Quorvel");
        return !GameDataFolder().empty();
    }();
    if (!ready || size == 0) {
        return 0;
    }
    const std::uint8_t kind = data[0] % 3;
    ++data;
    --size;
    if (kind == 0) {
        PlayerManager* players = PlayerManager::Create("1");
        WriteScrambled(players->GetPlayersListFile() + ".!", data, size);
        // The profile of the player the list names as current, when there is one.
        WriteScrambled(players->GetProfileFile("Ann") + ".!", data, size);
        players->LoadPlayers();
        players->SavePlayers();
        PlayerManager::ReleaseInstance();
    } else if (kind == 1) {
        HighScoreManager* scores = HighScoreManager::Create("1");
        WriteScrambled(HighScoreManager::FilePath() + ".!", data, size);
        scores->Load();
        scores->Save();
        HighScoreManager::ReleaseInstance();
    } else {
        PlayerManager* players = PlayerManager::Create("1");
        const SaveGameName save("round");
        const PlayerName player("Ann");
        WriteScrambled(players->GetSaveGameFolder(player) + "/round.sav.!", data, size);
        SmartPtr<PropertyStore> store(new PropertyStore());
        if (players->LoadGame(store.Get(), save, player)) {
            players->SaveGame(store.Get(), save, player);
        }
        PlayerManager::ReleaseInstance();
    }
    return 0;
}
