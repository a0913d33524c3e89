#pragma once

#include <cstdint>

#include "framework/core/object/BaseObject.h"

namespace Qmv2 {

class GameNode : public BaseObject {
public:
    QMV_CLASS_TYPE(GameNode, BaseObject)

    GameNode() = default;
    GameNode(const GameNode&) = delete;
    GameNode& operator=(const GameNode&) = delete;

    ~GameNode() override
    {
        GameNode* child = m_FirstChild;
        m_FirstChild = nullptr;
        while (child != nullptr) {
            GameNode* next = child->m_NextSibling;
            child->m_Parent = nullptr;
            child->m_NextSibling = nullptr;
            child->Release();
            child = next;
        }
    }

    virtual void Update(std::int32_t) {}
    virtual void Tick(std::int32_t dt) { Update(dt); }

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

private:
    GameNode* m_Parent = nullptr;
    GameNode* m_FirstChild = nullptr;
    GameNode* m_NextSibling = nullptr;
    bool m_Obsolete = false;
    bool m_Suspended = false;
    bool m_Visible = true;
    float m_X = 0.0f;
    float m_Y = 0.0f;
};

}  // namespace Qmv2
