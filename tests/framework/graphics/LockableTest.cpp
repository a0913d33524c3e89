#include <gtest/gtest.h>

#include "framework/graphics/render/Lockable.h"

namespace lockable_test {

namespace {

class CountingLock : public Qmv2::Lockable {
public:
    int locks = 0;
    int unlocks = 0;
    bool failLock = false;

protected:
    bool DoLock(bool) override
    {
        ++locks;
        return !failLock;
    }
    bool DoUnlock() override
    {
        ++unlocks;
        return true;
    }
};

}  // namespace

TEST(LockableTest, ReadThenWriteFailsWriteThenReadNests)
{
    CountingLock lock;
    ASSERT_TRUE(lock.Lock(true));
    EXPECT_FALSE(lock.Lock(false));
    EXPECT_EQ(lock.GetLockCount(), 1);
    EXPECT_TRUE(lock.Unlock());
    EXPECT_EQ(lock.unlocks, 1);

    CountingLock other;
    ASSERT_TRUE(other.Lock(false));
    ASSERT_TRUE(other.Lock(true));
    EXPECT_EQ(other.GetLockCount(), 2);
    EXPECT_EQ(other.locks, 1);
    EXPECT_TRUE(other.Unlock());
    EXPECT_EQ(other.unlocks, 0);
    EXPECT_TRUE(other.Unlock());
    EXPECT_EQ(other.unlocks, 1);
    EXPECT_TRUE(other.Unlock()) << "unlocking an unlocked object answers true";
    EXPECT_EQ(other.unlocks, 1);
}

TEST(LockableTest, FailedLockLeavesCountAtZero)
{
    CountingLock lock;
    lock.failLock = true;
    EXPECT_FALSE(lock.Lock(false));
    EXPECT_EQ(lock.GetLockCount(), 0);
    lock.failLock = false;
    EXPECT_TRUE(lock.Lock(false));
    EXPECT_EQ(lock.GetLockCount(), 1);
}

}  // namespace lockable_test
