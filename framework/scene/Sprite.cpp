#include "framework/scene/Sprite.h"

#include "framework/core/properties/PropertyNode.h"
#include "framework/graphics/draw/Graphics.h"

namespace Qmv2 {

Sprite::Sprite(float x, float y, Image* image)
{
    SetX(x);
    SetY(y);
    SetImage(image);
    ImageFrame* frame = image != nullptr ? image->GetFirstFrame() : nullptr;
    SetSize(frame != nullptr ? static_cast<float>(frame->GetPixelRect().width) : 0.0f,
            frame != nullptr ? static_cast<float>(frame->GetPixelRect().height) : 0.0f);
}

Sprite::Sprite(PropertyNode* description) : GameNode(PropertyNode::AsNode(description))
{
    const PropertyNode& node = *PropertyNode::AsNode(description);
    SetSize(node.GetValue("width")->GetFloat(), node.GetValue("height")->GetFloat());
}

Interface* Sprite::GetInterface(const ClassType* type)
{
    if (type == &GraphicsSettings::s_Type) {
        return static_cast<GraphicsSettings*>(this);
    }
    if (type == &iRenderable::s_Type) {
        return static_cast<iRenderable*>(this);
    }
    return GameNode::GetInterface(type);
}

void Sprite::Render(Graphics& graphics)
{
    graphics.CopyFrom(*this);
    graphics.DrawImage();
}

void Sprite::SetImage(Image* image)
{
    m_ImageSet = image;
    GraphicsSettings::SetImage(image != nullptr ? image->GetFirstFrame() : nullptr);
}

float Sprite::GetWidth() const
{
    return GetBoundsPolygon() != nullptr ? GetBoundsPolygon()->GetBounds().width : 0.0f;
}

float Sprite::GetHeight() const
{
    return GetBoundsPolygon() != nullptr ? GetBoundsPolygon()->GetBounds().height : 0.0f;
}

void Sprite::SetSize(float width, float height)
{
    SetBoundsRect({0.0f, 0.0f, width, height});
    MarkDirty();
}

}  // namespace Qmv2
