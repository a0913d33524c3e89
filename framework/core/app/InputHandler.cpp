#include "framework/core/app/InputHandler.h"

#include <algorithm>

#include "framework/core/app/Application.h"
#include "framework/core/app/GameWindow.h"

namespace Qmv2 {

namespace {

void AddOwnerRef(iInputListener* listener)
{
    if (BaseObject* owner = listener->GetOwner()) {
        owner->AddRef();
    }
}

void ReleaseOwner(iInputListener* listener)
{
    if (BaseObject* owner = listener->GetOwner()) {
        owner->Release();
    }
}

// The next node of a pre-order walk that skips `node`'s children; null at the end.
InputTreeNode* NextAfterSubtree(InputTreeNode* node, const InputTreeNode* root)
{
    while (node != nullptr && node != root) {
        if (InputTreeNode* next = node->GetInputNextSibling()) {
            return next;
        }
        node = node->GetInputParent();
    }
    return nullptr;
}

}  // namespace

InputHandler::InputHandler(InputTreeNode* root)
    : m_Mutex(Mutex::Create("INPUTHANDLER_" + Application::s_GameId)), m_Root(root)
{
    if (GameWindow* window = GameWindow::GetInstance()) {
        window->GetMessageHandler().AddListener(this);
    }
}

InputHandler::~InputHandler()
{
    ClearList(m_Listeners);
    ClearList(m_Registered);
    if (GameWindow* window = GameWindow::GetInstance()) {
        window->GetMessageHandler().RemoveListener(this);
    }
}

void InputHandler::OnMessage(const Message& message)
{
    const std::uint32_t id = message.GetId();
    const bool input = (id >= Message::kMouseMove && id <= Message::kMouseWheel) || id == Message::kKeyDown ||
                       id == Message::kKeyUp || id == Message::kChar;
    if (!input) {
        return;
    }
    MutexLock lock(m_Mutex.get());
    m_Queue.push_back(message);
}

void InputHandler::Execute(std::int32_t)
{
    MutexLock lock(m_Mutex.get());
    Gather();
    while (!m_Queue.empty()) {
        // The copy keeps the message whole while listeners append to the queue.
        const Message message = m_Queue.front();
        Deliver(message, m_Listeners);
        m_Queue.pop_front();
    }
    if (GameWindow* window = GameWindow::GetInstance()) {
        window->UpdateCursor();
    }
    ClearList(m_Listeners);
}

void InputHandler::Gather()
{
    ClearList(m_Listeners);
    InputTreeNode* node = m_Root.Get();
    while (node != nullptr) {
        bool descend = false;
        if (node->IsClosedToInput()) {
            ResetSubtree(node);
        } else if (iInputListener* listener = InterfaceCast<iInputListener>(node); listener == nullptr) {
            descend = true;
        } else {
            if (listener->m_Exclusive) {
                for (iInputListener* gathered : m_Listeners) {
                    gathered->ResetInputState();
                }
                ClearList(m_Listeners);
            }
            if (listener->m_AcceptsInput) {
                AddOwnerRef(listener);
                RemoveListener(m_Listeners, listener);
                m_Listeners.PushBack(listener);
            }
            if (listener->m_ChildrenAcceptInput) {
                descend = true;
            } else {
                ResetSubtree(node);
            }
        }
        if (descend && node->GetInputFirstChild() != nullptr) {
            node = node->GetInputFirstChild();
        } else {
            node = NextAfterSubtree(node, m_Root.Get());
        }
    }
    for (iInputListener* registered : m_Registered) {
        AddOwnerRef(registered);
        m_Listeners.PushBack(registered);
    }
    std::reverse(m_Listeners.begin(), m_Listeners.end());
}

void InputHandler::Deliver(const Message& message, const GFVector<iInputListener*>& listeners)
{
    MessageData* data = message.GetData();
    KeyboardMessageData* key = MessageDataAs<KeyboardMessageData>(data);
    MouseMessageData* mouse = MessageDataAs<MouseMessageData>(data);
    ScrollMessageData* scroll = MessageDataAs<ScrollMessageData>(data);
    for (iInputListener* listener : listeners) {
        bool taken = false;
        switch (message.GetId()) {
        case Message::kKeyDown: taken = listener->OnKeyDown(key); break;
        case Message::kKeyUp: taken = listener->OnKeyUp(key); break;
        case Message::kChar: taken = listener->OnChar(key); break;
        case Message::kMouseMove: taken = listener->OnMouseMove(mouse); break;
        case Message::kLeftButtonDown: taken = listener->OnLeftButtonDown(mouse); break;
        case Message::kLeftButtonUp: taken = listener->OnLeftButtonUp(mouse); break;
        case Message::kMiddleButtonDown: taken = listener->OnMiddleButtonDown(mouse); break;
        case Message::kMiddleButtonUp: taken = listener->OnMiddleButtonUp(mouse); break;
        case Message::kRightButtonDown: taken = listener->OnRightButtonDown(mouse); break;
        case Message::kRightButtonUp: taken = listener->OnRightButtonUp(mouse); break;
        case Message::kMouseWheel: taken = listener->OnMouseWheel(scroll); break;
        default: return;
        }
        if (taken) {
            return;
        }
    }
}

void InputHandler::RegisterListener(iInputListener* listener)
{
    if (listener == nullptr) {
        return;
    }
    AddOwnerRef(listener);
    RemoveListener(m_Registered, listener);
    m_Registered.Insert(m_Registered.begin(), 1, listener);
}

void InputHandler::ResetSubtree(InputTreeNode* node)
{
    for (InputTreeNode* child = node->GetInputFirstChild(); child != nullptr; child = child->GetInputNextSibling()) {
        if (iInputListener* listener = InterfaceCast<iInputListener>(child)) {
            listener->ResetInputState();
        }
        ResetSubtree(child);
    }
}

void InputHandler::RemoveListener(GFVector<iInputListener*>& list, iInputListener* listener)
{
    iInputListener** found = list.Find(listener);
    if (found != list.end()) {
        list.Erase(found, found + 1);
        ReleaseOwner(listener);
    }
}

void InputHandler::ClearList(GFVector<iInputListener*>& list)
{
    // Releasing an owner may destroy it; empty the list first.
    GFVector<iInputListener*> taken = std::move(list);
    list.Clear();
    for (iInputListener* listener : taken) {
        ReleaseOwner(listener);
    }
}

}  // namespace Qmv2
