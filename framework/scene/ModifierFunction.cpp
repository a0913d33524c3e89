#include "framework/scene/ModifierFunction.h"

#include <cinttypes>
#include <cstdint>
#include <cstdio>

namespace Qmv2 {

namespace {

std::string Hex(std::uintptr_t value)
{
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "0x%" PRIXPTR, value);
    return buffer;
}

}  // namespace

ModifierFunction::ModifierFunction(void* object, Callback function, const std::string& name)
{
    SetMethod(object, function);
    SetName(name);
}

Interface* ModifierFunction::GetInterface(const ClassType* type)
{
    if (type == &iGuiMethod::s_Type) {
        return static_cast<iGuiMethod*>(this);
    }
    return Modifier::GetInterface(type);
}

void ModifierFunction::Finish()
{
    if (IsFinished()) {
        return;
    }
    Modifier::Finish();
    InvokeIfBound(static_cast<Modifier*>(this));
}

std::string ModifierFunction::ToString() const
{
    return Modifier::ToString() + "[" + Hex(reinterpret_cast<std::uintptr_t>(GetCallback())) + "] on <" +
           Hex(reinterpret_cast<std::uintptr_t>(iGuiMethod::GetTarget())) + "> ";
}

}  // namespace Qmv2
