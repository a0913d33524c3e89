#include <gtest/gtest.h>

#include "framework/core/object/iInstance.h"
#include "TrackedObject.h"

namespace i_instance_test {

namespace {

class Manager : public QmvTest::TrackedObject, public Qmv2::iInstance<Manager> {
public:
    explicit Manager(int* destroyed) : TrackedObject(destroyed) {}
    ~Manager() override { s_SeenAtDestruction = GetInstance(); }
    inline static Manager* s_SeenAtDestruction = nullptr;
};

class OtherManager : public QmvTest::TrackedObject, public Qmv2::iInstance<OtherManager> {};

TEST(iInstanceTest, GlobalHoldsOneReferenceUntilReleased)
{
    int destroyed = 0;
    EXPECT_EQ(Manager::GetInstance(), nullptr);
    auto* manager = new Manager(&destroyed);
    Manager::SetInstance(manager);
    EXPECT_EQ(Manager::GetInstance(), manager);
    EXPECT_EQ(manager->GetRefCount(), 1);
    EXPECT_EQ(OtherManager::GetInstance(), nullptr);

    Manager::s_SeenAtDestruction = manager;
    Manager::ReleaseInstance();
    EXPECT_EQ(destroyed, 1);
    EXPECT_EQ(Manager::GetInstance(), nullptr);
    // The global was already cleared when the manager was destroyed.
    EXPECT_EQ(Manager::s_SeenAtDestruction, nullptr);

    Manager::ReleaseInstance();  // nothing held: nothing happens
    EXPECT_EQ(destroyed, 1);
}

TEST(iInstanceTest, AnotherHolderKeepsTheManagerAliveAfterRelease)
{
    int destroyed = 0;
    auto* manager = new Manager(&destroyed);
    manager->AddRef();
    Manager::SetInstance(manager);
    Manager::ReleaseInstance();
    EXPECT_EQ(destroyed, 0);
    EXPECT_EQ(manager->GetRefCount(), 1);
    manager->Release();
    EXPECT_EQ(destroyed, 1);
}

TEST(iInstanceTest, SettingANewManagerReleasesThePreviousOne)
{
    int destroyed = 0;
    auto* first = new Manager(&destroyed);
    auto* second = new Manager(&destroyed);
    Manager::SetInstance(first);
    Manager::SetInstance(first);  // same manager again: still one reference
    EXPECT_EQ(first->GetRefCount(), 1);
    Manager::SetInstance(second);
    EXPECT_EQ(destroyed, 1);
    EXPECT_EQ(Manager::GetInstance(), second);
    Manager::ReleaseInstance();
    EXPECT_EQ(destroyed, 2);
}

}  // namespace

}  // namespace i_instance_test
