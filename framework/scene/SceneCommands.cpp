#include "framework/scene/SceneCommands.h"

#include "framework/core/app/Application.h"
#include "framework/core/properties/PropertyNode.h"
#include "framework/core/util/Platform.h"
#include "framework/scene/AnimTree.h"
#include "framework/scene/GameTree.h"
#include "framework/scene/SceneManager.h"

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
}

}  // namespace Qmv2
