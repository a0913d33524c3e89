#include "WordTestSupport.h"

#include <array>
#include <cstdio>
#include <fstream>
#include <memory>
#include <sstream>

#include <gtest/gtest.h>

#include "framework/core/properties/PropertyXmlReader.h"
#include "game/words/WordTreeWriter.h"

namespace wordtest {

void LoadFromBytes(WordTree& tree, const std::string& bytes)
{
    std::istringstream in(bytes);
    ASSERT_GE(tree.Load(in, 0), 0) << "word file bytes did not load";
    // The searches the tests check are then the index's, not the walk's that
    // serves while the index is still being built.
    ASSERT_TRUE(tree.WaitForIndex());
}

Qmv2::SmartPtr<Qmv2::PropertyStore> ThroughText(Qmv2::PropertyNode* game)
{
    Qmv2::SmartPtr<Qmv2::PropertyStore> store(new Qmv2::PropertyStore());
    store->AddChild(game);
    const std::string text = store->ToXml();
    Qmv2::SmartPtr<Qmv2::PropertyStore> reread(new Qmv2::PropertyStore());
    EXPECT_TRUE(Qmv2::PropertyXmlReader::ReadInto(*reread, text.c_str(), false)) << text;
    return reread;
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

const char* const kAn = "/usr/games/an";

void LoadGameWordTrees(WordTree& main, WordTree& second)
{
    ASSERT_TRUE(std::ifstream(kAn).good()) << kAn << " is missing: run scripts/setup.sh";
    std::string error;
    ASSERT_TRUE(main.LoadFile(GameWordFile("Quorvel2Words.tree"), &error)) << error;
    ASSERT_TRUE(second.LoadFile(GameWordFile("TollivaneWords.tree"), &error)) << error;
}

std::vector<std::string> RunAn(const std::string& dictionary, const std::string& word)
{
    const std::string command = std::string(kAn) + " -w -d '" + dictionary + "' " + word;
    std::vector<std::string> words;
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), pclose);
    if (!pipe)
        return words;
    char line[256];
    while (std::fgets(line, sizeof line, pipe.get())) {
        std::string text(line);
        while (!text.empty() && (text.back() == '\n' || text.back() == '\r'))
            text.pop_back();
        if (!text.empty())
            words.push_back(text);
    }
    return words;
}

void WriteDictionary(const WordTree& tree, const std::string& path)
{
    std::ofstream out(path);
    const auto words = tree.CollectWords(1, 64);
    for (const std::string& word : *words)
        out << word << '\n';
}

} // namespace wordtest
