// The game's dictionary: a letter trie read once from a word file and kept in
// one contiguous byte buffer, walked by byte offsets.
//
// Node layout at a node's offset: a little-endian u32 header (bits 0..23 the
// byte length of the whole subtree, bits 24..30 the child count, bit 31 the
// word-end flag), one letter byte per child, then the children's subtrees in
// the order of their letters. The root stands for the empty prefix.
//
// Beside the buffer, a tree loaded whole keeps its words grouped by their
// letters for the anagram search (AnagramIndex). The index is built on a
// thread of its own once the buffer is read, so that a load costs only the
// reading: a game scene loads its trees and deals its first round in the same
// frame. Until the index is ready, and for source words longer than it
// serves, a search walks the buffer; both give the same list in the same order.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <istream>
#include <memory>
#include <string>
#include <thread>
#include <vector>
#include "framework/core/object/BaseObject.h"
#include "framework/core/object/GFVector.h"
#include "framework/core/util/Random.h"
#include "framework/core/util/UTF8String.h"
#include "game/words/AnagramIndex.h"
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

    // Waits until the anagram index of the tree loaded last is built, and
    // answers whether it is ready (false when nothing was loaded whole).
    bool WaitForIndex();

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
    std::int32_t LoadNode(std::streambuf& stream, std::int32_t offset, std::int32_t depth);
    bool Reserve(std::int32_t bytes);
    std::uint32_t Header(std::int32_t offset) const;
    // Prefixes are kept as letter bytes, one per code point, and turned into
    // UTF-8 text only when a word is listed.
    void Collect(std::int32_t offset, std::string& prefix, std::int32_t minLength,
                 std::int32_t maxLength, WordList& list) const;
    class AnagramWalk;
    // Indexes the words of the tree loaded at offset 0 for the anagram search.
    void BuildIndex();
    // Starts BuildIndex on the index thread (on this one when no thread can be had).
    void StartIndex();
    // Waits for the index thread and leaves no index.
    void DropIndex();
    void Shuffle(WordList& list, std::int32_t seed);
    void SetCurrent(const Qmv2::UTF8String& word);
    iWordPoolPosition& Position();
    void Clear();

    std::unique_ptr<std::uint8_t[]> nodes;
    std::int32_t capacity = 0;

    // Written by the index thread only while it runs, and read by searches
    // only once `indexReady` says it is done; the thread reads the buffer,
    // which nothing changes before the thread is joined.
    AnagramIndex anagramIndex;
    std::atomic<bool> indexReady{false};
    std::thread indexThread;
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
