// Owns every scene, keeps them under one tree node and switches from the
// current scene to a requested one, optionally through a transition scene.
// Game code only requests: the switch happens in Execute at the start of the
// next frame, so a scene may request another from its own handlers.
#pragma once

#include <cstdint>
#include <string>

#include "framework/core/app/iTask.h"
#include "framework/core/object/GFVector.h"
#include "framework/core/object/SmartPtr.h"
#include "framework/core/object/iInstance.h"
#include "framework/scene/GameNode.h"
#include "framework/scene/ModifierContainer.h"
#include "framework/scene/Scene.h"

namespace Qmv2 {

class SceneManager : public iTask, public iInstance<SceneManager> {
public:
    QMV_CLASS_TYPE(SceneManager, iTask)

    // Hangs the "ScenesNode" node below the game tree root and the
    // "Scene Manager" container below the animation tree root, when those
    // exist, and publishes the node as the script global "scenes".
    SceneManager();
    ~SceneManager() override;

    // Drops obsolete inactive scenes, then performs a requested switch.
    void Execute(std::int32_t dt) override;

    // Builds the scene defined under `key` in the data's scenes section,
    // named `name` (the key when empty); null when the definition makes no
    // scene.
    Scene* CreateScene(const std::string& key, const std::string& name);
    Scene* FindScene(const std::string& name) const;
    // Builds the transition defined under `key` and holds it until the next
    // request uses it.
    void StartTransition(const std::string& key);
    // The scene to switch to at the next frame; a later request replaces an
    // earlier one.
    void RequestScene(Scene* scene);
    // Requests the scene of that name; an unknown name leaves none pending.
    void SetPendingScene(const std::string& name);
    // Marks the scene for removal from the tree and forgets it.
    void RemoveScene(Scene* scene);

    Scene* GetCurrentScene() const noexcept { return m_Current.Get(); }
    Scene* GetPreviousScene() const noexcept { return m_Previous.Get(); }
    Scene* GetPendingScene() const noexcept { return m_Pending.Get(); }
    Scene* GetTransition() const noexcept { return m_Transition.Get(); }
    GameNode* GetScenesNode() const noexcept { return m_ScenesNode.Get(); }
    ModifierContainer* GetAnimations() const noexcept { return m_Animations.Get(); }
    const GFVector<SmartPtr<Scene>>& GetScenes() const noexcept { return m_Scenes; }

private:
    // The scene the definition `key` of the scenes section makes, placed on
    // top of the scenes node with its animations under the manager's.
    Scene* BuildScene(const std::string& key);
    void Switch();
    void WindDown();

    GFVector<SmartPtr<Scene>> m_Scenes;
    SmartPtr<Scene> m_Previous;
    SmartPtr<Scene> m_Current;
    SmartPtr<Scene> m_Pending;
    SmartPtr<GameNode> m_ScenesNode;
    SmartPtr<ModifierContainer> m_Animations;
    SmartPtr<Scene> m_Transition;
};

}  // namespace Qmv2
