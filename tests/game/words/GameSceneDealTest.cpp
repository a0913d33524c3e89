// How a classic round picks its source word and which answers the word of
// the day keeps: the draw always ends, even when only longer words come.
#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

#include "game/words/GameScene.h"

namespace game_scene_deal_test {

using Qmv2::UTF8String;

namespace {

// Draws the listed words in turn, the last one for ever after; counts draws.
struct Draws {
    std::vector<std::string> words;
    int count = 0;
    UTF8String operator()()
    {
        const std::string& word = words[std::min<std::size_t>(count, words.size() - 1)];
        ++count;
        return UTF8String(word);
    }
};

std::string Choose(std::int32_t target, Draws& draws)
{
    return GameScene::ChooseSourceWord(target, [&draws] { return draws(); }).GetString();
}

}  // namespace

TEST(GameSceneDealTest, TheSourceWordIsTheTargetLengthOrTheNearestOfFiveShorterDraws)
{
    Draws exact{{"sparkles", "planet", "stream"}};
    EXPECT_EQ(Choose(6, exact), "planet") << "a longer word is drawn again";
    EXPECT_EQ(exact.count, 2);

    // Longer words use no try: five shorter draws are still made after them.
    Draws shorter{{"abcdefghi", "abcde", "abcdefghij", "abcd", "abcdef", "abcde", "abcdefg", "abcdef", "zzzzz"}};
    EXPECT_EQ(Choose(8, shorter), "abcdefg") << "the nearest of the five shorter words";
    EXPECT_EQ(shorter.count, 7);

    Draws ties{{"later", "other", "these", "their", "whose"}};
    EXPECT_EQ(Choose(7, ties), "later") << "of equally near words the first drawn stays";
    EXPECT_EQ(ties.count, 5);

    // Only longer words: the draw still ends, with the last one drawn.
    Draws longer{{"elephants"}};
    EXPECT_EQ(Choose(5, longer), "elephants");
    EXPECT_EQ(longer.count, GameScene::kMaxSourceDraws);
}

TEST(GameSceneDealTest, TheWordOfTheDayKeepsFiveAnswersOfEachLengthInOrder)
{
    AnagramTable::WordList list;
    std::vector<std::string> expected;
    for (int length = 1; length <= 9; ++length) {
        for (int i = 0; i < 7; ++i) {
            std::string word(static_cast<std::size_t>(length), static_cast<char>('a' + i));
            list.PushBack(word);
            if (length >= 3 && length <= 8 && i < 5) {
                expected.push_back(word);
            }
        }
    }
    GameScene::CapWordOfTheDayList(list);
    EXPECT_EQ(std::vector<std::string>(list.begin(), list.end()), expected);
}

TEST(GameSceneDealTest, DaysAreCountedInUtcWhereverThePlayerIs)
{
    // A player far east of UTC: their local calendar is a day ahead late in
    // the UTC day, but the word of the day, its record and its save follow
    // the UTC day.
    const char* previous = std::getenv("TZ");
    const std::string kept = previous != nullptr ? previous : "";
    setenv("TZ", "Pacific/Kiritimati", 1);
    tzset();
    const std::time_t lastSecondOfDayZero = static_cast<std::time_t>(GameScene::kFirstDay) * 86400 + 86399;
    EXPECT_EQ(GameScene::DayNumber(lastSecondOfDayZero), 0);
    EXPECT_EQ(GameScene::DayNumber(lastSecondOfDayZero + 1), 1);
    EXPECT_EQ(GameScene::DayNumber(lastSecondOfDayZero - 86400), -1);
    if (previous != nullptr) {
        setenv("TZ", kept.c_str(), 1);
    } else {
        unsetenv("TZ");
    }
    tzset();
}

}  // namespace game_scene_deal_test
