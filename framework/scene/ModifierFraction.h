// The time base of the interpolating modifiers: passes of a fixed duration,
// counted down by `loops`, with an eased fraction of the current pass.
#pragma once

#include <cstdint>

#include "framework/scene/Modifier.h"
#include "framework/scene/SceneRecords.h"

namespace Qmv2 {

using EaseFunction = float (*)(float);

// f(t) = t.
float LinearEase(float t);
// f(t) = (3 - 2t) t^2.
float SmoothStepEase(float t);

class ModifierFraction : public Modifier {
    QMV_INDEXED_TYPE(ModifierFraction)

    // Without an easing the fraction is linear.
    explicit ModifierFraction(std::int32_t duration, EaseFunction easing = nullptr);

    // A duration below 1 ms finishes at once. Otherwise the time runs on;
    // each completed pass calls OnLoop, the last one finishes.
    void Update(std::uint32_t dt) override;
    // Finished with the fraction at 1 and the pass complete.
    void Finish() override;
    // Called at the end of every pass; `last` for the final one.
    virtual void OnLoop(bool last) { (void)last; }

    std::int32_t GetDuration() const noexcept { return m_Duration; }
    void SetDuration(std::int32_t duration) noexcept { m_Duration = duration; }
    std::int32_t GetElapsed() const noexcept { return m_Elapsed; }
    // 1 = the current pass is the last; n > 1 counts down; 0 or less: endless.
    std::int32_t GetLoops() const noexcept { return m_Loops; }
    void SetLoops(std::int32_t loops) noexcept { m_Loops = loops; }
    float GetValue() const noexcept { return m_Value; }

    // Whether a kind should apply start + (end - start) * value this update:
    // not once the final pass is complete (Finish has applied the end).
    bool IsPassRunning() const noexcept { return m_Loops < 0 || m_Elapsed < m_Duration; }

private:
    std::int32_t m_Duration;
    std::int32_t m_Elapsed = 0;
    std::int32_t m_Loops = 1;
    float m_Value = 0.0f;
    EaseFunction m_Easing;
};

}  // namespace Qmv2
