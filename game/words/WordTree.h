// The game's dictionary: a letter trie read once from a word file and kept in
// one contiguous byte buffer, walked by byte offsets.
//
// Node layout at a node's offset: a little-endian u32 header (bits 0..23 the
// byte length of the whole subtree, bits 24..30 the child count, bit 31 the
// word-end flag), one letter byte per child, then the children's subtrees in
// the order of their letters. The root stands for the empty prefix.
//
// Beside the buffer, a tree loaded whole keeps a child index for the anagram
// search: per node a bit set of its children's letters (letters numbered in a
// tree-wide alphabet of at most 64) and where its children's entries stand, in
// alphabet order, in one array; so a child is found with one population count,
// and the letters a node offers and the search still holds meet in one AND.
// Subtrees alike share their entries, which keeps the index a third of the
// trie's node count for a word list, small enough to stay in the cache.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <istream>
#include <memory>
#include <string>
#include <unordered_set>
#include <vector>
#include "framework/core/object/BaseObject.h"
#include "framework/core/object/GFVector.h"
#include "framework/core/util/Random.h"
#include "framework/core/util/UTF8String.h"
#include "game/words/iWordPoolPosition.h"

class WordTree : public Qmv2::BaseObject {
    QMV_CLASS_TYPE(WordTree, Qmv2::BaseObject)

public:
    using WordList = Qmv2::GFVector<std::string>;

    // Where the tree reads the time: the millisecond clock that seeds a new
    // pool order, and the UTC seconds that pick the word of the day.
    struct Clock {
        std::function<std::uint32_t()> milliseconds;
        std::function<std::int64_t()> utcSeconds;
    };

    static constexpr std::int32_t kHeaderSize = 4;
    static constexpr std::int32_t kMaxChildren = 127;
    static constexpr std::int32_t kMaxSubtreeBytes = (1 << 24) - 1;
    static constexpr std::int32_t kMaxDepth = 64;
    static constexpr std::int32_t kPoolMinLength = 5;
    static constexpr std::int32_t kPoolMaxLength = 8;
    static constexpr std::int32_t kMinSourceAnagrams = 15;
    static constexpr std::int32_t kLookupMinLength = 3;
    static constexpr std::int32_t kLookupMaxLength = 8;
    static constexpr std::int32_t kDayOfFirstWord = 14125; // 2008-09-03 UTC
    static constexpr std::int32_t kWordOfTheDaySeed = 1337;

    WordTree();
    ~WordTree() override;
    WordTree(const WordTree&) = delete;
    WordTree& operator=(const WordTree&) = delete;

    // Reads the node that starts at the stream's position into the buffer at
    // `offset`; answers the offset just past its subtree, or -1 when the stream
    // ends early or the node breaks the layout's limits (too many children, a
    // subtree of 16 MiB or more, nesting deeper than kMaxDepth).
    std::int32_t Load(std::istream& stream, std::int32_t offset);

    // Reads a whole word file into this (empty) tree. On failure the tree is
    // left empty and `error` says why.
    bool LoadFile(const std::string& path, std::string* error = nullptr);

    bool IsEmpty() const { return capacity == 0; }
    std::int32_t GetCapacity() const { return capacity; }
    const std::uint8_t* GetNodes() const { return nodes.get(); }

    // Offset of the child of the node at `offset` with that letter, -1 when none.
    std::int32_t FindChild(std::int32_t offset, std::uint8_t letter) const;

    // Words of minLength..maxLength code points, in pre-order.
    std::unique_ptr<WordList> CollectWords(std::int32_t minLength, std::int32_t maxLength) const;

    // Every dictionary word that the letters of `word` make, each once.
    std::unique_ptr<WordList> FindAnagrams(const Qmv2::UTF8String& word) const;

    // The next source word of the pool position's owner (normally the current player).
    Qmv2::UTF8String RandomWord();

    // Today's source word, chosen by the day counted in UTC.
    Qmv2::UTF8String WordOfTheDay();

    // The anagram list of `word`, owned by the tree and valid until the next
    // RandomWord, WordOfTheDay or Lookup of another word; null for a word of
    // fewer than 3 or more than 8 code points.
    const WordList* Lookup(const Qmv2::UTF8String& word);

    const Qmv2::UTF8String& GetCurrentWord() const { return currentWord; }
    const WordList* GetCurrentAnagrams() const { return currentAnagrams.get(); }

    void SetPoolPosition(iWordPoolPosition* position) { poolPosition = position; }
    void SetClock(Clock newClock) { clock = std::move(newClock); }

private:
    std::int32_t LoadNode(std::istream& stream, std::int32_t offset, std::int32_t depth);
    bool Reserve(std::int32_t bytes);
    std::uint32_t Header(std::int32_t offset) const;
    // Prefixes are kept as letter bytes, one per code point, and turned into
    // UTF-8 text only when a word is listed.
    void Collect(std::int32_t offset, std::string& prefix, std::int32_t minLength,
                 std::int32_t maxLength, WordList& list) const;
    class AnagramWalk;
    class IndexedAnagramWalk;
    // Builds the child index of the tree loaded at offset 0; none when the
    // tree uses more than kMaxIndexLetters letters (the buffer walk serves then).
    void BuildIndex();
    struct IndexEntry;
    struct BlockHash {
        const std::vector<IndexEntry>* index;
        std::size_t operator()(std::uint64_t key) const;
    };
    struct BlockEqual {
        const std::vector<IndexEntry>* index;
        bool operator()(std::uint64_t a, std::uint64_t b) const;
    };
    using BlockSet = std::unordered_set<std::uint64_t, BlockHash, BlockEqual>;
    IndexEntry IndexNode(std::int32_t offset, BlockSet& blocks);
    void Shuffle(WordList& list, std::int32_t seed);
    void SetCurrent(const Qmv2::UTF8String& word);
    iWordPoolPosition& Position();
    void Clear();

    std::unique_ptr<std::uint8_t[]> nodes;
    std::int32_t capacity = 0;

    static constexpr std::int32_t kMaxIndexLetters = 64;
    struct IndexEntry {
        std::uint64_t childLetters; // bit per alphabet letter
        std::uint32_t firstChild;   // index of the first child; the others follow in alphabet order
        // Bit 31: a word ends here. Bits 0..30: alphabet letters 0..30 that every
        // word below this node still needs, so a search without them skips it.
        std::uint32_t wordEndAndNeeds;
    };
    static constexpr std::uint32_t kIndexWordEnd = 0x80000000u;
    std::vector<IndexEntry> index;
    std::array<std::int8_t, 256> alphabetOf{};                    // letter byte to alphabet number, -1 when unused
    std::array<std::array<char, 2>, kMaxIndexLetters> letterText{}; // each alphabet letter as UTF-8
    std::array<std::uint8_t, kMaxIndexLetters> letterTextBytes{};
    std::unique_ptr<WordList> wordList;
    std::int32_t wordListMinLength = 0;
    std::int32_t wordListMaxLength = 0;
    Qmv2::UTF8String currentWord;
    std::unique_ptr<WordList> currentAnagrams;

    iWordPoolPosition* poolPosition = nullptr;
    WordPoolPosition ownPosition;
    Clock clock;
    // Shuffles when the framework's generator has not been made; every
    // shuffle seeds its generator first, so either gives the same order.
    Qmv2::Random ownRandom;
};
