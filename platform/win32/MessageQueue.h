// One thread's queue of posted messages, with its quit request. Other
// threads may post into it; only its own thread takes messages out.
#pragma once

#include "platform/win32/WinMessages.h"

#include <chrono>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>

namespace platform {

class MessageQueue {
public:
    // The calling thread's queue, made on first use and dropped when the thread ends.
    static MessageQueue& ForThisThread();
    // The queue of a thread, or null when it has none (any more).
    static std::shared_ptr<MessageQueue> ForThread(std::thread::id thread);

    void Post(const MSG& msg);
    // Puts the message ahead of everything waiting.
    void PostFirst(const MSG& msg);
    void PostQuit(int exitCode);
    // Drops the messages waiting for a window that is gone.
    void Discard(HWND hwnd);

    // The first waiting message that passes the filter (see PeekMessageA); the
    // quit request only when no other message passes. Removes it when asked.
    bool Take(MSG& msg, HWND hwnd, UINT filterMin, UINT filterMax, bool remove);
    // Returns when a message or quit request arrives or the time is up.
    void Wait(std::chrono::milliseconds limit);
    std::size_t Size() const;

private:
    mutable std::mutex m_lock;
    std::condition_variable m_posted;
    std::deque<MSG> m_messages;
    bool m_quit = false;
    int m_exitCode = 0;
};

}  // namespace platform
