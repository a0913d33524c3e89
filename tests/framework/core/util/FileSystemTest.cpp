#include "framework/core/util/FileSystem.h"
#include "platform/win32/TempFolder.h"
#include "platform/win32/WinLibrary.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

namespace file_system_test {

namespace fs = std::filesystem;

namespace {

TEST(FileSystemTest, FindLastChar)
{
    EXPECT_EQ(Qmv2::FindLastChar('/', ""), -1);
    EXPECT_EQ(Qmv2::FindLastChar('/', "abc"), -1);
    EXPECT_EQ(Qmv2::FindLastChar('/', "a/b/c"), 3);
}

TEST(FileSystemTest, ExistsAndDeleteWithEitherSeparator)
{
    testsupport::TempFolder folder;
    testsupport::WriteText(folder / "a.txt", "a");
    std::string backslashed = folder.Path() + "\\a.txt";
    EXPECT_TRUE(Qmv2::FileExists(backslashed));
    EXPECT_FALSE(Qmv2::FileExists(folder.Path())) << "a folder is not a file";
    EXPECT_FALSE(Qmv2::FileExists(folder / "b.txt"));
    EXPECT_TRUE(Qmv2::DeleteFile(backslashed));
    EXPECT_FALSE(Qmv2::FileExists(backslashed));
    EXPECT_FALSE(Qmv2::DeleteFile(backslashed));
}

TEST(FileSystemTest, DirectoryChainWithMixedSeparators)
{
    testsupport::TempFolder folder;
    Qmv2::CreateDirectoryChain(folder.Path() + "/one\\two/three\\four");
    EXPECT_TRUE(fs::is_directory(folder / "one/two/three/four"));
    // An existing file stops the chain; nothing is made beside it.
    testsupport::WriteText(folder / "file", "x");
    Qmv2::CreateDirectoryChain(folder / "file");
    EXPECT_TRUE(fs::is_regular_file(folder / "file"));
    Qmv2::CreateDirectoryChain("");
}

TEST(FileSystemTest, DeleteDirectoryTreeWithAndWithoutTrailingBackslash)
{
    testsupport::TempFolder folder;
    for (const std::string& ending : {std::string(), std::string("\\")}) {
        fs::create_directories(folder / "tree/sub/deeper");
        testsupport::WriteText(folder / "tree/a", "a");
        testsupport::WriteText(folder / "tree/sub/deeper/b", "b");
        Qmv2::DeleteDirectoryTree(folder.Path() + "\\tree" + ending);
        EXPECT_FALSE(fs::exists(folder / "tree")) << "ending '" << ending << "'";
    }
    Qmv2::DeleteDirectoryTree("/");  // fewer than 2 characters: nothing
    EXPECT_TRUE(fs::exists("/"));
}

TEST(FileSystemTest, DeleteDirectoryTreeNeverFollowsLinksOutOfTheTree)
{
    testsupport::TempFolder folder;
    fs::create_directories(folder / "keep");
    testsupport::WriteText(folder / "keep/precious", "p");
    fs::create_directories(folder / "tree");
    fs::create_directory_symlink(folder / "keep", folder / "tree/link");
    Qmv2::DeleteDirectoryTree(folder / "tree");
    EXPECT_FALSE(fs::exists(folder / "tree"));
    EXPECT_EQ(testsupport::ReadText(folder / "keep/precious"), "p");
}

TEST(FileSystemTest, ModuleFileAndDirectory)
{
    std::string own = fs::canonical("/proc/self/exe").string();
    EXPECT_EQ(Qmv2::GetModuleFileName(), own);
    EXPECT_EQ(Qmv2::GetModuleDirectory(), fs::path(own).parent_path().string());
    EXPECT_EQ(Qmv2::GetCurrentDirectory(), fs::current_path().string());

    // A working folder deeper than the old fixed buffer is named whole.
    testsupport::TempFolder base;
    const fs::path deep = fs::path(base.Path()) / std::string(200, 'd') / std::string(200, 'e');
    fs::create_directories(deep);
    const fs::path before = fs::current_path();
    fs::current_path(deep);
    EXPECT_EQ(Qmv2::GetCurrentDirectory(), deep.string());
    fs::current_path(before);
}

TEST(FileSystemTest, GameDataFolderIsMadeUnderTheCommonDataFolder)
{
    // A data home longer than a Windows path may be is used whole.
    testsupport::TempFolder base;
    const std::string data = base / (std::string(150, 'h') + "/" + std::string(150, 'i') + "/data");
    setenv("XDG_DATA_HOME", data.c_str(), 1);
    Qmv2::SetDataFolderGameId("Quorvel/2: Deluxe");
    EXPECT_EQ(Qmv2::SharedDataFolder(), data + "/Orvendale/Games");
    EXPECT_EQ(Qmv2::GameDataFolder(), data + "/Orvendale/Games/Quorvel#2F2#3A Deluxe");
    EXPECT_TRUE(fs::is_directory(Qmv2::GameDataFolder()));
    Qmv2::SetDataFolderGameId("Other");
    EXPECT_EQ(Qmv2::GameDataFolder(), data + "/Orvendale/Games/Other");
}

TEST(FileSystemTest, DataFolderFallsBackToTheUsersFolder)
{
    testsupport::TempFolder home;
    setenv("XDG_DATA_HOME", "not/absolute", 1);
    unsetenv("HOME");
    setenv("XDG_CONFIG_HOME", (home / "config").c_str(), 1);
    EXPECT_EQ(Qmv2::SharedDataFolder(), home / "config/Orvendale/Games");
    EXPECT_TRUE(fs::is_directory(home / "config/Orvendale/Games"));
}

TEST(FileSystemTest, NoDataFolderMeansEmptyNeverTheRoot)
{
    unsetenv("HOME");
    setenv("XDG_DATA_HOME", "relative", 1);
    setenv("XDG_CONFIG_HOME", "relative", 1);
    EXPECT_EQ(Qmv2::SharedDataFolder(), "");
    EXPECT_EQ(Qmv2::GameDataFolder(), "");
    EXPECT_FALSE(fs::exists("/Orvendale"));
}

struct SecurityCalls {
    static inline std::string path;
    static inline unsigned information = 0;
    static inline int freed = 0;
};

int FakeAllocateSid(void*, unsigned char count, unsigned, unsigned, unsigned, unsigned, unsigned, unsigned, unsigned,
                    unsigned, void** sid)
{
    static int world;
    *sid = count == 1 ? &world : nullptr;
    return 1;
}
unsigned FakeSetEntries(unsigned, void*, void*, void** acl)
{
    static int list;
    *acl = &list;
    return 0;
}
int FakeInitDescriptor(void*, unsigned revision)
{
    return revision == 1 ? 1 : 0;
}
int FakeSetDacl(void*, int, void* acl, int)
{
    return acl != nullptr ? 1 : 0;
}
int FakeSetFileSecurity(const char* path, unsigned information, void*)
{
    SecurityCalls::path = path;
    SecurityCalls::information = information;
    return 1;
}
void* FakeFreeSid(void*)
{
    ++SecurityCalls::freed;
    return nullptr;
}
int FakeRegSetKeySecurity()
{
    return 0;
}

TEST(FileSystemTest, GrantEveryoneAccessFollowsTheSecurityLibrary)
{
    platform::UnregisterLibrary("advapi32.dll");
    EXPECT_FALSE(Qmv2::GrantEveryoneAccess("/tmp/x")) << "no library: false";

    platform::RegisterLibrary("advapi32.dll", {{"FreeSid", platform::EntryPoint(&FakeFreeSid)}});
    EXPECT_TRUE(Qmv2::GrantEveryoneAccess("/tmp/x")) << "no access lists to change: true";
    EXPECT_EQ(SecurityCalls::freed, 0);

    platform::RegisterLibrary("advapi32.dll",
                              {{"AllocateAndInitializeSid", platform::EntryPoint(&FakeAllocateSid)},
                               {"SetEntriesInAclA", platform::EntryPoint(&FakeSetEntries)},
                               {"InitializeSecurityDescriptor", platform::EntryPoint(&FakeInitDescriptor)},
                               {"SetSecurityDescriptorDacl", platform::EntryPoint(&FakeSetDacl)},
                               {"SetFileSecurityA", platform::EntryPoint(&FakeSetFileSecurity)},
                               {"RegSetKeySecurity", platform::EntryPoint(&FakeRegSetKeySecurity)},
                               {"FreeSid", platform::EntryPoint(&FakeFreeSid)}});
    EXPECT_TRUE(Qmv2::GrantEveryoneAccess("saves/player.plr.!"));
    EXPECT_EQ(SecurityCalls::path, "saves/player.plr.!");
    EXPECT_EQ(SecurityCalls::information, 4u);
    EXPECT_EQ(SecurityCalls::freed, 1);
    platform::UnregisterLibrary("advapi32.dll");
}

}  // namespace

}  // namespace file_system_test
