#include "framework/core/object/BaseObject.h"

#include <cinttypes>
#include <cstdint>
#include <cstdio>

namespace Qmv2 {

Interface* BaseObject::GetInterface(const ClassType*)
{
    return nullptr;
}

std::string BaseObject::AddressText() const
{
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "0x%" PRIXPTR, reinterpret_cast<std::uintptr_t>(this));
    return buffer;
}

std::string BaseObject::ToString() const
{
    char buffer[1024];
    std::snprintf(buffer, sizeof buffer, "%s: %s; ", GetType()->GetName(), AddressText().c_str());
    return buffer;
}

std::string BaseObject::ToShortString() const
{
    char buffer[1024];
    std::snprintf(buffer, sizeof buffer, "%s: %s", GetType()->GetName(), AddressText().c_str());
    return buffer;
}

}  // namespace Qmv2
