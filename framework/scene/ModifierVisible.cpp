#include "framework/scene/ModifierVisible.h"

#include "framework/scene/GameNode.h"

namespace Qmv2 {

void ModifierVisible::Finish()
{
    if (IsFinished()) {
        return;
    }
    Modifier::Finish();
    if (GameNode* target = GetTarget()) {
        target->SetVisible(m_Mode == 0 ? false : m_Mode == 1 ? true : !target->IsVisible());
    }
}

std::string ModifierVisible::ToString() const
{
    return Modifier::ToString() + (m_Mode == 0 ? "hide" : m_Mode == 1 ? "show" : "flip") + "; ";
}

}  // namespace Qmv2
