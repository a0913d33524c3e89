#include "game/frontend/SelectionScene.h"

#include "framework/core/data/PlayerManager.h"
#include "framework/core/data/SettingsManager.h"
#include "framework/core/files/ResourceManager.h"
#include "framework/core/properties/DataManager.h"
#include "framework/core/properties/BasicProperties.h"
#include "framework/core/properties/PropertyStore.h"
#include "framework/core/util/Platform.h"
#include "framework/core/util/Random.h"
#include "framework/graphics/image/Image.h"
#include "framework/scene/Button.h"
#include "framework/scene/Label.h"
#include "framework/scene/ModifierFrame.h"
#include "framework/scene/ModifierSound.h"
#include "framework/scene/SceneManager.h"
#include "framework/scene/Sprite.h"
#include "framework/scene/Tooltip.h"
#include "framework/sound/ResourceStream.h"
#include "framework/sound/SoundManager.h"
#include "game/frontend/DialogHighScore.h"
#include "game/frontend/Quorvel2GameSettings.h"
#include "game/frontend/Quorvel2Player.h"
#include "game/frontend/QuitQuestion.h"
#include "game/words/GameMode.h"
#include "game/words/GameScene.h"

using namespace Qmv2;

namespace {

template <void (SelectionScene::*Method)()>
void Call(void* object, void*)
{
    (static_cast<SelectionScene*>(object)->*Method)();
}

Button* AsButton(GameNode* node)
{
    return node != nullptr && node->IsOfType(&Button::s_Type) ? static_cast<Button*>(node) : nullptr;
}

Sprite* AsSprite(GameNode* node)
{
    return node != nullptr && node->IsOfType(&Sprite::s_Type) ? static_cast<Sprite*>(node) : nullptr;
}

std::int32_t PlayerCount()
{
    PlayerManager* players = PlayerManager::GetInstance();
    return players != nullptr ? static_cast<std::int32_t>(players->GetPlayers().GetCount()) : 0;
}

}  // namespace

SelectionScene::SelectionScene(PropertyNode* description) : Scene(description)
{
    GameMode::Set(GameMode::kTimed);
}

SelectionScene::~SelectionScene() = default;

std::int32_t SelectionScene::NextTimer(std::int32_t base)
{
    Random* random = Random::GetInstance();
    return base + (random != nullptr ? random->Range(0, 5000) : 2500);
}

void SelectionScene::Load()
{
    Tooltip::CreateInstance("DEFAULT_TOOLTIP");
    Scene::Load();
    const std::string moreGames = "properties/moregames.xml";
    PropertyStore store(moreGames);
    if (store.CanLoad(moreGames) && store.Load() && store.HasChild("components")) {
        CreateComponents(store.GetVector("components"));
    }
    SetComponentMethod("BUTTON_CHANGENAME", this, &Call<&SelectionScene::ShowPlayerSelect>);
    SetComponentMethod("BUTTON_TROPHY", this, &Call<&SelectionScene::StartTrophy>);
    SetComponentMethod("BUTTON_PLAY", this, &Call<&SelectionScene::StartTimed>);
    SetComponentMethod("BUTTON_PLAY_UNTIMED", this, &Call<&SelectionScene::StartUntimed>);
    SetComponentMethod("BUTTON_PLAY_WOD", this, &Call<&SelectionScene::StartWordOfDay>);
    SetComponentMethod("BUTTON_BLITZ", this, &Call<&SelectionScene::StartBlitz>);
    SetComponentMethod("BUTTON_CRISSCROSS", this, &Call<&SelectionScene::StartCrisscross>);
    SetComponentMethod("BUTTON_HOWTOPLAY", this, &Call<&SelectionScene::ShowHelp>);
    SetComponentMethod("BUTTON_SETTINGS", this, &Call<&SelectionScene::ShowSettings>);
    SetComponentMethod("BUTTON_HIGHSCORES", this, &Call<&SelectionScene::ShowHighScores>);
    SetComponentMethod("BUTTON_QUIT", this, &QuitQuestion::AskQuit);
    m_WordOfDayButton = FindChild("BUTTON_PLAY_WOD", true);
    m_MoreGamesButton = FindChild("BUTTON_OV", true);
    m_LogoCoil = AsSprite(FindChild("LOGO_COIL", true));
    m_LogoBounce = AsSprite(FindChild("LOGO_BOUNCE", true));
    m_CoilTimer = NextTimer(3000);
    m_BounceTimer = NextTimer(3000);
}

void SelectionScene::Show()
{
    Scene::Show();
    if (SoundManager* sound = SoundManager::GetInstance()) {
        if (ResourceManager* resources = ResourceManager::GetInstance()) {
            auto* music = dynamic_cast<ResourceStream*>(resources->GetResource("MUSIC_menu", "music"));
            sound->PlayMusic(music != nullptr ? music->GetStream() : nullptr, 1.0f);
        }
    }
    SceneManager* scenes = SceneManager::GetInstance();
    if (m_FirstEnter) {
        if (scenes != nullptr) {
            scenes->RemoveScene(scenes->FindScene("SCENE_LOAD"));
        }
    } else if (ResourceManager* resources = ResourceManager::GetInstance()) {
        resources->RemoveSection("preloading", true);
    }
    if (PlayerCount() == 0) {
        OpenDialog("DIALOG_NEWPLAYER");
    }
    UpdateWelcome();
    m_FirstEnter = false;
    GameMode::Set(GameMode::kTimed);
    Platform::Log("The menu shows%s\n", PlayerCount() == 0 ? " and asks for a new player" : "");
    bool showMoreGames = false;
    if (SettingsManager* settings = SettingsManager::GetInstance()) {
        if (auto* game = dynamic_cast<Quorvel2GameSettings*>(settings->GetSettings())) {
            showMoreGames = game->GetShowMoreGames();
        }
    }
    if (m_MoreGamesButton != nullptr) {
        m_MoreGamesButton->SetVisible(showMoreGames);
        if (Button* button = AsButton(m_MoreGamesButton)) {
            button->SetEnabled(showMoreGames);
        }
    }
}

void SelectionScene::Deactivate()
{
    if (Dialog* question = FindDialog("CTEXT_START_SAVEGAME")) {
        CloseDialog(question);
    }
    Scene::Deactivate();
}

std::int32_t SelectionScene::DayIndex(std::time_t now)
{
    return GameScene::DayNumber(now);
}

void SelectionScene::UpdateWelcome()
{
    BasicProperties* strings = BasicProperties::GetInstance();
    std::string text = strings != nullptr ? strings->GetString("TEXT_WELCOME") : std::string();
    std::string name;
    Button* wordOfDay = AsButton(m_WordOfDayButton);
    PlayerManager* players = PlayerManager::GetInstance();
    auto* player = PlayerCount() > 0 ? dynamic_cast<Quorvel2Player*>(players->GetCurrentPlayer()) : nullptr;
    if (player == nullptr) {
        if (wordOfDay != nullptr) {
            wordOfDay->SetEnabled(false);
        }
    } else {
        if (wordOfDay != nullptr) {
            wordOfDay->SetEnabled(player->GetWordOfDay() != DayIndex(std::time(nullptr)));
        }
        if (player->IsLoaded() && strings != nullptr) {
            text = strings->GetString("TEXT_WELCOME_BACK");
        }
        name = player->GetName();
    }
    GameNode* node = FindChild("LABEL_PLAYERNAME", true);
    if (node != nullptr && node->IsOfType(&Label::s_Type)) {
        static_cast<Label*>(node)->SetText(name.empty() ? text : text + " " + name);
    }
}

void SelectionScene::StartScene(const char* sceneKey, std::initializer_list<const char*> sections)
{
    SceneManager* scenes = SceneManager::GetInstance();
    Scene* target = scenes != nullptr ? scenes->FindScene(sceneKey) : nullptr;
    if (target == nullptr) {
        Platform::Log("The game has no scene %s; the menu stays\n", sceneKey);
        return;
    }
    if (ResourceManager* resources = ResourceManager::GetInstance()) {
        resources->ResetLoadProgress();
        for (const char* section : sections) {
            resources->LoadSection(section);
        }
    }
    scenes->StartTransition("TRANSITION_DEFAULT");
    scenes->RequestScene(target);
    Platform::Log("The menu starts %s\n", sceneKey);
}

void SelectionScene::StartTimed()
{
    GameMode::Set(GameMode::kTimed);
    StartScene("SCENE_GAME", {"gamescene"});
}

void SelectionScene::StartUntimed()
{
    GameMode::Set(GameMode::kUntimed);
    StartScene("SCENE_GAME", {"gamescene"});
}

void SelectionScene::StartWordOfDay()
{
    GameMode::Set(GameMode::kWordOfTheDay);
    StartScene("SCENE_GAME", {"gamescene"});
}

void SelectionScene::StartBlitz()
{
    GameMode::Set(GameMode::kBlitz);
    StartScene("SCENE_BLITZ", {"gamescene", "blitzscene"});
}

void SelectionScene::StartCrisscross()
{
    GameMode::Set(GameMode::kCrisscross);
    SceneManager* scenes = SceneManager::GetInstance();
    DataManager* data = DataManager::GetInstance();
    if (scenes != nullptr && scenes->FindScene("SCENE_CRISSCROSS") == nullptr && data != nullptr &&
        data->GetScenes()->HasChild("SCENE_CRISSCROSS")) {
        scenes->CreateScene("SCENE_CRISSCROSS", std::string());
    }
    StartScene("SCENE_CRISSCROSS", {"gamescene", "crosswordscene"});
}

void SelectionScene::StartTrophy()
{
    StartScene("SCENE_TROPHY", {"trophyscene"});
}

bool SelectionScene::IsDefined(const std::string& key)
{
    DataManager* data = DataManager::GetInstance();
    return data != nullptr && data->GetDialogs()->HasChild(key);
}

void SelectionScene::OpenDialog(const std::string& key)
{
    Dialog* dialog = IsDefined(key) ? GetDialog(key, std::string()) : nullptr;
    if (dialog == nullptr) {
        Platform::Log("The game data defines no dialog %s\n", key.c_str());
        return;
    }
    ShowDialog(dialog);
}

void SelectionScene::ShowPlayerSelect()
{
    OpenDialog("DIALOG_PLAYERSELECT");
}

void SelectionScene::ShowHelp()
{
    OpenDialog("DIALOG_HELP");
}

void SelectionScene::ShowSettings()
{
    OpenDialog("DIALOG_SETTINGS");
}

void SelectionScene::ShowHighScores()
{
    auto* scores = IsDefined("DIALOG_HIGHSCORES")
                       ? dynamic_cast<DialogHighScore*>(GetDialog("DIALOG_HIGHSCORES", std::string()))
                       : nullptr;
    if (scores == nullptr) {
        Platform::Log("The game data defines no dialog DIALOG_HIGHSCORES\n");
        return;
    }
    scores->SetFromMenu(true);
    ShowDialog(scores);
}

Modifier* SelectionScene::Spring(Modifier* after, const char* sound, Sprite* logo, std::int32_t frameTime)
{
    auto* play = new ModifierSound(sound, "default");
    Modifier::AttachTo(play, after != nullptr ? after : GetAnimations());
    Image* image = logo->GetImageSet();
    const std::int32_t last = image != nullptr && image->GetFrameCount() > 0 ? image->GetFrameCount() - 1 : 0;
    auto* frames = new ModifierFrame(1, frameTime, 0, last, false, false);
    frames->SetTarget(logo);
    Modifier::AttachTo(frames, play);
    return frames;
}

void SelectionScene::Update(std::int32_t dt)
{
    Scene::Update(dt);
    // The timers run only with the animations. The menu is updated while it
    // comes back behind a transition, before its animations run again; timers
    // that ran then would gain on a spring left half-way at the last visit
    // and start the next one over it: two springs of one logo drive its
    // frames together and start their sounds in the same frames, adding up.
    if (GetAnimations()->IsSuspended()) {
        return;
    }
    m_CoilTimer -= dt;
    m_BounceTimer -= dt;
    if (m_CoilTimer < 1) {
        if (m_LogoCoil != nullptr) {
            Spring(nullptr, "SOUND_loading_spring", m_LogoCoil, 70);
        }
        m_CoilTimer = NextTimer(7000);
    }
    if (m_BounceTimer < 1) {
        if (m_LogoBounce != nullptr) {
            Modifier* last = Spring(nullptr, "SOUND_loading_bounce", m_LogoBounce, 60);
            last = Spring(last, "SOUND_loading_bounce", m_LogoBounce, 60);
            Random* random = Random::GetInstance();
            if (random != nullptr && random->Range(0, 10) > 6) {
                Spring(last, "SOUND_loading_bounce", m_LogoBounce, 60);
            }
        }
        m_BounceTimer = NextTimer(7000);
    }
}
