#include "framework/scene/ModifierBlink.h"

#include <algorithm>

#include "framework/graphics/draw/GraphicsSettings.h"
#include "framework/scene/GameNode.h"

namespace Qmv2 {

ModifierBlink::ModifierBlink(std::int32_t fadeIn, float from, float to, std::int32_t fadeOut,
                             std::int32_t holdAtTo, std::int32_t holdAtFrom)
    : m_From(from), m_To(to), m_Current(from), m_FadeIn(std::max(fadeIn, 0)), m_FadeOut(std::max(fadeOut, 0)),
      m_HoldAtTo(std::max(holdAtTo, 0)), m_HoldAtFrom(std::max(holdAtFrom, 0))
{
}

std::int32_t ModifierBlink::PhaseLength(std::int32_t phase) const
{
    switch (phase) {
    case 1: return m_FadeIn;
    case 2: return m_HoldAtTo;
    case 3: return m_FadeOut;
    default: return m_HoldAtFrom;
    }
}

void ModifierBlink::Apply(float alpha)
{
    if (!m_Extra.empty()) {
        for (GraphicsSettings* settings : m_Extra) {
            settings->SetAlpha(alpha);
        }
    } else if (auto* settings = InterfaceCast<GraphicsSettings>(GetTarget())) {
        settings->SetAlpha(alpha);
    }
}

void ModifierBlink::Update(std::uint32_t dt)
{
    // A cycle of no length at all would turn forever: it turns once per update.
    const bool emptyCycle = m_FadeIn + m_FadeOut + m_HoldAtTo + m_HoldAtFrom == 0;
    for (int changes = 0; m_Elapsed >= m_PhaseLength && !(emptyCycle && changes == 4); ++changes) {
        m_Elapsed -= m_PhaseLength;
        m_Phase = (m_Phase + 1) % 4;
        m_PhaseLength = PhaseLength(m_Phase);
        if (m_Phase == 0) {
            ++m_CyclesDone;
        }
    }
    const auto advance = [this, dt] {
        m_Elapsed = static_cast<std::int32_t>(std::min<std::int64_t>(std::int64_t{m_Elapsed} + dt, INT32_MAX));
    };
    if (m_CycleLimit >= 1 && m_CyclesDone >= m_CycleLimit) {
        m_Current = m_From;
        Finish();
        advance();
        return;
    }
    const float t = m_PhaseLength > 0 ? static_cast<float>(m_Elapsed) / static_cast<float>(m_PhaseLength) : 1.0f;
    switch (m_Phase) {
    case 0: m_Current = m_From; break;
    case 1: m_Current = m_From + (m_To - m_From) * t; break;
    case 2: m_Current = m_To; break;
    default: m_Current = m_To + (m_From - m_To) * t; break;
    }
    Apply(m_Current);
    advance();
}

void ModifierBlink::Finish()
{
    Modifier::Finish();
    Apply(m_From);
}

}  // namespace Qmv2
