// Saved classic rounds from outside: any bytes are read as the property file
// of a saved round; a save the checks accept is dealt again into an answer
// table with its found words, as the game restores it.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "FuzzWordTree.h"
#include "framework/core/object/SmartPtr.h"
#include "framework/core/properties/PropertyStore.h"
#include "framework/core/properties/PropertyXmlReader.h"
#include "game/words/AnagramTable.h"
#include "game/words/ClassicRoundSave.h"
#include "game/words/WordTree.h"

using namespace Qmv2;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0) {
        return 0;
    }
    const bool untimed = (data[0] & 1) != 0;
    const std::string text(reinterpret_cast<const char*>(data + 1), size - 1);
    SmartPtr<PropertyStore> store(new PropertyStore());
    if (!PropertyXmlReader::ReadInto(*store, text.c_str(), false)) {
        return 0;
    }
    ClassicRoundSave save;
    std::string why;
    if (!ClassicRoundSave::Read(*store->GetNode("GAME"), FuzzWordTree(), untimed, save, why)) {
        return 0;
    }
    if (save.word.GetLength() < ClassicRoundSave::kMinWordLength || save.round < 1 || save.passCount > 2) {
        std::abort(); // the checks let through what they must refuse
    }
    const auto answers = FuzzWordTree().FindAnagrams(save.word);
    SmartPtr<AnagramTable> table(new AnagramTable(0.0f, 0.0f));
    table->Build(answers.get(), answers.get());
    const std::int32_t placed = table->Load(save.foundWords.Get());
    if (placed < 0 || placed > static_cast<std::int32_t>(table->GetSlots().size())) {
        std::abort();
    }
    SmartPtr<PropertyVector> again(table->Save());
    if (again->GetCount() != placed) {
        std::abort(); // every placed word is saved once more, nothing else
    }
    save.CountdownMark();
    return 0;
}
