#include "game/frontend/DialogMenu.h"

#include "framework/scene/ModifierDelay.h"
#include "framework/scene/ModifierFunction.h"
#include "framework/scene/Scene.h"
#include "framework/sound/SoundManager.h"
#include "framework/sound/SoundStream.h"
#include "game/frontend/DialogYesNo.h"
#include "game/words/GameSound.h"
#include "game/words/iDialogOwnerScene.h"

using namespace Qmv2;

namespace {

// Stream mode of the game's music when it starts again.
constexpr std::uint32_t kMusicMode = 0x132;
constexpr std::int32_t kMuteDelay = 100;

SoundManager* MusicManager()
{
    SoundManager* manager = SoundManager::GetInstance();
    return manager != nullptr && SoundManager::IsSoundUp() && manager->GetCurrentStream() != nullptr ? manager
                                                                                                      : nullptr;
}

}  // namespace

void ResumeOwnerScene(void* object)
{
    auto* dialog = static_cast<DialogQuorvel2*>(object);
    if (iDialogOwnerScene* game = dialog->GetOwnerGameScene()) {
        game->Refresh(dialog, nullptr);
    }
}

DialogMenu::DialogMenu(PropertyNode* description) : DialogQuorvel2(description)
{
    Bind("BUTTON_HOWTOPLAY", &DialogMenu::OnHowToPlay);
    Bind("BUTTON_SETTINGS", &DialogMenu::OnSettings);
    Bind("BUTTON_STOP", &DialogMenu::OnStop);
    Bind("BUTTON_RESUME", &DialogMenu::OnResume);
}

void DialogMenu::Show()
{
    DialogQuorvel2::Show();
    FadeIn();
}

void DialogMenu::OnHowToPlay(void* target, void*)
{
    static_cast<DialogMenu*>(static_cast<DialogQuorvel2*>(target))->OpenOver("DIALOG_HELP");
}

void DialogMenu::OnSettings(void* target, void*)
{
    static_cast<DialogMenu*>(static_cast<DialogQuorvel2*>(target))->OpenOver("DIALOG_SETTINGS");
}

void DialogMenu::OnStop(void* target, void*)
{
    auto* menu = static_cast<DialogQuorvel2*>(target);
    Scene* scene = menu->GetOwnerScene();
    DialogYesNo* question = DialogYesNo::Open(scene, "CTEXT_MENU_STOP", "CTEXT_MENU_STOP_HEADER", target,
                                              &DialogMenu::OnStopConfirmed, nullptr, &DialogQuorvel2::HideSelf);
    if (question != nullptr) {
        scene->ShowDialog(question);
    }
}

void DialogMenu::OnStopConfirmed(void* target, void* component)
{
    auto* menu = static_cast<DialogQuorvel2*>(target);
    if (iDialogOwnerScene* game = menu->GetOwnerGameScene()) {
        game->SaveAndQuit(menu, static_cast<BaseObject*>(component));
    }
}

void DialogMenu::OnResume(void* target, void*)
{
    auto* menu = static_cast<DialogQuorvel2*>(target);
    menu->SetCloseCallback(menu, &ResumeOwnerScene);
    menu->Hide();
}

DialogPause::DialogPause(PropertyNode* description) : DialogQuorvel2(description)
{
    Bind("BUTTON_RESUME", &DialogPause::OnResume);
}

void DialogPause::Show()
{
    DialogQuorvel2::Show();
    FadeIn();
    PlayGameSound("SOUND_PAUSE", "gamescene");
    if (SoundManager* music = MusicManager()) {
        music->FadeMusic(music->GetCurrentStream()->GetFadeVolume(), 0.0f);
    }
    AddModifier(new ModifierDelay(kMuteDelay));
    AddModifier(new ModifierFunction(AsTarget(), &DialogPause::Mute, std::string()));
}

void DialogPause::Mute(void*, void*)
{
    if (SoundManager* manager = SoundManager::GetInstance()) {
        manager->SetGameMute(true);
        manager->ApplyVolumes();
    }
}

bool DialogPause::OnLeftButtonUp(MouseMessageData*)
{
    if (!m_AcceptsInput) {
        return false;
    }
    Resume();
    return true;
}

void DialogPause::OnResume(void* target, void*)
{
    static_cast<DialogPause*>(static_cast<DialogQuorvel2*>(target))->Resume();
}

void DialogPause::Resume()
{
    if (SoundManager* music = MusicManager()) {
        music->FadeMusic(music->GetCurrentStream()->GetFadeVolume(), 1.0f);
        if (music->IsCrossFading()) {
            music->StopMusic();
            music->SetCrossFading(false);
        }
        SmartPtr<SoundStream> current(music->GetCurrentStream());
        music->PlayStream(current.Get(), nullptr, kMusicMode);
    }
    PlayGameSound("SOUND_UNPAUSE", "gamescene");
    if (SoundManager* manager = SoundManager::GetInstance()) {
        manager->SetGameMute(false);
        manager->ApplyVolumes();
    }
    SetCloseCallback(AsTarget(), &ResumeOwnerScene);
    Hide();
}
