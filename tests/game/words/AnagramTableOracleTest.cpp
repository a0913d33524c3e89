// The answer table of real rounds against Debian's `an`: the accepted words
// are exactly what `an` lists from the second dictionary, the slots are the
// length quota of what it lists from the main one, and a word it does not
// list scores nothing.
#include <algorithm>
#include <array>
#include <cstdio>
#include <fstream>
#include <map>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "WordTestSupport.h"
#include "framework/core/object/SmartPtr.h"
#include "framework/core/util/UTF8String.h"
#include "game/words/AnagramTable.h"
#include "game/words/WordTree.h"

namespace anagram_table_oracle_test {

using namespace Qmv2;

namespace {

using Words = std::vector<std::string>;

std::int32_t Letters(const std::string& word)
{
    return UTF8String(word).GetLength();
}

// Slots per length for a round whose main list is `listed`: about 48 in all,
// shared out by length in proportion, each length with words keeping one.
std::map<std::int32_t, std::int32_t> ExpectedSlots(const Words& listed)
{
    std::map<std::int32_t, std::int32_t> count;
    for (const std::string& word : listed)
        ++count[Letters(word)];
    const double scale = listed.size() > 48 ? 48.0 / static_cast<double>(listed.size()) : 1.0;
    std::map<std::int32_t, std::int32_t> slots;
    for (const auto& [length, n] : count) {
        if (length < 3)
            continue;
        const double share = static_cast<float>(n) * static_cast<float>(scale);
        slots[length] = share > 0.0 && share < 1.0 ? 1 : static_cast<std::int32_t>(share);
    }
    return slots;
}

TEST(AnagramTableOracle, RoundsAgreeWithAn)
{
    WordTree main;
    WordTree second;
    ASSERT_NO_FATAL_FAILURE(wordtest::LoadGameWordTrees(main, second));
    const std::string mainDictionary = std::string(QMV_BINARY_DIR) + "/answers-oracle-main.txt";
    const std::string secondDictionary = std::string(QMV_BINARY_DIR) + "/answers-oracle-second.txt";
    wordtest::WriteDictionary(main, mainDictionary);
    wordtest::WriteDictionary(second, secondDictionary);

    const auto pool = main.CollectWords(WordTree::kPoolMinLength, WordTree::kPoolMaxLength);
    const std::int32_t step = std::max(pool->GetCount() / 400, 1);
    std::size_t rounds = 0;
    std::size_t cutRounds = 0;
    std::size_t outsideWords = 0;
    std::size_t rejected = 0;
    for (std::int32_t i = 0; i < pool->GetCount() && rounds < 60; i += step) {
        const std::string source = (*pool)[i];
        const auto answers = main.FindAnagrams(source);
        if (answers->GetCount() < WordTree::kMinSourceAnagrams)
            continue; // the game deals no such word
        ++rounds;
        const auto acceptedList = second.FindAnagrams(source);
        SmartPtr<AnagramTable> table(new AnagramTable(0.0f, 0.0f));
        table->Build(answers.get(), acceptedList.get());

        const Words mainListed = wordtest::RunAn(mainDictionary, source);
        const Words secondListed = wordtest::RunAn(secondDictionary, source);
        const std::set<std::string> secondSet(secondListed.begin(), secondListed.end());
        const std::set<std::string> mainSet(mainListed.begin(), mainListed.end());

        const Words accepted(table->GetAccepted().begin(), table->GetAccepted().end());
        EXPECT_EQ(std::set<std::string>(accepted.begin(), accepted.end()), secondSet) << source;
        EXPECT_EQ(accepted.size(), secondSet.size()) << source << ": a word accepted twice";

        std::map<std::int32_t, std::int32_t> slots;
        std::int32_t previous = 0;
        for (const std::string& word : table->GetAnswers()) {
            EXPECT_TRUE(mainSet.count(word)) << source << ": " << word << " is no answer of an";
            EXPECT_GE(Letters(word), previous) << source << ": shorter words come first";
            previous = Letters(word);
            ++slots[previous];
        }
        EXPECT_EQ(slots, ExpectedSlots(mainListed)) << source;
        ASSERT_EQ(table->GetSlots().size(), static_cast<std::size_t>(table->GetAnswers().GetCount()));
        cutRounds += mainListed.size() > 48;

        // Rearrangements of the source's letters that `an` does not list score 0.
        std::string letters = source;
        std::sort(letters.begin(), letters.end());
        std::int32_t tries = 0;
        do {
            if (!secondSet.count(letters)) {
                bool outside = false;
                EXPECT_EQ(table->Guess(UTF8String(letters), outside), AnagramTable::kNotAWord) << letters;
                ++rejected;
            }
        } while (std::next_permutation(letters.begin(), letters.end()) && ++tries < 20);

        // Every accepted word counts: answers fill their slots, the rest set
        // the flag and take a free slot of their length if one is left.
        const std::set<std::string> answerSet(table->GetAnswers().begin(), table->GetAnswers().end());
        std::int32_t placed = 0;
        for (const std::string& word : secondListed) {
            bool outside = false;
            const std::int32_t result = table->Guess(UTF8String(word), outside);
            EXPECT_EQ(outside, answerSet.count(word) == 0) << word;
            if (answerSet.count(word)) {
                EXPECT_TRUE(result == AnagramTable::kPlaced || result == AnagramTable::kNoFreeSlot) << word;
            } else {
                ++outsideWords;
                EXPECT_NE(result, AnagramTable::kNotAWord) << word;
            }
            placed += result == AnagramTable::kPlaced;
            bool again = false;
            const std::int32_t second = table->Guess(UTF8String(word), again);
            if (result == AnagramTable::kPlaced) {
                EXPECT_EQ(second, AnagramTable::kFoundBefore) << word;
            }
        }
        EXPECT_EQ(placed, table->GetFoundCount());
        EXPECT_TRUE(table->IsComplete()) << source << ": every word typed, yet a slot is empty";
    }
    EXPECT_GE(rounds, 40u);
    EXPECT_GT(cutRounds, 0u) << "no sampled round needed the 48-slot quota";
    EXPECT_GT(outsideWords, 0u) << "no sampled round had a word only the second list holds";
    EXPECT_GT(rejected, rounds);
    std::remove(mainDictionary.c_str());
    std::remove(secondDictionary.c_str());
}

}  // namespace

}  // namespace anagram_table_oracle_test
