// Loading the game's word files into the trie, side by side with reading the
// same words from a plain word list into a std::unordered_set; the anagram
// index that the load starts on a thread of its own; anagram searches.
#include <fstream>
#include <memory>
#include <string>
#include <unordered_set>
#include <vector>

#include <benchmark/benchmark.h>

#include "game/words/WordTree.h"

namespace {

std::string TreePath(const std::string& name) { return std::string(QMV_RUN_DIR) + "/data/" + name + ".tree"; }

// The words of a word file as a plain list, one a line, written once.
std::string PlainListPath(const std::string& name)
{
    const std::string path = std::string(QMV_BINARY_DIR) + "/bench-" + name + ".txt";
    WordTree tree;
    if (!tree.LoadFile(TreePath(name)))
        return {};
    const auto words = tree.CollectWords(1, 64);
    std::ofstream out(path);
    for (const std::string& word : *words)
        out << word << '\n';
    return path;
}

// What the caller of LoadFile waits for: the trie read and the index thread
// started. The index built meanwhile, and the tree's end, are not timed.
void LoadTree(benchmark::State& state, const std::string& name)
{
    const std::string path = TreePath(name);
    std::size_t bytes = 0;
    for (auto _ : state) {
        auto tree = std::make_unique<WordTree>();
        if (!tree->LoadFile(path)) {
            state.SkipWithError("word file missing: build the target content");
            return;
        }
        bytes = static_cast<std::size_t>(tree->GetCapacity());
        benchmark::DoNotOptimize(tree->GetNodes());
        state.PauseTiming();
        tree.reset();
        state.ResumeTiming();
    }
    state.counters["buffer_bytes"] = static_cast<double>(bytes);
}

// The load and its anagram index, until the index is ready: the time and,
// as it runs on two threads, the whole process's CPU.
void LoadTreeAndIndex(benchmark::State& state, const std::string& name)
{
    const std::string path = TreePath(name);
    for (auto _ : state) {
        auto tree = std::make_unique<WordTree>();
        if (!tree->LoadFile(path) || !tree->WaitForIndex()) {
            state.SkipWithError("word file missing: build the target content");
            return;
        }
        benchmark::DoNotOptimize(tree->GetNodes());
        state.PauseTiming();
        tree.reset();
        state.ResumeTiming();
    }
}

void LoadPlainList(benchmark::State& state, const std::string& name)
{
    const std::string path = PlainListPath(name);
    std::size_t count = 0;
    for (auto _ : state) {
        std::ifstream in(path);
        if (!in) {
            state.SkipWithError("word file missing: build the target content");
            return;
        }
        std::unordered_set<std::string> words;
        std::string line;
        while (std::getline(in, line))
            words.insert(line);
        count = words.size();
        benchmark::DoNotOptimize(words);
    }
    state.counters["words"] = static_cast<double>(count);
}

// Source words of the pool (5 to 8 letters), or of exactly state.range(0)
// letters when it is not 0; none (and the benchmark skipped) without the word file.
std::vector<std::string> SourceWords(benchmark::State& state, WordTree& tree, const std::string& name)
{
    std::vector<std::string> words;
    if (!tree.LoadFile(TreePath(name)) || !tree.WaitForIndex()) {
        state.SkipWithError("word file missing: build the target content");
        return words;
    }
    const auto length = static_cast<std::size_t>(state.range(0));
    const auto pool = tree.CollectWords(WordTree::kPoolMinLength, WordTree::kPoolMaxLength);
    for (const std::string& word : *pool) {
        if (length == 0 || word.size() == length)
            words.push_back(word);
    }
    return words;
}

// One FindAnagrams per iteration, cycling through the source words.
void AnagramsOfSourceWords(benchmark::State& state, const std::string& name)
{
    WordTree tree;
    const auto sources = SourceWords(state, tree, name);
    if (sources.empty())
        return;
    std::size_t i = 0, listed = 0;
    for (auto _ : state) {
        const auto list = tree.FindAnagrams(sources[i]);
        listed += static_cast<std::size_t>(list->GetCount());
        benchmark::DoNotOptimize(list);
        i = (i + 7919) % sources.size();
    }
    state.counters["words_listed"] = benchmark::Counter(static_cast<double>(listed), benchmark::Counter::kAvgIterations);
}

// The same lists by a plain scan of the whole word list: each word is checked
// against the source word's letter counts (taken down, then restored).
void AnagramsByPlainScan(benchmark::State& state, const std::string& name)
{
    WordTree tree;
    const auto sources = SourceWords(state, tree, name);
    if (sources.empty())
        return;
    const auto all = tree.CollectWords(1, 64);
    const std::vector<std::string> words(all->begin(), all->end());
    std::size_t i = 0, listed = 0;
    for (auto _ : state) {
        const std::string& source = sources[i];
        int have[256] = {};
        for (unsigned char c : source)
            ++have[c];
        std::vector<std::string> list;
        for (const std::string& word : words) {
            if (word.size() > source.size())
                continue;
            std::size_t k = 0;
            while (k < word.size() && --have[static_cast<unsigned char>(word[k])] >= 0)
                ++k;
            const bool fits = k == word.size();
            for (std::size_t j = 0; j < k + (fits ? 0 : 1); ++j)
                ++have[static_cast<unsigned char>(word[j])];
            if (fits)
                list.push_back(word);
        }
        listed += list.size();
        benchmark::DoNotOptimize(list);
        i = (i + 7919) % sources.size();
    }
    state.counters["words_listed"] = benchmark::Counter(static_cast<double>(listed), benchmark::Counter::kAvgIterations);
}

BENCHMARK_CAPTURE(LoadTree, Quorvel2Words, std::string("Quorvel2Words"))->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(LoadPlainList, Quorvel2Words, std::string("Quorvel2Words"))->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(LoadTree, TollivaneWords, std::string("TollivaneWords"))->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(LoadPlainList, TollivaneWords, std::string("TollivaneWords"))->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(LoadTreeAndIndex, Quorvel2Words, std::string("Quorvel2Words"))
    ->MeasureProcessCPUTime()->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(LoadTreeAndIndex, TollivaneWords, std::string("TollivaneWords"))
    ->MeasureProcessCPUTime()->Unit(benchmark::kMillisecond);
// Argument: the source words' length, 0 for the whole pool.
BENCHMARK_CAPTURE(AnagramsOfSourceWords, Quorvel2Words, std::string("Quorvel2Words"))
    ->Arg(0)->Arg(8)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(AnagramsByPlainScan, Quorvel2Words, std::string("Quorvel2Words"))
    ->Arg(0)->Arg(8)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
