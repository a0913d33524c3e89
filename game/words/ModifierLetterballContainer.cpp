#include "game/words/ModifierLetterballContainer.h"

#include "framework/core/object/SmartPtr.h"

namespace Qmv2 {

ModifierLetterballContainer::ModifierLetterballContainer(const std::string& name) : ModifierContainer(name, true)
{
    Finish();
}

void ModifierLetterballContainer::Finish()
{
    // A move's callbacks may hang under any of its steps, and every one of
    // them must run (one re-parents the ball), so the walk covers the whole
    // subtree, not one line of it.
    for (Modifier* child = GetFirstChild(); child != nullptr;) {
        SmartPtr<Modifier> held(child);
        FinishSubtree(child);
        child = child->GetParent() == this ? child->GetNextSibling() : nullptr;
    }
    SetStateBits(kFinished);
}

void ModifierLetterballContainer::FinishSubtree(Modifier* root)
{
    // Pre-order: a modifier before those that wait under it.
    Modifier* m = root;
    while (m != nullptr) {
        SmartPtr<Modifier> held(m);
        if (!m->IsCancelled()) {
            if (!m->IsFinished()) {
                m->Finish();
            }
            if (m->GetFirstChild() != nullptr) {
                m = m->GetFirstChild();
                continue;
            }
        }
        while (m != nullptr && m != root && m->GetNextSibling() == nullptr) {
            m = m->GetParent();
        }
        m = (m == nullptr || m == root) ? nullptr : m->GetNextSibling();
    }
}

}  // namespace Qmv2
