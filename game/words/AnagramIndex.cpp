#include "game/words/AnagramIndex.h"

#include <algorithm>
#include <array>
#include <string_view>
#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>
#include <tmmintrin.h>
#endif
#include <vector>

#include "framework/core/util/UTF8String.h"

namespace {

// A word's place in the search's order: per letter, 4 bits from the highest
// down, one more than the place in the source word that the letter uses. A
// word that begins another has zeros where the other goes on, so it comes
// first; at the first letter where two words part, the earlier place wins.
constexpr std::uint32_t kPlaceBits = 4;
static_assert(AnagramIndex::kMaxSourceLetters < (1u << kPlaceBits), "a place and one more fit a place's bits");
static_assert(AnagramIndex::kMaxSourceLetters * kPlaceBits <= 64, "a whole word's places fit an order number");

// The filter's three bits of a key, from the hash bits just below those that
// choose its 64-bit word: one of a table of masks of three different bits,
// made by a fixed generator as the program is compiled, so that a test is one
// read of the table.
constexpr std::size_t kFilterMaskBits = 10;
constexpr std::array<std::uint64_t, std::size_t{1} << kFilterMaskBits> kFilterMasks = [] {
    std::array<std::uint64_t, std::size_t{1} << kFilterMaskBits> masks{};
    std::uint64_t state = 0x2545F4914F6CDD1Du;
    for (std::uint64_t& mask : masks) {
        while (__builtin_popcountll(mask) < 3) {
            state = state * 6364136223846793005u + 1442695040888963407u;
            mask |= std::uint64_t{1} << (state >> 58);
        }
    }
    return masks;
}();

std::uint64_t FilterMask(std::uint64_t hash, std::uint32_t wordShift)
{
    return kFilterMasks[(hash >> (wordShift - kFilterMaskBits)) & (kFilterMasks.size() - 1)];
}

// Sorts the few letters of one word, each tagged with its place.
void SortFew(std::uint16_t* values, std::size_t count)
{
    for (std::size_t i = 1; i < count; ++i) {
        const std::uint16_t value = values[i];
        std::size_t j = i;
        for (; j > 0 && values[j - 1] > value; --j)
            values[j] = values[j - 1];
        values[j] = value;
    }
}

// Reads the places of a word's letters out of its multiset's `places`: its
// order number, the first letter's place on top. A position of 15 stands past
// the word's end and reads 0.
std::uint64_t OrderOf(std::uint64_t places, std::uint64_t positions)
{
    std::uint64_t order = 0;
    for (std::size_t k = 0; k < 64 / kPlaceBits; ++k, positions >>= kPlaceBits)
        order = order << kPlaceBits | ((places >> (kPlaceBits * (positions & 0xFu))) & 0xFu);
    return order;
}

#if defined(__x86_64__) && defined(__GNUC__)
#define QMV_ORDER_BY_SHUFFLE 1
// Asked once at start; before that (from another file's start-up code) the loops serve.
const bool shuffles = [] {
    __builtin_cpu_init();
    return __builtin_cpu_supports("ssse3") != 0;
}();
#else
constexpr bool shuffles = false;
#endif
#if defined(QMV_ORDER_BY_SHUFFLE)

// The same order numbers, each in a few instructions: the 4-bit places and
// positions spread to one byte each, one byte shuffle reads every letter's
// place, and the bytes go back to 4 bits each, the first letter's on top.
// For processors with the shuffle instruction (nearly all); the others take
// the loop above.
[[gnu::target("ssse3")]] inline __m128i SpreadNibbles(std::uint64_t nibbles)
{
    const __m128i packed = _mm_cvtsi64_si128(static_cast<long long>(nibbles));
    const __m128i low = _mm_and_si128(packed, _mm_set1_epi8(0x0F));
    const __m128i high = _mm_and_si128(_mm_srli_epi16(packed, 4), _mm_set1_epi8(0x0F));
    return _mm_unpacklo_epi8(low, high);
}

[[gnu::target("ssse3")]] std::uint64_t* OrdersByShuffle(std::uint64_t places, const std::uint64_t* positions,
                                                        std::uint32_t count, std::uint64_t* out)
{
    const __m128i placeBytes = SpreadNibbles(places);
    const __m128i pairWeights = _mm_set1_epi16(0x0110); // a pair's first byte times 16, its second times 1
    for (std::uint32_t w = 0; w < count; ++w) {
        const __m128i picked = _mm_shuffle_epi8(placeBytes, SpreadNibbles(positions[w]));
        const __m128i pairs = _mm_maddubs_epi16(picked, pairWeights);
        const auto bytes = static_cast<std::uint64_t>(_mm_cvtsi128_si64(_mm_packus_epi16(pairs, pairs)));
        *out++ = __builtin_bswap64(bytes);
    }
    return out;
}
#endif

// Makes the text of a word from its order number: each place's letter of the
// source word (letter bytes, taken as code points) as UTF-8. Where every
// letter is one byte, one byte shuffle makes the whole text.
class TextMaker {
public:
    explicit TextMaker(const std::string& letters)
    {
        for (std::size_t p = 0; p < letters.size(); ++p) {
            const auto letter = static_cast<std::uint8_t>(letters[p]);
            ascii = ascii && letter < 0x80;
            if (letter < 0x80) {
                utf8[p + 1][0] = static_cast<char>(letter);
                utf8Length[p + 1] = 1;
            } else {
                utf8[p + 1][0] = static_cast<char>(0xC0 | letter >> 6);
                utf8[p + 1][1] = static_cast<char>(0x80 | (letter & 0x3F));
                utf8Length[p + 1] = 2;
            }
            bytes[p + 1] = utf8[p + 1][0];
        }
    }

    // Writes the text of `order` (not 0) to `text` (room for two bytes a
    // letter) and answers its length in bytes.
    std::size_t Make(std::uint64_t order, char* text) const
    {
#if defined(QMV_ORDER_BY_SHUFFLE)
        if (ascii && shuffles)
            return MakeByShuffle(order, text);
#endif
        std::size_t length = 0;
        for (; order != 0; order <<= kPlaceBits) {
            const std::size_t place = order >> (64 - kPlaceBits);
            text[length++] = utf8[place][0];
            if (utf8Length[place] == 2)
                text[length++] = utf8[place][1];
        }
        return length;
    }

private:
#if defined(QMV_ORDER_BY_SHUFFLE)
    [[gnu::target("ssse3")]] std::size_t MakeByShuffle(std::uint64_t order, char* text) const
    {
        // The first letter's place is the top nibble: bytes reversed, then each byte's high nibble first.
        const __m128i packed = _mm_cvtsi64_si128(static_cast<long long>(__builtin_bswap64(order)));
        const __m128i low = _mm_and_si128(packed, _mm_set1_epi8(0x0F));
        const __m128i high = _mm_and_si128(_mm_srli_epi16(packed, 4), _mm_set1_epi8(0x0F));
        const __m128i places = _mm_unpacklo_epi8(high, low);
        const __m128i table = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(text), _mm_shuffle_epi8(table, places));
        return 16 - static_cast<std::size_t>(__builtin_ctzll(order)) / kPlaceBits;
    }
#endif

    bool ascii = true;
    char bytes[16] = {};                       // per place, the letter's first byte; place 0 none
    char utf8[1 + AnagramIndex::kMaxSourceLetters][2] = {};
    std::uint8_t utf8Length[1 + AnagramIndex::kMaxSourceLetters] = {};
};

// Sorts distinct 32-bit values: first by their top 4 bits into buckets, then
// each value put where the number of smaller ones in its bucket says. No
// branch follows the data, and the compiler does several comparisons at a
// time. A longer list is sorted by comparisons.
constexpr std::size_t kMaxRanked = 256;

void SortByBuckets(std::uint32_t* values, std::size_t n)
{
    if (n > kMaxRanked) {
        std::sort(values, values + n);
        return;
    }
    std::uint32_t start[17] = {};
    for (std::size_t i = 0; i < n; ++i)
        ++start[(values[i] >> 28) + 1];
    for (std::size_t b = 1; b < 17; ++b)
        start[b] += start[b - 1];
    std::uint32_t bucketed[kMaxRanked];
    std::uint32_t fill[16];
    std::copy(start, start + 16, fill);
    for (std::size_t i = 0; i < n; ++i)
        bucketed[fill[values[i] >> 28]++] = values[i];
    for (std::size_t b = 0; b < 16; ++b) {
        for (std::size_t i = start[b]; i < start[b + 1]; ++i) {
            std::uint32_t rank = start[b];
            for (std::size_t j = start[b]; j < start[b + 1]; ++j)
                rank += bucketed[j] < bucketed[i] ? 1u : 0u;
            values[rank] = bucketed[i];
        }
    }
}

#if defined(__x86_64__) && defined(__GNUC__)
#define QMV_RANK_BY_AVX2 1
// Asked once at start; before that (from another file's start-up code) the buckets serve.
const bool avx2 = [] {
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2") != 0;
}();

// The usual list, of an 8-letter word, sorted with no bucket at all: each
// value put where the number of all smaller ones says, counted eight at a
// time in two running sums (so that no sum waits on the one before). The
// compare is a signed one, so the values are taken with their top bit
// flipped, and padded to whole steps with the greatest.
constexpr std::size_t kMaxRankedAtOnce = 128;

[[gnu::target("avx2")]] void SortByRanks(std::uint32_t* values, std::size_t n)
{
    constexpr std::size_t kStep = 16;
    alignas(32) std::int32_t flipped[kMaxRankedAtOnce + kStep];
    const std::size_t padded = (n + kStep - 1) / kStep * kStep;
    for (std::size_t i = 0; i < n; ++i)
        flipped[i] = static_cast<std::int32_t>(values[i] ^ 0x80000000u);
    for (std::size_t i = n; i < padded; ++i)
        flipped[i] = 0x7FFFFFFF;
    for (std::size_t i = 0; i < n; ++i) {
        const __m256i value = _mm256_set1_epi32(flipped[i]);
        __m256i below0 = _mm256_setzero_si256();
        __m256i below1 = _mm256_setzero_si256();
        for (std::size_t j = 0; j < padded; j += kStep) {
            const auto* const step = reinterpret_cast<const __m256i*>(flipped + j);
            below0 = _mm256_sub_epi32(below0, _mm256_cmpgt_epi32(value, _mm256_load_si256(step)));
            below1 = _mm256_sub_epi32(below1, _mm256_cmpgt_epi32(value, _mm256_load_si256(step + 1)));
        }
        const __m256i below = _mm256_add_epi32(below0, below1);
        __m128i sum = _mm_add_epi32(_mm256_castsi256_si128(below), _mm256_extracti128_si256(below, 1));
        sum = _mm_add_epi32(sum, _mm_shuffle_epi32(sum, _MM_SHUFFLE(1, 0, 3, 2)));
        sum = _mm_add_epi32(sum, _mm_shuffle_epi32(sum, _MM_SHUFFLE(2, 3, 0, 1)));
        values[_mm_cvtsi128_si32(sum)] = static_cast<std::uint32_t>(flipped[i]) ^ 0x80000000u;
    }
}
#endif

// Sorts distinct 32-bit values. Longer lists go to the buckets, where fewer
// values are compared with each.
void SortDistinct(std::uint32_t* values, std::size_t n)
{
#if defined(QMV_RANK_BY_AVX2)
    if (avx2 && n <= kMaxRankedAtOnce) {
        SortByRanks(values, n);
        return;
    }
#endif
    SortByBuckets(values, n);
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
    bucketShift = 64;
    buckets.clear();
    words.clear();
}

void AnagramIndex::Build(const std::string& letters, const std::vector<std::uint32_t>& ends, bool emptyWord)
{
    const auto wordAt = [&](std::size_t w) {
        const std::size_t start = w == 0 ? 0 : ends[w - 1];
        return std::string_view(letters).substr(start, ends[w] - start);
    };
    Clear();
    hasEmptyWord = emptyWord;
    bool used[256] = {};
    for (std::size_t w = 0; w < ends.size(); ++w) {
        const std::string_view word = wordAt(w);
        if (word.size() <= kMaxSourceLetters) {
            for (const char c : word)
                used[static_cast<std::uint8_t>(c)] = true;
        }
    }
    std::uint32_t alphabetSize = 0;
    for (std::size_t c = 0; c < 256; ++c) {
        if (used[c])
            alphabetOf[c] = static_cast<std::uint8_t>(++alphabetSize);
    }
    letterBits = 1;
    while ((1u << letterBits) <= alphabetSize)
        ++letterBits;
    // A key of a letter multiset is never 0 (the free slot's mark): every letter's number is 1 or more.
    maxLetters = std::min<std::size_t>(kMaxSourceLetters, 64 / letterBits);

    struct Keyed {
        std::uint64_t key;
        std::uint64_t positions;
    };
    std::vector<Keyed> keyed;
    keyed.reserve(ends.size());
    for (std::size_t w = 0; w < ends.size(); ++w) {
        const std::string_view word = wordAt(w);
        if (word.empty() || word.size() > maxLetters)
            continue;
        // Each letter's number with its place in the word below it, sorted:
        // the key's letters in order, and the k-th of a letter in the word at
        // the k-th of its places in the key. The word's positions are counted
        // from the key's end; past the word's end they are 15, which reads no place.
        const std::size_t n = word.size();
        std::uint16_t tagged[kMaxSourceLetters];
        for (std::size_t k = 0; k < n; ++k)
            tagged[k] = static_cast<std::uint16_t>(alphabetOf[static_cast<std::uint8_t>(word[k])] << 4 | k);
        SortFew(tagged, n);
        std::uint64_t key = 0;
        std::uint64_t positions = ~std::uint64_t{0};
        for (std::size_t at = 0; at < n; ++at) {
            const std::size_t k = tagged[at] & 0xFu;
            key = key << letterBits | tagged[at] >> 4;
            positions &= ~(std::uint64_t{0xF} << (kPlaceBits * k));
            positions |= std::uint64_t{n - 1 - at} << (kPlaceBits * k);
        }
        keyed.push_back({key, positions});
    }
    // Each word's group is found (or made) in a table sized for one group a
    // word and counted; the groups then get their ranges of `words` in slot
    // order, and the words are put in their group's range in the order they
    // came. The groups, now known in number, then go into the table kept.
    std::vector<Slot> counting;
    std::uint32_t countingShift = 0;
    const auto place = [](std::vector<Slot>& table, std::uint32_t& shift, std::size_t entries) {
        std::uint32_t bits = 4;
        while ((std::size_t{3} << bits) < 4 * entries)
            ++bits;
        shift = 64 - bits;
        table.assign(std::size_t{1} << bits, Slot{0, 0, 0});
    };
    // The slot of `hash` in `table`, taken for it when it has none.
    const auto slotFor = [](std::vector<Slot>& table, std::uint32_t shift, std::uint64_t hash) {
        std::size_t slot = hash >> shift;
        while (table[slot].hash != 0 && table[slot].hash != hash)
            slot = (slot + 1) & (table.size() - 1);
        table[slot].hash = hash;
        return slot;
    };
    place(counting, countingShift, keyed.size());
    std::vector<std::uint32_t> slotOf(keyed.size());
    for (std::size_t i = 0; i < keyed.size(); ++i) {
        const std::size_t slot = slotFor(counting, countingShift, HashOf(keyed[i].key));
        ++counting[slot].count;
        slotOf[i] = static_cast<std::uint32_t>(slot);
    }
    std::uint32_t next = 0;
    std::size_t groups = 0;
    for (Slot& slot : counting) {
        slot.first = next;
        next += slot.count;
        groups += slot.count != 0 ? 1 : 0;
        slot.count = 0;
    }
    words.resize(keyed.size());
    for (std::size_t i = 0; i < keyed.size(); ++i) {
        Slot& slot = counting[slotOf[i]];
        words[slot.first + slot.count++] = keyed[i].positions;
    }

    // Three slots in four at most are taken, and the filter has 16 bits a group.
    std::uint32_t bucketBits = 0;
    while ((std::size_t{3} * kBucketSlots << bucketBits) < 4 * groups)
        ++bucketBits;
    bucketShift = 64 - bucketBits;
    buckets.assign(std::size_t{1} << bucketBits, Bucket{});
    std::uint32_t filterBits = 10;
    while ((std::size_t{1} << filterBits) < 16 * groups)
        ++filterBits;
    filterShift = 64 - (filterBits - 6);
    filter.assign((std::size_t{1} << filterBits) / 64, 0);
    for (const Slot& group : counting) {
        if (group.count == 0)
            continue;
        std::size_t b = BucketOf(group.hash);
        std::size_t i = 0;
        for (; buckets[b].slot[kBucketSlots - 1].hash != 0; b = (b + 1) & (buckets.size() - 1)) {
        }
        while (buckets[b].slot[i].hash != 0)
            ++i;
        buckets[b].slot[i] = group;
        filter[group.hash >> filterShift] |= FilterMask(group.hash, filterShift);
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
    SortFew(held, count);
    // Room for every multiset, kept by the thread from one search to the next.
    const std::size_t most = std::size_t{1} << count;
    thread_local std::vector<std::uint64_t> scratch;
    if (scratch.size() < 5 * most)
        scratch.resize(5 * most);

    // Every distinct multiset of the held letters, by the hash of its key:
    // each letter in turn extends all made so far by one of it, then those
    // just made by one more, and so on; as a key grows by a letter (shifted
    // up, the letter added), its hash grows alike, the multiplication being
    // spread over the sum. Beside each, the places its letters use (one more
    // than each, 4 bits each, the last letter's lowest): the k-th of a letter
    // uses its k-th place. Each step is one plain loop over a row of
    // multisets, which the compiler does two or more at a time.
    std::uint64_t* __restrict const hashes = scratch.data();
    std::uint64_t* __restrict const placeSets = hashes + most;
    std::size_t made = 1;
    hashes[0] = 0;
    placeSets[0] = 0;
    for (std::size_t i = 0; i < count;) {
        const std::uint8_t a = static_cast<std::uint8_t>(held[i] >> 8);
        const std::uint64_t letterHash = HashOf(a);
        std::size_t from = 0;
        std::size_t row = made;
        for (; i < count && held[i] >> 8 == a; ++i) {
            const std::uint64_t place = (held[i] & 0xFFu) + 1;
            for (std::size_t e = 0; e < row; ++e) {
                hashes[made + e] = (hashes[from + e] << letterBits) + letterHash;
                placeSets[made + e] = placeSets[from + e] << kPlaceBits | place;
            }
            from = made;
            made += row;
        }
    }

    // The filter first: a bit already in the cache turns most of them away.
    std::uint64_t* const candidates = placeSets + most;
    std::size_t candidateCount = 0;
    for (std::size_t e = 1; e < made; ++e) {
        const std::uint64_t hash = hashes[e];
        candidates[candidateCount] = e;
        const std::uint64_t mask = FilterMask(hash, filterShift);
        candidateCount += (filter[hash >> filterShift] & mask) == mask ? 1u : 0u;
    }
    // The buckets of all asked for before any is read, so that their reads
    // overlap. A bucket holds a group, or is full and the next may, or has
    // free slots and so none further; a free slot has no words, so a
    // multiset that is no group takes one and lists nothing.
    for (std::size_t c = 0; c < candidateCount; ++c)
        __builtin_prefetch(&buckets[BucketOf(hashes[candidates[c]])]);
    std::uint64_t* const hitSlots = candidates + most; // bucket and slot
    std::uint64_t* const hitPlaces = candidates + 2 * most;
    std::size_t wordCount = 0;
    for (std::size_t c = 0; c < candidateCount; ++c) {
        const std::uint64_t hash = hashes[candidates[c]];
        std::size_t b = BucketOf(hash);
        unsigned match;
        for (;;) {
            const Slot* const slot = buckets[b].slot;
            match = 0;
            for (std::size_t i = 0; i < kBucketSlots; ++i)
                match |= (slot[i].hash == hash ? 1u : 0u) << i;
            if (match != 0 || slot[kBucketSlots - 1].hash == 0)
                break;
            b = (b + 1) & (buckets.size() - 1);
        }
        const std::size_t i = match != 0 ? static_cast<std::size_t>(__builtin_ctz(match)) : kBucketSlots - 1;
        const Slot& found = buckets[b].slot[i];
        hitSlots[c] = b * kBucketSlots + i;
        hitPlaces[c] = placeSets[candidates[c]];
        wordCount += found.count;
        __builtin_prefetch(&words[found.first]);
    }

    // Each word's order number: one more than the place each of its letters
    // uses, 4 bits each from the top. The numbers of two words differ, and
    // each number also says the word's letters.
    thread_local std::vector<std::uint64_t> orders;
    if (orders.size() < wordCount)
        orders.resize(wordCount);
    std::uint64_t* end = orders.data();
    for (std::size_t h = 0; h < candidateCount; ++h) {
        const std::uint64_t places = hitPlaces[h];
        const Slot& slot = buckets[hitSlots[h] / kBucketSlots].slot[hitSlots[h] % kBucketSlots];
        const std::uint64_t* const positions = words.data() + slot.first;
#if defined(QMV_ORDER_BY_SHUFFLE)
        if (shuffles) {
            end = OrdersByShuffle(places, positions, slot.count, end);
            continue;
        }
#endif
        for (std::uint32_t w = 0; w < slot.count; ++w)
            *end++ = OrderOf(places, positions[w]);
    }

    // The list's strings are made empty and then filled, one copy of each text.
    std::int32_t next = list.GetCount();
    list.Resize(next + static_cast<std::int32_t>(wordCount) + (hasEmptyWord ? 1 : 0));
    if (hasEmptyWord)
        ++next;
    const TextMaker maker(letters);
    const auto emit = [&](std::uint64_t order) {
        char text[2 * kMaxSourceLetters];
        list[next++].assign(text, maker.Make(order, text));
    };
    // A source word of up to 8 letters has its order numbers in their top 32 bits.
    if (letters.size() <= 32 / kPlaceBits) {
        thread_local std::vector<std::uint32_t> shortOrders;
        if (shortOrders.size() < wordCount)
            shortOrders.resize(wordCount);
        for (std::size_t w = 0; w < wordCount; ++w)
            shortOrders[w] = static_cast<std::uint32_t>(orders[w] >> 32);
        SortDistinct(shortOrders.data(), wordCount);
        for (std::size_t w = 0; w < wordCount; ++w)
            emit(std::uint64_t{shortOrders[w]} << 32);
    } else {
        std::sort(orders.data(), end);
        for (std::size_t w = 0; w < wordCount; ++w)
            emit(orders[w]);
    }
}
