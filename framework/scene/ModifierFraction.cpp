#include "framework/scene/ModifierFraction.h"

namespace Qmv2 {

float LinearEase(float t)
{
    return t;
}

float SmoothStepEase(float t)
{
    return (3.0f - 2.0f * t) * t * t;
}

ModifierFraction::ModifierFraction(std::int32_t duration, EaseFunction easing)
    : m_Duration(duration), m_Easing(easing != nullptr ? easing : LinearEase)
{
}

void ModifierFraction::Update(std::uint32_t dt)
{
    if (m_Duration < 1) {
        OnLoop(true);
        Finish();
        return;
    }
    // Steps are at most a tenth of a second; the sum stays far from overflow.
    const std::int64_t elapsed = static_cast<std::int64_t>(m_Elapsed) + dt;
    m_Elapsed = elapsed > INT32_MAX ? INT32_MAX : static_cast<std::int32_t>(elapsed);
    while (m_Elapsed >= m_Duration) {
        if (m_Loops == 1) {
            OnLoop(true);
            Finish();
            break;
        }
        m_Elapsed -= m_Duration;
        if (m_Loops > 0) {
            --m_Loops;
        }
        OnLoop(false);
    }
    if (IsFinished()) {
        return;
    }
    m_Value = m_Easing(static_cast<float>(m_Elapsed) / static_cast<float>(m_Duration));
}

void ModifierFraction::Finish()
{
    Modifier::Finish();
    m_Value = 1.0f;
    m_Elapsed = m_Duration;
}

}  // namespace Qmv2
