// Base of every framework and game object: reference count, type record,
// interface query and a describing text.
#pragma once

#include <string>

#include "framework/core/object/ClassType.h"
#include "framework/core/object/IRefCount.h"
#include "framework/core/object/Interface.h"

namespace Qmv2 {

class BaseObject : public IRefCountImpl<BaseObject> {
    QMV_TYPE_RECORD(BaseObject)

    ~BaseObject() override = default;

    virtual const ClassType* GetType() const { return &s_Type; }

    // Answers the sub-object for the interface whose record is `type` (compared
    // by address), or null. Implementing classes check the records they add and
    // pass every other question to their base class.
    virtual Interface* GetInterface(const ClassType* type);

    // "<class name>: 0x<address>; " and "<class name>: 0x<address>".
    virtual std::string ToString() const;
    virtual std::string ToShortString() const;

    // True when the object's record derives from `type`; the one type test.
    bool IsOfType(const ClassType* type) const { return GetType()->IsDerivedFrom(type); }

protected:
    // The address text used by the describing texts: "0x" and upper-case hex.
    std::string AddressText() const;
};

// The interface part `I` of an object, or null when it does not implement it.
template <typename I>
I* InterfaceCast(BaseObject* object)
{
    return object != nullptr ? static_cast<I*>(object->GetInterface(&I::s_Type)) : nullptr;
}

}  // namespace Qmv2
