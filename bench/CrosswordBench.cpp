// Crossword boards laid out per second, for source words of each length the
// game deals (5 to 8 letters). Each board is dealt as round 1 deals it: the
// source's anagrams shuffled, 4 to 10 of them visited, the source word last.
// Failed layouts count as boards too (the game then deals again); their
// share is reported.
#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>

#include "framework/core/object/SmartPtr.h"
#include "game/words/CrosswordTable.h"
#include "game/words/WordTree.h"

namespace {

struct Round {
    std::string source;
    std::vector<std::string> anagrams;
};

// Every pool word of `length` letters that is its own single full-length anagram.
std::vector<Round> Rounds(benchmark::State& state, std::size_t length)
{
    std::vector<Round> rounds;
    WordTree tree;
    if (!tree.LoadFile(std::string(QMV_RUN_DIR) + "/data/Quorvel2Words.tree")) {
        state.SkipWithError("word file missing: build the target content");
        return rounds;
    }
    tree.WaitForIndex();
    const auto pool = tree.CollectWords(WordTree::kPoolMinLength, WordTree::kPoolMaxLength);
    for (const std::string& word : *pool) {
        if (word.size() != length)
            continue;
        const auto anagrams = tree.FindAnagrams(word);
        const auto full = std::count_if(anagrams->begin(), anagrams->end(),
                                        [&](const std::string& w) { return w.size() == length; });
        if (full == 1)
            rounds.push_back({word, std::vector<std::string>(anagrams->begin(), anagrams->end())});
    }
    return rounds;
}

void GenerateBoards(benchmark::State& state)
{
    const auto rounds = Rounds(state, static_cast<std::size_t>(state.range(0)));
    if (rounds.empty())
        return;
    std::srand(1);
    std::size_t next = 0;
    std::int64_t failed = 0;
    for (auto _ : state) {
        Round round = rounds[next++ % rounds.size()];
        for (std::size_t i = round.anagrams.size(); i > 1; --i)
            std::swap(round.anagrams[i - 1], round.anagrams[static_cast<std::size_t>(std::rand()) % i]);
        Qmv2::SmartPtr<CrosswordTable> table(new CrosswordTable(0.0f, 0.0f));
        int count = std::min(std::rand() % 4 + 4, 10);
        for (std::size_t i = 0; i < round.anagrams.size() && count > 0; ++i, --count) {
            if (round.anagrams[i] != round.source)
                table->words.PushBack(round.anagrams[i]);
        }
        table->words.PushBack(round.source);
        failed += table->Generate() ? 0 : 1;
        benchmark::DoNotOptimize(table->GetPlacements().data());
    }
    state.SetItemsProcessed(state.iterations());
    state.counters["failed_share"] = static_cast<double>(failed) / static_cast<double>(state.iterations());
    state.counters["sources"] = static_cast<double>(rounds.size());
}

}  // namespace

BENCHMARK(GenerateBoards)->DenseRange(5, 8)->Unit(benchmark::kMicrosecond);

BENCHMARK_MAIN();
