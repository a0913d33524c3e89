#include "framework/scene/ModifierDelay.h"

#include <algorithm>

#include "framework/core/util/StringFunctions.h"

namespace Qmv2 {

ModifierDelay::ModifierDelay(std::int32_t duration) : m_Remaining(duration)
{
    SetOptions(kOptionBlocking);
}

void ModifierDelay::Update(std::uint32_t dt)
{
    m_Remaining = static_cast<std::int32_t>(std::max<std::int64_t>(std::int64_t{m_Remaining} - dt, INT32_MIN));
    if (m_Remaining < 1) {
        Finish();
    }
}

std::string ModifierDelay::ToString() const
{
    std::string text = BaseObject::ToString();
    if (!GetName().empty()) {
        text += "\"" + GetName() + "\"; ";
    }
    return text + "for " + IntToString(m_Remaining) + "ms; ";
}

}  // namespace Qmv2
