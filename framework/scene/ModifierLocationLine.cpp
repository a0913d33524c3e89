#include "framework/scene/ModifierLocationLine.h"

#include "framework/scene/GameNode.h"

namespace Qmv2 {

ModifierLocationLine::ModifierLocationLine(std::int32_t duration, float endX, float endY, bool relative, bool smooth)
    : ModifierLocation(duration, 0.0f, 0.0f, smooth ? SmoothStepEase : LinearEase), m_EndX(endX), m_EndY(endY)
{
    SetOptions(kOptionStartFromTarget | (relative ? kOptionRelativeEnd : 0));
}

float ModifierLocationLine::EndX() const
{
    return (GetOptions() & kOptionRelativeEnd) != 0 ? m_StartX + m_EndX : m_EndX;
}

float ModifierLocationLine::EndY() const
{
    return (GetOptions() & kOptionRelativeEnd) != 0 ? m_StartY + m_EndY : m_EndY;
}

void ModifierLocationLine::Start()
{
    GameNode* target = GetTarget();
    if ((GetOptions() & kOptionStartFromTarget) != 0 && target != nullptr) {
        m_StartX = m_CurrentX = target->GetX();
        m_StartY = m_CurrentY = target->GetY();
    }
}

void ModifierLocationLine::Update(std::uint32_t dt)
{
    ModifierFraction::Update(dt);
    if (IsPassRunning() && !IsFinished()) {
        m_CurrentX = m_StartX + (EndX() - m_StartX) * GetValue();
        m_CurrentY = m_StartY + (EndY() - m_StartY) * GetValue();
        ApplyCurrent();
    }
}

void ModifierLocationLine::Finish()
{
    ModifierFraction::Finish();
    m_CurrentX = EndX();
    m_CurrentY = EndY();
    ApplyCurrent();
}

}  // namespace Qmv2
