// The answers a classic round of a source word gives slots, as the scene
// builds them from the game's two word files: what a test types to win.
#pragma once

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "framework/core/object/SmartPtr.h"
#include "game/words/AnagramTable.h"
#include "game/words/WordTree.h"

namespace frontendtest {

inline std::vector<std::string> RoundAnswers(const WordTree& main, const WordTree& second, const std::string& word)
{
    const auto answers = main.FindAnagrams(Qmv2::UTF8String(word));
    const auto accepted = second.FindAnagrams(Qmv2::UTF8String(word));
    Qmv2::SmartPtr<AnagramTable> table(new AnagramTable(0.0f, 0.0f));
    table->Build(answers.get(), accepted.get());
    return {table->GetAnswers().begin(), table->GetAnswers().end()};
}

// The same with the word files of the run folder `runDir`.
inline std::vector<std::string> RoundAnswers(const std::string& runDir, const std::string& word)
{
    WordTree main;
    WordTree second;
    EXPECT_TRUE(main.LoadFile(runDir + "/data/Quorvel2Words.tree"));
    EXPECT_TRUE(second.LoadFile(runDir + "/data/TollivaneWords.tree"));
    return RoundAnswers(main, second, word);
}

}  // namespace frontendtest
