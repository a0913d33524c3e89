#include <gtest/gtest.h>

#include <string>

#include "ScriptFixture.h"
#include "framework/core/object/SmartPtr.h"

namespace script_class_test {

namespace {

using Qmv2::GameNode;
using Qmv2::Lua;
using Qmv2::SmartPtr;
using QmvTest::ScriptDialog;
using QmvTest::ScriptFixture;
using QmvTest::ScriptSprite;

using ScriptClassTest = ScriptFixture;

TEST_F(ScriptClassTest, NodeScriptObjectPointsBackAndUsesTheRootClass)
{
    WriteClassScripts();
    StartInterpreter();
    SmartPtr<GameNode> node = new GameNode();
    ASSERT_NE(node->GetScriptRef(), GameNode::kNoScriptObject);
    Publish("n", *node);

    lua_State* state = State();
    lua_getglobal(state, "n");
    lua_getfield(state, -1, Lua::kObjectField);
    EXPECT_EQ(lua_touserdata(state, -1), static_cast<Qmv2::BaseObject*>(node.Get()));
    lua_pop(state, 2);

    EXPECT_EQ(Eval("return getmetatable(n) == debug.getregistry()['qmv.GameNode']"), "true");
    EXPECT_EQ(Eval("return n:name()"), "game node");
    // The root class: the script function replaces the native "__tostring".
    EXPECT_EQ(Eval("return tostring(n)"), "scripted node");
    // The root class table gets no metatable.
    EXPECT_EQ(Eval("return getmetatable(qmv.GameNode)"), "nil");
}

TEST_F(ScriptClassTest, RootClassScriptRunsOnceForAllNodes)
{
    WriteClassScripts();
    StartInterpreter();
    SmartPtr<GameNode> first = new GameNode();
    SmartPtr<GameNode> second = new GameNode();
    EXPECT_NE(first->GetScriptRef(), second->GetScriptRef());
    EXPECT_EQ(Eval("return gameNodeRuns"), "1");
}

TEST_F(ScriptClassTest, NativeRootMethodStandsWhenTheScriptDoesNotReplaceIt)
{
    WriteScript("GameNode.lua", "qmv = { GameNode = {} }");
    StartInterpreter();
    SmartPtr<GameNode> node = new GameNode();
    Publish("n", *node);
    EXPECT_EQ(Eval("return tostring(n)"), node->ToShortString());
    // Called on the class metatable itself, which points at no node.
    EXPECT_EQ(Eval("local m = getmetatable(n) return m.__tostring(m)"), "GameNode metatable?");
}

TEST_F(ScriptClassTest, SpriteClassFallsBackToTheGameNodeClass)
{
    WriteClassScripts();
    StartInterpreter();
    SmartPtr<ScriptSprite> sprite = new ScriptSprite(7);
    Publish("s", *sprite);

    EXPECT_EQ(Eval("return getmetatable(s) == debug.getregistry()['qmv.Sprite']"), "true");
    // Entries of the base class were copied in; the script's own entries and
    // the natives are there too.
    EXPECT_EQ(Eval("return s:name()"), "game node");
    EXPECT_EQ(Eval("return s:spin()"), "spinning game node");
    EXPECT_EQ(Eval("return s:id()"), "7");
    // For a bound subclass the native method wins over the script function.
    EXPECT_EQ(Eval("return s:kind()"), "native sprite");
    // The class table leads to the class metatable.
    EXPECT_EQ(Eval("return getmetatable(qmv.Sprite) == debug.getregistry()['qmv.Sprite']"), "true");
    EXPECT_EQ(Eval("return qmv.Sprite.id == getmetatable(s).id"), "true");
    EXPECT_EQ(Eval("local m = getmetatable(s) return rawget(m, '__index') == m"), "true");
}

TEST_F(ScriptClassTest, SpriteClassScriptRunsOnlyForTheFirstSprite)
{
    WriteClassScripts();
    StartInterpreter();
    SmartPtr<ScriptSprite> first = new ScriptSprite(1);
    SmartPtr<ScriptSprite> second = new ScriptSprite(2);
    Publish("a", *first);
    Publish("b", *second);
    EXPECT_EQ(Eval("return spriteRuns"), "1");
    EXPECT_EQ(Eval("return getmetatable(a) == getmetatable(b)"), "true");
    EXPECT_EQ(Eval("return a:id() .. ',' .. b:id()"), "1,2");
}

TEST_F(ScriptClassTest, DialogClassHoldsTheBaseEntriesAsTheyStoodWhenItWasMade)
{
    WriteClassScripts();
    StartInterpreter();
    SmartPtr<ScriptDialog> dialog = new ScriptDialog(3);
    Publish("d", *dialog);

    EXPECT_EQ(Eval("return getmetatable(d) == debug.getregistry()['qmv.Dialog']"), "true");
    EXPECT_EQ(Eval("return d:isDialog()"), "true");
    EXPECT_EQ(Eval("return d:title()"), "dialog title");
    EXPECT_EQ(Eval("return d:kind()"), "native sprite");
    EXPECT_EQ(Eval("return d:name()"), "game node");
    EXPECT_EQ(Eval("return d:id()"), "3");

    // A later change to the Sprite class does not reach the Dialog class: its
    // entries were copied, not linked.
    EXPECT_EQ(Eval("debug.getregistry()['qmv.Sprite'].late = function() return 1 end "
                   "return d.late"),
              "nil");
}

TEST_F(ScriptClassTest, BrokenSpriteScriptIsReportedOnceAndSpritesActAsPlainNodes)
{
    WriteClassScripts();
    WriteScript("Sprite.lua", "spriteRuns = (spriteRuns or 0) + 1\nerror('sprite script broke')\n");
    StartInterpreter();

    ::testing::internal::CaptureStderr();
    SmartPtr<ScriptSprite> first = new ScriptSprite(1);
    SmartPtr<ScriptSprite> second = new ScriptSprite(2);
    std::string reported = ::testing::internal::GetCapturedStderr();

    EXPECT_NE(reported.find("setupMetatableForClass"), std::string::npos) << reported;
    EXPECT_NE(reported.find("sprite script broke"), std::string::npos) << reported;
    EXPECT_EQ(reported.find("sprite script broke"), reported.rfind("sprite script broke")) << "reported twice";
    Publish("a", *first);
    Publish("b", *second);
    EXPECT_EQ(Eval("return spriteRuns"), "1");

    // The first sprite keeps the node class; the second gets the partly filled
    // Sprite class, which still leads to the node class.
    EXPECT_EQ(Eval("return getmetatable(a) == debug.getregistry()['qmv.GameNode']"), "true");
    EXPECT_EQ(Eval("return getmetatable(b) == debug.getregistry()['qmv.Sprite']"), "true");
    for (const char* name : {"a", "b"}) {
        EXPECT_EQ(Eval(std::string("return ") + name + ":name()"), "game node");
        EXPECT_EQ(Eval(std::string("return ") + name + ".kind"), "nil");
    }
}

TEST_F(ScriptClassTest, SyntaxErrorAndMissingScriptAreReportedWithTheirText)
{
    WriteClassScripts();
    WriteScript("Sprite.lua", "qmv.Sprite = {\n");
    StartInterpreter();
    SmartPtr<GameNode> node = new GameNode();

    ::testing::internal::CaptureStderr();
    SmartPtr<ScriptSprite> sprite = new ScriptSprite();
    std::string reported = ::testing::internal::GetCapturedStderr();
    EXPECT_NE(reported.find("script/Sprite.lua:2"), std::string::npos) << reported;

    Lua::ReleaseInstance();
    node.Reset();
    sprite.Reset();
    std::filesystem::remove(m_Folder / "script" / "GameNode.lua");
    StartInterpreter();
    ::testing::internal::CaptureStderr();
    SmartPtr<GameNode> orphan = new GameNode();
    reported = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(reported.find("GameNode.lua"), std::string::npos) << "an absent script is no error: " << reported;
    // The node still has its script object with the native methods.
    ASSERT_NE(orphan->GetScriptRef(), GameNode::kNoScriptObject);
    Publish("o", *orphan);
    EXPECT_EQ(Eval("return tostring(o)"), orphan->ToShortString());
}

TEST_F(ScriptClassTest, MissingClassTableIsReportedAndNativesStillWork)
{
    WriteClassScripts();
    WriteScript("Sprite.lua", "qmv.Sprite = { kind = function() return 'x' end }\n");
    StartInterpreter();
    SmartPtr<ScriptSprite> sprite = new ScriptSprite(5);

    ::testing::internal::CaptureStderr();
    SmartPtr<ScriptDialog> dialog = new ScriptDialog(6);
    std::string reported = ::testing::internal::GetCapturedStderr();
    EXPECT_NE(reported.find("qmv.Dialog"), std::string::npos) << reported;

    Publish("d", *dialog);
    EXPECT_EQ(Eval("return getmetatable(d) == debug.getregistry()['qmv.Dialog']"), "true");
    EXPECT_EQ(Eval("return tostring(d:isDialog()) .. d:id()"), "true6");
}

TEST_F(ScriptClassTest, ReleasedNodeTableNoLongerReachesTheNode)
{
    WriteClassScripts();
    StartInterpreter();
    auto* sprite = new ScriptSprite(9);
    sprite->AddRef();
    Publish("kept", *sprite);
    EXPECT_EQ(Eval("copy = { ['__c++'] = kept['__c++'] } setmetatable(copy, getmetatable(kept)) return copy:id()"), "9");
    int ref = sprite->GetScriptRef();
    sprite->Release();

    EXPECT_EQ(Eval("return kept['__c++']"), "nil");
    std::string error = Eval("return kept:id()");
    EXPECT_NE(error.find("not a C++ object"), std::string::npos) << error;
    // A copy of the old address is refused too.
    error = Eval("return copy:id()");
    EXPECT_NE(error.find("not a C++ object"), std::string::npos) << error;
    // The registry no longer holds the table.
    lua_rawgeti(State(), LUA_REGISTRYINDEX, ref);
    EXPECT_FALSE(lua_istable(State(), -1));
    lua_pop(State(), 1);
}

TEST_F(ScriptClassTest, WithoutAnyClassScriptEveryObjectHasItsNativeMethods)
{
    // The shipped content has no script folder at all.
    StartInterpreter();
    ::testing::internal::CaptureStderr();
    SmartPtr<ScriptSprite> first = new ScriptSprite(3);
    SmartPtr<ScriptSprite> second = new ScriptSprite(4);
    const std::string reported = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(reported, "") << "nothing is missing";
    SmartPtr<ScriptDialog> dialog = new ScriptDialog(8);
    Publish("a", *first);
    Publish("b", *second);
    Publish("d", *dialog);
    // Both sprites, not only the one that made the class, reach the natives
    // of their class, of its base and of the root.
    EXPECT_EQ(Eval("return a:id() .. b:id() .. b:kind()"), "34native sprite");
    EXPECT_EQ(Eval("return tostring(d:isDialog()) .. d:id() .. d:kind()"), "true8native sprite");
    EXPECT_EQ(Eval("return tostring(b)"), second->ToShortString());
}

}  // namespace

}  // namespace script_class_test
