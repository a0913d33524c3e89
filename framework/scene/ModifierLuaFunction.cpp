#include "framework/scene/ModifierLuaFunction.h"

#include <lua.hpp>

#include <cstdio>

#include "framework/core/script/Lua.h"
#include "framework/core/util/Platform.h"
#include "framework/scene/GameNode.h"

namespace Qmv2 {

ModifierLuaFunction::ModifierLuaFunction(int functionRef) : m_FunctionRef(functionRef) {}

ModifierLuaFunction::~ModifierLuaFunction()
{
    Lua* lua = Lua::GetInstance();
    if (lua != nullptr && lua->GetState() != nullptr) {
        luaL_unref(lua->GetState(), LUA_REGISTRYINDEX, m_FunctionRef);
    }
}

void ModifierLuaFunction::Finish()
{
    Modifier::Finish();
    Lua* lua = Lua::GetInstance();
    if (lua == nullptr || lua->GetState() == nullptr) {
        return;
    }
    lua_State* state = lua->GetState();
    int top = lua_gettop(state);
    lua_rawgeti(state, LUA_REGISTRYINDEX, m_FunctionRef);
    int arguments = 0;
    if (GameNode* target = GetTarget()) {
        lua->PushScriptObject(target->GetScriptRef());
        arguments = 1;
    }
    if (lua_pcall(state, arguments, 0, 0) != 0) {
        const char* text = lua_tostring(state, -1);
        Platform::Log("Script error in an animation call: %s\n", text != nullptr ? text : "(no text)");
    }
    lua_settop(state, top);
}

std::string ModifierLuaFunction::ToString() const
{
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "function=0x%X ", static_cast<unsigned>(m_FunctionRef));
    return Modifier::ToString() + buffer;
}

}  // namespace Qmv2
