// Skews the target's drawing from one x and y skew to another.
#pragma once

#include "framework/scene/ModifierFraction.h"

namespace Qmv2 {

class GraphicsSettings;

class ModifierSkew : public ModifierFraction {
    QMV_INDEXED_TYPE(ModifierSkew)

    ModifierSkew(std::int32_t duration, bool smooth, float fromX, float fromY, float toX, float toY);
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
