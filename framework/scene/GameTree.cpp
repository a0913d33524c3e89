#include "framework/scene/GameTree.h"

#include <lua.hpp>

#include "framework/core/script/Lua.h"

namespace Qmv2 {

GameTree::GameTree()
{
    Lua* lua = Lua::GetInstance();
    if (lua != nullptr && lua->GetState() != nullptr && GetScriptRef() != kNoScriptObject) {
        lua->PushScriptObject(GetScriptRef());
        lua_setglobal(lua->GetState(), "gameTree");
    }
}

}  // namespace Qmv2
