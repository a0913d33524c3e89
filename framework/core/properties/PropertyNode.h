// A property with named children, kept both in a map by name (one entry per
// name) and in the order they were added (which writing follows). Its type
// word is the class of the object it describes ("Sprite", "root", ...).
#pragma once

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "framework/core/object/GFVector.h"
#include "framework/core/object/SmartPtr.h"
#include "framework/core/properties/AbstractProperty.h"
#include "framework/core/properties/PropertyValue.h"
#include "framework/core/properties/PropertyVector.h"

namespace Qmv2 {

class PropertyNode : public AbstractProperty {
    QMV_INDEXED_TYPE(PropertyNode)

    using Children = GFVector<SmartPtr<AbstractProperty>>;

    explicit PropertyNode(const std::string& name = std::string(), const std::string& typeWord = std::string());

    AbstractProperty* Clone() const override;
    // Map and order are copied; the children are shared, not cloned.
    void CopyFrom(const AbstractProperty& other) override;

    // Replaces a child of the same name, which moves to the end of the order.
    // Answers `child`; refused (answering `child` unchanged) on the shared
    // empty node and for a null child.
    virtual AbstractProperty* AddChild(AbstractProperty* child);
    // Adds a value "true" or "false" of type word "Boolean" (none when
    // `untyped`) and answers it.
    virtual PropertyValue* AddBoolean(const std::string& name, bool value, bool untyped = false);
    virtual void RemoveChild(const std::string& name);
    virtual void Clear();

    AbstractProperty* GetChild(const std::string& name) const;
    bool HasChild(const std::string& name) const;
    // The child when it is a value (a vector), else the shared empty one.
    PropertyValue* GetValue(const std::string& name) const;
    PropertyVector* GetVector(const std::string& name) const;
    // The child when it is a node, else the shared empty node.
    PropertyNode* GetNode(const std::string& name) const;
    std::string GetString(const std::string& name) const;
    // Index of the first of `count` keywords equal to the child's text; the
    // default when the child is missing or no keyword matches.
    std::int32_t GetEnum(const std::string& name, const char* const* keywords, std::int32_t count,
                         std::int32_t defaultIndex) const;

    // Every child in the order of adding (a setup reference stays here after
    // resolution, see ApplySetup).
    const Children& GetChildren() const noexcept { return m_Ordered; }
    std::int32_t GetChildCount() const noexcept { return m_Ordered.GetCount(); }
    // The children that the name map holds, in the order of adding.
    std::vector<AbstractProperty*> GetNamedChildren() const;

    // `property` when it is a node, else the shared empty node.
    static PropertyNode* AsNode(AbstractProperty* property);
    // The shared empty node "DUMMY_NODE".
    static PropertyNode* GetEmpty();

protected:
    // Setup resolution: a child "setup" names a node of the basic properties'
    // setup table whose children this node inherits where it lacks them. The
    // reference leaves the name map but stays in the order. An inherited child
    // that would contain this node is skipped, so the tree never gets a cycle.
    void ResolveSetups(std::unordered_set<const AbstractProperty*>& visited) override;

    // Copies the children of another node into an empty one (for Clone).
    void CloneChildrenFrom(const PropertyNode& other, bool namedOnly);

private:
    std::unordered_map<std::string, SmartPtr<AbstractProperty>> m_ByName;
    Children m_Ordered;
};

// Whether `target` is `from` or lies anywhere below it.
bool PropertyReaches(const AbstractProperty* from, const AbstractProperty* target);

}  // namespace Qmv2
