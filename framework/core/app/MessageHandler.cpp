#include "framework/core/app/MessageHandler.h"

#include "framework/core/app/iMessageListener.h"

namespace Qmv2 {

void MessageHandler::Post(const Message& message)
{
    m_Queue.push_back(message);
    if (m_Depth != 0) {
        return;
    }
    m_Depth = 1;
    while (!m_Queue.empty()) {
        const Message& current = m_Queue.front();
        // Additions wait for the end of the delivery, so the count is stable;
        // removed listeners are nulled in place and skipped.
        for (std::int32_t i = 0; i < m_Listeners.GetCount(); ++i) {
            if (iMessageListener* listener = m_Listeners[i]) {
                listener->OnMessage(current);
            }
        }
        m_Queue.pop_front();
    }
    m_Depth = 0;
    ApplyPendingListeners();
}

void MessageHandler::AddListener(iMessageListener* listener)
{
    if (listener == nullptr) {
        return;
    }
    if (m_Depth < 1) {
        InsertListener(listener);
    } else {
        m_Pending.PushBack({true, listener});
    }
}

void MessageHandler::RemoveListener(iMessageListener* listener)
{
    if (m_Depth < 1) {
        EraseListener(listener);
        return;
    }
    for (iMessageListener*& entry : m_Listeners) {
        if (entry == listener) {
            entry = nullptr;
            break;
        }
    }
    m_Pending.PushBack({false, listener});
}

void MessageHandler::ApplyPendingListeners()
{
    if (m_Depth != 0) {
        return;
    }
    for (const auto& [add, listener] : m_Pending) {
        if (add) {
            InsertListener(listener);
        } else {
            EraseListener(listener);
        }
    }
    m_Pending.Clear();
    for (std::int32_t i = m_Listeners.GetCount() - 1; i >= 0; --i) {
        if (m_Listeners[i] == nullptr) {
            m_Listeners.Erase(&m_Listeners[i], &m_Listeners[i] + 1);
        }
    }
}

std::int32_t MessageHandler::GetListenerCount() const
{
    std::int32_t count = 0;
    for (const iMessageListener* entry : m_Listeners) {
        count += entry != nullptr ? 1 : 0;
    }
    return count;
}

bool MessageHandler::HasListener(const iMessageListener* listener) const
{
    return listener != nullptr && m_Listeners.Contains(listener);
}

void MessageHandler::InsertListener(iMessageListener* listener)
{
    if (m_Unique) {
        EraseListener(listener);
    }
    m_Listeners.PushBack(listener);
}

void MessageHandler::EraseListener(iMessageListener* listener)
{
    iMessageListener** found = m_Listeners.Find(listener);
    if (found != m_Listeners.end()) {
        m_Listeners.Erase(found, found + 1);
    }
}

}  // namespace Qmv2
