// The options dialog: full screen, effects and music volume, the player's
// word length, credits, OK and Cancel. Its settings part keeps its values in
// the dialog's widgets, so copying settings in and out moves them between the
// settings manager and the widgets.
#pragma once

#include <cstdint>

#include "framework/core/object/SmartPtr.h"
#include "game/frontend/DialogQuorvel2.h"
#include "game/frontend/Quorvel2GameSettings.h"

namespace Qmv2 {
class Slider;
class Switch;
}  // namespace Qmv2

class DialogSettings : public DialogQuorvel2 {
    QMV_INDEXED_TYPE(DialogSettings)

    explicit DialogSettings(Qmv2::PropertyNode* description);
    ~DialogSettings() override;

    void Show() override;
    // Plays the slider sound while the effects slider is dragged, at most
    // once in every half second.
    void Update(std::int32_t dt) override;

    // The settings as the widgets show them.
    Qmv2::GameSettings& GetSettingsPart() const { return *m_Settings; }

    void OnOk();
    void OnCancel();
    void OnInfo();

    static constexpr std::uint32_t kSliderSoundGap = 500;

private:
    class WidgetSettings;

    Qmv2::Switch* FindSwitch(const char* name) const;
    Qmv2::Slider* FindSlider(const char* name) const;

    static void OkButton(void* target, void* component);
    static void CancelButton(void* target, void* component);
    static void InfoButton(void* target, void* component);
    static void EffectsChanged(void* target, void* component);
    static void MusicChanged(void* target, void* component);

    Qmv2::SmartPtr<Qmv2::GameSettings> m_Settings;
    Qmv2::Switch* m_Length[3] = {};
    std::uint32_t m_Now = 0;
    std::uint32_t m_LastSliderSound = 0;
};
