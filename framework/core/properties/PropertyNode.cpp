#include "framework/core/properties/PropertyNode.h"

#include "framework/core/properties/BasicProperties.h"

namespace Qmv2 {

PropertyNode::PropertyNode(const std::string& name, const std::string& typeWord)
    : AbstractProperty(kNode, typeWord, name)
{
}

AbstractProperty* PropertyNode::Clone() const
{
    auto* copy = new PropertyNode(GetName(), GetTypeWord());
    copy->CloneChildrenFrom(*this, false);
    return copy;
}

void PropertyNode::CloneChildrenFrom(const PropertyNode& other, bool namedOnly)
{
    if (namedOnly) {
        for (AbstractProperty* child : other.GetNamedChildren()) {
            AddChild(child->Clone());
        }
        return;
    }
    for (const SmartPtr<AbstractProperty>& child : other.m_Ordered) {
        AddChild(child->Clone());
    }
}

void PropertyNode::CopyFrom(const AbstractProperty& other)
{
    if (IsSharedEmpty() || &other == this) {
        return;
    }
    AbstractProperty::CopyFrom(other);
    if (other.IsNode()) {
        const auto& node = static_cast<const PropertyNode&>(other);
        m_ByName = node.m_ByName;
        m_Ordered = node.m_Ordered;
    }
}

AbstractProperty* PropertyNode::AddChild(AbstractProperty* child)
{
    if (IsSharedEmpty() || child == nullptr) {
        return child;
    }
    SmartPtr<AbstractProperty> holder(child);
    RemoveChild(child->GetName());
    m_ByName[child->GetName()] = holder;
    m_Ordered.PushBack(holder);
    return child;
}

PropertyValue* PropertyNode::AddBoolean(const std::string& name, bool value, bool untyped)
{
    if (IsSharedEmpty()) {
        return PropertyValue::GetEmpty();
    }
    auto* child = new PropertyValue(name, untyped ? std::string() : std::string("Boolean"),
                                    std::string(value ? "true" : "false"));
    AddChild(child);
    return child;
}

void PropertyNode::RemoveChild(const std::string& name)
{
    auto found = m_ByName.find(name);
    if (found == m_ByName.end()) {
        return;
    }
    for (SmartPtr<AbstractProperty>* it = m_Ordered.begin(); it != m_Ordered.end(); ++it) {
        if ((*it)->GetName() == name) {
            m_Ordered.Erase(it, it + 1);
            break;
        }
    }
    m_ByName.erase(found);
}

void PropertyNode::Clear()
{
    // Emptied before the children go, so a child's destruction never sees a
    // half-cleared node.
    auto byName = std::move(m_ByName);
    m_ByName.clear();
    Children ordered = std::move(m_Ordered);
}

AbstractProperty* PropertyNode::GetChild(const std::string& name) const
{
    auto found = m_ByName.find(name);
    return found != m_ByName.end() ? found->second.Get() : nullptr;
}

bool PropertyNode::HasChild(const std::string& name) const
{
    return m_ByName.find(name) != m_ByName.end();
}

PropertyValue* PropertyNode::GetValue(const std::string& name) const
{
    AbstractProperty* child = GetChild(name);
    return child != nullptr && child->IsValue() ? static_cast<PropertyValue*>(child) : PropertyValue::GetEmpty();
}

PropertyVector* PropertyNode::GetVector(const std::string& name) const
{
    AbstractProperty* child = GetChild(name);
    return child != nullptr && child->IsVector() ? static_cast<PropertyVector*>(child) : PropertyVector::GetEmpty();
}

PropertyNode* PropertyNode::GetNode(const std::string& name) const
{
    return AsNode(GetChild(name));
}

std::string PropertyNode::GetString(const std::string& name) const
{
    return GetValue(name)->GetText();
}

std::int32_t PropertyNode::GetEnum(const std::string& name, const char* const* keywords, std::int32_t count,
                                   std::int32_t defaultIndex) const
{
    if (!HasChild(name) || keywords == nullptr) {
        return defaultIndex;
    }
    const std::string text = GetString(name);
    for (std::int32_t i = 0; i < count; ++i) {
        if (keywords[i] != nullptr && text == keywords[i]) {
            return i;
        }
    }
    return defaultIndex;
}

std::vector<AbstractProperty*> PropertyNode::GetNamedChildren() const
{
    std::vector<AbstractProperty*> named;
    named.reserve(m_ByName.size());
    for (const SmartPtr<AbstractProperty>& child : m_Ordered) {
        auto found = m_ByName.find(child->GetName());
        if (found != m_ByName.end() && found->second.Get() == child.Get()) {
            named.push_back(child.Get());
        }
    }
    return named;
}

PropertyNode* PropertyNode::AsNode(AbstractProperty* property)
{
    return property != nullptr && property->IsNode() ? static_cast<PropertyNode*>(property) : GetEmpty();
}

void PropertyNode::ResolveSetups(std::unordered_set<const AbstractProperty*>& visited)
{
    if (!visited.insert(this).second) {
        return;
    }
    auto found = m_ByName.find("setup");
    if (found != m_ByName.end()) {
        const std::string setupName = found->second->GetString();
        m_ByName.erase(found);
        if (!setupName.empty()) {
            BasicProperties* table = BasicProperties::GetInstance();
            PropertyNode* setup = table != nullptr ? table->GetSetup(setupName) : nullptr;
            if (setup == nullptr) {
                return;
            }
            // Held while its children are added: adding may not release it,
            // but a setup entry replaced meanwhile must not vanish under us.
            SmartPtr<PropertyNode> keep(setup);
            for (AbstractProperty* inherited : setup->GetNamedChildren()) {
                if (!HasChild(inherited->GetName()) && !PropertyReaches(inherited, this)) {
                    AddChild(inherited);
                }
            }
        }
    }
    const Children children = m_Ordered;
    for (const SmartPtr<AbstractProperty>& child : children) {
        child->ResolveSetups(visited);
    }
}

PropertyNode* PropertyNode::GetEmpty()
{
    static PropertyNode* const empty = [] {
        auto* node = new PropertyNode("DUMMY_NODE");
        node->MarkSharedEmpty();
        return node;
    }();
    return empty;
}

namespace {

bool Reaches(const AbstractProperty* from, const AbstractProperty* target,
             std::unordered_set<const AbstractProperty*>& seen)
{
    if (from == target) {
        return true;
    }
    if (!seen.insert(from).second) {
        return false;
    }
    if (from->IsNode()) {
        for (const SmartPtr<AbstractProperty>& child : static_cast<const PropertyNode*>(from)->GetChildren()) {
            if (Reaches(child.Get(), target, seen)) {
                return true;
            }
        }
    } else if (from->IsVector()) {
        for (const SmartPtr<AbstractProperty>& item : static_cast<const PropertyVector*>(from)->GetItems()) {
            if (Reaches(item.Get(), target, seen)) {
                return true;
            }
        }
    }
    return false;
}

}  // namespace

bool PropertyReaches(const AbstractProperty* from, const AbstractProperty* target)
{
    std::unordered_set<const AbstractProperty*> seen;
    return Reaches(from, target, seen);
}

}  // namespace Qmv2
