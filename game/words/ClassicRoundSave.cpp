#include "game/words/ClassicRoundSave.h"

#include <algorithm>

#include "framework/core/properties/PropertyNode.h"
#include "framework/core/properties/PropertyValue.h"
#include "framework/core/properties/PropertyVector.h"
#include "game/words/SavedFields.h"
#include "game/words/WordTree.h"

using namespace Qmv2;

namespace {

constexpr std::int32_t kCountdownStart = 10000;

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
    if (!ReadSavedInteger(game, "ROUND", save.round, why) || !ReadSavedInteger(game, "TIME", save.timeLeft, why) ||
        !ReadSavedInteger(game, "SCORE", save.score, why) || !ReadSavedInteger(game, "DAY", save.day, why) ||
        !ReadSavedInteger(game, "FAILCOUNT", save.passCount, why)) {
        return false;
    }
    const std::int32_t length = save.word.GetLength();
    if (!SavedInRange("WORD length", length, kMinWordLength, kMaxWordLength, why)) {
        return false;
    }
    // A word is in the dictionary when its own letters make it.
    const WordTree::WordList* made = words.Lookup(save.word);
    if (made == nullptr || std::find(made->begin(), made->end(), save.word.GetString()) == made->end()) {
        why = "WORD " + save.word.GetString() + " is not in the word file";
        return false;
    }
    if (!SavedInRange("ROUND", save.round, 1, kMaxRound, why) ||
        !SavedInRange("TIME", save.timeLeft, untimed ? INT32_MIN : 0, kFullTime, why) ||
        !SavedInRange("SCORE", save.score, 0, INT32_MAX, why) || !SavedInRange("FAILCOUNT", save.passCount, 0, kMaxPasses, why)) {
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
