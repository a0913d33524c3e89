#include "framework/scene/BackgroundNode.h"

#include "framework/graphics/draw/Graphics.h"

namespace Qmv2 {

void BackgroundNode::Render(Graphics& graphics)
{
    // The clear takes the drawing state's colour times the inherited colour.
    graphics.Reset();
    graphics.SetColor(m_Color);
    graphics.ClearTarget();
}

Interface* BackgroundNode::GetInterface(const ClassType* type)
{
    if (type == &iRenderable::s_Type) {
        return static_cast<iRenderable*>(this);
    }
    return GameNode::GetInterface(type);
}

}  // namespace Qmv2
