#include "framework/scene/AnimTree.h"

#include "framework/core/object/SmartPtr.h"
#include "framework/scene/GameNode.h"

namespace Qmv2 {

AnimTree::AnimTree() : ModifierContainer("Animation Tree", false)
{
    m_Attached = true;
}

void AnimTree::UpdateTree(Modifier* root, std::uint32_t dt)
{
    Modifier* m = root;
    while (m != nullptr) {
        bool enter = false;
        if (!m->m_Cancelled) {
            if (!m->m_Suspended && (m->m_State & kFinished) == 0) {
                if ((m->m_State & kStarted) == 0) {
                    m->Start();
                    m->m_State |= kStarted;
                }
                m->Update(dt);
            }
            enter = !m->m_Cancelled && (m->m_State & kFinished) != 0 && m->m_FirstChild != nullptr &&
                    !m->m_Suspended;
        }
        if (enter) {
            m = m->m_FirstChild;
            continue;
        }
        while (m != nullptr && m != root && m->m_NextSibling == nullptr) {
            m = m->m_Parent;
        }
        m = (m == nullptr || m == root) ? nullptr : m->m_NextSibling;
    }
}

void AnimTree::PurgeTree(Modifier* modifier)
{
    // Dropping a modifier can release a node whose animations then leave the
    // tree from anywhere in it; the holds keep the modifiers at hand alive and
    // a changed list is walked again from its start (purging is repeatable).
    Modifier* child = modifier->m_FirstChild;
    while (child != nullptr) {
        SmartPtr<Modifier> held(child);
        SmartPtr<Modifier> next(child->m_NextSibling);
        PurgeTree(child);
        if (!next) {
            break;
        }
        child = next->m_Parent == modifier ? next.Get() : modifier->m_FirstChild;
    }
    const bool inTree = modifier->m_Parent != nullptr;
    if (modifier->m_Cancelled) {
        // The tree's reference is given up once: the modifier leaves the tree
        // with it, even when something else still holds the modifier.
        if (inTree) {
            modifier->UnlinkFromParent();
            modifier->LeaveTarget();
            modifier->Release();
        }
        return;
    }
    if (!inTree || !modifier->IsFinished()) {
        return;
    }
    if (GameNode* target = modifier->m_Target) {
        const std::uint32_t options = modifier->m_Options;
        if ((options & kOptionCancelContainer) != 0) {
            for (Modifier* up = modifier->m_Parent; up != nullptr; up = up->m_Parent) {
                if (up->IsOfType(&ModifierContainer::s_Type)) {
                    if (!up->IsOfType(&AnimTree::s_Type)) {
                        up->SetCancelled(true);
                    }
                    break;
                }
            }
        }
        if ((options & kOptionRemoveTarget) != 0) {
            target->SetObsolete(true);
        }
        if ((options & kOptionCancelEarlier) != 0) {
            target->RemoveAnimationsUpTo(modifier);
        }
    }
    Remove(modifier, true);
}

}  // namespace Qmv2
