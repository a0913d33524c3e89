#include "framework/core/util/Mutex.h"

#include "framework/core/util/MutexWin32.h"

namespace Qmv2 {

std::unique_ptr<Mutex> Mutex::Create(const std::string& name)
{
    return std::make_unique<MutexWin32>(name);
}

MutexLock::MutexLock(Mutex* mutex) : m_Mutex(mutex)
{
    if (m_Mutex != nullptr) {
        m_Mutex->Lock();
    }
}

MutexLock::~MutexLock()
{
    if (m_Mutex != nullptr) {
        m_Mutex->Unlock();
        m_Mutex = nullptr;
    }
}

}  // namespace Qmv2
