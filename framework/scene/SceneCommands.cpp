#include "framework/scene/SceneCommands.h"

#include <utility>

#include "framework/core/app/Application.h"
#include "framework/core/properties/PropertyNode.h"
#include "framework/core/util/Platform.h"
#include "framework/scene/AnimTree.h"
#include "framework/scene/GameTree.h"
#include "framework/scene/SceneManager.h"
#include "framework/scene/Tooltip.h"
#include "framework/scene/TaskPurge.h"
#include "framework/scene/TaskRender.h"
#include "framework/scene/TaskTickUpdate.h"
#include "framework/scene/Sprite.h"

namespace Qmv2 {

namespace {

bool CreateSceneManager(PropertyNode*)
{
    if (GameTree::GetInstance() == nullptr || AnimTree::GetInstance() == nullptr) {
        Platform::Log("Start-up command scenemanager needs the game tree and the animation tree first; skipped\n");
        return true;
    }
    SceneManager::SetInstance(new SceneManager());
    return true;
}

bool ActivateScene(PropertyNode* command)
{
    SceneManager* manager = SceneManager::GetInstance();
    if (manager == nullptr) {
        Platform::Log("Start-up command activatescene needs the scene manager first; skipped\n");
        return true;
    }
    manager->SetPendingScene(command->GetString("scene"));
    return true;
}

}  // namespace

void RegisterSceneCommands()
{
    Application::RegisterCommand("scenemanager", CreateSceneManager);
    Application::RegisterCommand("activatescene", ActivateScene);
    Application::RegisterTask(Application::TaskSlot::SceneManager,
                              []() -> iTask* { return SceneManager::GetInstance(); });
    Application::RegisterRelease(Application::ReleaseSlot::SceneManager, [] { SceneManager::ReleaseInstance(); });
    Application::RegisterRelease(Application::ReleaseSlot::Tooltip, [] { Tooltip::DestroyInstance(); });
    Application::RegisterTask(Application::TaskSlot::Render, []() -> iTask* {
        return new TaskRender(GameTree::GetInstance());
    });
}

void RegisterSceneTrees()
{
    Application::SceneTrees trees;
    trees.createGameTree = [] { GameTree::SetInstance(new GameTree); };
    trees.createAnimTree = [] { AnimTree::SetInstance(new AnimTree); };
    trees.gameTree = []() -> InputTreeNode* { return GameTree::GetInstance(); };
    trees.release = [] {
        Sprite::ReleaseHeld();
        AnimTree::ReleaseInstance();
        GameTree::ReleaseInstance();
    };
    Application::RegisterSceneTrees(std::move(trees));
    Application::RegisterTask(Application::TaskSlot::TickUpdate, []() -> iTask* {
        return new TaskTickUpdate(GameTree::GetInstance(), AnimTree::GetInstance());
    });
    Application::RegisterTask(Application::TaskSlot::Purge, []() -> iTask* {
        return new TaskPurge(GameTree::GetInstance(), AnimTree::GetInstance());
    });
}

}  // namespace Qmv2
