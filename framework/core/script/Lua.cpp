#include "framework/core/script/Lua.h"

#include <lua.hpp>

#include <filesystem>
#include <system_error>

#include "framework/core/util/Platform.h"

namespace Qmv2 {

namespace {

constexpr const char* kRootMetatable = "qmv.GameNode";
constexpr const char* kRootScript = "GameNode.lua";
constexpr const char* kRootClass = "GameNode";

// The global "_ALERT": takes the text on top of the stack and drops it.
int Alert(lua_State* state)
{
    if (lua_gettop(state) > 0) {
        lua_tostring(state, -1);
        lua_pop(state, 1);
    }
    return 0;
}

// An error outside every protected call ends the process; its text is shown
// first so that the end is not silent.
int Panic(lua_State* state)
{
    const char* text = lua_gettop(state) > 0 ? lua_tostring(state, -1) : nullptr;
    Platform::ShowMessage(text != nullptr ? text : "unknown script error", "Lua");
    return 0;
}

}  // namespace

Lua::Lua() : m_ScriptFolder("script/") {}

Lua::~Lua()
{
    if (m_State != nullptr) {
        lua_close(m_State);
        m_State = nullptr;
    }
}

Lua* Lua::Create()
{
    if (Lua* existing = GetInstance()) {
        return existing;
    }
    Lua* lua = new Lua();
    SetInstance(lua);
    if (!lua->Init()) {
        Platform::Log("Error: the script interpreter could not be created\n");
    }
    return lua;
}

bool Lua::Init()
{
    if (m_State != nullptr) {
        return true;
    }
    m_State = luaL_newstate();
    if (m_State == nullptr) {
        return false;
    }
    lua_pushcclosure(m_State, Alert, 0);
    lua_setfield(m_State, LUA_GLOBALSINDEX, "_ALERT");
    lua_atpanic(m_State, Panic);
    luaL_openlibs(m_State);
    return true;
}

void Lua::ReportError()
{
    const char* text = lua_tostring(m_State, -1);
    std::string message = text != nullptr ? text : std::string("(error object is a ") + luaL_typename(m_State, -1) + " value)";
    Platform::ShowMessage(message, kErrorCaption);
}

bool Lua::ScriptExists(const std::string& path)
{
    std::error_code error;
    return std::filesystem::exists(path, error) || error;
}

bool Lua::RunScript(const std::string& path)
{
    if (luaL_loadfile(m_State, path.c_str()) != 0 || lua_pcall(m_State, 0, 0, 0) != 0) {
        ReportError();
        lua_pop(m_State, 1);
        return false;
    }
    return true;
}

void Lua::CopyEntries(int from, int to)
{
    lua_pushnil(m_State);
    while (lua_next(m_State, from) != 0) {
        lua_pushvalue(m_State, -2);
        lua_insert(m_State, -2);
        lua_rawset(m_State, to);
    }
}

void Lua::PushClassTable(const char* className)
{
    // Raw reads: a metatable that a script put on the globals cannot raise an
    // error outside a protected call here.
    lua_pushstring(m_State, "qmv");
    lua_rawget(m_State, LUA_GLOBALSINDEX);
    if (!lua_istable(m_State, -1)) {
        lua_pop(m_State, 1);
        lua_pushnil(m_State);
    } else {
        lua_pushstring(m_State, className);
        lua_rawget(m_State, -2);
        lua_remove(m_State, -2);
    }
    if (!lua_istable(m_State, -1)) {
        std::string text = std::string("The scripts define no class table qmv.") + className;
        Platform::ShowMessage(text, kErrorCaption);
    }
}

int Lua::setupMetatableForClass(const char* baseName, const char* name, const char* scriptPath,
                                const char* className, const luaL_Reg* methods)
{
    if (m_State == nullptr) {
        return 0;
    }
    lua_State* L = m_State;
    int top = lua_gettop(L);
    lua_getfield(L, LUA_REGISTRYINDEX, name);
    if (!lua_isnil(L, -1)) {
        lua_settop(L, top);
        return 0;
    }
    lua_pop(L, 1);

    luaL_newmetatable(L, name);
    int metatable = lua_gettop(L);
    if (baseName != nullptr) {
        lua_getfield(L, LUA_REGISTRYINDEX, baseName);
        if (lua_istable(L, -1)) {
            CopyEntries(metatable + 1, metatable);
        }
        lua_pop(L, 1);
    }
    // A class whose script file is absent is made of its base and its native
    // methods alone: the content need not ship a script for every class.
    const bool absent = scriptPath != nullptr && !ScriptExists(scriptPath);
    if (scriptPath != nullptr && !absent && !RunScript(scriptPath)) {
        lua_settop(L, top);
        return 1;
    }

    if (absent) {
        lua_pushnil(L);
    } else {
        PushClassTable(className);
    }
    int classTable = lua_gettop(L);
    bool hasClassTable = lua_istable(L, classTable);
    if (hasClassTable) {
        CopyEntries(classTable, metatable);
    }
    lua_pushvalue(L, metatable);
    lua_setfield(L, metatable, "__index");
    if (methods != nullptr) {
        lua_pushvalue(L, metatable);
        luaL_register(L, nullptr, methods);
        lua_pop(L, 1);
    }
    if (hasClassTable) {
        lua_pushvalue(L, metatable);
        lua_setmetatable(L, classTable);
    }
    lua_settop(L, top);
    return 0;
}

void Lua::BindScriptObject(const char* scriptFile, BaseObject* object, int scriptRef, const char* name,
                           const char* baseName, const char* className, const luaL_Reg* methods)
{
    if (m_State == nullptr || object == nullptr) {
        return;
    }
    std::string path;
    if (scriptFile != nullptr && *scriptFile != 0) {
        path = m_ScriptFolder + scriptFile;
    }
    if (setupMetatableForClass(baseName, name, path.empty() ? nullptr : path.c_str(), className, methods) != 0) {
        return;
    }
    if (!IsLive(object)) {
        return;
    }
    int top = lua_gettop(m_State);
    lua_rawgeti(m_State, LUA_REGISTRYINDEX, scriptRef);
    // Only a table takes the class metatable: setting one on nil would give
    // every nil of the interpreter that metatable.
    if (lua_istable(m_State, -1)) {
        lua_getfield(m_State, LUA_REGISTRYINDEX, name);
        if (lua_istable(m_State, -1)) {
            lua_setmetatable(m_State, -2);
        }
    }
    lua_settop(m_State, top);
}

int Lua::CreateScriptObject(BaseObject* object, const luaL_Reg* rootMethods)
{
    if (m_State == nullptr || object == nullptr) {
        return LUA_NOREF;
    }
    lua_State* L = m_State;
    int top = lua_gettop(L);
    lua_getfield(L, LUA_REGISTRYINDEX, kRootMetatable);
    if (lua_isnil(L, -1)) {
        lua_pop(L, 1);
        lua_newtable(L);
        int metatable = lua_gettop(L);
        lua_pushvalue(L, metatable);
        lua_setfield(L, metatable, "__index");
        if (rootMethods != nullptr) {
            luaL_register(L, nullptr, rootMethods);
        }
        // The class is stored even when its script fails, so that the script
        // is reported once and every node still gets the native methods.
        const std::string rootScript = m_ScriptFolder + kRootScript;
        if (ScriptExists(rootScript) && RunScript(rootScript)) {
            PushClassTable(kRootClass);
            if (lua_istable(L, -1)) {
                CopyEntries(lua_gettop(L), metatable);
            }
            lua_pop(L, 1);
        }
        lua_pushvalue(L, metatable);
        lua_setfield(L, LUA_REGISTRYINDEX, kRootMetatable);
    }
    int metatable = lua_gettop(L);
    lua_createtable(L, 0, 1);
    lua_pushlightuserdata(L, object);
    lua_setfield(L, -2, kObjectField);
    lua_pushvalue(L, metatable);
    lua_setmetatable(L, -2);
    int ref = luaL_ref(L, LUA_REGISTRYINDEX);
    lua_settop(L, top);
    m_LiveObjects.insert(object);
    return ref;
}

void Lua::ReleaseScriptObject(BaseObject* object, int ref)
{
    // An object made under another interpreter has nothing here.
    if (m_LiveObjects.erase(object) == 0 || m_State == nullptr) {
        return;
    }
    lua_rawgeti(m_State, LUA_REGISTRYINDEX, ref);
    if (lua_istable(m_State, -1)) {
        lua_pushstring(m_State, kObjectField);
        lua_pushnil(m_State);
        lua_rawset(m_State, -3);
    }
    lua_pop(m_State, 1);
    luaL_unref(m_State, LUA_REGISTRYINDEX, ref);
}

void Lua::PushScriptObject(int ref)
{
    lua_rawgeti(m_State, LUA_REGISTRYINDEX, ref);
}

BaseObject* Lua::CheckObject(lua_State* state, int arg, const ClassType* type, const char* notTypeMessage)
{
    if (!lua_istable(state, arg)) {
        luaL_typerror(state, arg, "table");
    }
    lua_pushstring(state, kObjectField);
    lua_rawget(state, arg < 0 ? arg - 1 : arg);
    bool isUserdata = lua_isuserdata(state, -1) != 0;
    void* address = lua_touserdata(state, -1);
    lua_pop(state, 1);
    Lua* lua = GetInstance();
    if (!isUserdata || lua == nullptr || !lua->IsLive(address)) {
        luaL_argerror(state, arg, "not a C++ object");
    }
    auto* object = static_cast<BaseObject*>(address);
    if (!object->IsOfType(type)) {
        luaL_argerror(state, arg, notTypeMessage);
    }
    return object;
}

void Lua::PushRawField(lua_State* state, int table, const char* key)
{
    if (table < 0 && table > LUA_REGISTRYINDEX) {
        table = lua_gettop(state) + table + 1;
    }
    lua_pushstring(state, key);
    lua_rawget(state, table);
}

}  // namespace Qmv2
