#include "framework/core/files/ResourceManagerWin32.h"

namespace Qmv2 {

ResourceManagerWin32* ResourceManagerWin32::Create()
{
    auto* manager = new ResourceManagerWin32();
    SetInstance(manager);
    CreateLoaderLock();
    manager->m_Thread = std::thread([manager] { manager->LoaderLoop(); });
    return manager;
}

ResourceManagerWin32::~ResourceManagerWin32()
{
    StopThread();
}

void ResourceManagerWin32::StopThread()
{
    {
        std::lock_guard<std::mutex> lock(m_WakeMutex);
        ClearRunning();
    }
    m_Wake.notify_all();
    if (m_Thread.joinable() && m_Thread.get_id() != std::this_thread::get_id()) {
        m_Thread.join();
    }
}

void ResourceManagerWin32::SuspendLoader()
{
    std::unique_lock<std::mutex> lock(m_WakeMutex);
    m_Wake.wait(lock, [this] { return m_WakePending || !IsRunning(); });
    m_WakePending = false;
}

void ResourceManagerWin32::ResumeLoader()
{
    {
        std::lock_guard<std::mutex> lock(m_WakeMutex);
        m_WakePending = true;
    }
    m_Wake.notify_one();
}

}  // namespace Qmv2
