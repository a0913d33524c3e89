#include "WordTestSupport.h"

#include <array>
#include <sstream>

#include <gtest/gtest.h>

#include "game/words/WordTreeWriter.h"

namespace wordtest {

void LoadFromBytes(WordTree& tree, const std::string& bytes)
{
    std::istringstream in(bytes);
    ASSERT_GE(tree.Load(in, 0), 0) << "word file bytes did not load";
}

void LoadWords(WordTree& tree, const std::vector<std::string>& words)
{
    std::ostringstream out;
    std::string error;
    ASSERT_TRUE(WordTreeWriter::Write(out, words, &error)) << error;
    LoadFromBytes(tree, out.str());
}

std::vector<std::string> Listed(const WordTree::WordList& list)
{
    return {list.begin(), list.end()};
}

std::string GameWordFile(const std::string& name)
{
    return std::string(QMV_RUN_DIR) + "/data/" + name;
}

bool CanMake(const std::string& word, const std::string& letters)
{
    std::array<int, 256> available{};
    for (unsigned char c : letters)
        ++available[c];
    for (unsigned char c : word) {
        if (--available[c] < 0)
            return false;
    }
    return true;
}

} // namespace wordtest
