#include "framework/scene/Modifier.h"

#include "framework/scene/GameNode.h"

namespace Qmv2 {

std::string Modifier::ToString() const
{
    std::string text = BaseObject::ToString();
    if (!m_Name.empty()) {
        text += "\"" + m_Name + "\"; ";
    }
    if (m_Target != nullptr && !m_Cancelled) {
        text += "Client: <" + m_Target->ToShortString() + "> ";
    }
    return text;
}

}  // namespace Qmv2
