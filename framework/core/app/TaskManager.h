// Runs the registered tasks once per frame, in the order they were added, and
// keeps the frame clock. `TaskmanagerTimed` paces frames to a target frame time.
#pragma once

#include <cstdint>
#include <utility>

#include "framework/core/app/iTask.h"
#include "framework/core/object/GFVector.h"
#include "framework/core/object/SmartPtr.h"
#include "framework/core/object/iInstance.h"

namespace Qmv2 {

class TaskManager : public BaseObject, public iInstance<TaskManager> {
public:
    QMV_CLASS_TYPE(TaskManager, BaseObject)

    static constexpr std::int32_t kLongestStep = 100;

    TaskManager();
    ~TaskManager() override;

    virtual void ResetTime();
    virtual void Update();

    void AddTask(const SmartPtr<iTask>& task);
    void RemoveTask(const SmartPtr<iTask>& task);
    void Tick(std::int32_t dt);

    // previous := current, current := the clock, read at a 1 ms timer resolution.
    void StampFrame();
    // The 32-bit millisecond clock carried into 64 bits across its wraps.
    std::uint64_t ReadClock();

    std::uint64_t GetFrameCounter() const { return m_FrameCounter; }
    std::uint64_t GetCurrentTime() const { return m_CurrentTime; }
    std::uint64_t GetPreviousTime() const { return m_PreviousTime; }
    std::int64_t GetShortestFrame() const { return m_ShortestFrame; }
    std::int64_t GetLongestFrame() const { return m_LongestFrame; }
    float GetAverageFrame() const { return m_AverageFrame; }
    std::int64_t GetTargetFrameTime() const { return m_TargetFrameTime; }
    void SetTargetFrameTime(std::int64_t milliseconds) { m_TargetFrameTime = milliseconds; }
    void SetStatisticsInterval(std::int64_t milliseconds) { m_StatisticsInterval = milliseconds; }
    const GFVector<SmartPtr<iTask>>& GetTasks() const { return m_Tasks; }
    void SetUnique(bool unique) { m_Unique = unique; }

protected:
    std::int64_t Elapsed() const { return static_cast<std::int64_t>(m_CurrentTime - m_PreviousTime); }
    void RecordFrame(std::int64_t elapsed);

    std::uint64_t m_FrameCounter = 0;
    std::uint64_t m_CurrentTime = 0;
    std::uint64_t m_PreviousTime = 0;
    std::int64_t m_ShortestFrame = 0x7FFFFFFF;
    std::int64_t m_LongestFrame = -1;
    float m_AverageFrame = -1.0f;
    std::int64_t m_TargetFrameTime = 0;
    std::int64_t m_StatisticsInterval = 1000;
    std::uint64_t m_StatisticsStart = 0;
    std::uint64_t m_StatisticsFrames = 0;
    GFVector<SmartPtr<iTask>> m_Tasks;
    GFVector<std::pair<bool, SmartPtr<iTask>>> m_Pending;
    std::int32_t m_Depth = 0;
    bool m_Unique = true;

private:
    void InsertTask(const SmartPtr<iTask>& task);
    void EraseTask(const SmartPtr<iTask>& task);

    std::uint64_t m_Clock = 0;
    bool m_ClockRead = false;
};

class TaskmanagerTimed : public TaskManager {
public:
    TaskmanagerTimed() { m_TargetFrameTime = 16; }

    // Sleeps the rest of a short frame, then ticks with the step clamped to 100 ms.
    void Update() override;
};

}  // namespace Qmv2
