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

// Runs the body in a child process that file permissions bind as they bind a
// player (as root, without the right to override them) and answers its
// result, or -1 when the child did not end normally. The body's stderr is
// handed back through *messages.
int AsPlayer(int (*body)(), std::string* messages);

}  // namespace QmvTest
