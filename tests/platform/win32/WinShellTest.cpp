#include "platform/win32/TempFolder.h"
#include "platform/win32/WinShell.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace win_shell_test {

namespace {

std::intptr_t Code(HINSTANCE result)
{
    return reinterpret_cast<std::intptr_t>(result);
}

TEST(WinShell, OpensOnlyWebAddresses)
{
    std::vector<std::string> opened;
    platform::SetUrlOpener([&](const std::string& address) {
        opened.push_back(address);
        return true;
    });
    EXPECT_GT(Code(ShellExecuteA(nullptr, "open", "https://example.org/define?w=a%20b", nullptr, nullptr, SW_SHOW)), 32);
    EXPECT_GT(Code(ShellExecuteA(nullptr, nullptr, "HTTP://example.org/", nullptr, nullptr, SW_SHOW)), 32);
    for (const char* refused : {"file:///etc/passwd", "javascript:alert(1)", "/bin/sh", "http://a b",
                                "https://x/\n;rm", "httpx://x"}) {
        EXPECT_EQ(Code(ShellExecuteA(nullptr, "open", refused, nullptr, nullptr, SW_SHOW)), SE_ERR_NOASSOC) << refused;
    }
    EXPECT_EQ(Code(ShellExecuteA(nullptr, "edit", "https://example.org/", nullptr, nullptr, SW_SHOW)), SE_ERR_NOASSOC);
    EXPECT_EQ(opened, (std::vector<std::string>{"https://example.org/define?w=a%20b", "HTTP://example.org/"}));

    platform::SetUrlOpener([](const std::string&) { return false; });
    EXPECT_EQ(Code(ShellExecuteA(nullptr, "open", "https://example.org/", nullptr, nullptr, SW_SHOW)), SE_ERR_FNF);
    platform::SetUrlOpener({});
}

TEST(WinShell, SpecialFoldersFollowTheXdgFolders)
{
    testsupport::TempFolder home;
    setenv("XDG_DATA_HOME", (home / "data").c_str(), 1);
    setenv("XDG_CONFIG_HOME", (home / "config").c_str(), 1);
    char path[MAX_PATH];
    ASSERT_EQ(TRUE, SHGetSpecialFolderPathA(nullptr, path, CSIDL_COMMON_APPDATA, FALSE));
    EXPECT_EQ(std::string(path), home / "data");
    EXPECT_FALSE(std::filesystem::exists(home / "data"));
    ASSERT_EQ(TRUE, SHGetSpecialFolderPathA(nullptr, path, CSIDL_APPDATA, TRUE));
    EXPECT_EQ(std::string(path), home / "config");
    EXPECT_TRUE(std::filesystem::is_directory(home / "config"));

    // Relative settings are ignored; the home folder gives the defaults.
    setenv("XDG_DATA_HOME", "relative/data", 1);
    setenv("HOME", home.Path().c_str(), 1);
    ASSERT_EQ(TRUE, SHGetSpecialFolderPathA(nullptr, path, CSIDL_COMMON_APPDATA, FALSE));
    EXPECT_EQ(std::string(path), home / ".local/share");
    unsetenv("HOME");
    EXPECT_EQ(FALSE, SHGetSpecialFolderPathA(nullptr, path, CSIDL_COMMON_APPDATA, FALSE));
    EXPECT_EQ(FALSE, SHGetSpecialFolderPathA(nullptr, path, 0x05, FALSE));

    // A folder longer than the caller's buffer is refused there, never cut;
    // at its full length it can still be had and made.
    const std::string deep = home / (std::string(150, 'a') + "/" + std::string(150, 'b'));
    setenv("XDG_DATA_HOME", deep.c_str(), 1);
    EXPECT_EQ(FALSE, SHGetSpecialFolderPathA(nullptr, path, CSIDL_COMMON_APPDATA, TRUE));
    EXPECT_EQ(platform::SpecialFolderPath(CSIDL_COMMON_APPDATA, true), deep);
    EXPECT_TRUE(std::filesystem::is_directory(deep));
    EXPECT_EQ(platform::SpecialFolderPath(0x05, false), "");
}

}  // namespace

}  // namespace win_shell_test
