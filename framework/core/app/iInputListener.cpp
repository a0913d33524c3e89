#include "framework/core/app/iInputListener.h"

#include "framework/core/app/InputHandler.h"

namespace Qmv2 {

iInputListener::~iInputListener()
{
    if (InputHandler* handler = InputHandler::GetInstance()) {
        handler->UnregisterListener(this);
    }
}

}  // namespace Qmv2
