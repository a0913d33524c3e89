// Receives every message posted to the game window's message handler it was added to.
#pragma once

#include "framework/core/app/Message.h"
#include "framework/core/object/Interface.h"

namespace Qmv2 {

class iMessageListener : public Interface {
public:
    QMV_CLASS_TYPE(iMessageListener)

    // Leaves the game window's handler, so no listener outlives its registration.
    ~iMessageListener() override;

    virtual void OnMessage(const Message& message) = 0;
};

}  // namespace Qmv2
