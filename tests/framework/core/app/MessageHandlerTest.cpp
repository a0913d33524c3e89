#include <gtest/gtest.h>

#include "framework/core/app/MessageRecorder.h"
#include "framework/core/app/MessageHandler.h"

namespace message_handler_test {

using Qmv2::Message;
using Qmv2::MessageHandler;
using QmvTest::MessageRecorder;

namespace {

class CountedData : public Qmv2::MessageData {
public:
    explicit CountedData(int* destroyed) : m_Destroyed(destroyed) {}
    ~CountedData() override { ++*m_Destroyed; }

private:
    int* m_Destroyed;
};

}  // namespace

TEST(MessageHandlerTest, EveryListenerSeesEveryMessageInOrder)
{
    MessageHandler handler;
    MessageRecorder a, b;
    handler.AddListener(&a);
    handler.AddListener(&b);
    std::vector<char> order;
    a.onMessage = [&](const Message&) { order.push_back('a'); };
    b.onMessage = [&](const Message&) { order.push_back('b'); };
    handler.Post(Message(1));
    handler.Post(Message(0x402));
    EXPECT_EQ(a.Ids(), (std::vector<std::uint32_t>{1, 0x402}));
    EXPECT_EQ(b.Ids(), (std::vector<std::uint32_t>{1, 0x402}));
    EXPECT_EQ(order, (std::vector<char>{'a', 'b', 'a', 'b'}));
    EXPECT_EQ(a.received[0].data.Get(), nullptr);
}

TEST(MessageHandlerTest, MessagePostedDuringDeliveryComesAfterEveryListenerSawTheCurrentOne)
{
    MessageHandler handler;
    MessageRecorder first, second;
    handler.AddListener(&first);
    handler.AddListener(&second);
    std::vector<std::pair<char, std::uint32_t>> log;
    first.onMessage = [&](const Message& m) {
        log.push_back({'1', m.GetId()});
        if (m.GetId() == 2) {
            handler.Post(Message(3));
            EXPECT_TRUE(handler.IsDelivering());
        }
    };
    second.onMessage = [&](const Message& m) { log.push_back({'2', m.GetId()}); };
    handler.Post(Message(2));
    const std::vector<std::pair<char, std::uint32_t>> expected{{'1', 2}, {'2', 2}, {'1', 3}, {'2', 3}};
    EXPECT_EQ(log, expected);
    EXPECT_FALSE(handler.IsDelivering());
}

TEST(MessageHandlerTest, ListenerRemovedDuringDeliveryIsNeverCalledAgain)
{
    MessageHandler handler;
    MessageRecorder remover, removed;
    handler.AddListener(&remover);
    handler.AddListener(&removed);
    remover.onMessage = [&](const Message& m) {
        if (m.GetId() == 1) {
            handler.RemoveListener(&removed);
            handler.Post(Message(2));
        }
    };
    handler.Post(Message(1));
    handler.Post(Message(4));
    EXPECT_TRUE(removed.received.empty());
    EXPECT_EQ(remover.Ids(), (std::vector<std::uint32_t>{1, 2, 4}));
    EXPECT_EQ(handler.GetListenerCount(), 1);
    EXPECT_FALSE(handler.HasListener(&removed));
}

TEST(MessageHandlerTest, ListenerAddedDuringDeliverySeesOnlyLaterPosts)
{
    MessageHandler handler;
    MessageRecorder adder, late;
    handler.AddListener(&adder);
    adder.onMessage = [&](const Message& m) {
        if (m.GetId() == 1) {
            handler.AddListener(&late);
            handler.Post(Message(2));
        }
    };
    handler.Post(Message(1));
    EXPECT_TRUE(late.received.empty());
    handler.Post(Message(5));
    EXPECT_EQ(late.Ids(), (std::vector<std::uint32_t>{5}));
}

TEST(MessageHandlerTest, AddingTwiceKeepsOneEntryAtTheEnd)
{
    MessageHandler handler;
    MessageRecorder a, b;
    std::vector<char> order;
    a.onMessage = [&](const Message&) { order.push_back('a'); };
    b.onMessage = [&](const Message&) { order.push_back('b'); };
    handler.AddListener(&a);
    handler.AddListener(&b);
    handler.AddListener(&a);
    EXPECT_EQ(handler.GetListenerCount(), 2);
    handler.Post(Message(1));
    EXPECT_EQ(order, (std::vector<char>{'b', 'a'}));
}

TEST(MessageHandlerTest, AddThenRemoveDuringOneDeliveryLeavesNothing)
{
    MessageHandler handler;
    MessageRecorder driver, other;
    handler.AddListener(&driver);
    driver.onMessage = [&](const Message&) {
        handler.AddListener(&other);
        handler.RemoveListener(&other);
    };
    handler.Post(Message(1));
    EXPECT_FALSE(handler.HasListener(&other));
}

TEST(MessageHandlerTest, DataIsReleasedWhenTheLastCopyGoes)
{
    int destroyed = 0;
    {
        MessageHandler handler;
        MessageRecorder keeper;
        handler.AddListener(&keeper);
        handler.Post(Message(8, new CountedData(&destroyed)));
        EXPECT_EQ(destroyed, 0);  // the recorder still holds it
        keeper.received.clear();
        EXPECT_EQ(destroyed, 1);
    }
    EXPECT_EQ(destroyed, 1);
}

TEST(MessageDataTest, KindsAreTestedThroughTheRecords)
{
    Qmv2::SmartPtr<Qmv2::MessageData> mouse(new Qmv2::MouseMessageData(3, 4, 1));
    EXPECT_NE(Qmv2::MessageDataAs<Qmv2::MouseMessageData>(mouse.Get()), nullptr);
    EXPECT_EQ(Qmv2::MessageDataAs<Qmv2::KeyboardMessageData>(mouse.Get()), nullptr);
    Qmv2::GFVector<std::string> files;
    files.PushBack("/tmp/a.txt");
    Qmv2::SmartPtr<Qmv2::MessageData> drop(new Qmv2::DragDropMessageData(files, {1, 2}));
    EXPECT_EQ(drop->GetType(), &Qmv2::TemplateMessageData<Qmv2::GFVector<std::string>>::s_Type);
    auto* asTemplate = Qmv2::MessageDataAs<Qmv2::TemplateMessageData<Qmv2::GFVector<std::string>>>(drop.Get());
    ASSERT_NE(asTemplate, nullptr);
    EXPECT_EQ(asTemplate->m_Value[0], "/tmp/a.txt");
    EXPECT_EQ(Qmv2::MessageDataAs<Qmv2::TemplateMessageData<bool>>(drop.Get()), nullptr);
}

TEST(MessageDataTest, KeyStrokeTextIsTheLowerCaseOfTheCharacter)
{
    Qmv2::KeyboardMessageData upper('A', 0);
    EXPECT_EQ(upper.m_Text, "a");
    EXPECT_TRUE(upper.m_HasText);
    EXPECT_EQ(upper.m_VariantKeyCode, 0);
    Qmv2::KeyboardMessageData none(0, 20);
    EXPECT_EQ(none.m_Text, "");
    EXPECT_FALSE(none.m_HasText);
    EXPECT_EQ(none.m_VariantKeyCode, 20);
    Qmv2::KeyboardMessageData umlaut(0xC4, 0);
    EXPECT_EQ(umlaut.m_Text, "\xC3\xA4");
    Qmv2::ScrollMessageData scroll(-2.0f);
    EXPECT_FLOAT_EQ(scroll.m_Magnitude, 2.0f);
    EXPECT_FALSE(scroll.m_Upward);
}

}  // namespace message_handler_test
