// A test fixture that runs in a fresh temporary folder with an empty
// "script/" folder and a fresh interpreter, and test node classes bound the
// way the scene graph's classes bind themselves.
#pragma once

#include <gtest/gtest.h>
#include <lua.hpp>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "framework/core/script/Lua.h"
#include "framework/scene/GameNode.h"

namespace QmvTest {

// A node class bound as "qmv.Sprite" with the script "Sprite.lua".
class ScriptSprite : public Qmv2::GameNode {
public:
    QMV_CLASS_TYPE(ScriptSprite, GameNode)

    explicit ScriptSprite(int id = 0) : m_Id(id)
    {
        SetScriptClass("Sprite.lua", "qmv.Sprite", "qmv.GameNode", "Sprite", s_Methods);
    }
    int GetId() const { return m_Id; }

    // "kind" answers "native sprite"; "id" answers the sprite's id after
    // checking that self is a live sprite.
    static const luaL_Reg s_Methods[];

private:
    int m_Id;
};

// A subclass bound as "qmv.Dialog" without a script of its own.
class ScriptDialog : public ScriptSprite {
public:
    QMV_CLASS_TYPE(ScriptDialog, ScriptSprite)

    explicit ScriptDialog(int id = 0) : ScriptSprite(id)
    {
        SetScriptClass(nullptr, "qmv.Dialog", "qmv.Sprite", "Dialog", s_Methods);
    }

    // "isDialog" answers true.
    static const luaL_Reg s_Methods[];
};

inline int SpriteKind(lua_State* state)
{
    lua_pushstring(state, "native sprite");
    return 1;
}

inline int SpriteId(lua_State* state)
{
    auto* sprite = static_cast<ScriptSprite*>(Qmv2::Lua::CheckObject(state, 1, &ScriptSprite::s_Type, "not a Sprite"));
    lua_pushinteger(state, sprite->GetId());
    return 1;
}

inline int DialogIsDialog(lua_State* state)
{
    lua_pushboolean(state, 1);
    return 1;
}

inline const luaL_Reg ScriptSprite::s_Methods[] = {{"kind", SpriteKind}, {"id", SpriteId}, {nullptr, nullptr}};
inline const luaL_Reg ScriptDialog::s_Methods[] = {{"isDialog", DialogIsDialog}, {nullptr, nullptr}};

class ScriptFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_OldFolder = std::filesystem::current_path();
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        m_Folder = std::filesystem::temp_directory_path() /
                   ("qmv-script-" + std::to_string(::getpid()) + "-" + info->name());
        std::filesystem::remove_all(m_Folder);
        std::filesystem::create_directories(m_Folder / "script");
        std::filesystem::current_path(m_Folder);
    }

    void TearDown() override
    {
        Qmv2::Lua::ReleaseInstance();
        std::filesystem::current_path(m_OldFolder);
        std::filesystem::remove_all(m_Folder);
    }

    void WriteScript(const std::string& name, const std::string& text)
    {
        std::ofstream(m_Folder / "script" / name) << text;
    }

    // Class scripts that make the class tables and count their own runs.
    void WriteClassScripts()
    {
        WriteScript("GameNode.lua",
                    "qmv = qmv or {}\n"
                    "qmv.GameNode = { name = function(self) return 'game node' end,\n"
                    "                 __tostring = function(self) return 'scripted node' end }\n"
                    "gameNodeRuns = (gameNodeRuns or 0) + 1\n");
        WriteScript("Sprite.lua",
                    "qmv.Sprite = { kind = function(self) return 'script sprite' end,\n"
                    "               spin = function(self) return 'spinning ' .. self:name() end }\n"
                    "qmv.Dialog = { title = function(self) return 'dialog title' end }\n"
                    "spriteRuns = (spriteRuns or 0) + 1\n");
    }

    Qmv2::Lua* StartInterpreter()
    {
        Qmv2::Lua* lua = Qmv2::Lua::Create();
        EXPECT_NE(lua->GetState(), nullptr);
        return lua;
    }

    lua_State* State() const { return Qmv2::Lua::GetInstance()->GetState(); }

    // Makes a node's script object the script global `name`.
    void Publish(const char* name, const Qmv2::GameNode& node)
    {
        Qmv2::Lua::GetInstance()->PushScriptObject(node.GetScriptRef());
        lua_setglobal(State(), name);
    }

    // Runs a chunk and answers its first result as text ("nil", "true", ...),
    // or "error: " and the error text.
    std::string Eval(const std::string& code)
    {
        lua_State* state = State();
        int top = lua_gettop(state);
        std::string result;
        if (luaL_loadstring(state, code.c_str()) != 0 || lua_pcall(state, 0, 1, 0) != 0) {
            const char* text = lua_tostring(state, -1);
            result = std::string("error: ") + (text != nullptr ? text : "?");
        } else {
            lua_getglobal(state, "tostring");
            lua_insert(state, -2);
            lua_call(state, 1, 1);
            result = lua_tostring(state, -1);
        }
        lua_settop(state, top);
        return result;
    }

    std::filesystem::path m_OldFolder;
    std::filesystem::path m_Folder;
};

}  // namespace QmvTest
