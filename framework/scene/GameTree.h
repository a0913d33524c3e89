// The root of the scene graph: every scene hangs below it.
#pragma once

#include "framework/core/object/iInstance.h"
#include "framework/scene/SceneRecords.h"
#include "framework/scene/GameNode.h"

namespace Qmv2 {

class GameTree : public GameNode, public iInstance<GameTree> {
public:
    QMV_INDEXED_TYPE(GameTree)

    // An unnamed node whose script object becomes the script global
    // "gameTree" when the script engine runs.
    GameTree();
};

}  // namespace Qmv2
