#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "ResourceFixture.h"

namespace resource_manager_test {

namespace {

using namespace Qmv2;
using QmvTest::FakeLoads;
using QmvTest::ResourceFixture;

// A section description with resources named after their files.
std::string SectionXml(const std::string& name, const std::vector<std::string>& files,
                       const std::string& attributes = "")
{
    std::string xml = "<Node name=\"" + name + "\" " + attributes + ">";
    for (const std::string& file : files) {
        xml += "<TestResource id=\"" + file + "\" file=\"" + file + "\"/>";
    }
    return xml + "</Node>";
}

using ResourceManagerTest = ResourceFixture;

TEST_F(ResourceManagerTest, SectionsComeFromEveryDescriptionFileInOrder)
{
    WriteSections("one.xml", SectionXml("menu", {"m1", "m2"}) + SectionXml("game", {"old"}));
    WriteSections("two.xml", SectionXml("game", {"g1"}) + "<String>not a section</String>");
    ResourceManager* manager = ResourceManagerWin32::Create();
    EXPECT_EQ(ResourceManager::GetInstance(), manager);
    manager->AddSectionFile("one.xml");
    manager->AddSectionFile("missing.xml");
    manager->AddSectionFile("two.xml");
    manager->LoadSectionList();

    ASSERT_NE(manager->FindSection("menu"), nullptr);
    EXPECT_EQ(manager->FindSection("menu")->GetResources().size(), 2u);
    // The later file's section of the same name replaces the earlier one.
    ASSERT_NE(manager->FindSection("game"), nullptr);
    EXPECT_NE(manager->FindSection("game")->FindResource("g1"), nullptr);
    EXPECT_EQ(manager->FindSection("game")->FindResource("old"), nullptr);
    EXPECT_TRUE(FakeLoads::Get().WasDestroyed("old"));
    EXPECT_EQ(manager->FindSection(""), nullptr);
    EXPECT_EQ(manager->FindSection("nosuch"), nullptr);
}

TEST_F(ResourceManagerTest, LoadSectionQueuesOnceAndCountsItsWeightOnce)
{
    ResourceManager* manager = Manager(SectionXml("a", {"a1", "a2"}) + SectionXml("empty", {}));
    EXPECT_TRUE(manager->LoadSection("a"));
    EXPECT_TRUE(manager->LoadSection("a"));
    EXPECT_EQ(manager->GetForegroundQueue().GetCount(), 1);
    EXPECT_EQ(manager->GetLoadTotal(), 2);
    EXPECT_TRUE(manager->FindSection("a")->HasStarted());

    // A loaded section (an empty one is) and an unknown one queue nothing.
    EXPECT_FALSE(manager->LoadSection("empty"));
    EXPECT_FALSE(manager->LoadSection("nosuch"));
    EXPECT_EQ(manager->GetForegroundQueue().GetCount(), 1);
    EXPECT_EQ(manager->GetLoadTotal(), 2);

    // Not started: the loader takes nothing and the queue is not done.
    EXPECT_FALSE(manager->IsLoadQueueDone());
    ASSERT_TRUE(WaitLoaderIdle(manager));
    EXPECT_TRUE(FakeLoads::Get().Order().empty());

    manager->SetStarted(true);
    ASSERT_TRUE(WaitQueueDone(manager));
    EXPECT_FALSE(manager->LoadSection("a"));
    EXPECT_EQ(manager->GetLoadTotal(), 2);
    EXPECT_EQ(manager->GetLoadDone(), 2u);
    EXPECT_FLOAT_EQ(manager->GetLoadProgress(), 1.0f);

    manager->ResetLoadProgress();
    EXPECT_EQ(manager->GetLoadTotal(), 0);
    EXPECT_EQ(manager->GetLoadDone(), 0u);
    EXPECT_TRUE(manager->GetForegroundQueue().IsEmpty());
}

TEST_F(ResourceManagerTest, ForegroundSectionsLoadInQueueOrderBeforeBackgroundOnes)
{
    ResourceManager* manager = Manager(SectionXml("a", {"a1", "a2"}) + SectionXml("b", {"b1"}) +
                                       SectionXml("c", {"c1", "c2"}, "auto=\"true\""));
    // The auto-load section is queued in the background as it arrives.
    ASSERT_EQ(manager->GetBackgroundQueue().GetCount(), 1);
    EXPECT_EQ(manager->GetBackgroundQueue()[0], "c");
    EXPECT_TRUE(manager->FindSection("c")->HasStarted());
    EXPECT_FALSE(manager->FindSection("a")->HasStarted());

    EXPECT_TRUE(manager->LoadSection("b"));
    EXPECT_TRUE(manager->LoadSection("a"));
    manager->SetStarted(true);
    ASSERT_TRUE(WaitQueueDone(manager));
    ASSERT_TRUE(WaitSectionLoaded(manager, "c"));
    EXPECT_EQ(FakeLoads::Get().Order(), (std::vector<std::string>{"b1", "a1", "a2", "c1", "c2"}));
    // Every load but none on this thread.
    EXPECT_NE(FakeLoads::Get().LoadThread("c2"), std::this_thread::get_id());
    EXPECT_NE(FakeLoads::Get().LoadThread("b1"), std::this_thread::get_id());
}

TEST_F(ResourceManagerTest, BackgroundSectionsDoNotCountInTheProgress)
{
    ResourceManager* manager = Manager(SectionXml("c", {"c1", "c2"}, "auto=\"yes\""));
    manager->SetStarted(true);
    ASSERT_TRUE(WaitSectionLoaded(manager, "c"));
    EXPECT_EQ(manager->GetLoadTotal(), 0);
    EXPECT_EQ(manager->GetLoadDone(), 0u);
    EXPECT_FLOAT_EQ(manager->GetLoadProgress(), 1.0f);
    EXPECT_TRUE(manager->IsLoadQueueDone());
}

TEST_F(ResourceManagerTest, ProgressCountsLoadedWeightAndFinishedSections)
{
    ResourceManager* manager = Manager(SectionXml("a", {"a1", "a2", "a3"}) + SectionXml("b", {"b1", "b2", "b3", "b4", "b5"}));
    FakeLoads::Get().Hold("a3");
    FakeLoads::Get().Hold("b1");
    EXPECT_TRUE(manager->LoadSection("a"));
    EXPECT_TRUE(manager->LoadSection("b"));
    EXPECT_EQ(manager->GetLoadTotal(), 8);
    EXPECT_FLOAT_EQ(manager->GetLoadProgress(), 0.0f);
    manager->SetStarted(true);

    ASSERT_TRUE(FakeLoads::Get().WaitLoading("a3"));
    EXPECT_FLOAT_EQ(manager->GetLoadProgress(), 0.25f);
    EXPECT_EQ(manager->GetLoadDone(), 0u);

    FakeLoads::Get().Free("a3");
    ASSERT_TRUE(FakeLoads::Get().WaitLoading("b1"));
    // The loader took the finished section off its queue and counted it.
    EXPECT_FALSE(manager->IsLoadQueueDone());
    EXPECT_EQ(manager->GetLoadDone(), 3u);
    EXPECT_FLOAT_EQ(manager->GetLoadProgress(), 3.0f / 8.0f);
    ASSERT_EQ(manager->GetForegroundQueue().GetCount(), 1);
    EXPECT_EQ(manager->GetForegroundQueue()[0], "b");

    FakeLoads::Get().Free("b1");
    ASSERT_TRUE(WaitQueueDone(manager));
    EXPECT_EQ(manager->GetLoadDone(), 8u);
    EXPECT_FLOAT_EQ(manager->GetLoadProgress(), 1.0f);
}

TEST_F(ResourceManagerTest, FailingResourceInAPreloadSectionSettlesOnce)
{
    ResourceManager* manager = Manager(
        "<Node name=\"pre\"><TestResource id=\"ok1\" file=\"ok1\"/><TestResource id=\"bad\" file=\"bad\" fail=\"2\"/>"
        "<TestResource id=\"mute\" file=\"mute\" silent=\"true\"/><TestResource id=\"ok2\" file=\"ok2\"/></Node>");
    EXPECT_TRUE(manager->LoadSection("pre"));
    manager->SetStarted(true);
    ASSERT_TRUE(WaitQueueDone(manager));
    EXPECT_EQ(manager->GetLoadDone(), 4u);
    EXPECT_FLOAT_EQ(manager->GetLoadProgress(), 1.0f);

    // More wake-ups reload nothing.
    for (int i = 0; i < 5; ++i) {
        manager->ResumeLoader();
        ASSERT_TRUE(WaitLoaderIdle(manager));
    }
    EXPECT_EQ(FakeLoads::Get().LoadCount("bad"), 1);
    EXPECT_EQ(FakeLoads::Get().LoadCount("mute"), 1);

    ResourceSection* section = manager->FindSection("pre");
    EXPECT_FALSE(section->IsLoaded());
    EXPECT_TRUE(section->IsSettled());
    EXPECT_EQ(section->FindResource("bad")->GetErrorCode(), ResourceObject::kErrorFileNotFound);
    // A load that ends with neither result counts as unspecified failure.
    EXPECT_EQ(section->FindResource("mute")->GetErrorCode(), ResourceObject::kErrorUnspecified);
    EXPECT_EQ(manager->GetResource("bad", "pre"), nullptr);
    EXPECT_EQ(manager->GetResource("mute", "pre"), nullptr);
    EXPECT_EQ(FakeLoads::Get().LoadCount("bad"), 1);
    EXPECT_NE(manager->GetResource("ok2", "pre"), nullptr);
}

TEST_F(ResourceManagerTest, GetResourceLoadsOnDemandOnTheCallingThread)
{
    ResourceManager* manager = Manager(
        SectionXml("default", {"click", "beep"}) +
        "<Node name=\"broken\"><TestResource id=\"gone\" file=\"gone\" fail=\"2\"/></Node>");
    ResourceObject* click = manager->GetResource("click", "default");
    ASSERT_NE(click, nullptr);
    EXPECT_TRUE(click->IsLoaded());
    EXPECT_EQ(FakeLoads::Get().LoadThread("click"), std::this_thread::get_id());
    EXPECT_EQ(manager->GetResource("click", "default"), click);
    EXPECT_EQ(FakeLoads::Get().LoadCount("click"), 1);
    // Only what was asked for is loaded; the section keeps the reference.
    EXPECT_FALSE(manager->FindSection("default")->FindResource("beep")->IsLoaded());
    EXPECT_EQ(click->GetRefCount(), 1);

    EXPECT_EQ(manager->GetResource("nosuch", "default"), nullptr);
    EXPECT_EQ(manager->GetResource("click", "nosuch"), nullptr);
    // A load that fails now answers null at once and is not tried again.
    EXPECT_EQ(manager->GetResource("gone", "broken"), nullptr);
    EXPECT_EQ(manager->GetResource("gone", "broken"), nullptr);
    EXPECT_EQ(FakeLoads::Get().LoadCount("gone"), 1);

    ResourceObject* beep = manager->FindSection("default")->FindResource("beep");
    EXPECT_EQ(manager->LoadResourceNow("beep", "default"), beep);
    EXPECT_TRUE(beep->IsLoaded());
    EXPECT_EQ(manager->LoadResourceNow("nosuch", "default"), nullptr);
    // The fake kind holds no images.
    EXPECT_EQ(manager->GetImage("beep", "default"), nullptr);
}

TEST_F(ResourceManagerTest, UnloadSectionUnloadsLoadedResources)
{
    ResourceManager* manager = Manager(
        "<Node name=\"s\"><TestResource id=\"a\" file=\"a\"/><TestResource id=\"b\" file=\"b\" fail=\"4\"/></Node>");
    ASSERT_NE(manager->GetResource("a", "s"), nullptr);
    EXPECT_EQ(manager->GetResource("b", "s"), nullptr);
    manager->UnloadSection("s");
    ResourceSection* section = manager->FindSection("s");
    EXPECT_FALSE(section->FindResource("a")->IsLoaded());
    // Only loaded resources are unloaded: the failure stays.
    EXPECT_EQ(section->FindResource("b")->GetErrorCode(), 4);
    // Asked for again, the unloaded resource loads again.
    EXPECT_NE(manager->GetResource("a", "s"), nullptr);
    EXPECT_EQ(FakeLoads::Get().LoadCount("a"), 2);
    manager->UnloadSection("nosuch");
}

TEST_F(ResourceManagerTest, RemoveSectionTakesItsNameOffBothQueues)
{
    ResourceManager* manager = Manager(SectionXml("a", {"a1"}) + SectionXml("c", {"c1"}, "auto=\"true\""));
    EXPECT_TRUE(manager->LoadSection("c"));
    EXPECT_TRUE(manager->LoadSection("a"));
    EXPECT_TRUE(manager->LoadSection("c"));
    ASSERT_EQ(manager->GetForegroundQueue().GetCount(), 2);
    ASSERT_EQ(manager->GetBackgroundQueue().GetCount(), 1);

    manager->RemoveSection("c", true);
    ASSERT_EQ(manager->GetForegroundQueue().GetCount(), 1);
    EXPECT_EQ(manager->GetForegroundQueue()[0], "a");
    EXPECT_TRUE(manager->GetBackgroundQueue().IsEmpty());
    EXPECT_EQ(manager->FindSection("c"), nullptr);
    EXPECT_TRUE(FakeLoads::Get().WasDestroyed("c1"));
    manager->RemoveSection("nosuch", true);

    // The rest still loads, and a removed name in a waiter's own list counts as done.
    manager->SetStarted(true);
    ASSERT_TRUE(WaitQueueDone(manager));
    EXPECT_EQ(FakeLoads::Get().LoadCount("c1"), 0);
    ResourceManager::NameList waiting;
    waiting.PushBack("c");
    waiting.PushBack("a");
    EXPECT_EQ(manager->UpdateLoadQueue(waiting, false), nullptr);
    EXPECT_TRUE(waiting.IsEmpty());
}

TEST_F(ResourceManagerTest, UpdateLoadQueueAnswersTheFirstUnfinishedSection)
{
    ResourceManager* manager = Manager(SectionXml("done", {}) + SectionXml("x", {"x1"}) + SectionXml("y", {"y1"}));
    ResourceManager::NameList list;
    for (const char* name : {"done", "x", "done", "y"}) {
        list.PushBack(name);
    }
    EXPECT_EQ(manager->UpdateLoadQueue(list, false), manager->FindSection("x"));
    ASSERT_EQ(list.GetCount(), 2);
    EXPECT_EQ(list[0], "x");
    EXPECT_EQ(list[1], "y");
    ASSERT_NE(manager->GetResource("x1", "x"), nullptr);
    EXPECT_EQ(manager->UpdateLoadQueue(list, true), manager->FindSection("y"));
    EXPECT_EQ(manager->GetLoadDone(), 1u);
}

TEST_F(ResourceManagerTest, ReplacingAQueuedSectionLoadsTheReplacement)
{
    ResourceManager* manager = Manager(SectionXml("s", {"old1"}));
    EXPECT_TRUE(manager->LoadSection("s"));
    WriteSections("more.xml", SectionXml("s", {"new1", "new2"}));
    manager->AddSectionFile("more.xml");
    manager->LoadSectionList();
    EXPECT_TRUE(FakeLoads::Get().WasDestroyed("old1"));
    // The replacement is still queued and is the one that loads.
    EXPECT_TRUE(manager->FindSection("s")->HasStarted());
    manager->SetStarted(true);
    ASSERT_TRUE(WaitQueueDone(manager));
    EXPECT_TRUE(manager->FindSection("s")->IsLoaded());
    EXPECT_EQ(FakeLoads::Get().Order(), (std::vector<std::string>{"new1", "new2"}));
}

}  // namespace

}  // namespace resource_manager_test
