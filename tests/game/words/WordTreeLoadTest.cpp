// Reading word files into the trie buffer, and walking it.
#include <algorithm>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "WordTestSupport.h"
#include "game/words/WordTree.h"

namespace word_tree_load_test {

namespace {

// The words a, ab and ac.
const std::string kSmallFile = "a0bc111";

std::vector<int> Bytes(const WordTree& tree, int count)
{
    return {tree.GetNodes(), tree.GetNodes() + count};
}

TEST(WordTreeLoad, SmallFileBecomesNineteenBytesWithExactHeaders)
{
    WordTree tree;
    std::istringstream in(kSmallFile);
    ASSERT_EQ(tree.Load(in, 0), 19);
    const std::vector<int> expected = {
        0x13, 0x00, 0x00, 0x01, 'a',            // root: 19 bytes, 1 child
        0x0E, 0x00, 0x00, 0x82, 'b', 'c',       // a: 14 bytes, 2 children, word
        0x04, 0x00, 0x00, 0x80,                 // ab: word
        0x04, 0x00, 0x00, 0x80,                 // ac: word
    };
    EXPECT_EQ(Bytes(tree, 19), expected);
    EXPECT_EQ(tree.GetCapacity(), 1024);
}

TEST(WordTreeLoad, FindChildWalksBySubtreeLengths)
{
    WordTree tree;
    wordtest::LoadFromBytes(tree, kSmallFile);
    EXPECT_EQ(tree.FindChild(0, 'a'), 5);
    EXPECT_EQ(tree.FindChild(5, 'b'), 11);
    EXPECT_EQ(tree.FindChild(5, 'c'), 15);
    EXPECT_EQ(tree.FindChild(0, 'b'), -1);
    EXPECT_EQ(tree.FindChild(15, 'a'), -1); // a leaf has no children
    EXPECT_EQ(tree.FindChild(-4, 'a'), -1);
    EXPECT_EQ(tree.FindChild(tree.GetCapacity(), 'a'), -1);
}

TEST(WordTreeLoad, ChildlessNodeIsOneByte)
{
    for (const char* file : {"0", "1"}) {
        WordTree tree;
        std::istringstream in(file);
        ASSERT_EQ(tree.Load(in, 0), 4) << file;
        EXPECT_EQ(tree.GetNodes()[3], file[0] == '1' ? 0x80 : 0x00) << file;
        EXPECT_EQ(tree.FindChild(0, 'a'), -1);
    }
}

TEST(WordTreeLoad, EveryTruncationOfAFileFails)
{
    for (std::size_t length = 0; length < kSmallFile.size(); ++length) {
        WordTree tree;
        std::istringstream in(kSmallFile.substr(0, length));
        EXPECT_EQ(tree.Load(in, 0), -1) << "length " << length;
    }
}

TEST(WordTreeLoad, NodeWiderThanTheGrowthMarginLoadsIntact)
{
    // 100 one-letter words: the root holds 100 letters, far past the 28 that
    // the buffer's growth margin covers.
    std::string letters;
    for (int i = 0; i < 100; ++i)
        letters.push_back(static_cast<char>(0x32 + i));
    ASSERT_EQ(letters.size(), 100u);
    std::string file = letters + "0" + std::string(100, '1');
    WordTree tree;
    std::istringstream in(file);
    ASSERT_EQ(tree.Load(in, 0), 4 + 100 + 100 * 4);
    for (std::size_t i = 0; i < letters.size(); ++i)
        EXPECT_EQ(tree.FindChild(0, static_cast<std::uint8_t>(letters[i])), static_cast<int>(104 + 4 * i));
    EXPECT_EQ(tree.CollectWords(1, 1)->GetCount(), 100);
}

TEST(WordTreeLoad, MoreThan127ChildrenIsRefused)
{
    std::string letters;
    for (int c = 0x32; letters.size() < 128; ++c)
        letters.push_back(static_cast<char>(c));
    WordTree tree;
    std::istringstream in(letters + "0" + std::string(128, '1'));
    EXPECT_EQ(tree.Load(in, 0), -1);
}

TEST(WordTreeLoad, DeepNestingFailsWithoutExhaustingTheStack)
{
    // A chain of one-letter nodes, a million levels deep.
    std::string file;
    for (int i = 0; i < 1000000; ++i)
        file += "a0";
    file += "1";
    WordTree tree;
    std::istringstream in(file);
    EXPECT_EQ(tree.Load(in, 0), -1);

    // Nesting up to the limit still loads.
    const int depth = WordTree::kMaxDepth;
    std::string deep;
    for (int i = 0; i < depth; ++i)
        deep += "a0";
    deep += "1";
    WordTree ok;
    std::istringstream okIn(deep);
    EXPECT_EQ(ok.Load(okIn, 0), 5 * depth + 4);
    EXPECT_EQ(ok.CollectWords(depth, depth)->GetCount(), 1);
}

TEST(WordTreeLoad, SubtreeOf16MiBOrMoreIsRefused)
{
    // 127 x 127 x 127 nodes of one child each: about 18 MiB in memory, more
    // than a 24-bit subtree length can say.
    std::string letters;
    for (int c = 0x32; letters.size() < 127; ++c)
        letters.push_back(static_cast<char>(c));
    std::string leafPair = "a01";                       // a node with one child, then that child
    std::string level2 = letters + "0";
    for (int i = 0; i < 127; ++i)
        level2 += leafPair;
    std::string level1 = letters + "0";
    for (int i = 0; i < 127; ++i)
        level1 += level2;
    std::string file = letters + "0";
    file.reserve(file.size() + 127 * level1.size());
    for (int i = 0; i < 127; ++i)
        file += level1;
    WordTree tree;
    std::istringstream in(file);
    EXPECT_EQ(tree.Load(in, 0), -1);
}

TEST(WordTreeLoad, LoadFileReportsMissingAndDamagedFiles)
{
    WordTree tree;
    std::string error;
    EXPECT_FALSE(tree.LoadFile("/nonexistent/words.tree", &error));
    EXPECT_NE(error.find("cannot open"), std::string::npos) << error;
    EXPECT_TRUE(tree.IsEmpty());

    const std::string path = std::string(QMV_BINARY_DIR) + "/wordtree-damaged.tree";
    {
        std::ofstream out(path, std::ios::binary);
        out << "abc0d";
    }
    error.clear();
    EXPECT_FALSE(tree.LoadFile(path, &error));
    EXPECT_NE(error.find("damaged"), std::string::npos) << error;
    EXPECT_TRUE(tree.IsEmpty());
    EXPECT_TRUE(tree.CollectWords(1, 8)->IsEmpty());
    EXPECT_TRUE(tree.FindAnagrams("abc")->IsEmpty());
    std::remove(path.c_str());
}

TEST(WordTreeLoad, GameWordFilesLoadAndTheSecondHoldsTheFirst)
{
    WordTree main;
    WordTree accepted;
    std::string error;
    ASSERT_TRUE(main.LoadFile(wordtest::GameWordFile("Quorvel2Words.tree"), &error)) << error;
    ASSERT_TRUE(accepted.LoadFile(wordtest::GameWordFile("TollivaneWords.tree"), &error)) << error;
    const auto mainWords = main.CollectWords(1, 64);
    const auto acceptedWords = accepted.CollectWords(1, 64);
    EXPECT_GT(mainWords->GetCount(), 10000);
    EXPECT_GT(acceptedWords->GetCount(), mainWords->GetCount());
    for (const std::string& word : *mainWords) {
        ASSERT_GE(word.size(), 3u);
        ASSERT_LE(word.size(), 8u);
        ASSERT_EQ(word.find_first_not_of("abcdefghijklmnopqrstuvwxyz"), std::string::npos) << word;
        // A word of the first file is found letter by letter in the second.
        std::int32_t node = 0;
        for (char c : word)
            node = accepted.FindChild(node, static_cast<std::uint8_t>(c));
        ASSERT_GE(node, 0) << word;
        ASSERT_TRUE(accepted.GetNodes()[node + 3] & 0x80) << word;
    }
    // The word lists carry Roman numerals and abbreviations as words;
    // neither file does, but a word that only reads like one stays.
    for (const WordTree* tree : {&main, &accepted}) {
        const auto words = tree->CollectWords(1, 64);
        for (const char* junk : {"iii", "vii", "xiv", "lvi", "xxxviii", "clxix", "rpm", "mph", "tbsp"})
            EXPECT_EQ(std::find(words->begin(), words->end(), junk), words->end()) << junk;
        for (const char* word : {"mix", "civic", "vivid", "mild", "dim", "shy", "myth"})
            EXPECT_NE(std::find(words->begin(), words->end(), word), words->end()) << word;
    }
    const auto acceptedList = accepted.CollectWords(1, 64);
    EXPECT_NE(std::find(acceptedList->begin(), acceptedList->end(), "brr"), acceptedList->end());
}

} // namespace

}  // namespace word_tree_load_test
