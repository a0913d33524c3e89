#include "framework/core/app/TaskManager.h"

#include "platform/win32/WinTime.h"

namespace Qmv2 {

TaskManager::TaskManager() = default;

TaskManager::~TaskManager()
{
    for (SmartPtr<iTask>& task : m_Tasks) {
        task->SetRunning(false);
        task->Stop();
    }
}

void TaskManager::ResetTime()
{
    m_AverageFrame = -1.0f;
    m_StatisticsStart = m_CurrentTime;
    m_StatisticsFrames = m_FrameCounter;
}

void TaskManager::Update()
{
    Tick(static_cast<std::int32_t>(static_cast<std::uint32_t>(m_CurrentTime - m_PreviousTime)));
}

void TaskManager::AddTask(const SmartPtr<iTask>& task)
{
    if (!task) {
        return;
    }
    if (m_Depth < 1) {
        InsertTask(task);
    } else {
        m_Pending.PushBack({true, task});
    }
}

void TaskManager::RemoveTask(const SmartPtr<iTask>& task)
{
    if (m_Depth < 1) {
        EraseTask(task);
    } else {
        m_Pending.PushBack({false, task});
    }
}

void TaskManager::Tick(std::int32_t dt)
{
    ++m_Depth;
    for (std::int32_t i = 0; i < m_Tasks.GetCount(); ++i) {
        // A copy keeps the task alive even when its own work drops every other holder.
        SmartPtr<iTask> task = m_Tasks[i];
        if (task->IsFinished()) {
            RemoveTask(task);
        } else if (task->IsActive() && task->IsRunning()) {
            if (!task->IsStarted()) {
                task->Start();
                task->SetStarted(true);
            }
            task->Execute(dt);
        }
    }
    if (--m_Depth == 0) {
        // Applying a change may release a task whose destruction touches the
        // list again; work on a detached copy of the pending changes.
        GFVector<std::pair<bool, SmartPtr<iTask>>> pending = std::move(m_Pending);
        m_Pending.Clear();
        for (const auto& [add, task] : pending) {
            if (add) {
                InsertTask(task);
            } else {
                EraseTask(task);
            }
        }
    }
    if (m_StatisticsInterval > 0 &&
        static_cast<std::int64_t>(m_CurrentTime - m_StatisticsStart) >= m_StatisticsInterval) {
        const std::uint64_t frames = m_FrameCounter - m_StatisticsFrames;
        if (frames > 0) {
            m_AverageFrame = static_cast<float>(m_CurrentTime - m_StatisticsStart) / static_cast<float>(frames);
        }
        m_StatisticsStart = m_CurrentTime;
        m_StatisticsFrames = m_FrameCounter;
        m_ShortestFrame = 0x7FFFFFFF;
        m_LongestFrame = -1;
    }
    ++m_FrameCounter;
}

void TaskManager::StampFrame()
{
    m_PreviousTime = m_CurrentTime;
    m_CurrentTime = ReadClock();
}

std::uint64_t TaskManager::ReadClock()
{
    timeBeginPeriod(1);
    const std::uint32_t now = timeGetTime();
    timeEndPeriod(1);
    if (!m_ClockRead) {
        m_ClockRead = true;
        m_Clock = now;
    } else {
        // The difference of two 32-bit readings is right across a wrap.
        m_Clock += static_cast<std::uint32_t>(now - static_cast<std::uint32_t>(m_Clock));
    }
    return m_Clock;
}

void TaskManager::RecordFrame(std::int64_t elapsed)
{
    if (elapsed > m_LongestFrame) {
        m_LongestFrame = elapsed;
    }
    if (elapsed < m_ShortestFrame) {
        m_ShortestFrame = elapsed;
    }
}

void TaskManager::InsertTask(const SmartPtr<iTask>& task)
{
    SmartPtr<iTask> keep = task;
    if (m_Unique) {
        EraseTask(keep);
    }
    m_Tasks.PushBack(keep);
}

void TaskManager::EraseTask(const SmartPtr<iTask>& task)
{
    SmartPtr<iTask>* found = m_Tasks.Find(task);
    if (found != m_Tasks.end()) {
        m_Tasks.Erase(found, found + 1);
    }
}

void TaskmanagerTimed::Update()
{
    std::int64_t elapsed = Elapsed();
    if (elapsed < m_TargetFrameTime) {
        Sleep(static_cast<DWORD>(m_TargetFrameTime - elapsed));
        m_CurrentTime = ReadClock();
        elapsed = Elapsed();
    }
    RecordFrame(elapsed);
    Tick(static_cast<std::int32_t>(elapsed > kLongestStep ? kLongestStep : elapsed));
}

}  // namespace Qmv2
