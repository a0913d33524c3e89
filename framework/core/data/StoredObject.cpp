#include "framework/core/data/StoredObject.h"

#include <array>
#include <string_view>

#include "framework/core/object/ObjectFactory.h"
#include "framework/core/util/Platform.h"

namespace Qmv2 {

SmartPtr<BaseObject> CreateStoredObject(AbstractProperty* entry, const ClassType& expected)
{
    static constexpr std::array<std::string_view, 7> kBasicWords = {"Integer", "Double", "Float", "Boolean",
                                                                     "String",  "Node",   "Vector"};
    PropertyNode* node = PropertyNode::AsNode(entry);
    const std::string& word = node->GetTypeWord();
    bool basic = false;
    for (std::string_view basicWord : kBasicWords) {
        basic = basic || word == basicWord;
    }
    ObjectFactory* factory = ObjectFactory::GetInstance();
    if (basic || !factory->IsRegistered(word)) {
        Platform::Log("Stored entry of unknown type '%s' skipped\n", word.c_str());
        return nullptr;
    }
    SmartPtr<BaseObject> made(factory->Create(word, node));
    if (made && !made->IsOfType(&expected)) {
        Platform::Log("Stored entry of type '%s' is no %s; skipped\n", word.c_str(), expected.GetName());
        return nullptr;
    }
    return made;
}

}  // namespace Qmv2
