#include "framework/core/app/Application.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "framework/core/app/GameWindowWin32.h"
#include "framework/core/app/InputHandler.h"
#include "framework/core/app/TaskManager.h"
#include "framework/core/app/TaskPurge.h"
#include "framework/core/app/TaskTickUpdate.h"
#include "framework/core/util/FileSystem.h"
#include "framework/core/util/Platform.h"
#include "framework/core/util/Random.h"
#include "framework/scene/AnimTree.h"
#include "framework/scene/GameTree.h"
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

}  // namespace

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
    }
    Shutdown();
}

void Application::SetWorkingDirectory()
{
    static const std::vector<std::string> candidates = {GetModuleDirectory(), "../data", "../../data"};
    for (const std::string& candidate : candidates) {
        m_WorkingDirectory = candidate;
        std::error_code error;
        std::filesystem::current_path(candidate, error);
        if (!error && ManifestNode::Load(m_Manifest) != nullptr) {
            Platform::DebugOutput("Selected working directory: " + candidate + "\n", "");
            return;
        }
    }
    Platform::Log("Error: Couldn't find application manifest file %s\n", m_Manifest.c_str());
    s_Running = false;
}

bool Application::RunCommands()
{
    std::unique_ptr<ManifestNode> manifest = ManifestNode::Load(m_Manifest);
    if (manifest == nullptr) {
        Platform::Log("Error: Couldn't read application manifest file %s\n", m_Manifest.c_str());
        s_Running = false;
        return false;
    }
    const ManifestNode* commands = manifest->GetChild("commands");
    if (commands == nullptr || commands->GetTypeWord() != "Vector") {
        return true;
    }
    for (const auto& command : commands->GetChildren()) {
        if (!AcceptCommand(*command)) {
            continue;
        }
        ExecuteCommand(*command);
        if (!s_Running) {
            break;
        }
    }
    return true;
}

void Application::ExecuteCommand(const ManifestNode& command)
{
    const std::string name = command.GetString("name");
    if (name == "appstartcursor") {
        m_StartCursor.Set(false);
    } else if (name == "gameid") {
        s_GameId = command.GetString("gameid");
    } else if (name == "checkinstance") {
        if (CheckSingleInstance()) {
            Platform::Log("Another instance of %s is running\n", s_GameId.c_str());
            s_Running = false;
        }
    } else if (name == "gametree") {
        GameTree::SetInstance(new GameTree);
    } else if (name == "animtree") {
        AnimTree::SetInstance(new AnimTree);
    } else if (name == "random") {
        Random::SetInstance(new Random(static_cast<std::uint64_t>(timeGetTime())));
    } else if (name == "inputhandler") {
        if (GameTree::GetInstance() == nullptr) {
            Platform::Log("Start-up command %s needs the game tree first; skipped\n", name.c_str());
            return;
        }
        InputHandler::SetInstance(new InputHandler(GameTree::GetInstance()));
    } else if (name == "taskmanager") {
        std::int32_t frameRate = command.GetInt("max_fps", kDefaultFrameRate);
        if (frameRate <= 0) {
            frameRate = kDefaultFrameRate;
        }
        auto* manager = new TaskmanagerTimed;
        TaskManager::SetInstance(manager);
        manager->SetTargetFrameTime(1000 / frameRate);
        CreateTasks();
    } else if (name == "datamanager") {
        LoadDataFiles(command);
    } else if (name == "gamewindow") {
        CreateGameWindow(command);
    } else if (name == "betametrics" || name == "debugmenu" || name == "componentmover" || name == "log" ||
               name == "betafilearchive" || name == "classproperties") {
        return;
    } else if (name == "createscenes") {
        RegisterScenes();
    } else if (!name.empty()) {
        Platform::Log("Start-up command %s is not available in this build; skipped\n", name.c_str());
    }
}

void Application::LoadDataFiles(const ManifestNode& command)
{
    const ManifestNode* files = command.GetChild("files");
    if (files == nullptr) {
        return;
    }
    for (const auto& entry : files->GetChildren()) {
        if (!AcceptCommand(*entry)) {
            continue;
        }
        const std::string file = entry->GetString("file");
        if (std::unique_ptr<ManifestNode> data = ManifestNode::Load(file)) {
            m_DataFiles.push_back(std::move(data));
        } else {
            Platform::Log("Data file %s is missing or damaged\n", file.c_str());
        }
    }
}

const std::string* Application::FindDataString(const std::string& name) const
{
    for (const auto& data : m_DataFiles) {
        if (const ManifestNode* found = data->FindString(name)) {
            return &found->GetText();
        }
    }
    return nullptr;
}

void Application::CreateGameWindow(const ManifestNode& command)
{
    const std::int32_t width = command.GetInt("width");
    const std::int32_t height = command.GetInt("height");
    const bool modeMatches = Platform::IsDisplayModeAvailable(width, height);
    const bool screenLarger = GetSystemMetrics(SM_CXSCREEN) > width && GetSystemMetrics(SM_CYSCREEN) > height;
    m_Fullscreen = modeMatches;
    const bool maximizeAllowed = modeMatches && screenLarger;
    if (maximizeAllowed) {
        m_Fullscreen = command.HasChild("fullscreen") ? command.GetBool("fullscreen") : true;
    }
    const std::string* title = FindDataString("GAME_TITLE");
    if (title == nullptr) {
        Platform::Log("Error: the data files define no GAME_TITLE\n");
        s_Running = false;
        return;
    }
    GameWindowWin32::CreateGameWindow(*title, width, height, maximizeAllowed);
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
    if (InputHandler* input = InputHandler::GetInstance()) {
        add(input);
    }
    add(new TaskTickUpdate(GameTree::GetInstance(), AnimTree::GetInstance()));
    add(new TaskPurge(GameTree::GetInstance(), AnimTree::GetInstance()));
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

void Application::Shutdown()
{
    ReleaseSingleton<InputHandler>();
    if (GameWindow* window = GameWindow::GetInstance()) {
        window->Destroy();
        GameWindow::ReleaseInstance();
    }
    ReleaseSingleton<AnimTree>();
    ReleaseSingleton<GameTree>();
    ReleaseSingleton<Random>();
    ReleaseSingleton<TaskManager>();
    m_DataFiles.clear();
}

}  // namespace Qmv2
