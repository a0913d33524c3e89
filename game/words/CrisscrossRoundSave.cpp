#include "game/words/CrisscrossRoundSave.h"

#include <algorithm>

#include "framework/core/properties/PropertyNode.h"
#include "framework/core/properties/PropertyValue.h"
#include "framework/core/properties/PropertyVector.h"
#include "game/words/CrosswordDealer.h"
#include "game/words/CrosswordTable.h"
#include "game/words/SavedFields.h"

using namespace Qmv2;

namespace {

std::string Sorted(std::string letters)
{
    std::sort(letters.begin(), letters.end());
    return letters;
}

// Whether every letter of `word` is one of `letters`, repeats counted.
bool MadeFrom(const std::string& word, const std::string& letters)
{
    std::string left = letters;
    for (const char c : word) {
        const std::size_t at = left.find(c);
        if (at == std::string::npos) {
            return false;
        }
        left.erase(at, 1);
    }
    return true;
}

bool Refuse(std::string& why, const std::string& reason)
{
    why = reason;
    return false;
}

bool ReadRack(const PropertyNode& item, const WordPlacement& placement, const std::string& word, std::size_t index,
              CrisscrossRoundSave::Rack& rack, std::string& why)
{
    const std::string at = "rack " + std::to_string(index) + ": ";
    rack.source = UTF8String(item.GetString("SOURCE"));
    rack.hint = UTF8String(item.GetString("HINT"));
    rack.played = UTF8String(item.GetString("PLAYED"));
    rack.scored = item.GetString("SCORED") != "false";
    if (!ReadSavedInteger(item, "LENGTH", rack.length, why)) {
        why = at + why;
        return false;
    }
    if (rack.hint.GetString() != placement.word) {
        return Refuse(why, at + "HINT " + rack.hint.GetString() + " is not the board's word " + placement.word);
    }
    if (rack.length != placement.Length() || rack.source.GetLength() != rack.length) {
        return Refuse(why, at + "LENGTH " + std::to_string(rack.length) + " does not fit the word " + placement.word);
    }
    if (Sorted(rack.source.GetString()) != Sorted(placement.word) || !MadeFrom(placement.word, word)) {
        return Refuse(why, at + "SOURCE " + rack.source.GetString() + " does not make " + placement.word);
    }
    if (!rack.played.IsEmpty() &&
        (rack.played.GetLength() != rack.length || Sorted(rack.played.GetString()) != Sorted(placement.word))) {
        return Refuse(why, at + "PLAYED " + rack.played.GetString() + " is not made of its letters");
    }
    return true;
}

// One rack per word on the board, each fitting its word.
bool ReadRacks(const PropertyNode& game, const std::vector<SmartPtr<WordPlacement>>& placements,
               CrisscrossRoundSave& save, std::string& why)
{
    const PropertyVector* list = game.GetVector("CROSS_LIST");
    if (static_cast<std::size_t>(list->GetCount()) != placements.size()) {
        return Refuse(why, std::to_string(list->GetCount()) + " racks for " + std::to_string(placements.size()) +
                               " words on the board");
    }
    for (std::size_t i = 0; i < placements.size(); ++i) {
        AbstractProperty* entry = list->GetItem(static_cast<std::int32_t>(i));
        if (entry == nullptr || !entry->IsOfType(&PropertyNode::s_Type)) {
            return Refuse(why, "rack " + std::to_string(i) + " is no node");
        }
        CrisscrossRoundSave::Rack rack;
        if (!ReadRack(*static_cast<PropertyNode*>(entry), *placements[i], save.word.GetString(), i, rack, why)) {
            return false;
        }
        save.racks.push_back(rack);
    }
    return true;
}

// Every word shown on the board is one the round accepts, so it is made of
// the round's letters. A shown word with anything else (a stray control
// character, say) would not come back from the save the game writes again.
bool ReadShownWords(const CrosswordTable& board, const std::string& word, std::string& why)
{
    const std::vector<Anagram*>& slots = board.GetSlots();
    for (std::size_t i = 0; i < slots.size(); ++i) {
        const std::string& shown = slots[i]->GetWord().GetString();
        if (!shown.empty() && !MadeFrom(shown, word)) {
            return Refuse(why, "word " + std::to_string(i) + " on the board, " + shown + ", is not made of " + word);
        }
    }
    return true;
}

}  // namespace

PropertyNode* CrisscrossRoundSave::ToNode() const
{
    auto* game = new PropertyNode("GAME", "DATA");
    game->AddChild(new PropertyValue("ROUND", round));
    game->AddChild(new PropertyValue("TIME", time));
    game->AddChild(new PropertyValue("SCORE", score));
    game->AddChild(new PropertyValue("WORD", "String", word.GetString()));
    game->AddChild(new PropertyValue("CURRENT", current));
    auto* list = new PropertyVector("CROSS_LIST");
    for (const Rack& rack : racks) {
        auto* item = new PropertyNode("CROSS_INFO", "Node");
        item->AddChild(new PropertyValue("SOURCE", "String", rack.source.GetString()));
        item->AddChild(new PropertyValue("HINT", "String", rack.hint.GetString()));
        item->AddChild(new PropertyValue("PLAYED", "String", rack.played.GetString()));
        item->AddChild(new PropertyValue("LENGTH", rack.length));
        item->AddBoolean("SCORED", rack.scored);
        list->AddItem(item);
    }
    game->AddChild(list);
    if (table) {
        game->AddChild(table.Get());
    }
    return game;
}

bool CrisscrossRoundSave::Read(const PropertyNode& game, WordTree& words, CrosswordTable& board,
                               CrisscrossRoundSave& out, std::string& why)
{
    CrisscrossRoundSave save;
    if (!ReadSavedInteger(game, "ROUND", save.round, why) || !ReadSavedInteger(game, "TIME", save.time, why) ||
        !ReadSavedInteger(game, "SCORE", save.score, why) || !ReadSavedInteger(game, "CURRENT", save.current, why)) {
        return false;
    }
    if (!SavedInRange("ROUND", save.round, 1, kMaxRound, why) || !SavedInRange("TIME", save.time, 0, INT32_MAX, why) ||
        !SavedInRange("SCORE", save.score, 0, INT32_MAX, why)) {
        return false;
    }
    save.word = UTF8String(game.GetString("WORD"));
    if (!CrosswordDealer::IsSourceWord(words, save.word)) {
        return Refuse(why, "WORD " + save.word.GetString() + " is no word a round is dealt from");
    }

    PropertyNode* table = game.GetNode("CROSSWORD_TABLE");
    if (!game.HasChild("CROSSWORD_TABLE") || !board.Load(table)) {
        return Refuse(why, "the board does not load");
    }
    save.table = table;
    const auto& placements = board.GetPlacements();

    if (!ReadShownWords(board, save.word.GetString(), why) || !ReadRacks(game, placements, save, why) ||
        !SavedInRange("CURRENT", save.current, 0, static_cast<std::int32_t>(placements.size()) - 1, why)) {
        board.Load(nullptr);  // a refused save leaves no board behind
        return false;
    }
    out = save;
    return true;
}
