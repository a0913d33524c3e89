// The native methods of the script class "qmv.GameNode".
#include <lua.hpp>

#include "framework/core/script/Lua.h"
#include "framework/scene/GameNode.h"

namespace Qmv2 {

namespace {

GameNode* CheckNode(lua_State* state)
{
    return static_cast<GameNode*>(Lua::CheckObject(state, 1, &GameNode::s_Type, "not a GameNode"));
}

// Raises "too many arguments" at argument `arg` when there are more than `count` in all.
void CheckAtMost(lua_State* state, int count, int arg, const char* message)
{
    if (lua_gettop(state) > count) {
        luaL_argerror(state, arg, message);
    }
}

void PushNode(lua_State* state, GameNode* node)
{
    Lua* lua = Lua::GetInstance();
    if (node == nullptr || lua == nullptr || node->GetScriptRef() == GameNode::kNoScriptObject) {
        lua_pushnil(state);
        return;
    }
    lua->PushScriptObject(node->GetScriptRef());
}

// "GameNode metatable?" for the class table itself, else the node's short text.
int ScriptToString(lua_State* state)
{
    if (lua_istable(state, 1)) {
        lua_pushstring(state, Lua::kObjectField);
        lua_rawget(state, 1);
        const bool hasObject = !lua_isnil(state, -1);
        lua_pop(state, 1);
        if (!hasObject) {
            lua_pushstring(state, "GameNode metatable?");
            return 1;
        }
    }
    lua_pushstring(state, CheckNode(state)->ToShortString().c_str());
    return 1;
}

int ScriptBringToFront(lua_State* state)
{
    GameNode* node = CheckNode(state);
    CheckAtMost(state, 1, 2, "too many arguments");
    if (GameNode* parent = node->GetParent()) {
        node->SetX(node->GetGlobalX() - parent->GetGlobalX());
        node->SetY(node->GetGlobalY() - parent->GetGlobalY());
        parent->AddChild(node);
    }
    return 0;
}

int ScriptChild(lua_State* state)
{
    GameNode* node = CheckNode(state);
    CheckAtMost(state, 3, 4, "too many arguments");
    if (lua_type(state, 2) != LUA_TSTRING && lua_type(state, 2) != LUA_TNUMBER) {
        luaL_typerror(state, 2, "string");
    }
    const std::string name = lua_tostring(state, 2);
    const bool recursive = lua_gettop(state) < 3 || lua_toboolean(state, 3) != 0;
    PushNode(state, node->FindChild(name, recursive));
    return 1;
}

int ScriptIsVisible(lua_State* state)
{
    lua_pushboolean(state, CheckNode(state)->IsVisible() ? 1 : 0);
    return 1;
}

int ScriptParent(lua_State* state)
{
    GameNode* node = CheckNode(state);
    CheckAtMost(state, 1, 2, "too many arguments");
    PushNode(state, node->GetParent());
    return 1;
}

int ScriptParentX(lua_State* state)
{
    GameNode* parent = CheckNode(state)->GetParent();
    lua_pushnumber(state, parent != nullptr ? parent->GetGlobalX() : 0.0);
    return 1;
}

int ScriptParentY(lua_State* state)
{
    GameNode* parent = CheckNode(state)->GetParent();
    lua_pushnumber(state, parent != nullptr ? parent->GetGlobalY() : 0.0);
    return 1;
}

int ScriptRemoveFromParent(lua_State* state)
{
    GameNode* node = CheckNode(state);
    CheckAtMost(state, 1, 2, "too many arguments");
    node->SetObsolete(true);
    return 0;
}

int ScriptSetVisible(lua_State* state)
{
    GameNode* node = CheckNode(state);
    if (lua_gettop(state) < 2) {
        luaL_argerror(state, 2, "value expected");
    }
    node->SetVisible(lua_toboolean(state, 2) != 0);
    return 0;
}

int ScriptX(lua_State* state)
{
    lua_pushnumber(state, CheckNode(state)->GetX());
    return 1;
}

int ScriptY(lua_State* state)
{
    lua_pushnumber(state, CheckNode(state)->GetY());
    return 1;
}

}  // namespace

const luaL_Reg GameNode::s_ScriptMethods[] = {
    {"__tostring", ScriptToString},
    {"bringToFront", ScriptBringToFront},
    {"child", ScriptChild},
    {"isVisible", ScriptIsVisible},
    {"parent", ScriptParent},
    {"parentX", ScriptParentX},
    {"parentY", ScriptParentY},
    {"removeFromParent", ScriptRemoveFromParent},
    {"setVisible", ScriptSetVisible},
    {"visible", ScriptIsVisible},
    {"x", ScriptX},
    {"y", ScriptY},
    {nullptr, nullptr},
};

}  // namespace Qmv2
