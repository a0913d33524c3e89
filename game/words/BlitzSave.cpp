#include "game/words/BlitzSave.h"

#include <algorithm>
#include <charconv>

#include "framework/core/properties/PropertyNode.h"
#include "framework/core/properties/PropertyValue.h"
#include "framework/core/properties/PropertyVector.h"
#include "game/words/BlitzRules.h"
#include "game/words/WordTree.h"

using namespace Qmv2;

namespace {

bool ReadInteger(const PropertyNode& node, const char* key, std::int32_t& value, std::string& why)
{
    const std::string text = node.GetString(key);
    value = 0;
    if (text.empty()) {
        return true;
    }
    std::string_view digits(text);
    int base = 10;
    if (digits.front() == '#') {
        digits.remove_prefix(1);
        base = 16;
    } else if (digits.size() > 1 && digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X')) {
        digits.remove_prefix(2);
        base = 16;
    }
    const char* end = digits.data() + digits.size();
    const auto [stop, error] = std::from_chars(digits.data(), end, value, base);
    if (digits.empty() || error != std::errc() || stop != end) {
        value = 0;
        why = std::string(key) + " is not a number: " + text;
        return false;
    }
    return true;
}

bool InRange(const std::string& key, std::int32_t value, std::int32_t low, std::int32_t high, std::string& why)
{
    if (value < low || value > high) {
        why = key + " " + std::to_string(value) + " is outside " + std::to_string(low) + ".." + std::to_string(high);
        return false;
    }
    return true;
}

}  // namespace

PropertyNode* BlitzSave::ToNode() const
{
    auto* game = new PropertyNode("GAME", "DATA");
    game->AddChild(new PropertyValue("ROUND", round));
    game->AddChild(new PropertyValue("TIME", timeLeft));
    game->AddChild(new PropertyValue("SCORE", score));
    auto* list = new PropertyVector("GAME_LIST");
    for (const Word& entry : words) {
        auto* item = new PropertyNode("GAME_DATA");
        item->AddChild(new PropertyValue("WORD", "String", entry.word.GetString()));
        item->AddBoolean("COMPLETED", entry.completed);
        list->AddItem(item);
    }
    game->AddChild(list);
    return game;
}

bool BlitzSave::Read(const PropertyNode& game, WordTree& dictionary, BlitzSave& out, std::string& why)
{
    BlitzSave save;
    if (!ReadInteger(game, "ROUND", save.round, why) || !ReadInteger(game, "TIME", save.timeLeft, why) ||
        !ReadInteger(game, "SCORE", save.score, why)) {
        return false;
    }
    if (!InRange("ROUND", save.round, 1, kMaxRound, why) ||
        !InRange("TIME", save.timeLeft, 1, BlitzRules::kFullClock, why) ||
        !InRange("SCORE", save.score, 0, INT32_MAX, why)) {
        return false;
    }
    const PropertyVector* list = game.GetVector("GAME_LIST");
    if (!InRange("GAME_LIST count", list->GetCount(), 1, BlitzRules::kMaxWords, why)) {
        return false;
    }
    bool open = false;
    for (std::int32_t i = 0; i < list->GetCount(); ++i) {
        const PropertyNode* item = PropertyNode::AsNode(list->GetItem(i));
        Word entry;
        entry.word = UTF8String(item->GetString("WORD"));
        const std::string flag = item->GetString("COMPLETED");
        entry.completed = !flag.empty() && flag != "false";
        const std::string label = "word " + std::to_string(i + 1);
        if (!InRange(label + " length", entry.word.GetLength(), BlitzRules::kMinLength, BlitzRules::kMaxLength,
                     why)) {
            return false;
        }
        // A word is in the dictionary when its own letters make it.
        const WordTree::WordList* made = dictionary.Lookup(entry.word);
        if (made == nullptr || std::find(made->begin(), made->end(), entry.word.GetString()) == made->end()) {
            why = label + " " + entry.word.GetString() + " is not in the word file";
            return false;
        }
        open = open || !entry.completed;
        save.words.push_back(entry);
    }
    if (!open) {
        why = "every word of the round is already found";
        return false;
    }
    out = save;
    return true;
}
