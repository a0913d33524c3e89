// Collecting words, anagram lists and the one-entry lookup cache.
#include <algorithm>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "PlainAnagrams.h"
#include "WordTestSupport.h"
#include "game/words/WordTree.h"
#include "game/words/WordTreeWriter.h"

namespace word_tree_words_test {

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

TEST(WordTreeWords, AnagramBranchesFollowTheUnusedLettersOfTheSourceWord)
{
    WordTree tree;
    wordtest::LoadWords(tree, {"a", "aa", "ab", "aab", "aba", "b", "ba", "baa"});
    // Below "a" the letters left are "ba": b comes first now, though a came first in "aba".
    EXPECT_EQ(wordtest::Listed(*tree.FindAnagrams("aba")), (Words{"a", "ab", "aba", "aa", "aab", "b", "ba", "baa"}));
    EXPECT_EQ(wordtest::Listed(*tree.FindAnagrams("aab")), (Words{"a", "aa", "aab", "ab", "aba", "b", "ba", "baa"}));
    EXPECT_EQ(wordtest::Listed(*tree.FindAnagrams("bb")), (Words{"b"}));
    // Letters far into a long source word are found and ordered alike.
    EXPECT_EQ(wordtest::Listed(*tree.FindAnagrams(std::string(70, 'z') + "aba" + std::string(70, 'y'))),
              (Words{"a", "ab", "aba", "aa", "aab", "b", "ba", "baa"}));
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
        Words inOrder;
        std::string prefix, left = source;
        wordtest::PlainAnagrams(tree, 0, prefix, left, inOrder);
        ASSERT_EQ(found, inOrder) << source;
        const std::size_t listed = found.size();
        std::sort(found.begin(), found.end());
        EXPECT_EQ(std::unique(found.begin(), found.end()), found.end()) << source << " lists a word twice";
        EXPECT_EQ(listed, expected.size()) << source;
        ASSERT_EQ(found, expected) << source;
    }
    EXPECT_GE(compared, 300u);
}

// Word lists whose subtrees repeat (shared endings), searched in order, with a
// small alphabet and with one of more than 64 letters; and a damaged node that
// offers one letter twice, where only its first child counts.
TEST(WordTreeWords, AnagramOrderHoldsForSharedEndingsLargeAlphabetsAndRepeatedChildren)
{
    std::mt19937 random(20261207);
    Words words;
    for (int i = 0; i < 400; ++i) {
        std::string word(1 + random() % 7, 'a');
        for (char& c : word)
            c = static_cast<char>('a' + random() % 6);
        words.push_back(word);
        words.push_back(word + "ing");
        words.push_back(word + "s");
    }
    Words wide = words;
    std::string symbols;
    for (char c = '!'; c <= '~'; ++c) {
        if (c != '0' && c != '1' && (c < 'a' || c > 'z'))
            symbols.push_back(c);
    }
    ASSERT_GT(symbols.size() + 26, 64u);
    for (std::size_t i = 0; i < symbols.size(); ++i) {
        wide.push_back(std::string(1, symbols[i]) + "a");
        wide.push_back(std::string(1, symbols[i]) + "a" + symbols[(i + 1) % symbols.size()]);
    }

    for (const Words* list : {&words, &wide}) {
        WordTree tree;
        wordtest::LoadWords(tree, *list);
        std::size_t nonTrivial = 0;
        for (int i = 0; i < 200; ++i) {
            std::string source(3 + random() % 8, 'a');
            for (char& c : source)
                c = "abcdefings!#"[random() % 12];
            Words expected;
            std::string prefix, left = source;
            wordtest::PlainAnagrams(tree, 0, prefix, left, expected);
            ASSERT_EQ(wordtest::Listed(*tree.FindAnagrams(source)), expected) << source;
            nonTrivial += expected.size() > 3;
        }
        EXPECT_GT(nonTrivial, 100u);
    }

    // Root "aa": the first a ends "a" and leads to "ab"; the second would make "a" and "ac".
    WordTree damaged;
    wordtest::LoadFromBytes(damaged, std::string("aa0") + "b1" + "1" + "c1" + "1");
    EXPECT_EQ(wordtest::Listed(*damaged.FindAnagrams("cab")), (Words{"a", "ab"}));
}

// Every word of up to 8 letters over four letters: an 8-letter source lists
// hundreds of words, a 12-letter one tens of thousands from a dictionary of
// more than 65 536 words; both in the plain walk's order.
TEST(WordTreeWords, DenseDictionariesKeepTheOrderForLongListsAndSources)
{
    Words words;
    Words last{""};
    for (int length = 1; length <= 8; ++length) {
        Words longer;
        for (const std::string& word : last) {
            for (const char c : std::string("abcd"))
                longer.push_back(word + c);
        }
        words.insert(words.end(), longer.begin(), longer.end());
        last = longer;
    }
    ASSERT_GT(words.size(), 65536u);
    WordTree tree;
    wordtest::LoadWords(tree, words);
    for (const std::string source : {"abcddcba", "aabbbcdz", "abcdabcdabcd", "aaaabbbbcdzz"}) {
        Words expected;
        std::string prefix, left = source;
        wordtest::PlainAnagrams(tree, 0, prefix, left, expected);
        const Words found = wordtest::Listed(*tree.FindAnagrams(source));
        ASSERT_GT(found.size(), 256u) << source;
        ASSERT_EQ(found, expected) << source;
    }
}

// The search by letter groups against the plain walk, list and order: on the
// main word file for source words of every length the groups serve (and one
// more), as they are, with a letter twice and with a letter no word has; and
// on a small tree whose letters are partly above ASCII, so that each letter
// of a listed word is one or two bytes of text.
TEST(WordTreeWords, GroupSearchListsWhatTheWalkListsForEveryLengthAndLetter)
{
    const auto expectWalkOrder = [](const WordTree& tree, const std::string& letters, std::size_t& nonTrivial) {
        std::string source;
        for (const unsigned char c : letters)
            source += Qmv2::EncodeCodePoint(c);
        Words expected;
        std::string prefix, left = letters;
        wordtest::PlainAnagrams(tree, 0, prefix, left, expected);
        EXPECT_EQ(wordtest::Listed(*tree.FindAnagrams(source)), expected) << source;
        nonTrivial += expected.size() > 2 ? 1 : 0;
    };

    WordTree main;
    std::string error;
    ASSERT_TRUE(main.LoadFile(wordtest::GameWordFile("Quorvel2Words.tree"), &error)) << error;
    ASSERT_TRUE(main.WaitForIndex());
    std::size_t nonTrivial = 0;
    // Its words have 3 to 8 letters: a source is a word's beginning, or a word
    // and the beginning of another.
    const auto all = main.CollectWords(1, 64);
    const std::int32_t step = all->GetCount() / 37;
    for (std::size_t length = 1; length <= 13; ++length) {
        for (std::int32_t i = static_cast<std::int32_t>(length); i + step < all->GetCount(); i += step) {
            const std::string word = ((*all)[i] + (*all)[i + step]).substr(0, length);
            expectWalkOrder(main, word, nonTrivial);
            expectWalkOrder(main, word.substr(0, 1) + word, nonTrivial);
            expectWalkOrder(main, word.substr(0, word.size() / 2) + "#" + word.substr(word.size() / 2), nonTrivial);
        }
    }
    EXPECT_GT(nonTrivial, 200u);

    // Written with capitals, which then become the letters E9, DF and F6.
    std::mt19937 random(20261208);
    const std::string alphabet = "abnABC";
    Words words;
    for (int i = 0; i < 300; ++i) {
        std::string word(1 + random() % 7, 'a');
        for (char& c : word)
            c = alphabet[random() % alphabet.size()];
        words.push_back(word);
    }
    std::ostringstream out;
    ASSERT_TRUE(WordTreeWriter::Write(out, words, &error)) << error;
    std::string bytes = out.str();
    const std::string high = "\xE9\xDF\xF6";
    for (char& c : bytes) {
        if (c >= 'A' && c <= 'C')
            c = high[c - 'A'];
    }
    WordTree accented;
    wordtest::LoadFromBytes(accented, bytes);
    nonTrivial = 0;
    for (int i = 0; i < 300; ++i) {
        std::string letters(1 + random() % 12, 'a');
        for (char& c : letters)
            c = (alphabet.substr(0, 3) + high + "z")[random() % 7];
        expectWalkOrder(accented, letters, nonTrivial);
    }
    EXPECT_GT(nonTrivial, 150u);
}

// A round is dealt in the frame its scene loads the word files, while their
// index is still being built on its own thread: the searches made meanwhile
// (and under the thread sanitizer, their reads of the tree) list what the
// index lists once it is ready. Loading again, or a file that does not load,
// waits for the thread and leaves no index behind.
TEST(WordTreeWords, SearchesWhileTheIndexIsBuiltListWhatTheIndexLists)
{
    WordTree reference;
    std::string error;
    ASSERT_TRUE(reference.LoadFile(wordtest::GameWordFile("Quorvel2Words.tree"), &error)) << error;
    ASSERT_TRUE(reference.WaitForIndex());
    const auto pool = reference.CollectWords(WordTree::kPoolMinLength, WordTree::kPoolMaxLength);
    std::vector<Words> indexed;
    for (std::int32_t i = 0; i < pool->GetCount(); i += 97)
        indexed.push_back(wordtest::Listed(*reference.FindAnagrams((*pool)[i])));
    ASSERT_GT(indexed.size(), 100u);

    for (int load = 0; load < 3; ++load) {
        WordTree tree;
        ASSERT_TRUE(tree.LoadFile(wordtest::GameWordFile("Quorvel2Words.tree"), &error)) << error;
        for (std::size_t k = 0; k < indexed.size(); ++k)
            ASSERT_EQ(wordtest::Listed(*tree.FindAnagrams((*pool)[static_cast<std::int32_t>(k) * 97])), indexed[k]);
        // Loaded again before the first index is waited for.
        ASSERT_TRUE(tree.LoadFile(wordtest::GameWordFile("Quorvel2Words.tree"), &error)) << error;
        EXPECT_EQ(wordtest::Listed(*tree.FindAnagrams((*pool)[0])), indexed[0]);
        EXPECT_TRUE(tree.WaitForIndex());
        EXPECT_EQ(wordtest::Listed(*tree.FindAnagrams((*pool)[0])), indexed[0]);
    }

    WordTree damaged;
    ASSERT_TRUE(damaged.LoadFile(wordtest::GameWordFile("Quorvel2Words.tree"), &error)) << error;
    std::istringstream cut("abc0d");
    EXPECT_EQ(damaged.Load(cut, 0), -1);
    EXPECT_FALSE(damaged.WaitForIndex());
    EXPECT_FALSE(WordTree().WaitForIndex());
}

} // namespace

}  // namespace word_tree_words_test
