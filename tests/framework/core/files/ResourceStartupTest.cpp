#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "ResourceFixture.h"
#include "framework/core/app/Application.h"

namespace resource_startup_test {

namespace {

using namespace Qmv2;
using QmvTest::FakeLoads;
using QmvTest::ResourceFixture;

class ResourceStartupTest : public ResourceFixture {
protected:
    void TearDown() override
    {
        ResourceFixture::TearDown();
        Application::s_Running = true;
    }

    static void WriteManifest(const std::string& commands)
    {
        std::filesystem::create_directories("properties");
        std::ofstream("properties/application.xml")
            << "<Node id=\"application\"><Vector id=\"commands\">" << commands << "</Vector></Node>";
    }
};

TEST_F(ResourceStartupTest, CommandPreloadsItsSectionsAndQueuesTheRest)
{
    WriteSections("one.xml",
                  "<Node name=\"splash\"><TestResource id=\"logo\" file=\"logo\" delay=\"20\"/>"
                  "<TestResource id=\"broken\" file=\"broken\" fail=\"2\"/></Node>"
                  "<Node name=\"menu\"><TestResource id=\"m1\" file=\"m1\"/></Node>");
    WriteSections("two.xml",
                  "<Node name=\"game\"><TestResource id=\"g1\" file=\"g1\"/></Node>"
                  "<Node name=\"editor\"><TestResource id=\"e1\" file=\"e1\"/></Node>");
    WriteManifest(R"(<Node name="resourcemanager">
                       <Vector id="files"><Node file="one.xml"/><Node file="ignored.xml" onlyeditor="true"/>
                                          <Node file="two.xml"/></Vector>
                       <Vector id="preloadsections"><Node section="splash"/><Node section="editor" onlyeditor="true"/></Vector>
                       <Vector id="loadsections"><Node section="menu"/><Node section="game"/></Vector>
                     </Node>)");
    Application application("properties/application.xml");
    ASSERT_TRUE(application.RunCommands());
    EXPECT_TRUE(Application::s_Running);

    ResourceManager* manager = ResourceManager::GetInstance();
    ASSERT_NE(manager, nullptr);
    EXPECT_TRUE(manager->IsStarted());
    // The preload section settled before the command ended, failure and all.
    ResourceSection* splash = manager->FindSection("splash");
    ASSERT_NE(splash, nullptr);
    EXPECT_TRUE(splash->FindResource("logo")->IsLoaded());
    EXPECT_EQ(splash->FindResource("broken")->GetErrorCode(), ResourceObject::kErrorFileNotFound);
    EXPECT_EQ(FakeLoads::Get().LoadCount("e1"), 0);
    EXPECT_FALSE(manager->FindSection("editor")->HasStarted());

    // The progress was reset; then the running-game sections were queued.
    EXPECT_EQ(manager->GetLoadTotal(), 2);
    EXPECT_TRUE(manager->FindSection("menu")->HasStarted());
    ASSERT_TRUE(WaitQueueDone(manager));
    EXPECT_TRUE(manager->FindSection("game")->IsLoaded());

    application.Shutdown();
    EXPECT_EQ(ResourceManager::GetInstance(), nullptr);
    EXPECT_TRUE(FakeLoads::Get().WasDestroyed("g1"));
}

TEST_F(ResourceStartupTest, CommandWithoutListsMakesAnIdleManager)
{
    WriteManifest(R"(<Node name="resourcemanager"/>)");
    Application application("properties/application.xml");
    ASSERT_TRUE(application.RunCommands());
    ResourceManager* manager = ResourceManager::GetInstance();
    ASSERT_NE(manager, nullptr);
    EXPECT_TRUE(manager->IsLoadQueueDone());
    EXPECT_EQ(manager->GetLoadTotal(), 0);
    application.Shutdown();
    EXPECT_EQ(ResourceManager::GetInstance(), nullptr);
}

}  // namespace

}  // namespace resource_startup_test
