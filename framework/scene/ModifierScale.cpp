#include "framework/scene/ModifierScale.h"

#include "framework/core/util/StringFunctions.h"
#include "framework/graphics/draw/GraphicsSettings.h"
#include "framework/scene/GameNode.h"

namespace Qmv2 {

ModifierScale::ModifierScale(std::int32_t duration, EaseFunction easing) : ModifierFraction(duration, easing)
{
}

void ModifierScale::Start()
{
    auto* settings = InterfaceCast<GraphicsSettings>(GetTarget());
    if ((GetOptions() & kOptionStartFromTarget) != 0 && settings != nullptr) {
        m_FromX = settings->GetScaleX();
        m_FromY = settings->GetScaleY();
    }
}

void ModifierScale::Apply(float x, float y)
{
    auto* settings = InterfaceCast<GraphicsSettings>(GetTarget());
    if (settings == nullptr) {
        return;
    }
    if (m_ApplyX) {
        settings->SetScaleX(x);
    }
    if (m_ApplyY) {
        settings->SetScaleY(y);
    }
}

void ModifierScale::Update(std::uint32_t dt)
{
    ModifierFraction::Update(dt);
    if (IsPassRunning() && !IsFinished()) {
        const bool relative = (GetOptions() & kOptionRelativeEnd) != 0;
        const float endX = relative ? m_FromX + m_ToX : m_ToX;
        const float endY = relative ? m_FromY + m_ToY : m_ToY;
        Apply(m_FromX + (endX - m_FromX) * GetValue(), m_FromY + (endY - m_FromY) * GetValue());
    }
}

void ModifierScale::Finish()
{
    ModifierFraction::Finish();
    const bool relative = (GetOptions() & kOptionRelativeEnd) != 0;
    Apply(relative ? m_FromX + m_ToX : m_ToX, relative ? m_FromY + m_ToY : m_ToY);
}

std::string ModifierScale::ToString() const
{
    return Modifier::ToString() + "in " + IntToString(GetDuration()) + "ms; ";
}

}  // namespace Qmv2
