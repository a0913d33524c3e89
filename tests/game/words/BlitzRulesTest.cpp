// The numbers of a Blitz game: words dealt and their lengths, the source
// word search, the clock's refill and warnings, word scores and the trophies
// of a won round, checked against worked figures of the game's rules.
#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "framework/core/util/Random.h"
#include "game/words/BlitzRules.h"

namespace blitz_rules_test {

using namespace Qmv2;

TEST(BlitzRulesTest, RoundsDealOneToTenWordsOfFiveLettersOrMore)
{
    EXPECT_EQ(BlitzRules::WordCount(1, 0.5f), 5);
    EXPECT_EQ(BlitzRules::WordCount(2, 0.5f), 5);
    EXPECT_EQ(BlitzRules::WordCount(3, 0.5f), 6);
    EXPECT_EQ(BlitzRules::WordCount(12, 0.5f), 10);
    EXPECT_EQ(BlitzRules::WordCount(999999, 3.0f), 10);
    EXPECT_FLOAT_EQ(BlitzRules::ColumnTop(BlitzRules::WordCount(40, 1.0f)), 85.0f);
    // Data that would deal nothing still deals one word.
    EXPECT_EQ(BlitzRules::WordCount(2, -5.0f), 1);
    EXPECT_EQ(BlitzRules::WordCount(1000000, -1.0f), 1);
    EXPECT_EQ(BlitzRules::WordCount(3, std::numeric_limits<float>::quiet_NaN()), 1);

    // Round 1: five or six letters from the generator's draws, seven only
    // for a draw of exactly 0.
    Rand random(42);
    bool saw[9] = {};
    for (int i = 0; i < 2000; ++i) {
        const std::int32_t length = BlitzRules::TargetLength(1, 0.25f, random.NextFloat(), 8);
        ASSERT_TRUE(length == 5 || length == 6) << length;
        saw[length] = true;
    }
    EXPECT_TRUE(saw[5] && saw[6]);
    EXPECT_EQ(BlitzRules::TargetLength(1, 0.25f, 0.0f, 8), 7);
    // Later rounds shift the range by the increment, up to the player's limit.
    EXPECT_EQ(BlitzRules::TargetLength(5, 0.25f, 0.75f, 8), 6);  // 1 + 7 - 1.5
    EXPECT_EQ(BlitzRules::TargetLength(9, 0.25f, 0.1f, 8), 8);   // 2 + 7 - 0.2, capped
    EXPECT_EQ(BlitzRules::TargetLength(9, 0.25f, 0.1f, 6), 6);
    // Never below five: a negative increment, a tiny player maximum.
    EXPECT_EQ(BlitzRules::TargetLength(30, -1.0f, 0.5f, 8), 5);
    EXPECT_EQ(BlitzRules::TargetLength(1, 0.0f, 0.0f, 3), 5);
    EXPECT_EQ(BlitzRules::TargetLength(1000000, 1e30f, 0.5f, 7), 7);
    EXPECT_EQ(BlitzRules::TargetLength(2, std::numeric_limits<float>::quiet_NaN(), 0.5f, 8), 5);
}

TEST(BlitzRulesTest, RacksAcceptOnlyFullLengthWords)
{
    BlitzRules::WordList accepted;
    for (const char* word : {"ate", "sated", "stead", "tads", "steads", "dates"})
        accepted.PushBack(word);
    BlitzRules::KeepFullLength(accepted, 5);
    EXPECT_EQ(std::vector<std::string>(accepted.begin(), accepted.end()),
              (std::vector<std::string>{"sated", "stead", "steads", "dates"}));
}

TEST(BlitzRulesTest, ClockRefillsScoresAndTrophies)
{
    struct Refill {
        std::int32_t before, after, mark;
    };
    for (const Refill& r : {Refill{75000, 80300, 10000}, Refill{4500, 12500, 10000}, Refill{1700, 9700, 9000},
                            Refill{80300, 80300, 10000}, Refill{0, 8000, 8000}}) {
        const std::int32_t after = BlitzRules::Refill(r.before);
        EXPECT_EQ(after, r.after) << r.before;
        EXPECT_EQ(BlitzRules::CountdownMark(after), r.mark) << r.before;
    }
    EXPECT_EQ(BlitzRules::Refill(std::numeric_limits<std::int32_t>::max()), BlitzRules::kFullClock);
    // Restored clocks resume their warnings on the whole second below them.
    EXPECT_EQ(BlitzRules::CountdownMark(41250), 10000);
    EXPECT_EQ(BlitzRules::CountdownMark(7400), 7000);
    EXPECT_EQ(BlitzRules::CountdownMark(-300), 0);

    EXPECT_EQ(BlitzRules::WordScore(6, 0), 360);
    EXPECT_EQ(BlitzRules::WordScore(6, 2), 240);
    EXPECT_EQ(BlitzRules::WordScore(6, 6), 0);
    EXPECT_EQ(BlitzRules::WordScore(6, 9), 0);
    EXPECT_EQ(BlitzRules::WordScore(8, 1), 560);

    using Trophies = std::vector<std::int32_t>;
    EXPECT_EQ(BlitzRules::RoundTrophies(false, false, false, 3000), (Trophies{3, 4, 5, 6}));
    EXPECT_EQ(BlitzRules::RoundTrophies(false, false, false, 3001), (Trophies{3, 4, 5}));
    EXPECT_EQ(BlitzRules::RoundTrophies(true, false, true, 50000), (Trophies{4}));
    EXPECT_EQ(BlitzRules::RoundTrophies(true, true, true, 1), (Trophies{6}));
}

}  // namespace blitz_rules_test
