#include "framework/scene/Scene.h"

#include "framework/core/properties/DataManager.h"
#include "framework/core/properties/PropertyVector.h"
#include "framework/core/util/Platform.h"
#include "framework/graphics/render/Renderer.h"

namespace Qmv2 {

Scene::Scene(PropertyNode* description) : Dialog(description), m_Animations(new ModifierContainer("Scene", false))
{
    // A scene fills the screen below its dialogs; it must not block them.
    m_Exclusive = false;
    if (m_AcceptsInput) {
        SetInput(false);
    }
    SetVisible(false);
    SetSuspended(true);
    m_Animations->SetSuspended(true);
}

Scene::~Scene()
{
    m_Animations->SetCancelled(true);
    m_Animations.Reset();
    m_Dialogs.Clear();
}

void Scene::Show()
{
    if (m_LoadState == kNew) {
        Load();
        m_LoadState = kLoaded;
    }
    Dialog::Show();
    if (m_AcceptsInput) {
        SetInput(false);
    }
}

void Scene::Load()
{
    const PropertyNode* description = GetDescription();
    if (description->HasChild("scenecomponents")) {
        CreateComponents(description->GetVector("scenecomponents"));
    }
}

void Scene::Activate()
{
    SetVisible(true);
    SetSuspended(false);
    m_Animations->SetSuspended(false);
    SetInput(true);
}

void Scene::Deactivate()
{
    if (Renderer* renderer = Renderer::GetInstance()) {
        renderer->EvictManagedResources();
    }
    SetVisible(false);
    SetSuspended(true);
    m_Animations->SetSuspended(true);
    SetInput(false);
    m_LoadState = kLoaded;
}

void Scene::SetInput(bool on)
{
    m_AcceptsInput = on;
    if (!on) {
        ResetInputState();
    }
    m_ChildrenAcceptInput = on;
}

Dialog* Scene::FindDialog(const std::string& name) const
{
    for (const SmartPtr<Dialog>& dialog : m_Dialogs) {
        if (dialog->GetName() == name) {
            return dialog.Get();
        }
    }
    return nullptr;
}

Dialog* Scene::GetDialog(const std::string& key, const std::string& name)
{
    const std::string& wanted = name.empty() ? key : name;
    if (Dialog* found = FindDialog(wanted)) {
        return found;
    }
    DataManager* data = DataManager::GetInstance();
    if (data == nullptr) {
        return nullptr;
    }
    // Hold whatever the definition makes, so an object of another kind is freed.
    SmartPtr<BaseObject> made(data->CreateObject(key));
    if (made == nullptr || !made->IsOfType(&Dialog::s_Type)) {
        return nullptr;
    }
    auto* dialog = static_cast<Dialog*>(made.Get());
    dialog->SetName(wanted);
    m_Dialogs.PushBack(SmartPtr<Dialog>(dialog));
    return dialog;
}

void Scene::ShowDialog(Dialog* dialog)
{
    if (dialog == nullptr) {
        return;
    }
    SmartPtr<Dialog> keep(dialog);
    AddChild(dialog);
    dialog->Show();
    Platform::Log("The dialog %s opens\n", dialog->GetName().c_str());
}

void Scene::CloseDialog(Dialog* dialog)
{
    if (dialog == nullptr) {
        return;
    }
    SmartPtr<Dialog> keep(dialog);
    dialog->Close();
    dialog->SetObsolete(true);
    Platform::Log("The dialog %s is closed\n", dialog->GetName().c_str());
    for (SmartPtr<Dialog>* it = m_Dialogs.begin(); it != m_Dialogs.end(); ++it) {
        if (it->Get() == dialog) {
            m_Dialogs.Erase(it, it + 1);
            break;
        }
    }
}

}  // namespace Qmv2
