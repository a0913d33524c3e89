#include "game/words/WordTree.h"

#include <algorithm>
#include <chrono>
#include <ctime>
#include <fstream>
#include <system_error>
#include <utility>
#include <vector>

namespace {

constexpr std::uint32_t kLengthMask = 0x00FFFFFFu;
constexpr std::uint32_t kWordEndFlag = 0x80000000u;
constexpr std::int32_t kGrowthMargin = 32;
// Every subtree, the root's included, is shorter than 16 MiB; the buffer never
// needs much more than that, so a hostile file cannot make it grow further.
constexpr std::int32_t kMaxBufferBytes = 2 * WordTree::kMaxSubtreeBytes + 4096;

std::int32_t ChildCount(std::uint32_t header) { return static_cast<std::int32_t>((header >> 24) & 0x7Fu); }
std::int32_t SubtreeLength(std::uint32_t header) { return static_cast<std::int32_t>(header & kLengthMask); }

// The code points of a text, each taken by its low byte, as trie letters.
std::string LettersOf(const Qmv2::UTF8String& text)
{
    const std::string& bytes = text.GetString();
    if (std::all_of(bytes.begin(), bytes.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; }))
        return bytes;
    std::string letters;
    for (Qmv2::Utf8Iterator it(text); it.byteOffset < text.GetByteLength(); Qmv2::Utf8Advance(it, 1))
        letters.push_back(static_cast<char>(it.codePoint & 0xFFu));
    return letters;
}

// Letter bytes taken as code points 0..255, as UTF-8 text.
std::string TextOf(const std::string& letters)
{
    std::string text;
    text.reserve(letters.size());
    for (char c : letters) {
        if (static_cast<unsigned char>(c) < 0x80)
            text.push_back(c);
        else
            text += Qmv2::EncodeCodePoint(static_cast<unsigned char>(c));
    }
    return text;
}

std::uint32_t SteadyMilliseconds()
{
    using namespace std::chrono;
    return static_cast<std::uint32_t>(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

std::int64_t UtcSeconds() { return static_cast<std::int64_t>(std::time(nullptr)); }

} // namespace

WordTree::WordTree() : clock{SteadyMilliseconds, UtcSeconds} {}

WordTree::~WordTree()
{
    WaitForIndex();
}

void WordTree::Clear()
{
    DropIndex();
    nodes.reset();
    capacity = 0;
    wordList.reset();
    wordListMinLength = 0;
    wordListMaxLength = 0;
    currentWord = Qmv2::UTF8String();
    currentAnagrams.reset();
}

bool WordTree::Reserve(std::int32_t bytes)
{
    if (bytes <= capacity)
        return true;
    if (bytes > kMaxBufferBytes)
        return false;
    std::int32_t newCapacity = capacity;
    while (newCapacity < bytes)
        newCapacity = newCapacity + newCapacity / 10 + 1024;
    auto grown = std::make_unique<std::uint8_t[]>(static_cast<std::size_t>(newCapacity));
    if (capacity > 0)
        std::copy_n(nodes.get(), capacity, grown.get());
    nodes = std::move(grown);
    capacity = newCapacity;
    return true;
}

std::uint32_t WordTree::Header(std::int32_t offset) const
{
    const std::uint8_t* p = nodes.get() + offset;
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
           static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

std::int32_t WordTree::Load(std::istream& stream, std::int32_t offset)
{
    DropIndex();
    // Byte by byte from the stream's buffer: the stream's own get() costs a
    // sentry a byte, a third of the reading.
    std::streambuf* bytes = stream.good() ? stream.rdbuf() : nullptr;
    const std::int32_t end = bytes != nullptr ? LoadNode(*bytes, offset, 0) : -1;
    if (offset == 0 && end >= 0)
        StartIndex();
    return end;
}

void WordTree::StartIndex()
{
    const auto build = [this] {
        BuildIndex();
        indexReady.store(true, std::memory_order_release);
    };
    try {
        indexThread = std::thread(build);
    } catch (const std::system_error&) {
        build();
    }
}

void WordTree::DropIndex()
{
    WaitForIndex();
    indexReady.store(false, std::memory_order_relaxed);
    anagramIndex.Clear();
}

bool WordTree::WaitForIndex()
{
    if (indexThread.joinable())
        indexThread.join();
    return indexReady.load(std::memory_order_acquire);
}

void WordTree::BuildIndex()
{
    // The words the buffer walk can reach: a letter twice among a node's
    // children counts at its first child only.
    std::string letters;
    std::vector<std::uint32_t> ends;
    std::string prefix;
    struct Step {
        std::int32_t offset;
        std::int32_t child;    // where the next child to consider stands, from `offset`
        std::int32_t next;     // its number among the node's children
        std::uint32_t letters[8]; // bit set of the letters already taken at this node
    };
    // One step a letter, and no word longer than the index takes is followed.
    Step path[AnagramIndex::kMaxSourceLetters + 1];
    std::size_t depth = 0;
    path[0] = {0, kHeaderSize + ChildCount(Header(0)), 0, {}};
    for (;;) {
        Step& step = path[depth];
        const std::int32_t count = ChildCount(Header(step.offset));
        if (step.next == count || depth == AnagramIndex::kMaxSourceLetters) {
            if (depth == 0)
                break;
            --depth;
            prefix.pop_back();
            continue;
        }
        const std::uint8_t letter = nodes[step.offset + kHeaderSize + step.next];
        const std::int32_t child = step.offset + step.child;
        step.child += SubtreeLength(Header(child));
        ++step.next;
        std::uint32_t& taken = step.letters[letter / 32];
        if ((taken >> (letter % 32) & 1u) != 0)
            continue;
        taken |= 1u << (letter % 32);
        prefix.push_back(static_cast<char>(letter));
        if ((Header(child) & kWordEndFlag) != 0) {
            letters += prefix;
            ends.push_back(static_cast<std::uint32_t>(letters.size()));
        }
        path[++depth] = {child, kHeaderSize + ChildCount(Header(child)), 0, {}};
    }
    anagramIndex.Build(letters, ends, (Header(0) & kWordEndFlag) != 0);
}

std::int32_t WordTree::LoadNode(std::streambuf& stream, std::int32_t offset, std::int32_t depth)
{
    if (offset < 0 || offset > kMaxBufferBytes || depth > kMaxDepth)
        return -1;
    if (!Reserve(offset + kGrowthMargin))
        return -1;

    std::int32_t count = 0;
    bool wordEnd = false;
    for (;;) {
        const int c = stream.sbumpc();
        if (c == std::char_traits<char>::eof())
            return -1;
        if (c == '0' || c == '1') {
            wordEnd = c == '1';
            break;
        }
        // The growth margin covers 28 letters; a wider node grows the buffer.
        if (count == kMaxChildren || !Reserve(offset + kHeaderSize + count + 1))
            return -1;
        nodes[offset + kHeaderSize + count] = static_cast<std::uint8_t>(c);
        ++count;
    }

    std::int32_t end = offset + kHeaderSize + count;
    for (std::int32_t i = 0; i < count; ++i) {
        end = LoadNode(stream, end, depth + 1);
        if (end < 0 || end - offset > kMaxSubtreeBytes)
            return -1;
    }

    const std::uint32_t header = static_cast<std::uint32_t>(end - offset) & kLengthMask;
    const std::uint32_t value = header | static_cast<std::uint32_t>(count) << 24 | (wordEnd ? kWordEndFlag : 0u);
    for (int b = 0; b < 4; ++b)
        nodes[offset + b] = static_cast<std::uint8_t>(value >> (8 * b));
    return end;
}

bool WordTree::LoadFile(const std::string& path, std::string* error)
{
    Clear();
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        if (error)
            *error = "cannot open word file " + path;
        return false;
    }
    if (Load(in, 0) < 0) {
        Clear();
        if (error)
            *error = "word file " + path + " is damaged or too large";
        return false;
    }
    return true;
}

std::int32_t WordTree::FindChild(std::int32_t offset, std::uint8_t letter) const
{
    if (offset < 0 || offset > capacity - kHeaderSize)
        return -1;
    const std::int32_t count = ChildCount(Header(offset));
    if (count == 0 || offset + kHeaderSize + count > capacity)
        return -1;
    const std::uint8_t* letters = nodes.get() + offset + kHeaderSize;
    const std::uint8_t* hit = std::find(letters, letters + count, letter);
    if (hit == letters + count)
        return -1;
    std::int32_t child = offset + kHeaderSize + count;
    for (std::int32_t i = 0; i < hit - letters; ++i) {
        if (child > capacity - kHeaderSize)
            return -1;
        child += SubtreeLength(Header(child));
    }
    return child <= capacity - kHeaderSize ? child : -1;
}

void WordTree::Collect(std::int32_t offset, std::string& prefix, std::int32_t minLength,
                       std::int32_t maxLength, WordList& list) const
{
    const std::uint32_t header = Header(offset);
    const auto length = static_cast<std::int32_t>(prefix.size());
    if ((header & kWordEndFlag) != 0 && minLength <= length && length <= maxLength)
        list.PushBack(TextOf(prefix));
    const std::int32_t count = ChildCount(header);
    std::int32_t child = offset + kHeaderSize + count;
    for (std::int32_t i = 0; i < count; ++i) {
        prefix.push_back(static_cast<char>(nodes[offset + kHeaderSize + i]));
        Collect(child, prefix, minLength, maxLength, list);
        prefix.pop_back();
        child += SubtreeLength(Header(child));
    }
}

std::unique_ptr<WordTree::WordList> WordTree::CollectWords(std::int32_t minLength, std::int32_t maxLength) const
{
    auto list = std::make_unique<WordList>();
    if (IsEmpty())
        return list;
    std::string prefix;
    Collect(0, prefix, minLength, maxLength, *list);
    return list;
}

// The anagram search walks the trie once, with the source word's letters kept
// as "first unused place" per letter. A repeated letter is tried once per node,
// at its first unused place in the source word, and using a letter uses that
// place; so the branches come in the order of the source word's letters with
// the used ones taken out: the order of their places, read from a bit set.
class WordTree::AnagramWalk {
public:
    AnagramWalk(const WordTree& tree, const std::string& letters, WordList& list)
        : tree(tree), letters(letters), list(list), places(letters.size()), words((places + 63) / 64)
    {
        std::fill(std::begin(firstUnused), std::end(firstUnused), -1);
        nextSame.assign(places, -1);
        for (auto p = static_cast<std::int32_t>(places) - 1; p >= 0; --p) {
            std::int32_t& first = firstUnused[static_cast<std::uint8_t>(letters[static_cast<std::size_t>(p)])];
            nextSame[static_cast<std::size_t>(p)] = first;
            first = p;
        }
        // A branch takes one letter, and no word is deeper than kMaxDepth.
        const std::size_t depths = std::min<std::size_t>(places, static_cast<std::size_t>(kMaxDepth));
        branchBits.assign(words * depths, 0);
        branchOffset.assign(places * depths, -1);
        prefix.reserve(places);
    }

    void Walk(std::int32_t offset) { Visit(offset, 0); }

private:
    void Visit(std::int32_t offset, std::size_t depth)
    {
        const std::uint32_t header = tree.Header(offset);
        if ((header & kWordEndFlag) != 0)
            list.PushBack(TextOf(prefix));
        const std::int32_t count = ChildCount(header);
        if (count == 0 || depth >= places || depth >= static_cast<std::size_t>(kMaxDepth) ||
            offset + kHeaderSize + count > tree.capacity)
            return;
        const std::uint8_t* const childLetters = tree.nodes.get() + offset + kHeaderSize;
        std::int32_t last = -1;
        for (std::int32_t i = 0; i < count; ++i)
            last = firstUnused[childLetters[i]] >= 0 ? i : last;
        // Child offsets, past the earlier siblings' subtrees, as far as the last child needed.
        std::int32_t childAt[kMaxChildren];
        std::int32_t reached = 0;
        for (std::int32_t at = offset + kHeaderSize + count; reached <= last && at <= tree.capacity - kHeaderSize;
             ++reached) {
            childAt[reached] = at;
            at += SubtreeLength(tree.Header(at));
        }
        // Backwards, so that a letter twice among the children is taken at its first child.
        std::uint64_t* const bits = branchBits.data() + depth * words;
        std::int32_t* const target = branchOffset.data() + depth * places;
        for (std::int32_t i = reached - 1; i >= 0; --i) {
            const std::int32_t place = firstUnused[childLetters[i]];
            if (place >= 0) {
                target[place] = childAt[i];
                bits[place / 64] |= std::uint64_t{1} << (place % 64);
            }
        }
        for (std::size_t w = 0; w < words; ++w) {
            while (bits[w] != 0) {
                const auto place = static_cast<std::int32_t>(w * 64) + __builtin_ctzll(bits[w]);
                bits[w] &= bits[w] - 1;
                const char c = letters[static_cast<std::size_t>(place)];
                std::int32_t& first = firstUnused[static_cast<std::uint8_t>(c)];
                first = nextSame[static_cast<std::size_t>(place)];
                prefix.push_back(c);
                Visit(target[place], depth + 1);
                prefix.pop_back();
                first = place;
            }
        }
    }

    const WordTree& tree;
    const std::string& letters;
    WordList& list;
    const std::size_t places; // letters of the source word
    const std::size_t words;  // 64-bit words of a bit set of places
    std::int32_t firstUnused[256];          // per letter byte, its first unused place, -1 when none is left
    std::vector<std::int32_t> nextSame;     // per place, the next place of the same letter, or -1
    std::vector<std::uint64_t> branchBits;  // per depth, the places of the branches still to take
    std::vector<std::int32_t> branchOffset; // per depth and place, the branch's child
    std::string prefix;
};

std::unique_ptr<WordTree::WordList> WordTree::FindAnagrams(const Qmv2::UTF8String& word) const
{
    auto list = std::make_unique<WordList>();
    if (IsEmpty())
        return list;
    const std::string letters = LettersOf(word);
    if (indexReady.load(std::memory_order_acquire) && anagramIndex.Covers(letters.size()))
        anagramIndex.Find(letters, *list);
    else
        AnagramWalk(*this, letters, *list).Walk(0);
    return list;
}

void WordTree::Shuffle(WordList& list, std::int32_t seed)
{
    Qmv2::Random* shared = Qmv2::Random::GetInstance();
    Qmv2::Random& generator = shared ? *shared : ownRandom;
    generator.Seed(seed);
    for (std::int32_t k = 1; k < list.GetCount(); ++k)
        std::swap(list[k], list[generator.Range(0, k + 1)]);
}

void WordTree::SetCurrent(const Qmv2::UTF8String& word)
{
    currentWord = word;
    currentAnagrams = FindAnagrams(word);
}

iWordPoolPosition& WordTree::Position()
{
    return poolPosition ? *poolPosition : ownPosition;
}

Qmv2::UTF8String WordTree::RandomWord()
{
    iWordPoolPosition& position = Position();
    // A negative index (a damaged player file) counts as a used-up pool.
    const std::int32_t index = position.GetIndex();
    if (!wordList || index < 0 || index >= wordList->GetCount()) {
        wordList = CollectWords(kPoolMinLength, kPoolMaxLength);
        wordListMinLength = kPoolMinLength;
        wordListMaxLength = kPoolMaxLength;
        if (index < 0 || index >= wordList->GetCount()) {
            position.SetSeed(static_cast<std::int32_t>(clock.milliseconds()));
            position.SetIndex(0);
        }
        Shuffle(*wordList, position.GetSeed());
    }

    const std::int32_t count = wordList->GetCount();
    if (count == 0) {
        currentWord = Qmv2::UTF8String();
        currentAnagrams = std::make_unique<WordList>();
        return currentWord;
    }
    // At most one pass over the pool: a dictionary without a word of enough
    // anagrams ends on the last word tried instead of searching forever.
    for (std::int32_t tries = 0; tries < count; ++tries) {
        const std::int32_t next = position.GetIndex();
        position.SetIndex(next + 1);
        SetCurrent((*wordList)[next % count]);
        if (currentAnagrams->GetCount() >= kMinSourceAnagrams)
            break;
    }
    return currentWord;
}

Qmv2::UTF8String WordTree::WordOfTheDay()
{
    wordList = CollectWords(kPoolMinLength, kPoolMaxLength);
    Shuffle(*wordList, kWordOfTheDaySeed);
    // Unsigned, so that a clock set before the first day still picks a word.
    const auto seconds = static_cast<std::uint32_t>(clock.utcSeconds());
    const std::uint32_t day = seconds / 86400u - static_cast<std::uint32_t>(kDayOfFirstWord);
    if (wordList->IsEmpty()) {
        currentWord = Qmv2::UTF8String();
        currentAnagrams = std::make_unique<WordList>();
    } else {
        SetCurrent((*wordList)[static_cast<std::int32_t>(day % static_cast<std::uint32_t>(wordList->GetCount()))]);
    }
    wordList.reset();
    return currentWord;
}

const WordTree::WordList* WordTree::Lookup(const Qmv2::UTF8String& word)
{
    if (word == currentWord || word.ToLower() == currentWord.ToLower())
        return currentAnagrams.get();
    const std::int32_t length = word.GetLength();
    if (length < kLookupMinLength || length > kLookupMaxLength)
        return nullptr;
    SetCurrent(word);
    return currentAnagrams.get();
}
