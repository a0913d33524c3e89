// A node of the scene graph. Every node owns a script object: a Lua table
// that points back to it and whose metatable is that of its most derived
// bound class.
#pragma once

#include <cstdint>

#include "framework/core/object/BaseObject.h"
#include "framework/core/util/UTF8String.h"

struct luaL_Reg;

namespace Qmv2 {

class GameNode : public BaseObject {
public:
    QMV_CLASS_TYPE(GameNode, BaseObject)

    // The registry reference of a node without a script object.
    static constexpr int kNoScriptObject = -2;

    GameNode();
    GameNode(const GameNode&) = delete;
    GameNode& operator=(const GameNode&) = delete;
    // Releases the children, then cuts the script object loose.
    ~GameNode() override;

    virtual void Update(std::int32_t) {}
    virtual void Tick(std::int32_t dt) { Update(dt); }

    // The command handler: does nothing here; scenes handle "BUTTON_" names.
    virtual void OnButton(const UTF8String& command, BaseObject* parameter);

    void AddChild(GameNode* child)
    {
        if (child == nullptr || child->m_Parent != nullptr) {
            return;
        }
        child->AddRef();
        child->m_Parent = this;
        GameNode** link = &m_FirstChild;
        while (*link != nullptr) {
            link = &(*link)->m_NextSibling;
        }
        *link = child;
    }

    void Unlink()
    {
        if (m_Parent == nullptr) {
            return;
        }
        GameNode** link = &m_Parent->m_FirstChild;
        while (*link != nullptr && *link != this) {
            link = &(*link)->m_NextSibling;
        }
        if (*link == this) {
            *link = m_NextSibling;
        }
        m_Parent = nullptr;
        m_NextSibling = nullptr;
    }

    GameNode* GetParent() const { return m_Parent; }
    GameNode* GetFirstChild() const { return m_FirstChild; }
    GameNode* GetNextSibling() const { return m_NextSibling; }
    bool IsObsolete() const { return m_Obsolete; }
    void SetObsolete(bool obsolete) { m_Obsolete = obsolete; }
    bool IsSuspended() const { return m_Suspended; }
    void SetSuspended(bool suspended) { m_Suspended = suspended; }
    bool IsVisible() const { return m_Visible; }
    void SetVisible(bool visible) { m_Visible = visible; }
    virtual float GetX() const { return m_X; }
    virtual float GetY() const { return m_Y; }
    virtual void SetX(float x) { m_X = x; }
    virtual void SetY(float y) { m_Y = y; }

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
    GameNode* m_Parent = nullptr;
    GameNode* m_FirstChild = nullptr;
    GameNode* m_NextSibling = nullptr;
    bool m_Obsolete = false;
    bool m_Suspended = false;
    bool m_Visible = true;
    float m_X = 0.0f;
    float m_Y = 0.0f;
    int m_ScriptRef = kNoScriptObject;
};

}  // namespace Qmv2
