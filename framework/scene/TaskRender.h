// Frame task: restores a lost device, draws the visible game tree through the
// renderer's screen drawing object and presents the frame only when
// something was drawn.
#pragma once

#include "framework/core/app/iTask.h"
#include "framework/core/object/SmartPtr.h"
#include "framework/scene/GameNode.h"

namespace Qmv2 {

class Graphics;

class TaskRender : public iTask {
public:
    QMV_CLASS_TYPE(TaskRender, iTask)

    explicit TaskRender(GameNode* root) : m_Root(root) {}

    void Execute(std::int32_t dt) override;

    // Draws `node` and its subtree when it is visible, neither obsolete nor
    // suspended: its
    // clip, then the node itself, then its children under its transform and
    // colour; pops what it pushed.
    static void RenderNode(GameNode* node, Graphics& graphics);

    GameNode* GetRoot() const { return m_Root.Get(); }

private:
    SmartPtr<GameNode> m_Root;
};

}  // namespace Qmv2
