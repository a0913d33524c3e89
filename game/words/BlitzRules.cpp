#include "game/words/BlitzRules.h"

#include <algorithm>
#include <cmath>

#include "game/words/WordTree.h"

using namespace Qmv2;

namespace {

// Whole part of `value` held inside [low, high]; not-a-number reads as low.
std::int32_t WholeWithin(double value, std::int32_t low, std::int32_t high)
{
    if (!(value >= static_cast<double>(low))) {
        return low;
    }
    if (value >= static_cast<double>(high)) {
        return high;
    }
    return static_cast<std::int32_t>(value);
}

}  // namespace

std::int32_t BlitzRules::WordCount(std::int32_t round, float increment)
{
    const double count = std::floor(static_cast<double>(round - 1) * increment + kBaseWords);
    return WholeWithin(count, 1, kMaxWords);
}

std::int32_t BlitzRules::TargetLength(std::int32_t round, float increment, float unit, std::int32_t playerMax)
{
    double target = static_cast<double>(round - 1) * increment + 7.0 - static_cast<double>(unit) * 2.0;
    if (!(target > kMinLength)) {
        target = kMinLength;
    }
    const std::int32_t longest = std::clamp(playerMax, kMinLength, kMaxLength);
    return WholeWithin(std::trunc(target), kMinLength, longest);
}

float BlitzRules::ColumnTop(std::int32_t count)
{
    return kColumnCentre - static_cast<float>(count) * kColumnPitch * 0.5f;
}

void BlitzRules::KeepFullLength(WordList& words, std::int32_t length)
{
    WordList kept;
    for (const std::string& word : words) {
        if (UTF8String(word).GetLength() >= length) {
            kept.PushBack(word);
        }
    }
    words = kept;
}

BlitzRules::WordList BlitzRules::AcceptedWords(WordTree& tree, const UTF8String& word)
{
    WordList words;
    if (const WordTree::WordList* made = tree.Lookup(word)) {
        words = *made;
    }
    KeepFullLength(words, word.GetLength());
    return words;
}

std::int32_t BlitzRules::Refill(std::int32_t timeLeft)
{
    return static_cast<std::int32_t>(std::min<std::int64_t>(std::int64_t{timeLeft} + kRefill, kFullClock));
}

std::int32_t BlitzRules::CountdownMark(std::int32_t timeLeft)
{
    const std::int32_t mark = std::clamp(timeLeft, 0, kCountdownStart);
    return mark - mark % kCountdownStep;
}

std::int32_t BlitzRules::WordScore(std::int32_t letters, std::int32_t hints)
{
    const std::int32_t shown = std::clamp(hints, 0, letters);
    return 10 * letters * (letters - shown);
}

std::vector<std::int32_t> BlitzRules::RoundTrophies(bool usedShuffle, bool usedSkip, bool usedHint,
                                                    std::int32_t timeLeft)
{
    std::vector<std::int32_t> trophies;
    if (!usedShuffle) {
        trophies.push_back(3);
    }
    if (!usedSkip) {
        trophies.push_back(4);
    }
    if (!usedHint) {
        trophies.push_back(5);
    }
    if (timeLeft <= kCloseFinish) {
        trophies.push_back(6);
    }
    return trophies;
}
