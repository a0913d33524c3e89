// The crossword board: a round's words laid out as a small crossword on a
// 20 x 11 grid, one answer slot (`Anagram`) per placed word in its grid
// position and direction. The generator crosses each new word with a word
// already placed; a word ends next to blocked cells, and nothing may cross
// within one cell of an existing crossing, so crossings stay readable.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "framework/core/app/iInputListener.h"
#include "framework/core/object/BaseObject.h"
#include "framework/core/object/GFVector.h"
#include "framework/core/object/SmartPtr.h"
#include "framework/core/util/UTF8String.h"
#include "framework/scene/Sprite.h"
#include "game/words/AnagramTable.h"
#include "game/words/WordsRecords.h"

namespace Qmv2 {
class PropertyNode;
}

// Where one word of the crossword stands.
class WordPlacement : public Qmv2::BaseObject {
public:
    std::string word;
    std::int32_t x = 0;  // column of the first letter
    std::int32_t y = 0;  // row of the first letter
    bool horizontal = true;
    // For each crossing word (by its index among the placements), the index
    // of this word's letter in the shared cell.
    std::map<std::int32_t, std::int32_t> intersections;

    std::int32_t Length() const noexcept { return static_cast<std::int32_t>(word.size()); }
    // Grid column and row of letter `c` (c may lie one before or after the word).
    std::int32_t CellX(std::int32_t c) const noexcept { return horizontal ? x + c : x; }
    std::int32_t CellY(std::int32_t c) const noexcept { return horizontal ? y : y + c; }
};

class CrosswordTable : public Qmv2::Sprite, public Qmv2::iInputListener {
    QMV_INDEXED_TYPE(CrosswordTable)

    using WordList = Qmv2::GFVector<std::string>;

    static constexpr std::int32_t kColumns = 20;
    static constexpr std::int32_t kRows = 11;
    // Attempts to cross one word with the board before the generator gives up.
    static constexpr std::int32_t kAttempts = 10000;
    // The crossing index of a word that crosses nothing (the first one).
    static constexpr std::int32_t kNoCrossing = -2;

    // Results of Guess.
    static constexpr std::int32_t kFoundBefore = -1;
    static constexpr std::int32_t kNotAWord = 0;
    static constexpr std::int32_t kShown = 1;
    // The word is accepted but the slot does not exist or has another length.
    static constexpr std::int32_t kWrongSlot = 2;

    struct Cell {
        std::int32_t letter = 0;  // the letter byte, sign-extended; 0 = empty
        bool blocked = false;     // no new word may put a letter of its own here
    };

    explicit CrosswordTable(Qmv2::PropertyNode* description);
    CrosswordTable(float x, float y);
    ~CrosswordTable() override;

    Qmv2::Interface* GetInterface(const Qmv2::ClassType* type) override;

    // The words to lay out (the last one first) and every word Guess accepts.
    WordList words;
    WordList accepted;

    // Lays out `words`: true when every word found a place. On false the
    // words placed so far stay; a word that cannot stand on the grid at all
    // (empty, or too long for the first row) fails at once.
    bool Generate();
    // Whether the word can stand at its placement with letter `k` on an
    // existing crossing (kNoCrossing: none).
    bool CanPlace(const WordPlacement& placement, std::int32_t k) const;
    // Writes the word into the grid (its ends and the square around the
    // crossing blocked) and makes its slot.
    void Place(const WordPlacement& placement, std::int32_t k);

    // kNotAWord, kFoundBefore, kShown or kWrongSlot; `notInWords` is set when
    // the word is accepted but not one of `words`.
    std::int32_t Guess(const Qmv2::UTF8String& word, std::int32_t slotIndex, bool& notInWords);
    // Puts the word into the slot, brings the slot to the front and turns its
    // tiles; false (nothing changes) when there is no such slot or the word
    // has another length.
    bool ShowWord(std::int32_t slotIndex, const Qmv2::UTF8String& word, bool instant);
    // The first accepted word of the pattern's length matching it letter for
    // letter ('*' matches any), shown in no slot yet; empty when none.
    std::string FindMatch(const std::string& pattern) const;
    // Empties the slot and sends it to the back.
    void ClearSlot(std::int32_t index);
    bool IsShown(const Qmv2::UTF8String& word) const;

    // The board as a node "CROSSWORD_TABLE" (owned by the caller).
    Qmv2::PropertyNode* Save() const;
    // Rebuilds the placements, their slots and the shown words from a saved
    // board, on a table that holds none yet. A save that does not describe a
    // sound board (no placements, a word off the grid, a crossing that does
    // not meet, a slot index or word length that does not fit) is refused
    // whole: false, and the table stays empty.
    bool Load(const Qmv2::PropertyNode* saved);

    const Cell& GetCell(std::int32_t x, std::int32_t y) const { return cells[x * kRows + y]; }
    const std::vector<Qmv2::SmartPtr<WordPlacement>>& GetPlacements() const noexcept { return placements; }
    const std::vector<Anagram*>& GetSlots() const noexcept { return slots; }
    float GetCellWidth() const;
    float GetCellHeight() const;

    // Fields the scene keeps on the table; the table never reads them.
    Qmv2::GameNode* scene = nullptr;
    bool sceneFlag = false;
    std::int32_t sceneCount = 0;

private:
    Cell& At(std::int32_t x, std::int32_t y) { return cells[x * kRows + y]; }
    void MakeSlot(const WordPlacement& placement);
    // Tries to cross `candidate` with one randomly chosen placed word.
    bool TryCross(const std::string& candidate);
    void Reset();
    void MakeImages();

    Qmv2::Sprite* letterImage = nullptr;
    Qmv2::Sprite* unguessedImage = nullptr;
    std::vector<Anagram*> slots;
    std::array<Cell, kColumns * kRows> cells{};
    std::vector<Qmv2::SmartPtr<WordPlacement>> placements;
};
