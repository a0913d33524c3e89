#include "game/frontend/LoadScene.h"

#include <algorithm>
#include <chrono>
#include <string>
#include <thread>

#include "framework/core/files/ResourceManager.h"
#include "framework/core/properties/PropertyStore.h"
#include "framework/core/util/Platform.h"
#include "framework/core/util/Rect.h"
#include "framework/scene/ModifierDelay.h"
#include "framework/scene/ModifierFrame.h"
#include "framework/scene/ModifierMethod.h"
#include "framework/scene/SceneManager.h"
#include "framework/scene/Sprite.h"
#include "framework/sound/ResourceSound.h"
#include "framework/sound/ResourceStream.h"
#include "framework/sound/Sound.h"
#include "framework/sound/SoundManager.h"
#include "game/frontend/DialogHighScore.h"

using namespace Qmv2;

LoadScene::LoadScene(PropertyNode* description) : Scene(description) {}

LoadScene::~LoadScene() = default;

float LoadScene::BarWidth(float fullWidth, float start, float progress)
{
    // Loading that had already ended when the scene came shows a full bar.
    if (start >= 1.0f) {
        return fullWidth;
    }
    const float share = (progress - start) / (1.0f - start);
    return fullWidth * std::clamp(share, 0.0f, 1.0f);
}

void LoadScene::Load()
{
    Scene::Load();
    ResourceManager* resources = ResourceManager::GetInstance();
    SoundManager* sound = SoundManager::GetInstance();
    if (resources != nullptr && sound != nullptr) {
        auto* music = dynamic_cast<ResourceStream*>(resources->GetResource("MUSIC_game_load", "music"));
        SoundStream* stream = music != nullptr ? music->GetStream() : nullptr;
        if (stream != nullptr && sound->GetCurrentStream() != stream) {
            sound->StopMusic();
            sound->PlayStream(stream, nullptr, 306);
        }
    }
    if (resources != nullptr) {
        resources->RemoveSection("splash", true);
    }
    if (SceneManager* scenes = SceneManager::GetInstance()) {
        scenes->RemoveScene(scenes->FindScene("SCENE_SPLASH"));
    }
    const std::string partners = "properties/partners.xml";
    PropertyStore store(partners);
    if (store.CanLoad(partners) && store.Load() && store.HasChild("partners")) {
        CreateComponents(store.GetVector("partners"));
    }
    // The scene's components sit below its component node, not beside it.
    GameNode* bar = FindChild("PROGRESS_BAR", true);
    m_ProgressBar = bar != nullptr && bar->IsOfType(&Sprite::s_Type) ? static_cast<Sprite*>(bar) : nullptr;
    ClipBar(0.0f);
    m_BusyCursor.Set(true);
    for (const char* table : {"timed", "untimed", "blitz", "crossword", "wotd"}) {
        DialogHighScore::GetTable(table);
    }
    GameNode* logo = FindChild("LOGO", true);
    if (logo != nullptr) {
        auto* wait = new ModifierDelay(500);
        Modifier::AttachTo(wait, GetAnimations());
        auto* frames = new ModifierFrame(1, 100);
        frames->SetTarget(logo);
        Modifier::AttachTo(frames, wait);
    }
    if (resources != nullptr) {
        auto* jingle = dynamic_cast<ResourceSound*>(resources->GetResource("MUSIC_LOGO", "default"));
        if (jingle != nullptr && jingle->GetSound() != nullptr) {
            jingle->GetSound()->Play(1.0f, 0.0f, 1.0f, false);
        }
    }
}

void LoadScene::ClipBar(float width)
{
    if (m_ProgressBar != nullptr) {
        m_ProgressBar->SetClipRect(RectF{m_ProgressBar->GetX(), m_ProgressBar->GetY(), width, m_ProgressBar->GetHeight()});
    }
}

void LoadScene::Update(std::int32_t dt)
{
    Scene::Update(dt);
    if (m_Done) {
        return;
    }
    m_Elapsed += dt;
    ResourceManager* resources = ResourceManager::GetInstance();
    bool loaded = resources == nullptr || (resources->IsStarted() && resources->IsLoadQueueDone());
    if (!loaded && m_Elapsed > kLoadLimit) {
        Platform::Log("The game's resources did not load in %d ms; going on to the menu\n", kLoadLimit);
        loaded = true;
    }
    const float fullWidth = m_ProgressBar != nullptr ? m_ProgressBar->GetWidth() : 0.0f;
    if (loaded) {
        ClipBar(fullWidth);
        if (m_Elapsed < kMinimumTime) {
            return;
        }
        m_Done = true;
        m_BusyCursor.Set(false);
        Modifier::AttachTo(new ModifierMethod<LoadScene>(this, &LoadScene::GoToSelection), GetAnimations());
        return;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(kLoadingSleep));
    const float progress = resources->GetLoadProgress();
    if (m_StartProgress < 0.0f) {
        m_StartProgress = progress;
    }
    ClipBar(BarWidth(fullWidth, m_StartProgress, progress));
}

void LoadScene::GoToSelection()
{
    if (SceneManager* scenes = SceneManager::GetInstance()) {
        scenes->StartTransition("TRANSITION_DEFAULT");
        scenes->RequestScene(scenes->FindScene("SCENE_SELECTION"));
    }
}
