// The object that owns the life of the process: chooses the working directory,
// runs the manifest's start-up commands, the main loop, and the shutdown.
#pragma once

#include <functional>
#include <string>

#include "framework/core/object/BaseObject.h"
#include "framework/core/object/MouseCursorCounter.h"
#include "framework/core/object/iInstance.h"
#include "platform/win32/WinTypes.h"

namespace Qmv2 {

class GameSettings;
class InputTreeNode;
class PropertyNode;
class iTask;

class Application : public BaseObject, public iInstance<Application> {
public:
    QMV_CLASS_TYPE(Application, BaseObject)

    // Cleared by a failed start-up step and by the window's close message.
    static inline bool s_Running = true;
    // Names the single-instance lock, the registry key, the data folder and lock names.
    static inline std::string s_GameId = "<untitled>";

    // The handler of a start-up command that a higher layer builds (the
    // renderer, the image manager, ...). False stops the start-up: the running
    // flag is cleared and no later command runs.
    using CommandHandler = std::function<bool(PropertyNode* command)>;
    // Where a higher layer's frame task joins the list that CreateTasks builds.
    enum class TaskSlot { SceneManager, ImageManager, SoundManager, TickUpdate, Purge, Render, kCount };
    // Makes a higher layer's task; null when its singleton does not exist.
    using TaskFactory = std::function<iTask*()>;
    // Where a higher layer's singleton is released in Shutdown's fixed order.
    enum class ReleaseSlot { ParticleManager, SceneManager, SoundManager, ImageManager, Tooltip, Renderer, kCount };

    // The scene library's trees: the built-in commands "gametree" and
    // "animtree" make them through these, the command "inputhandler" walks the
    // game tree, and Shutdown releases both at their place in its order.
    struct SceneTrees {
        std::function<void()> createGameTree;
        std::function<void()> createAnimTree;
        // The game tree's root; null while there is none.
        std::function<InputTreeNode*()> gameTree;
        // Releases the animation tree, then the game tree.
        std::function<void()> release;
    };

    // Registrations last for the process; an empty function removes one.
    // Built-in command names cannot be taken over.
    static void RegisterCommand(const std::string& name, CommandHandler handler);
    static void RegisterTask(TaskSlot slot, TaskFactory factory);
    static void RegisterRelease(ReleaseSlot slot, std::function<void()> release);
    static void RegisterSceneTrees(SceneTrees trees);

    explicit Application(const std::string& manifest);
    ~Application() override;

    virtual void Run();
    virtual void SetWorkingDirectory();
    virtual bool RunCommands();
    virtual void ExecuteCommand(PropertyNode* command);
    virtual void BeforeMainLoop() {}
    virtual void MainLoop();
    virtual void RegisterScenes() {}
    // The game's settings object for the settings manager; null here.
    virtual GameSettings* CreateGameSettings() { return nullptr; }
    virtual void CreateTasks();
    virtual void OnCheatManagerCreated() {}
    // Saves the high-score tables, then the players list.
    virtual void BeforeExit();
    virtual void Shutdown();
    // False for an entry marked "onlyeditor".
    virtual bool AcceptCommand(PropertyNode* command) const;

    // True when another instance runs.
    bool CheckSingleInstance();

    const std::string& GetWorkingDirectory() const { return m_WorkingDirectory; }
    bool GetFullscreenChoice() const { return m_Fullscreen; }
    // The process's exit status after Run: 0 when the game ran (or handed over
    // to an instance already running), 1 when its start failed.
    int GetExitCode() const { return m_ExitCode; }

private:
    void CreateGameWindow(PropertyNode* command);
    // Creates the resource manager, builds its sections, waits for the
    // preload sections and queues the ones that load while the game runs.
    void StartResourceManager(PropertyNode* command);
    // Queues the sections named by the entries of the vector `key`.
    void LoadSections(PropertyNode* command, const std::string& key);
    void LoadDataFiles(PropertyNode* command);
    // Stops the start-up and tells the player why.
    void FailStart(const std::string& text);

    std::string m_Manifest;
    MouseCursorCounter m_StartCursor{5, true};
    std::string m_WorkingDirectory;
    bool m_Fullscreen = true;
    HANDLE m_InstanceMutex = nullptr;
    bool m_OtherInstance = false;
    int m_ExitCode = 0;
};

}  // namespace Qmv2
