#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <poll.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include "framework/core/files/FileLoader.h"
#include "framework/core/properties/PropertyStore.h"

namespace property_file_test {

namespace {

using namespace Qmv2;
namespace fs = std::filesystem;

class PropertyFileTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        m_Folder = fs::path(QMV_BINARY_DIR) / "test-home" / "props" / info->name();
        fs::remove_all(m_Folder);
        fs::create_directories(m_Folder);
    }
    void TearDown() override { fs::remove_all(m_Folder); }

    std::string PathOf(const std::string& name) const { return (m_Folder / name).string(); }

    void Write(const std::string& name, const std::string& text) const
    {
        std::ofstream(PathOf(name), std::ios::binary) << text;
    }

    std::string Read(const std::string& name) const
    {
        std::ifstream in(PathOf(name), std::ios::binary);
        std::stringstream all;
        all << in.rdbuf();
        return all.str();
    }

    int FileCount() const
    {
        return static_cast<int>(std::distance(fs::directory_iterator(m_Folder), fs::directory_iterator()));
    }

    // A store with enough entries that its file is a few hundred kilobytes.
    SmartPtr<PropertyStore> BigStore(const std::string& name, const std::string& marker) const
    {
        SmartPtr<PropertyStore> store(new PropertyStore(PathOf(name)));
        store->SetLoadFlags(0);
        for (int i = 0; i < 5000; ++i) {
            store->AddChild(new PropertyValue("entry" + std::to_string(i), "String", marker + std::to_string(i)));
        }
        return store;
    }

    fs::path m_Folder;
};

TEST_F(PropertyFileTest, FilesOfOneStoreAddToTheSameRoot)
{
    Write("a.xml", "<root><Integer id=\"x\">1</Integer><Integer id=\"y\">2</Integer></root>");
    Write("b.xml", "<root><Integer id=\"x\">3</Integer></root>");
    SmartPtr<PropertyStore> store(new PropertyStore(PathOf("a.xml")));
    store->SetLoadFlags(0);
    EXPECT_TRUE(store->Load());
    EXPECT_TRUE(store->AddFile(PathOf("b.xml")));
    EXPECT_EQ(store->GetValue("x")->GetInt(), 3);
    EXPECT_EQ(store->GetChildren()[1]->GetName(), "x");
    EXPECT_EQ(store->GetCurrentFile(), PathOf("b.xml"));
    EXPECT_EQ(store->GetFileNames().GetCount(), 2);
}

TEST_F(PropertyFileTest, MissingPlainFileIsLoggedAndStillLoads)
{
    SmartPtr<PropertyStore> store(new PropertyStore());
    ::testing::internal::CaptureStderr();
    EXPECT_TRUE(store->LoadFile(0, PathOf("none.xml")));
    const std::string log = ::testing::internal::GetCapturedStderr();
    EXPECT_NE(log.find("The file '" + PathOf("none.xml") + "' could not be found.\n"), std::string::npos) << log;
    ::testing::internal::CaptureStderr();
    EXPECT_FALSE(store->LoadFile(LOAD_SCRAMBLED, PathOf("none.xml")));
    EXPECT_NE(::testing::internal::GetCapturedStderr().find("The ENCRYPTED file '"), std::string::npos);
    EXPECT_FALSE(store->LoadFile(LOAD_ARCHIVE, "properties/none.xml"));
}

TEST_F(PropertyFileTest, BrokenFileAddsNothingButOthersStay)
{
    Write("good.xml", "<root><Integer id=\"x\">1</Integer></root>");
    Write("bad.xml", "<root><Integer id=\"y\">2</Integer>");
    Write("empty.xml", "");
    SmartPtr<PropertyStore> store(new PropertyStore(PathOf("good.xml")));
    store->SetLoadFlags(0);
    EXPECT_FALSE(store->AddFile(PathOf("bad.xml")));
    EXPECT_FALSE(store->AddFile(PathOf("empty.xml")));
    EXPECT_FALSE(store->Load());
    EXPECT_TRUE(store->HasChild("x"));
    EXPECT_FALSE(store->HasChild("y"));
    EXPECT_TRUE(store->CanLoad(PathOf("good.xml")));
    EXPECT_FALSE(store->CanLoad(PathOf("bad.xml")));
    EXPECT_FALSE(store->CanLoad(PathOf("missing.xml")));
}

TEST_F(PropertyFileTest, ScrambledSaveIsStoredUnderItsSuffixAndReadsBack)
{
    SmartPtr<PropertyStore> store(new PropertyStore(PathOf("player.xml")));
    store->SetLoadFlags(LOAD_SCRAMBLED);
    store->AddChild(new PropertyValue("name", "String", "Ann"));
    ASSERT_TRUE(store->SaveFile());
    EXPECT_FALSE(fs::exists(PathOf("player.xml")));
    const std::string stored = Read("player.xml.!");
    ASSERT_FALSE(stored.empty());
    EXPECT_EQ(stored.find("<root>"), std::string::npos);  // not plain text
    SmartPtr<PropertyStore> back(new PropertyStore(PathOf("player.xml")));
    back->SetLoadFlags(LOAD_SCRAMBLED);
    EXPECT_TRUE(back->CanLoad(PathOf("player.xml")));
    ASSERT_TRUE(back->Load());
    EXPECT_EQ(back->GetString("name"), "Ann");
    EXPECT_EQ(FileCount(), 1);
}

TEST_F(PropertyFileTest, SaveWithoutFileOrIntoMissingFolderFails)
{
    SmartPtr<PropertyStore> nameless(new PropertyStore());
    EXPECT_FALSE(nameless->SaveFile());
    SmartPtr<PropertyStore> lost(new PropertyStore(PathOf("no/such/folder/x.xml")));
    lost->SetLoadFlags(0);
    EXPECT_FALSE(lost->SaveFile());
}

TEST_F(PropertyFileTest, WriteFailingMidwayKeepsTheOldFileWhole)
{
    ASSERT_TRUE(BigStore("scores.xml", "old")->SaveFile());
    const std::string before = Read("scores.xml");
    ASSERT_GT(before.size(), 100000u);

    // The file-size limit makes the write fail part of the way through.
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    rlimit small = saved;
    small.rlim_cur = 4096;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    const bool saved_ok = BigStore("scores.xml", "new")->SaveFile();
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, SIG_DFL);

    EXPECT_FALSE(saved_ok);
    EXPECT_EQ(Read("scores.xml"), before);
    EXPECT_EQ(FileCount(), 1);  // no temporary file left behind
}

TEST_F(PropertyFileTest, KilledWriterNeverLeavesAPartialFile)
{
    ASSERT_TRUE(BigStore("scores.xml", "old")->SaveFile());
    for (int round = 0; round < 5; ++round) {
        // The writer says when its first save is whole, and the kill's delay
        // counts from then: a busy machine that is slow to start the writer
        // must not let every kill land before any write.
        int pipeEnds[2];
        ASSERT_EQ(pipe(pipeEnds), 0);
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            close(pipeEnds[0]);
            for (bool first = true;; first = false) {
                BigStore("scores.xml", "new" + std::to_string(round))->SaveFile();
                if (first) {
                    const char byte = 1;
                    (void)!write(pipeEnds[1], &byte, 1);
                }
            }
        }
        close(pipeEnds[1]);
        pollfd saved{pipeEnds[0], POLLIN, 0};
        const bool began = poll(&saved, 1, 60000) == 1;
        close(pipeEnds[0]);
        if (!began) {
            kill(child, SIGKILL);
            waitpid(child, nullptr, 0);
        }
        ASSERT_TRUE(began) << "the writer saved nothing within a minute, round " << round;
        usleep(20000 + round * 15000);
        kill(child, SIGKILL);
        int status = 0;
        waitpid(child, &status, 0);

        SmartPtr<PropertyStore> store(new PropertyStore(PathOf("scores.xml")));
        store->SetLoadFlags(0);
        ASSERT_TRUE(store->Load()) << "round " << round;
        EXPECT_EQ(store->GetChildCount(), 5000) << "round " << round;
        const std::string last = store->GetString("entry4999");
        EXPECT_TRUE(last == "old4999" || last.rfind("new", 0) == 0) << last;
    }
}

}  // namespace

}  // namespace property_file_test
