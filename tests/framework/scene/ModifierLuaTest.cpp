#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "framework/core/script/ScriptFixture.h"
#include "framework/core/object/SmartPtr.h"
#include "framework/scene/ModifierLuaFunction.h"
#include "framework/scene/ModifierLuaSendCommand.h"
#include "framework/core/object/TrackedObject.h"

namespace modifier_lua_test {

namespace {

using Qmv2::BaseObject;
using Qmv2::GameNode;
using Qmv2::Lua;
using Qmv2::Modifier;
using Qmv2::ModifierLuaFunction;
using Qmv2::ModifierLuaSendCommand;
using Qmv2::SmartPtr;
using Qmv2::UTF8String;
using QmvTest::ScriptFixture;
using QmvTest::TrackedObject;

// Records the commands it receives and counts its destruction.
class CommandNode : public GameNode {
public:
    QMV_CLASS_TYPE(CommandNode, GameNode)

    explicit CommandNode(int* destroyed) : m_Destroyed(destroyed) {}
    ~CommandNode() override { ++*m_Destroyed; }

    void OnButton(const UTF8String& command, BaseObject* parameter) override
    {
        m_Commands.push_back(command.GetString());
        m_Parameters.push_back(parameter);
    }

    std::vector<std::string> m_Commands;
    std::vector<BaseObject*> m_Parameters;

private:
    int* m_Destroyed;
};

class ModifierLuaTest : public ScriptFixture {
protected:
    // Compiles `code` (an expression giving a function) and answers its
    // registry reference, as the animation call stores a "call" entry.
    int FunctionRef(const std::string& code)
    {
        lua_State* state = State();
        EXPECT_EQ(luaL_loadstring(state, ("return " + code).c_str()), 0);
        lua_call(state, 0, 1);
        EXPECT_TRUE(lua_isfunction(state, -1));
        return luaL_ref(state, LUA_REGISTRYINDEX);
    }

    bool RegistryHoldsFunction(int ref)
    {
        lua_rawgeti(State(), LUA_REGISTRYINDEX, ref);
        bool held = lua_isfunction(State(), -1);
        lua_pop(State(), 1);
        return held;
    }
};

TEST_F(ModifierLuaTest, FunctionIsCalledWithTheTargetScriptObjectWhenItFires)
{
    WriteClassScripts();
    StartInterpreter();
    SmartPtr<GameNode> node = new GameNode();
    Publish("target", *node);
    int ref = FunctionRef("function(...) calls = (calls or 0) + 1 count = select('#', ...) got = ... end");

    SmartPtr<ModifierLuaFunction> modifier = new ModifierLuaFunction(ref);
    EXPECT_EQ(modifier->GetType(), &ModifierLuaFunction::s_Type);
    EXPECT_TRUE(modifier->IsOfType(&Modifier::s_Type));
    modifier->SetTarget(node.Get());
    modifier->Start();
    EXPECT_EQ(Eval("return calls"), "nil");
    EXPECT_FALSE(modifier->IsFinished());

    modifier->Finish();
    EXPECT_TRUE(modifier->IsFinished());
    EXPECT_EQ(Eval("return calls"), "1");
    EXPECT_EQ(Eval("return count"), "1");
    EXPECT_EQ(Eval("return rawequal(got, target)"), "true");
}

TEST_F(ModifierLuaTest, FunctionWithoutTargetIsCalledWithNoArgument)
{
    StartInterpreter();
    int ref = FunctionRef("function(...) count = select('#', ...) end");
    SmartPtr<ModifierLuaFunction> modifier = new ModifierLuaFunction(ref);
    modifier->Finish();
    EXPECT_EQ(Eval("return count"), "0");
}

TEST_F(ModifierLuaTest, ErrorInTheFunctionIsCaughtAndTheStackStaysBalanced)
{
    StartInterpreter();
    int ref = FunctionRef("function() reached = true error('animation broke') end");
    SmartPtr<ModifierLuaFunction> modifier = new ModifierLuaFunction(ref);
    int top = lua_gettop(State());
    modifier->Finish();
    EXPECT_TRUE(modifier->IsFinished());
    EXPECT_EQ(lua_gettop(State()), top);
    EXPECT_EQ(Eval("return reached"), "true");
    // The interpreter goes on working.
    EXPECT_EQ(Eval("return 1 + 1"), "2");
}

TEST_F(ModifierLuaTest, FunctionReferenceLivesAsLongAsTheModifier)
{
    StartInterpreter();
    int ref = FunctionRef("function() end");
    auto* modifier = new ModifierLuaFunction(ref);
    modifier->AddRef();
    EXPECT_EQ(modifier->GetFunctionRef(), ref);
    EXPECT_TRUE(RegistryHoldsFunction(ref));

    char hex[16];
    std::snprintf(hex, sizeof hex, "0x%X", ref);
    EXPECT_NE(modifier->ToString().find(hex), std::string::npos) << modifier->ToString();
    EXPECT_EQ(modifier->ToString().rfind("ModifierLuaFunction: 0x", 0), 0u) << modifier->ToString();

    modifier->Release();
    EXPECT_FALSE(RegistryHoldsFunction(ref));
}

TEST_F(ModifierLuaTest, ModifierOutlivingTheInterpreterDoesNothing)
{
    StartInterpreter();
    SmartPtr<ModifierLuaFunction> modifier = new ModifierLuaFunction(FunctionRef("function() end"));
    Lua::ReleaseInstance();
    modifier->Finish();
    EXPECT_TRUE(modifier->IsFinished());
    modifier.Reset();  // no interpreter to give the reference back to
}

TEST_F(ModifierLuaTest, SendCommandHoldsItsReceiverAndParameterAndDeliversOnFinish)
{
    int nodesDestroyed = 0;
    int parametersDestroyed = 0;
    auto* receiver = new CommandNode(&nodesDestroyed);
    auto* parameter = new TrackedObject(&parametersDestroyed);
    auto* modifier = new ModifierLuaSendCommand(receiver, "BUTTON_Play", parameter);
    modifier->AddRef();
    EXPECT_EQ(receiver->GetRefCount(), 1);
    EXPECT_EQ(parameter->GetRefCount(), 1);
    EXPECT_EQ(modifier->GetReceiver(), receiver);
    EXPECT_EQ(modifier->GetCommand(), UTF8String("BUTTON_Play"));
    EXPECT_EQ(modifier->GetParameter(), parameter);
    EXPECT_TRUE(receiver->m_Commands.empty());

    modifier->Finish();
    EXPECT_TRUE(modifier->IsFinished());
    ASSERT_EQ(receiver->m_Commands.size(), 1u);
    EXPECT_EQ(receiver->m_Commands[0], "BUTTON_Play");
    EXPECT_EQ(receiver->m_Parameters[0], parameter);
    EXPECT_EQ(receiver->GetRefCount(), 1);
    EXPECT_NE(modifier->ToString().find("cmd=BUTTON_Play"), std::string::npos) << modifier->ToString();

    modifier->Release();
    EXPECT_EQ(nodesDestroyed, 1);
    EXPECT_EQ(parametersDestroyed, 1);
}

TEST_F(ModifierLuaTest, SendCommandWithoutReceiverOrParameter)
{
    SmartPtr<ModifierLuaSendCommand> silent = new ModifierLuaSendCommand(nullptr, "BUTTON_Quit", nullptr);
    silent->Finish();
    EXPECT_TRUE(silent->IsFinished());

    int destroyed = 0;
    SmartPtr<CommandNode> receiver = new CommandNode(&destroyed);
    SmartPtr<ModifierLuaSendCommand> bare = new ModifierLuaSendCommand(receiver.Get(), "BUTTON_Menu", nullptr);
    bare->Finish();
    ASSERT_EQ(receiver->m_Parameters.size(), 1u);
    EXPECT_EQ(receiver->m_Parameters[0], nullptr);
}

TEST_F(ModifierLuaTest, ModifierTextNamesItsTargetUntilCancelled)
{
    StartInterpreter();
    SmartPtr<GameNode> node = new GameNode();
    SmartPtr<ModifierLuaFunction> modifier = new ModifierLuaFunction(FunctionRef("function() end"));
    modifier->SetName("pop");
    modifier->SetTarget(node.Get());
    EXPECT_NE(modifier->ToString().find("\"pop\"; Client: <" + node->ToShortString() + "> "), std::string::npos)
        << modifier->ToString();
    modifier->SetCancelled(true);
    EXPECT_EQ(modifier->ToString().find("Client:"), std::string::npos) << modifier->ToString();
}

}  // namespace

}  // namespace modifier_lua_test
