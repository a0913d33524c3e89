// A modifier that sends a command with a parameter object to a node's
// command handler when it fires. It holds a reference on both.
#pragma once

#include <string>

#include "framework/core/object/SmartPtr.h"
#include "framework/core/util/UTF8String.h"
#include "framework/scene/GameNode.h"
#include "framework/scene/Modifier.h"

namespace Qmv2 {

class ModifierLuaSendCommand : public Modifier {
public:
    QMV_CLASS_TYPE(ModifierLuaSendCommand, Modifier)

    ModifierLuaSendCommand(GameNode* receiver, const UTF8String& command, BaseObject* parameter);

    // Marks the modifier finished and calls the receiver's OnButton with the
    // command and the parameter; without a receiver nothing is sent.
    void Finish() override;
    std::string ToString() const override;

    GameNode* GetReceiver() const noexcept { return m_Receiver.Get(); }
    const UTF8String& GetCommand() const noexcept { return m_Command; }
    BaseObject* GetParameter() const noexcept { return m_Parameter.Get(); }

private:
    SmartPtr<GameNode> m_Receiver;
    UTF8String m_Command;
    SmartPtr<BaseObject> m_Parameter;
};

}  // namespace Qmv2
