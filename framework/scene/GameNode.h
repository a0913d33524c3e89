// A node of the scene graph. Nodes form one tree under the game tree's root:
// a parent holds exactly one reference to each child, the child chain's order
// is the drawing and tick order, and a node leaves the tree by being marked
// obsolete and purged. Every node owns a script object: a Lua table that
// points back to it and whose metatable is that of its most derived bound
// class; the table loses its pointer when the node goes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "framework/core/app/InputTreeNode.h"
#include "framework/core/object/BaseObject.h"
#include "framework/core/object/ClassIndex.h"
#include "framework/core/util/Matrix3x3.h"
#include "framework/core/util/Point.h"
#include "framework/core/util/UTF8String.h"

struct luaL_Reg;

namespace Qmv2 {

class Modifier;
class PropertyNode;

// A rectangle by its edges; the empty one has left > right.
struct NodeBounds {
    float left;
    float top;
    float right;
    float bottom;
};

class GameNode : public InputTreeNode {
public:
    QMV_INDEXED_TYPE(GameNode)

    // The registry reference of a node without a script object.
    static constexpr int kNoScriptObject = -2;

    explicit GameNode(const std::string& name = std::string());
    // The factory form: reads the node's keys, then creates its "children"
    // and its own "modifiers" through the object factory.
    explicit GameNode(PropertyNode* description);
    GameNode(const GameNode&) = delete;
    GameNode& operator=(const GameNode&) = delete;
    // Releases the subtree and the own modifiers, takes the node's animations
    // out of the animation tree and cuts the script object loose.
    ~GameNode() override;

    std::string ToString() const override;
    std::string ToShortString() const override;

    virtual float GetX() const { return m_X; }
    virtual void SetX(float x) { m_X = x; }
    virtual float GetY() const { return m_Y; }
    virtual void SetY(float y) { m_Y = y; }
    virtual void SetPosition(float x, float y);
    virtual PointF GetPosition() const;
    // A screen point in this node's space (its own transform included).
    virtual PointF GlobalToLocal(float x, float y) const;
    virtual Matrix3x3 GetInverseLocalMatrix() const;
    // A point of this node's space on the screen.
    virtual PointF LocalToGlobal(float x, float y) const;
    virtual Matrix3x3 GetLocalMatrix() const;
    // A plain node covers nothing: the empty rectangle.
    virtual NodeBounds GetBounds(const Matrix3x3& matrix) const;
    virtual bool HitTest(float x, float y);
    virtual std::int32_t GetTag() const { return m_Tag; }
    virtual void SetTag(std::int32_t tag) { m_Tag = tag; }
    virtual void SetObsolete(bool obsolete) { m_Obsolete = obsolete; }
    virtual void SetVisible(bool visible) { m_Visible = visible; }
    // The command handler: does nothing here; scenes handle "BUTTON_" names.
    virtual void OnButton(const UTF8String& command, BaseObject* parameter);
    // The node's own per-frame work, before its own modifiers.
    virtual void Update(std::int32_t dt) { (void)dt; }

    // Reads "name", "tag", "x", "y", "suspended" and "visible" where present.
    void ReadProperties(PropertyNode* description);

    // Tree links. Appends `child` (moving it when it is linked elsewhere or
    // earlier in this chain) and takes its reference; a child that is this
    // node or one of its ancestors is refused.
    void AddChild(GameNode* child);
    // Places this node directly before `sibling` in the sibling's chain.
    void InsertBefore(GameNode* sibling);
    // Unlinks the node; the parent's reference passes to the caller. A node
    // without a parent gains a reference for the caller instead.
    void RemoveFromParent();
    // Unlinks the node (no release) and releases its whole child chain.
    void DetachAndReleaseChildren();
    // The first child of that exact name, skipping obsolete subtrees; with
    // `recursive` each child's subtree is searched before the next sibling.
    GameNode* FindChild(const std::string& name, bool recursive) const;

    // One tick: Update, then the own modifier list.
    void Tick(std::int32_t dt);
    // The tick walk: this node, then every child that is neither suspended
    // nor obsolete, recursively.
    void TickTree(std::int32_t dt);
    // The purge walk, post-order: obsolete nodes below this one are unlinked
    // and released.
    void PurgeTree();

    // The own modifier list: appends the modifier (once), makes this node its
    // target and takes a reference. Answers the modifier.
    Modifier* AddModifier(Modifier* modifier);
    void RemoveAllModifiers();
    const std::vector<Modifier*>& GetModifiers() const noexcept { return m_Modifiers; }

    // The animation-tree modifiers that target this node (not counted).
    bool AddAnimation(Modifier* modifier);
    void EraseAnimation(Modifier* modifier);
    // Cancels the animations from the start of the list through `modifier`
    // (all when it is absent) and drops those up to it from the list.
    void RemoveAnimationsUpTo(Modifier* modifier);
    // Takes every animation of the node out of the animation tree.
    void DetachAnimations();
    const std::vector<Modifier*>& GetAnimations() const noexcept { return m_Animations; }

    // The product of the local matrices from this node (or its parent) up to
    // `ancestor` (excluded; null: the root included), the upper on the left.
    Matrix3x3 GetGlobalMatrix(const GameNode* ancestor, bool includeSelf) const;
    Matrix3x3 GetInverseGlobalMatrix(const GameNode* ancestor, bool includeSelf) const;
    float GetGlobalX() const;
    float GetGlobalY() const;

    GameNode* GetParent() const noexcept { return m_Parent; }
    GameNode* GetFirstChild() const noexcept { return m_FirstChild; }
    GameNode* GetNextSibling() const noexcept { return m_NextSibling; }
    bool IsObsolete() const noexcept { return m_Obsolete; }
    bool IsSuspended() const noexcept { return m_Suspended; }
    void SetSuspended(bool suspended) noexcept { m_Suspended = suspended; }
    bool IsVisible() const noexcept { return m_Visible; }

    InputTreeNode* GetInputParent() const override { return m_Parent; }
    InputTreeNode* GetInputFirstChild() const override { return m_FirstChild; }
    InputTreeNode* GetInputNextSibling() const override { return m_NextSibling; }
    bool IsClosedToInput() const override { return m_Obsolete || !m_Visible; }
    const std::string& GetName() const noexcept { return m_Name; }
    void SetName(const std::string& name) { m_Name = name; }

    // The registry reference of the node's script table, or kNoScriptObject.
    int GetScriptRef() const noexcept { return m_ScriptRef; }

    // The native methods of the class "qmv.GameNode".
    static const luaL_Reg s_ScriptMethods[];

protected:
    // Called at the end of a bound subclass's constructors: gives the node's
    // script object the class metatable, setting the class up on first use.
    void SetScriptClass(const char* scriptFile, const char* metatableName, const char* baseMetatableName,
                        const char* className, const luaL_Reg* methods);

private:
    void CreateScriptObject();
    // Whether `node` is this node or one of its ancestors.
    bool IsSelfOrAncestor(const GameNode* node) const;
    // Takes the node out of its parent's chain; the links are cleared.
    void Unlink();
    // Creates the entries of a "children" or "modifiers" list.
    void CreateChildren(PropertyNode* description);
    void CreateModifiers(PropertyNode* description);

    GameNode* m_Parent = nullptr;
    GameNode* m_NextSibling = nullptr;
    GameNode* m_FirstChild = nullptr;
    float m_X = 0.0f;
    float m_Y = 0.0f;
    std::int32_t m_Tag = 0;
    bool m_Obsolete = false;
    bool m_Suspended = false;
    bool m_Visible = true;
    std::vector<Modifier*> m_Modifiers;
    std::vector<Modifier*> m_Animations;
    std::string m_Name;
    int m_ScriptRef = kNoScriptObject;
};

}  // namespace Qmv2
