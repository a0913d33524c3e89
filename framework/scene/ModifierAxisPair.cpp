#include "framework/scene/ModifierAxisPair.h"

#include "framework/core/util/StringFunctions.h"
#include "framework/graphics/draw/GraphicsSettings.h"
#include "framework/scene/GameNode.h"

namespace Qmv2 {

void ModifierAxisPair::Start()
{
    auto* settings = InterfaceCast<GraphicsSettings>(GetTarget());
    if ((GetOptions() & kOptionStartFromTarget) != 0 && settings != nullptr) {
        m_FromX = ReadX(*settings);
        m_FromY = ReadY(*settings);
    }
}

float ModifierAxisPair::EndX() const
{
    return (GetOptions() & kOptionRelativeEnd) != 0 ? m_FromX + m_ToX : m_ToX;
}

float ModifierAxisPair::EndY() const
{
    return (GetOptions() & kOptionRelativeEnd) != 0 ? m_FromY + m_ToY : m_ToY;
}

void ModifierAxisPair::Apply(float x, float y)
{
    auto* settings = InterfaceCast<GraphicsSettings>(GetTarget());
    if (settings == nullptr) {
        return;
    }
    if (m_ApplyX) {
        WriteX(*settings, x);
    }
    if (m_ApplyY) {
        WriteY(*settings, y);
    }
}

void ModifierAxisPair::Update(std::uint32_t dt)
{
    ModifierFraction::Update(dt);
    if (IsPassRunning() && !IsFinished()) {
        Apply(m_FromX + (EndX() - m_FromX) * GetValue(), m_FromY + (EndY() - m_FromY) * GetValue());
    }
}

void ModifierAxisPair::Finish()
{
    ModifierFraction::Finish();
    Apply(EndX(), EndY());
}

std::string ModifierAxisPair::ToString() const
{
    return Modifier::ToString() + "in " + IntToString(GetDuration()) + "ms; ";
}

}  // namespace Qmv2
