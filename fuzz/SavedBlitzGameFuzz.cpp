// Saved Blitz games from outside: any bytes are read as the property file of
// a saved game; a save the checks accept has its racks' words looked up as
// the game restores them, and must be written and read back unchanged.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "FuzzWordTree.h"
#include "framework/core/object/SmartPtr.h"
#include "framework/core/properties/PropertyStore.h"
#include "framework/core/properties/PropertyXmlReader.h"
#include "game/words/BlitzRules.h"
#include "game/words/BlitzSave.h"
#include "game/words/WordTree.h"

namespace {

using namespace Qmv2;

bool Same(const BlitzSave& a, const BlitzSave& b)
{
    if (a.round != b.round || a.timeLeft != b.timeLeft || a.score != b.score || a.words.size() != b.words.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.words.size(); ++i) {
        if (!(a.words[i].word == b.words[i].word) || a.words[i].completed != b.words[i].completed) {
            return false;
        }
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    SmartPtr<PropertyStore> store(new PropertyStore());
    if (!PropertyXmlReader::ReadInto(*store, text.c_str(), false)) {
        return 0;
    }
    BlitzSave save;
    std::string why;
    if (!BlitzSave::Read(*store->GetNode("GAME"), FuzzWordTree(), save, why)) {
        return 0;
    }
    bool open = false;
    for (const BlitzSave::Word& entry : save.words) {
        const std::int32_t length = entry.word.GetLength();
        if (length < BlitzRules::kMinLength || length > BlitzRules::kMaxLength) {
            std::abort();  // the checks let through a word no round deals
        }
        const BlitzRules::WordList accepted = BlitzRules::AcceptedWords(FuzzWordTree(), entry.word);
        if (accepted.GetCount() == 0) {
            std::abort();  // a known word accepts at least itself
        }
        open = open || !entry.completed;
    }
    if (!open || save.words.empty() || save.words.size() > BlitzRules::kMaxWords || save.round < 1 ||
        save.timeLeft <= 0 || save.timeLeft > BlitzRules::kFullClock || save.score < 0) {
        std::abort();
    }
    SmartPtr<PropertyStore> again(new PropertyStore());
    again->AddChild(save.ToNode());
    SmartPtr<PropertyStore> reread(new PropertyStore());
    BlitzSave back;
    if (!PropertyXmlReader::ReadInto(*reread, again->ToXml().c_str(), false) ||
        !BlitzSave::Read(*reread->GetNode("GAME"), FuzzWordTree(), back, why) || !Same(save, back)) {
        std::abort();  // what was accepted does not survive its own writing
    }
    BlitzRules::CountdownMark(save.timeLeft);
    return 0;
}
