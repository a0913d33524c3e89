// Writing word files, and the word-file builder program.
#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "WordTestSupport.h"
#include "game/words/WordTree.h"
#include "game/words/WordTreeWriter.h"

namespace word_tree_writer_test {

namespace {

using Words = std::vector<std::string>;

std::string ReadAll(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

void WriteText(const std::string& path, const std::string& text)
{
    std::ofstream out(path, std::ios::binary);
    out << text;
}

TEST(WordTreeWriter, WritesTheSmallExampleExactly)
{
    std::ostringstream out;
    ASSERT_TRUE(WordTreeWriter::Write(out, {"ac", "a", "ab", "ab"}));
    EXPECT_EQ(out.str(), "a0bc111");

    std::ostringstream empty;
    ASSERT_TRUE(WordTreeWriter::Write(empty, {}));
    EXPECT_EQ(empty.str(), "0");
}

TEST(WordTreeWriter, RandomWordSetsSurviveARoundTrip)
{
    std::mt19937 generator(20240607);
    std::uniform_int_distribution<int> letter('a', 'h');
    std::uniform_int_distribution<int> length(1, 9);
    for (int round = 0; round < 20; ++round) {
        std::set<std::string> unique;
        Words words;
        for (int i = 0; i < 400; ++i) {
            std::string word;
            for (int n = length(generator); n > 0; --n)
                word.push_back(static_cast<char>(letter(generator)));
            words.push_back(word);
            unique.insert(word);
        }
        std::ostringstream out;
        std::string error;
        ASSERT_TRUE(WordTreeWriter::Write(out, words, &error)) << error;
        WordTree tree;
        wordtest::LoadFromBytes(tree, out.str());
        // Pre-order of an alphabetical trie is the sorted order.
        EXPECT_EQ(wordtest::Listed(*tree.CollectWords(1, 64)), Words(unique.begin(), unique.end())) << "round " << round;
    }
}

TEST(WordTreeWriter, RefusesWordsAFileCannotHold)
{
    const std::vector<Words> bad = {
        {"ok", ""},
        {"ok", "r0ad"},
        {"1st"},
        {"tab\there"},
        {std::string(WordTree::kMaxDepth + 1, 'a')},
    };
    for (const Words& words : bad) {
        std::ostringstream out;
        std::string error;
        EXPECT_FALSE(WordTreeWriter::Write(out, words, &error)) << words.back();
        EXPECT_FALSE(error.empty());
        EXPECT_TRUE(out.str().empty()) << words.back();
    }
}

TEST(WordTreeWriter, FailedWriteKeepsTheOldFile)
{
    const std::string path = std::string(QMV_BINARY_DIR) + "/wordtree-keep.tree";
    ASSERT_TRUE(WordTreeWriter::WriteFile(path, {"one", "two"}));
    const std::string before = ReadAll(path);
    EXPECT_EQ(before, "ot0n0e01w0o01");
    EXPECT_FALSE(WordTreeWriter::WriteFile(path, {"three", "f0ur"}));
    EXPECT_EQ(ReadAll(path), before);
    EXPECT_FALSE(std::ifstream(path + ".tmp").good());
    std::remove(path.c_str());
}

class WordTreeBuilder : public ::testing::Test {
protected:
    int Run(const std::string& arguments)
    {
        const std::string command = std::string(WORDTREE_TOOL) + " " + arguments + " >'" + outPath + "' 2>'" +
                                    errPath + "'";
        return std::system(command.c_str());
    }

    // Tests run side by side in separate processes: each has files of its own.
    std::string Folder(const std::string& name)
    {
        return std::string(QMV_BINARY_DIR) + "/wordtree-" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name() + "-" + name;
    }

    std::string outPath = Folder("stdout.txt");
    std::string errPath = Folder("stderr.txt");
};

TEST_F(WordTreeBuilder, KeepsLowerCaseWordsOfThreeToEightLettersFromAllLists)
{
    const std::string first = Folder("first.txt");
    const std::string second = Folder("second.txt");
    const std::string tree = Folder("words.tree");
    WriteText(first, "Apple\napple\nit's\nab\nabcdefghi\nzebra\r\nstone\ncaf\xC3\xA9\n\nnotes\n");
    WriteText(second, "zebra\nonset\ntones\nabcdefgh\nseton\n");
    ASSERT_EQ(Run("-o '" + tree + "' '" + first + "' '" + second + "'"), 0) << ReadAll(errPath);

    WordTree loaded;
    std::string error;
    ASSERT_TRUE(loaded.LoadFile(tree, &error)) << error;
    EXPECT_EQ(wordtest::Listed(*loaded.CollectWords(1, 64)),
              (Words{"abcdefgh", "apple", "notes", "onset", "seton", "stone", "tones", "zebra"}));
    EXPECT_NE(ReadAll(outPath).find(": 8 words"), std::string::npos) << ReadAll(outPath);
    for (const std::string& path : {first, second, tree, outPath, errPath})
        std::remove(path.c_str());
}

TEST_F(WordTreeBuilder, WarnsWhenTooFewSourceWordsHaveEnoughAnagrams)
{
    const std::string list = Folder("list.txt");
    const std::string tree = Folder("warn.tree");
    // "stone" makes 15 words with the 3-letter words; nothing of 6..8 letters does.
    WriteText(list, "stone\nnotes\nonset\nseton\ntones\none\nnet\nten\ntoe\nsot\nson\nnot\nton\nset\neon\n");
    ASSERT_EQ(Run("--warn-below 5 -o '" + tree + "' '" + list + "'"), 0) << ReadAll(errPath);
    const std::string warnings = ReadAll(errPath);
    EXPECT_NE(ReadAll(outPath).find("5 source words of 5 letters"), std::string::npos) << ReadAll(outPath);
    EXPECT_EQ(warnings.find("of 5 letters"), std::string::npos) << warnings;
    EXPECT_NE(warnings.find("warning: "), std::string::npos) << warnings;
    for (const char* length : {"of 6 letters", "of 7 letters", "of 8 letters"})
        EXPECT_NE(warnings.find(length), std::string::npos) << warnings;

    ASSERT_EQ(Run("--warn-below 0 -o '" + tree + "' '" + list + "'"), 0);
    EXPECT_EQ(ReadAll(errPath), "");
    for (const std::string& path : {list, tree, outPath, errPath})
        std::remove(path.c_str());
}

TEST_F(WordTreeBuilder, FailsOnAMissingListAndBadArguments)
{
    const std::string tree = Folder("never.tree");
    EXPECT_NE(Run("-o '" + tree + "' /nonexistent/list.txt"), 0);
    EXPECT_NE(ReadAll(errPath).find("cannot open"), std::string::npos);
    EXPECT_FALSE(std::ifstream(tree).good());
    EXPECT_NE(Run("/nonexistent/list.txt"), 0);
    EXPECT_NE(Run("--min 6 --max 5 -o '" + tree + "' x"), 0);
    std::remove(outPath.c_str());
    std::remove(errPath.c_str());
}

} // namespace

}  // namespace word_tree_writer_test
