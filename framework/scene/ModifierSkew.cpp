#include "framework/scene/ModifierSkew.h"

#include "framework/graphics/draw/GraphicsSettings.h"

namespace Qmv2 {

ModifierSkew::ModifierSkew(std::int32_t duration, bool smooth, float fromX, float fromY, float toX, float toY)
    : ModifierAxisPair(duration, smooth ? SmoothStepEase : LinearEase)
{
    m_FromX = fromX;
    m_FromY = fromY;
    m_ToX = toX;
    m_ToY = toY;
}

float ModifierSkew::ReadX(const GraphicsSettings& settings) const
{
    return settings.GetSkewX();
}

float ModifierSkew::ReadY(const GraphicsSettings& settings) const
{
    return settings.GetSkewY();
}

void ModifierSkew::WriteX(GraphicsSettings& settings, float value)
{
    settings.SetSkewX(value);
}

void ModifierSkew::WriteY(GraphicsSettings& settings, float value)
{
    settings.SetSkewY(value);
}

}  // namespace Qmv2
