#include "framework/scene/ModifierAlpha.h"

#include "framework/core/util/StringFunctions.h"
#include "framework/graphics/draw/GraphicsSettings.h"
#include "framework/scene/GameNode.h"

namespace Qmv2 {

ModifierAlpha::ModifierAlpha(std::int32_t duration, float from, float to)
    : ModifierFraction(duration), m_From(from), m_To(to)
{
}

void ModifierAlpha::SetTarget(GameNode* target)
{
    SetGraphicsSettings(InterfaceCast<GraphicsSettings>(target));
    Modifier::SetTarget(target);
}

void ModifierAlpha::Start()
{
    if ((GetOptions() & kOptionStartFromTarget) != 0 && m_Settings != nullptr) {
        m_From = m_Settings->GetColor().a;
    }
}

float ModifierAlpha::End() const
{
    return (GetOptions() & kOptionRelativeEnd) != 0 ? m_From + m_To : m_To;
}

void ModifierAlpha::Apply(float alpha)
{
    if (m_Settings != nullptr) {
        m_Settings->SetAlpha(alpha);
    }
}

void ModifierAlpha::Update(std::uint32_t dt)
{
    ModifierFraction::Update(dt);
    if (IsPassRunning()) {
        Apply(m_From + (End() - m_From) * GetValue());
    }
}

void ModifierAlpha::Finish()
{
    ModifierFraction::Finish();
    Apply(End());
}

std::string ModifierAlpha::ToString() const
{
    return Modifier::ToString() + "[" + FloatToString(m_From) + " -> " + FloatToString(m_To) + "] ";
}

}  // namespace Qmv2
