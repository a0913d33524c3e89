#include "platform/win32/MessageQueue.h"

#include <map>

namespace platform {
namespace {

std::mutex g_registryLock;
std::map<std::thread::id, std::weak_ptr<MessageQueue>> g_queues;

// Keeps the thread's queue alive for the thread's life and out of the registry after it.
struct ThreadQueue {
    std::shared_ptr<MessageQueue> queue = std::make_shared<MessageQueue>();
    ThreadQueue()
    {
        std::lock_guard<std::mutex> hold(g_registryLock);
        g_queues[std::this_thread::get_id()] = queue;
    }
    ~ThreadQueue()
    {
        std::lock_guard<std::mutex> hold(g_registryLock);
        g_queues.erase(std::this_thread::get_id());
    }
};

bool InFilterRange(UINT message, UINT filterMin, UINT filterMax)
{
    if (filterMin == 0 && filterMax == 0) {
        return true;
    }
    return message >= filterMin && message <= filterMax;
}

bool ForWindow(HWND target, HWND filter)
{
    if (filter == nullptr) {
        return true;
    }
    if (filter == reinterpret_cast<HWND>(static_cast<LONG_PTR>(-1))) {
        return target == nullptr;
    }
    return target == filter;
}

}  // namespace

MessageQueue& MessageQueue::ForThisThread()
{
    thread_local ThreadQueue mine;
    return *mine.queue;
}

std::shared_ptr<MessageQueue> MessageQueue::ForThread(std::thread::id thread)
{
    std::lock_guard<std::mutex> hold(g_registryLock);
    auto it = g_queues.find(thread);
    return it == g_queues.end() ? nullptr : it->second.lock();
}

void MessageQueue::Post(const MSG& msg)
{
    {
        std::lock_guard<std::mutex> hold(m_lock);
        m_messages.push_back(msg);
    }
    m_posted.notify_all();
}

void MessageQueue::PostFirst(const MSG& msg)
{
    {
        std::lock_guard<std::mutex> hold(m_lock);
        m_messages.push_front(msg);
    }
    m_posted.notify_all();
}

void MessageQueue::PostQuit(int exitCode)
{
    {
        std::lock_guard<std::mutex> hold(m_lock);
        m_quit = true;
        m_exitCode = exitCode;
    }
    m_posted.notify_all();
}

void MessageQueue::Discard(HWND hwnd)
{
    std::lock_guard<std::mutex> hold(m_lock);
    std::erase_if(m_messages, [hwnd](const MSG& msg) { return msg.hwnd == hwnd; });
}

bool MessageQueue::Take(MSG& msg, HWND hwnd, UINT filterMin, UINT filterMax, bool remove)
{
    std::lock_guard<std::mutex> hold(m_lock);
    for (auto it = m_messages.begin(); it != m_messages.end(); ++it) {
        if (InFilterRange(it->message, filterMin, filterMax) && ForWindow(it->hwnd, hwnd)) {
            msg = *it;
            if (remove) {
                m_messages.erase(it);
            }
            return true;
        }
    }
    if (m_quit && InFilterRange(WM_QUIT, filterMin, filterMax)) {
        msg = MSG{};
        msg.message = WM_QUIT;
        msg.wParam = static_cast<WPARAM>(m_exitCode);
        if (remove) {
            m_quit = false;
        }
        return true;
    }
    return false;
}

void MessageQueue::Wait(std::chrono::milliseconds limit)
{
    std::unique_lock<std::mutex> hold(m_lock);
    m_posted.wait_for(hold, limit, [this] { return !m_messages.empty() || m_quit; });
}

std::size_t MessageQueue::Size() const
{
    std::lock_guard<std::mutex> hold(m_lock);
    return m_messages.size();
}

}  // namespace platform
