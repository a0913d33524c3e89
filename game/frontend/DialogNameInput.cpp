#include "game/frontend/DialogNameInput.h"

#include "framework/core/data/PlayerManager.h"
#include "framework/core/files/ResourceManager.h"
#include "framework/scene/Button.h"
#include "framework/scene/SceneManager.h"
#include "framework/sound/ResourceSound.h"
#include "framework/sound/Sound.h"
#include "game/frontend/DialogYesNo.h"
#include "game/frontend/Quorvel2Player.h"
#include "game/frontend/SelectionScene.h"

using namespace Qmv2;

namespace {

template <void (DialogNameInput::*Method)()>
void CallNameInput(void* object, void*)
{
    (static_cast<DialogNameInput*>(static_cast<DialogQuorvel2*>(object))->*Method)();
}

std::size_t NameInputPlayerCount()
{
    PlayerManager* players = PlayerManager::GetInstance();
    return players != nullptr ? static_cast<std::size_t>(players->GetPlayers().GetCount()) : 0;
}

}  // namespace

DialogNameInput::DialogNameInput(PropertyNode* description) : DialogQuorvel2(description)
{
    m_Entry = FindTyped<LabelInput>(*this, "INPUT_NAME");
    Bind("BUTTON_OK", &CallNameInput<&DialogNameInput::OnCreate>);
    if (m_Entry != nullptr) {
        m_Entry->SetMethod(AsTarget(), &CallNameInput<&DialogNameInput::OnTyped>);
        m_Entry->GetEndMethod(LabelInput::kEndEnter)->SetMethod(AsTarget(), &CallNameInput<&DialogNameInput::OnCreate>);
        // The name is the dialog's only field: Tab or Escape must not leave
        // the keys the player types going nowhere.
        m_Entry->GetEndMethod(LabelInput::kEndTab)->SetMethod(AsTarget(), &CallNameInput<&DialogNameInput::Focus>);
        m_Entry->GetEndMethod(LabelInput::kEndEscape)->SetMethod(AsTarget(), &CallNameInput<&DialogNameInput::Focus>);
    }
    Button* cancel = FindTyped<Button>(*this, "BUTTON_CANCEL");
    Button* ok = FindTyped<Button>(*this, "BUTTON_OK");
    if (NameInputPlayerCount() == 0) {
        if (cancel != nullptr) {
            cancel->SetObsolete(true);
            cancel->SetVisible(false);
        }
        if (ok != nullptr) {
            ok->SetX((GetWidth() - ok->GetWidth()) / 2.0f);
        }
    } else {
        Bind("BUTTON_CANCEL", &DialogQuorvel2::HideSelf);
    }
    if (ok != nullptr) {
        ok->SetEnabled(m_Entry != nullptr && !CleanName(m_Entry->GetText()).empty());
    }
}

std::string DialogNameInput::CleanName(const UTF8String& text)
{
    UTF8String name = text;
    name.TrimWhitespace(false);
    name.TrimWhitespace(true);
    return name.GetString();
}

void DialogNameInput::Focus()
{
    if (m_Entry != nullptr) {
        m_Entry->SetFocus(true);
    }
}

void DialogNameInput::Show()
{
    DialogQuorvel2::Show();
    FadeIn();
    Focus();
}

bool DialogNameInput::OnLeftButtonDown(MouseMessageData* data)
{
    Focus();
    return DialogQuorvel2::OnLeftButtonDown(data);
}

bool DialogNameInput::OnLeftButtonUp(MouseMessageData* data)
{
    Focus();
    return DialogQuorvel2::OnLeftButtonUp(data);
}

void DialogNameInput::OnTyped()
{
    if (ResourceManager* resources = ResourceManager::GetInstance()) {
        auto* tick = dynamic_cast<ResourceSound*>(resources->GetResource("SOUND_TICK", "default"));
        if (tick != nullptr && tick->GetSound() != nullptr) {
            tick->GetSound()->Play(1.0f, 0.0f, 1.0f, false);
        }
    }
    if (Button* ok = FindTyped<Button>(*this, "BUTTON_OK")) {
        ok->SetEnabled(m_Entry != nullptr && !CleanName(m_Entry->GetText()).empty());
    }
    // A full name takes no more letters: the prompt says so, instead of the
    // keys going nowhere without a sign. The widest letter decides.
    const bool full = m_Entry != nullptr && m_Entry->IsFull(UTF8String("W"));
    SetLabelText(FindLabel("PROMPT"), full ? "TEXT_NEWPLAYER_FULL" : "TEXT_NEWPLAYER_PROMPT");
}

void DialogNameInput::OnCreate()
{
    const std::string name = m_Entry != nullptr ? CleanName(m_Entry->GetText()) : std::string();
    PlayerManager* players = PlayerManager::GetInstance();
    Scene* scene = GetOwnerScene();
    if (name.empty() || players == nullptr) {
        Focus();
        return;
    }
    if (players->HasPlayer(name)) {
        if (scene != nullptr) {
            DialogYesNo* notice = DialogYesNo::Open(scene, "CTEXT_PLAYER_EXISTS", "CTEXT_PLAYER_EXISTS_HEADER",
                                                    nullptr, nullptr, nullptr, nullptr);
            if (notice != nullptr) {
                notice->SetSingleButton();
                scene->ShowDialog(notice);
            }
        }
        Focus();
        return;
    }
    auto* player = new Quorvel2Player(name);
    player->Reset();
    players->AddPlayer(player);
    players->SetCurrentPlayer(name);
    players->SavePlayers();
    if (scene != nullptr) {
        if (Dialog* select = scene->FindDialog("DIALOG_PLAYERSELECT")) {
            scene->CloseDialog(select);
        }
        if (scene->IsOfType(&SelectionScene::s_Type)) {
            static_cast<SelectionScene*>(scene)->UpdateWelcome();
        }
    }
    HideSelf(AsTarget(), nullptr);
}
