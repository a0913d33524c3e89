// Crossword boards of real rounds, judged by an independent checker
// (crossword_check.py, written from the board's rules alone) and by Debian's
// `an`: thousands of boards are dealt as the game deals them, saved through
// the table, and handed to the checker in one file.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include <gtest/gtest.h>

#include "WordTestSupport.h"
#include "framework/core/object/SmartPtr.h"
#include "framework/core/properties/PropertyNode.h"
#include "framework/core/properties/PropertyValue.h"
#include "framework/core/properties/PropertyVector.h"
#include "framework/core/properties/PropertyXmlWriter.h"
#include "game/words/CrosswordTable.h"
#include "game/words/WordTree.h"

namespace crossword_table_oracle_test {

using namespace Qmv2;

namespace {

// The round's word list as the game builds it for round 1: the source's
// anagrams shuffled, up to 4..10 entries visited, the source word last.
CrosswordTable::WordList DealWords(WordTree::WordList anagrams, const std::string& source)
{
    for (std::int32_t i = anagrams.GetCount(); i > 1; --i)
        std::swap(anagrams[i - 1], anagrams[std::rand() % i]);
    std::int32_t count = std::min(std::rand() % 4 + 4, 10);
    CrosswordTable::WordList words;
    for (std::int32_t i = 0; i < anagrams.GetCount() && count > 0; ++i, --count) {
        if (anagrams[i] != source)
            words.PushBack(anagrams[i]);
    }
    words.PushBack(source);
    return words;
}

}  // namespace

TEST(CrosswordTableOracle, GeneratedBoardsKeepTheRules)
{
    ASSERT_TRUE(std::ifstream(wordtest::kAn).good()) << wordtest::kAn << " is missing: run scripts/setup.sh";
    WordTree main;
    std::string error;
    ASSERT_TRUE(main.LoadFile(wordtest::GameWordFile("Quorvel2Words.tree"), &error)) << error;
    const std::string dictionary = std::string(QMV_BINARY_DIR) + "/crossword-oracle-main.txt";
    const std::string boardsFile = std::string(QMV_BINARY_DIR) + "/crossword-oracle-boards.xml";
    wordtest::WriteDictionary(main, dictionary);

    std::srand(19);
    const auto pool = main.CollectWords(WordTree::kPoolMinLength, WordTree::kPoolMaxLength);
    const std::int32_t step = std::max(pool->GetCount() / 500, 1);
    SmartPtr<PropertyNode> root(new PropertyNode("DATA"));
    auto* list = new PropertyVector("BOARD_LIST");
    root->AddChild(list);
    std::int32_t boards = 0;
    std::int32_t failed = 0;
    std::int32_t sources = 0;
    for (std::int32_t i = 0; i < pool->GetCount() && boards < 4000; i += step) {
        const std::string source = (*pool)[i];
        const auto anagrams = main.FindAnagrams(source);
        // The game deals only a source that is its own single full-length anagram.
        const auto full = std::count_if(anagrams->begin(), anagrams->end(),
                                        [&](const std::string& w) { return w.size() == source.size(); });
        if (full != 1 || anagrams->GetCount() < 4)
            continue;
        ++sources;
        for (int round = 0; round < 12; ++round) {
            SmartPtr<CrosswordTable> table(new CrosswordTable(0.0f, 0.0f));
            table->words = DealWords(*anagrams, source);
            // A board the generator gave up on keeps the words placed so
            // far; they must keep the rules as well.
            const bool complete = table->Generate();
            failed += complete ? 0 : 1;
            auto* board = new PropertyNode("BOARD");
            board->AddChild(new PropertyValue("SOURCE", "String", source));
            board->AddChild(new PropertyValue("WORD_COUNT", "Integer", std::to_string(table->words.GetCount())));
            board->AddBoolean("COMPLETE", complete);
            board->AddChild(table->Save());
            list->AddItem(board);
            ++boards;
        }
    }
    std::ofstream(boardsFile) << PropertyXmlWriter::WriteDocument(*root);
    EXPECT_GE(boards - failed, 1500);
    EXPECT_GE(sources, 100);

    const std::string command = "python3 '" + std::string(QMV_SOURCE_DIR) + "/tests/game/words/crossword_check.py' '" +
                                boardsFile + "' '" + dictionary + "' " + wordtest::kAn + " 2>&1";
    FILE* pipe = popen(command.c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    std::string output;
    char buffer[4096];
    while (fgets(buffer, sizeof buffer, pipe) != nullptr)
        output += buffer;
    const int status = pclose(pipe);
    EXPECT_EQ(status, 0) << output;
    EXPECT_NE(output.find("boards checked: " + std::to_string(boards)), std::string::npos) << output;
    std::remove(dictionary.c_str());
    std::remove(boardsFile.c_str());
}

}  // namespace crossword_table_oracle_test
