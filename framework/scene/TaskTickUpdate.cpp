#include "framework/scene/TaskTickUpdate.h"

namespace Qmv2 {

void TaskTickUpdate::Execute(std::int32_t dt)
{
    if (m_Root) {
        m_Root->TickTree(dt);
    }
    if (m_AnimTree) {
        m_AnimTree->Update(static_cast<std::uint32_t>(dt < 0 ? 0 : dt));
    }
}

}  // namespace Qmv2
