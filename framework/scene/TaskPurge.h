// Frame task: unlinks and releases obsolete nodes (children before their
// parent), then removes finished modifiers from the animation tree.
#pragma once

#include "framework/core/app/iTask.h"
#include "framework/scene/SceneRecords.h"
#include "framework/core/object/SmartPtr.h"
#include "framework/scene/AnimTree.h"
#include "framework/scene/GameNode.h"

namespace Qmv2 {

class TaskPurge : public iTask {
public:
    QMV_INDEXED_TYPE(TaskPurge)

    TaskPurge(GameNode* root, AnimTree* animTree) : m_Root(root), m_AnimTree(animTree) {}

    void Execute(std::int32_t dt) override;

private:
    SmartPtr<GameNode> m_Root;
    SmartPtr<AnimTree> m_AnimTree;
};

}  // namespace Qmv2
