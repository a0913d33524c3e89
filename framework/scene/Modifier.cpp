#include "framework/scene/Modifier.h"

#include <vector>

#include "framework/scene/AnimTree.h"
#include "framework/scene/GameNode.h"

namespace Qmv2 {

Modifier::~Modifier()
{
    if (m_Attached) {
        UnlinkFromParent();
        LeaveTarget();
    }
    // Children hold a tree reference of their own whoever held this
    // modifier (the tree, a node's own list or a scene), so they lose it
    // here in every case, last sibling first.
    std::vector<Modifier*> children;
    for (Modifier* child = m_FirstChild; child != nullptr; child = child->m_NextSibling) {
        children.push_back(child);
    }
    m_FirstChild = nullptr;
    for (auto it = children.rbegin(); it != children.rend(); ++it) {
        (*it)->m_Parent = nullptr;
        (*it)->m_NextSibling = nullptr;
        (*it)->Release();
    }
    if (s_LastAttached == this) {
        s_LastAttached = nullptr;
    }
    if (s_SimultaneousAnchor == this) {
        s_SimultaneousAnchor = nullptr;
    }
}

std::string Modifier::ToString() const
{
    std::string text = BaseObject::ToString();
    if (!m_Name.empty()) {
        text += "\"" + m_Name + "\"; ";
    }
    if (m_Target != nullptr && !m_Cancelled) {
        text += "Client: <" + m_Target->ToShortString() + "> ";
    }
    return text;
}

void Modifier::UnlinkFromParent()
{
    if (m_Parent != nullptr) {
        Modifier** link = &m_Parent->m_FirstChild;
        while (*link != nullptr && *link != this) {
            link = &(*link)->m_NextSibling;
        }
        if (*link == this) {
            *link = m_NextSibling;
        }
    }
    m_Parent = nullptr;
    m_NextSibling = nullptr;
}

void Modifier::LeaveTarget()
{
    if (m_Target != nullptr) {
        m_Target->EraseAnimation(this);
        m_Target = nullptr;
    }
}

bool Modifier::Contains(const Modifier* other) const
{
    for (const Modifier* m = other; m != nullptr; m = m->m_Parent) {
        if (m == this) {
            return true;
        }
    }
    return false;
}

void Modifier::Detach(Modifier* modifier)
{
    modifier->m_Attached = true;
    if (modifier->m_Parent == nullptr) {
        modifier->AddRef();
        return;
    }
    modifier->UnlinkFromParent();
    modifier->LeaveTarget();
}

Modifier* Modifier::AttachTo(Modifier* modifier, Modifier* parent)
{
    if (modifier == nullptr || parent == nullptr || modifier->Contains(parent)) {
        return modifier;
    }
    Detach(modifier);
    modifier->m_Parent = parent;
    Modifier** link = &parent->m_FirstChild;
    while (*link != nullptr) {
        link = &(*link)->m_NextSibling;
    }
    *link = modifier;
    if (modifier->m_Target != nullptr) {
        modifier->m_Target->AddAnimation(modifier);
    }
    s_LastAttached = modifier;
    return modifier;
}

Modifier* Modifier::AttachAfter(Modifier* modifier, GameNode* target)
{
    if (modifier == nullptr) {
        return nullptr;
    }
    modifier->SetTarget(target);
    Modifier* anchor = s_SimultaneousAnchor;
    if (anchor == nullptr || anchor->m_Parent == nullptr) {
        return AttachTo(modifier, AnimTree::GetInstance());
    }
    if (anchor->m_NextSibling == modifier || modifier->Contains(anchor)) {
        return modifier;
    }
    Detach(modifier);
    modifier->m_Parent = anchor->m_Parent;
    modifier->m_NextSibling = anchor->m_NextSibling;
    anchor->m_NextSibling = modifier;
    if (modifier->m_Target != nullptr) {
        modifier->m_Target->AddAnimation(modifier);
    }
    s_LastAttached = modifier;
    return modifier;
}

Modifier* Modifier::Remove(Modifier* modifier, bool eraseFromTarget)
{
    Modifier* parent = modifier->m_Parent;
    Modifier* first = modifier->m_FirstChild;
    Modifier* next = modifier->m_NextSibling;
    modifier->m_FirstChild = nullptr;
    if (parent == nullptr) {
        // Outside the tree the children have no place to move to: they give
        // up the tree's reference as a destroyed parent's children do.
        for (Modifier* child = first; child != nullptr;) {
            Modifier* following = child->m_NextSibling;
            child->m_Parent = nullptr;
            child->m_NextSibling = nullptr;
            child->Release();
            child = following;
        }
        if (eraseFromTarget) {
            modifier->LeaveTarget();
        }
        return nullptr;
    }
    // The children take the modifier's place in its parent's list.
    Modifier** link = &parent->m_FirstChild;
    while (*link != nullptr && *link != modifier) {
        link = &(*link)->m_NextSibling;
    }
    Modifier* replacement = next;
    if (first != nullptr) {
        Modifier* last = first;
        for (Modifier* child = first; child != nullptr; child = child->m_NextSibling) {
            child->m_Parent = parent;
            last = child;
        }
        last->m_NextSibling = next;
        replacement = first;
    }
    if (*link == modifier) {
        *link = replacement;
    }
    modifier->m_Parent = nullptr;
    modifier->m_NextSibling = nullptr;
    if (eraseFromTarget) {
        modifier->LeaveTarget();
    }
    modifier->Release();
    return replacement;
}

}  // namespace Qmv2
