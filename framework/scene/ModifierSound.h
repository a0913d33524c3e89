// Plays a sound resource once, and either finishes at once or waits for the
// sound's length.
#pragma once

#include <string>

#include "framework/core/object/SmartPtr.h"
#include "framework/scene/Modifier.h"
#include "framework/sound/Sound.h"
#include "framework/scene/SceneRecords.h"

namespace Qmv2 {

class ModifierSound : public Modifier {
    QMV_INDEXED_TYPE(ModifierSound)

    // Holds the sound content of the resource `soundKey` of `section`; an
    // unknown resource (or no resource manager) leaves the sound empty.
    ModifierSound(const std::string& soundKey, const std::string& section);

    // Plays, then finishes unless it waits for the sound to end.
    void Update(std::uint32_t dt) override;
    // Plays the sound once if it has not played yet.
    void Finish() override;
    std::string ToString() const override;

    void SetFinishAtOnce(bool finishAtOnce) noexcept { m_FinishAtOnce = finishAtOnce; }
    bool IsStarted() const noexcept { return m_Started; }
    Sound* GetSound() const noexcept { return m_Sound.Get(); }

private:
    void PlayOnce();

    SmartPtr<Sound> m_Sound;
    bool m_Started = false;
    bool m_FinishAtOnce = true;
    std::int32_t m_Remaining = 0;
};

}  // namespace Qmv2
