// Saved crossword rounds from outside: any bytes are read as the property
// file of a saved round; a save the checks accept is played again as the
// game restores it (board, one rack per word, solved words in their answer
// boxes) and must save back to a file the checks accept once more.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "FuzzWordTree.h"
#include "framework/core/object/SmartPtr.h"
#include "framework/core/properties/PropertyStore.h"
#include "framework/core/properties/PropertyXmlReader.h"
#include "game/words/CrisscrossRoundSave.h"
#include "game/words/CrosswordDealer.h"
#include "game/words/CrosswordRack.h"
#include "game/words/CrosswordTable.h"
#include "game/words/LetterBox.h"

using namespace Qmv2;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    SmartPtr<PropertyStore> store(new PropertyStore());
    if (!PropertyXmlReader::ReadInto(*store, text.c_str(), false)) {
        return 0;
    }
    SmartPtr<CrosswordTable> board(new CrosswordTable(0.0f, 0.0f));
    CrisscrossRoundSave save;
    std::string why;
    if (!CrisscrossRoundSave::Read(*store->GetNode("GAME"), FuzzWordTree(), *board, save, why)) {
        if (!board->GetPlacements().empty() || why.empty()) {
            std::abort();  // a refused save leaves a board, or gives no reason
        }
        return 0;
    }
    const auto& placements = board->GetPlacements();
    if (placements.empty() || save.racks.size() != placements.size() || save.round < 1 || save.score < 0) {
        std::abort();  // the checks let through what they must refuse
    }
    CrosswordDealer::HandWords(*board, FuzzWordTree(), FuzzWordTree(), save.word);
    for (std::size_t i = 0; i < save.racks.size(); ++i) {
        const CrisscrossRoundSave::Rack& saved = save.racks[i];
        CrosswordRack rack(nullptr, saved.source, saved.length, static_cast<std::int32_t>(i), &saved.played,
                           placements[i]->horizontal);
        if (rack.GetAnswerBox()->GetSlotCount() != placements[i]->Length() ||
            rack.GetAnswerBox()->GetAllText() != saved.played) {
            std::abort();  // a restored rack does not fit its word, or lost letters
        }
        for (const auto& [other, letter] : placements[i]->intersections) {
            if (other < 0 || static_cast<std::size_t>(other) >= placements.size() || letter < 0 ||
                letter >= saved.length) {
                std::abort();  // a crossing the scene would read out of range
            }
        }
    }
    save.table = board->Save();
    SmartPtr<PropertyStore> again(new PropertyStore());
    again->AddChild(save.ToNode());
    SmartPtr<PropertyStore> reread(new PropertyStore());
    SmartPtr<CrosswordTable> second(new CrosswordTable(0.0f, 0.0f));
    CrisscrossRoundSave back;
    if (!PropertyXmlReader::ReadInto(*reread, again->ToXml().c_str(), false) ||
        !CrisscrossRoundSave::Read(*reread->GetNode("GAME"), FuzzWordTree(), *second, back, why) ||
        back.racks.size() != save.racks.size() || second->GetPlacements().size() != placements.size()) {
        std::abort();  // what was restored does not save back
    }
    return 0;
}
