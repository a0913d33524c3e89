// The saved state of a Blitz game: written when the player leaves a round in
// progress, checked before it is played again. A file that fails the checks
// is refused with its reason, and the player gets a fresh game.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "framework/core/util/UTF8String.h"

namespace Qmv2 {
class PropertyNode;
}

class WordTree;

struct BlitzSave {
    static constexpr std::int32_t kMaxRound = 1000000;

    struct Word {
        Qmv2::UTF8String word;
        bool completed = false;
    };

    std::int32_t round = 1;
    std::int32_t timeLeft = 0;
    std::int32_t score = 0;
    // The round's words in dealing order.
    std::vector<Word> words;

    // The "GAME" node of type "DATA": round, clock and score, then the words.
    Qmv2::PropertyNode* ToNode() const;

    // Reads a "GAME" node. Numbers are decimal, or hexadecimal after "#" or
    // "0x"; a missing one reads as 0. Refused, with `why` saying which:
    // anything else that is no number; a round outside 1..kMaxRound; a clock
    // not above 0 or past the full clock; a negative score; no words or more
    // than a round deals; a word of fewer than 5 or more than 8 letters or
    // not in `words`; every word already found.
    static bool Read(const Qmv2::PropertyNode& game, WordTree& words, BlitzSave& out, std::string& why);
};
