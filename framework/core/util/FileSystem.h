// File-system helpers and the folders where the game keeps its saved data.
// All paths are UTF-8 and may use "\" or "/" as separator.
#pragma once

#include <string>

namespace Qmv2 {

bool DeleteFile(const std::string& path);
// True when the path names a file that can be opened (a folder does not count).
bool FileExists(const std::string& path);
// Creates the folder and every missing ancestor; failures are ignored.
void CreateDirectoryChain(const std::string& path);
// Deletes the folder with everything in it. Symbolic links inside are
// removed themselves, never followed, so nothing outside the folder is lost.
void DeleteDirectoryTree(const std::string& folder);
std::string GetCurrentDirectory();
// The program's own file, and the folder that holds it.
std::string GetModuleFileName();
std::string GetModuleDirectory();
// Position of the last occurrence of the character, -1 when absent.
int FindLastChar(char character, const std::string& text);

// The game id that names the game data folder; the "gameid" start-up command
// sets it ("<untitled>" until then). Changing it forgets the cached folder.
void SetDataFolderGameId(const std::string& gameId);
// "<common application-data folder>/Orvendale/Games", created on first use;
// the user's application-data folder when the common one cannot be had;
// empty when neither can.
const std::string& SharedDataFolder();
// SharedDataFolder, "/" and the game id made safe as a file name, created on
// first use. Empty when there is no shared data folder: callers must not
// write anything then, since an empty folder would put their files at the root.
const std::string& GameDataFolder();
// Opens the file to every user of the machine where the system has access
// lists to change; false when the security library cannot be loaded.
bool GrantEveryoneAccess(const std::string& path);

}  // namespace Qmv2
