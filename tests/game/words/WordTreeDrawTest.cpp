// The player's next source word from the shuffled pool, and the word of the day.
#include <algorithm>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "WordTestSupport.h"
#include "framework/core/util/Random.h"
#include "game/words/WordTree.h"

namespace word_tree_draw_test {

namespace {

using Words = std::vector<std::string>;

// Shuffle orders of 20 elements as java.util.Random gives them for these seeds.
const std::vector<int> kOrder1337 = {14, 0, 5, 16, 11, 17, 6, 13, 1, 12, 7, 3, 19, 10, 2, 15, 4, 9, 8, 18};
const std::vector<int> kOrder42 = {12, 13, 9, 7, 2, 6, 0, 4, 15, 18, 16, 19, 5, 17, 1, 3, 8, 11, 14, 10};
const std::vector<int> kOrderMinus7 = {16, 9, 15, 17, 4, 14, 7, 3, 2, 12, 0, 5, 10, 1, 13, 19, 6, 18, 8, 11};

constexpr std::int64_t kFirstDay = 14125LL * 86400; // 2008-09-03 00:00:00 UTC

// Every arrangement of three different letters of `letters`.
Words ThreeLetterWords(const std::string& letters)
{
    Words words;
    for (char a : letters)
        for (char b : letters)
            for (char c : letters)
                if (a != b && b != c && a != c)
                    words.push_back({a, b, c});
    return words;
}

// The first `count` arrangements of `letters`, in alphabetical order.
Words Arrangements(std::string letters, std::size_t count)
{
    Words words;
    std::sort(letters.begin(), letters.end());
    do {
        words.push_back(letters);
    } while (words.size() < count && std::next_permutation(letters.begin(), letters.end()));
    return words;
}

Words Join(Words a, const Words& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

class WordTreeDraw : public ::testing::Test {
protected:
    void Build(const Words& words)
    {
        wordtest::LoadWords(tree, words);
        tree.SetPoolPosition(&position);
        tree.SetClock({[this] { return milliseconds; }, [this] { return utcSeconds; }});
    }

    Words Pool() const { return wordtest::Listed(*tree.CollectWords(5, 8)); }

    WordTree tree;
    WordPoolPosition position;
    std::uint32_t milliseconds = 0;
    std::int64_t utcSeconds = kFirstDay;
};

// 20 source words, each of which makes 80 dictionary words.
Words RichDictionary()
{
    return Join(ThreeLetterWords("abcde"), Arrangements("abcde", 20));
}

TEST_F(WordTreeDraw, RandomWordFollowsTheSeededShuffle)
{
    Build(RichDictionary());
    const Words pool = Pool();
    ASSERT_EQ(pool.size(), 20u);
    position.SetSeed(42);
    position.SetIndex(0);
    for (int k = 0; k < 20; ++k) {
        EXPECT_EQ(tree.RandomWord(), pool[kOrder42[k]]) << "draw " << k;
        EXPECT_EQ(position.GetIndex(), k + 1);
        EXPECT_EQ(tree.GetCurrentWord(), pool[kOrder42[k]]);
        EXPECT_EQ(tree.GetCurrentAnagrams()->GetCount(), 80);
    }
    EXPECT_EQ(position.GetSeed(), 42);
}

TEST_F(WordTreeDraw, FrameworkGeneratorShufflesWhenItExists)
{
    Build(RichDictionary());
    const Words pool = Pool();
    Qmv2::Random::SetInstance(new Qmv2::Random(99));
    Qmv2::Random* shared = Qmv2::Random::GetInstance();
    const std::uint64_t before = shared->GetState();
    position.SetSeed(42);
    position.SetIndex(0);
    EXPECT_EQ(tree.RandomWord(), pool[kOrder42[0]]);
    // Seeded with 42 and stepped once per element after the first.
    Qmv2::Random expected(42);
    for (int k = 1; k < 20; ++k)
        expected.Range(0, k + 1);
    EXPECT_NE(shared->GetState(), before);
    EXPECT_EQ(shared->GetState(), expected.GetState());
    Qmv2::Random::ReleaseInstance();
}

TEST_F(WordTreeDraw, UsedUpPoolTakesANewSeedFromTheClock)
{
    Build(RichDictionary());
    const Words pool = Pool();
    position.SetSeed(42);
    position.SetIndex(19);
    EXPECT_EQ(tree.RandomWord(), pool[kOrder42[19]]);
    // The millisecond clock reads as a signed seed: 0xFFFFFFF9 is -7.
    milliseconds = 0xFFFFFFF9u;
    EXPECT_EQ(tree.RandomWord(), pool[kOrderMinus7[0]]);
    EXPECT_EQ(position.GetSeed(), -7);
    EXPECT_EQ(position.GetIndex(), 1);
    EXPECT_EQ(tree.RandomWord(), pool[kOrderMinus7[1]]);
}

TEST_F(WordTreeDraw, DamagedNegativeIndexStartsANewPool)
{
    Build(RichDictionary());
    const Words pool = Pool();
    position.SetSeed(42);
    position.SetIndex(-5);
    milliseconds = 1337;
    EXPECT_EQ(tree.RandomWord(), pool[kOrder1337[0]]);
    EXPECT_EQ(position.GetSeed(), 1337);
    EXPECT_EQ(position.GetIndex(), 1);
}

TEST_F(WordTreeDraw, WordsWithTooFewAnagramsAreSkippedAndConsumed)
{
    // Ten rich words and ten of letters v..z that make fewer than 15 words.
    Build(Join(Join(ThreeLetterWords("abcde"), Arrangements("abcde", 10)), Arrangements("vwxyz", 10)));
    const Words pool = Pool();
    ASSERT_EQ(pool.size(), 20u);
    position.SetSeed(42);
    position.SetIndex(0);
    int index = 0;
    for (int draw = 0; draw < 10; ++draw) {
        while (pool[kOrder42[index]][0] == 'v')
            ++index;
        EXPECT_EQ(tree.RandomWord(), pool[kOrder42[index]]) << "draw " << draw;
        ++index;
        EXPECT_EQ(position.GetIndex(), index);
        EXPECT_GE(tree.GetCurrentAnagrams()->GetCount(), WordTree::kMinSourceAnagrams);
    }
}

TEST_F(WordTreeDraw, SameSeedAndIndexGiveTheSameSequenceAfterARestart)
{
    Build(RichDictionary());
    position.SetSeed(-123456);
    position.SetIndex(0);
    Words straight;
    for (int i = 0; i < 8; ++i)
        straight.push_back(tree.RandomWord().GetString());

    // A new tree (a new start of the program) that goes on from the saved
    // position, with a word of the day in between that drops the pool.
    WordTree restarted;
    wordtest::LoadWords(restarted, RichDictionary());
    WordPoolPosition saved;
    saved.SetSeed(-123456);
    saved.SetIndex(0);
    restarted.SetPoolPosition(&saved);
    Words resumed;
    for (int i = 0; i < 3; ++i)
        resumed.push_back(restarted.RandomWord().GetString());
    restarted.WordOfTheDay();
    for (int i = 0; i < 5; ++i)
        resumed.push_back(restarted.RandomWord().GetString());
    EXPECT_EQ(resumed, straight);
    std::sort(straight.begin(), straight.end());
    EXPECT_EQ(std::unique(straight.begin(), straight.end()), straight.end());
}

TEST_F(WordTreeDraw, PoolsWithoutAUsableWordNeverHang)
{
    // No word of 5..8 letters at all.
    Build(ThreeLetterWords("abc"));
    position.SetIndex(0);
    EXPECT_EQ(tree.RandomWord(), "");
    EXPECT_TRUE(tree.GetCurrentAnagrams()->IsEmpty());
    EXPECT_EQ(tree.WordOfTheDay(), "");

    // Words of 5 letters, each making 10 words: one pass, then the last tried.
    WordTree poor;
    wordtest::LoadWords(poor, Join(Arrangements("fghij", 10), Arrangements("vwxyz", 10)));
    WordPoolPosition at;
    at.SetSeed(42);
    at.SetIndex(0);
    poor.SetPoolPosition(&at);
    const Words pool = wordtest::Listed(*poor.CollectWords(5, 8));
    EXPECT_EQ(poor.RandomWord(), pool[kOrder42[19]]);
    EXPECT_EQ(at.GetIndex(), 20);
}

TEST_F(WordTreeDraw, EmptyTreeDrawsNothing)
{
    WordTree empty;
    EXPECT_EQ(empty.RandomWord(), "");
    EXPECT_EQ(empty.WordOfTheDay(), "");
    EXPECT_EQ(empty.Lookup("abc") ? empty.Lookup("abc")->GetCount() : 99, 0);
}

TEST_F(WordTreeDraw, WordOfTheDayChangesAtUtcMidnight)
{
    Build(RichDictionary());
    const Words pool = Pool();
    utcSeconds = kFirstDay;
    EXPECT_EQ(tree.WordOfTheDay(), pool[kOrder1337[0]]);
    EXPECT_EQ(tree.GetCurrentAnagrams()->GetCount(), 80);
    utcSeconds = kFirstDay + 86399;
    EXPECT_EQ(tree.WordOfTheDay(), pool[kOrder1337[0]]);
    utcSeconds = kFirstDay + 86400;
    EXPECT_EQ(tree.WordOfTheDay(), pool[kOrder1337[1]]);
    utcSeconds = kFirstDay + 7 * 86400 + 3600;
    EXPECT_EQ(tree.WordOfTheDay(), pool[kOrder1337[7]]);
    // Past the end of the list it wraps to the start.
    utcSeconds = kFirstDay + 20 * 86400;
    EXPECT_EQ(tree.WordOfTheDay(), pool[kOrder1337[0]]);
    utcSeconds = kFirstDay + 43 * 86400;
    EXPECT_EQ(tree.WordOfTheDay(), pool[kOrder1337[3]]);
    // The pool position of the player is not touched.
    EXPECT_EQ(position.GetIndex(), -1);
}

TEST_F(WordTreeDraw, WordOfTheDayBeforeTheFirstDayStillPicksAWord)
{
    Build(RichDictionary());
    const Words pool = Pool();
    // Day numbers are unsigned: (0 / 86400 - 14125) mod 2^32 is 4294953171,
    // position 11 of 20.
    utcSeconds = 0;
    EXPECT_EQ(tree.WordOfTheDay(), pool[kOrder1337[11]]);
}

TEST_F(WordTreeDraw, LookupReturnsTheListOfTheDrawnWord)
{
    Build(RichDictionary());
    position.SetSeed(42);
    position.SetIndex(0);
    const std::string word = tree.RandomWord().GetString();
    const WordTree::WordList* drawn = tree.GetCurrentAnagrams();
    EXPECT_EQ(tree.Lookup(word), drawn);
    std::string upper = word;
    std::transform(upper.begin(), upper.end(), upper.begin(), [](char c) { return static_cast<char>(c - 32); });
    EXPECT_EQ(tree.Lookup(upper), drawn);
}

} // namespace

}  // namespace word_tree_draw_test
