#include "platform/win32/TempFolder.h"
#include "platform/win32/WinFiles.h"
#include "platform/win32/WinLastError.h"
#include "platform/win32/WinText.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

namespace win_files_test {

namespace {

std::string Backslashed(const std::string& path)
{
    std::string result = path;
    std::replace(result.begin(), result.end(), '/', '\\');
    return result;
}

std::vector<std::string> Find(const std::string& pattern)
{
    std::vector<std::string> names;
    std::u16string wide = platform::Utf8ToWide(pattern);
    WIN32_FIND_DATAW data{};
    HANDLE search = FindFirstFileW(wide.c_str(), &data);
    if (search == INVALID_HANDLE_VALUE) {
        return names;
    }
    do {
        names.push_back(platform::WideToUtf8(data.cFileName));
    } while (FindNextFileW(search, &data) != FALSE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_MORE_FILES));
    EXPECT_EQ(FindClose(search), TRUE);
    return names;
}

TEST(WinFiles, WritesReadsAndSeeksThroughBackslashPaths)
{
    testsupport::TempFolder folder;
    ASSERT_EQ(TRUE, CreateDirectoryA(Backslashed(folder / "sub").c_str(), nullptr));
    std::string path = Backslashed(folder / "sub/data.bin");
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    DWORD done = 0;
    ASSERT_EQ(TRUE, WriteFile(file, "0123456789", 10, &done, nullptr));
    EXPECT_EQ(done, 10u);
    EXPECT_EQ(GetFileSize(file, nullptr), 10u);
    EXPECT_EQ(SetFilePointer(file, -4, nullptr, FILE_END), 6u);
    char buffer[8] = {};
    ASSERT_EQ(TRUE, ReadFile(file, buffer, 8, &done, nullptr));
    EXPECT_EQ(done, 4u);  // a short read at the end is success
    EXPECT_STREQ(buffer, "6789");
    EXPECT_EQ(TRUE, CloseHandle(file));
    EXPECT_EQ(FALSE, CloseHandle(file));
    EXPECT_EQ(testsupport::ReadText(folder / "sub/data.bin"), "0123456789");

    // CREATE_NEW refuses an existing file; CREATE_ALWAYS truncates it and says so.
    EXPECT_EQ(INVALID_HANDLE_VALUE, CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_EXISTS));
    file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
    EXPECT_EQ(GetFileSize(file, nullptr), 0u);
    CloseHandle(file);
}

TEST(WinFiles, OpeningWithoutAccessProvesExistenceOnlyForFiles)
{
    testsupport::TempFolder folder;
    testsupport::WriteText(folder / "a.txt", "a");
    std::u16string present = platform::Utf8ToWide(Backslashed(folder / "a.txt"));
    HANDLE file = CreateFileW(present.c_str(), 0, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    CloseHandle(file);
    std::u16string missing = platform::Utf8ToWide(folder / "b.txt");
    EXPECT_EQ(INVALID_HANDLE_VALUE, CreateFileW(missing.c_str(), 0, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    std::u16string dir = platform::Utf8ToWide(folder.Path());
    EXPECT_EQ(INVALID_HANDLE_VALUE, CreateFileW(dir.c_str(), 0, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    EXPECT_FALSE(std::filesystem::exists(folder / "b.txt"));

    OFSTRUCT info{};
    EXPECT_NE(HFILE_ERROR, OpenFile(Backslashed(folder / "a.txt").c_str(), &info, OF_EXIST));
    EXPECT_EQ(HFILE_ERROR, OpenFile(folder.Path().c_str(), &info, OF_EXIST));
    EXPECT_EQ(HFILE_ERROR, OpenFile((folder / "b.txt").c_str(), &info, OF_EXIST));
}

TEST(WinFiles, FindListsMatchingNamesInOrder)
{
    testsupport::TempFolder folder;
    testsupport::WriteText(folder / "b.XML", "b");
    testsupport::WriteText(folder / "a.xml", "a");
    testsupport::WriteText(folder / "noext", "n");
    std::filesystem::create_directory(folder / "dir");
    EXPECT_EQ(Find(Backslashed(folder / "*.*")), (std::vector<std::string>{".", "..", "a.xml", "b.XML", "dir", "noext"}));
    EXPECT_EQ(Find(folder / "*.xml"), (std::vector<std::string>{"a.xml", "b.XML"}));
    EXPECT_EQ(Find(folder / "?.x*"), (std::vector<std::string>{"a.xml", "b.XML"}));
    EXPECT_EQ(Find(folder / "n*t"), (std::vector<std::string>{"noext"}));
    EXPECT_TRUE(Find(folder / "*.png").empty());
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    EXPECT_TRUE(Find(folder / "missing/*.*").empty());

    std::u16string one = platform::Utf8ToWide(folder / "dir");
    WIN32_FIND_DATAW data{};
    HANDLE search = FindFirstFileW(one.c_str(), &data);
    ASSERT_NE(search, INVALID_HANDLE_VALUE);
    EXPECT_NE(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY, 0u);
    FindClose(search);
    search = FindFirstFileW(platform::Utf8ToWide(folder / "a.xml").c_str(), &data);
    ASSERT_NE(search, INVALID_HANDLE_VALUE);
    EXPECT_EQ(data.nFileSizeLow, 1u);
    EXPECT_EQ(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY, 0u);
    FindClose(search);
}

TEST(WinFiles, DeletesMovesAndRemovesFolders)
{
    testsupport::TempFolder folder;
    testsupport::WriteText(folder / "old", "old");
    testsupport::WriteText(folder / "new", "new");
    EXPECT_EQ(FALSE, MoveFileExA((folder / "new").c_str(), (folder / "old").c_str(), 0));
    EXPECT_EQ(testsupport::ReadText(folder / "old"), "old");
    EXPECT_EQ(TRUE, MoveFileExA(Backslashed(folder / "new").c_str(), Backslashed(folder / "old").c_str(),
                                MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH));
    EXPECT_EQ(testsupport::ReadText(folder / "old"), "new");
    EXPECT_FALSE(std::filesystem::exists(folder / "new"));

    EXPECT_EQ(FILE_ATTRIBUTE_NORMAL, GetFileAttributesA(Backslashed(folder / "old").c_str()));
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA((folder / "new").c_str()));
    EXPECT_EQ(TRUE, DeleteFileW(platform::Utf8ToWide(Backslashed(folder / "old")).c_str()));
    EXPECT_EQ(FALSE, DeleteFileA((folder / "old").c_str()));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));

    ASSERT_EQ(TRUE, CreateDirectoryW(platform::Utf8ToWide(folder / "d").c_str(), nullptr));
    EXPECT_EQ(FALSE, CreateDirectoryA((folder / "d").c_str(), nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
    EXPECT_NE(GetFileAttributesA((folder / "d").c_str()) & FILE_ATTRIBUTE_DIRECTORY, 0u);
    EXPECT_EQ(FALSE, DeleteFileA((folder / "d").c_str()));  // folders are not files
    testsupport::WriteText(folder / "d/x", "x");
    EXPECT_EQ(FALSE, RemoveDirectoryA((folder / "d").c_str()));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_DIR_NOT_EMPTY));
    std::filesystem::remove(folder / "d/x");
    EXPECT_EQ(TRUE, RemoveDirectoryW(platform::Utf8ToWide(Backslashed(folder / "d")).c_str()));
}

TEST(WinFiles, OwnFileAndCurrentFolder)
{
    WCHAR buffer[MAX_PATH + 1];
    DWORD length = GetModuleFileNameW(nullptr, buffer, MAX_PATH + 1);
    ASSERT_GT(length, 0u);
    std::string own = platform::WideToUtf8(buffer);
    EXPECT_EQ(own, std::filesystem::canonical("/proc/self/exe").string());
    WCHAR tiny[4];
    EXPECT_EQ(4u, GetModuleFileNameW(nullptr, tiny, 4));  // truncated, terminated
    EXPECT_EQ(tiny[3], 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));

    DWORD needed = GetCurrentDirectoryW(0, nullptr);
    std::u16string cwd(needed, u'\0');
    EXPECT_EQ(needed - 1, GetCurrentDirectoryW(needed, cwd.data()));
    EXPECT_EQ(platform::WideToUtf8(cwd.c_str()), std::filesystem::current_path().string());
}

}  // namespace

}  // namespace win_files_test
