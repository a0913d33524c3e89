#include "framework/scene/GameNode.h"

#include <lua.hpp>

#include <algorithm>
#include <limits>

#include "framework/core/object/ObjectFactory.h"
#include "framework/core/object/SmartPtr.h"
#include "framework/core/properties/PropertyNode.h"
#include "framework/core/properties/PropertyVector.h"
#include "framework/core/script/Lua.h"
#include "framework/core/util/StringFunctions.h"
#include "framework/scene/Modifier.h"

namespace Qmv2 {

namespace {

Matrix3x3 Translation(float x, float y)
{
    Matrix3x3 m;
    m.m02 = x;
    m.m12 = y;
    return m;
}

// Creates the object an entry of a "children" or "modifiers" list describes:
// the entry's type word names the class. An object of another kind than
// `expected` is discarded, so data cannot put a foreign object in the tree.
BaseObject* CreateEntry(AbstractProperty* entry, const ClassType* expected)
{
    PropertyNode* node = PropertyNode::AsNode(entry);
    BaseObject* object = ObjectFactory::GetInstance()->Create(node->GetTypeWord(), node);
    if (object != nullptr && !object->IsOfType(expected)) {
        SmartPtr<BaseObject> discard(object);
        return nullptr;
    }
    return object;
}

}  // namespace


GameNode::GameNode(const std::string& name) : m_Name(name)
{
    CreateScriptObject();
}

GameNode::GameNode(PropertyNode* description)
{
    CreateScriptObject();
    if (description == nullptr) {
        return;
    }
    description = PropertyNode::AsNode(description);
    ReadProperties(description);
    if (description->HasChild("children")) {
        CreateChildren(description);
    }
    if (description->HasChild("modifiers")) {
        CreateModifiers(description);
    }
}

GameNode::~GameNode()
{
    DetachAndReleaseChildren();
    RemoveAllModifiers();
    DetachAnimations();
    if (Lua* lua = Lua::GetInstance()) {
        lua->ReleaseScriptObject(this, m_ScriptRef);
    }
    m_ScriptRef = kNoScriptObject;
}

void GameNode::CreateScriptObject()
{
    if (Lua* lua = Lua::GetInstance()) {
        m_ScriptRef = lua->CreateScriptObject(this, s_ScriptMethods);
    }
}

void GameNode::CreateChildren(PropertyNode* description)
{
    for (const SmartPtr<AbstractProperty>& entry : description->GetVector("children")->GetItems()) {
        if (BaseObject* object = CreateEntry(entry.Get(), &GameNode::s_Type)) {
            AddChild(static_cast<GameNode*>(object));
        }
    }
}

void GameNode::CreateModifiers(PropertyNode* description)
{
    for (const SmartPtr<AbstractProperty>& entry : description->GetVector("modifiers")->GetItems()) {
        if (BaseObject* object = CreateEntry(entry.Get(), &Modifier::s_Type)) {
            AddModifier(static_cast<Modifier*>(object));
        }
    }
}

void GameNode::ReadProperties(PropertyNode* description)
{
    const PropertyNode& node = *PropertyNode::AsNode(description);
    if (node.HasChild("name")) {
        m_Name = node.GetValue("name")->GetString();
    }
    if (node.HasChild("tag")) {
        SetTag(ParseColor(node.GetValue("tag")->GetString()));
    }
    if (node.HasChild("x")) {
        SetX(node.GetValue("x")->GetFloat());
    }
    if (node.HasChild("y")) {
        SetY(node.GetValue("y")->GetFloat());
    }
    if (node.HasChild("suspended")) {
        m_Suspended = node.GetValue("suspended")->GetBool();
    }
    if (node.HasChild("visible")) {
        SetVisible(node.GetValue("visible")->GetBool());
    }
}

std::string GameNode::ToString() const
{
    return BaseObject::ToString() + "\"" + m_Name + "\"; ";
}

std::string GameNode::ToShortString() const
{
    return BaseObject::ToShortString() + " \"" + m_Name + "\"";
}

void GameNode::SetPosition(float x, float y)
{
    SetX(x);
    SetY(y);
}

PointF GameNode::GetPosition() const
{
    return PointF(GetX(), GetY());
}

PointF GameNode::GlobalToLocal(float x, float y) const
{
    return GetInverseGlobalMatrix(nullptr, true).Map(PointF(x, y));
}

Matrix3x3 GameNode::GetInverseLocalMatrix() const
{
    return Translation(-GetX(), -GetY());
}

PointF GameNode::LocalToGlobal(float x, float y) const
{
    return GetGlobalMatrix(nullptr, true).Map(PointF(x, y));
}

Matrix3x3 GameNode::GetLocalMatrix() const
{
    return Translation(GetX(), GetY());
}

NodeBounds GameNode::GetBounds(const Matrix3x3&) const
{
    constexpr float kMax = std::numeric_limits<float>::max();
    return NodeBounds{kMax, kMax, -kMax, -kMax};
}

bool GameNode::HitTest(float, float)
{
    return false;
}

void GameNode::OnButton(const UTF8String&, BaseObject*) {}

bool GameNode::IsSelfOrAncestor(const GameNode* node) const
{
    for (const GameNode* up = this; up != nullptr; up = up->m_Parent) {
        if (up == node) {
            return true;
        }
    }
    return false;
}

void GameNode::Unlink()
{
    if (m_Parent != nullptr) {
        GameNode** link = &m_Parent->m_FirstChild;
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

void GameNode::RemoveFromParent()
{
    SetObsolete(false);
    if (m_Parent == nullptr) {
        AddRef();
        return;
    }
    Unlink();
}

void GameNode::AddChild(GameNode* child)
{
    if (child == nullptr || IsSelfOrAncestor(child)) {
        return;
    }
    child->RemoveFromParent();
    child->m_Parent = this;
    GameNode** link = &m_FirstChild;
    while (*link != nullptr) {
        link = &(*link)->m_NextSibling;
    }
    *link = child;
    child->SetObsolete(false);
}

void GameNode::InsertBefore(GameNode* sibling)
{
    if (sibling == nullptr || sibling == this || m_NextSibling == sibling) {
        return;
    }
    GameNode* parent = sibling->m_Parent;
    // A node cannot go beside one of its own descendants.
    if (parent == nullptr || parent->IsSelfOrAncestor(this)) {
        return;
    }
    RemoveFromParent();
    m_Parent = parent;
    SetObsolete(false);
    GameNode** link = &parent->m_FirstChild;
    while (*link != nullptr && *link != sibling) {
        link = &(*link)->m_NextSibling;
    }
    m_NextSibling = sibling;
    *link = this;
}

void GameNode::DetachAndReleaseChildren()
{
    Unlink();
    std::vector<GameNode*> children;
    for (GameNode* child = m_FirstChild; child != nullptr; child = child->m_NextSibling) {
        children.push_back(child);
    }
    m_FirstChild = nullptr;
    for (auto it = children.rbegin(); it != children.rend(); ++it) {
        (*it)->m_Parent = nullptr;
        (*it)->m_NextSibling = nullptr;
        (*it)->Release();
    }
}

GameNode* GameNode::FindChild(const std::string& name, bool recursive) const
{
    for (GameNode* child = m_FirstChild; child != nullptr; child = child->m_NextSibling) {
        if (child->m_Obsolete) {
            continue;
        }
        if (child->m_Name == name) {
            return child;
        }
        if (recursive) {
            if (GameNode* found = child->FindChild(name, true)) {
                return found;
            }
        }
    }
    return nullptr;
}

void GameNode::Tick(std::int32_t dt)
{
    Update(dt);
    std::size_t i = 0;
    while (i < m_Modifiers.size()) {
        Modifier* m = m_Modifiers[i];
        // A cancelled modifier stops where it is: it leaves the list without
        // another step and without finishing, as in the animation tree.
        if (m->IsCancelled()) {
            m_Modifiers.erase(m_Modifiers.begin() + static_cast<long>(i));
            m->Release();
            continue;
        }
        // The list holds a reference; this one survives a callback that
        // clears the list.
        SmartPtr<Modifier> held(m);
        if ((m->m_State & Modifier::kStarted) == 0) {
            m->Start();
            m->m_State |= Modifier::kStarted;
        }
        m->Update(static_cast<std::uint32_t>(dt));
        // Callbacks may have changed the list: find the modifier again.
        if (i >= m_Modifiers.size() || m_Modifiers[i] != m) {
            auto found = std::find(m_Modifiers.begin(), m_Modifiers.end(), m);
            if (found == m_Modifiers.end()) {
                continue;
            }
            i = static_cast<std::size_t>(found - m_Modifiers.begin());
        }
        if ((m->m_State & Modifier::kFinished) == 0) {
            if ((m->m_Options & Modifier::kOptionBlocking) != 0) {
                break;
            }
            ++i;
            continue;
        }
        if ((m->m_Options & Modifier::kOptionRemoveTarget) != 0) {
            SetObsolete(true);
        }
        if ((m->m_Options & Modifier::kOptionCancelEarlier) != 0) {
            // Everything up to and including m ends and leaves the list.
            std::vector<Modifier*> ended(m_Modifiers.begin(), m_Modifiers.begin() + static_cast<long>(i) + 1);
            m_Modifiers.erase(m_Modifiers.begin(), m_Modifiers.begin() + static_cast<long>(i) + 1);
            for (Modifier* done : ended) {
                done->Finish();
                done->Release();
            }
            i = 0;
            continue;
        }
        m_Modifiers.erase(m_Modifiers.begin() + static_cast<long>(i));
        m->Release();
    }
}

void GameNode::TickTree(std::int32_t dt)
{
    Tick(dt);
    for (GameNode* child = m_FirstChild; child != nullptr; child = child->m_NextSibling) {
        if (!child->m_Suspended && !child->m_Obsolete) {
            child->TickTree(dt);
        }
    }
}

void GameNode::PurgeTree()
{
    GameNode* child = m_FirstChild;
    while (child != nullptr) {
        GameNode* next = child->m_NextSibling;
        child->PurgeTree();
        child = next;
    }
    if (m_Obsolete && m_Parent != nullptr) {
        Unlink();
        SetObsolete(false);
        Release();
    }
}

Modifier* GameNode::AddModifier(Modifier* modifier)
{
    if (modifier == nullptr) {
        return nullptr;
    }
    modifier->m_Attached = false;
    if (std::find(m_Modifiers.begin(), m_Modifiers.end(), modifier) != m_Modifiers.end()) {
        return modifier;
    }
    m_Modifiers.push_back(modifier);
    modifier->SetTarget(this);
    modifier->AddRef();
    return modifier;
}

void GameNode::RemoveAllModifiers()
{
    std::vector<Modifier*> modifiers;
    modifiers.swap(m_Modifiers);
    for (Modifier* m : modifiers) {
        // A modifier held elsewhere must not keep pointing at this node.
        if (m->m_Target == this) {
            m->m_Target = nullptr;
        }
        m->Release();
    }
}

bool GameNode::AddAnimation(Modifier* modifier)
{
    if (std::find(m_Animations.begin(), m_Animations.end(), modifier) != m_Animations.end()) {
        return false;
    }
    m_Animations.push_back(modifier);
    return true;
}

void GameNode::EraseAnimation(Modifier* modifier)
{
    auto found = std::find(m_Animations.begin(), m_Animations.end(), modifier);
    if (found != m_Animations.end()) {
        m_Animations.erase(found);
    }
}

void GameNode::RemoveAnimationsUpTo(Modifier* modifier)
{
    auto found = std::find(m_Animations.begin(), m_Animations.end(), modifier);
    auto end = found == m_Animations.end() ? found : found + 1;
    for (auto it = m_Animations.begin(); it != end; ++it) {
        (*it)->SetCancelled(true);
    }
    if (found != m_Animations.end()) {
        m_Animations.erase(m_Animations.begin(), end);
    }
}

void GameNode::DetachAnimations()
{
    std::vector<Modifier*> animations;
    animations.swap(m_Animations);
    for (Modifier* m : animations) {
        m->m_Target = nullptr;
        Modifier::Remove(m, true);
    }
}

Matrix3x3 GameNode::GetGlobalMatrix(const GameNode* ancestor, bool includeSelf) const
{
    Matrix3x3 result;
    for (const GameNode* n = includeSelf ? this : m_Parent; n != nullptr && n != ancestor; n = n->m_Parent) {
        result = n->GetLocalMatrix() * result;
    }
    return result;
}

Matrix3x3 GameNode::GetInverseGlobalMatrix(const GameNode* ancestor, bool includeSelf) const
{
    Matrix3x3 result;
    for (const GameNode* n = includeSelf ? this : m_Parent; n != nullptr && n != ancestor; n = n->m_Parent) {
        result = result * n->GetInverseLocalMatrix();
    }
    return result;
}

float GameNode::GetGlobalX() const
{
    return GetGlobalMatrix(nullptr, true).m02;
}

float GameNode::GetGlobalY() const
{
    return GetGlobalMatrix(nullptr, true).m12;
}

void GameNode::SetScriptClass(const char* scriptFile, const char* metatableName, const char* baseMetatableName,
                              const char* className, const luaL_Reg* methods)
{
    if (Lua* lua = Lua::GetInstance()) {
        lua->BindScriptClass(scriptFile, this, metatableName, baseMetatableName, className, methods);
    }
}

}  // namespace Qmv2
