#include "platform/win32/WinMessages.h"

#include "platform/win32/MessageQueue.h"
#include "platform/win32/WinEvents.h"
#include "platform/win32/WinInput.h"
#include "platform/win32/WinKeys.h"
#include "platform/win32/WinTime.h"
#include "platform/win32/WindowTable.h"

namespace platform {
namespace {

// Takes the next message, reading the display's events first on the event thread.
bool Next(MSG& msg, HWND hwnd, UINT filterMin, UINT filterMax, bool remove)
{
    PumpEvents();
    if (!MessageQueue::ForThisThread().Take(msg, hwnd, filterMin, filterMax, remove)) {
        return false;
    }
    if (remove) {
        MessageKeys().Apply(msg);
    }
    return true;
}

MSG Stamped(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    MSG msg{hwnd, message, wParam, lParam, timeGetTime(), POINT{0, 0}};
    GetCursorPos(&msg.pt);
    return msg;
}

}  // namespace
}  // namespace platform

BOOL PeekMessageA(LPMSG msg, HWND hwnd, UINT filterMin, UINT filterMax, UINT removeFlags)
{
    if (msg == nullptr) {
        return FALSE;
    }
    return platform::Next(*msg, hwnd, filterMin, filterMax, (removeFlags & PM_REMOVE) != 0) ? TRUE : FALSE;
}

BOOL GetMessageA(LPMSG msg, HWND hwnd, UINT filterMin, UINT filterMax)
{
    if (msg == nullptr) {
        return -1;
    }
    platform::MessageQueue& queue = platform::MessageQueue::ForThisThread();
    while (!platform::Next(*msg, hwnd, filterMin, filterMax, true)) {
        // Display events do not wake the queue, so the wait is short on the event thread;
        // a queue holding only filtered-out messages is not spun on either.
        const bool idle = queue.Size() == 0 && !platform::IsEventThread();
        queue.Wait(std::chrono::milliseconds(idle ? 100 : 5));
        if (!idle) {
            Sleep(1);
        }
    }
    return msg->message == WM_QUIT ? FALSE : TRUE;
}

BOOL TranslateMessage(const MSG* msg)
{
    if (msg == nullptr || (msg->message != WM_KEYDOWN && msg->message != WM_SYSKEYDOWN)) {
        return FALSE;
    }
    WPARAM character = 0;
    switch (msg->wParam) {
    case VK_BACK:
        character = 0x08;
        break;
    case VK_TAB:
        character = 0x09;
        break;
    case VK_RETURN:
        character = 0x0D;
        break;
    case VK_ESCAPE:
        character = 0x1B;
        break;
    default:
        return FALSE;
    }
    const UINT message = msg->message == WM_SYSKEYDOWN ? WM_SYSCHAR : WM_CHAR;
    // Windows' lParam of the character keeps the key's repeat count, scan code and flags.
    MSG translated = platform::Stamped(msg->hwnd, message, character, msg->lParam);
    platform::MessageQueue::ForThisThread().PostFirst(translated);
    return TRUE;
}

BOOL PostMessageA(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (hwnd == nullptr) {
        platform::MessageQueue::ForThisThread().Post(platform::Stamped(nullptr, message, wParam, lParam));
        return TRUE;
    }
    platform::WindowInfo info;
    if (!platform::WindowTable::Instance().Find(hwnd, info)) {
        return FALSE;
    }
    auto queue = platform::MessageQueue::ForThread(info.owner);
    if (queue == nullptr) {
        return FALSE;
    }
    queue->Post(platform::Stamped(hwnd, message, wParam, lParam));
    return TRUE;
}

void PostQuitMessage(int exitCode)
{
    platform::MessageQueue::ForThisThread().PostQuit(exitCode);
}
