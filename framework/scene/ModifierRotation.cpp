#include "framework/scene/ModifierRotation.h"

#include <algorithm>

#include "framework/core/util/StringFunctions.h"
#include "framework/graphics/draw/GraphicsSettings.h"
#include "framework/scene/GameNode.h"

namespace Qmv2 {

namespace {

constexpr float kTwoPi = 6.2831855f;

}  // namespace

ModifierRotation::ModifierRotation(std::int32_t duration, float from, float to)
    : m_From(from), m_To(to), m_Duration(duration)
{
}

float ModifierRotation::End() const
{
    return (GetOptions() & kOptionRelativeEnd) != 0 ? m_From + m_To : m_To;
}

void ModifierRotation::Apply(float radians)
{
    if (auto* settings = InterfaceCast<GraphicsSettings>(GetTarget())) {
        settings->SetRotation(radians);
    }
}

void ModifierRotation::Start()
{
    auto* settings = InterfaceCast<GraphicsSettings>(GetTarget());
    if ((GetOptions() & kOptionStartFromTarget) != 0 && settings != nullptr) {
        m_From = settings->GetRotation();
    }
}

void ModifierRotation::Update(std::uint32_t dt)
{
    const auto advance = [this, dt] {
        m_Elapsed = static_cast<std::int32_t>(std::min<std::int64_t>(std::int64_t{m_Elapsed} + dt, INT32_MAX));
    };
    if (m_Continuous) {
        // Without a duration there is no speed: the angle stays.
        Apply(m_Duration > 0 ? m_From + static_cast<float>(m_Elapsed) * kTwoPi * m_To / static_cast<float>(m_Duration)
                             : m_From);
        advance();
        return;
    }
    if (m_Elapsed >= m_Duration) {
        Finish();
        return;
    }
    float f = static_cast<float>(m_Elapsed) / static_cast<float>(m_Duration);
    if (m_Smooth) {
        f = (3.0f - 2.0f * f) * f * f;
    }
    Apply(m_From + (End() - m_From) * f);
    advance();
}

void ModifierRotation::Finish()
{
    m_Elapsed = m_Duration;
    Apply(m_Continuous ? m_From : End());
    Modifier::Finish();
}

std::string ModifierRotation::ToString() const
{
    const std::string what =
        m_Continuous ? "Continuously rotating" : "[" + FloatToString(m_From) + " -> " + FloatToString(m_To) + "]";
    return Modifier::ToString() + what + " in " + IntToString(m_Duration) + "ms; ";
}

}  // namespace Qmv2
