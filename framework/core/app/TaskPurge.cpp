#include "framework/core/app/TaskPurge.h"

namespace Qmv2 {

void TaskPurge::Execute(std::int32_t)
{
    if (m_Root) {
        Walk(m_Root.Get());
    }
    if (m_AnimTree) {
        m_AnimTree->Purge();
    }
}

void TaskPurge::Walk(GameNode* node)
{
    GameNode* child = node->GetFirstChild();
    while (child != nullptr) {
        GameNode* next = child->GetNextSibling();
        Walk(child);
        child = next;
    }
    if (node->IsObsolete() && node->GetParent() != nullptr) {
        node->Unlink();
        node->SetObsolete(false);
        node->Release();
    }
}

}  // namespace Qmv2
