// The platform's lock: a critical section with a hold count and a name.
#pragma once

#include "framework/core/util/Mutex.h"
#include "platform/win32/WinSync.h"

#include <string>

namespace Qmv2 {

class MutexWin32 : public Mutex {
public:
    explicit MutexWin32(const std::string& name);
    ~MutexWin32() override;
    MutexWin32(const MutexWin32&) = delete;
    MutexWin32& operator=(const MutexWin32&) = delete;

    // False, doing nothing, when the lock is not held.
    bool Unlock() override;
    bool Lock() override;

    // How many Locks are not yet matched by an Unlock.
    int GetLockCount() const { return m_LockCount; }
    const std::string& GetName() const { return m_Name; }

private:
    CRITICAL_SECTION m_CriticalSection;
    int m_LockCount = 0;
    std::string m_Name;
};

}  // namespace Qmv2
