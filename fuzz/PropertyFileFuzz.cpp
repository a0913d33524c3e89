// Property files from outside: any bytes must parse or be refused without a
// crash, and whatever was read must write as text that reads back to a tree
// that writes the same text again.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "framework/core/properties/BasicProperties.h"
#include "framework/core/properties/PropertyStore.h"
#include "framework/core/properties/PropertyXmlReader.h"

namespace {

using namespace Qmv2;

std::string WriteAndReread(const std::string& written)
{
    SmartPtr<PropertyStore> store(new PropertyStore());
    if (!PropertyXmlReader::ReadInto(*store, written.c_str(), false)) {
        std::fprintf(stderr, "written text does not parse:\n%s\n", written.c_str());
        std::abort();
    }
    return store->ToXml();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0) {
        return 0;
    }
    const bool condense = (data[0] & 1) != 0;
    const std::string text(reinterpret_cast<const char*>(data + 1), size - 1);

    SmartPtr<PropertyStore> store(new PropertyStore());
    if (!PropertyXmlReader::ReadInto(*store, text.c_str(), condense)) {
        return 0;
    }
    const std::string first = store->ToXml();
    const std::string second = WriteAndReread(first);
    const std::string third = WriteAndReread(second);
    if (second != third) {
        std::fprintf(stderr, "writing is not stable:\n%s\n---\n%s\n", second.c_str(), third.c_str());
        std::abort();
    }

    // Setups named by the file itself, cycles included, resolve and end.
    if (BasicProperties::GetInstance() == nullptr) {
        BasicProperties::SetInstance(new BasicProperties());
    }
    for (AbstractProperty* child : store->GetNamedChildren()) {
        BasicProperties::CreateNode(child);
    }
    store->ApplySetup();
    for (AbstractProperty* child : store->GetNamedChildren()) {
        BasicProperties::GetInstance()->SetSetup(child->GetName(), nullptr);
    }
    return 0;
}
