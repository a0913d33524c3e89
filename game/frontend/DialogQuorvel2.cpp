#include "game/frontend/DialogQuorvel2.h"

#include "framework/core/properties/BasicProperties.h"
#include "framework/core/properties/PropertyValue.h"
#include "framework/core/util/Platform.h"
#include "framework/core/app/MessageData.h"
#include "framework/scene/Label.h"
#include "framework/scene/ModifierAlpha.h"
#include "framework/scene/ModifierFunction.h"
#include "framework/scene/Scene.h"
#include "framework/scene/SceneManager.h"
#include "game/words/GameSound.h"
#include "game/words/iDialogOwnerScene.h"

using namespace Qmv2;

DialogQuorvel2::DialogQuorvel2(PropertyNode* description) : Dialog(description)
{
    PropertyNode* node = PropertyNode::AsNode(description);
    if (node != nullptr && node->HasChild("dodarkenbackground")) {
        const std::string text = node->GetString("dodarkenbackground");
        m_DarkenBackground = !text.empty() && text != "false";
    }
}

std::int32_t DialogQuorvel2::FadeTime()
{
    BasicProperties* texts = BasicProperties::GetInstance();
    return texts != nullptr ? texts->GetInteger("DIALOG_FADE_TIME") : 0;
}

void DialogQuorvel2::Show()
{
    Dialog::Show();
    if (m_PlaySounds) {
        PlayGameSound("SOUND_DIALOG_SHOW");
    }
    // Over another dialog the veil is always drawn, so that what lies below
    // does not read as part of this one.
    if (m_DarkenBackground || StandsOverDialog()) {
        DarkenBackground();
    } else {
        SetBackdrop(0.0f, 0.0f, 0.0f, 0.0f);
    }
}

bool DialogQuorvel2::StandsOverDialog() const
{
    for (GameNode* n = GetParent(); n != nullptr; n = n->GetParent()) {
        if (n->IsOfType(&Scene::s_Type)) {
            break;
        }
        if (n->IsOfType(&Dialog::s_Type) && n->IsVisible()) {
            return true;
        }
    }
    Scene* scene = GetOwnerScene();
    if (scene == nullptr) {
        return false;
    }
    for (GameNode* child = scene->GetFirstChild(); child != nullptr && child != this; child = child->GetNextSibling()) {
        if (child->IsOfType(&Dialog::s_Type) && child->IsVisible() && !child->IsObsolete()) {
            return true;
        }
    }
    return false;
}

void DialogQuorvel2::DarkenBackground()
{
    SetBackdrop(0.5f, 0.0f, 0.25f, 0.6f);
    SetMovable(false);
}

void DialogQuorvel2::StopInput()
{
    if (m_AcceptsInput) {
        m_AcceptsInput = false;
        ResetInputState();
    }
    m_ChildrenAcceptInput = false;
}

void DialogQuorvel2::FadeIn()
{
    StopInput();
    SetAlpha(0.0f);
    auto* fade = new ModifierAlpha(FadeTime(), 0.0f, 1.0f);
    fade->SetOptions(Modifier::kOptionBlocking);
    AddModifier(fade);
    AddModifier(new ModifierFunction(AsTarget(), &DialogQuorvel2::EnableInput, std::string()));
}

void DialogQuorvel2::Hide()
{
    StopInput();
    auto* fade = new ModifierAlpha(FadeTime(), 1.0f, 0.0f);
    fade->SetOptions(Modifier::kOptionBlocking);
    AddModifier(fade);
    AddModifier(new ModifierFunction(AsTarget(), &DialogQuorvel2::CloseAndCallBack, std::string()));
    if (m_PlaySounds) {
        PlayGameSound("SOUND_DIALOG_HIDE");
    }
}

void DialogQuorvel2::CloseAndCallBack(void* target, void*)
{
    auto* dialog = static_cast<DialogQuorvel2*>(target);
    // The callback may release the dialog's last other holder.
    SmartPtr<Dialog> keep(dialog);
    dialog->CloseInOwnerScene();
    if (dialog->m_CloseCallback != nullptr) {
        dialog->m_CloseCallback(dialog->m_CloseObject);
    }
}

Scene* DialogQuorvel2::GetOwnerScene() const
{
    for (GameNode* n = GetParent(); n != nullptr; n = n->GetParent()) {
        if (n->IsOfType(&Scene::s_Type)) {
            return static_cast<Scene*>(n);
        }
    }
    SceneManager* manager = SceneManager::GetInstance();
    return manager != nullptr ? manager->GetCurrentScene() : nullptr;
}

iDialogOwnerScene* DialogQuorvel2::GetOwnerGameScene() const
{
    return dynamic_cast<iDialogOwnerScene*>(GetOwnerScene());
}

void DialogQuorvel2::CloseInOwnerScene()
{
    if (Scene* scene = GetOwnerScene()) {
        scene->CloseDialog(this);
    }
}

void DialogQuorvel2::HideSelf(void* target, void*)
{
    auto* dialog = static_cast<DialogQuorvel2*>(target);
    dialog->m_CloseObject = dialog->AsTarget();
    dialog->Hide();
}

void DialogQuorvel2::CloseNow(void* target, void*)
{
    static_cast<DialogQuorvel2*>(target)->CloseInOwnerScene();
}

void DialogQuorvel2::EnableInput(void* target, void*)
{
    auto* dialog = static_cast<DialogQuorvel2*>(target);
    dialog->m_AcceptsInput = true;
    dialog->m_ChildrenAcceptInput = true;
    Platform::Log("The dialog %s takes input\n", dialog->GetName().c_str());
}

Dialog* DialogQuorvel2::OpenOver(const std::string& key)
{
    Scene* scene = GetOwnerScene();
    Dialog* dialog = scene != nullptr ? scene->GetDialog(key, std::string()) : nullptr;
    if (dialog != nullptr) {
        scene->ShowDialog(dialog);
    }
    return dialog;
}

Label* DialogQuorvel2::FindLabel(const std::string& name) const
{
    return FindComponent<Label>(name);
}

void DialogQuorvel2::SetLabelText(Label* label, const std::string& key)
{
    BasicProperties* texts = BasicProperties::GetInstance();
    if (label != nullptr && texts != nullptr) {
        label->SetText(UTF8String(texts->GetString(key)));
    }
}

bool DialogQuorvel2::IsOkKey(const KeyboardMessageData* data)
{
    return data != nullptr && data->m_KeyCode == 5;
}
