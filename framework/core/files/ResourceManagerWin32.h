// The resource manager of this platform: its loader thread sleeps on a
// condition variable while it has nothing to do. A wake-up that comes while
// the loader is busy is remembered, so none is lost.
#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "framework/core/files/ResourceManager.h"

namespace Qmv2 {

class ResourceManagerWin32 : public ResourceManager {
    QMV_INDEXED_TYPE(ResourceManagerWin32)

    // Makes the manager, registers it as the singleton (which holds its
    // reference), creates the loader lock and starts the loader thread, which
    // waits for the started flag. Answers the manager.
    static ResourceManagerWin32* Create();

    // Stops and joins the thread when that has not happened yet.
    ~ResourceManagerWin32() override;

    // Clears the running flag, wakes the loader and waits for it to end
    // (after the resource it is loading, if any). Not from the loader itself.
    void StopThread() override;
    void SuspendLoader() override;
    void ResumeLoader() override;

    bool IsThreadRunning() const noexcept { return m_Thread.joinable(); }

    // Waits until the loader sleeps with no wake-up pending, having acted on
    // every wake-up so far, or has been told to end; false when `limit` ran
    // out first. What an idle loader did not do can be checked then, rather
    // than after a time a busy machine may not give it.
    bool WaitLoaderIdle(std::chrono::milliseconds limit);

private:
    ResourceManagerWin32() = default;

    std::thread m_Thread;
    std::mutex m_WakeMutex;
    std::condition_variable m_Wake;
    std::condition_variable m_Idle;
    bool m_WakePending = false;
    bool m_Sleeping = false;
};

}  // namespace Qmv2
