// The native methods of the script class "qmv.Button".
#include <lua.hpp>

#include "framework/core/script/Lua.h"
#include "framework/scene/Button.h"

namespace Qmv2 {

namespace {

Button* CheckButton(lua_State* state)
{
    return static_cast<Button*>(Lua::CheckObject(state, 1, &Button::s_Type, "not a Button"));
}

int ScriptEnabled(lua_State* state)
{
    lua_pushboolean(state, CheckButton(state)->IsEnabled() ? 1 : 0);
    return 1;
}

// nil, false or a missing value disable; any other value enables.
int ScriptSetEnabled(lua_State* state)
{
    Button* button = CheckButton(state);
    button->SetEnabled(lua_toboolean(state, 2) != 0);
    return 0;
}

}  // namespace

const luaL_Reg Button::s_ScriptMethods[] = {
    {"enabled", ScriptEnabled},
    {"isEnabled", ScriptEnabled},
    {"setEnabled", ScriptSetEnabled},
    {nullptr, nullptr},
};

}  // namespace Qmv2
