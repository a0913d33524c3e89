#include "game/frontend/DialogPlayerSelect.h"

#include <cstdio>

#include "framework/core/data/PlayerManager.h"
#include "framework/core/object/ObjectFactory.h"
#include "framework/core/object/SmartPtr.h"
#include "framework/core/properties/PropertyNode.h"
#include "framework/core/properties/PropertyValue.h"
#include "framework/scene/Button.h"
#include "framework/scene/Label.h"
#include "framework/scene/Scene.h"
#include "game/frontend/DialogYesNo.h"
#include "game/frontend/SelectionScene.h"

using namespace Qmv2;

namespace {

DialogPlayerSelect* Self(void* target)
{
    return static_cast<DialogPlayerSelect*>(static_cast<DialogQuorvel2*>(target));
}

template <void (DialogPlayerSelect::*Method)()>
void CallPlayerSelect(void* target, void*)
{
    (Self(target)->*Method)();
}

std::int32_t SelectPlayerCount()
{
    PlayerManager* players = PlayerManager::GetInstance();
    return players != nullptr ? players->GetPlayers().GetCount() : 0;
}

// Creates the object the node describes when it is of kind T; anything else
// is freed.
template <typename T>
T* CreateTyped(PropertyNode* node)
{
    if (node == nullptr || node == PropertyNode::GetEmpty()) {
        return nullptr;
    }
    BaseObject* made = ObjectFactory::GetInstance()->Create(node->GetTypeWord(), node);
    if (made == nullptr || !made->IsOfType(&T::s_Type)) {
        SmartPtr<BaseObject> discard(made);
        return nullptr;
    }
    return static_cast<T*>(made);
}

}  // namespace

DialogPlayerSelect::DialogPlayerSelect(PropertyNode* description) : DialogQuorvel2(description)
{
    PropertyNode* node = GetDescription();
    PropertyNode* buttonNode = node->GetNode("namebutton");
    PropertyNode* labelNode = node->GetNode("namelabel");
    float spacing = 0.0f;
    if (std::sscanf(node->GetString("spacing").c_str(), "%f", &spacing) != 1) {
        spacing = 0.0f;
    }
    UpdateBackground();
    for (std::int32_t slot = 0; slot < kRows; ++slot) {
        Button* button = CreateTyped<Button>(buttonNode);
        if (button == nullptr) {
            continue;
        }
        AddComponent(button, true);
        button->SetX(GetWidth() / 2.0f);
        button->SetY(button->GetY() + static_cast<float>(slot) * spacing);
        button->SetMethod(AsTarget(), [](void* target, void* component) {
            DialogPlayerSelect* self = Self(target);
            for (std::int32_t i = 0; i < kRows; ++i) {
                if (self->GetNameButton(i) != nullptr &&
                    static_cast<BaseObject*>(self->GetNameButton(i)) == static_cast<BaseObject*>(component)) {
                    self->PickSlot(i);
                    return;
                }
            }
        });
        m_NameButtons[slot] = button;
        if (Label* label = CreateTyped<Label>(labelNode)) {
            button->AddChild(label);
            m_NameLabels[slot] = label;
        }
    }
    Bind("BUTTON_ADD", &CallPlayerSelect<&DialogPlayerSelect::AddPlayer>);
    Bind("BUTTON_REMOVE", &CallPlayerSelect<&DialogPlayerSelect::AskRemove>);
    Bind("BUTTON_OK", &CallPlayerSelect<&DialogPlayerSelect::Done>);
    GameNode* border = FindChild("BORDER", true);
    if (border != nullptr && border->IsOfType(&Sprite::s_Type)) {
        m_Border = static_cast<Sprite*>(border);
        // Last among the components, so it is drawn above the name buttons.
        SmartPtr<GameNode> keep(border);
        GetComponents()->AddChild(border);
        border->SetObsolete(false);
        m_BorderBaseY = border->GetY();
    }
    RefreshList();
}

DialogPlayerSelect::~DialogPlayerSelect() = default;

Button* DialogPlayerSelect::GetNameButton(std::int32_t slot) const
{
    return slot >= 0 && slot < kRows ? m_NameButtons[static_cast<std::size_t>(slot)] : nullptr;
}

Label* DialogPlayerSelect::GetNameLabel(std::int32_t slot) const
{
    return slot >= 0 && slot < kRows ? m_NameLabels[static_cast<std::size_t>(slot)] : nullptr;
}

void DialogPlayerSelect::MoveBorderTo(std::int32_t slot)
{
    Button* button = GetNameButton(slot);
    if (m_Border == nullptr) {
        return;
    }
    if (button == nullptr) {
        m_Border->SetVisible(false);
        return;
    }
    m_Border->SetVisible(true);
    m_Border->SetY(button->GetY() + m_BorderBaseY);
}

void DialogPlayerSelect::RefreshList()
{
    PlayerManager* players = PlayerManager::GetInstance();
    const std::int32_t count = SelectPlayerCount();
    m_SelectedSlot = kNoSlot;
    for (std::int32_t slot = 0; slot < kRows; ++slot) {
        Label* label = GetNameLabel(slot);
        if (label != nullptr) {
            label->SetText(UTF8String(slot < count ? players->GetPlayers()[slot]->GetName() : std::string()));
        }
        if (slot < count && players->GetPlayers()[slot].Get() == players->GetCurrentPlayer()) {
            m_SelectedSlot = slot;
        }
    }
    // A current player beyond the shown rows, or none, has no border.
    MoveBorderTo(m_SelectedSlot);
    if (Button* add = FindComponent<Button>("BUTTON_ADD")) {
        add->SetEnabled(count < kRows);
    }
    if (Button* remove = FindComponent<Button>("BUTTON_REMOVE")) {
        remove->SetEnabled(count >= 1);
    }
}

void DialogPlayerSelect::PickSlot(std::int32_t slot)
{
    PlayerManager* players = PlayerManager::GetInstance();
    if (players == nullptr || slot < 0 || slot >= kRows) {
        return;
    }
    if (slot >= SelectPlayerCount()) {
        AddPlayer();
        return;
    }
    m_SelectedSlot = slot;
    if (players->GetCurrentPlayer() != nullptr) {
        players->SavePlayer();
    }
    // SetCurrentPlayer loads the chosen player's profile.
    players->SetCurrentPlayer(players->GetPlayers()[slot]->GetName());
    // The records and the name of the current player are kept in the players
    // list: store it now, so that the choice outlives a crash or a kill.
    players->SavePlayers();
    MoveBorderTo(slot);
    for (Button* button : m_NameButtons) {
        if (button != nullptr) {
            button->SetEnabled(true);
        }
    }
}

void DialogPlayerSelect::OpenInScene(const std::string& key)
{
    OpenOver(key);
}

void DialogPlayerSelect::AddPlayer()
{
    if (SelectPlayerCount() < kRows) {
        OpenInScene("DIALOG_NEWPLAYER");
    }
}

void DialogPlayerSelect::AskRemove()
{
    Scene* scene = GetOwnerScene();
    if (scene == nullptr || SelectPlayerCount() == 0) {
        return;
    }
    DialogYesNo* question = DialogYesNo::Open(scene, "CTEXT_REMOVE_PLAYER", "CTEXT_REMOVE_PLAYER_HEADER", AsTarget(),
                                              &CallPlayerSelect<&DialogPlayerSelect::RemoveConfirmed>, nullptr, nullptr);
    if (question != nullptr) {
        scene->ShowDialog(question);
    }
}

void DialogPlayerSelect::RemoveConfirmed()
{
    PlayerManager* players = PlayerManager::GetInstance();
    Scene* scene = GetOwnerScene();
    if (players != nullptr && m_SelectedSlot >= 0 && m_SelectedSlot < SelectPlayerCount()) {
        const std::string name = players->GetPlayers()[m_SelectedSlot]->GetName();
        AbstractPlayer* current = players->GetCurrentPlayer();
        if (current != nullptr && current->GetName() == name) {
            const std::int32_t count = SelectPlayerCount();
            std::int32_t next = m_SelectedSlot + 1;
            if (next >= count) {
                next = count - 2;
            }
            if (next >= 0) {
                players->SetCurrentPlayer(players->GetPlayers()[next]->GetName());
            }
        }
        players->DeletePlayer(name);
    }
    RefreshList();
    if (scene != nullptr) {
        if (Dialog* question = scene->FindDialog("CTEXT_REMOVE_PLAYER")) {
            scene->CloseDialog(question);
        }
    }
    if (SelectPlayerCount() == 0) {
        OpenInScene("DIALOG_NEWPLAYER");
    }
}

void DialogPlayerSelect::Done()
{
    Scene* scene = GetOwnerScene();
    if (scene != nullptr && scene->IsOfType(&SelectionScene::s_Type)) {
        static_cast<SelectionScene*>(scene)->UpdateWelcome();
    }
    HideSelf(AsTarget(), nullptr);
}
