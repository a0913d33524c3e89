// An ordered list of properties (type word "Vector"). Items usually have no
// name; duplicates are allowed.
#pragma once

#include <cstdint>

#include "framework/core/object/GFVector.h"
#include "framework/core/object/SmartPtr.h"
#include "framework/core/properties/AbstractProperty.h"
#include "framework/core/properties/PropertyValue.h"

namespace Qmv2 {

class PropertyVector : public AbstractProperty {
    QMV_INDEXED_TYPE(PropertyVector)

    using Items = GFVector<SmartPtr<AbstractProperty>>;

    explicit PropertyVector(const std::string& name = std::string());

    AbstractProperty* Clone() const override;
    // Items are shared with `other`, not cloned.
    void CopyFrom(const AbstractProperty& other) override;

    // Appends `item` (refused on the shared empty vector and for a null item).
    virtual void AddItem(AbstractProperty* item);
    // Appends an unnamed "Boolean" value "true" or "false" and answers it
    // (the shared empty value when the vector refuses it).
    virtual PropertyValue* AddBoolean(bool value);
    virtual void Clear();

    std::int32_t GetCount() const noexcept { return m_Items.GetCount(); }
    // The item at `index`, or null outside the list.
    AbstractProperty* GetItem(std::int32_t index) const noexcept;
    // The item at `index` when it is a value, else the shared empty value.
    PropertyValue* GetAt(std::int32_t index) const noexcept;
    const Items& GetItems() const noexcept { return m_Items; }

    // The shared empty vector "DUMMY_VECTOR".
    static PropertyVector* GetEmpty();

protected:
    void ResolveSetups(std::unordered_set<const AbstractProperty*>& visited) override;

private:
    Items m_Items;
};

}  // namespace Qmv2
