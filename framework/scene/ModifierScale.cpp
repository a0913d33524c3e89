#include "framework/scene/ModifierScale.h"

#include "framework/graphics/draw/GraphicsSettings.h"

namespace Qmv2 {

float ModifierScale::ReadX(const GraphicsSettings& settings) const
{
    return settings.GetScaleX();
}

float ModifierScale::ReadY(const GraphicsSettings& settings) const
{
    return settings.GetScaleY();
}

void ModifierScale::WriteX(GraphicsSettings& settings, float value)
{
    settings.SetScaleX(value);
}

void ModifierScale::WriteY(GraphicsSettings& settings, float value)
{
    settings.SetScaleY(value);
}

}  // namespace Qmv2
