#include "framework/core/object/ObjectFactory.h"

#include "framework/core/properties/BasicProperties.h"
#include "framework/core/util/Platform.h"

namespace Qmv2 {

ObjectFactory* ObjectFactory::GetInstance()
{
    if (s_Instance == nullptr) {
        auto* factory = new ObjectFactory();
        SetInstance(factory);
        BasicProperties::RegisterCreators(*factory);
    }
    return s_Instance;
}

void ObjectFactory::Register(const std::string& name, ObjectCreator creator)
{
    if (creator != nullptr) {
        m_Creators[name] = creator;
    }
}

bool ObjectFactory::IsRegistered(const std::string& name) const
{
    return m_Creators.find(name) != m_Creators.end();
}

BaseObject* ObjectFactory::Create(const std::string& name, AbstractProperty* property)
{
    if (property == nullptr) {
        property = PropertyNode::GetEmpty();
    }
    auto found = m_Creators.find(name);
    if (found == m_Creators.end()) {
        Platform::ShowMessage("Type not found: " + name + " in " + property->GetName() + " (Check: " +
                                  property->GetTypeWord() + ")\n",
                              "");
        return nullptr;
    }
    return found->second(property);
}

}  // namespace Qmv2
