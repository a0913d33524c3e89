#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "framework/core/app/InputHandler.h"
#include "framework/scene/GameNode.h"

namespace input_handler_test {

using Qmv2::GameNode;
using Qmv2::InputHandler;
using Qmv2::Message;
using Qmv2::SmartPtr;

namespace {

// A node that takes input and logs what it is offered.
class ListenerNode : public GameNode, public Qmv2::iInputListener {
public:
    ListenerNode(std::string name, std::vector<std::string>* log, bool takes = true)
        : m_Name(std::move(name)), m_Log(log), m_Takes(takes)
    {
    }
    Qmv2::Interface* GetInterface(const Qmv2::ClassType* type) override
    {
        return type == &iInputListener::s_Type ? static_cast<iInputListener*>(this) : GameNode::GetInterface(type);
    }
    BaseObject* GetOwner() override { return this; }

    bool OnLeftButtonDown(Qmv2::MouseMessageData* data) override
    {
        m_Log->push_back(m_Name + (data != nullptr ? ":click" : ":click(null)"));
        return m_Takes;
    }
    bool OnKeyDown(Qmv2::KeyboardMessageData* data) override
    {
        m_Log->push_back(m_Name + (data != nullptr ? ":key" : ":key(null)"));
        return m_Takes;
    }
    void ResetInputState() override { ++resets; }

    int resets = 0;

private:
    std::string m_Name;
    std::vector<std::string>* m_Log;
    bool m_Takes;
};

class InputHandlerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        root = new GameNode;
        handler = new InputHandler(root.Get());
        InputHandler::SetInstance(handler.Get());
        handler->SetRunning(true);
    }
    void TearDown() override { InputHandler::ReleaseInstance(); }

    ListenerNode* Add(GameNode* parent, const std::string& name, bool takes = true)
    {
        auto* node = new ListenerNode(name, &log, takes);
        parent->AddChild(node);
        return node;
    }
    void Click()
    {
        handler->OnMessage(Message(Message::kLeftButtonDown, new Qmv2::MouseMessageData(1, 1, 1)));
    }

    std::vector<std::string> log;
    SmartPtr<GameNode> root;
    SmartPtr<InputHandler> handler;
};

}  // namespace

TEST_F(InputHandlerTest, OnlyInputMessagesAreQueued)
{
    for (std::uint32_t id : {1u, 8u, 0x102u, 0x104u, 0x105u, 0x202u, 0x402u, 9u, 0x103u}) {
        handler->OnMessage(Message(id));
    }
    EXPECT_EQ(handler->GetQueuedCount(), 5u);
    handler->Execute(16);  // nobody listens: the queue is still emptied
    EXPECT_EQ(handler->GetQueuedCount(), 0u);
}

TEST_F(InputHandlerTest, LastDrawnListenerIsOfferedFirstAndStopsTheOthers)
{
    Add(root.Get(), "under");
    Add(root.Get(), "over");
    Click();
    handler->Execute(16);
    EXPECT_EQ(log, (std::vector<std::string>{"over:click"}));
}

TEST_F(InputHandlerTest, RefusedEventGoesOnDownTheList)
{
    auto* parent = Add(root.Get(), "parent");
    Add(parent, "child", false);
    Click();
    handler->Execute(16);
    EXPECT_EQ(log, (std::vector<std::string>{"child:click", "parent:click"}));
}

TEST_F(InputHandlerTest, WrongDataKindIsOfferedWithNull)
{
    Add(root.Get(), "only", false);
    handler->OnMessage(Message(Message::kKeyDown, new Qmv2::MouseMessageData(0, 0, 0)));
    handler->OnMessage(Message(Message::kLeftButtonDown));
    handler->Execute(16);
    EXPECT_EQ(log, (std::vector<std::string>{"only:key(null)", "only:click(null)"}));
}

TEST_F(InputHandlerTest, ExclusiveListenerShutsOutWhatCameBeforeButNotAfterOrRegistered)
{
    auto* before = Add(root.Get(), "before", false);
    auto* dialog = Add(root.Get(), "dialog", false);
    dialog->m_Exclusive = true;
    Add(dialog, "button", false);
    Add(root.Get(), "after", false);
    ListenerNode cheat("cheat", &log, false);
    cheat.AddRef();  // held by the test, not by a tree
    handler->RegisterListener(&cheat);
    Click();
    handler->Execute(16);
    EXPECT_EQ(log, (std::vector<std::string>{"cheat:click", "after:click", "button:click", "dialog:click"}));
    EXPECT_EQ(before->resets, 1);
    handler->UnregisterListener(&cheat);
    EXPECT_EQ(cheat.GetRefCount(), 1);
}

TEST_F(InputHandlerTest, HiddenOrObsoleteSubtreesAreSkippedAndTheirChildrenReset)
{
    auto* hidden = Add(root.Get(), "hidden");
    auto* inner = Add(hidden, "inner");
    hidden->SetVisible(false);
    auto* closed = Add(root.Get(), "closed");
    closed->m_ChildrenAcceptInput = false;
    auto* shut = Add(closed, "shut");
    Click();
    handler->Execute(16);
    handler->Execute(16);
    EXPECT_EQ(log, (std::vector<std::string>{"closed:click"}));
    EXPECT_EQ(hidden->resets, 0);
    EXPECT_EQ(inner->resets, 2);
    EXPECT_EQ(shut->resets, 2);
}

TEST_F(InputHandlerTest, ListenersAddedDuringDeliveryAreHeldAndReleasedAfterIt)
{
    auto* node = Add(root.Get(), "node");
    EXPECT_EQ(node->GetRefCount(), 1);
    Click();
    handler->Execute(16);
    EXPECT_EQ(node->GetRefCount(), 1);
}

TEST_F(InputHandlerTest, RegisteringTwiceKeepsOneEntryAndOneReference)
{
    ListenerNode held("held", &log);
    held.AddRef();
    handler->RegisterListener(&held);
    handler->RegisterListener(&held);
    EXPECT_EQ(handler->GetRegisteredCount(), 1);
    EXPECT_EQ(held.GetRefCount(), 2);
    handler->UnregisterListener(&held);
    EXPECT_EQ(held.GetRefCount(), 1);
    EXPECT_EQ(handler->GetRegisteredCount(), 0);
}

TEST_F(InputHandlerTest, RegisteredListenerWithoutOwnerLeavesTheListWhenDestroyed)
{
    struct Plain : Qmv2::iInputListener {
        bool OnLeftButtonDown(Qmv2::MouseMessageData*) override { return ++clicks > 0; }
        int clicks = 0;
    };
    {
        Plain plain;
        handler->RegisterListener(&plain);
        Click();
        handler->Execute(16);
        EXPECT_EQ(plain.clicks, 1);
        EXPECT_EQ(handler->GetRegisteredCount(), 1);
    }
    EXPECT_EQ(handler->GetRegisteredCount(), 0);
    Click();
    handler->Execute(16);  // would reach the destroyed listener if it had stayed
}

}  // namespace input_handler_test
