#include "framework/scene/ModifierContainer.h"

namespace Qmv2 {

ModifierContainer::ModifierContainer(const std::string& name, bool removeWhenEmpty)
    : m_RemoveWhenEmpty(removeWhenEmpty)
{
    SetName(name);
    SetStateBits(kFinished);
}

void ModifierContainer::SetCancelled(bool cancelled)
{
    Modifier::SetCancelled(cancelled);
    if (cancelled) {
        CancelChildren();
    }
}

bool ModifierContainer::IsFinished() const
{
    return m_RemoveWhenEmpty && GetFirstChild() == nullptr;
}

void ModifierContainer::CancelChildren()
{
    // Pre-order over the subtree, back up by the parent links.
    Modifier* m = m_FirstChild;
    while (m != nullptr) {
        m->m_Cancelled = true;
        if (m->m_FirstChild != nullptr) {
            m = m->m_FirstChild;
            continue;
        }
        while (m != nullptr && m != this && m->m_NextSibling == nullptr) {
            m = m->m_Parent;
        }
        m = (m == nullptr || m == this) ? nullptr : m->m_NextSibling;
    }
}

std::string ModifierContainer::ToString() const
{
    std::string text = Modifier::ToString();
    if (m_RemoveWhenEmpty) {
        text += "Remove when empty";
    }
    return text;
}

}  // namespace Qmv2
