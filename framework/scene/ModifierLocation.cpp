#include "framework/scene/ModifierLocation.h"

#include "framework/core/util/StringFunctions.h"
#include "framework/scene/GameNode.h"

namespace Qmv2 {

ModifierLocation::ModifierLocation(std::int32_t duration, float x, float y)
    : ModifierLocation(duration, x, y, LinearEase)
{
}

ModifierLocation::ModifierLocation(std::int32_t duration, float x, float y, EaseFunction easing)
    : ModifierFraction(duration, easing), m_StartX(x), m_StartY(y), m_CurrentX(x), m_CurrentY(y)
{
}

void ModifierLocation::SetNodePosition(GameNode* target, float x, float y, bool applyX, bool applyY)
{
    if (target == nullptr) {
        return;
    }
    if (applyX) {
        target->SetX(x);
    }
    if (applyY) {
        target->SetY(y);
    }
}

void ModifierLocation::ApplyCurrent()
{
    m_Setter(GetTarget(), m_CurrentX, m_CurrentY, m_ApplyX, m_ApplyY);
}

std::string ModifierLocation::ToString() const
{
    return Modifier::ToString() + "in " + IntToString(GetDuration()) + "ms; ";
}

}  // namespace Qmv2
