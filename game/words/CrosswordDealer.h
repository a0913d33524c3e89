// Dealing a crossword round: which source words make a crossword (their
// letters make exactly one word of their full length, the word itself), how
// many of their anagrams go on the board as the rounds go by, and the
// bounded loop that draws source words until the generator lays one out.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "framework/core/util/UTF8String.h"
#include "game/words/CrosswordTable.h"

class WordTree;

class CrosswordDealer {
public:
    static constexpr std::int32_t kFirstCountBase = 4;
    static constexpr std::int32_t kMaxWords = 10;
    static constexpr std::int32_t kMinSourceLength = 5;
    static constexpr std::int32_t kMaxSourceLength = 8;
    // Source words tried before a round is dealt from the source word alone.
    static constexpr std::int32_t kMaxDeals = 200;

    // How many anagram-list entries a round visits: (random mod k) + 4, at
    // most 10, with k = floor((round - 1) * increment + 4). A k of 0 or
    // less (a negative increment) counts as 1; an absurd one is held to a
    // range that cannot overflow.
    static std::int32_t WordCount(std::int32_t round, float increment, std::uint32_t random);

    // Walks `shuffled` from its start, `count` entries, taking each that is
    // not `source`, then appends `source` (which the generator lays first).
    static std::vector<std::string> ChooseWords(const CrosswordTable::WordList& shuffled, const std::string& source,
                                                std::int32_t count);

    // Whether exactly one word of `anagrams` is as long as `source` (one byte
    // a letter in the word files).
    static bool HasSoleFullLengthWord(const CrosswordTable::WordList& anagrams, const Qmv2::UTF8String& source);

    // A word a round can be dealt from: 5..8 letters, in `words` and its
    // letters make no other word of its length.
    static bool IsSourceWord(WordTree& words, const Qmv2::UTF8String& source);

    // Gives the table its accepted words: `accepted` and every word of its
    // `words` and its board that `accepted` lacks.
    static void Accept(CrosswordTable& table, const CrosswordTable::WordList* accepted);
    // A restored board's lists: every word the source word makes, and the
    // second tree's list of it.
    static void HandWords(CrosswordTable& table, WordTree& main, WordTree& second, const Qmv2::UTF8String& source);

    struct Sources {
        // The next candidate source word.
        std::function<Qmv2::UTF8String()> draw;
        // The C library's generator, for shuffles, and the framework's, for the count.
        std::function<std::uint32_t()> shuffleRandom;
        std::function<std::uint32_t()> countRandom;
    };

    // Deals into `table`: draws source words until one makes a crossword;
    // after kMaxDeals failures the last good source word (or the last drawn
    // one) is laid out alone, so a round is always dealt. Answers the source
    // word; `main` gives the board's words, `second` the accepted ones.
    static Qmv2::UTF8String Deal(CrosswordTable& table, WordTree& main, WordTree& second, const Sources& sources,
                                 std::int32_t round, float increment);
};
