#include "platform/win32/TempFolder.h"
#include "platform/win32/WinLastError.h"
#include "platform/win32/WinRegistry.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

namespace win_registry_test {

namespace {

class WinRegistry : public ::testing::Test {
protected:
    void SetUp() override
    {
        setenv("XDG_CONFIG_HOME", (m_home / "config").c_str(), 1);
        setenv("XDG_CONFIG_DIRS", (m_home / "machine").c_str(), 1);
    }

    HKEY Create(HKEY root, const char* path)
    {
        HKEY key = nullptr;
        DWORD disposition = 0;
        EXPECT_EQ(ERROR_SUCCESS, RegCreateKeyExA(root, path, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_WRITE, nullptr,
                                                 &key, &disposition));
        return key;
    }

    static void SetText(HKEY key, const char* name, const std::string& text)
    {
        ASSERT_EQ(ERROR_SUCCESS, RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                                                static_cast<DWORD>(text.size() + 1)));
    }

    static std::string GetText(HKEY key, const char* name)
    {
        char buffer[260] = {};
        DWORD size = sizeof buffer;
        DWORD type = 0;
        LONG result = RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size);
        if (result != ERROR_SUCCESS) {
            return "<" + std::to_string(result) + ">";
        }
        EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
        return buffer;
    }

    testsupport::TempFolder m_home;
};

TEST_F(WinRegistry, ValuesRoundTripAndSurviveAReopen)
{
    HKEY key = Create(HKEY_CURRENT_USER, "Software\\Orvendale\\Game");
    SetText(key, "fullscreen", "false");
    DWORD number = 0xDEADBEEF;
    ASSERT_EQ(ERROR_SUCCESS, RegSetValueExA(key, "count", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number), 4));
    EXPECT_EQ(ERROR_SUCCESS, RegCloseKey(key));

    // Spelled in another case and with a doubled separator: the same key.
    HKEY again = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_CURRENT_USER, "software\\\\ORVENDALE\\game", 0, KEY_READ, &again));
    EXPECT_EQ(GetText(again, "FullScreen"), "false");
    DWORD read = 0;
    DWORD size = 4;
    DWORD type = 0;
    ASSERT_EQ(ERROR_SUCCESS, RegQueryValueExA(again, "count", nullptr, &type, reinterpret_cast<BYTE*>(&read), &size));
    EXPECT_EQ(type, static_cast<DWORD>(REG_DWORD));
    EXPECT_EQ(read, 0xDEADBEEFu);
    RegCloseKey(again);
    EXPECT_TRUE(std::filesystem::exists(platform::RegistryFileOf(HKEY_CURRENT_USER)));
}

TEST_F(WinRegistry, ReplacingAValueKeepsItsPlaceAndEnumeratesInOrder)
{
    HKEY key = Create(HKEY_CURRENT_USER, "Software\\Orvendale\\Game");
    SetText(key, "a", "1");
    SetText(key, "b", "2");
    SetText(key, "A", "3");
    DWORD values = 0;
    DWORD longestName = 0;
    ASSERT_EQ(ERROR_SUCCESS, RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values,
                                              &longestName, nullptr, nullptr, nullptr));
    EXPECT_EQ(values, 2u);
    EXPECT_EQ(longestName, 1u);
    char name[8];
    BYTE data[8];
    DWORD nameLength = sizeof name;
    DWORD dataSize = sizeof data;
    ASSERT_EQ(ERROR_SUCCESS, RegEnumValueA(key, 0, name, &nameLength, nullptr, nullptr, data, &dataSize));
    EXPECT_STREQ(name, "a");
    EXPECT_STREQ(reinterpret_cast<char*>(data), "3");
    nameLength = sizeof name;
    dataSize = sizeof data;
    ASSERT_EQ(ERROR_SUCCESS, RegEnumValueA(key, 1, name, &nameLength, nullptr, nullptr, data, &dataSize));
    EXPECT_STREQ(name, "b");
    nameLength = sizeof name;
    EXPECT_EQ(ERROR_NO_MORE_ITEMS, RegEnumValueA(key, 2, name, &nameLength, nullptr, nullptr, nullptr, nullptr));
    RegCloseKey(key);
}

TEST_F(WinRegistry, SmallBuffersAskForMoreAndMissingThingsAreNotFound)
{
    HKEY key = Create(HKEY_CURRENT_USER, "Software\\Orvendale\\Game");
    SetText(key, "longvaluename", "a rather long text");
    char buffer[4];
    DWORD size = sizeof buffer;
    EXPECT_EQ(ERROR_MORE_DATA, RegQueryValueExA(key, "longvaluename", nullptr, nullptr,
                                                reinterpret_cast<BYTE*>(buffer), &size));
    EXPECT_EQ(size, 19u);
    char name[4];
    DWORD nameLength = sizeof name;
    EXPECT_EQ(ERROR_MORE_DATA, RegEnumValueA(key, 0, name, &nameLength, nullptr, nullptr, nullptr, nullptr));
    EXPECT_EQ(GetText(key, "missing"), "<2>");
    HKEY none = nullptr;
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Nobody", 0, KEY_READ, &none));
    EXPECT_EQ(none, nullptr);
    RegCloseKey(key);
    EXPECT_EQ(ERROR_INVALID_HANDLE, RegCloseKey(key));
}

TEST_F(WinRegistry, CreatingAKeyMakesItsAncestorsAndReportsWhetherItExisted)
{
    HKEY key = nullptr;
    DWORD disposition = 0;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_CURRENT_USER, "A\\B\\C", 0, nullptr, 0, KEY_WRITE, nullptr, &key,
                                             &disposition));
    EXPECT_EQ(disposition, static_cast<DWORD>(REG_CREATED_NEW_KEY));
    RegCloseKey(key);
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_CURRENT_USER, "A\\B\\C", 0, nullptr, 0, KEY_WRITE, nullptr, &key,
                                             &disposition));
    EXPECT_EQ(disposition, static_cast<DWORD>(REG_OPENED_EXISTING_KEY));
    RegCloseKey(key);
    HKEY parent = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_CURRENT_USER, "A", 0, KEY_READ, &parent));
    DWORD subKeys = 0;
    ASSERT_EQ(ERROR_SUCCESS, RegQueryInfoKeyA(parent, nullptr, nullptr, nullptr, &subKeys, nullptr, nullptr, nullptr,
                                              nullptr, nullptr, nullptr, nullptr));
    EXPECT_EQ(subKeys, 1u);
    // A key opened relative to an opened key.
    HKEY child = nullptr;
    EXPECT_EQ(ERROR_SUCCESS, RegOpenKeyExA(parent, "B\\C", 0, KEY_READ, &child));
    RegCloseKey(child);
    RegCloseKey(parent);
}

TEST_F(WinRegistry, MachineKeyIsReadFromItsFileAndNeverWritten)
{
    // Written through the user hive's format, then moved to the machine place.
    HKEY key = Create(HKEY_CURRENT_USER, "Software\\Orvendale\\Game");
    SetText(key, "onlinescores", "false");
    RegCloseKey(key);
    std::filesystem::create_directories(m_home / "machine/Orvendale/registry");
    std::filesystem::rename(platform::RegistryFileOf(HKEY_CURRENT_USER),
                            m_home / "machine/Orvendale/registry/local-machine.reg");

    HKEY machine = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Orvendale\\Game", 0, KEY_READ, &machine));
    EXPECT_EQ(GetText(machine, "onlinescores"), "false");
    std::string text = "true";
    EXPECT_EQ(ERROR_ACCESS_DENIED, RegSetValueExA(machine, "onlinescores", 0, REG_SZ,
                                                  reinterpret_cast<const BYTE*>(text.c_str()), 5));
    EXPECT_EQ(GetText(machine, "onlinescores"), "false");
    RegCloseKey(machine);
    HKEY created = nullptr;
    EXPECT_EQ(ERROR_ACCESS_DENIED, RegCreateKeyExA(HKEY_LOCAL_MACHINE, "Software\\New", 0, nullptr, 0, KEY_WRITE,
                                                   nullptr, &created, nullptr));
    // The user hive no longer has the key.
    HKEY user = nullptr;
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Orvendale\\Game", 0, KEY_READ, &user));
}

TEST_F(WinRegistry, OddNamesAndBinaryDataSurviveTheFile)
{
    HKEY key = Create(HKEY_CURRENT_USER, "Soft ware\\%20 key");
    const std::string data("a b\n%\0\xFF", 7);
    ASSERT_EQ(ERROR_SUCCESS, RegSetValueExA(key, "name with spaces\n", 0, REG_BINARY,
                                            reinterpret_cast<const BYTE*>(data.data()), 7));
    ASSERT_EQ(ERROR_SUCCESS, RegSetValueExA(key, "", 0, REG_SZ, reinterpret_cast<const BYTE*>(""), 0));
    RegCloseKey(key);
    HKEY again = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_CURRENT_USER, "Soft ware\\%20 key", 0, KEY_READ, &again));
    char buffer[16];
    DWORD size = sizeof buffer;
    ASSERT_EQ(ERROR_SUCCESS, RegQueryValueExA(again, "name with spaces\n", nullptr, nullptr,
                                              reinterpret_cast<BYTE*>(buffer), &size));
    EXPECT_EQ(std::string(buffer, size), data);
    size = sizeof buffer;
    EXPECT_EQ(ERROR_SUCCESS, RegQueryValueExA(again, "", nullptr, nullptr, reinterpret_cast<BYTE*>(buffer), &size));
    EXPECT_EQ(size, 0u);
    RegCloseKey(again);
}

TEST_F(WinRegistry, DamagedFileReadsAsEmptyOrSkipsBadLines)
{
    std::string file = platform::RegistryFileOf(HKEY_CURRENT_USER);
    std::filesystem::create_directories(std::filesystem::path(file).parent_path());
    testsupport::WriteText(file, "qmv-registry 1\nvalue 1 orphan x\nkey Good\nvalue 1 ok %41%00\nvalue 1 bad %4\n"
                                 "key %ZZ\nvalue nonsense\n");
    HKEY key = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_CURRENT_USER, "Good", 0, KEY_READ, &key));
    EXPECT_EQ(GetText(key, "ok"), "A");
    EXPECT_EQ(GetText(key, "bad"), "<2>");
    RegCloseKey(key);
    testsupport::WriteText(file, std::string("\x00\x01garbage", 9));
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegOpenKeyExA(HKEY_CURRENT_USER, "Good", 0, KEY_READ, &key));
}

// A user file whose first line is good but which holds a line that cannot be
// read (bad fields, one far too long, one the end of the file cuts short) is
// read without it, copied whole to "<file>.damaged" and reported once; a
// sound file is neither copied nor reported.
TEST_F(WinRegistry, AFileWithADamagedLineIsKeptAsideAndSaidOnce)
{
    const std::string good = "qmv-registry 1\nkey Good\nvalue 1 ok %41%00\n";
    const struct {
        const char* name;
        std::string text;
        bool damaged;
    } cases[] = {
        {"sound", good, false},
        {"fields", good + "value 1 bad %4\n", true},
        {"long", good + std::string(5u << 20, 'x') + "\nvalue 1 after %42%00\n", true},
        {"cut", good + "value 1 after %4", true},
    };
    platform::TakeRegistryProblems();  // what earlier tests of this run left
    for (const auto& c : cases) {
        setenv("XDG_CONFIG_HOME", (m_home / c.name).c_str(), 1);
        const std::string file = platform::RegistryFileOf(HKEY_CURRENT_USER);
        std::filesystem::create_directories(std::filesystem::path(file).parent_path());
        testsupport::WriteText(file, c.text);
        HKEY key = nullptr;
        ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_CURRENT_USER, "Good", 0, KEY_READ, &key)) << c.name;
        EXPECT_EQ(GetText(key, "ok"), "A") << c.name;
        RegCloseKey(key);
        const std::string problems = platform::TakeRegistryProblems();
        if (!c.damaged) {
            EXPECT_EQ(problems, "") << c.name;
            EXPECT_FALSE(std::filesystem::exists(file + ".damaged")) << c.name;
            continue;
        }
        EXPECT_EQ(testsupport::ReadText(file + ".damaged"), c.text) << c.name;
        EXPECT_NE(problems.find("The settings file " + file + " could not be read. A copy is kept as " + file +
                                ".damaged"),
                  std::string::npos)
            << c.name << ": " << problems;
        ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_CURRENT_USER, "Good", 0, KEY_READ, &key)) << c.name;
        RegCloseKey(key);
        EXPECT_EQ(platform::TakeRegistryProblems(), "") << c.name << ": said once";
    }
    // The long line is skipped to its end: the line after it is read.
    setenv("XDG_CONFIG_HOME", (m_home / "long").c_str(), 1);
    HKEY key = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_CURRENT_USER, "Good", 0, KEY_READ, &key));
    EXPECT_EQ(GetText(key, "after"), "B");
    RegCloseKey(key);
}

}  // namespace

}  // namespace win_registry_test
