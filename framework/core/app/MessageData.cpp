#include "framework/core/app/MessageData.h"

#include "framework/core/util/UTF8String.h"

namespace Qmv2 {

KeyStroke::KeyStroke(std::uint32_t character, std::int32_t keyCode)
    : m_Character(character), m_Text(CodePointToLower(character)), m_HasText(!m_Text.empty()), m_KeyCode(keyCode)
{
}

}  // namespace Qmv2
