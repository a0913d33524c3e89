// Scales the target's drawing from one x and y factor to another.
#pragma once

#include "framework/scene/ModifierFraction.h"

namespace Qmv2 {

class GraphicsSettings;

class ModifierScale : public ModifierFraction {
    QMV_INDEXED_TYPE(ModifierScale)

    // The callers fill in the ends and the axes; both axes apply by default.
    explicit ModifierScale(std::int32_t duration, EaseFunction easing = nullptr);

    void SetFrom(float x, float y) noexcept
    {
        m_FromX = x;
        m_FromY = y;
    }
    void SetTo(float x, float y) noexcept
    {
        m_ToX = x;
        m_ToY = y;
    }
    void SetApply(bool applyX, bool applyY) noexcept
    {
        m_ApplyX = applyX;
        m_ApplyY = applyY;
    }

    // With the start-from-target option the target's current values are the start.
    void Start() override;
    void Update(std::uint32_t dt) override;
    void Finish() override;
    std::string ToString() const override;

private:
    void Apply(float x, float y);

    float m_FromX = 0.0f;
    float m_FromY = 0.0f;
    float m_ToX = 0.0f;
    float m_ToY = 0.0f;
    bool m_ApplyX = true;
    bool m_ApplyY = true;
};

}  // namespace Qmv2
