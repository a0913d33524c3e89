// Pulses alpha in four phases: fade in, hold at `to`, fade out, hold at
// `from`; endlessly or for a number of cycles.
#pragma once

#include <cstdint>
#include <vector>

#include "framework/scene/Modifier.h"
#include "framework/scene/SceneRecords.h"

namespace Qmv2 {

class GraphicsSettings;

class ModifierBlink : public Modifier {
    QMV_INDEXED_TYPE(ModifierBlink)

    // Negative times count as 0.
    ModifierBlink(std::int32_t fadeIn, float from, float to, std::int32_t fadeOut, std::int32_t holdAtTo,
                  std::int32_t holdAtFrom);

    void Update(std::uint32_t dt) override;
    // Leaves the alpha at `from`.
    void Finish() override;

    // -1 (or anything below 1): endless.
    void SetCycleLimit(std::int32_t limit) noexcept { m_CycleLimit = limit; }
    // Drawing states that take the alpha in place of the target's.
    void AddGraphicsSettings(GraphicsSettings* settings) { m_Extra.push_back(settings); }
    float GetCurrentAlpha() const noexcept { return m_Current; }
    std::int32_t GetCyclesDone() const noexcept { return m_CyclesDone; }

private:
    std::int32_t PhaseLength(std::int32_t phase) const;
    void Apply(float alpha);

    std::int32_t m_Elapsed = 0;
    std::int32_t m_PhaseLength = 0;
    std::int32_t m_Phase = 0;
    float m_From;
    float m_To;
    float m_Current;
    std::int32_t m_FadeIn;
    std::int32_t m_FadeOut;
    std::int32_t m_HoldAtTo;
    std::int32_t m_HoldAtFrom;
    std::int32_t m_CyclesDone = 0;
    std::int32_t m_CycleLimit = -1;
    std::vector<GraphicsSettings*> m_Extra;
};

}  // namespace Qmv2
