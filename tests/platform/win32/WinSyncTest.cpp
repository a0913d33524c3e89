#include "platform/win32/WinSync.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace win_sync_test {

namespace {

TEST(WinSync, OwnerReentersAndOthersWaitUntilTheLastLeave)
{
    CRITICAL_SECTION section;
    InitializeCriticalSection(&section);
    EnterCriticalSection(&section);
    EnterCriticalSection(&section);  // re-entry on the owning thread must not deadlock
    EXPECT_EQ(TRUE, TryEnterCriticalSection(&section));
    LeaveCriticalSection(&section);

    std::atomic<int> stage{0};
    std::thread other([&] {
        EXPECT_EQ(FALSE, TryEnterCriticalSection(&section));
        stage = 1;
        EnterCriticalSection(&section);
        stage = 2;
        LeaveCriticalSection(&section);
    });
    while (stage.load() < 1) {
        std::this_thread::yield();
    }
    LeaveCriticalSection(&section);
    // Asked from a third thread at once, rather than waiting to see whether
    // `other` gets in: a starved `other` would prove nothing.
    std::thread prober([&] {
        EXPECT_EQ(FALSE, TryEnterCriticalSection(&section)) << "one Leave of two must not free the section";
    });
    prober.join();
    EXPECT_EQ(stage.load(), 1) << "one Leave of two must not free the section";
    LeaveCriticalSection(&section);
    other.join();
    EXPECT_EQ(stage.load(), 2);
    DeleteCriticalSection(&section);
}

TEST(WinSync, ProtectsACounterAcrossThreads)
{
    CRITICAL_SECTION section;
    InitializeCriticalSection(&section);
    long counter = 0;
    auto work = [&] {
        for (int i = 0; i < 20000; ++i) {
            EnterCriticalSection(&section);
            EnterCriticalSection(&section);
            ++counter;
            LeaveCriticalSection(&section);
            LeaveCriticalSection(&section);
        }
    };
    std::thread a(work);
    std::thread b(work);
    std::thread c(work);
    a.join();
    b.join();
    c.join();
    EXPECT_EQ(counter, 60000);
    DeleteCriticalSection(&section);
}

}  // namespace

}  // namespace win_sync_test
