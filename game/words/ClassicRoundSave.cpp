#include "game/words/ClassicRoundSave.h"

#include <algorithm>
#include <charconv>

#include "framework/core/properties/PropertyNode.h"
#include "framework/core/properties/PropertyValue.h"
#include "framework/core/properties/PropertyVector.h"
#include "game/words/WordTree.h"

using namespace Qmv2;

namespace {

constexpr std::int32_t kCountdownStart = 10000;

// A missing or empty value is 0; anything but a whole decimal number in
// range is refused.
bool ReadInteger(const PropertyNode& node, const char* key, std::int32_t& value, std::string& why)
{
    const std::string text = node.GetString(key);
    value = 0;
    if (text.empty()) {
        return true;
    }
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, value);
    if (error != std::errc() || stop != end) {
        why = std::string(key) + " is not a number: " + text;
        return false;
    }
    return true;
}

bool InRange(const char* key, std::int32_t value, std::int32_t low, std::int32_t high, std::string& why)
{
    if (value < low || value > high) {
        why = std::string(key) + " " + std::to_string(value) + " is outside " + std::to_string(low) + ".." +
              std::to_string(high);
        return false;
    }
    return true;
}

}  // namespace

PropertyNode* ClassicRoundSave::ToNode() const
{
    auto* game = new PropertyNode("GAME", "DATA");
    game->AddChild(new PropertyValue("WORD", "String", word.GetString()));
    game->AddChild(new PropertyValue("ROUND", round));
    game->AddChild(new PropertyValue("TIME", timeLeft));
    game->AddBoolean("LONGESTWORD", longestWord);
    game->AddChild(new PropertyValue("SCORE", score));
    game->AddChild(new PropertyValue("DAY", day));
    game->AddChild(new PropertyValue("FAILCOUNT", passCount));
    game->AddChild(foundWords ? foundWords.Get() : new PropertyVector("WORD_LIST"));
    return game;
}

bool ClassicRoundSave::Read(const PropertyNode& game, WordTree& words, bool untimed, ClassicRoundSave& out,
                            std::string& why)
{
    ClassicRoundSave save;
    save.word = UTF8String(game.GetString("WORD"));
    const std::string flag = game.GetString("LONGESTWORD");
    save.longestWord = !flag.empty() && flag != "false";
    if (!ReadInteger(game, "ROUND", save.round, why) || !ReadInteger(game, "TIME", save.timeLeft, why) ||
        !ReadInteger(game, "SCORE", save.score, why) || !ReadInteger(game, "DAY", save.day, why) ||
        !ReadInteger(game, "FAILCOUNT", save.passCount, why)) {
        return false;
    }
    const std::int32_t length = save.word.GetLength();
    if (!InRange("WORD length", length, kMinWordLength, kMaxWordLength, why)) {
        return false;
    }
    // A word is in the dictionary when its own letters make it.
    const WordTree::WordList* made = words.Lookup(save.word);
    if (made == nullptr || std::find(made->begin(), made->end(), save.word.GetString()) == made->end()) {
        why = "WORD " + save.word.GetString() + " is not in the word file";
        return false;
    }
    if (!InRange("ROUND", save.round, 1, kMaxRound, why) ||
        !InRange("TIME", save.timeLeft, untimed ? INT32_MIN : 0, kFullTime, why) ||
        !InRange("SCORE", save.score, 0, INT32_MAX, why) || !InRange("FAILCOUNT", save.passCount, 0, kMaxPasses, why)) {
        return false;
    }
    AbstractProperty* list = game.GetChild("WORD_LIST");
    save.foundWords = dynamic_cast<PropertyVector*>(list);
    out = save;
    return true;
}

std::int32_t ClassicRoundSave::CountdownMark() const
{
    // An untimed round's clock runs below 0; it has no warning to resume.
    const std::int32_t mark = std::clamp(timeLeft, 0, kCountdownStart);
    return mark - mark % 1000;
}
