// The saved state of a crossword round in progress: the round, the score,
// the source word, the word in play, one entry per word's rack and the
// board itself. A file is checked whole before it is played again; one that
// fails is refused with its reason, and the player gets a fresh round.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "framework/core/object/SmartPtr.h"
#include "framework/core/util/UTF8String.h"

namespace Qmv2 {
class PropertyNode;
}

class CrosswordTable;
class WordTree;

struct CrisscrossRoundSave {
    static constexpr std::int32_t kMaxRound = 1000000;

    struct Rack {
        Qmv2::UTF8String source;  // the rack's letters
        Qmv2::UTF8String hint;    // the word the rack stands for
        Qmv2::UTF8String played;  // the solved word; empty while unsolved
        std::int32_t length = 0;
        bool scored = false;
    };

    std::int32_t round = 1;
    std::int32_t time = 0;
    std::int32_t score = 0;
    Qmv2::UTF8String word;
    // The index of the word in play. Files written before it was kept lack
    // it and read as the first word.
    std::int32_t current = 0;
    std::vector<Rack> racks;
    // The board as the crossword table saves it.
    Qmv2::SmartPtr<Qmv2::PropertyNode> table;

    // The "GAME" node of type "DATA": the values in file order, the racks,
    // then the board.
    Qmv2::PropertyNode* ToNode() const;

    // Reads a "GAME" node and rebuilds the board into `board` (a table that
    // holds nothing yet). A missing value reads as 0, false or empty; the
    // save is refused when a number is no number or out of range, the
    // source word is no word a round is dealt from, the board does not load
    // or shows a word not made of the source word's letters, the racks are
    // not one per placed word, a rack's letters, length, hint or solved
    // word do not fit its word on the board, or the word in play is none of
    // the board's.
    static bool Read(const Qmv2::PropertyNode& game, WordTree& words, CrosswordTable& board,
                     CrisscrossRoundSave& out, std::string& why);
};
