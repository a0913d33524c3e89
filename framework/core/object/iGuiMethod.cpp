#include "framework/core/object/iGuiMethod.h"

namespace Qmv2 {

void iGuiMethod::Invoke(void* argument)
{
    if (m_Callback != nullptr) {
        m_Callback(m_Target, argument);
    }
}

void iGuiMethod::InvokeIfBound(void* argument)
{
    if (IsBound()) {
        Invoke(argument);
    }
}

}  // namespace Qmv2
