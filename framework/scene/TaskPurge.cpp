#include "framework/scene/TaskPurge.h"

#include "framework/scene/Sprite.h"

namespace Qmv2 {

void TaskPurge::Execute(std::int32_t)
{
    if (m_Root) {
        m_Root->PurgeTree();
    }
    if (m_AnimTree) {
        m_AnimTree->Purge();
    }
    Sprite::ReleaseHeld();
}

}  // namespace Qmv2
