// Loading the game's word files into the trie, side by side with reading the
// same words from a plain word list into a std::unordered_set.
#include <fstream>
#include <string>
#include <unordered_set>

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

void LoadTree(benchmark::State& state, const std::string& name)
{
    const std::string path = TreePath(name);
    std::size_t bytes = 0;
    for (auto _ : state) {
        WordTree tree;
        if (!tree.LoadFile(path)) {
            state.SkipWithError("word file missing: build the target content");
            return;
        }
        bytes = static_cast<std::size_t>(tree.GetCapacity());
        benchmark::DoNotOptimize(tree.GetNodes());
    }
    state.counters["buffer_bytes"] = static_cast<double>(bytes);
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

void AnagramsOfSourceWords(benchmark::State& state, const std::string& name)
{
    WordTree tree;
    if (!tree.LoadFile(TreePath(name))) {
        state.SkipWithError("word file missing: build the target content");
        return;
    }
    const auto pool = tree.CollectWords(WordTree::kPoolMinLength, WordTree::kPoolMaxLength);
    std::int32_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(tree.FindAnagrams((*pool)[i]));
        i = (i + 7919) % pool->GetCount();
    }
}

BENCHMARK_CAPTURE(LoadTree, Quorvel2Words, std::string("Quorvel2Words"))->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(LoadPlainList, Quorvel2Words, std::string("Quorvel2Words"))->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(LoadTree, TollivaneWords, std::string("TollivaneWords"))->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(LoadPlainList, TollivaneWords, std::string("TollivaneWords"))->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(AnagramsOfSourceWords, Quorvel2Words, std::string("Quorvel2Words"))->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
