#include "platform/win32/MessageQueue.h"
#include "platform/win32/WinKeys.h"
#include "platform/win32/WinMessages.h"
#include "ThreadBlocks.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

namespace messages_test {


namespace {

const HWND kThreadOnly = reinterpret_cast<HWND>(static_cast<LONG_PTR>(-1));

// Empties the calling thread's queue, quit request included.
void Drain()
{
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    }
}

class MessagesTest : public ::testing::Test {
protected:
    void SetUp() override { Drain(); }
    void TearDown() override { Drain(); }
};

TEST_F(MessagesTest, PostedMessagesComeBackInOrderOnce)
{
    ASSERT_TRUE(PostMessageA(nullptr, WM_USER + 1, 10, 20));
    ASSERT_TRUE(PostMessageA(nullptr, WM_USER + 2, 30, 40));
    MSG msg{};
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE));
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_USER + 1));
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_USER + 1));
    EXPECT_EQ(msg.wParam, 10u);
    EXPECT_EQ(msg.lParam, 20);
    EXPECT_EQ(msg.hwnd, nullptr);
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_USER + 2));
    EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
}

TEST_F(MessagesTest, FiltersPickMatchingMessagesAndLeaveTheRest)
{
    PostMessageA(nullptr, WM_USER + 1, 0, 0);
    PostMessageA(nullptr, WM_KEYDOWN, VK_SPACE, 1);
    PostMessageA(nullptr, WM_USER + 2, 0, 0);
    MSG msg{};
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, WM_KEYFIRST, WM_KEYLAST, PM_REMOVE));
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_KEYDOWN));
    EXPECT_FALSE(PeekMessageA(&msg, nullptr, WM_KEYFIRST, WM_KEYLAST, PM_REMOVE));
    // Thread messages pass the "thread only" filter; a filter for a window finds none of them.
    EXPECT_FALSE(PeekMessageA(&msg, reinterpret_cast<HWND>(static_cast<UINT_PTR>(0x1234)), 0, 0, PM_REMOVE));
    ASSERT_TRUE(PeekMessageA(&msg, kThreadOnly, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_USER + 1));
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_USER + 2));
}

TEST_F(MessagesTest, QuitComesAfterEverythingAlreadyWaiting)
{
    PostMessageA(nullptr, WM_USER, 0, 0);
    PostQuitMessage(3);
    PostMessageA(nullptr, WM_USER + 1, 0, 0);
    MSG msg{};
    EXPECT_EQ(GetMessageA(&msg, nullptr, 0, 0), TRUE);
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_USER));
    EXPECT_EQ(GetMessageA(&msg, nullptr, 0, 0), TRUE);
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_USER + 1));
    EXPECT_EQ(GetMessageA(&msg, nullptr, 0, 0), FALSE);
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_QUIT));
    EXPECT_EQ(msg.wParam, 3u);
    EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) << "the quit request is taken once";
    EXPECT_EQ(GetMessageA(nullptr, nullptr, 0, 0), -1);
}

TEST_F(MessagesTest, GetMessageWaitsForAPostFromAnotherThread)
{
    auto queue = platform::MessageQueue::ForThread(std::this_thread::get_id());
    ASSERT_NE(queue, nullptr);
    const pid_t waiter = QmvTest::ThisThreadId();
    std::atomic<bool> returned{false};
    bool sawItWait = false;
    // Posts only once this thread sleeps in GetMessageA (or has returned from
    // it), so that the message cannot be there before the call looks.
    std::thread poster([&] {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        while (!returned.load() && std::chrono::steady_clock::now() < deadline) {
            if (QmvTest::ThreadBlockedOnFutex(waiter)) {
                sawItWait = true;
                break;
            }
            std::this_thread::yield();
        }
        MSG msg{};
        msg.message = WM_APP + 7;
        queue->Post(msg);
    });
    MSG msg{};
    EXPECT_EQ(GetMessageA(&msg, nullptr, 0, 0), TRUE);
    returned = true;
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_APP + 7));
    poster.join();
    EXPECT_TRUE(sawItWait) << "GetMessageA returned, or did not sleep within a minute, before the post";
}

TEST_F(MessagesTest, EachThreadHasItsOwnQueue)
{
    PostMessageA(nullptr, WM_USER + 5, 0, 0);
    bool otherSaw = true;
    std::thread other([&otherSaw] {
        MSG msg{};
        otherSaw = PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE) != FALSE;
    });
    other.join();
    EXPECT_FALSE(otherSaw);
    MSG msg{};
    EXPECT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
}

TEST_F(MessagesTest, TranslateMessageMakesCharactersOfControlKeysAhead)
{
    PostMessageA(nullptr, WM_USER, 0, 0);
    MSG key{};
    key.message = WM_KEYDOWN;
    key.wParam = VK_RETURN;
    key.lParam = 0x001C0001;
    EXPECT_TRUE(TranslateMessage(&key));
    MSG msg{};
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_CHAR));
    EXPECT_EQ(msg.wParam, 0x0Du);
    EXPECT_EQ(msg.lParam, 0x001C0001);
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_USER));

    key.wParam = 'A';
    EXPECT_FALSE(TranslateMessage(&key)) << "letters get their characters from the text input";
    key.message = WM_KEYUP;
    key.wParam = VK_ESCAPE;
    EXPECT_FALSE(TranslateMessage(&key));
    EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
}

TEST_F(MessagesTest, KeyStateFollowsTheMessagesTakenNotThosePosted)
{
    const LPARAM rightCtrl = 0x011D0001;
    PostMessageA(nullptr, WM_KEYDOWN, VK_CONTROL, rightCtrl);
    EXPECT_EQ(GetKeyState(VK_CONTROL) & 0x80, 0) << "not yet taken from the queue";
    MSG msg{};
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE));
    EXPECT_EQ(GetKeyState(VK_CONTROL) & 0x80, 0) << "a look does not take it";
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_NE(GetKeyState(VK_CONTROL) & 0x80, 0);
    EXPECT_LT(GetKeyState(VK_CONTROL), 0) << "the high bit too";
    EXPECT_NE(GetKeyState(VK_RCONTROL) & 0x80, 0);
    EXPECT_EQ(GetKeyState(VK_LCONTROL) & 0x80, 0);

    PostMessageA(nullptr, WM_KEYUP, VK_CONTROL, rightCtrl | (3LL << 30));
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(GetKeyState(VK_CONTROL) & 0x80, 0);

    // Toggle keys flip on each press.
    const bool capsBefore = (GetKeyState(VK_CAPITAL) & 1) != 0;
    PostMessageA(nullptr, WM_KEYDOWN, VK_CAPITAL, 0x003A0001);
    PostMessageA(nullptr, WM_KEYUP, VK_CAPITAL, 0xC03A0001);
    Drain();
    EXPECT_NE((GetKeyState(VK_CAPITAL) & 1) != 0, capsBefore);
    EXPECT_EQ(GetKeyState(0) & 0x80, 0);
}

}  // namespace

}  // namespace messages_test
