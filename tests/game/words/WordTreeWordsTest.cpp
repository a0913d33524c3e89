// Collecting words, anagram lists and the one-entry lookup cache.
#include <algorithm>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "WordTestSupport.h"
#include "game/words/WordTree.h"

namespace {

using Words = std::vector<std::string>;

TEST(WordTreeWords, CollectWordsKeepsLengthRangeInPreOrder)
{
    WordTree tree;
    wordtest::LoadWords(tree, {"abcd", "abcde", "abcdefgh", "abcdefghi", "zebra", "apple", "applet"});
    EXPECT_EQ(wordtest::Listed(*tree.CollectWords(5, 8)), (Words{"abcde", "abcdefgh", "apple", "applet", "zebra"}));
    EXPECT_EQ(wordtest::Listed(*tree.CollectWords(4, 4)), (Words{"abcd"}));
    EXPECT_EQ(wordtest::Listed(*tree.CollectWords(9, 9)), (Words{"abcdefghi"}));
    EXPECT_TRUE(tree.CollectWords(10, 20)->IsEmpty());
}

TEST(WordTreeWords, AnagramsOfAabListEachWordOnceInSearchOrder)
{
    WordTree tree;
    wordtest::LoadWords(tree, {"a", "ab", "ba", "aab"});
    EXPECT_EQ(wordtest::Listed(*tree.FindAnagrams("aab")), (Words{"a", "aab", "ab", "ba"}));
    // The branches follow the order of the source word's letters.
    EXPECT_EQ(wordtest::Listed(*tree.FindAnagrams("baa")), (Words{"ba", "a", "ab", "aab"}));
    EXPECT_EQ(wordtest::Listed(*tree.FindAnagrams("b")), Words{});
    EXPECT_EQ(wordtest::Listed(*tree.FindAnagrams("")), Words{});
}

TEST(WordTreeWords, LettersAboveAsciiBecomeUtf8Text)
{
    // The byte E9 in a word file is the letter U+00E9.
    WordTree tree;
    wordtest::LoadFromBytes(tree, std::string("\xE9") + "0" + "c" + "0" + "a" + "0" + "1");
    const Words expected = {"\xC3\xA9" "ca"};
    EXPECT_EQ(wordtest::Listed(*tree.CollectWords(3, 3)), expected);
    EXPECT_EQ(wordtest::Listed(*tree.FindAnagrams("ac\xC3\xA9")), expected);
    // Three code points, so within the length limits of a lookup.
    ASSERT_NE(tree.Lookup("\xC3\xA9" "ac"), nullptr);
    EXPECT_EQ(wordtest::Listed(*tree.Lookup("\xC3\xA9" "ac")), expected);
    // A truncated sequence is taken byte by byte and matches nothing.
    EXPECT_TRUE(tree.FindAnagrams("ac\xC3")->IsEmpty());
}

TEST(WordTreeWords, LookupCachesOneWordAndRefusesWrongLengths)
{
    WordTree tree;
    wordtest::LoadWords(tree, {"ate", "eat", "tea", "eta", "tee", "stake", "steak", "takes", "teaks", "skate", "sea"});
    const WordTree::WordList* list = tree.Lookup("steak");
    ASSERT_NE(list, nullptr);
    Words sorted = wordtest::Listed(*list);
    std::sort(sorted.begin(), sorted.end());
    EXPECT_EQ(sorted, (Words{"ate", "eat", "eta", "sea", "skate", "stake", "steak", "takes", "tea", "teaks"}));
    EXPECT_EQ(tree.GetCurrentWord(), "steak");

    // Wrong lengths answer null and keep the cache.
    EXPECT_EQ(tree.Lookup("at"), nullptr);
    EXPECT_EQ(tree.Lookup("abcdefghi"), nullptr);
    EXPECT_EQ(tree.GetCurrentWord(), "steak");
    EXPECT_EQ(tree.GetCurrentAnagrams(), list);

    // The cached word in other letter case gives the cached list itself.
    EXPECT_EQ(tree.Lookup("STEAK"), list);
    EXPECT_EQ(tree.Lookup("Steak"), list);
    EXPECT_EQ(tree.GetCurrentWord(), "steak");

    // Another word replaces the cache.
    const WordTree::WordList* other = tree.Lookup("tee");
    ASSERT_NE(other, nullptr);
    EXPECT_EQ(wordtest::Listed(*other), (Words{"tee"}));
    EXPECT_EQ(tree.GetCurrentWord(), "tee");
}

TEST(WordTreeWords, AnagramListsMatchBruteForceLetterCounts)
{
    WordTree tree;
    std::string error;
    ASSERT_TRUE(tree.LoadFile(wordtest::GameWordFile("Quorvel2Words.tree"), &error)) << error;
    const auto dictionary = tree.CollectWords(1, 64);
    const auto pool = tree.CollectWords(WordTree::kPoolMinLength, WordTree::kPoolMaxLength);
    ASSERT_GT(pool->GetCount(), 300);

    const std::int32_t step = pool->GetCount() / 300;
    std::size_t compared = 0;
    for (std::int32_t i = 0; i < pool->GetCount(); i += step, ++compared) {
        const std::string& source = (*pool)[i];
        Words expected;
        for (const std::string& word : *dictionary) {
            if (wordtest::CanMake(word, source))
                expected.push_back(word);
        }
        Words found = wordtest::Listed(*tree.FindAnagrams(source));
        const std::size_t listed = found.size();
        std::sort(found.begin(), found.end());
        EXPECT_EQ(std::unique(found.begin(), found.end()), found.end()) << source << " lists a word twice";
        EXPECT_EQ(listed, expected.size()) << source;
        ASSERT_EQ(found, expected) << source;
    }
    EXPECT_GE(compared, 300u);
}

} // namespace
