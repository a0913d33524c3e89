// Root of the framework's interfaces (iRenderable, iInputListener, ...). An
// interface has no reference count of its own: the object that implements it
// owns it, and `GetOwner` may answer that object.
#pragma once

#include "framework/core/object/ClassType.h"

namespace Qmv2 {

class BaseObject;

class Interface {
    QMV_TYPE_RECORD(Interface)

    virtual const ClassType* GetType() const { return &s_Type; }
    virtual ~Interface() = default;
    virtual BaseObject* GetOwner() { return nullptr; }
};

}  // namespace Qmv2
