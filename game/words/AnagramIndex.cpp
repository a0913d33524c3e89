#include "game/words/AnagramIndex.h"

#include <algorithm>

#include "framework/core/util/UTF8String.h"

namespace {

// A word's place in the search's order: per letter, 4 bits from the highest
// down, one more than the place in the source word that the letter uses. A
// word that begins another has zeros where the other goes on, so it comes
// first; at the first letter where two words part, the earlier place wins.
constexpr std::uint32_t kPlaceBits = 4;
static_assert(AnagramIndex::kMaxSourceLetters < (1u << kPlaceBits), "a place and one more fit a place's bits");
static_assert(AnagramIndex::kMaxSourceLetters * kPlaceBits <= 64, "a whole word's places fit an order number");

// The usual source word is this short, and its order numbers need no more letters.
constexpr std::size_t kShortSource = 8;

// Reads the places of a word's letters out of its multiset's `places`; a
// position of 15 stands past the word's end and reads 0.
template <std::size_t kLetters>
std::uint64_t OrderOf(std::uint64_t places, std::uint64_t positions)
{
    std::uint64_t order = 0;
    for (std::size_t k = 0; k < kLetters; ++k, positions >>= kPlaceBits)
        order = order << kPlaceBits | ((places >> (kPlaceBits * (positions & 0xFu))) & 0xFu);
    return order;
}

// Sorts `values` (distinct) by their top 32 bits, each put where the
// number of smaller ones says: no branch that follows the data, and the
// compiler does several comparisons at a time. The lists of an 8-letter word
// are this short; a longer list is sorted by comparisons.
constexpr std::size_t kMaxRanked = 256;

void SortByTopHalf(std::vector<std::uint64_t>& values)
{
    const std::size_t n = values.size();
    if (n > kMaxRanked) {
        std::sort(values.begin(), values.end());
        return;
    }
    std::uint32_t top[kMaxRanked];
    for (std::size_t i = 0; i < n; ++i)
        top[i] = static_cast<std::uint32_t>(values[i] >> 32);
    std::uint64_t sorted[kMaxRanked];
    for (std::size_t i = 0; i < n; ++i) {
        std::uint32_t rank = 0;
        for (std::size_t j = 0; j < n; ++j)
            rank += top[j] < top[i] ? 1u : 0u;
        sorted[rank] = values[i];
    }
    std::copy(sorted, sorted + n, values.begin());
}

} // namespace

void AnagramIndex::Clear()
{
    built = false;
    hasEmptyWord = false;
    alphabetOf.fill(0);
    letterBits = 0;
    maxLetters = 0;
    filterShift = 64;
    filter.clear();
    slotShift = 64;
    slots.clear();
    words.clear();
}

void AnagramIndex::Build(const std::vector<std::string>& source, bool emptyWord)
{
    Clear();
    hasEmptyWord = emptyWord;
    bool used[256] = {};
    for (const std::string& word : source) {
        if (word.size() <= kMaxSourceLetters) {
            for (const char c : word)
                used[static_cast<std::uint8_t>(c)] = true;
        }
    }
    std::uint32_t letters = 0;
    for (std::size_t c = 0; c < 256; ++c) {
        if (used[c])
            alphabetOf[c] = static_cast<std::uint8_t>(++letters);
    }
    letterBits = 1;
    while ((1u << letterBits) <= letters)
        ++letterBits;
    // A key of a letter multiset is never 0 (the free slot's mark): every letter's number is 1 or more.
    maxLetters = std::min<std::size_t>(kMaxSourceLetters, 64 / letterBits);

    struct Keyed {
        std::uint64_t key;
        std::uint64_t positions;
        std::uint32_t word;
    };
    std::vector<Keyed> keyed;
    keyed.reserve(source.size());
    for (std::size_t w = 0; w < source.size(); ++w) {
        const std::string& word = source[w];
        if (word.empty() || word.size() > maxLetters)
            continue;
        std::uint8_t numbers[kMaxSourceLetters];
        const std::size_t n = word.size();
        for (std::size_t k = 0; k < n; ++k)
            numbers[k] = alphabetOf[static_cast<std::uint8_t>(word[k])];
        // The k-th of a letter in the word stands in the sorted key after every
        // smaller letter and the letter's earlier ones. The word's positions
        // are counted from the key's end; past the word's end they are 15.
        std::uint8_t sorted[kMaxSourceLetters];
        std::uint64_t positions = ~std::uint64_t{0} >> (64 - kPlaceBits * kMaxSourceLetters);
        for (std::size_t k = 0; k < n; ++k) {
            std::size_t at = 0;
            for (std::size_t m = 0; m < n; ++m)
                at += static_cast<std::size_t>((numbers[m] < numbers[k]) | ((m < k) & (numbers[m] == numbers[k])));
            sorted[at] = numbers[k];
            positions &= ~(std::uint64_t{0xF} << (kPlaceBits * k));
            positions |= std::uint64_t{n - 1 - at} << (kPlaceBits * k);
        }
        std::uint64_t key = 0;
        for (std::size_t k = 0; k < n; ++k)
            key = key << letterBits | sorted[k];
        keyed.push_back({key, positions, static_cast<std::uint32_t>(w)});
    }
    std::sort(keyed.begin(), keyed.end(),
              [](const Keyed& a, const Keyed& b) { return a.key != b.key ? a.key < b.key : a.word < b.word; });

    words.reserve(keyed.size());
    std::vector<std::uint32_t> groupFirst;
    for (std::size_t i = 0; i < keyed.size(); ++i) {
        if (i == 0 || keyed[i].key != keyed[i - 1].key)
            groupFirst.push_back(static_cast<std::uint32_t>(i));
        Word word{keyed[i].positions, {}};
        std::size_t bytes = 0;
        for (const char c : source[keyed[i].word]) {
            const auto letter = static_cast<std::uint8_t>(c);
            if (letter < 0x80) {
                word.text[bytes++] = c;
            } else {
                word.text[bytes++] = static_cast<char>(0xC0 | letter >> 6);
                word.text[bytes++] = static_cast<char>(0x80 | (letter & 0x3F));
            }
        }
        word.positions |= std::uint64_t{bytes} << 56;
        words.push_back(word);
    }
    const std::size_t groups = groupFirst.size();
    groupFirst.push_back(static_cast<std::uint32_t>(words.size()));

    // At most three quarters of the slots taken; the filter has 16 bits a group.
    std::uint32_t slotBits = 4;
    while ((std::size_t{3} << slotBits) < 4 * groups)
        ++slotBits;
    std::uint32_t filterBits = 10;
    while ((std::size_t{1} << filterBits) < 16 * groups)
        ++filterBits;
    slotShift = 64 - slotBits;
    filterShift = 64 - filterBits;
    slots.assign(std::size_t{1} << slotBits, Slot{0, 0, 0});
    filter.assign((std::size_t{1} << filterBits) / 64, 0);
    const std::size_t mask = slots.size() - 1;
    for (std::size_t g = 0; g < groups; ++g) {
        const std::uint64_t key = keyed[groupFirst[g]].key;
        const std::uint64_t hash = HashOf(key);
        filter[hash >> (filterShift + 6)] |= std::uint64_t{1} << ((hash >> filterShift) & 63);
        std::size_t slot = hash >> slotShift;
        while (slots[slot].key != 0)
            slot = (slot + 1) & mask;
        slots[slot] = {key, groupFirst[g], groupFirst[g + 1] - groupFirst[g]};
    }
    built = true;
}

void AnagramIndex::Find(const std::string& letters, Qmv2::GFVector<std::string>& list) const
{
    // The source word's letters that some word has, as (number << 8 | place),
    // sorted: each letter's places in a row, in the order they stand.
    std::uint16_t held[kMaxSourceLetters];
    std::size_t count = 0;
    for (std::size_t p = 0; p < letters.size() && p < kMaxSourceLetters; ++p) {
        const std::uint8_t a = alphabetOf[static_cast<std::uint8_t>(letters[p])];
        if (a != 0)
            held[count++] = static_cast<std::uint16_t>(a << 8 | p);
    }
    std::sort(held, held + count);

    // Every distinct multiset of the held letters, as keys: each letter in
    // turn extends all made so far by one, two, ... of it. Beside each key, the
    // places its letters use (one more than each, 4 bits each, the last
    // letter's lowest): the k-th of a letter uses its k-th place.
    std::uint64_t keys[std::size_t{1} << kMaxSourceLetters];
    std::uint64_t placeSets[std::size_t{1} << kMaxSourceLetters];
    std::size_t made = 1;
    keys[0] = 0;
    placeSets[0] = 0;
    for (std::size_t i = 0; i < count;) {
        const std::uint8_t a = static_cast<std::uint8_t>(held[i] >> 8);
        std::size_t j = i + 1;
        while (j < count && held[j] >> 8 == a)
            ++j;
        const std::size_t before = made;
        for (std::size_t e = 0; e < before; ++e) {
            std::uint64_t key = keys[e];
            std::uint64_t places = placeSets[e];
            for (std::size_t r = i; r < j; ++r) {
                key = key << letterBits | a;
                places = places << kPlaceBits | ((held[r] & 0xFFu) + 1);
                keys[made] = key;
                placeSets[made++] = places;
            }
        }
        i = j;
    }

    // The filter first: a bit already in the cache turns most of them away.
    std::uint32_t candidates[std::size_t{1} << kMaxSourceLetters];
    std::size_t candidateCount = 0;
    for (std::size_t e = 1; e < made; ++e) {
        const std::uint64_t hash = HashOf(keys[e]);
        candidates[candidateCount] = static_cast<std::uint32_t>(e);
        candidateCount += (filter[hash >> (filterShift + 6)] >> ((hash >> filterShift) & 63)) & 1u;
    }
    // The slots of all asked for before any is read, so that their reads overlap.
    for (std::size_t c = 0; c < candidateCount; ++c)
        __builtin_prefetch(&slots[HashOf(keys[candidates[c]]) >> slotShift]);
    struct Hit {
        const Slot* slot;
        std::uint64_t places;
    };
    Hit hits[std::size_t{1} << kMaxSourceLetters];
    std::size_t hitCount = 0;
    const std::size_t mask = slots.size() - 1;
    for (std::size_t c = 0; c < candidateCount; ++c) {
        const std::uint64_t key = keys[candidates[c]];
        std::size_t slot = HashOf(key) >> slotShift;
        while (slots[slot].key != key && slots[slot].key != 0)
            slot = (slot + 1) & mask;
        if (slots[slot].key != 0) {
            hits[hitCount++] = {&slots[slot], placeSets[candidates[c]]};
            __builtin_prefetch(&words[slots[slot].first]);
        }
    }

    // Each word's order number: one more than the place each of its letters
    // uses, 4 bits each from the top, and its number in the index below them.
    const std::size_t orderBits = kPlaceBits * (letters.size() <= kShortSource ? kShortSource : kMaxSourceLetters);
    const std::uint64_t indexMask = (std::uint64_t{1} << (64 - orderBits)) - 1;
    // Only a very large index has numbers too wide; its order numbers are sorted beside them.
    const bool packed = words.size() <= indexMask;
    std::vector<std::uint64_t> found;
    std::vector<std::pair<std::uint64_t, std::uint32_t>> wide;
    found.reserve(64);
    for (std::size_t h = 0; h < hitCount; ++h) {
        const std::uint64_t places = hits[h].places;
        const std::uint32_t first = hits[h].slot->first;
        for (std::uint32_t w = first; w < first + hits[h].slot->count; ++w) {
            const std::uint64_t order = orderBits == kPlaceBits * kShortSource
                                            ? OrderOf<kShortSource>(places, words[w].positions)
                                            : OrderOf<kMaxSourceLetters>(places, words[w].positions);
            if (packed)
                found.push_back(order << (64 - orderBits) | w);
            else
                wide.emplace_back(order, w);
        }
    }
    list.Reserve(list.GetCount() + static_cast<std::int32_t>(found.size() + wide.size()) + (hasEmptyWord ? 1 : 0));
    if (hasEmptyWord)
        list.PushBack(std::string());
    const auto emit = [&](std::uint64_t w) {
        const Word& word = words[static_cast<std::size_t>(w)];
        list.PushBack(std::string(word.text, static_cast<std::size_t>(word.positions >> 56)));
    };
    if (orderBits == 32)
        SortByTopHalf(found);
    else
        std::sort(found.begin(), found.end());
    for (const std::uint64_t entry : found)
        emit(entry & indexMask);
    std::sort(wide.begin(), wide.end());
    for (const auto& entry : wide)
        emit(entry.second);
}
