#include <gtest/gtest.h>

#include <vector>

#include "framework/core/app/TaskManager.h"
#include "platform/win32/WinTime.h"

namespace task_manager_test {

using Qmv2::SmartPtr;
using Qmv2::TaskManager;
using Qmv2::TaskmanagerTimed;

namespace {

// A 64-bit millisecond clock that only moves when told to, and records sleeps.
class FakeClock {
public:
    explicit FakeClock(std::uint64_t start)
    {
        now = start;
        platform::SetClockHooks({[this] { return now; }, [this](DWORD ms) {
                                     sleeps.push_back(ms);
                                     now += ms;
                                 }});
    }
    ~FakeClock() { platform::SetClockHooks({}); }

    std::uint64_t now;
    std::vector<DWORD> sleeps;
};

class StepTask : public Qmv2::iTask {
public:
    void Start() override { ++starts; }
    void Execute(std::int32_t dt) override
    {
        steps.push_back(dt);
        if (onExecute) {
            onExecute();
        }
    }
    void Stop() override { ++stops; }

    int starts = 0;
    int stops = 0;
    std::vector<std::int32_t> steps;
    std::function<void()> onExecute;
};

SmartPtr<StepTask> RunningTask()
{
    SmartPtr<StepTask> task(new StepTask);
    task->SetRunning(true);
    return task;
}

// One pass of the main loop's frame step with `work` ms spent since the last frame.
void Frame(TaskManager& manager, FakeClock& clock, std::uint64_t work)
{
    clock.now += work;
    manager.StampFrame();
    manager.Update();
}

}  // namespace

TEST(TaskManagerPacingTest, ShortFrameSleepsTheRestOfSixteenMilliseconds)
{
    FakeClock clock(1000);
    TaskmanagerTimed manager;
    auto task = RunningTask();
    manager.AddTask(task);
    manager.StampFrame();
    Frame(manager, clock, 5);
    EXPECT_EQ(clock.sleeps, (std::vector<DWORD>{11}));
    EXPECT_EQ(task->steps, (std::vector<std::int32_t>{16}));
    EXPECT_EQ(platform::OpenTimerPeriods(), 0);
}

TEST(TaskManagerPacingTest, LongFrameDoesNotSleepAndStallsCountAsOneHundred)
{
    FakeClock clock(5000);
    TaskmanagerTimed manager;
    auto task = RunningTask();
    manager.AddTask(task);
    manager.StampFrame();
    manager.ResetTime();
    Frame(manager, clock, 20);
    Frame(manager, clock, 250);
    EXPECT_TRUE(clock.sleeps.empty());
    EXPECT_EQ(task->steps, (std::vector<std::int32_t>{20, 100}));
    EXPECT_EQ(manager.GetLongestFrame(), 250);
    EXPECT_EQ(manager.GetShortestFrame(), 20);
}

TEST(TaskManagerPacingTest, FrameRateSettingChangesTheTarget)
{
    FakeClock clock(0);
    TaskmanagerTimed manager;
    manager.SetTargetFrameTime(1000 / 30);
    manager.StampFrame();
    Frame(manager, clock, 3);
    EXPECT_EQ(clock.sleeps, (std::vector<DWORD>{30}));
}

TEST(TaskManagerPacingTest, ThirtyTwoBitClockWrapKeepsTimeMoving)
{
    FakeClock clock(0xFFFFFFF0ull);
    TaskmanagerTimed manager;
    auto task = RunningTask();
    manager.AddTask(task);
    manager.StampFrame();
    Frame(manager, clock, 20);  // crosses the wrap of timeGetTime
    Frame(manager, clock, 20);
    EXPECT_TRUE(clock.sleeps.empty());
    EXPECT_EQ(task->steps, (std::vector<std::int32_t>{20, 20}));
    EXPECT_EQ(manager.GetCurrentTime(), 0xFFFFFFF0ull + 40);
}

TEST(TaskManagerPacingTest, AverageFrameTimeAfterOneInterval)
{
    FakeClock clock(0);
    TaskmanagerTimed manager;
    manager.StampFrame();
    manager.ResetTime();
    for (int i = 0; i < 50; ++i) {
        Frame(manager, clock, 20);
    }
    // The frame that closes the interval is counted in the next one.
    EXPECT_FLOAT_EQ(manager.GetAverageFrame(), 1000.0f / 49.0f);
}

TEST(TaskManagerTest, TasksRunInOrderStartOnceAndStopWithTheManager)
{
    auto a = RunningTask();
    auto b = RunningTask();
    std::vector<char> order;
    a->onExecute = [&] { order.push_back('a'); };
    b->onExecute = [&] { order.push_back('b'); };
    {
        TaskManager manager;
        manager.AddTask(a);
        manager.AddTask(b);
        manager.Tick(7);
        manager.Tick(9);
        EXPECT_EQ(manager.GetFrameCounter(), 2u);
    }
    EXPECT_EQ(order, (std::vector<char>{'a', 'b', 'a', 'b'}));
    EXPECT_EQ(a->starts, 1);
    EXPECT_EQ(a->steps, (std::vector<std::int32_t>{7, 9}));
    EXPECT_EQ(a->stops, 1);
    EXPECT_FALSE(a->IsRunning());
}

TEST(TaskManagerTest, TaskWithoutRunningFlagOrInactiveNeverRuns)
{
    TaskManager manager;
    SmartPtr<StepTask> idle(new StepTask);
    auto inactive = RunningTask();
    inactive->SetActive(false);
    manager.AddTask(idle);
    manager.AddTask(inactive);
    manager.Tick(16);
    EXPECT_EQ(manager.GetTasks().GetCount(), 2);
    EXPECT_TRUE(idle->steps.empty());
    EXPECT_TRUE(inactive->steps.empty());
    EXPECT_EQ(idle->starts, 0);
}

TEST(TaskManagerTest, FinishedTaskRunsToTheEndAndIsRemovedByTheNextTick)
{
    TaskManager manager;
    auto task = RunningTask();
    task->onExecute = [&] { task->SetFinished(true); };
    manager.AddTask(task);
    manager.Tick(1);
    EXPECT_EQ(manager.GetTasks().GetCount(), 1);
    manager.Tick(2);
    manager.Tick(3);
    EXPECT_EQ(manager.GetTasks().GetCount(), 0);
    EXPECT_EQ(task->steps, (std::vector<std::int32_t>{1}));
}

TEST(TaskManagerTest, ChangesDuringATickWaitForItsEnd)
{
    TaskManager manager;
    auto adder = RunningTask();
    auto added = RunningTask();
    auto victim = RunningTask();
    adder->onExecute = [&] {
        if (adder->steps.size() == 1) {
            manager.AddTask(added);
            manager.RemoveTask(victim);
            EXPECT_EQ(manager.GetTasks().GetCount(), 2);
        }
    };
    manager.AddTask(adder);
    manager.AddTask(victim);
    manager.Tick(1);
    EXPECT_EQ(victim->steps.size(), 1u);  // still ran in the frame it was removed in
    EXPECT_TRUE(added->steps.empty());
    manager.Tick(2);
    EXPECT_EQ(victim->steps.size(), 1u);
    EXPECT_EQ(added->steps, (std::vector<std::int32_t>{2}));
}

TEST(TaskManagerTest, AddingTwiceLeavesOneEntryAtTheEnd)
{
    TaskManager manager;
    auto a = RunningTask();
    auto b = RunningTask();
    manager.AddTask(a);
    manager.AddTask(b);
    manager.AddTask(a);
    ASSERT_EQ(manager.GetTasks().GetCount(), 2);
    EXPECT_EQ(manager.GetTasks()[0].Get(), b.Get());
    EXPECT_EQ(manager.GetTasks()[1].Get(), a.Get());
}

TEST(TaskManagerTest, UnpacedUpdateUsesTheClockDifference)
{
    FakeClock clock(100);
    TaskManager manager;
    auto task = RunningTask();
    manager.AddTask(task);
    manager.StampFrame();
    Frame(manager, clock, 3);
    Frame(manager, clock, 300);
    EXPECT_TRUE(clock.sleeps.empty());
    EXPECT_EQ(task->steps, (std::vector<std::int32_t>{3, 300}));
}

}  // namespace task_manager_test
