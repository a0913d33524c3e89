// Delivers posted messages, in order, to every listener. Re-entrant: messages
// posted and listeners added or removed during a delivery are deferred until
// the delivery is over; a removed listener is never called again.
#pragma once

#include <cstdint>
#include <deque>
#include <utility>

#include "framework/core/app/Message.h"
#include "framework/core/object/GFVector.h"

namespace Qmv2 {

class iMessageListener;

class MessageHandler : public BaseObject {
public:
    QMV_CLASS_TYPE(MessageHandler, BaseObject)

    explicit MessageHandler(bool unique = true) : m_Unique(unique) {}

    void Post(const Message& message);
    void AddListener(iMessageListener* listener);
    void RemoveListener(iMessageListener* listener);
    void ApplyPendingListeners();

    bool IsDelivering() const { return m_Depth > 0; }
    std::int32_t GetListenerCount() const;
    bool HasListener(const iMessageListener* listener) const;

private:
    void InsertListener(iMessageListener* listener);
    void EraseListener(iMessageListener* listener);

    GFVector<iMessageListener*> m_Listeners;
    GFVector<std::pair<bool, iMessageListener*>> m_Pending;
    std::int32_t m_Depth = 0;
    bool m_Unique;
    std::deque<Message> m_Queue;
};

}  // namespace Qmv2
