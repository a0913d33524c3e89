// Blitz rounds dealt from the game's word files against Debian's `an`: the
// words a rack accepts are exactly the full-length words `an` makes from the
// second dictionary, for source words of every length rounds ask for.
#include <fstream>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "WordTestSupport.h"
#include "framework/core/util/Random.h"
#include "framework/core/util/UTF8String.h"
#include "game/words/BlitzRules.h"
#include "game/words/WordTree.h"

namespace blitz_deal_oracle_test {

using namespace Qmv2;

TEST(BlitzDealOracle, AcceptedWordsAreAnsFullLengthWords)
{
    WordTree main;
    WordTree second;
    ASSERT_NO_FATAL_FAILURE(wordtest::LoadGameWordTrees(main, second));
    main.SetClock({[] { return 4242u; }, [] { return std::int64_t{1700000000}; }});
    const std::string dictionary = std::string(QMV_BINARY_DIR) + "/blitz-oracle-second.txt";
    wordtest::WriteDictionary(second, dictionary);

    // Rounds 1 to 6 with growing words, as a game with these increments deals them.
    const float countIncrement = 0.5f;
    const float sizeIncrement = 0.4f;
    Rand random(2026);
    std::size_t dealt = 0;
    std::size_t manyWords = 0;
    for (std::int32_t round = 1; round <= 6; ++round) {
        const std::int32_t count = BlitzRules::WordCount(round, countIncrement);
        EXPECT_EQ(count, 5 + (round - 1) / 2) << "round " << round;
        for (std::int32_t i = 0; i < count; ++i) {
            const std::int32_t target = BlitzRules::TargetLength(round, sizeIncrement, random.NextFloat(), 8);
            // Five or six letters at first; seven or eight by round 6.
            EXPECT_GE(target, round == 6 ? 7 : 5) << "round " << round;
            EXPECT_LE(target, round == 1 ? 6 : 8) << "round " << round;
            // A word of the target length from the game's own draws.
            UTF8String word;
            for (std::int32_t draw = 0; draw < 10000 && word.GetLength() != target; ++draw)
                word = main.RandomWord();
            ASSERT_EQ(word.GetLength(), target);

            const BlitzRules::WordList accepted = BlitzRules::AcceptedWords(second, word);
            std::set<std::string> expected;
            for (const std::string& listed : wordtest::RunAn(dictionary, word.GetString())) {
                if (UTF8String(listed).GetLength() == word.GetLength())
                    expected.insert(listed);
            }
            const std::set<std::string> got(accepted.begin(), accepted.end());
            EXPECT_EQ(got, expected) << word.GetString();
            EXPECT_EQ(got.size(), static_cast<std::size_t>(accepted.GetCount())) << word.GetString();
            EXPECT_TRUE(got.count(word.GetString())) << word.GetString() << " does not accept itself";
            ++dealt;
            manyWords += got.size() > 1;
        }
    }
    EXPECT_EQ(dealt, 5u + 5u + 6u + 6u + 7u + 7u);
    EXPECT_GT(manyWords, 0u) << "no source word had a second full-length word";
}

}  // namespace blitz_deal_oracle_test
