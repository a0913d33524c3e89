// Settings and players saved over and over by a process that is killed at
// random moments: whatever moment the kill comes, the files load afterwards
// and hold one whole save, never a mix of two.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <random>
#include <thread>

#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include "DataTestSupport.h"
#include "framework/core/app/Application.h"
#include "framework/core/data/PlayerManager.h"
#include "framework/core/data/SettingsManager.h"
#include "framework/core/object/ObjectFactory.h"
#include "platform/win32/WinRegistry.h"

namespace save_kill_slow_test {

namespace fs = std::filesystem;

namespace {

class KillPlayer : public Qmv2::AbstractPlayer {
public:
    QMV_CLASS_TYPE(KillPlayer, Qmv2::AbstractPlayer)
    explicit KillPlayer(const std::string& name) : AbstractPlayer(name) {}
    explicit KillPlayer(Qmv2::PropertyNode* node) : AbstractPlayer(node) {}
    void Save(Qmv2::PropertyNode* node) const override
    {
        AbstractPlayer::Save(node);
        node->SetTypeWord("KillPlayer");
    }
};

constexpr int kPlayers = 3;

std::string PlayerName(int generation, int index)
{
    return "g" + std::to_string(generation) + "p" + std::to_string(index);
}

// Saves generation after generation until it is killed. Every value of a
// settings save and every name of a players save carries its generation.
// Once its first generation is saved it writes a byte to `saved`, so that the
// kill waits for the saver to be in its loop rather than for a time a busy
// machine may spend starting it.
[[noreturn]] void SaveForever(int saved)
{
    Qmv2::SmartPtr<Qmv2::SettingsManager> settings(new Qmv2::SettingsManager(nullptr));
    for (int generation = 1;; ++generation) {
        const bool odd = generation % 2 == 1;
        const float volume = static_cast<float>(generation % 90 + 1) / 100.0f;
        Qmv2::GameSettings* values = settings->GetSettings();
        values->SetFullscreen(odd);
        values->SetUseHints(odd);
        values->SetSoundVolume(volume);
        values->SetMusicVolume(volume);
        settings->Save();

        Qmv2::PlayerManager* players = Qmv2::PlayerManager::Create("1");
        for (int index = 0; index < kPlayers; ++index) {
            players->AddPlayer(new KillPlayer(PlayerName(generation, index)));
        }
        players->SavePlayers();
        Qmv2::PlayerManager::ReleaseInstance();
        if (generation == 1) {
            const char byte = 1;
            (void)!write(saved, &byte, 1);
        }
    }
}

// Empty when the stored settings are one whole save (or none yet).
std::string SettingsProblem()
{
    Qmv2::SmartPtr<Qmv2::PropertyNode> node(new Qmv2::PropertyNode("settings"));
    if (Qmv2::ReadRegistryKey(HKEY_CURRENT_USER, Qmv2::SettingsRegistryRoot(), node.Get()) != ERROR_SUCCESS) {
        // Killed before its first save (a busy machine may take longer to
        // start the saver than the kill waits): no file was ever written.
        const std::string file = platform::RegistryFileOf(HKEY_CURRENT_USER);
        if (!fs::exists(file) && !fs::exists(file + ".damaged")) {
            return {};
        }
        return "the settings key cannot be read";
    }
    const std::string sound = node->GetString("soundvolume");
    const std::string music = node->GetString("musicvolume");
    const std::string fullscreen = node->GetString("fullscreen");
    const std::string hints = node->GetString("usehints");
    if (sound.empty() && music.empty() && fullscreen.empty() && hints.empty()) {
        return {};  // killed before its first save: nothing stored yet
    }
    if (sound != music || fullscreen != hints || sound.empty() || fullscreen.empty()) {
        return "mixed settings: " + sound + " " + music + " " + fullscreen + " " + hints;
    }
    return {};
}

// Empty when the stored players list is one whole save (or none yet).
std::string PlayersProblem()
{
    Qmv2::PlayerManager* players = Qmv2::PlayerManager::Create("1");
    players->LoadPlayers();
    std::string problem;
    const auto& list = players->GetPlayers();
    if (list.GetCount() != 0 && list.GetCount() != kPlayers) {
        problem = "a list of " + std::to_string(list.GetCount()) + " players";
    }
    for (std::int32_t index = 0; problem.empty() && index < list.GetCount(); ++index) {
        const std::string& first = list[0]->GetName();
        const std::string generation = first.substr(0, first.find('p'));
        if (list[index]->GetName() != generation + "p" + std::to_string(index)) {
            problem = "players of two saves: " + first + " " + list[index]->GetName();
        }
    }
    const std::string listFile = players->GetPlayersListFile();
    Qmv2::PlayerManager::ReleaseInstance();
    if (problem.empty() && fs::exists(listFile + ".!.damaged")) {
        problem = "the list could not be read";
    }
    return problem;
}

}  // namespace

TEST(SaveKillSlowTest, KilledWhileSavingSettingsAndPlayersLosesNoWholeSave)
{
    Qmv2::ObjectFactory::GetInstance()->Register<KillPlayer>("KillPlayer");
    QmvTest::DataFolderScope scope("SaveKillTest");
    const fs::path config = fs::path(QMV_BINARY_DIR) / "test-home" / ("kill-config-" + std::to_string(getpid()));
    fs::remove_all(config);
    setenv("XDG_CONFIG_HOME", config.c_str(), 1);

    std::mt19937 random(20261207);
    std::uniform_int_distribution<int> delay(1, 60);
    constexpr int kKills = 200;
    int loaded = 0;
    for (int kill = 0; kill < kKills; ++kill) {
        int pipeEnds[2];
        ASSERT_EQ(pipe(pipeEnds), 0);
        const pid_t saver = fork();
        ASSERT_GE(saver, 0);
        if (saver == 0) {
            close(pipeEnds[0]);
            SaveForever(pipeEnds[1]);
        }
        close(pipeEnds[1]);
        // A minute for the first generation: only a saver that cannot save takes that long.
        pollfd first{pipeEnds[0], POLLIN, 0};
        const bool began = poll(&first, 1, 60000) == 1;
        close(pipeEnds[0]);
        if (!began) {
            ::kill(saver, SIGKILL);
            waitpid(saver, nullptr, 0);
        }
        ASSERT_TRUE(began) << "the saver saved no generation within a minute, kill " << kill;
        std::this_thread::sleep_for(std::chrono::milliseconds(delay(random)));
        ::kill(saver, SIGKILL);
        waitpid(saver, nullptr, 0);
        const std::string settings = SettingsProblem();
        const std::string players = PlayersProblem();
        ASSERT_EQ(settings, "") << "after kill " << kill;
        ASSERT_EQ(players, "") << "after kill " << kill;
        loaded += 1;
    }
    EXPECT_EQ(loaded, kKills);
    fs::remove_all(config);
}

}  // namespace save_kill_slow_test
