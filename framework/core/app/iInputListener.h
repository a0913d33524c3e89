// Takes key, character, mouse and wheel input from the input handler; each call
// answers whether the listener took the event.
#pragma once

#include "framework/core/app/MessageData.h"
#include "framework/core/object/Interface.h"

namespace Qmv2 {

class iInputListener : public Interface {
public:
    QMV_CLASS_TYPE(iInputListener, Interface)

    // Leaves the input handler's registered list.
    ~iInputListener() override;

    virtual bool OnKeyDown(KeyboardMessageData*) { return false; }
    virtual bool OnKeyUp(KeyboardMessageData*) { return false; }
    virtual bool OnChar(KeyboardMessageData*) { return false; }
    virtual bool OnMouseMove(MouseMessageData*) { return false; }
    virtual bool OnLeftButtonDown(MouseMessageData*) { return false; }
    virtual bool OnLeftButtonUp(MouseMessageData*) { return false; }
    virtual bool OnMiddleButtonDown(MouseMessageData*) { return false; }
    virtual bool OnMiddleButtonUp(MouseMessageData*) { return false; }
    virtual bool OnRightButtonDown(MouseMessageData*) { return false; }
    virtual bool OnRightButtonUp(MouseMessageData*) { return false; }
    virtual bool OnMouseWheel(ScrollMessageData*) { return false; }
    // Drops hover and pressed state when input is taken away.
    virtual void ResetInputState() {}

    bool m_AcceptsInput = true;
    bool m_ChildrenAcceptInput = true;
    bool m_Exclusive = false;
};

}  // namespace Qmv2
