// The saved state of a classic, untimed or word-of-the-day round: what is
// written when the player leaves a round in progress, and the checks a saved
// file passes before it is played again. A file that fails them is refused
// with its reason and the player gets a fresh round.
#pragma once

#include <cstdint>
#include <string>

#include "framework/core/object/SmartPtr.h"
#include "framework/core/util/UTF8String.h"

namespace Qmv2 {
class PropertyNode;
class PropertyVector;
}  // namespace Qmv2

class WordTree;

struct ClassicRoundSave {
    // A full clock, and passes a game in progress can have used (the third
    // ends the game, which is never saved).
    static constexpr std::int32_t kFullTime = 120000;
    static constexpr std::int32_t kMaxPasses = 2;
    static constexpr std::int32_t kMaxRound = 1000000;
    static constexpr std::int32_t kMinWordLength = 5;
    static constexpr std::int32_t kMaxWordLength = 8;

    Qmv2::UTF8String word;
    std::int32_t round = 1;
    std::int32_t timeLeft = 0;
    bool longestWord = false;
    std::int32_t score = 0;
    std::int32_t day = 0;
    std::int32_t passCount = 0;
    // The found words, as the answer table saves them; may be null.
    Qmv2::SmartPtr<Qmv2::PropertyVector> foundWords;

    // The "GAME" node of type "DATA", values in file order, then the words.
    Qmv2::PropertyNode* ToNode() const;

    // Reads a "GAME" node. A missing value reads as 0, false or empty; a
    // value that is no number, a source word of the wrong length or not in
    // `words`, a clock outside 0..120000 (an untimed round may run below 0),
    // a round below 1, a negative score or more than two passes refuse the
    // save, and `why` says which.
    static bool Read(const Qmv2::PropertyNode& game, WordTree& words, bool untimed, ClassicRoundSave& out,
                     std::string& why);

    // The second at which the last-ten-seconds warning resumes.
    std::int32_t CountdownMark() const;
};
