#pragma once

#include "framework/core/object/iInstance.h"
#include "framework/scene/GameNode.h"

namespace Qmv2 {

class GameTree : public GameNode, public iInstance<GameTree> {
public:
    QMV_CLASS_TYPE(GameTree, GameNode)
};

}  // namespace Qmv2
