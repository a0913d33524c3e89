#include "framework/core/object/ClassType.h"

namespace Qmv2 {

bool ClassType::IsDerivedFrom(const ClassType* other) const noexcept
{
    if (this == other) {
        return true;
    }
    for (const ClassType* const* base = m_Bases; base != nullptr && *base != nullptr; ++base) {
        if ((*base)->IsDerivedFrom(other)) {
            return true;
        }
    }
    return false;
}

}  // namespace Qmv2
