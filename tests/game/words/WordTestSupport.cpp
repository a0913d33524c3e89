#include "WordTestSupport.h"

#include <array>
#include <memory>
#include <sstream>

#include <gtest/gtest.h>

#include "game/words/WordTreeWriter.h"

namespace wordtest {

void LoadFromBytes(WordTree& tree, const std::string& bytes)
{
    std::istringstream in(bytes);
    ASSERT_GE(tree.Load(in, 0), 0) << "word file bytes did not load";
}

void LoadWords(WordTree& tree, const std::vector<std::string>& words)
{
    std::ostringstream out;
    std::string error;
    ASSERT_TRUE(WordTreeWriter::Write(out, words, &error)) << error;
    LoadFromBytes(tree, out.str());
}

WordTree::ShuffleRandom JavaShuffleRandom()
{
    auto state = std::make_shared<std::uint64_t>(0);
    constexpr std::uint64_t kMultiplier = 0x5DEECE66DULL;
    constexpr std::uint64_t kMask = (1ULL << 48) - 1;
    WordTree::ShuffleRandom random;
    random.seed = [state](std::int32_t seed) {
        *state = (static_cast<std::uint64_t>(static_cast<std::int64_t>(seed)) ^ kMultiplier) & kMask;
    };
    random.range = [state](std::int32_t lo, std::int32_t hi) {
        *state = (*state * kMultiplier + 11) & kMask;
        const auto draw = static_cast<std::int32_t>(static_cast<std::uint32_t>(*state >> 16));
        std::int32_t r = draw % (hi - lo);
        if (r < 0)
            r += hi - lo;
        return r + lo;
    };
    return random;
}

std::vector<std::string> Listed(const WordTree::WordList& list)
{
    return {list.begin(), list.end()};
}

std::string GameWordFile(const std::string& name)
{
    return std::string(QMV_RUN_DIR) + "/data/" + name;
}

bool CanMake(const std::string& word, const std::string& letters)
{
    std::array<int, 256> available{};
    for (unsigned char c : letters)
        ++available[c];
    for (unsigned char c : word) {
        if (--available[c] < 0)
            return false;
    }
    return true;
}

} // namespace wordtest
