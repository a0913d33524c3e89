// The words of a dictionary grouped by the letters they are made of, for
// listing every word that the letters of a source word make.
//
// Each group's key is its letters sorted by their number in the dictionary's
// alphabet and packed into one 64-bit integer, a few bits a letter; the groups
// stand in a flat hash table. A search enumerates the distinct letter
// multisets that the source word holds (at most 2^n for n letters, fewer when
// letters repeat) and looks each up; the words found are then put in the order
// of the trie walk that the game's lists have always had, from a small number
// per word that says where each of its letters stands in its group's key;
// that number also names the source word's letter each of its letters is, so
// the words' texts are made from the source word alone.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "framework/core/object/GFVector.h"

class AnagramIndex {
public:
    // Longest source word (in letters) the index serves; longer ones are left
    // to a walk of the trie, whose time does not double with every letter.
    static constexpr std::size_t kMaxSourceLetters = 12;

    // Indexes the dictionary's words of at most kMaxSourceLetters letters,
    // each once: `letters` holds them one after the other (letter bytes, one
    // letter per code point), and `ends` where each ends there; `emptyWord`
    // when the empty word is one of them.
    void Build(const std::string& letters, const std::vector<std::uint32_t>& ends, bool emptyWord);
    void Clear();

    // Whether a source word of `letters` letters is served.
    bool Covers(std::size_t letters) const { return built && letters <= maxLetters; }

    // Appends every indexed word that the letters of `letters` make (each
    // letter byte used at most as often as it stands there), in the order of
    // a depth-first walk whose branches follow the source word's unused
    // letters: a word before the longer words it begins, and of two words
    // that part at some letter, first the one whose letter stands earlier
    // among the source word's letters not yet used.
    void Find(const std::string& letters, Qmv2::GFVector<std::string>& list) const;

    std::size_t WordCount() const { return words.size(); }

private:
    // A slot holds its group's key by the key's hash: the multiplication by an
    // odd number loses nothing, so two keys never share one, and only the
    // empty key hashes to 0.
    struct Slot {
        std::uint64_t hash; // 0 where the slot is free
        std::uint32_t first; // the group's first word
        std::uint32_t count;
    };
    std::uint64_t HashOf(std::uint64_t key) const { return key * 0x9E3779B97F4A7C15u; }

    bool built = false;
    bool hasEmptyWord = false;
    std::array<std::uint8_t, 256> alphabetOf{}; // letter byte to its number 1.., 0 when no indexed word has it
    std::uint32_t letterBits = 0;               // bits of a letter in a key
    std::size_t maxLetters = 0;                 // longest key
    // Per group, three bits of one 64-bit word, both chosen by its key's hash:
    // most multisets a search makes are no group's, and this small table,
    // which stays in the cache, turns nearly all of them away.
    std::uint32_t filterShift = 64; // the top bits of a hash that choose the word
    std::vector<std::uint64_t> filter;
    // The groups' slots, four to a cache line: a group stands in the bucket
    // its hash's top bits choose, or when that is full in the next that is not.
    static constexpr std::size_t kBucketSlots = 4;
    struct alignas(64) Bucket {
        Slot slot[kBucketSlots];
    };
    std::uint32_t bucketShift = 64;
    std::vector<Bucket> buckets;
    // The bucket a group of this hash stands in first (a table of one bucket has no bits to choose by).
    std::size_t BucketOf(std::uint64_t hash) const { return bucketShift == 64 ? 0 : hash >> bucketShift; }
    // Per word, grouped: for each of its letters, 4 bits from the lowest, the
    // letter's position in its group's sorted key counted from the key's end;
    // 15 past the word's end. The word's text is not kept: a search reads it
    // from the source word's places that its letters use.
    std::vector<std::uint64_t> words;
};
