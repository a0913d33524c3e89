#include "game/frontend/DialogYesNo.h"

#include "framework/core/files/ResourceManager.h"
#include "framework/core/properties/BasicProperties.h"
#include "framework/core/util/AnchorPoint.h"
#include "framework/scene/Button.h"
#include "framework/scene/Label.h"
#include "framework/scene/Scene.h"

using namespace Qmv2;

DialogYesNo::DialogYesNo(PropertyNode* description) : DialogQuorvel2(description)
{
}

DialogYesNo* DialogYesNo::Open(Scene* scene, const std::string& messageKey, const std::string& headerKey,
                               void* yesObject, Callback yes, void* noObject, Callback no)
{
    if (scene == nullptr) {
        return nullptr;
    }
    if (Dialog* open = scene->FindDialog(messageKey)) {
        scene->CloseDialog(open);
    }
    Dialog* made = scene->GetDialog("DIALOG_YESNO", messageKey);
    if (made == nullptr || !made->IsOfType(&DialogYesNo::s_Type)) {
        return nullptr;
    }
    auto* dialog = static_cast<DialogYesNo*>(made);
    BasicProperties* texts = BasicProperties::GetInstance();
    const std::string message = texts != nullptr ? texts->GetString(messageKey) : std::string();
    const std::string header = texts != nullptr ? texts->GetString(headerKey) : std::string();
    dialog->SetText(message, header, yesObject, yes, noObject, no);
    return dialog;
}

void DialogYesNo::SetText(const std::string& message, const std::string& header, void* yesObject, Callback yes,
                          void* noObject, Callback no)
{
    m_Message = FindComponent<Label>("MESSAGE");
    m_Header = FindComponent<Label>("HEADER");
    auto bind = [this](const char* name, void* object, Callback function) {
        SetComponentMethod(name, object != nullptr ? object : AsTarget(),
                           function != nullptr ? function : &DialogQuorvel2::CloseNow);
        return FindComponent<Button>(name);
    };
    m_Yes = bind("BUTTON_YES", yesObject, yes);
    m_No = bind("BUTTON_NO", noObject, no);
    if (m_Header != nullptr) {
        m_Header->SetText(UTF8String(header));
        m_Header->UpdateLayout();
    }
    if (m_Message == nullptr) {
        return;
    }
    m_Message->SetText(UTF8String(message));
    m_Message->UpdateLayout();
    const float grow = m_Message->GetHeight();
    if (grow <= 0.0f) {
        return;
    }
    for (Button* button : {m_Yes, m_No}) {
        if (button != nullptr) {
            button->SetY(button->GetY() + grow);
        }
    }
    SetHeight(GetHeight() + grow);
}

void DialogYesNo::SetSingleButton()
{
    if (m_No != nullptr) {
        m_No->SetVisible(false);
        m_No->SetEnabled(false);
    }
    if (m_Yes == nullptr) {
        return;
    }
    m_Yes->SetAnchor(AnchorPoint::Top);
    m_Yes->SetX(GetWidth() / 2.0f);
    if (ResourceManager* resources = ResourceManager::GetInstance()) {
        if (Image* image = resources->GetImage("BUTTON_OK", "default")) {
            m_Yes->SetImage(image);
        }
    }
}
