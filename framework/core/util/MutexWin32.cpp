#include "framework/core/util/MutexWin32.h"

namespace Qmv2 {

MutexWin32::MutexWin32(const std::string& name) : m_Name(name)
{
    InitializeCriticalSection(&m_CriticalSection);
}

MutexWin32::~MutexWin32()
{
    DeleteCriticalSection(&m_CriticalSection);
}

bool MutexWin32::Lock()
{
    EnterCriticalSection(&m_CriticalSection);
    ++m_LockCount;
    return true;
}

bool MutexWin32::Unlock()
{
    // Only a thread inside the section may read the count safely; a thread
    // that is not (an unbalanced Unlock) gets in here without blocking only
    // when nobody holds it, and then finds the count 0.
    if (TryEnterCriticalSection(&m_CriticalSection) == FALSE) {
        return false;  // held by another thread
    }
    bool held = m_LockCount > 0;
    if (held) {
        --m_LockCount;
        LeaveCriticalSection(&m_CriticalSection);
    }
    LeaveCriticalSection(&m_CriticalSection);
    return held;
}

}  // namespace Qmv2
