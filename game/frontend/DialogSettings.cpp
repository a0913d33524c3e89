#include "game/frontend/DialogSettings.h"

#include "framework/core/app/GameWindow.h"
#include "framework/core/data/PlayerManager.h"
#include "framework/core/data/SettingsManager.h"
#include "framework/core/util/Platform.h"
#include "framework/scene/Button.h"
#include "framework/scene/Scene.h"
#include "framework/scene/SceneManager.h"
#include "framework/scene/Slider.h"
#include "framework/scene/Sprite.h"
#include "framework/scene/Switch.h"
#include "framework/sound/SoundManager.h"
#include "game/frontend/Quorvel2Player.h"
#include "game/words/GameSound.h"
#include "platform/win32/WinTime.h"

using namespace Qmv2;

namespace {

constexpr const char* kLengthSwitches[] = {"SWITCH_LENGTH_6", "SWITCH_LENGTH_7", "SWITCH_LENGTH_8"};
constexpr float kDisabledLabelAlpha = 0.6f;

DialogSettings* AsSettings(void* target)
{
    return static_cast<DialogSettings*>(static_cast<DialogQuorvel2*>(target));
}

Quorvel2Player* CurrentPlayer()
{
    PlayerManager* players = PlayerManager::GetInstance();
    AbstractPlayer* player = players != nullptr ? players->GetCurrentPlayer() : nullptr;
    return player != nullptr && player->IsOfType(&Quorvel2Player::s_Type) ? static_cast<Quorvel2Player*>(player)
                                                                          : nullptr;
}

}  // namespace

// Full screen and both volumes live in the dialog's switch and sliders; a
// missing widget reads as the plain value.
class DialogSettings::WidgetSettings : public Quorvel2GameSettings {
public:
    explicit WidgetSettings(DialogSettings& dialog) : m_Dialog(dialog) {}

    bool IsFullscreen() const override
    {
        Switch* fullscreen = m_Dialog.FindSwitch("SWITCH_FULLSCREEN");
        return fullscreen != nullptr ? fullscreen->IsChecked() : GameSettings::IsFullscreen();
    }
    float GetSoundVolume() const override { return Read("SLIDER_FXVOL", GameSettings::GetSoundVolume()); }
    float GetMusicVolume() const override { return Read("SLIDER_MUSICVOL", GameSettings::GetMusicVolume()); }
    // The switch shows the window as it is, whatever was stored.
    void SetFullscreen(bool) override
    {
        GameWindow* window = GameWindow::GetInstance();
        Switch* fullscreen = m_Dialog.FindSwitch("SWITCH_FULLSCREEN");
        if (window != nullptr && fullscreen != nullptr) {
            fullscreen->SetChecked(window->IsFullscreen());
        }
    }
    void SetSoundVolume(float volume) override
    {
        GameSettings::SetSoundVolume(volume);
        Write("SLIDER_FXVOL", volume);
    }
    void SetMusicVolume(float volume) override
    {
        GameSettings::SetMusicVolume(volume);
        Write("SLIDER_MUSICVOL", volume);
    }

private:
    float Read(const char* name, float fallback) const
    {
        Slider* slider = m_Dialog.FindSlider(name);
        return slider != nullptr ? slider->GetValue() : fallback;
    }
    void Write(const char* name, float value)
    {
        if (Slider* slider = m_Dialog.FindSlider(name)) {
            slider->SetValue(value);
            slider->UpdateKnob();
        }
    }

    DialogSettings& m_Dialog;
};

DialogSettings::DialogSettings(PropertyNode* description)
    : DialogQuorvel2(description), m_Settings(new WidgetSettings(*this))
{
    for (int i = 0; i < 3; ++i) {
        m_Length[i] = FindSwitch(kLengthSwitches[i]);
    }
    SettingsManager* manager = SettingsManager::GetInstance();
    if (manager != nullptr && manager->GetSettings() != nullptr) {
        m_Settings->CopyFrom(*manager->GetSettings());
    }
    Bind("SLIDER_FXVOL", &DialogSettings::EffectsChanged);
    Bind("BUTTON_OK", &DialogSettings::OkButton);
    Bind("BUTTON_INFO", &DialogSettings::InfoButton);
    Bind("BUTTON_CANCEL", &DialogSettings::CancelButton);
    Bind("SLIDER_MUSICVOL", &DialogSettings::MusicChanged);
    Switch* fullscreen = FindSwitch("SWITCH_FULLSCREEN");
    if (fullscreen != nullptr) {
        fullscreen->SetLinkedNode(FindChild("LABEL_FULLSCREEN", true));
        GameWindow* window = GameWindow::GetInstance();
        if (window != nullptr && !window->IsMaximizeAllowed()) {
            fullscreen->SetEnabled(false);
            // The label is dimmed with the greyed box, so that neither looks
            // as if a click could change it.
            if (auto* label = dynamic_cast<Sprite*>(fullscreen->GetLinkedNode())) {
                label->SetAlpha(kDisabledLabelAlpha);
            }
        }
    }
    // No current player: the shortest length shows.
    const Quorvel2Player* player = CurrentPlayer();
    const std::int32_t length = player != nullptr ? player->GetMaxLength() : 6;
    Switch* checked = m_Length[length == 7 ? 1 : length == 8 ? 2 : 0];
    if (checked != nullptr) {
        checked->SetChecked(true);
    }
}

DialogSettings::~DialogSettings() = default;

Switch* DialogSettings::FindSwitch(const char* name) const
{
    return FindComponent<Switch>(name);
}

Slider* DialogSettings::FindSlider(const char* name) const
{
    return FindComponent<Slider>(name);
}

void DialogSettings::Show()
{
    DialogQuorvel2::Show();
    FadeIn();
}

void DialogSettings::Update(std::int32_t dt)
{
    DialogQuorvel2::Update(dt);
    m_Now = timeGetTime();
    Slider* effects = FindSlider("SLIDER_FXVOL");
    Button* knob = effects != nullptr ? effects->GetKnob() : nullptr;
    if (knob != nullptr && knob->HasState(Button::kPressed) &&
        (m_LastSliderSound == 0 || m_Now - m_LastSliderSound > kSliderSoundGap)) {
        m_LastSliderSound = m_Now;
        PlayGameSound("SOUND_SLIDER_1");
    }
}

void DialogSettings::EffectsChanged(void* target, void*)
{
    if (SoundManager* sound = SoundManager::GetInstance()) {
        sound->SetSoundVolume(AsSettings(target)->m_Settings->GetSoundVolume());
    }
}

void DialogSettings::MusicChanged(void* target, void*)
{
    if (SoundManager* sound = SoundManager::GetInstance()) {
        sound->SetMusicVolume(AsSettings(target)->m_Settings->GetMusicVolume());
    }
}

void DialogSettings::OkButton(void* target, void*)
{
    AsSettings(target)->OnOk();
}

void DialogSettings::CancelButton(void* target, void*)
{
    AsSettings(target)->OnCancel();
}

void DialogSettings::InfoButton(void* target, void*)
{
    AsSettings(target)->OnInfo();
}

void DialogSettings::OnOk()
{
    SettingsManager* manager = SettingsManager::GetInstance();
    if (manager != nullptr && manager->GetSettings() != nullptr) {
        manager->GetSettings()->CopyFrom(*m_Settings);
        manager->Save();
    }
    if (GameWindow* window = GameWindow::GetInstance()) {
        window->SetFullscreen(m_Settings->IsFullscreen());
    }
    if (Quorvel2Player* player = CurrentPlayer()) {
        const bool eight = m_Length[2] != nullptr && m_Length[2]->IsChecked();
        const bool seven = m_Length[1] != nullptr && m_Length[1]->IsChecked();
        player->SetMaxLength(eight ? 8 : seven ? 7 : 6);
        PlayerManager::GetInstance()->SavePlayers();
    }
    OnCancel();
}

void DialogSettings::OnCancel()
{
    SettingsManager* manager = SettingsManager::GetInstance();
    SoundManager* sound = SoundManager::GetInstance();
    if (manager != nullptr && manager->GetSettings() != nullptr && sound != nullptr) {
        sound->SetSoundVolume(manager->GetSettings()->GetSoundVolume());
        sound->SetMusicVolume(manager->GetSettings()->GetMusicVolume());
    }
    Hide();
}

void DialogSettings::OnInfo()
{
    SceneManager* scenes = SceneManager::GetInstance();
    Scene* scene = scenes != nullptr ? scenes->GetCurrentScene() : nullptr;
    Dialog* credits = scene != nullptr ? scene->GetDialog("DIALOG_CREDITS", std::string()) : nullptr;
    if (credits != nullptr) {
        AddChild(credits);
        credits->Show();
        // A dialog places itself in screen coordinates, but this one hangs
        // below the settings dialog: take the settings' own place off again,
        // so that the credits stand where they would over the scene.
        credits->SetPosition(2.0f * credits->GetX() - credits->GetGlobalX(),
                             2.0f * credits->GetY() - credits->GetGlobalY());
        Platform::Log("The dialog %s opens\n", credits->GetName().c_str());
    }
}
