// Calls back into code once the modifier it waits under has finished: the
// callback gets its object and this modifier.
#pragma once

#include <string>

#include "framework/core/object/iGuiMethod.h"
#include "framework/scene/Modifier.h"
#include "framework/scene/SceneRecords.h"

namespace Qmv2 {

class ModifierFunction : public Modifier, public iGuiMethod {
    QMV_INDEXED_TYPE(ModifierFunction)

    // The name becomes the modifier's name.
    ModifierFunction(void* object, Callback function, const std::string& name);

    // The node the modifier acts on, not the callback's object.
    using Modifier::GetTarget;

    Interface* GetInterface(const ClassType* type) override;
    void Update(std::uint32_t) override { Finish(); }
    // Calls the callback once, however often it is finished.
    void Finish() override;
    // The callback's address and the object's address.
    std::string ToString() const override;
};

}  // namespace Qmv2
