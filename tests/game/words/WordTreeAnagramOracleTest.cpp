// Anagram lists of the game's main word file against Debian's `an`, which
// lists the dictionary words that a phrase's letters make.
#include <algorithm>
#include <cstdio>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "WordTestSupport.h"
#include "game/words/WordTree.h"

namespace word_tree_anagram_oracle_test {

namespace {

using Words = std::vector<std::string>;

TEST(WordTreeAnagramOracle, ListsEqualThoseOfAn)
{
    ASSERT_TRUE(std::ifstream(wordtest::kAn).good()) << wordtest::kAn << " is missing: run scripts/setup.sh";
    WordTree tree;
    std::string error;
    ASSERT_TRUE(tree.LoadFile(wordtest::GameWordFile("Quorvel2Words.tree"), &error)) << error;

    const std::string dictionary = std::string(QMV_BINARY_DIR) + "/wordtree-oracle-dictionary.txt";
    wordtest::WriteDictionary(tree, dictionary);

    const auto pool = tree.CollectWords(WordTree::kPoolMinLength, WordTree::kPoolMaxLength);
    const std::int32_t step = pool->GetCount() / 250;
    std::size_t compared = 0;
    std::size_t nonTrivial = 0;
    for (std::int32_t i = 0; i < pool->GetCount(); i += step) {
        const std::string& source = (*pool)[i];
        Words expected = wordtest::RunAn(dictionary, source);
        Words found = wordtest::Listed(*tree.FindAnagrams(source));
        std::sort(expected.begin(), expected.end());
        std::sort(found.begin(), found.end());
        ASSERT_EQ(found, expected) << source;
        ++compared;
        nonTrivial += found.size() > 1;
    }
    EXPECT_GE(compared, 250u);
    EXPECT_GT(nonTrivial, compared / 2);
    std::remove(dictionary.c_str());
}

} // namespace

}  // namespace word_tree_anagram_oracle_test
