#include "framework/core/app/GameWindow.h"

#include "framework/core/app/Application.h"

namespace Qmv2 {

GameWindow::GameWindow()
{
    m_MessageHandler.AddListener(this);
}

GameWindow::~GameWindow()
{
    m_MessageHandler.RemoveListener(this);
}

void GameWindow::SetMinimized(bool minimized)
{
    if (minimized == m_Minimized) {
        return;
    }
    m_Minimized = minimized;
    Post(Message::kMinimizedChanged, new TemplateMessageData<bool>(minimized));
}

void GameWindow::OnMessage(const Message& message)
{
    if (message.GetId() == Message::kQuit) {
        Application::s_Running = false;
    }
}

}  // namespace Qmv2
