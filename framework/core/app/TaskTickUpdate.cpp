#include "framework/core/app/TaskTickUpdate.h"

namespace Qmv2 {

void TaskTickUpdate::Execute(std::int32_t dt)
{
    if (m_Root) {
        Walk(m_Root.Get(), dt);
    }
    if (m_AnimTree) {
        m_AnimTree->Update(dt);
    }
}

void TaskTickUpdate::Walk(GameNode* node, std::int32_t dt)
{
    node->Tick(dt);
    for (GameNode* child = node->GetFirstChild(); child != nullptr; child = child->GetNextSibling()) {
        if (!child->IsSuspended() && !child->IsObsolete()) {
            Walk(child, dt);
        }
    }
}

}  // namespace Qmv2
