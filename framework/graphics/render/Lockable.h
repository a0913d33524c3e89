// A nestable lock over pixel or vertex memory. The outermost lock decides the
// mode: while it is read-only, a nested request to write fails.
#pragma once

#include <cstdint>

#include "framework/core/object/Interface.h"

namespace Qmv2 {

class Lockable : public Interface {
public:
    virtual bool Lock(bool readOnly);
    // Answers DoUnlock's result when the outermost lock ends, else true.
    virtual bool Unlock();

    std::int32_t GetLockCount() const { return m_LockCount; }
    bool IsLocked() const { return m_LockCount > 0; }
    bool IsReadOnlyLock() const { return m_ReadOnly; }

protected:
    virtual bool DoLock(bool readOnly) = 0;
    virtual bool DoUnlock() = 0;

    std::int32_t m_LockCount = 0;
    bool m_ReadOnly = false;
};

}  // namespace Qmv2
