// The arithmetic of a Blitz game, apart from the scene that shows it: how
// many words a round deals and how long they are, how the clock refills and
// warns, what a word scores, which words a rack accepts and which trophies a
// won round earns. The scene calls these and nothing else decides them.
#pragma once

#include <cstdint>
#include <vector>

#include "framework/core/object/GFVector.h"
#include "framework/core/util/UTF8String.h"

class WordTree;

struct BlitzRules {
    using WordList = Qmv2::GFVector<std::string>;

    static constexpr std::int32_t kFullClock = 80300;
    static constexpr std::int32_t kRefill = 8000;
    static constexpr std::int32_t kCountdownStart = 10000;
    static constexpr std::int32_t kCountdownStep = 1000;
    static constexpr std::int32_t kFirstHintDelay = 9000;
    static constexpr std::int32_t kNextHintDelay = 4000;
    static constexpr std::int32_t kRoundBonus = 1000;
    static constexpr std::int32_t kCloseFinish = 3000;
    static constexpr std::int32_t kBaseWords = 5;
    static constexpr std::int32_t kMaxWords = 10;
    static constexpr std::int32_t kMinLength = 5;
    static constexpr std::int32_t kMaxLength = 8;
    static constexpr float kColumnCentre = 285.0f;
    static constexpr float kColumnPitch = 40.0f;

    // Words dealt in `round`: five, and `increment` more a round, whole words
    // only; always at least one (a round without words cannot be played) and
    // at most ten.
    static std::int32_t WordCount(std::int32_t round, float increment);

    // Letters of one word: seven less up to two (`unit` is a draw in [0, 1)),
    // plus `increment` a round; never below five, never above the player's
    // longest word (itself taken as 5..8).
    static std::int32_t TargetLength(std::int32_t round, float increment, float unit, std::int32_t playerMax);

    // The y of the first word of a column of `count` words, so that the
    // column stays centred on the board.
    static float ColumnTop(std::int32_t count);

    // Only words as long as the source word count in Blitz.
    static void KeepFullLength(WordList& words, std::int32_t length);
    // The words of `tree` that use every letter of `word`.
    static WordList AcceptedWords(WordTree& tree, const Qmv2::UTF8String& word);

    // The clock after a found word: refilled, never past the full clock.
    static std::int32_t Refill(std::int32_t timeLeft);
    // The next warning's second for a clock at `timeLeft`.
    static std::int32_t CountdownMark(std::int32_t timeLeft);

    // A word of `letters` letters found after `hints` hints.
    static std::int32_t WordScore(std::int32_t letters, std::int32_t hints);

    // Trophies a won round earns, in the order they are tested: 3 no
    // shuffle, 4 no change of word, 5 no hint, 6 three seconds or less left.
    static std::vector<std::int32_t> RoundTrophies(bool usedShuffle, bool usedSkip, bool usedHint,
                                                   std::int32_t timeLeft);
};
