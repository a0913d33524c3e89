#include "framework/core/properties/PropertyVector.h"

namespace Qmv2 {

PropertyVector::PropertyVector(const std::string& name) : AbstractProperty(kVector, "Vector", name) {}

AbstractProperty* PropertyVector::Clone() const
{
    auto* copy = new PropertyVector(GetName());
    for (const SmartPtr<AbstractProperty>& item : m_Items) {
        copy->AddItem(item->Clone());
    }
    return copy;
}

void PropertyVector::CopyFrom(const AbstractProperty& other)
{
    if (IsSharedEmpty() || &other == this) {
        return;
    }
    AbstractProperty::CopyFrom(other);
    if (other.IsVector()) {
        m_Items = static_cast<const PropertyVector&>(other).m_Items;
    }
}

void PropertyVector::AddItem(AbstractProperty* item)
{
    if (IsSharedEmpty() || item == nullptr) {
        return;
    }
    m_Items.PushBack(SmartPtr<AbstractProperty>(item));
}

PropertyValue* PropertyVector::AddBoolean(bool value)
{
    if (IsSharedEmpty()) {
        return PropertyValue::GetEmpty();
    }
    auto* item = new PropertyValue(std::string(), "Boolean", std::string(value ? "true" : "false"));
    AddItem(item);
    return item;
}

void PropertyVector::Clear()
{
    m_Items.Clear();
}

AbstractProperty* PropertyVector::GetItem(std::int32_t index) const noexcept
{
    if (index < 0 || index >= m_Items.GetCount()) {
        return nullptr;
    }
    return m_Items[index].Get();
}

PropertyValue* PropertyVector::GetAt(std::int32_t index) const noexcept
{
    AbstractProperty* item = GetItem(index);
    if (item == nullptr || !item->IsValue()) {
        return PropertyValue::GetEmpty();
    }
    return static_cast<PropertyValue*>(item);
}

void PropertyVector::ResolveSetups(std::unordered_set<const AbstractProperty*>& visited)
{
    if (!visited.insert(this).second) {
        return;
    }
    // A copy of the list: resolving an item may not change this vector, but
    // the holders keep every item alive while it is resolved.
    const Items items = m_Items;
    for (const SmartPtr<AbstractProperty>& item : items) {
        item->ResolveSetups(visited);
    }
}

PropertyVector* PropertyVector::GetEmpty()
{
    static PropertyVector* const empty = [] {
        auto* vector = new PropertyVector("DUMMY_VECTOR");
        vector->MarkSharedEmpty();
        return vector;
    }();
    return empty;
}

}  // namespace Qmv2
