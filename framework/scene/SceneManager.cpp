#include "framework/scene/SceneManager.h"

#include <lua.hpp>

#include "framework/core/app/InputHandler.h"
#include "framework/core/files/LoadFailures.h"
#include "framework/core/files/ResourceManager.h"
#include "framework/core/object/ObjectFactory.h"
#include "framework/core/properties/DataManager.h"
#include "framework/core/script/Lua.h"
#include "framework/core/util/Platform.h"
#include "framework/scene/AnimTree.h"
#include "framework/scene/GameTree.h"

namespace Qmv2 {

namespace {

void PublishScriptGlobal(const char* name, GameNode* node)
{
    Lua* lua = Lua::GetInstance();
    if (lua == nullptr || lua->GetState() == nullptr) {
        return;
    }
    if (node != nullptr && node->GetScriptRef() != GameNode::kNoScriptObject) {
        lua->PushScriptObject(node->GetScriptRef());
    } else {
        lua_pushnil(lua->GetState());
    }
    lua_setglobal(lua->GetState(), name);
}

}  // namespace

SceneManager::SceneManager()
    : m_ScenesNode(new GameNode("ScenesNode")), m_Animations(new ModifierContainer("Scene Manager", false))
{
    if (GameTree* tree = GameTree::GetInstance()) {
        tree->AddChild(m_ScenesNode.Get());
    }
    if (AnimTree* animations = AnimTree::GetInstance()) {
        Modifier::AttachTo(m_Animations.Get(), animations);
    }
    PublishScriptGlobal("scenes", m_ScenesNode.Get());
}

SceneManager::~SceneManager()
{
    m_ScenesNode->SetObsolete(true);
    m_Animations->SetCancelled(true);
    m_Previous.Reset();
    m_Current.Reset();
    m_Pending.Reset();
    m_Transition.Reset();
    m_Scenes.Clear();
    m_ScenesNode.Reset();
    m_Animations.Reset();
}

Scene* SceneManager::BuildScene(const std::string& key)
{
    PropertyNode* definition = PropertyNode::GetEmpty();
    if (DataManager* data = DataManager::GetInstance()) {
        definition = data->GetScenes()->GetNode(key);
    }
    // Held so that an object of another kind is freed rather than leaked.
    SmartPtr<BaseObject> made(ObjectFactory::GetInstance()->Create(definition->GetTypeWord(), definition));
    if (made == nullptr || !made->IsOfType(&Scene::s_Type)) {
        return nullptr;
    }
    auto* scene = static_cast<Scene*>(made.Get());
    m_ScenesNode->AddChild(scene);
    Modifier::AttachTo(scene->GetAnimations(), m_Animations.Get());
    return scene;
}

Scene* SceneManager::CreateScene(const std::string& key, const std::string& name)
{
    Scene* scene = BuildScene(key);
    if (scene == nullptr) {
        return nullptr;
    }
    scene->SetName(name.empty() ? key : name);
    m_Scenes.PushBack(SmartPtr<Scene>(scene));
    return scene;
}

Scene* SceneManager::FindScene(const std::string& name) const
{
    for (const SmartPtr<Scene>& scene : m_Scenes) {
        if (scene->GetName() == name) {
            return scene.Get();
        }
    }
    return nullptr;
}

void SceneManager::StartTransition(const std::string& key)
{
    m_Transition = BuildScene(key);
}

void SceneManager::RequestScene(Scene* scene)
{
    m_Pending = scene;
}

void SceneManager::SetPendingScene(const std::string& name)
{
    m_Pending = FindScene(name);
}

void SceneManager::RemoveScene(Scene* scene)
{
    if (scene == nullptr) {
        return;
    }
    SmartPtr<Scene> keep(scene);
    scene->SetObsolete(true);
    for (SmartPtr<Scene>* it = m_Scenes.begin(); it != m_Scenes.end(); ++it) {
        if (it->Get() == scene) {
            m_Scenes.Erase(it, it + 1);
            break;
        }
    }
}

void SceneManager::Execute(std::int32_t)
{
    for (SmartPtr<Scene>* it = m_Scenes.begin(); it != m_Scenes.end();) {
        Scene* scene = it->Get();
        if (scene->IsObsolete() && scene->GetLoadState() != Scene::kActive) {
            it = m_Scenes.Erase(it, it + 1);
        } else {
            ++it;
        }
    }
    if (m_Pending != nullptr && m_Pending == m_Current) {
        // Asking for the scene on screen changes nothing.
        m_Pending.Reset();
        return;
    }
    if (m_Current == nullptr) {
        if (m_Pending != nullptr) {
            Switch();
        }
        return;
    }
    if (m_Current->GetLoadState() == Scene::kActive && m_Pending != nullptr) {
        Switch();
        WindDown();
    }
}

void SceneManager::Switch()
{
    // With no scene on screen there is nothing to pass from: the first scene
    // comes straight in and the transition is dropped.
    const bool transitionInUse = m_Transition != nullptr && m_Transition != m_Current.Get() && m_Current != nullptr;
    const bool leavingTransition = m_Transition != nullptr && m_Transition == m_Current.Get();
    SmartPtr<Scene> next;
    if (transitionInUse) {
        m_Transition->SetScenes(m_Current.Get(), m_Pending.Get());
        next = m_Transition;
    } else {
        next = m_Pending;
        if (m_Transition != nullptr) {
            m_Transition->SetObsolete(true);
            m_Transition->GetAnimations()->SetCancelled(true);
            m_Transition.Reset();
        }
    }
    m_Previous = m_Current;
    m_Current = next;
    m_Pending.Reset();
    PublishScriptGlobal("scene", m_Current.Get());
    // A scene that a transition revealed was already shown by it.
    if (!leavingTransition) {
        m_Current->Show();
    }
    m_Current->Activate();
    m_Current->SetLoadState(Scene::kActive);
    if (!transitionInUse) {
        Platform::Log("The scene %s takes input\n", m_Current->GetName().c_str());
    }
    // Parts that could not be loaded are told once a scene has come in and
    // nothing is loading any more, so that a start-up says them all at once.
    ResourceManager* resources = ResourceManager::GetInstance();
    if (!transitionInUse && (resources == nullptr || resources->IsLoadQueueDone())) {
        LoadFailures::Report();
    }
}

void SceneManager::WindDown()
{
    if (m_Previous == nullptr || m_Previous->GetLoadState() != Scene::kActive) {
        return;
    }
    InputHandler::ResetSubtree(m_Previous.Get());
    // The transition still draws the scene it leaves.
    if (m_Transition == nullptr || m_Current != m_Transition.Get()) {
        m_Previous->Deactivate();
    }
    m_Previous.Reset();
}

}  // namespace Qmv2
