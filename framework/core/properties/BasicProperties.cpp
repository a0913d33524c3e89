#include "framework/core/properties/BasicProperties.h"

#include <cstdio>

#include "framework/core/object/ObjectFactory.h"
#include "framework/core/util/Platform.h"

namespace Qmv2 {

namespace {

// The table that receives a basic value; values arriving before the table
// exists are dropped with a log line rather than lost silently.
BasicProperties* Table(const AbstractProperty* property)
{
    BasicProperties* table = BasicProperties::GetInstance();
    if (table == nullptr) {
        Platform::DebugOutput("Basic property '" + property->GetName() + "' read before the basic properties exist.\n",
                              "");
    }
    return table;
}

}  // namespace

BaseObject* BasicProperties::CreateInteger(AbstractProperty* property)
{
    if (BasicProperties* table = Table(property)) {
        table->SetInteger(property->GetName(), property->GetInt());
    }
    return nullptr;
}

BaseObject* BasicProperties::CreateDouble(AbstractProperty* property)
{
    if (BasicProperties* table = Table(property)) {
        double value = 0.0;
        if (std::sscanf(property->GetString().c_str(), "%lf", &value) != 1) {
            value = 0.0;
        }
        table->SetDouble(property->GetName(), value);
    }
    return nullptr;
}

BaseObject* BasicProperties::CreateFloat(AbstractProperty* property)
{
    if (BasicProperties* table = Table(property)) {
        table->SetFloat(property->GetName(), property->GetFloat());
    }
    return nullptr;
}

BaseObject* BasicProperties::CreateBoolean(AbstractProperty* property)
{
    if (BasicProperties* table = Table(property)) {
        table->SetBoolean(property->GetName(), property->GetBool());
    }
    return nullptr;
}

BaseObject* BasicProperties::CreateString(AbstractProperty* property)
{
    if (BasicProperties* table = Table(property)) {
        table->SetString(property->GetName(), property->GetString());
    }
    return nullptr;
}

BaseObject* BasicProperties::CreateNode(AbstractProperty* property)
{
    if (BasicProperties* table = Table(property)) {
        table->SetSetup(property->GetName(), PropertyNode::AsNode(property));
    }
    return nullptr;
}

BaseObject* BasicProperties::CreateVector(AbstractProperty* property)
{
    if (BasicProperties* table = Table(property)) {
        PropertyVector* list =
            property->IsVector() ? static_cast<PropertyVector*>(property) : PropertyVector::GetEmpty();
        table->SetList(property->GetName(), list);
    }
    return nullptr;
}

void BasicProperties::RegisterCreators(ObjectFactory& factory)
{
    factory.Register("Integer", &CreateInteger);
    factory.Register("Double", &CreateDouble);
    factory.Register("Float", &CreateFloat);
    factory.Register("Boolean", &CreateBoolean);
    factory.Register("String", &CreateString);
    factory.Register("Node", &CreateNode);
    factory.Register("Vector", &CreateVector);
}

const std::string& BasicProperties::GetString(const std::string& key)
{
    auto found = m_Strings.find(key);
    if (found != m_Strings.end()) {
        return found->second;
    }
    return m_Strings[key + "_" + Platform::GetPlatformName()];
}

bool BasicProperties::HasString(const std::string& key) const
{
    return m_Strings.find(key) != m_Strings.end();
}

}  // namespace Qmv2
