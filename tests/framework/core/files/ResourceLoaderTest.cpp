#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <string>
#include <thread>
#include <vector>

#include "ResourceFixture.h"
#include "ThreadBlocks.h"
#include "framework/core/properties/PropertyNode.h"
#include "framework/core/properties/PropertyXmlReader.h"

namespace resource_loader_test {

namespace {

using namespace Qmv2;
using QmvTest::FakeLoads;
using QmvTest::FakeResource;
using QmvTest::ResourceFixture;
using namespace std::chrono_literals;

using ResourceLoaderTest = ResourceFixture;

constexpr const char* kTwoSections =
    "<Node name=\"s\"><TestResource id=\"s1\" file=\"s1\"/><TestResource id=\"s2\" file=\"s2\"/></Node>"
    "<Node name=\"t\"><TestResource id=\"t1\" file=\"t1\"/></Node>";

TEST_F(ResourceLoaderTest, SectionRemovedWhileItsResourceLoadsIsFreedAfterTheLoad)
{
    ResourceManager* manager = Manager(kTwoSections);
    FakeLoads::Get().Hold("s1");
    EXPECT_TRUE(manager->LoadSection("s"));
    EXPECT_TRUE(manager->LoadSection("t"));
    manager->SetStarted(true);
    ASSERT_TRUE(FakeLoads::Get().WaitLoading("s1"));

    std::atomic<pid_t> remover{0};
    auto removal = std::async(std::launch::async, [manager, &remover] {
        remover = QmvTest::ThisThreadId();
        manager->RemoveSection("s", true);
    });
    // The removal waits for the load in progress: looked at once it blocks.
    QmvTest::WaitUntilBlockedOrFinished(remover, [&] { return removal.wait_for(0ms) == std::future_status::ready; });
    EXPECT_EQ(removal.wait_for(0ms), std::future_status::timeout);
    EXPECT_FALSE(FakeLoads::Get().WasDestroyed("s1"));
    FakeLoads::Get().Free("s1");
    removal.get();

    EXPECT_EQ(FakeLoads::Get().DestroyedWhileLoading(), 0);
    EXPECT_TRUE(FakeLoads::Get().WasDestroyed("s1"));
    EXPECT_TRUE(FakeLoads::Get().WasDestroyed("s2"));
    EXPECT_EQ(manager->FindSection("s"), nullptr);
    // The other section still loads and the queue finishes.
    ASSERT_TRUE(WaitQueueDone(manager));
    EXPECT_TRUE(manager->FindSection("t")->IsLoaded());
}

TEST_F(ResourceLoaderTest, ShutdownWaitsForTheLoadInProgressAndFreesEverything)
{
    ResourceManager* manager = Manager(kTwoSections);
    FakeLoads::Get().Hold("s1");
    EXPECT_TRUE(manager->LoadSection("s"));
    manager->SetStarted(true);
    ASSERT_TRUE(FakeLoads::Get().WaitLoading("s1"));

    std::atomic<pid_t> closer{0};
    auto shutdown = std::async(std::launch::async, [&closer] {
        closer = QmvTest::ThisThreadId();
        ResourceManager::DestroyInstance();
    });
    QmvTest::WaitUntilBlockedOrFinished(closer, [&] { return shutdown.wait_for(0ms) == std::future_status::ready; });
    EXPECT_EQ(shutdown.wait_for(0ms), std::future_status::timeout);
    FakeLoads::Get().Free("s1");
    ASSERT_EQ(shutdown.wait_for(60s), std::future_status::ready);
    shutdown.get();

    EXPECT_EQ(ResourceManager::GetInstance(), nullptr);
    EXPECT_EQ(FakeLoads::Get().DestroyedWhileLoading(), 0);
    EXPECT_TRUE(FakeLoads::Get().WasDestroyed("s1"));
    EXPECT_TRUE(FakeLoads::Get().WasDestroyed("t1"));
    // The loader ended instead of going on with the section.
    EXPECT_EQ(FakeLoads::Get().LoadCount("s2"), 0);
    ResourceManager::DestroyInstance();
}

TEST_F(ResourceLoaderTest, ShutdownOfAnIdleOrNeverStartedLoaderEnds)
{
    Manager(kTwoSections);
    ResourceManager::DestroyInstance();
    EXPECT_EQ(ResourceManager::GetInstance(), nullptr);
    EXPECT_TRUE(FakeLoads::Get().WasDestroyed("t1"));

    ResourceManager* manager = Manager(kTwoSections);
    manager->SetStarted(true);
    ASSERT_TRUE(WaitLoaderIdle(manager));
    ResourceManager::DestroyInstance();
    EXPECT_EQ(ResourceManager::GetInstance(), nullptr);
    EXPECT_TRUE(FakeLoads::Get().Order().empty());
}

TEST_F(ResourceLoaderTest, GetResourceWaitsForTheLoaderInsteadOfLoadingTwice)
{
    ResourceManager* manager = Manager(kTwoSections);
    FakeLoads::Get().Hold("s1");
    EXPECT_TRUE(manager->LoadSection("s"));
    manager->SetStarted(true);
    ASSERT_TRUE(FakeLoads::Get().WaitLoading("s1"));

    std::atomic<pid_t> looker{0};
    auto lookup = std::async(std::launch::async, [manager, &looker] {
        looker = QmvTest::ThisThreadId();
        return manager->GetResource("s1", "s");
    });
    QmvTest::WaitUntilBlockedOrFinished(looker, [&] { return lookup.wait_for(0ms) == std::future_status::ready; });
    EXPECT_EQ(lookup.wait_for(0ms), std::future_status::timeout);
    // A resource that is not busy is still handed out while the loader works.
    ResourceObject* other = nullptr;
    std::thread([&] { other = manager->GetResource("s1", "nosuch"); }).join();
    EXPECT_EQ(other, nullptr);
    FakeLoads::Get().Free("s1");
    ResourceObject* found = lookup.get();
    ASSERT_NE(found, nullptr);
    EXPECT_TRUE(found->IsLoaded());
    EXPECT_EQ(FakeLoads::Get().LoadCount("s1"), 1);
    EXPECT_NE(FakeLoads::Get().LoadThread("s1"), std::this_thread::get_id());
}

TEST_F(ResourceLoaderTest, EveryQueuedSectionLoadsWithoutFurtherWakeUps)
{
    // Sections queued right as the loader goes idle must not be missed: the
    // loader is woken only by LoadSection here, never by a poll.
    ResourceManager* manager = Manager("");
    manager->SetStarted(true);
    for (int i = 0; i < 200; ++i) {
        const std::string name = "n" + std::to_string(i);
        const std::string xml = "<root><Node id=\"x\" name=\"" + name + "\"><TestResource id=\"r\" file=\"" + name +
                                "\"/></Node></root>";
        SmartPtr<PropertyNode> root(new PropertyNode("root"));
        ASSERT_TRUE(PropertyXmlReader::ReadInto(*root, xml.c_str(), true));
        manager->AddSection(new ResourceSection(root->GetNode("x")));
        ASSERT_TRUE(manager->LoadSection(name));
        ASSERT_TRUE(WaitSectionLoaded(manager, name)) << name;
    }
    EXPECT_EQ(FakeLoads::Get().Order().size(), 200u);
}

TEST_F(ResourceLoaderTest, WakeUpsFromManyThreadsWhileLoadingAreHarmless)
{
    std::string sections = "<Node name=\"big\">";
    for (int i = 0; i < 50; ++i) {
        sections += "<TestResource id=\"b" + std::to_string(i) + "\" file=\"b" + std::to_string(i) + "\"/>";
    }
    ResourceManager* manager = Manager(sections + "</Node>");
    EXPECT_TRUE(manager->LoadSection("big"));
    manager->SetStarted(true);
    std::vector<std::thread> wakers;
    for (int t = 0; t < 4; ++t) {
        wakers.emplace_back([manager] {
            for (int i = 0; i < 200; ++i) {
                manager->ResumeLoader();
                (void)manager->GetLoadProgress();
            }
        });
    }
    for (std::thread& waker : wakers) {
        waker.join();
    }
    ASSERT_TRUE(WaitQueueDone(manager));
    for (int i = 0; i < 50; ++i) {
        EXPECT_EQ(FakeLoads::Get().LoadCount("b" + std::to_string(i)), 1) << i;
    }
    EXPECT_FLOAT_EQ(manager->GetLoadProgress(), 1.0f);
}

}  // namespace

}  // namespace resource_loader_test
