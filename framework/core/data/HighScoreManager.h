// The named high-score tables (one per game mode) and their one stored file,
// "players/scores.xml" in the game data folder, kept scrambled.
#pragma once

#include <cstdint>
#include <map>
#include <string>

#include "framework/core/data/HighScoreTable.h"
#include "framework/core/object/iInstance.h"

namespace Qmv2 {

class HighScoreManager : public BaseObject, public iInstance<HighScoreManager> {
    QMV_INDEXED_TYPE(HighScoreManager)

    // Tables by name, written in name order.
    using Tables = std::map<std::string, SmartPtr<HighScoreTable>>;

    // Makes the singleton with the version (HIGHSCORES_VERSION of the basic
    // properties when empty) and answers it; the caller loads the tables.
    static HighScoreManager* Create(const std::string& version);

    // The installation number is drawn from the framework's generator.
    explicit HighScoreManager(const std::string& version);

    // The stored file's path before its scrambled suffix; its folder is
    // created. Empty when there is no data folder.
    static std::string FilePath();

    // Reads the tables of a stored file of this version (replacing tables of
    // the same names; every last score becomes -1) and then saves at once, so
    // a file of another version is replaced. No readable file: nothing happens.
    void Load();
    // Writes every table; false when nothing could be written.
    bool Save() const;

    Tables& GetTables() { return m_Tables; }
    // The table of that name, or null.
    HighScoreTable* FindTable(const std::string& name) const;
    const std::string& GetVersion() const { return m_Version; }
    std::int32_t GetUid() const { return m_Uid; }

private:
    std::string m_Version;
    Tables m_Tables;
    std::int32_t m_Uid = 0;
};

}  // namespace Qmv2
