// The answer table of a round: one slot (`Anagram`) per answer word, a row of
// blank tiles as long as the word. A found word fills the first empty slot of
// its length with a flip; at the end of a round the missed words turn over in
// the empty slots with another tile face; a filled slot can be clicked to
// open the word's definition page.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "framework/core/object/GFVector.h"
#include "framework/core/object/SmartPtr.h"
#include "framework/core/util/UTF8String.h"
#include "framework/scene/Sprite.h"
#include "game/words/WordsRecords.h"

namespace Qmv2 {
class PropertyVector;
}

// Frame of a letter in the small-letter sheet: a..z and A..Z 1..26, other
// code points below 'z' + 1 the blank frame 0, above it the letter-ball row
// plus one (so an unknown letter shows frame 1).
std::int32_t SmallLetterFrame(std::uint32_t codePoint);

// One slot: `length` tiles, each with a hidden letter sprite above it.
class Anagram : public Qmv2::Sprite {
    QMV_INDEXED_TYPE(Anagram)

    Anagram(std::int32_t length, float x, float y, bool horizontal);
    ~Anagram() override;

    void SetWord(const Qmv2::UTF8String& newWord) { word = newWord; }
    const Qmv2::UTF8String& GetWord() const noexcept { return word; }
    // Empties the word and blanks every letter; the letters keep their visibility.
    void Clear();
    // Whether a letter sprite covers the screen point.
    bool HitTest(float x, float y) override;
    // Turns the tiles over to show the word, one after another 100 ms apart,
    // or all at once with `instant`.
    void Reveal(bool instant);

    bool IsMissed() const noexcept { return missed; }
    void SetMissed(bool value) noexcept { missed = value; }
    std::int32_t GetLength() const noexcept { return length; }
    Qmv2::Sprite* GetTile(std::int32_t i) const { return tiles[i]; }
    Qmv2::Sprite* GetLetter(std::int32_t i) const { return letters[i]; }

    static constexpr std::int32_t kTileStagger = 100;
    static constexpr std::int32_t kFlipTime = 150;

private:
    bool missed = false;
    std::int32_t length;
    Qmv2::GFVector<Qmv2::Sprite*> tiles;
    Qmv2::GFVector<Qmv2::Sprite*> letters;
    Qmv2::UTF8String word;
};

class AnagramTable : public Qmv2::Sprite {
    QMV_INDEXED_TYPE(AnagramTable)

    using WordList = Qmv2::GFVector<std::string>;

    // Result of a guess.
    static constexpr std::int32_t kFoundBefore = -1;
    static constexpr std::int32_t kNotAWord = 0;
    static constexpr std::int32_t kPlaced = 1;
    static constexpr std::int32_t kNoFreeSlot = 2;

    // About this many slots at most; every length that has words keeps one.
    static constexpr std::int32_t kMaxSlots = 48;
    static constexpr std::int32_t kMinWordLength = 3;
    static constexpr std::int32_t kMaxWordLength = 8;

    explicit AnagramTable(Qmv2::PropertyNode* description);
    AnagramTable(float x, float y);
    ~AnagramTable() override;

    // A new round: the answers (which get slots) are taken from the first list
    // by length quota, the second is every word the round accepts. A null list
    // reads as empty.
    void Build(const WordList* answersSource, const WordList* acceptedSource);

    // kNotAWord, kFoundBefore, kPlaced or kNoFreeSlot; `notAnAnswer` is set
    // when the word is accepted but not one of the answers.
    std::int32_t Guess(const Qmv2::UTF8String& typed, bool& notAnAnswer);
    // Fills every empty slot with a missed answer of its length.
    void RevealAll();
    // Whether the screen point lies on a filled slot; with `open`, that
    // slot's definition page is opened in the browser.
    bool OpenDefinition(float x, float y, bool open);
    bool HasSlotOfLength(std::int32_t n) const;
    bool IsShown(const Qmv2::UTF8String& word) const;

    // The found words, as a vector "WORD_LIST" of nodes "ANAGRAM" with a
    // string "WORD" each (owned by the caller).
    Qmv2::PropertyVector* Save() const;
    // Shows saved words at once in free slots of their length (after Build);
    // answers how many were placed. Words that fit no free slot are skipped.
    std::int32_t Load(const Qmv2::PropertyVector* saved);

    std::int32_t GetFoundCount() const noexcept { return foundCount; }
    void SetFoundCount(std::int32_t count) noexcept { foundCount = count; }
    const WordList& GetAnswers() const noexcept { return answers; }
    const WordList& GetAccepted() const noexcept { return accepted; }
    const std::vector<Anagram*>& GetSlots() const noexcept { return slots; }
    float GetTableWidth() const noexcept { return width; }
    float GetTableHeight() const noexcept { return height; }
    // Whether every slot holds a word.
    bool IsComplete() const;

    // The web address of a word's definition: `base` followed by the word,
    // percent-encoded; empty unless `base` is an http or https address.
    static std::string DefinitionAddress(const std::string& base, const std::string& word);

private:
    void MakeLetterImage();
    void Layout();
    // The first empty slot of that length, or null.
    Anagram* FreeSlot(std::int32_t length) const;

    std::int32_t foundCount = 0;
    WordList answers;
    WordList accepted;
    std::vector<Anagram*> slots;
    Qmv2::Sprite* letterImage = nullptr;
    float width = 0.0f;
    float height = 0.0f;
};
