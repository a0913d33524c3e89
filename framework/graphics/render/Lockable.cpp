#include "framework/graphics/render/Lockable.h"

namespace Qmv2 {

bool Lockable::Lock(bool readOnly)
{
    if (m_LockCount > 0) {
        if (!readOnly && m_ReadOnly) {
            return false;
        }
        ++m_LockCount;
        return true;
    }
    if (!DoLock(readOnly)) {
        return false;
    }
    m_ReadOnly = readOnly;
    m_LockCount = 1;
    return true;
}

bool Lockable::Unlock()
{
    if (m_LockCount > 0 && --m_LockCount == 0) {
        return DoUnlock();
    }
    return true;
}

}  // namespace Qmv2
