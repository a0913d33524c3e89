#include "game/frontend/TrophyScene.h"

#include <string>

#include "framework/core/data/PlayerManager.h"
#include "framework/core/files/ResourceManager.h"
#include "framework/core/properties/BasicProperties.h"
#include "framework/core/properties/PropertyValue.h"
#include "framework/core/properties/PropertyVector.h"
#include "framework/core/util/Platform.h"
#include "framework/scene/Label.h"
#include "framework/scene/ModifierAlpha.h"
#include "framework/scene/ModifierFraction.h"
#include "framework/scene/ModifierScale.h"
#include "framework/scene/SceneManager.h"
#include "framework/scene/Sprite.h"
#include "framework/sound/ResourceStream.h"
#include "framework/sound/SoundManager.h"
#include "game/frontend/Quorvel2Player.h"

using namespace Qmv2;

namespace {

void CallBackToMenu(void* object, void*)
{
    static_cast<TrophyScene*>(object)->BackToMenu();
}

Sprite* TrophySprite(GameNode* node)
{
    return node != nullptr && node->IsOfType(&Sprite::s_Type) ? static_cast<Sprite*>(node) : nullptr;
}

ModifierScale* Scale(std::int32_t time, float from, float to, Sprite* target)
{
    auto* scale = new ModifierScale(time, &SmoothStepEase);
    scale->SetFrom(from, from);
    scale->SetTo(to, to);
    scale->SetTarget(target);
    return scale;
}

}  // namespace

TrophyScene::TrophyScene(PropertyNode* description) : Scene(description) {}

TrophyScene::~TrophyScene() = default;

Quorvel2Player* TrophyScene::CurrentPlayer()
{
    PlayerManager* players = PlayerManager::GetInstance();
    AbstractPlayer* player = players != nullptr ? players->GetCurrentPlayer() : nullptr;
    return player != nullptr && player->IsOfType(&Quorvel2Player::s_Type) ? static_cast<Quorvel2Player*>(player)
                                                                           : nullptr;
}

void TrophyScene::Load()
{
    Scene::Load();
    SetComponentMethod("BUTTON_Menu", this, &CallBackToMenu);
    m_Trophies.Clear();
    for (std::int32_t id = 0; id < kTrophyCount; ++id) {
        Sprite* trophy = TrophySprite(FindChild("TROPHY_" + std::to_string(id), true));
        if (trophy == nullptr) {
            Platform::Log("The trophy room has no trophy %d\n", id);
        }
        m_Trophies.PushBack(trophy);
    }
    BasicProperties* strings = BasicProperties::GetInstance();
    m_Descriptions = strings != nullptr ? strings->GetList("TEXT_TROPHY_DESCRIPTIONS") : nullptr;
    GameNode* label = FindChild("LABEL_TROPHY", true);
    m_DescriptionLabel =
        label != nullptr && label->IsOfType(&Label::s_Type) ? static_cast<Label*>(label) : nullptr;
    m_Sparkle = TrophySprite(FindChild("SPARKLE", true));
    if (m_Sparkle != nullptr) {
        m_Sparkle->SetVisible(false);
    }
}

void TrophyScene::Show()
{
    Scene::Show();
    if (SoundManager* sound = SoundManager::GetInstance()) {
        if (ResourceManager* resources = ResourceManager::GetInstance()) {
            auto* music = dynamic_cast<ResourceStream*>(resources->GetResource("MUSIC_trophy_room", "music"));
            sound->PlayMusic(music != nullptr ? music->GetStream() : nullptr, 0.7f);
        }
    }
    for (std::int32_t id = 0; id < kTrophyCount; ++id) {
        ShowTrophy(id);
    }
    if (BasicProperties* strings = BasicProperties::GetInstance()) {
        SetDescription(strings->GetString("TEXT_TROPHY_DESCRIPTION_DEFAULT"));
    }
}

void TrophyScene::Deactivate()
{
    Scene::Deactivate();
    m_HandCursor.Set(false);
}

Sprite* TrophyScene::GetTrophy(std::int32_t id) const
{
    return id >= 0 && id < m_Trophies.GetCount() ? m_Trophies[id] : nullptr;
}

void TrophyScene::ShowTrophy(std::int32_t id)
{
    Sprite* trophy = GetTrophy(id);
    if (trophy == nullptr) {
        return;
    }
    Quorvel2Player* player = CurrentPlayer();
    const std::int32_t flag = player != nullptr ? player->GetAchievement(id) : Quorvel2Player::kNotEarned;
    if (flag == Quorvel2Player::kEarned) {
        trophy->SetAlpha(0.0f);
        trophy->SetScale(kStartScale);
        trophy->SetVisible(true);
        auto* fade = new ModifierAlpha(kFadeTime, 0.0f, 1.0f);
        fade->SetTarget(trophy);
        Modifier::AttachTo(fade, GetAnimations());
        ModifierScale* grow = Scale(kGrowTime, kStartScale, kPeakScale, trophy);
        Modifier::AttachTo(grow, fade);
        Modifier::AttachTo(Scale(kSettleTime, kPeakScale, kRestScale, trophy), grow);
        player->SetAchievement(id, Quorvel2Player::kShown);
    } else if (flag == Quorvel2Player::kShown) {
        trophy->SetVisible(true);
        trophy->SetAlpha(1.0f);
    } else {
        trophy->SetVisible(false);
        trophy->SetAlpha(0.0f);
    }
}

void TrophyScene::SetDescription(const std::string& text)
{
    if (m_DescriptionLabel != nullptr) {
        m_DescriptionLabel->SetText(text);
    }
}

bool TrophyScene::OnMouseMove(MouseMessageData* data)
{
    Scene::OnMouseMove(data);
    if (data == nullptr) {
        return false;
    }
    BasicProperties* strings = BasicProperties::GetInstance();
    Quorvel2Player* player = CurrentPlayer();
    for (std::int32_t id = 0; id < m_Trophies.GetCount(); ++id) {
        // Hidden trophies answer too: the room shows where each one will stand.
        Sprite* trophy = m_Trophies[id];
        if (trophy == nullptr || !trophy->HitTest(data->x, data->y)) {
            continue;
        }
        const std::int32_t flag = player != nullptr ? player->GetAchievement(id) : Quorvel2Player::kNotEarned;
        std::string text;
        if (id == kSecretTrophy && flag == Quorvel2Player::kNotEarned) {
            text = strings != nullptr ? strings->GetString("HIDDEN_ACHIEVEMENT") : std::string();
        } else if (m_Descriptions != nullptr && id < m_Descriptions->GetCount() &&
                   m_Descriptions->GetAt(id) != nullptr) {
            text = m_Descriptions->GetAt(id)->GetText();
        }
        SetDescription(text);
        if (m_Sparkle != nullptr) {
            if (flag != Quorvel2Player::kNotEarned) {
                m_Sparkle->SetPosition(trophy->GetX(), trophy->GetY());
                m_Sparkle->SetVisible(true);
            } else {
                m_Sparkle->SetVisible(false);
            }
        }
        m_HandCursor.Set(true);
        return true;
    }
    SetDescription(strings != nullptr ? strings->GetString("TEXT_TROPHY_DESCRIPTION_DEFAULT") : std::string());
    if (m_Sparkle != nullptr) {
        m_Sparkle->SetVisible(false);
    }
    m_HandCursor.Set(false);
    return false;
}

void TrophyScene::BackToMenu()
{
    if (PlayerManager* players = PlayerManager::GetInstance()) {
        players->SavePlayers();
    }
    if (ResourceManager* resources = ResourceManager::GetInstance()) {
        resources->ResetLoadProgress();
        resources->LoadSection("sceneselection");
    }
    SceneManager* scenes = SceneManager::GetInstance();
    Scene* menu = scenes != nullptr ? scenes->FindScene("SCENE_SELECTION") : nullptr;
    if (menu == nullptr) {
        Platform::Log("The game has no scene SCENE_SELECTION; the trophy room stays\n");
        return;
    }
    scenes->StartTransition("TRANSITION_DEFAULT");
    scenes->RequestScene(menu);
}
