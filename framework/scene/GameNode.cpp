#include "framework/scene/GameNode.h"

#include <lua.hpp>

#include "framework/core/script/Lua.h"

namespace Qmv2 {

namespace {

// "GameNode metatable?" for the class table itself, else the node's short text.
int ScriptToString(lua_State* state)
{
    if (lua_istable(state, 1)) {
        lua_pushstring(state, Lua::kObjectField);
        lua_rawget(state, 1);
        bool hasObject = !lua_isnil(state, -1);
        lua_pop(state, 1);
        if (!hasObject) {
            lua_pushstring(state, "GameNode metatable?");
            return 1;
        }
    }
    BaseObject* node = Lua::CheckObject(state, 1, &GameNode::s_Type, "not a GameNode");
    lua_pushstring(state, node->ToShortString().c_str());
    return 1;
}

}  // namespace

const luaL_Reg GameNode::s_ScriptMethods[] = {
    {"__tostring", ScriptToString},
    {nullptr, nullptr},
};

GameNode::GameNode()
{
    if (Lua* lua = Lua::GetInstance()) {
        m_ScriptRef = lua->CreateScriptObject(this, s_ScriptMethods);
    }
}

GameNode::~GameNode()
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
    if (Lua* lua = Lua::GetInstance()) {
        lua->ReleaseScriptObject(this, m_ScriptRef);
    }
    m_ScriptRef = kNoScriptObject;
}

void GameNode::OnButton(const UTF8String&, BaseObject*) {}

void GameNode::SetScriptClass(const char* scriptFile, const char* metatableName, const char* baseMetatableName,
                              const char* className, const luaL_Reg* methods)
{
    if (Lua* lua = Lua::GetInstance()) {
        lua->BindScriptClass(scriptFile, this, metatableName, baseMetatableName, className, methods);
    }
}

}  // namespace Qmv2
