#include "framework/core/app/Application.h"

#include <array>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <system_error>

#include "framework/core/app/CheatManager.h"
#include "framework/core/app/GameWindowWin32.h"
#include "framework/core/app/InputHandler.h"
#include "framework/core/app/TaskManager.h"
#include "framework/core/data/HighScoreManager.h"
#include "framework/core/files/FileArchive.h"
#include "framework/core/files/ResourceManagerWin32.h"
#include "framework/core/hardware/HardwareCheck.h"
#include "framework/core/data/PlayerManager.h"
#include "framework/core/data/SettingsManager.h"
#include "framework/core/properties/BasicProperties.h"
#include "framework/core/properties/DataManager.h"
#include "framework/core/properties/PropertyStore.h"
#include "framework/core/script/Lua.h"
#include "framework/core/util/FileSystem.h"
#include "framework/core/util/Platform.h"
#include "framework/core/util/Random.h"
#include "platform/win32/WinInstance.h"
#include "platform/win32/WinKernelObject.h"
#include "platform/win32/WinLastError.h"
#include "platform/win32/WinTime.h"
#include "platform/win32/WinWindow.h"

namespace Qmv2 {

namespace {

constexpr std::int32_t kDefaultFrameRate = 60;

template <typename T>
void ReleaseSingleton()
{
    T::ReleaseInstance();
}

// What higher layers registered: commands by name, task factories and
// release steps by their place in the fixed orders.
struct Registrations {
    std::map<std::string, Application::CommandHandler> commands;
    std::array<Application::TaskFactory, static_cast<std::size_t>(Application::TaskSlot::kCount)> tasks;
    std::array<std::function<void()>, static_cast<std::size_t>(Application::ReleaseSlot::kCount)> releases;
    Application::SceneTrees trees;
};

Registrations& GetRegistrations()
{
    static Registrations registrations;
    return registrations;
}

void RunRelease(Application::ReleaseSlot slot)
{
    if (const std::function<void()>& release = GetRegistrations().releases[static_cast<std::size_t>(slot)]) {
        release();
    }
}

}  // namespace

void Application::RegisterCommand(const std::string& name, CommandHandler handler)
{
    if (handler) {
        GetRegistrations().commands[name] = std::move(handler);
    } else {
        GetRegistrations().commands.erase(name);
    }
}

void Application::RegisterTask(TaskSlot slot, TaskFactory factory)
{
    if (slot < TaskSlot::kCount) {
        GetRegistrations().tasks[static_cast<std::size_t>(slot)] = std::move(factory);
    }
}

void Application::RegisterRelease(ReleaseSlot slot, std::function<void()> release)
{
    if (slot < ReleaseSlot::kCount) {
        GetRegistrations().releases[static_cast<std::size_t>(slot)] = std::move(release);
    }
}

void Application::RegisterSceneTrees(SceneTrees trees)
{
    GetRegistrations().trees = std::move(trees);
}

Application::Application(const std::string& manifest) : m_Manifest(manifest)
{
    std::srand(static_cast<unsigned>(timeGetTime()));
}

Application::~Application()
{
    BeforeExit();
    Application::Shutdown();
    if (m_InstanceMutex != nullptr) {
        ReleaseMutex(m_InstanceMutex);
        CloseHandle(m_InstanceMutex);
        m_InstanceMutex = nullptr;
    }
    m_StartCursor.Set(false);
}

void Application::Run()
{
    SetWorkingDirectory();
    if (s_Running) {
        RunCommands();
    }
    if (s_Running) {
        BeforeMainLoop();
        MainLoop();
        BeforeExit();
    } else if (!m_OtherInstance) {
        m_ExitCode = 1;  // scripts and launchers must not see a failed start as success
    }
    Shutdown();
}

void Application::FailStart(const std::string& text)
{
    Platform::Log("Error: %s\n", text.c_str());
    Platform::ShowMessage(text, "Error");
    s_Running = false;
}

void Application::SetWorkingDirectory()
{
    static const std::vector<std::string> candidates = {GetModuleDirectory(), "../data", "../../data"};
    for (const std::string& candidate : candidates) {
        m_WorkingDirectory = candidate;
        std::error_code error;
        std::filesystem::current_path(candidate, error);
        SmartPtr<PropertyStore> probe(new PropertyStore());
        if (!error && probe->CanLoad(m_Manifest)) {
            Platform::DebugOutput("Selected working directory: " + candidate + "\n", "");
            return;
        }
    }
    // A manifest that is there but does not parse is not a missing one.
    for (const std::string& candidate : candidates) {
        const std::filesystem::path path = std::filesystem::path(candidate) / m_Manifest;
        std::error_code error;
        if (std::filesystem::exists(path, error) || std::filesystem::exists(path.string() + ".!", error)) {
            m_WorkingDirectory = candidate;
            FailStart("The application manifest file " + path.string() + " is damaged and could not be read.");
            return;
        }
    }
    FailStart("Couldn't find application manifest file " + m_Manifest);
}

bool Application::AcceptCommand(PropertyNode* command) const
{
    return !PropertyNode::AsNode(command)->GetValue("onlyeditor")->GetBool();
}

bool Application::RunCommands()
{
    SmartPtr<PropertyStore> manifest(new PropertyStore(m_Manifest));
    if (!manifest->Load()) {
        FailStart("Couldn't read application manifest file " + m_Manifest);
        return false;
    }
    // The vector stays held while commands run, whatever they do to the store.
    SmartPtr<PropertyVector> commands(manifest->GetVector("commands"));
    for (const SmartPtr<AbstractProperty>& entry : commands->GetItems()) {
        PropertyNode* command = PropertyNode::AsNode(entry.Get());
        if (!AcceptCommand(command)) {
            continue;
        }
        ExecuteCommand(command);
        if (!s_Running) {
            break;
        }
    }
    return true;
}

void Application::ExecuteCommand(PropertyNode* node)
{
    PropertyNode* command = PropertyNode::AsNode(node);
    const std::string name = command->GetString("name");
    auto refuse = [&name](const char* needed) {
        Platform::Log("Start-up command %s needs %s first; skipped\n", name.c_str(), needed);
    };
    auto unavailable = [&name] {
        Platform::Log("Start-up command %s is not available in this build; skipped\n", name.c_str());
    };
    if (name == "appstartcursor") {
        m_StartCursor.Set(false);
    } else if (name == "gameid") {
        s_GameId = command->GetString("gameid");
        SetDataFolderGameId(s_GameId);
    } else if (name == "checkinstance") {
        if (CheckSingleInstance()) {
            Platform::Log("Another instance of %s is running\n", s_GameId.c_str());
            m_OtherInstance = true;
            s_Running = false;
        }
    } else if (name == "basicproperties") {
        BasicProperties::SetInstance(new BasicProperties);
    } else if (name == "gametree") {
        if (const auto& create = GetRegistrations().trees.createGameTree) {
            create();
        } else {
            unavailable();
        }
    } else if (name == "animtree") {
        if (const auto& create = GetRegistrations().trees.createAnimTree) {
            create();
        } else {
            unavailable();
        }
    } else if (name == "random") {
        // QMV_RANDOM_SEED fixes the framework's generator (shuffles, the
        // round's word length), so that a test can replay a game.
        std::int64_t seed = static_cast<std::int64_t>(timeGetTime());
        if (const char* fixed = std::getenv("QMV_RANDOM_SEED"); fixed != nullptr && *fixed != '\0') {
            seed = std::strtoll(fixed, nullptr, 10);
        }
        Random::SetInstance(new Random(seed));
    } else if (name == "inputhandler") {
        const auto& gameTree = GetRegistrations().trees.gameTree;
        InputTreeNode* root = gameTree ? gameTree() : nullptr;
        if (root == nullptr) {
            refuse("the game tree");
            return;
        }
        InputHandler::SetInstance(new InputHandler(root));
    } else if (name == "settingsmanager") {
        SettingsManager::SetInstance(new SettingsManager(CreateGameSettings()));
    } else if (name == "highscoremanager") {
        HighScoreManager::Create(command->GetString("version"))->Load();
    } else if (name == "playermanager") {
        PlayerManager::Create(command->GetString("version"))->LoadPlayers();
    } else if (name == "cheatmanager") {
        auto* cheats = new CheatManager;
        CheatManager::SetInstance(cheats);
        if (command->HasChild("playsound")) {
            cheats->SetPlaySounds(command->GetValue("playsound")->GetBool());
        }
        OnCheatManagerCreated();
    } else if (name == "createscenes") {
        RegisterScenes();
    } else if (name == "taskmanager") {
        std::int32_t frameRate = command->HasChild("max_fps") ? command->GetValue("max_fps")->GetInt() : kDefaultFrameRate;
        if (frameRate <= 0) {
            frameRate = kDefaultFrameRate;
        }
        auto* manager = new TaskmanagerTimed;
        TaskManager::SetInstance(manager);
        manager->SetTargetFrameTime(1000 / frameRate);
        CreateTasks();
    } else if (name == "hardwarecheck") {
        if (!HardwareCheck::RunStartupCheck()) {
            s_Running = false;
        }
    } else if (name == "datamanager") {
        if (BasicProperties::GetInstance() == nullptr) {
            refuse("the basic properties");
            return;
        }
        LoadDataFiles(command);
    } else if (name == "filearchive") {
        FileArchive::CreateFromCommand(command->GetString("file"), command->GetString("type"));
    } else if (name == "lua") {
        Lua::Create();
    } else if (name == "resourcemanager") {
        StartResourceManager(command);
    } else if (name == "gamewindow") {
        CreateGameWindow(command);
    } else if (name == "betametrics" || name == "debugmenu" || name == "componentmover" || name == "log" ||
               name == "betafilearchive" || name == "classproperties") {
        return;
    } else if (auto found = GetRegistrations().commands.find(name); found != GetRegistrations().commands.end()) {
        // The handler may register or remove commands itself: call a copy.
        const CommandHandler handler = found->second;
        if (!handler(command)) {
            s_Running = false;
        }
    } else if (!name.empty()) {
        unavailable();
    }
}

void Application::LoadDataFiles(PropertyNode* command)
{
    auto* manager = new DataManager;
    DataManager::SetInstance(manager);
    for (const SmartPtr<AbstractProperty>& entry : command->GetVector("files")->GetItems()) {
        PropertyNode* file = PropertyNode::AsNode(entry.Get());
        if (AcceptCommand(file)) {
            manager->AddFileName(file->GetString("file"));
        }
    }
    manager->Load();
}

void Application::StartResourceManager(PropertyNode* command)
{
    ResourceManager* manager = ResourceManagerWin32::Create();
    for (const SmartPtr<AbstractProperty>& entry : command->GetVector("files")->GetItems()) {
        PropertyNode* file = PropertyNode::AsNode(entry.Get());
        if (AcceptCommand(file)) {
            manager->AddSectionFile(file->GetString("file"));
        }
    }
    manager->LoadSectionList();
    manager->SetStarted(true);
    LoadSections(command, "preloadsections");
    // Failed resources count as settled, so this ends.
    while (!manager->IsLoadQueueDone()) {
        Sleep(10);
    }
    manager->ResetLoadProgress();
    LoadSections(command, "loadsections");
}

void Application::LoadSections(PropertyNode* command, const std::string& key)
{
    ResourceManager* manager = ResourceManager::GetInstance();
    if (manager == nullptr) {
        return;
    }
    for (const SmartPtr<AbstractProperty>& entry : command->GetVector(key)->GetItems()) {
        PropertyNode* section = PropertyNode::AsNode(entry.Get());
        if (AcceptCommand(section)) {
            manager->LoadSection(section->GetString("section"));
        }
    }
}

void Application::CreateGameWindow(PropertyNode* command)
{
    const std::int32_t width = command->GetValue("width")->GetInt();
    const std::int32_t height = command->GetValue("height")->GetInt();
    const bool modeMatches = Platform::IsDisplayModeAvailable(width, height);
    const bool screenLarger = GetSystemMetrics(SM_CXSCREEN) > width && GetSystemMetrics(SM_CYSCREEN) > height;
    m_Fullscreen = modeMatches;
    const bool maximizeAllowed = modeMatches && screenLarger;
    // Says why the settings' full-screen box is greyed out.
    if (!modeMatches) {
        Platform::Log("Full screen is not offered: the display has no %dx%d mode at its current colour depth and "
                      "refresh rate; the game runs in a window\n",
                      width, height);
    } else if (!screenLarger) {
        Platform::Log("The screen is no larger than the game's %dx%d: the game runs full screen\n", width, height);
    }
    SettingsManager* settings = SettingsManager::GetInstance();
    if (maximizeAllowed) {
        if (settings != nullptr) {
            m_Fullscreen = settings->GetSettings()->IsFullscreen();
        } else if (command->HasChild("fullscreen")) {
            m_Fullscreen = command->GetValue("fullscreen")->GetBool();
        }
    }
    BasicProperties* basic = BasicProperties::GetInstance();
    if (basic == nullptr || (!basic->HasString("GAME_TITLE") && !basic->HasString("GAME_TITLE_" + Platform::GetPlatformName()))) {
        std::string damaged;
        if (DataManager* data = DataManager::GetInstance()) {
            for (const std::string& file : data->GetDamagedFiles()) {
                damaged += (damaged.empty() ? "" : ", ") + file;
            }
        }
        FailStart(damaged.empty() ? std::string("the data files define no GAME_TITLE")
                                  : "The data files " + damaged + " are damaged and could not be read (no GAME_TITLE).");
        return;
    }
    GameWindowWin32::CreateGameWindow(basic->GetString("GAME_TITLE"), width, height, maximizeAllowed);
    if (settings != nullptr && GameWindow::GetInstance() != nullptr) {
        GameWindow::GetInstance()->GetMessageHandler().AddListener(settings);
    }
}

bool Application::CheckSingleInstance()
{
    HANDLE mutex = CreateMutexA(nullptr, TRUE, s_GameId.c_str());
    if (mutex != nullptr && GetLastError() != ERROR_ALREADY_EXISTS) {
        m_InstanceMutex = mutex;
        return false;
    }
    if (mutex != nullptr) {
        ReleaseMutex(mutex);
        CloseHandle(mutex);
    }
    if (HWND other = FindWindowA(s_GameId.c_str(), nullptr)) {
        ShowWindow(other, SW_RESTORE);
        SystemParametersInfoA(SPI_SETFOREGROUNDLOCKTIMEOUT, 0, nullptr, SPIF_UPDATEINIFILE | SPIF_SENDCHANGE);
        SetForegroundWindow(other);
    }
    return true;
}

void Application::CreateTasks()
{
    TaskManager* manager = TaskManager::GetInstance();
    if (manager == nullptr) {
        return;
    }
    auto add = [manager](iTask* task) {
        SmartPtr<iTask> held(task);
        task->SetRunning(true);
        manager->AddTask(held);
    };
    auto addRegistered = [&add](TaskSlot slot) {
        if (const TaskFactory& factory = GetRegistrations().tasks[static_cast<std::size_t>(slot)]) {
            if (iTask* task = factory()) {
                add(task);
            }
        }
    };
    if (InputHandler* input = InputHandler::GetInstance()) {
        add(input);
    }
    addRegistered(TaskSlot::SceneManager);
    addRegistered(TaskSlot::ImageManager);
    addRegistered(TaskSlot::SoundManager);
    addRegistered(TaskSlot::TickUpdate);
    addRegistered(TaskSlot::Purge);
    addRegistered(TaskSlot::Render);
}

void Application::MainLoop()
{
    TaskManager* manager = TaskManager::GetInstance();
    GameWindow* window = GameWindow::GetInstance();
    if (manager == nullptr || window == nullptr) {
        Platform::Log("Error: the manifest must create the task manager and the game window\n");
        return;
    }
    while (s_Running) {
        MSG message{};
        if (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        } else if (!window->IsMinimized()) {
            manager->StampFrame();
            manager->Update();
        } else {
            Sleep(40);
        }
    }
}

void Application::BeforeExit()
{
    if (HighScoreManager* scores = HighScoreManager::GetInstance()) {
        scores->Save();
    }
    if (PlayerManager* players = PlayerManager::GetInstance()) {
        players->SavePlayers();
    }
}

void Application::Shutdown()
{
    RunRelease(ReleaseSlot::ParticleManager);
    ReleaseSingleton<CheatManager>();
    ReleaseSingleton<InputHandler>();
    ReleaseSingleton<PlayerManager>();
    ReleaseSingleton<HighScoreManager>();
    ReleaseSingleton<SettingsManager>();
    RunRelease(ReleaseSlot::SceneManager);
    ReleaseSingleton<DataManager>();
    if (GameWindow* window = GameWindow::GetInstance()) {
        window->Destroy();
        GameWindow::ReleaseInstance();
    }
    ResourceManager::DestroyInstance();
    ReleaseSingleton<BasicProperties>();
    ReleaseSingleton<FileArchive>();
    if (const auto& release = GetRegistrations().trees.release) {
        release();
    }
    ReleaseSingleton<Random>();
    RunRelease(ReleaseSlot::SoundManager);
    RunRelease(ReleaseSlot::ImageManager);
    ReleaseSingleton<TaskManager>();
    RunRelease(ReleaseSlot::Tooltip);
    RunRelease(ReleaseSlot::Renderer);
}

}  // namespace Qmv2
