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
    m_Sleeping = true;
    m_Idle.notify_all();
    m_Wake.wait(lock, [this] { return m_WakePending || !IsRunning(); });
    m_Sleeping = false;
    m_WakePending = false;
}

bool ResourceManagerWin32::WaitLoaderIdle(std::chrono::milliseconds limit)
{
    std::unique_lock<std::mutex> lock(m_WakeMutex);
    return m_Idle.wait_for(lock, limit, [this] { return (m_Sleeping && !m_WakePending) || !IsRunning(); });
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
