#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "DataTestSupport.h"
#include "framework/core/app/Application.h"
#include "framework/core/app/Message.h"
#include "framework/core/data/RegistryBase.h"
#include "framework/core/data/SettingsManager.h"

namespace settings_manager_test {

namespace fs = std::filesystem;
using Qmv2::GameSettings;
using Qmv2::SettingsManager;

namespace {

constexpr const char* kKey = "Software\\Orvendale\\SettingsTest";

struct Stored {
    DWORD type = REG_NONE;
    std::string text;  // the text of a REG_SZ, the decimal of a REG_DWORD
    bool operator==(const Stored&) const = default;
};

Stored Sz(const std::string& text)
{
    return {REG_SZ, text};
}

class SettingsManagerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        home = fs::temp_directory_path() / ("qmv_settings_" + std::to_string(::getpid()));
        fs::remove_all(home);
        fs::create_directories(home / "machine/Orvendale/registry");
        setenv("XDG_CONFIG_HOME", (home / "user").c_str(), 1);
        setenv("XDG_CONFIG_DIRS", (home / "machine").c_str(), 1);
        Qmv2::Application::s_GameId = "SettingsTest";
    }
    void TearDown() override
    {
        fs::remove_all(home);
        Qmv2::Application::s_GameId = "<untitled>";
    }

    // The user's value; type REG_NONE when missing.
    static Stored Read(const std::string& name)
    {
        Stored stored;
        HKEY key = nullptr;
        if (RegOpenKeyExA(HKEY_CURRENT_USER, kKey, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) {
            return stored;
        }
        BYTE data[300] = {};
        DWORD size = sizeof data - 1;
        if (RegQueryValueExA(key, name.c_str(), nullptr, &stored.type, data, &size) == ERROR_SUCCESS) {
            if (stored.type == REG_DWORD) {
                std::int32_t number = 0;
                std::memcpy(&number, data, sizeof number);
                stored.text = std::to_string(number);
            } else {
                stored.text = reinterpret_cast<const char*>(data);
            }
        } else {
            stored.type = REG_NONE;
        }
        RegCloseKey(key);
        return stored;
    }
    static void WriteUser(const std::string& name, const std::string& text)
    {
        Qmv2::RegistryString(std::string(kKey) + "\\" + name).Write(text);
    }
    static void WriteUserNumber(const std::string& name, std::int32_t value)
    {
        Qmv2::RegistryInt(std::string(kKey) + "\\" + name).Write(value);
    }
    // The machine-wide file, in the registry file's own format.
    void WriteMachine(const std::string& values)
    {
        std::ofstream(home / "machine/Orvendale/registry/local-machine.reg")
            << "qmv-registry 1\nkey Software\nkey Software\\Orvendale\nkey " << kKey << "\n" << values;
    }
    // A manager made and released: one orderly run.
    static void RunOnce()
    {
        Qmv2::SmartPtr<SettingsManager> manager(new SettingsManager(nullptr));
    }

    fs::path home;
};

}  // namespace

TEST_F(SettingsManagerTest, FirstRunKeepsDefaultsAndMarksTheRunAsNotYetEnded)
{
    Qmv2::SmartPtr<SettingsManager> manager(new SettingsManager(new GameSettings));
    const GameSettings* settings = manager->GetSettings();
    EXPECT_TRUE(settings->IsFullscreen());
    EXPECT_TRUE(settings->GetUseHints());
    EXPECT_FLOAT_EQ(settings->GetSoundVolume(), 0.5f);
    EXPECT_FLOAT_EQ(settings->GetMusicVolume(), 0.5f);
    EXPECT_EQ(manager->GetKeyPath(), kKey);
    EXPECT_EQ(Read("fullscreen"), Sz("true"));
    EXPECT_EQ(Read("usehints"), Sz("true"));
    EXPECT_EQ(Read("soundvolume"), Sz("0.5"));
    EXPECT_EQ(Read("musicvolume"), Sz("0.5"));
    EXPECT_EQ(Read("shutdowncorrect"), Sz("false"));
    EXPECT_EQ(Read("onlinescores").type, static_cast<DWORD>(REG_NONE)) << "read-only settings are never written";
    manager.Reset();
    EXPECT_EQ(Read("shutdowncorrect"), Sz("true")) << "the manager's end records an orderly end";
}

TEST_F(SettingsManagerTest, AnUncleanEndStartsWindowedWithoutChangingTheStoredChoice)
{
    for (const std::string& mark : {std::string("false"), std::string()}) {
        WriteUser("fullscreen", "true");
        WriteUser("shutdowncorrect", mark);
        {
            Qmv2::SmartPtr<SettingsManager> manager(new SettingsManager(nullptr));
            EXPECT_FALSE(manager->GetSettings()->IsFullscreen()) << "mark '" << mark << "'";
            EXPECT_EQ(Read("fullscreen"), Sz("true")) << "nothing is written at such a start";
            EXPECT_EQ(Read("shutdowncorrect"), Sz(mark));
        }
        EXPECT_EQ(Read("shutdowncorrect"), Sz("true"));
        EXPECT_EQ(Read("fullscreen"), Sz("false")) << "the next save stores the windowed state";
    }
}

TEST_F(SettingsManagerTest, AnOrderlyEndKeepsTheStoredSettings)
{
    WriteUser("fullscreen", "true");
    WriteUser("usehints", "False");  // only "false" itself is false
    WriteUser("musicvolume", "0.25");
    WriteUser("shutdowncorrect", "true");
    Qmv2::SmartPtr<SettingsManager> manager(new SettingsManager(nullptr));
    EXPECT_TRUE(manager->GetSettings()->IsFullscreen());
    EXPECT_TRUE(manager->GetSettings()->GetUseHints());
    EXPECT_FLOAT_EQ(manager->GetSettings()->GetMusicVolume(), 0.25f);
    EXPECT_EQ(Read("shutdowncorrect"), Sz("false"));
    EXPECT_EQ(Read("usehints"), Sz("true"));
}

TEST_F(SettingsManagerTest, UserValuesOverrideMachineWideOnesAndReadOnlyOnesStayUnwritten)
{
    WriteMachine("value 1 soundvolume 0.25%00\nvalue 1 onlinescores false%00\n"
                 "value 1 moregamesurl https://example.org/more%00\nvalue 1 musicvolume 0.75%00\n");
    WriteUser("soundvolume", "1");
    WriteUserNumber("usehints", 0);
    WriteUser("shutdowncorrect", "true");
    Qmv2::SmartPtr<SettingsManager> manager(new SettingsManager(nullptr));
    const GameSettings* settings = manager->GetSettings();
    EXPECT_FLOAT_EQ(settings->GetSoundVolume(), 1.0f);
    EXPECT_FLOAT_EQ(settings->GetMusicVolume(), 0.75f);
    EXPECT_FALSE(settings->GetOnlineScores());
    EXPECT_TRUE(settings->GetShowMoreGames());
    EXPECT_EQ(settings->GetMoreGamesURL(), "https://example.org/more");
    EXPECT_TRUE(settings->GetUseHints()) << "the number 0 reads as the text \"0\", which is true";
    EXPECT_EQ(Read("usehints"), Sz("true")) << "a number is written back as text";
    EXPECT_EQ(Read("soundvolume"), Sz("1")) << "no trailing zeros, no trailing point";
    EXPECT_EQ(Read("musicvolume"), Sz("0.75"));
    EXPECT_EQ(Read("onlinescores").type, static_cast<DWORD>(REG_NONE));
    EXPECT_EQ(Read("moregamesurl").type, static_cast<DWORD>(REG_NONE));
}

TEST_F(SettingsManagerTest, FullScreenSwitchIsStoredAtOnce)
{
    RunOnce();
    Qmv2::SmartPtr<SettingsManager> manager(new SettingsManager(nullptr));
    manager->OnMessage(Qmv2::Message(Qmv2::Message::kFullscreenChanged, new Qmv2::TemplateMessageData<bool>(false)));
    EXPECT_FALSE(manager->GetSettings()->IsFullscreen());
    EXPECT_EQ(Read("fullscreen"), Sz("false"));
    manager->OnMessage(Qmv2::Message(Qmv2::Message::kActivationChanged, new Qmv2::TemplateMessageData<bool>(true)));
    EXPECT_FALSE(manager->GetSettings()->IsFullscreen()) << "other messages are ignored";
    manager->OnMessage(Qmv2::Message(Qmv2::Message::kFullscreenChanged));
    EXPECT_FALSE(manager->GetSettings()->IsFullscreen()) << "a message without its datum changes nothing";
}

TEST_F(SettingsManagerTest, FloatsAreWrittenWithoutTrailingZeros)
{
    {
        Qmv2::SmartPtr<SettingsManager> manager(new SettingsManager(nullptr));
        manager->GetSettings()->SetSoundVolume(0.25f);
        manager->GetSettings()->SetMusicVolume(1.0f);
        manager->Save();
    }
    EXPECT_EQ(Read("soundvolume"), Sz("0.25"));
    EXPECT_EQ(Read("musicvolume"), Sz("1"));
}

TEST(RegistryValueTest, FullNamesSplitAtTheLastSeparator)
{
    const Qmv2::RegistryString nested("Software/Orvendale\\Game/volume\\");
    EXPECT_EQ(nested.GetKeyPath(), "Software\\Orvendale\\Game");
    EXPECT_EQ(nested.GetValueName(), "volume");
    const Qmv2::RegistryInt bare("volume");
    EXPECT_EQ(bare.GetKeyPath(), "");
    EXPECT_EQ(bare.GetValueName(), "volume");
    const Qmv2::RegistryInt empty("");
    EXPECT_EQ(empty.GetKeyPath(), "");
    EXPECT_EQ(empty.GetValueName(), "");
    EXPECT_FALSE(empty.IsWritten());
}

TEST(RegistryValueTest, IntegersAreStoredAsNumbers)
{
    const std::string home = fs::temp_directory_path() / ("qmv_registry_" + std::to_string(::getpid()));
    setenv("XDG_CONFIG_HOME", home.c_str(), 1);
    Qmv2::RegistryInt user("Software\\Orvendale\\T\\n");
    user.Write(42);
    EXPECT_TRUE(user.IsWritten());
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Orvendale\\T", 0, KEY_QUERY_VALUE, &key), ERROR_SUCCESS);
    std::int32_t value = 0;
    DWORD size = sizeof value;
    DWORD type = 0;
    EXPECT_EQ(RegQueryValueExA(key, "n", nullptr, &type, reinterpret_cast<BYTE*>(&value), &size), ERROR_SUCCESS);
    RegCloseKey(key);
    EXPECT_EQ(type, static_cast<DWORD>(REG_DWORD));
    EXPECT_EQ(value, 42);
    fs::remove_all(home);
}

TEST_F(SettingsManagerTest, DamagedOrUnreadableSettingsAreKeptAndFailedSavesSaid)
{
    WriteUser("usehints", "false");
    WriteUser("soundvolume", "0.25");
    const fs::path file = platform::RegistryFileOf(HKEY_CURRENT_USER);
    const std::string whole = QmvTest::ReadBytes(file);

    // Unreadable: no copy can be had, so the file is left as it is.
    fs::permissions(file, fs::perms::none);
    std::string said;
    EXPECT_EQ(QmvTest::AsPlayer(
                  [] {
                      Qmv2::SmartPtr<SettingsManager> manager(new SettingsManager(nullptr));
                      return manager->GetSettings()->GetUseHints() ? 0 : 1;  // the defaults
                  },
                  &said),
              0);
    fs::permissions(file, fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_EQ(QmvTest::ReadBytes(file), whole);
    EXPECT_FALSE(fs::exists(file.string() + ".damaged"));
    EXPECT_NE(said.find("no copy of it could be made"), std::string::npos) << said;

    // A folder that cannot be written: both saves of the run fail, said once.
    fs::permissions(file.parent_path(), fs::perms::owner_read | fs::perms::owner_exec);
    EXPECT_EQ(QmvTest::AsPlayer(
                  [] {
                      Qmv2::SmartPtr<SettingsManager> manager(new SettingsManager(nullptr));
                      return manager->GetSettings()->GetUseHints() ? 1 : 0;  // read as stored
                  },
                  &said),
              0);
    fs::permissions(file.parent_path(), fs::perms::owner_all);
    EXPECT_EQ(QmvTest::ReadBytes(file), whole);
    EXPECT_NE(said.find("Could not save the settings to " + file.string()), std::string::npos) << said;
    EXPECT_EQ(said.find("[message box]", said.find("[message box]") + 1), std::string::npos) << said;

    // Garbage: copied aside byte for byte, then replaced by the defaults.
    const std::string garbage = "\x01\x02 not settings\nkey x\n";
    QmvTest::WriteBytes(file, garbage);
    ::testing::internal::CaptureStderr();
    RunOnce();
    said = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(QmvTest::ReadBytes(file.string() + ".damaged"), garbage);
    EXPECT_EQ(Read("usehints"), Sz("true"));
    EXPECT_EQ(Read("shutdowncorrect"), Sz("true"));
    EXPECT_NE(said.find("A copy is kept as " + file.string() + ".damaged"), std::string::npos) << said;
}

}  // namespace settings_manager_test
