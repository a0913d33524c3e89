// A sprite that takes part in input as a listener without acting on any
// event itself: it lets a board be found under the pointer and hold the
// input focus while its owner decides what a click means.
#pragma once

#include "framework/core/app/iInputListener.h"
#include "framework/scene/SceneRecords.h"
#include "framework/scene/Sprite.h"

namespace Qmv2 {

class ClickableSprite : public Sprite, public iInputListener {
    QMV_INDEXED_TYPE(ClickableSprite)

    explicit ClickableSprite(PropertyNode* description);
    ClickableSprite(float x, float y);
    ~ClickableSprite() override;

    Interface* GetInterface(const ClassType* type) override;
};

}  // namespace Qmv2
