#include "framework/core/util/Mutex.h"
#include "framework/core/util/MutexWin32.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace mutex_test {

namespace {

TEST(MutexTest, RecursiveLockCountsAndHoldsOffOtherThreads)
{
    std::unique_ptr<Qmv2::Mutex> mutex = Qmv2::Mutex::Create("INPUTHANDLER_game");
    auto* win32 = dynamic_cast<Qmv2::MutexWin32*>(mutex.get());
    ASSERT_NE(win32, nullptr);
    EXPECT_EQ(win32->GetName(), "INPUTHANDLER_game");
    EXPECT_TRUE(mutex->Lock());
    EXPECT_TRUE(mutex->Lock());
    EXPECT_EQ(win32->GetLockCount(), 2);

    std::atomic<bool> entered{false};
    std::thread other([&] {
        EXPECT_FALSE(mutex->Unlock()) << "a thread that does not hold the lock cannot release it";
        Qmv2::MutexLock hold(mutex.get());
        entered = true;
    });
    EXPECT_TRUE(mutex->Unlock());
    // Still held once: a third thread asked at once cannot release it (it
    // could, were the lock free), whether or not `other` has run yet.
    std::thread prober([&] {
        EXPECT_FALSE(mutex->Unlock()) << "one Unlock of two must not free the lock";
    });
    prober.join();
    EXPECT_FALSE(entered.load());
    EXPECT_EQ(win32->GetLockCount(), 1);
    EXPECT_TRUE(mutex->Unlock());
    other.join();
    EXPECT_TRUE(entered.load());
    EXPECT_EQ(win32->GetLockCount(), 0);
    EXPECT_FALSE(mutex->Unlock()) << "an unbalanced unlock is refused";
    EXPECT_EQ(win32->GetLockCount(), 0);
}

TEST(MutexTest, SameNameMakesIndependentLocks)
{
    auto first = Qmv2::Mutex::Create("same");
    auto second = Qmv2::Mutex::Create("same");
    Qmv2::MutexLock hold(first.get());
    std::atomic<bool> locked{false};
    std::thread other([&] {
        Qmv2::MutexLock inner(second.get());
        locked = true;
    });
    other.join();  // would hang if the two shared one section
    EXPECT_TRUE(locked.load());
}

TEST(MutexTest, ScopedHolderCountsUpAndDownAndAcceptsNoLock)
{
    auto mutex = Qmv2::Mutex::Create("scoped");
    auto* win32 = static_cast<Qmv2::MutexWin32*>(mutex.get());
    {
        Qmv2::MutexLock outer(mutex.get());
        Qmv2::MutexLock inner(mutex.get());
        EXPECT_EQ(win32->GetLockCount(), 2);
    }
    EXPECT_EQ(win32->GetLockCount(), 0);
    Qmv2::MutexLock none(nullptr);
}

}  // namespace

}  // namespace mutex_test
