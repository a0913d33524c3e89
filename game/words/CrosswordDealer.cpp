#include "game/words/CrosswordDealer.h"

#include <algorithm>
#include <cmath>

#include "game/words/WordTree.h"

using namespace Qmv2;

namespace {

constexpr double kMaxSpread = 1.0e9;

// A draw from the caller's generator, in the form the standard shuffle takes.
struct Draw {
    using result_type = std::uint32_t;
    const std::function<std::uint32_t()>& next;
    static constexpr result_type min() { return 0; }
    static constexpr result_type max() { return UINT32_MAX; }
    result_type operator()() const { return next(); }
};

}  // namespace

std::int32_t CrosswordDealer::WordCount(std::int32_t round, float increment, std::uint32_t random)
{
    const double spread = std::floor((static_cast<double>(round) - 1.0) * increment + kFirstCountBase);
    std::uint32_t k = 1;
    if (spread >= 1.0) {
        k = static_cast<std::uint32_t>(std::min(spread, kMaxSpread));
    }
    const std::uint32_t count = random % k + kFirstCountBase;
    return static_cast<std::int32_t>(std::min<std::uint32_t>(count, kMaxWords));
}

std::vector<std::string> CrosswordDealer::ChooseWords(const CrosswordTable::WordList& shuffled,
                                                      const std::string& source, std::int32_t count)
{
    std::vector<std::string> chosen;
    for (const std::string& word : shuffled) {
        if (count <= 0) {
            break;
        }
        if (word != source) {
            chosen.push_back(word);
        }
        --count;
    }
    chosen.push_back(source);
    return chosen;
}

bool CrosswordDealer::HasSoleFullLengthWord(const CrosswordTable::WordList& anagrams, const UTF8String& source)
{
    const auto full = static_cast<std::size_t>(source.GetLength());
    return std::count_if(anagrams.begin(), anagrams.end(), [&](const std::string& w) { return w.size() == full; }) ==
           1;
}

void CrosswordDealer::Accept(CrosswordTable& table, const CrosswordTable::WordList* accepted)
{
    table.accepted.Clear();
    if (accepted != nullptr) {
        table.accepted = *accepted;
    }
    // A word on the board that the second list lacks could never be solved.
    const auto add = [&](const std::string& word) {
        if (std::find(table.accepted.begin(), table.accepted.end(), word) == table.accepted.end()) {
            table.accepted.PushBack(word);
        }
    };
    for (const std::string& word : table.words) {
        add(word);
    }
    for (const auto& placement : table.GetPlacements()) {
        add(placement->word);
    }
}

void CrosswordDealer::HandWords(CrosswordTable& table, WordTree& main, WordTree& second, const UTF8String& source)
{
    table.words.Clear();
    if (const WordTree::WordList* all = main.Lookup(source)) {
        table.words = *all;
    }
    Accept(table, second.Lookup(source));
}

bool CrosswordDealer::IsSourceWord(WordTree& words, const UTF8String& source)
{
    const std::int32_t length = source.GetLength();
    if (length < kMinSourceLength || length > kMaxSourceLength) {
        return false;
    }
    const WordTree::WordList* made = words.Lookup(source);
    return made != nullptr && std::find(made->begin(), made->end(), source.GetString()) != made->end() &&
           HasSoleFullLengthWord(*made, source);
}

UTF8String CrosswordDealer::Deal(CrosswordTable& table, WordTree& main, WordTree& second, const Sources& sources,
                                 std::int32_t round, float increment)
{
    UTF8String fallback;
    for (std::int32_t attempt = 0; attempt < kMaxDeals; ++attempt) {
        const UTF8String source = sources.draw();
        if (fallback.IsEmpty() && source.GetLength() >= kMinSourceLength) {
            fallback = source;
        }
        if (!IsSourceWord(main, source)) {
            continue;
        }
        fallback = source;
        CrosswordTable::WordList shuffled = *main.Lookup(source);
        std::shuffle(shuffled.begin(), shuffled.end(), Draw{sources.shuffleRandom});
        const std::int32_t count = WordCount(round, increment, sources.countRandom());
        table.words.Clear();
        for (const std::string& word : ChooseWords(shuffled, source.GetString(), count)) {
            table.words.PushBack(word);
        }
        Accept(table, second.Lookup(source));
        if (table.Generate()) {
            return source;
        }
    }
    // No draw made a crossword: the source word alone always stands.
    table.words.Clear();
    table.words.PushBack(fallback.GetString());
    Accept(table, second.Lookup(fallback));
    table.Generate();
    return fallback;
}
