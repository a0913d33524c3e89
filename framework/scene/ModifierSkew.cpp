#include "framework/scene/ModifierSkew.h"

#include "framework/core/util/StringFunctions.h"
#include "framework/graphics/draw/GraphicsSettings.h"
#include "framework/scene/GameNode.h"

namespace Qmv2 {

ModifierSkew::ModifierSkew(std::int32_t duration, bool smooth, float fromX, float fromY, float toX, float toY)
    : ModifierFraction(duration, smooth ? SmoothStepEase : LinearEase)
{
    m_FromX = fromX;
    m_FromY = fromY;
    m_ToX = toX;
    m_ToY = toY;
}

void ModifierSkew::Start()
{
    auto* settings = InterfaceCast<GraphicsSettings>(GetTarget());
    if ((GetOptions() & kOptionStartFromTarget) != 0 && settings != nullptr) {
        m_FromX = settings->GetSkewX();
        m_FromY = settings->GetSkewY();
    }
}

void ModifierSkew::Apply(float x, float y)
{
    auto* settings = InterfaceCast<GraphicsSettings>(GetTarget());
    if (settings == nullptr) {
        return;
    }
    if (m_ApplyX) {
        settings->SetSkewX(x);
    }
    if (m_ApplyY) {
        settings->SetSkewY(y);
    }
}

void ModifierSkew::Update(std::uint32_t dt)
{
    ModifierFraction::Update(dt);
    if (IsPassRunning() && !IsFinished()) {
        const bool relative = (GetOptions() & kOptionRelativeEnd) != 0;
        const float endX = relative ? m_FromX + m_ToX : m_ToX;
        const float endY = relative ? m_FromY + m_ToY : m_ToY;
        Apply(m_FromX + (endX - m_FromX) * GetValue(), m_FromY + (endY - m_FromY) * GetValue());
    }
}

void ModifierSkew::Finish()
{
    ModifierFraction::Finish();
    const bool relative = (GetOptions() & kOptionRelativeEnd) != 0;
    Apply(relative ? m_FromX + m_ToX : m_ToX, relative ? m_FromY + m_ToY : m_ToY);
}

std::string ModifierSkew::ToString() const
{
    return Modifier::ToString() + "in " + IntToString(GetDuration()) + "ms; ";
}

}  // namespace Qmv2
