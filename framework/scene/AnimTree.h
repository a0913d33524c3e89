#pragma once

#include <cstdint>

#include "framework/core/object/BaseObject.h"
#include "framework/core/object/iInstance.h"

namespace Qmv2 {

class AnimTree : public BaseObject, public iInstance<AnimTree> {
public:
    QMV_CLASS_TYPE(AnimTree, BaseObject)

    virtual void Update(std::int32_t) {}
    virtual void Purge() {}
};

}  // namespace Qmv2
