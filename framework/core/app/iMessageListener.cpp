#include "framework/core/app/iMessageListener.h"

#include "framework/core/app/GameWindow.h"

namespace Qmv2 {

iMessageListener::~iMessageListener()
{
    if (GameWindow* window = GameWindow::GetInstance()) {
        window->GetMessageHandler().RemoveListener(this);
    }
}

}  // namespace Qmv2
