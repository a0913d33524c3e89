// A small, time-driven action on a target node. Running modifiers hang in one
// intrusive tree (parent, next sibling, first child): a modifier attached
// under another waits until that one has finished and then takes its place;
// the children of a container run side by side. A node's own modifier list
// runs the same objects outside the tree.
//
// A modifier in the tree holds one reference for the tree exactly while it
// has a parent; unlinking it hands that reference to whoever unlinked it.
#pragma once

#include <cstdint>
#include <string>

#include "framework/core/object/BaseObject.h"
#include "framework/scene/SceneRecords.h"

namespace Qmv2 {

class GameNode;

class Modifier : public BaseObject {
    QMV_INDEXED_TYPE(Modifier)

    // State bits.
    static constexpr std::uint32_t kStarted = 0x1;
    static constexpr std::uint32_t kFinished = 0x2;

    // Option bits, set by the creator.
    // In a node's own list: later modifiers of the list wait for this one.
    static constexpr std::uint32_t kOptionBlocking = 0x1;
    // When done: mark the target obsolete.
    static constexpr std::uint32_t kOptionRemoveTarget = 0x2;
    // When done: cancel the target's earlier animations (and this one).
    static constexpr std::uint32_t kOptionCancelEarlier = 0x4;
    // When done: cancel the enclosing container.
    static constexpr std::uint32_t kOptionCancelContainer = 0x8;
    // At start: take the start value from the target.
    static constexpr std::uint32_t kOptionStartFromTarget = 0x10;
    // The end value is relative to the start value.
    static constexpr std::uint32_t kOptionRelativeEnd = 0x20;

    Modifier() = default;
    Modifier(const Modifier&) = delete;
    Modifier& operator=(const Modifier&) = delete;
    // An attached modifier unlinks itself and releases its waiting children.
    ~Modifier() override;

    virtual void SetCancelled(bool cancelled) { m_Cancelled = cancelled; }
    // The target is not counted: the node erases its animations when it goes.
    virtual void SetTarget(GameNode* target) { m_Target = target; }
    virtual void Start() {}
    virtual void Finish() { m_State |= kFinished; }
    virtual bool IsFinished() const { return (m_State & kFinished) != 0; }
    virtual void Update(std::uint32_t dt) { (void)dt; }

    // The base text, the name in double quotes when there is one, and the
    // target's short text while the modifier is not cancelled.
    std::string ToString() const override;

    // Appends `modifier` as the last child of `parent` (moving it when it is
    // already in the tree, which drops its target), registers it with its
    // target and remembers it as the last attached modifier. A parent that is
    // the modifier itself or lies below it is refused. Answers `modifier`.
    static Modifier* AttachTo(Modifier* modifier, Modifier* parent);
    // Sets the target and places the modifier right after the simultaneous
    // anchor, under the anchor's parent (under the animation tree's root
    // without an anchor), so that both run side by side.
    static Modifier* AttachAfter(Modifier* modifier, GameNode* target);
    // Takes the modifier out of the tree; its reference stays with the
    // caller. A modifier without a parent is given that reference.
    static void Detach(Modifier* modifier);
    // Removes the modifier from the tree: its children take its place, in
    // order. With `eraseFromTarget` it also leaves its target's animation
    // list. Gives up the tree's reference; answers what now stands in its
    // place (its first child, else its former next sibling).
    static Modifier* Remove(Modifier* modifier, bool eraseFromTarget);

    // The modifier attached last (not counted; cleared when it is destroyed).
    static Modifier* GetLastAttached() noexcept { return s_LastAttached; }
    // The modifier that AttachAfter places new modifiers beside.
    static Modifier* GetSimultaneousAnchor() noexcept { return s_SimultaneousAnchor; }
    static void SetSimultaneousAnchor(Modifier* anchor) noexcept { s_SimultaneousAnchor = anchor; }

    GameNode* GetTarget() const noexcept { return m_Target; }
    bool IsCancelled() const noexcept { return m_Cancelled; }
    std::uint32_t GetState() const noexcept { return m_State; }
    std::uint32_t GetOptions() const noexcept { return m_Options; }
    void SetOptions(std::uint32_t options) noexcept { m_Options = options; }
    bool IsSuspended() const noexcept { return m_Suspended; }
    void SetSuspended(bool suspended) noexcept { m_Suspended = suspended; }
    const std::string& GetName() const noexcept { return m_Name; }
    void SetName(const std::string& name) { m_Name = name; }
    bool IsAttached() const noexcept { return m_Attached; }

    Modifier* GetParent() const noexcept { return m_Parent; }
    Modifier* GetNextSibling() const noexcept { return m_NextSibling; }
    Modifier* GetFirstChild() const noexcept { return m_FirstChild; }

protected:
    void SetStateBits(std::uint32_t bits) noexcept { m_State |= bits; }

private:
    friend class GameNode;
    friend class ModifierContainer;
    friend class AnimTree;

    // Takes the modifier out of its parent's child list; the links are cleared.
    void UnlinkFromParent();
    // Leaves the target's animation list and forgets the target.
    void LeaveTarget();
    // Whether `other` is this modifier or lies below it.
    bool Contains(const Modifier* other) const;

    GameNode* m_Target = nullptr;
    std::uint32_t m_Options = 0;
    std::uint32_t m_State = 0;
    bool m_Cancelled = false;
    bool m_Suspended = false;
    Modifier* m_Parent = nullptr;
    Modifier* m_NextSibling = nullptr;
    Modifier* m_FirstChild = nullptr;
    std::string m_Name;
    bool m_Attached = false;

    inline static Modifier* s_LastAttached = nullptr;
    inline static Modifier* s_SimultaneousAnchor = nullptr;
};

}  // namespace Qmv2
