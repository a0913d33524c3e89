// Shared pieces of the settings, player and score tests: a private game data
// folder per test and reading stored scrambled files.
#pragma once

#include <string>

namespace QmvTest {

// Gives the test a game id of its own (so its data folder is fresh) and
// removes that folder afterwards.
class DataFolderScope {
public:
    explicit DataFolderScope(const std::string& gameId);
    ~DataFolderScope();
    const std::string& Folder() const { return m_Folder; }

private:
    std::string m_Folder;
};

std::string ReadBytes(const std::string& path);
void WriteBytes(const std::string& path, const std::string& bytes);
// The file's bytes descrambled.
std::string ReadScrambled(const std::string& path);
// Scrambles the text and writes it.
void WriteScrambled(const std::string& path, const std::string& text);

}  // namespace QmvTest
