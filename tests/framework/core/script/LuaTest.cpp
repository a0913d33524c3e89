#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>

#include "ScriptFixture.h"
#include "framework/core/object/SmartPtr.h"

namespace lua_test {

namespace {

using Qmv2::GameNode;
using Qmv2::Lua;
using Qmv2::SmartPtr;
using QmvTest::ScriptDialog;
using QmvTest::ScriptFixture;
using QmvTest::ScriptSprite;

using LuaTest = ScriptFixture;
using ::testing::EndsWith;

TEST_F(LuaTest, CreateStartsOneInterpreterWithTheStandardLibraries)
{
    Lua fresh;
    EXPECT_EQ(fresh.GetState(), nullptr);
    EXPECT_EQ(fresh.GetScriptFolder(), "script/");

    Lua* lua = StartInterpreter();
    EXPECT_EQ(Lua::GetInstance(), lua);
    EXPECT_EQ(lua->GetRefCount(), 1);
    EXPECT_EQ(Eval("return string.upper('abc') .. math.floor(2.5) .. type(table.insert) .. type(os.time)"),
              "ABC2functionfunction");
    EXPECT_EQ(Eval("return type(_ALERT)"), "function");
    EXPECT_EQ(Eval("return select('#', _ALERT('shown nowhere'))"), "0");
    EXPECT_EQ(Eval("return select('#', _ALERT())"), "0");

    // A second start-up command keeps the interpreter and what it holds.
    Eval("kept = 42");
    EXPECT_EQ(Lua::Create(), lua);
    EXPECT_EQ(lua->GetRefCount(), 1);
    EXPECT_EQ(Eval("return kept"), "42");
}

TEST_F(LuaTest, WithoutInterpreterNodesHaveNoScriptObjectAndBindingDoesNothing)
{
    WriteClassScripts();
    SmartPtr<ScriptDialog> dialog = new ScriptDialog();
    EXPECT_EQ(dialog->GetScriptRef(), GameNode::kNoScriptObject);

    // An interpreter that is not initialised binds nothing either.
    Lua idle;
    EXPECT_EQ(idle.setupMetatableForClass(nullptr, "qmv.GameNode", "script/GameNode.lua", "GameNode", nullptr), 0);
    idle.BindScriptClass("Sprite.lua", dialog.Get(), "qmv.Sprite", "qmv.GameNode", "Sprite", nullptr);
    EXPECT_EQ(idle.CreateScriptObject(dialog.Get(), nullptr), GameNode::kNoScriptObject);
}

TEST_F(LuaTest, NodeWithoutScriptObjectNeverGivesNilAMetatable)
{
    WriteClassScripts();
    SmartPtr<GameNode> early = new GameNode();  // made before the interpreter
    Lua* lua = StartInterpreter();
    SmartPtr<GameNode> root = new GameNode();   // sets the root class up
    lua->BindScriptClass("Sprite.lua", early.Get(), "qmv.Sprite", "qmv.GameNode", "Sprite", ScriptSprite::s_Methods);

    EXPECT_EQ(Eval("return debug.getmetatable(nil)"), "nil");
    EXPECT_EQ(Eval("return (nil).kind"), "error: [string \"return (nil).kind\"]:1: attempt to index a nil value");
    // The class itself was still set up for later sprites.
    EXPECT_EQ(Eval("return type(debug.getregistry()['qmv.Sprite'].kind)"), "function");
}

TEST_F(LuaTest, NodeFromAnEarlierInterpreterIsNotBoundIntoTheNewOne)
{
    WriteClassScripts();
    StartInterpreter();
    SmartPtr<GameNode> old = new GameNode();
    Lua::ReleaseInstance();
    Lua* lua = StartInterpreter();
    SmartPtr<GameNode> current = new GameNode();
    Publish("c", *current);

    // The old node's reference number may name another table in the new
    // interpreter; neither binding nor releasing the old node touches it.
    lua->BindScriptClass("Sprite.lua", old.Get(), "qmv.Sprite", "qmv.GameNode", "Sprite", ScriptSprite::s_Methods);
    old.Reset();
    EXPECT_EQ(Eval("return getmetatable(c) == debug.getregistry()['qmv.GameNode']"), "true");
    EXPECT_EQ(Eval("return c['__c++'] ~= nil"), "true");
}

TEST_F(LuaTest, ObjectCheckRaisesArgumentErrors)
{
    WriteClassScripts();
    StartInterpreter();
    SmartPtr<GameNode> node = new GameNode();
    SmartPtr<ScriptSprite> sprite = new ScriptSprite(4);
    Publish("n", *node);
    Publish("s", *sprite);
    Eval("id = getmetatable(s).id");

    EXPECT_EQ(Eval("return id(s)"), "4");
    EXPECT_THAT(Eval("return id()"), EndsWith(":1: bad argument #1 to 'id' (table expected, got no value)"));
    EXPECT_THAT(Eval("return id(12)"), EndsWith(":1: bad argument #1 to 'id' (table expected, got number)"));
    EXPECT_THAT(Eval("return id({})"), EndsWith(":1: bad argument #1 to 'id' (not a C++ object)"));
    EXPECT_THAT(Eval("return id({['__c++'] = 'text'})"), EndsWith(":1: bad argument #1 to 'id' (not a C++ object)"));
    EXPECT_THAT(Eval("return id(n)"), EndsWith(":1: bad argument #1 to 'id' (not a Sprite)"));
    // A full userdata is accepted only when it names a live object.
    EXPECT_THAT(Eval("return id({['__c++'] = newproxy()})"), EndsWith(":1: bad argument #1 to 'id' (not a C++ object)"));
}

TEST_F(LuaTest, ClassScriptErrorWithoutTextIsReportedByItsType)
{
    WriteClassScripts();
    WriteScript("Sprite.lua", "error({})");
    StartInterpreter();
    SmartPtr<GameNode> node = new GameNode();
    ::testing::internal::CaptureStderr();
    SmartPtr<ScriptSprite> sprite = new ScriptSprite();
    std::string reported = ::testing::internal::GetCapturedStderr();
    EXPECT_NE(reported.find("setupMetatableForClass: (error object is a table value)"), std::string::npos)
        << reported;
}

TEST_F(LuaTest, StackIsBalancedAfterEveryBindingStep)
{
    WriteClassScripts();
    Lua* lua = StartInterpreter();
    lua_State* state = State();
    int top = lua_gettop(state);
    {
        SmartPtr<ScriptDialog> dialog = new ScriptDialog();
        SmartPtr<ScriptSprite> sprite = new ScriptSprite();
        EXPECT_EQ(lua_gettop(state), top);
        EXPECT_EQ(lua->setupMetatableForClass("qmv.Sprite", "qmv.Label", nullptr, "Label", nullptr), 0);
        EXPECT_EQ(lua_gettop(state), top);
    }
    EXPECT_EQ(lua_gettop(state), top);
}

TEST(LuaDeathTest, UnprotectedErrorShowsItsTextBeforeTheProcessEnds)
{
    ::setenv("QMV_HEADLESS", "1", 1);
    Lua* lua = Lua::Create();
    lua_State* state = lua->GetState();
    EXPECT_EXIT(
        {
            lua_pushstring(state, "fatal script trouble");
            lua_error(state);
        },
        ::testing::ExitedWithCode(EXIT_FAILURE), "fatal script trouble");
    Lua::ReleaseInstance();
}

}  // namespace

}  // namespace lua_test
