#include <gtest/gtest.h>

#include <utility>

#include "framework/core/object/SmartPtr.h"
#include "TrackedObject.h"

namespace smart_ptr_test {

namespace {

using Qmv2::SmartPtr;
using QmvTest::TrackedObject;

// Reads the holder that points at it while it is being destroyed.
class Watcher : public Qmv2::BaseObject {
public:
    explicit Watcher(SmartPtr<Watcher>* holder, Watcher** seen) : m_Holder(holder), m_Seen(seen) {}
    ~Watcher() override { *m_Seen = m_Holder->Get(); }

private:
    SmartPtr<Watcher>* m_Holder;
    Watcher** m_Seen;
};

TEST(SmartPtrTest, HolderTakesAndGivesBackOneReference)
{
    int destroyed = 0;
    auto* object = new TrackedObject(&destroyed);
    {
        SmartPtr<TrackedObject> holder(object);
        EXPECT_EQ(object->GetRefCount(), 1);
        EXPECT_EQ(holder.Get(), object);
        EXPECT_EQ(holder->GetId(), 0);
        EXPECT_TRUE(holder);
    }
    EXPECT_EQ(destroyed, 1);

    SmartPtr<TrackedObject> empty;
    SmartPtr<TrackedObject> null(nullptr);
    EXPECT_FALSE(empty);
    EXPECT_FALSE(null);
    empty.Reset();
}

TEST(SmartPtrTest, CopiesAddReferencesAndResetReleasesThem)
{
    int destroyed = 0;
    SmartPtr<TrackedObject> first(new TrackedObject(&destroyed));
    SmartPtr<TrackedObject> second(first);
    SmartPtr<TrackedObject> third;
    third = second;
    EXPECT_EQ(first->GetRefCount(), 3);
    EXPECT_TRUE(first == third);

    first.Reset();
    EXPECT_FALSE(first);
    second.Reset();
    EXPECT_EQ(destroyed, 0);
    EXPECT_EQ(third->GetRefCount(), 1);
    third.Reset();
    EXPECT_EQ(destroyed, 1);
}

TEST(SmartPtrTest, SelfAssignmentKeepsTheOnlyOwnedObjectAlive)
{
    int destroyed = 0;
    SmartPtr<TrackedObject> holder(new TrackedObject(&destroyed));
    TrackedObject* raw = holder.Get();

    holder = raw;
    EXPECT_EQ(destroyed, 0);
    EXPECT_EQ(raw->GetRefCount(), 1);

    SmartPtr<TrackedObject>& alias = holder;
    holder = alias;
    EXPECT_EQ(destroyed, 0);
    EXPECT_EQ(raw->GetRefCount(), 1);

    holder = std::move(alias);
    EXPECT_EQ(destroyed, 0);
    EXPECT_EQ(holder.Get(), raw);
    EXPECT_EQ(raw->GetRefCount(), 1);
}

TEST(SmartPtrTest, AssigningAnotherObjectReleasesTheOldOne)
{
    int destroyed = 0;
    SmartPtr<TrackedObject> holder(new TrackedObject(&destroyed, 1));
    auto* next = new TrackedObject(&destroyed, 2);
    holder = next;
    EXPECT_EQ(destroyed, 1);
    EXPECT_EQ(holder->GetId(), 2);
    EXPECT_EQ(next->GetRefCount(), 1);
    holder = nullptr;
    EXPECT_EQ(destroyed, 2);
}

TEST(SmartPtrTest, MoveTransfersTheReferenceWithoutCounting)
{
    int destroyed = 0;
    SmartPtr<TrackedObject> source(new TrackedObject(&destroyed));
    TrackedObject* raw = source.Get();
    SmartPtr<TrackedObject> target(std::move(source));
    EXPECT_FALSE(source);
    EXPECT_EQ(raw->GetRefCount(), 1);

    SmartPtr<TrackedObject> other(new TrackedObject(&destroyed));
    other = std::move(target);  // the object other held loses its only holder
    EXPECT_EQ(destroyed, 1);
    EXPECT_EQ(other.Get(), raw);
    EXPECT_EQ(raw->GetRefCount(), 1);
}

TEST(SmartPtrTest, ConvertsToAHolderOfABaseClass)
{
    int destroyed = 0;
    SmartPtr<TrackedObject> derived(new TrackedObject(&destroyed));
    SmartPtr<Qmv2::BaseObject> base(derived);
    EXPECT_EQ(base->GetRefCount(), 2);
    derived.Reset();
    EXPECT_EQ(destroyed, 0);
    base.Reset();
    EXPECT_EQ(destroyed, 1);
}

TEST(SmartPtrTest, HolderIsEmptyWhileItsOldObjectIsDestroyed)
{
    Watcher* seen = reinterpret_cast<Watcher*>(1);
    SmartPtr<Watcher> holder;
    holder = new Watcher(&holder, &seen);
    holder.Reset();
    EXPECT_EQ(seen, nullptr);

    seen = reinterpret_cast<Watcher*>(1);
    holder = new Watcher(&holder, &seen);
    Watcher* second = new Watcher(&holder, &seen);
    holder = second;  // the first one dies after the holder points at the second
    EXPECT_EQ(seen, second);
}

}  // namespace

}  // namespace smart_ptr_test
