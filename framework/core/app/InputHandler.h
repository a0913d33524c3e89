// Carries input messages from the window's message handler to the listeners on
// screen: queued as they arrive, delivered once per frame to the listeners of
// the game tree (drawn last, offered first) after the directly registered ones.
#pragma once

#include <deque>
#include <memory>

#include "framework/core/app/InputTreeNode.h"
#include "framework/core/app/Message.h"
#include "framework/core/app/iInputListener.h"
#include "framework/core/app/iMessageListener.h"
#include "framework/core/app/iTask.h"
#include "framework/core/object/GFVector.h"
#include "framework/core/object/SmartPtr.h"
#include "framework/core/object/iInstance.h"
#include "framework/core/util/Mutex.h"

namespace Qmv2 {

class InputHandler : public iTask, public iMessageListener, public iInstance<InputHandler> {
public:
    QMV_CLASS_TYPE(InputHandler, iTask)

    explicit InputHandler(InputTreeNode* root);
    ~InputHandler() override;

    void OnMessage(const Message& message) override;
    void Execute(std::int32_t dt) override;
    BaseObject* GetOwner() override { return this; }

    // Registered listeners are offered every event before the tree's listeners.
    void RegisterListener(iInputListener* listener);
    void UnregisterListener(iInputListener* listener) { RemoveListener(m_Registered, listener); }
    // Resets the input state of every listener below `node` (not of `node` itself).
    static void ResetSubtree(InputTreeNode* node);

    std::size_t GetQueuedCount() const { return m_Queue.size(); }
    std::int32_t GetRegisteredCount() const { return m_Registered.GetCount(); }

private:
    static void RemoveListener(GFVector<iInputListener*>& list, iInputListener* listener);
    static void ClearList(GFVector<iInputListener*>& list);
    static void Deliver(const Message& message, const GFVector<iInputListener*>& listeners);
    void Gather();

    std::deque<Message> m_Queue;
    std::unique_ptr<Mutex> m_Mutex;
    SmartPtr<InputTreeNode> m_Root;
    GFVector<iInputListener*> m_Listeners;
    GFVector<iInputListener*> m_Registered;
};

}  // namespace Qmv2
