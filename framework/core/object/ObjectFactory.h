// Creates objects by class name from the property node that describes them.
// Each subsystem registers its classes once, before anything is created from
// a property file:
//
//     void RegisterSceneClasses(Qmv2::ObjectFactory& factory)
//     {
//         factory.Register<Qmv2::Sprite>("Sprite");   // calls new Sprite(node)
//         ...
//     }
//
// and the program calls each subsystem's function at start. The core's own
// names (the seven basic value types) are registered when the factory is made.
#pragma once

#include <new>
#include <string>
#include <unordered_map>

#include "framework/core/object/BaseObject.h"
#include "framework/core/object/ClassRecords.h"
#include "framework/core/object/iInstance.h"
#include "framework/core/properties/PropertyNode.h"

namespace Qmv2 {

// Makes an object (reference count 0) from the property that describes it,
// or answers null when it makes none.
using ObjectCreator = BaseObject* (*)(AbstractProperty* property);

class ObjectFactory : public BaseObject, public iInstance<ObjectFactory> {
    QMV_INDEXED_TYPE(ObjectFactory)

    // The factory, made (with the core's names registered) on the first call.
    // It lives to the end of the process.
    static ObjectFactory* GetInstance();

    // A later registration of the same name replaces the creator.
    void Register(const std::string& name, ObjectCreator creator);

    // Registers the constructor T(PropertyNode*); a property that is not a
    // node is handed over as the shared empty node.
    template <typename T>
    void Register(const std::string& name)
    {
        Register(name, &CreateFromNode<T>);
    }

    bool IsRegistered(const std::string& name) const;

    // Calls the creator registered under `name` with `property` (the shared
    // empty node when null). An unknown name shows "Type not found: <name> in
    // <property name> (Check: <property type word>)" and answers null.
    BaseObject* Create(const std::string& name, AbstractProperty* property);

private:
    ObjectFactory() = default;

    template <typename T>
    static BaseObject* CreateFromNode(AbstractProperty* property)
    {
        return new (std::nothrow) T(PropertyNode::AsNode(property));
    }

    std::unordered_map<std::string, ObjectCreator> m_Creators;
};

}  // namespace Qmv2
