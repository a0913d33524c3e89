#include "framework/scene/ModifierLuaSendCommand.h"

#include "framework/scene/GameNode.h"

namespace Qmv2 {

ModifierLuaSendCommand::ModifierLuaSendCommand(GameNode* receiver, const UTF8String& command, BaseObject* parameter)
    : m_Receiver(receiver), m_Command(command), m_Parameter(parameter)
{
}

void ModifierLuaSendCommand::Finish()
{
    Modifier::Finish();
    // Local holders keep both alive even if the handler lets go of this modifier.
    SmartPtr<GameNode> receiver = m_Receiver;
    SmartPtr<BaseObject> parameter = m_Parameter;
    if (receiver) {
        receiver->OnButton(m_Command, parameter.Get());
    }
}

std::string ModifierLuaSendCommand::ToString() const
{
    return Modifier::ToString() + "cmd=" + m_Command.GetString() + " ";
}

}  // namespace Qmv2
