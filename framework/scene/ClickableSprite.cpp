#include "framework/scene/ClickableSprite.h"

namespace Qmv2 {

ClickableSprite::ClickableSprite(PropertyNode* description) : Sprite(description) {}

ClickableSprite::ClickableSprite(float x, float y) : Sprite(x, y, nullptr) {}

ClickableSprite::~ClickableSprite() = default;

Interface* ClickableSprite::GetInterface(const ClassType* type)
{
    if (type == &iInputListener::s_Type) {
        return static_cast<iInputListener*>(this);
    }
    return Sprite::GetInterface(type);
}

}  // namespace Qmv2
